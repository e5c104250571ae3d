#include "dailydetail.h"

#include "common/csv.h"

#include "common/egridmodel.h"
#include "resultrows.h"
#include "store/database.h"
#include "store/recordset.h"
#include "store/income.h"

#include <QRegularExpression>

DateTime dayFromText(const QString& text)
{
    // Year, month and day, then hour, minute and second, each part ended by its own character
    // (年 月 日 时 分 秒) or by one of - / . : (a blank may also end the day).
    static const QRegularExpression re(QStringLiteral(
        "^\\s*(\\d{1,4})[年\\-/.:](\\d{1,2})[月\\-/.:](\\d{1,2})"
        "(?:[日\\s\\-/.:]\\s*(?:(\\d{1,2})(?:[时\\-/.:](?:(\\d{1,2})(?:[分\\-/.:](?:(\\d{1,2})秒?)?)?)?)?)?)?\\s*$"));
    const QRegularExpressionMatch m = re.match(text);
    if (m.hasMatch()) {
        const QDate date(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
        const QTime time(m.captured(4).toInt(), m.captured(5).toInt(), m.captured(6).toInt());
        // Date-times start with the year 100.
        if (date.isValid() && date.year() >= 100 && time.isValid())
            return DateTime::fromQDateTime(QDateTime(date, time));
    }
    return makeDate(100, 1, 1);
}

void setupDetailGrid(EGridModel& grid)
{
    layOutResultGrid(grid, DetailColumn::Count);

    grid.setColumnType(DetailColumn::Amount, EGridModel::MoneyColumn);
    grid.setAlignment(0, 0, grid.gridRowCount() - 1, grid.gridColumnCount() - 1, EGridModel::AlignCentre);
    static const char16_t* const titles[DetailColumn::Count] = { u"序号", u"机号", u"收入类型", u"收入名称",
        u"收入金额" };
    static const int widths[DetailColumn::Count] = { 40, 50, 90, 100, 100 };
    for (int c = 0; c < DetailColumn::Count; ++c) {
        grid.setCell(0, c, QString::fromUtf16(titles[c]));
        grid.setColumnWidth(c, widths[c]);
    }
    grid.setDecimals(DetailColumn::Amount, 2);
}

void fillDailyDetail(RecordSet& rs, EGridModel& grid, DateTime day, QVector<IncomeRow>* shown)
{
    QVector<IncomeRow> rows;
    const bool read = readDayBookings(rs, day, rows);
    if (shown)
        *shown = read ? rows : QVector<IncomeRow>();
    const int n = read ? int(rows.size()) : -1;
    prepareResultRows(grid, n);
    if (n < 0)
        return;
    grid.setColumnSum(DetailColumn::Amount, 1, n, n + 1);
    grid.setCell(n + 1, DetailColumn::Machine, QStringLiteral("合计"));
    for (int i = 1; i <= n; ++i) {
        const IncomeRow& row = rows[i - 1];
        grid.setCell(i, DetailColumn::Number, i);
        grid.setCell(i, DetailColumn::Machine, row.machineNo);
        grid.setCell(i, DetailColumn::Type, row.type);
        grid.setCell(i, DetailColumn::Name, row.name);
        grid.setCell(i, DetailColumn::Amount, row.amount);
    }
}

QByteArray dailyDetailCsv(const QVector<IncomeRow>& rows)
{
    QVector<QStringList> lines;
    for (const IncomeRow& r : rows)
        lines.append({ csvDate(r.day), QString::number(r.machineNo), r.type, r.name, csvMoney(r.amount) });
    return csvDocument({ QStringLiteral("日期"), QStringLiteral("机号"), QStringLiteral("类型"), QStringLiteral("名称"),
                           QStringLiteral("金额") },
        lines);
}
