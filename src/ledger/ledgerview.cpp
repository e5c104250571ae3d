#include "ledgerview.h"

#include "common/csv.h"
#include "common/egridmodel.h"
#include "common/values.h"

namespace {

const char16_t* const kTitles[LedgerColumn::Count] = { u"序号", u"时间", u"操作员", u"授权店长", u"类型", u"机号", u"会员编号",
    u"商品名称", u"金额", u"现金", u"卡额", u"之前", u"之后", u"说明", u"支付方式", u"收款", u"单号", u"赠送" };
const int kWidths[LedgerColumn::Count] = { 50, 140, 60, 60, 70, 40, 70, 80, 60, 60, 60, 70, 70, 200, 60, 60, 90, 60 };


QStringList fieldsOf(const LedgerRow& row)
{
    const LedgerEntry& e = row.entry;
    return { QString::number(row.number), csvDateTime(e.time), e.operatorName, e.authorisedBy, e.kind,
        e.machineNo ? QString::number(e.machineNo) : QString(), e.cardNo, e.goodsName, csvMoney(e.amount), csvMoney(e.cash),
        csvMoney(e.card), e.before, e.after, e.detail, e.method, csvMoney(e.received), e.reference, csvMoney(e.bonus) };
}

} // namespace

void setupLedgerGrid(EGridModel& grid)
{
    grid.setGridColumnCount(LedgerColumn::Count);
    grid.setGridRowCount(1);
    for (int c = 0; c < LedgerColumn::Count; ++c) {
        grid.setCell(0, c, QString::fromUtf16(kTitles[c]));
        grid.setColumnWidth(c, kWidths[c]);
    }
}

LedgerSums fillLedgerGrid(EGridModel& grid, const QVector<LedgerRow>& rows)
{
    LedgerSums sums;
    grid.setGridRowCount(1);
    grid.setGridRowCount(int(rows.size()) + 1);
    for (int i = 0; i < rows.size(); ++i) {
        const QStringList fields = fieldsOf(rows[i]);
        for (int c = 0; c < LedgerColumn::Count; ++c)
            grid.setCell(i + 1, c, fields[c]);
        sums.cash += rows[i].entry.cash;
        sums.card += rows[i].entry.card;
    }
    return sums;
}

QByteArray ledgerCsv(const QVector<LedgerRow>& rows)
{
    QStringList header;
    for (const char16_t* title : kTitles)
        header.append(QString::fromUtf16(title));
    QVector<QStringList> lines;
    lines.reserve(rows.size());
    for (const LedgerRow& row : rows)
        lines.append(fieldsOf(row));
    return csvDocument(header, lines);
}

QString ledgerCheckMessage(const LedgerCheck& check)
{
    if (!check.readable)
        return QStringLiteral("操作记录无法读取！");
    if (check.firstBroken > 0)
        return QStringLiteral("第") + QString::number(check.firstBroken) + QStringLiteral("条记录被改动、删除或插入！");
    if (check.removedAtEnd > 0)
        return QStringLiteral("最后") + QString::number(check.removedAtEnd) + QStringLiteral("条记录被删除！");
    return QStringLiteral("记录完整，共") + QString::number(check.rows) + QStringLiteral("条。");
}

QString hashHead(const QString& hash) { return hash.left(12); }
