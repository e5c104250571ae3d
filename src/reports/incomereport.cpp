#include "incomereport.h"

#include "common/egridmodel.h"
#include "resultrows.h"
#include "store/database.h"
#include "store/recordset.h"
#include "store/sqltext.h"

QStringList reportViewStatements(DateTime start, DateTime end)
{
    const QString range = QStringLiteral(" where 日期 between #") + sqlDate(start) + QStringLiteral("# and #")
        + sqlDate(end) + QStringLiteral("# and 收入类型=");
    return {
        QStringLiteral("DROP VIEW 业绩1"),
        QStringLiteral("create view 业绩1 as SELECT Sum(收入金额) AS 上机收入, 日期 FROM 收入记录") + range
            + QStringLiteral("'上机收入'  GROUP BY 日期"),
        QStringLiteral("DROP VIEW 业绩2"),
        QStringLiteral("create view 业绩2 as SELECT Sum(收入金额) AS 上机收入, 日期 FROM 收入记录") + range
            + QStringLiteral("'商品销售'  GROUP BY 日期"),
    };
}

QString reportQuery(DateTime start, DateTime end)
{
    return QStringLiteral("SELECT 收入记录.日期, 业绩1.上机收入, 业绩2.上机收入 FROM (收入记录 LEFT JOIN 业绩1 ON "
                          "收入记录.日期 = 业绩1.日期) LEFT JOIN 业绩2 ON 收入记录.日期 = 业绩2.日期 where "
                          "收入记录.日期 between #")
        + sqlDate(start) + QStringLiteral("# and #") + sqlDate(end)
        + QStringLiteral("# GROUP BY 收入记录.日期, 业绩1.上机收入, 业绩2.上机收入");
}

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

void fillReport(Database& db, RecordSet& rs, EGridModel& grid, DateTime start, DateTime end)
{
    // On a fresh database the drops fail and the creates still run; nothing here is looked at.
    // One transaction: the views are replaced together, at the price of one durable commit
    // instead of four. Views that were made by these very statements already hold the range;
    // making them again would leave the file as it is and only cost that commit.
    const QStringList statements = reportViewStatements(start, end);
    db.ensureOpen();
    if (!db.viewMadeBy(QStringLiteral("业绩1"), statements[1]) || !db.viewMadeBy(QStringLiteral("业绩2"), statements[3])) {
        Transaction views(db);
        for (const QString& statement : statements)
            db.execute(statement);
        views.commit();
    }
    rs.openQuery(reportQuery(start, end));
    const int n = rs.recordCount();
    prepareResultRows(grid, n);
    if (n < 0)
        return;
    grid.setColumnSum(ReportColumn::MachineIncome, 1, n, n + 1);
    grid.setColumnSum(ReportColumn::GoodsIncome, 1, n, n + 1);
    grid.setCell(n + 1, ReportColumn::Day, QStringLiteral("合计"));
    for (int i = 1; i <= n; ++i) {
        DateTime day;
        double machine = 0.0;
        double goods = 0.0;
        rs.readDate(u"日期", day);
        rs.readNumber(1, machine);
        rs.readNumber(2, goods);
        grid.setCell(i, ReportColumn::Number, i);
        grid.setCell(i, ReportColumn::Day, toText(day));
        grid.setCell(i, ReportColumn::MachineIncome, machine);
        grid.setCell(i, ReportColumn::GoodsIncome, goods);
        rs.moveNext();
    }
    rs.closeSet();
}
