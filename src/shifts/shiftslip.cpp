#include "shiftslip.h"

#include "common/csv.h"
#include "common/values.h"

#include <QLocale>

#include <cmath>

namespace {


} // namespace

QString shiftMoney(double value) { return csvMoney(value); }

bool readCashAmount(const QString& text, double& value)
{
    bool ok = false;
    const double v = QLocale::c().toDouble(text.trimmed(), &ok);
    if (!ok || v < 0.0 || !isMoneyInRange(v))
        return false;
    value = v;
    return true;
}

double expectedCash(const ShiftRecord& shift, const ShiftTotals& totals)
{
    return shift.openingFloat + totals.allCash;
}

QString differenceKind(double difference)
{
    if (std::round(difference * 100.0) > 0.0)
        return QStringLiteral("长款");
    if (std::round(difference * 100.0) < 0.0)
        return QStringLiteral("短款");
    return QString();
}

QString closingRefusal(double difference, const QString& note, double leftFloat, double counted)
{
    if (!differenceKind(difference).isEmpty() && note.trimmed().isEmpty())
        return QStringLiteral("有") + differenceKind(difference) + QStringLiteral("，请在备注中说明原因！");
    if (!isStorableText(note))
        return unstorableTextMessage();
    if (leftFloat < 0.0 || std::round(leftFloat * 100.0) > std::round(counted * 100.0))
        return QStringLiteral("留存备用金必须在0到实点现金之间！");
    return QString();
}

QVector<QPair<QString, QString>> slipLines(const ShiftRecord& s, const ShiftTotals& t)
{
    const auto line = [](const char16_t* label, const QString& value) {
        return qMakePair(QString::fromUtf16(label), value);
    };
    const QString kind = differenceKind(s.difference);
    QVector<QPair<QString, QString>> lines {
        line(u"班次", QString::number(s.number)),
        line(u"操作员", s.operatorName),
        line(u"开始时间", csvDateTime(s.opened)),
        line(u"结束时间", s.closed ? csvDateTime(s.closedAt) : QString()),
        line(u"备用金", shiftMoney(s.openingFloat)),
        line(u"上机现金", shiftMoney(t.machineCash)),
        line(u"上机会员卡", shiftMoney(t.machineCard)),
        line(u"商品现金", shiftMoney(t.goodsCash)),
        line(u"商品挂帐", shiftMoney(t.goodsOnAccount)),
        line(u"押金收", shiftMoney(t.depositsIn)),
        line(u"押金退", shiftMoney(t.depositsOut)),
        line(u"在用押金", shiftMoney(s.depositsHeld)),
        line(u"发卡", shiftMoney(t.newCards)),
        line(u"充值", shiftMoney(t.topUps)),
        line(u"应有现金", shiftMoney(s.expected)),
        line(u"实点现金", shiftMoney(s.counted)),
        line(u"差额", shiftMoney(s.difference) + (kind.isEmpty() ? QString() : QStringLiteral("（") + kind + u'）')),
        line(u"备注", s.note),
        line(u"留存备用金", shiftMoney(s.leftFloat)),
        line(u"校验", s.hash.left(12)),
    };
    // Scanned payments and bonuses are not in the drawer: after what is, and only when there are
    // any, so a shift of cash alone keeps its slip.
    if (!t.onlyCash()) {
        const int afterTopUps = 14;
        lines.insert(afterTopUps, line(u"微信", shiftMoney(t.wechat)));
        lines.insert(afterTopUps + 1, line(u"支付宝", shiftMoney(t.alipay)));
        lines.insert(afterTopUps + 2, line(u"银行卡", shiftMoney(t.bankCard)));
        lines.insert(afterTopUps + 3, line(u"赠送", shiftMoney(t.bonuses)));
    }
    return lines;
}

QByteArray slipCsv(const ShiftRecord& shift, const ShiftTotals& totals)
{
    QVector<QStringList> rows;
    for (const auto& [label, value] : slipLines(shift, totals))
        rows.append({ label, value });
    return csvDocument({ QStringLiteral("项目"), QStringLiteral("内容") }, rows);
}

QString slipHtml(const ShiftRecord& shift, const ShiftTotals& totals)
{
    QString html = QStringLiteral("<h2>交班单</h2><table cellspacing=\"0\" cellpadding=\"4\" border=\"1\">");
    for (const auto& [label, value] : slipLines(shift, totals))
        html += QStringLiteral("<tr><td>") + label.toHtmlEscaped() + QStringLiteral("</td><td>") + value.toHtmlEscaped()
            + QStringLiteral("</td></tr>");
    html += QStringLiteral("</table><p><br>交班人签字：________________　　接班人签字：________________</p>");
    return html;
}
