#include "incomereport.h"

#include "common/egridmodel.h"
#include "resultrows.h"
#include "store/database.h"
#include "store/recordset.h"
#include "store/income.h"
#include "common/csv.h"

void setupReportGrid(EGridModel& grid)
{
    layOutResultGrid(grid, ReportColumn::Count);

    grid.setAlignment(0, 0, grid.gridRowCount() - 1, grid.gridColumnCount() - 1, EGridModel::AlignCentre);
    static const char16_t* const titles[ReportColumn::Count] = { u"序号", u"日期", u"上机收入", u"商品销售收入",
        u"收入合计" };
    static const int widths[ReportColumn::Count] = { 40, 100, 100, 100, 100 };
    for (int c = 0; c < ReportColumn::Count; ++c) {
        grid.setCell(0, c, QString::fromUtf16(titles[c]));
        grid.setColumnWidth(c, widths[c]);
        if (c >= ReportColumn::MachineIncome) {
            grid.setColumnType(c, EGridModel::MoneyColumn);
            grid.setDecimals(c, 2);
        }
    }
    grid.setFormula(ReportColumn::MachineIncome, ReportColumn::GoodsIncome, EGridModel::Add, ReportColumn::Total);
}

void fillReport(Database& db, RecordSet& rs, EGridModel& grid, DateTime start, DateTime end, QVector<DayIncome>* shown)
{
    QVector<DayIncome> days;
    const bool read = readIncomeByDay(db, rs, start, end, days);
    if (shown)
        *shown = read ? days : QVector<DayIncome>();
    const int n = read ? int(days.size()) : -1;
    prepareResultRows(grid, n);
    if (n < 0)
        return;
    grid.setColumnSum(ReportColumn::MachineIncome, 1, n, n + 1);
    grid.setColumnSum(ReportColumn::GoodsIncome, 1, n, n + 1);
    grid.setCell(n + 1, ReportColumn::Day, QStringLiteral("合计"));
    for (int i = 1; i <= n; ++i) {
        const DayIncome& day = days[i - 1];
        grid.setCell(i, ReportColumn::Number, i);
        grid.setCell(i, ReportColumn::Day, toText(day.day));
        grid.setCell(i, ReportColumn::MachineIncome, day.machine);
        grid.setCell(i, ReportColumn::GoodsIncome, day.goods);
    }
}

QByteArray reportCsv(const QVector<DayIncome>& days)
{
    QVector<QStringList> rows;
    for (const DayIncome& d : days)
        rows.append({ csvDate(d.day), csvMoney(d.machine), csvMoney(d.goods), csvMoney(d.machine + d.goods) });
    return csvDocument({ QStringLiteral("日期"), QStringLiteral("上机收入"), QStringLiteral("商品销售收入"),
                           QStringLiteral("收入合计") },
        rows);
}

ChartData chartDataOf(const QVector<DayIncome>& days)
{
    ChartData data;
    const bool oneYear = days.isEmpty() || csvDate(days.first().day).left(4) == csvDate(days.last().day).left(4);
    for (const DayIncome& d : days) {
        data.labels.append(oneYear ? csvDate(d.day).mid(5) : csvDate(d.day));
        data.machine.append(d.machine);
        data.goods.append(d.goods);
    }
    data.title = days.isEmpty() ? QStringLiteral("所选日期没有收入")
                                : csvDate(days.first().day) + QStringLiteral(" 至 ") + csvDate(days.last().day);
    return data;
}
