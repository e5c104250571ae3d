#include "backups/backuprunner.h"
#include "checkout/settlement.h"
#include "store/income.h"
#include "store/ledgertable.h"
#include "store/membertable.h"
#include "support/counterfixture.h"

#include <QProcess>
#include <QSignalSpy>
#include <QtTest>

namespace {

QString s(const char16_t* t) { return QString::fromUtf16(t); }

const QDateTime kMorning(QDate(2026, 12, 9), QTime(10, 0, 0));

// Another program holding date.mdb's write lock for `ms`, from the moment it says so.
std::unique_ptr<QProcess> holdLock(const QString& path, int ms)
{
    auto holder = std::make_unique<QProcess>();
    holder->start(QStringLiteral(STOREPEER), { QStringLiteral("hold"), path, QString::number(ms) });
    if (!holder->waitForReadyRead(10000) || holder->readLine().trimmed() != "held")
        return nullptr;
    return holder;
}

} // namespace

// The counter's bookings while another program holds or wants the file.
class TestLockedStore : public QObject {
    Q_OBJECT
private slots:
    void bookingUnderALongLockIsWholeOrNothing_data();
    void bookingUnderALongLockIsWholeOrNothing();
    void depositHandedBackUnderALockIsWrittenLater();
    void twoProgramsBookingAllTheTimeBothGetThrough();
    void backupWhileAnotherProgramBooksIsTheFileOfOneMoment();
};

void TestLockedStore::bookingUnderALongLockIsWholeOrNothing_data()
{
    QTest::addColumn<QString>("booking");
    QTest::addColumn<int>("holdMs");
    for (int ms : { 2500, 3500 }) {
        for (const char* booking : { "checkout", "cash sale", "sale on account", "top-up" }) {
            QTest::newRow(qPrintable(QStringLiteral("%1, %2 ms").arg(QLatin1String(booking)).arg(ms)))
                << QString::fromLatin1(booking) << ms;
        }
    }
}

void TestLockedStore::bookingUnderALongLockIsWholeOrNothing()
{
    QFETCH(QString, booking);
    QFETCH(int, holdMs);
    CounterFixture f(kMorning);
    const QString path = f.store.dir.databasePath();
    QVERIFY(runSql(path, { s(u"insert into 会员表 values ('A1', 10, 0, 10)") }));
    f.counter.start(3, s(u"10时0分0秒"), QStringLiteral("6"));
    f.grid.setCell(3, ConsoleColumn::Minutes, QStringLiteral("30"));
    const bool checkout = booking == u"checkout";
    MachineBill bill;
    if (checkout)
        bill = f.counter.stop(3, s(u"10时30分0秒"));
    const int ledgerRows = queryValue(path, s(u"select count(*) from 操作记录")).toInt();

    auto holder = holdLock(path, holdMs);
    QVERIFY(holder);
    QString error;
    bool booked = false;
    QString kind;
    if (checkout) {
        kind = s(u"结帐");
        const CheckoutInput in { 3, bill.feeText, bill.goodsText, bill.depositText, QStringLiteral("3"), false, {}, {}, {}, {} };
        booked = settleOnCounter(f.counter, f.store.db, f.store.rs, in, &error);
    } else if (booking == u"top-up") {
        kind = s(u"充值");
        booked = topUpCard(f.store.db, QStringLiteral("A1"), 10, &error);
    } else {
        const bool onAccount = booking == u"sale on account";
        kind = onAccount ? s(u"商品挂帐") : s(u"商品现款");
        const IncomeRow row { now(), 3, s(u"商品销售"), s(u"可乐"), 2.5 };
        booked = f.counter.bookGoods(
            3, onAccount, QStringLiteral("2.50"), [&](QString* why) { return writeIncomeRows(f.store.rs, { row }, why); },
            &error);
    }
    QVERIFY(holder->waitForFinished(10000));
    QCOMPARE(holder->exitCode(), 0);

    // Booked: the money, its ledger row and (for a checkout) the end of the usage, all of them;
    // refused: none.
    const int income = queryValue(path, s(u"select count(*) from 收入记录")).toInt();
    QCOMPARE(income, booked && booking != u"top-up" ? 1 : 0);
    QCOMPARE(queryValue(path, QStringLiteral("select count(*) from 操作记录 where 类型='%1'").arg(kind)).toInt(),
        booked ? 1 : 0);
    QCOMPARE(queryValue(path, s(u"select 余额 from 会员表")).toDouble(), booked && booking == u"top-up" ? 20.0 : 10.0);
    QCOMPARE(queryValue(path, s(u"select count(*) from 操作记录")).toInt(), ledgerRows + (booked ? 1 : 0));
    QCOMPARE(queryValue(path, s(u"select count(*) from 上机记录 where 机号=3")).toInt(), checkout && booked ? 0 : 1);

    // The next start finds the machine as the file says, and the chain whole.
    Database next;
    QVERIFY(next.openDatabase(path));
    CounterState state;
    EGridModel grid;
    setupGrid(grid, kMachines);
    Counter again(state, grid, &next);
    const RestoredUsages found = again.restore();
    QCOMPARE(found.awaitingCheckout.size(), checkout && !booked ? 1 : 0);
    QCOMPARE(found.timing.size(), checkout ? 0 : 1);
    const LedgerCheck check = checkLedger(next);
    QVERIFY(check.readable);
    QCOMPARE(check.firstBroken, 0);
}

void TestLockedStore::depositHandedBackUnderALockIsWrittenLater()
{
    CounterFixture f(kMorning);
    const QString path = f.store.dir.databasePath();
    f.counter.start(3, s(u"10时0分0秒"), QStringLiteral("6"));
    f.grid.commitEdit(3, ConsoleColumn::Deposit, QStringLiteral("20"));
    QVERIFY(f.counter.acceptTyped(3, ConsoleColumn::Deposit));
    const MachineBill bill = f.counter.stop(3, s(u"10时0分0秒"));
    auto holder = holdLock(path, 2500);
    QVERIFY(holder);
    // Nothing to book: the deposit goes back over the counter all the same.
    CheckoutInput in { 3, bill.feeText, bill.goodsText, bill.depositText, QStringLiteral("-20"), false, {}, {}, {}, {} };
    QString error;
    QVERIFY(settleOnCounter(f.counter, f.store.db, f.store.rs, in, &error));
    QVERIFY(holder->waitForFinished(10000));
    QVERIFY(!f.counter.isProtected());
    QVERIFY(f.counter.flushEnded());
    QCOMPARE(queryValue(path, s(u"select 现金 from 操作记录 where 类型='结帐'")).toDouble(), -20.0);
    QCOMPARE(queryValue(path, s(u"select count(*) from 上机记录")).toInt(), 0);
    QCOMPARE(queryValue(path, s(u"select count(*) from 收入记录")).toInt(), 0);
}

void TestLockedStore::twoProgramsBookingAllTheTimeBothGetThrough()
{
    // Both wait for the lock in short, fair steps: neither is refused while the other books.
    constexpr int kRuns = 10;
    constexpr int kBookings = 500;
    for (int run = 0; run < kRuns; ++run) {
        StoreFixture store;
        const QString path = store.dir.databasePath();
        QVERIFY(runSql(path, { s(u"insert into 会员表 values ('P1', 10, 0, 10)"), s(u"insert into 会员表 values ('P8', 10, 0, 10)") }));
        QProcess a, b;
        a.start(QStringLiteral(STOREPEER), { QStringLiteral("book"), path, QString::number(kBookings), QStringLiteral("1") });
        b.start(QStringLiteral(STOREPEER), { QStringLiteral("book"), path, QString::number(kBookings), QStringLiteral("8") });
        QVERIFY(a.waitForFinished(120000));
        QVERIFY(b.waitForFinished(120000));
        QCOMPARE(a.readAllStandardOutput().trimmed(), QByteArray("refused 0"));
        QCOMPARE(b.readAllStandardOutput().trimmed(), QByteArray("refused 0"));
        // Every booking of both is in the file, once.
        QCOMPARE(queryValue(path, s(u"select count(*) from 收入记录")).toInt(), 2 * ((kBookings + 1) / 3 + kBookings / 3));
        QVERIFY(checkLedger(store.db).firstBroken == 0);
    }
}

void TestLockedStore::backupWhileAnotherProgramBooksIsTheFileOfOneMoment()
{
    StoreFixture store;
    const QString path = store.dir.databasePath();
    // Large enough for the copy to take many steps.
    QVERIFY(runSql(path, { s(u"insert into 会员表 values ('P1', 10, 0, 10)"),
                             s(u"with recursive n(i) as (select 0 union all select i+1 from n where i<199999) "
                               u"insert into 收入记录 select '2026-12-01 00:00:00', i % 15 + 1, '上机收入', '上机收入', "
                               u"(i % 40) / 2.0 from n") }));
    QProcess peer;
    peer.start(QStringLiteral(STOREPEER), { QStringLiteral("book"), path, QStringLiteral("300"), QStringLiteral("1") });
    QVERIFY(peer.waitForStarted());
    BackupRunner runner(path, store.dir.file(QStringLiteral("backup")));
    runner.setConnection(&store.db);
    QSignalSpy done(&runner, &BackupRunner::finished);
    QTest::qWait(50); // the peer is booking
    QVERIFY(runner.start());
    QVERIFY(done.wait(60000));
    QVERIFY(peer.waitForFinished(60000));
    const BackupOutcome outcome = done.first().first().value<BackupOutcome>();
    QVERIFY2(outcome.ok, qPrintable(outcome.error));
    // Rows are only ever added: the copy of one moment holds the file's first rows, no more,
    // no fewer, and a ledger whose chain holds.
    const QString copy = outcome.copy.path;
    const qint64 last = queryValue(copy, s(u"select max(rowid) from 收入记录")).toLongLong();
    QCOMPARE(queryValue(copy, s(u"select count(*) || ':' || sum(收入金额) from 收入记录")).toString(),
        queryValue(path, s(u"select count(*) || ':' || sum(收入金额) from 收入记录 where rowid<=%1").arg(last)).toString());
    QVERIFY(queryValue(path, s(u"select count(*) from 收入记录")).toLongLong() >= last);
    const LedgerCheck check = checkLedgerFile(copy);
    QVERIFY(check.readable);
    QCOMPARE(check.firstBroken, 0);
}

QTEST_GUILESS_MAIN(TestLockedStore)
#include "testlockedstore.moc"
