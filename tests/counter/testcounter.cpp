#include "common/egridmodel.h"
#include "counter/consolegrid.h"
#include "counter/counter.h"
#include "support/testsupport.h"

#include <QtTest>

// The one place where a usage changes.
class TestCounter : public QObject {
    Q_OBJECT
private slots:
    void usageFromStartToCheckout();
    void typedDeposits_data();
    void typedDeposits();
    void usagesMissedInAnOutageAreWrittenLater();
    void clientStatesInTheRowTitles();
};

void TestCounter::usageFromStartToCheckout()
{
    TestClock clock(QDateTime(QDate(2026, 12, 7), QTime(10, 0, 30)));
    CounterState state;
    EGridModel grid;
    setupGrid(grid, kMachines);
    Counter counter(state, grid);
    QVERIFY(!counter.isTiming(3));
    counter.start(3, QStringLiteral("10时0分30秒"), QStringLiteral("4"));
    QVERIFY(counter.isTiming(3));
    QCOMPARE(state.runningCount, 1);
    QString error;
    const auto booked = [](QString*) { return true; };
    QVERIFY(counter.bookGoods(3, true, QStringLiteral("7.5"), booked, &error));
    QVERIFY(counter.bookGoods(3, true, QStringLiteral("3"), booked, &error));
    QVERIFY(counter.bookGoods(3, false, QStringLiteral("4"), booked, &error)); // for cash: not on the bill
    QVERIFY(!counter.bookGoods(3, true, QStringLiteral("4"), [](QString*) { return false; }, &error));
    QCOMPARE(grid.getCell(3, ConsoleColumn::Goods), QStringLiteral("10.5"));
    const MachineBill bill = counter.stop(3, QStringLiteral("11时0分30秒"));
    QVERIFY(!counter.isTiming(3));
    QCOMPARE(bill.machineNo, 3);
    QCOMPARE(bill.goodsText, QStringLiteral("10.5"));
    QVERIFY(counter.bookCheckout(
        3, [](QString* text, QString*) { *text = QStringLiteral("12"); return true; }, &error));
    QCOMPARE(grid.getCell(3, ConsoleColumn::Amount), QStringLiteral("12.0"));
    // No machine outside the table is touched.
    counter.start(16, QString(), QStringLiteral("4"));
    QVERIFY(counter.bookGoods(0, true, QStringLiteral("5"), booked, &error));
    QCOMPARE(state.runningCount, 0);
    QCOMPARE(state.firstTimingMachine(), 0);
}

void TestCounter::typedDeposits_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("a deposit") << int(ConsoleColumn::Deposit) << "50" << true;
    QTest::newRow("a deposit beyond cents") << int(ConsoleColumn::Deposit) << "100000" << false;
    QTest::newRow("forty nines") << int(ConsoleColumn::Deposit) << QString(40, u'9') << false;
    QTest::newRow("minutes are no money") << int(ConsoleColumn::FixedTime) << "100000" << true;
    QTest::newRow("a negative deposit") << int(ConsoleColumn::Deposit) << "-50" << false;
}

void TestCounter::typedDeposits()
{
    QFETCH(int, column);
    QFETCH(QString, typed);
    QFETCH(bool, accepted);
    CounterState state;
    EGridModel grid;
    setupGrid(grid, kMachines);
    Counter counter(state, grid);
    grid.commitEdit(5, column, typed);
    QCOMPARE(counter.acceptTyped(5, column), accepted);
    QCOMPARE(toNumber(grid.getCell(5, column)) == 0.0, !accepted);
}

void TestCounter::usagesMissedInAnOutageAreWrittenLater()
{
    TestClock clock(QDateTime(QDate(2026, 12, 7), QTime(10, 0, 30)));
    StoreFixture store;
    CounterState state;
    EGridModel grid;
    setupGrid(grid, kMachines);
    Counter counter(state, grid, &store.db);
    const QString usages = QStringLiteral("select group_concat(机号 || '/' || 押金, ',') from 上机记录");
    store.db.closeDatabase();
    counter.start(3, QStringLiteral("10时0分30秒"), QStringLiteral("4"));
    grid.commitEdit(3, ConsoleColumn::Deposit, QStringLiteral("20"));
    counter.acceptTyped(3, ConsoleColumn::Deposit);
    QVERIFY(!counter.isProtected());
    QCOMPARE(counter.unprotectedText(), QStringLiteral("3号"));
    QVERIFY(openTestStore(store.db, store.dir));
    // The next change of that very machine writes it whole: a cell alone would change nothing.
    grid.commitEdit(3, ConsoleColumn::Deposit, QStringLiteral("25"));
    counter.acceptTyped(3, ConsoleColumn::Deposit);
    QVERIFY(counter.isProtected());
    counter.start(5, QStringLiteral("10时1分0秒"), QStringLiteral("4"));
    QCOMPARE(queryValue(store.dir.databasePath(), usages).toString(), QStringLiteral("3/25.0,5/0.0"));

    // A usage that ends while the store is down stays marked until it is removed from the file.
    counter.stop(5, QStringLiteral("10时30分0秒"));
    store.db.closeDatabase();
    QString error;
    QVERIFY(counter.bookCheckout(5, [](QString*, QString*) { return true; }, &error)); // nothing to book
    QVERIFY(!counter.isProtected());
    QVERIFY(!counter.flushEnded());
    QVERIFY(openTestStore(store.db, store.dir));
    QVERIFY(counter.flushEnded());
    QVERIFY(counter.isProtected());
    QCOMPARE(queryValue(store.dir.databasePath(), usages).toString(), QStringLiteral("3/25.0"));
}

void TestCounter::clientStatesInTheRowTitles()
{
    TestClock clock(QDateTime(QDate(2026, 12, 7), QTime(10, 0, 30)));
    CounterState state;
    EGridModel grid;
    state.setMachines({ { 1, QString(), QString(), QColor() }, { 2, QStringLiteral("靠窗"), QString(), QColor() },
        { 3, QString(), QString(), QColor() } });
    setupGrid(grid, state.machines);
    Counter counter(state, grid);
    const auto title = [&](int n) { return grid.cellDescription(state.rowOf(n), ConsoleColumn::Label); };
    counter.setClientStatuses({ { 2, QStringLiteral("在线") }, { 3, QStringLiteral("离线") } });
    QCOMPARE(title(1), QString());
    QCOMPARE(title(2), QStringLiteral("靠窗；客户机：在线"));
    QCOMPARE(title(3), QStringLiteral("客户机：离线"));
    // A start writes the title afresh; the client's state stays in it.
    counter.start(3, QStringLiteral("10时0分30秒"), QStringLiteral("4"));
    QCOMPARE(title(3), QStringLiteral("客户机：离线"));
    // Machines listed again (3 timing keeps its row): the states are still shown.
    counter.setMachines({ { 2, QStringLiteral("靠窗"), QString(), QColor() }, { 3, QString(), QString(), QColor() } });
    QCOMPARE(title(2), QStringLiteral("靠窗；客户机：在线"));
    QCOMPARE(title(3), QStringLiteral("客户机：离线"));
    // The feature turned off: the titles are as without it.
    counter.setClientStatuses({});
    QCOMPARE(title(2), QStringLiteral("靠窗"));
    QCOMPARE(title(3), QString());
}

QTEST_MAIN(TestCounter)
#include "testcounter.moc"
