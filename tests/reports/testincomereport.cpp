#include "reports/incomereport.h"
#include "reportsupport.h"
#include "store/database.h"
#include "store/sqltext.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QtTest>

namespace {

DateTime july(int day) { return makeDate(2026, 7, day, 15, 30); }

// Every row of a query on the file, its fields joined by "|".
QStringList allRows(const QString& path, const QString& sql)
{
    QStringList rows;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("rows"));
        db.setDatabaseName(path);
        QSqlQuery q(db);
        if (db.open() && q.exec(sql)) {
            while (q.next())
                rows << QStringLiteral("%1|%2|%3").arg(q.value(0).toString(), q.value(1).toString(), q.value(2).toString());
        } else {
            rows << QStringLiteral("failed: ") + sql;
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("rows"));
    return rows;
}

} // namespace

class TestIncomeReport : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void daysOfTheRange_data();
    void daysOfTheRange();
    void refreshLeavesNothingStale();
    void viewsAreReplacedOnEveryRun();
    void translatedJoinShowsTheSameRows();
    void failedQueryKeepsTheTitles();

private:
    void run(int from, int to) { fillReport(*m_db, *m_rs, m_grid, july(from), july(to)); }

    std::unique_ptr<TestProgramDir> m_dir;
    std::unique_ptr<ScriptedResponder> m_responder;
    std::unique_ptr<Database> m_db;
    std::unique_ptr<RecordSet> m_rs;
    EGridModel m_grid;
};

void TestIncomeReport::init()
{
    m_dir = std::make_unique<TestProgramDir>(true);
    m_responder = std::make_unique<ScriptedResponder>();
    m_db = std::make_unique<Database>();
    m_rs = std::make_unique<RecordSet>();
    QVERIFY(m_db->openDatabase(m_dir->databasePath()));
    m_rs->bind(m_db.get());
    setupReportGrid(m_grid);
}

void TestIncomeReport::cleanup()
{
    m_rs.reset();
    m_db.reset();
    m_responder.reset();
    m_dir.reset();
}

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
    QTest::newRow("several bookings a day")
        << texts({ "6 上机收入 2", "6 商品销售 1", "6 上机收入 3.5 9", "6 商品销售 1.25" }) << 6 << 6
        << texts({ "1|2026年7月6日|5.50|2.25|7.75", "|合计|5.50|2.25|7.75" });
    QTest::newRow("start and end on one day, days around it left out")
        << texts({ "3 上机收入 10", "4 商品销售 4", "5 上机收入 1" }) << 4 << 4
        << texts({ "1|2026年7月4日|0.00|4.00|4.00", "|合计|0.00|4.00|4.00" });
    QTest::newRow("range without bookings") << texts({ "9 上机收入 10" }) << 1 << 7 << texts({ "|合计|||" });
}

void TestIncomeReport::daysOfTheRange()
{
    QFETCH(QStringList, bookings);
    QFETCH(int, from);
    QFETCH(int, to);
    QFETCH(QStringList, rows);
    QVERIFY(bookJuly(m_dir->databasePath(), bookings));
    run(from, to);
    QCOMPARE(resultRows(m_grid), rows);
    QCOMPARE(m_grid.getCell(0, 1), QStringLiteral("日期"));
    QVERIFY(m_responder->boxes.isEmpty());
}

void TestIncomeReport::refreshLeavesNothingStale()
{
    QStringList many;
    for (int day = 1; day <= 12; ++day)
        many << QStringLiteral("%1 上机收入 %1").arg(day);
    QVERIFY(bookJuly(m_dir->databasePath(), many));
    run(1, 12);
    QCOMPARE(m_grid.gridRowCount(), 14);
    QVERIFY(allCentred(m_grid)); // past the nine rows laid out
    run(2, 3);
    QCOMPARE(resultRows(m_grid),
        texts({ "1|2026年7月2日|2.00|0.00|2.00", "2|2026年7月3日|3.00|0.00|3.00", "|合计|5.00|0.00|5.00" }));
    run(20, 21);
    QCOMPARE(resultRows(m_grid), texts({ "|合计|||" }));
    QVERIFY(allCentred(m_grid));
}

void TestIncomeReport::viewsAreReplacedOnEveryRun()
{
    const QString path = m_dir->databasePath();
    QVERIFY(bookJuly(path, texts({ "2 上机收入 3", "2 商品销售 4", "8 上机收入 5" })));
    const QString views = QStringLiteral("select count(*) from sqlite_master where type='view'");
    QCOMPARE(queryValue(path, views).toInt(), 0);
    run(1, 7); // both drops fail on a fresh file; the views are made all the same
    QCOMPARE(resultRows(m_grid).size(), 2);
    QCOMPARE(queryValue(path, views).toInt(), 2);
    QCOMPARE(queryValue(path, QStringLiteral("select sum(上机收入) from 业绩2")).toDouble(), 4.0);
    run(8, 9);
    QCOMPARE(queryValue(path, QStringLiteral("select sum(上机收入) from 业绩1")).toDouble(), 5.0);
    QCOMPARE(queryValue(path, QStringLiteral("select count(*) from 业绩2")).toInt(), 0);
}

void TestIncomeReport::translatedJoinShowsTheSameRows()
{
    const QString path = m_dir->databasePath();
    QVERIFY(bookJuly(path, texts({ "1 上机收入 9", "2 上机收入 1", "2 上机收入 2.5", "2 商品销售 3", "3 商品销售 4",
                               "3 商品销售 null", "4 上机收入 null", "5 其他 7", "6 上机收入 2", "6 商品销售 0", "9 上机收入 8" })));
    for (const QString& s : reportViewStatements(july(2), july(8)))
        m_db->execute(s);
    const QString written = reportQuery(july(2), july(8));
    QString asWritten = written;
    asWritten.replace(QStringLiteral("#2026-7-2#"), QStringLiteral("'2026-07-02 00:00:00'"))
        .replace(QStringLiteral("#2026-7-8#"), QStringLiteral("'2026-07-08 00:00:00'"));
    QVERIFY(translateStatement(written) != asWritten); // the grouped join is rewritten …
    const QStringList rows = allRows(path, asWritten);
    QCOMPARE(rows.size(), 5);
    QCOMPARE(allRows(path, translateStatement(written)), rows); // … and shows the same rows in the same order
}

void TestIncomeReport::failedQueryKeepsTheTitles()
{
    QVERIFY(bookJuly(m_dir->databasePath(), texts({ "2 上机收入 3" })));
    run(1, 7);
    m_db->closeDatabase();
    run(1, 7);
    QCOMPARE(m_responder->boxes.size(), 1); // the store's, with the engine's text
    QCOMPARE(m_grid.gridRowCount(), 1);
    QCOMPARE(resultRows(m_grid), QStringList());
    QCOMPARE(m_grid.getCell(0, 1), QStringLiteral("日期"));
}

QTEST_GUILESS_MAIN(TestIncomeReport)
#include "testincomereport.moc"
