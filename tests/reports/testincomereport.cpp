#include "reports/incomereport.h"
#include "store/income.h"
#include "reportsupport.h"
#include "store/sqltext.h"

#include <QSqlQuery>
#include <QtTest>

namespace {

DateTime july(int day) { return makeDate(2026, 7, day, 15, 30); }

} // namespace

class TestIncomeReport : public QObject {
    Q_OBJECT
private slots:
    void daysOfTheRange_data();
    void daysOfTheRange();
    void refreshesLeaveNothingStale();
    void viewsAreReplacedOnEveryRun();
    void translatedJoinShowsTheSameRows();
};

void TestIncomeReport::daysOfTheRange_data()
{
    QTest::addColumn<QStringList>("bookings");
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("to");
    QTest::addColumn<QStringList>("rows");
    QTest::newRow("machine income only") << texts({ "5 上机收入 12.5" }) << 1 << 7
                                         << texts({ "1|2026年7月5日|12.50|0.00|12.50", "|合计|12.50|0.00|12.50" });
    QTest::newRow("goods on the second day")
        << texts({ "4 上机收入 20", "3 上机收入 10", "4 商品销售 5" }) << 1 << 7
        << texts({ "1|2026年7月3日|10.00|0.00|10.00", "2|2026年7月4日|20.00|5.00|25.00", "|合计|30.00|5.00|35.00" });
    QTest::newRow("start and end on one day") << texts({ "3 上机收入 10", "4 商品销售 4", "5 上机收入 1" }) << 4 << 4
                                              << texts({ "1|2026年7月4日|0.00|4.00|4.00", "|合计|0.00|4.00|4.00" });
    QTest::newRow("range without bookings") << texts({ "9 上机收入 10" }) << 1 << 7 << texts({ "|合计|||" });
}

void TestIncomeReport::daysOfTheRange()
{
    QFETCH(QStringList, bookings);
    QFETCH(int, from);
    QFETCH(int, to);
    QFETCH(QStringList, rows);
    ReportFixture f;
    QVERIFY(f.book(bookings));
    EGridModel grid;
    setupReportGrid(grid);
    fillReport(f.db, f.rs, grid, july(from), july(to));
    QCOMPARE(resultRows(grid), rows);
    QVERIFY(f.responder.boxes.isEmpty());
}

void TestIncomeReport::refreshesLeaveNothingStale()
{
    ReportFixture f;
    QStringList many;
    for (int day = 1; day <= 12; ++day)
        many << QStringLiteral("%1 上机收入 %1").arg(day);
    QVERIFY(f.book(many));
    EGridModel grid;
    setupReportGrid(grid);
    fillReport(f.db, f.rs, grid, july(1), july(12));
    QCOMPARE(grid.gridRowCount(), 14);
    QVERIFY(allCentred(grid)); // past the nine rows laid out
    fillReport(f.db, f.rs, grid, july(2), july(3));
    QCOMPARE(resultRows(grid),
        texts({ "1|2026年7月2日|2.00|0.00|2.00", "2|2026年7月3日|3.00|0.00|3.00", "|合计|5.00|0.00|5.00" }));
    fillReport(f.db, f.rs, grid, july(20), july(21));
    QCOMPARE(resultRows(grid), texts({ "|合计|||" }));

    f.db.closeDatabase(); // the store shows the engine's text; the titles stay
    fillReport(f.db, f.rs, grid, july(1), july(7));
    QCOMPARE(f.responder.boxes.size(), 1);
    QCOMPARE(grid.gridRowCount(), 1);
    QCOMPARE(grid.getCell(0, 1), QStringLiteral("日期"));
}

void TestIncomeReport::viewsAreReplacedOnEveryRun()
{
    FILE_ONLY_TEST();
    ReportFixture f;
    QVERIFY(f.book(texts({ "2 上机收入 3", "2 商品销售 4", "8 上机收入 5" })));
    const QString path = f.dir.databasePath();
    const QString views = QStringLiteral("select count(*) from sqlite_master where type='view'");
    QCOMPARE(queryValue(path, views).toInt(), 0);
    EGridModel grid;
    setupReportGrid(grid);
    fillReport(f.db, f.rs, grid, july(1), july(7)); // both drops fail on a fresh file
    QCOMPARE(resultRows(grid).size(), 2);
    QCOMPARE(queryValue(path, views).toInt(), 2);
    QCOMPARE(queryValue(path, QStringLiteral("select sum(上机收入) from 业绩2")).toDouble(), 4.0);
    fillReport(f.db, f.rs, grid, july(8), july(9));
    QCOMPARE(queryValue(path, QStringLiteral("select sum(上机收入) from 业绩1")).toDouble(), 5.0);
    QCOMPARE(queryValue(path, QStringLiteral("select count(*) from 业绩2")).toInt(), 0);
    QVERIFY(f.responder.boxes.isEmpty());
}

void TestIncomeReport::translatedJoinShowsTheSameRows()
{
    FILE_ONLY_TEST();
    ReportFixture f;
    QVERIFY(f.book(texts({ "1 上机收入 9", "2 上机收入 1", "2 上机收入 2.5", "2 商品销售 3", "3 商品销售 4",
        "3 商品销售 null", "4 上机收入 null", "5 其他 7", "6 上机收入 2", "6 商品销售 0", "9 上机收入 8" })));
    for (const QString& s : reportViewStatements(july(2), july(8)))
        f.db.execute(s);
    const QString written = reportQuery(july(2), july(8));
    QString asWritten = written;
    asWritten.replace(QStringLiteral("#2026-7-2#"), QStringLiteral("'2026-07-02 00:00:00'"))
        .replace(QStringLiteral("#2026-7-8#"), QStringLiteral("'2026-07-08 00:00:00'"));
    auto rowsOf = [&](const QString& sql) {
        QStringList rows;
        QSqlQuery q(f.db.connection());
        for (q.exec(sql); q.next();)
            rows << QStringLiteral("%1|%2|%3").arg(q.value(0).toString(), q.value(1).toString(), q.value(2).toString());
        return rows;
    };
    QVERIFY(translateStatement(written) != asWritten); // rewritten for speed …
    QCOMPARE(rowsOf(asWritten).size(), 5);
    QCOMPARE(rowsOf(translateStatement(written)), rowsOf(asWritten)); // … showing the same rows in the same order
    // What a server is asked instead of the views gives them too.
    QCOMPARE(rowsOf(translateStatement(onePassReportQuery(july(2), july(8)))), rowsOf(asWritten));
}

QTEST_GUILESS_MAIN(TestIncomeReport)
#include "testincomereport.moc"
