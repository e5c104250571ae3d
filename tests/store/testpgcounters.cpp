// Several counters on one PostgreSQL server (CTest label pg), each a process of its own.
#include "store/database.h"
#include "store/ledgertable.h"
#include "store/machinetable.h"
#include "store/membertable.h"
#include "store/shifttable.h"
#include "support/pgsupport.h"
#include "support/testsupport.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QSignalSpy>
#include <QSqlQuery>
#include <QtTest>

using namespace Qt::StringLiterals;

class TestPgCounters : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void twoCountersAtOnce_data();
    void twoCountersAtOnce();
    void aConnectionLostInATransaction();
    void aChangeReachesTheOtherCounter();
    void eachCounterItsMachinesAndShift();
};

void TestPgCounters::initTestCase()
{
    PG_TESTS_NEED_A_SERVER();
}

void TestPgCounters::twoCountersAtOnce_data()
{
    QTest::addColumn<QString>("secondCard");
    // On one card the card's row is the point where they meet; on two, only the ledger's head.
    QTest::newRow("one card") << u"A1"_s;
    QTest::newRow("two cards") << u"B2"_s;
}

void TestPgCounters::twoCountersAtOnce()
{
    QFETCH(QString, secondCard);
    PgTestDatabase server;
    QVERIFY(server.isMade());
    const QString uri = u"postgresql:///"_s + server.name();
    {
        // The first counter to open the database makes its schema.
        Database db;
        QVERIFY2(db.openServer(uri), qPrintable(db.lastError()));
        QVERIFY(db.run(u"insert into 会员表 (会员编号, 面值, 使用额, 余额) values ('A1', 20, 0, 20), ('B2', 20, 0, 20)"_s));
    }
    // Two counters take 500 checkouts of 0.01 each, at once.
    QProcess first, second;
    first.start(QStringLiteral(PGPEER), { uri, u"A1"_s, u"500"_s });
    second.start(QStringLiteral(PGPEER), { uri, secondCard, u"500"_s });
    for (QProcess* p : { &first, &second }) {
        QVERIFY(p->waitForFinished(240000));
        QCOMPARE(QString::fromUtf8(p->readAllStandardOutput()).trimmed(), u"done"_s);
    }
    QSqlDatabase db = server.connect(u"check"_s);
    QSqlQuery q(db);
    // No update lost: the card is exact, every checkout has its income row and its ledger row,
    // and the two counters' rows make one chain.
    QVERIFY(q.exec(u"select sum(余额)::text, min(余额)::text from 会员表 where 会员编号 in ('A1', '"_s + secondCard + u"')"_s)
        && q.next());
    QCOMPARE(q.value(0).toString(), secondCard == u"A1"_s ? u"10.0000"_s : u"30.0000"_s);
    QCOMPARE(q.value(1).toString(), secondCard == u"A1"_s ? u"10.0000"_s : u"15.0000"_s);
    QVERIFY(q.exec(u"select count(*), sum(收入金额)::text from 收入记录"_s) && q.next());
    QCOMPARE(q.value(0).toInt(), 1000);
    QCOMPARE(q.value(1).toString(), u"10.0000"_s);
    QString error;
    const ServerLedgerCheck check = checkServerLedger(db, &error);
    QCOMPARE(error, QString());
    QCOMPARE(check.rows, qint64(1000));
    QCOMPARE(check.firstBroken, qint64(0));
}

void TestPgCounters::aConnectionLostInATransaction()
{
    PgTestDatabase server;
    QVERIFY(server.isMade());
    Database db;
    QVERIFY2(db.openServer(u"postgresql:///"_s + server.name()), qPrintable(db.lastError()));
    QSqlDatabase admin = server.connect(u"admin"_s);
    {
        Transaction t(db);
        QVERIFY(t.isActive());
        QVERIFY(db.run(u"insert into 商品表 (商品名称, 单价) values ('可乐', 3.5)"_s));
        // The server ends the connection half-way (restarted, or the cable pulled).
        QVERIFY(pgRefusal(admin, u"select pg_terminate_backend(pid) from pg_stat_activity where datname = '"_s
                    + server.name() + u"' and pid <> pg_backend_pid()"_s)
                    .isEmpty());
        // The rest of the transaction does not go on its own through a new connection.
        QVERIFY(!db.run(u"insert into 商品表 (商品名称, 单价) values ('泡面', 4.3)"_s));
        QVERIFY(!t.commit());
    }
    // Once it has ended, the next booking (the same statement, made again on the new connection)
    // is written through a new connection; nothing of the one that was cut stayed.
    QVERIFY2(db.run(u"insert into 商品表 (商品名称, 单价) values ('可乐', 3.5)"_s), qPrintable(db.lastError()));
    QSqlQuery q(admin);
    QVERIFY(q.exec(u"select string_agg(商品名称, ',') from 商品表"_s) && q.next());
    QCOMPARE(q.value(0).toString(), u"可乐"_s);
}

void TestPgCounters::aChangeReachesTheOtherCounter()
{
    PgTestDatabase server;
    QVERIFY(server.isMade());
    const QString uri = u"postgresql:///"_s + server.name();
    Database here, there;
    QVERIFY2(here.openServer(uri), qPrintable(here.lastError()));
    QVERIFY2(there.openServer(uri), qPrintable(there.lastError()));
    QVERIFY(here.run(u"insert into 会员表 (会员编号, 面值, 使用额, 余额) values ('A1', 20, 0, 20)"_s));
    QSignalSpy heardHere(&here, &Database::changedElsewhere);
    QSignalSpy heardThere(&there, &Database::changedElsewhere);
    QTest::qWait(400); // the "read again" of each connection's own opening
    heardHere.clear();
    heardThere.clear();

    QString error;
    QElapsedTimer took;
    took.start();
    QVERIFY2(topUpCard(here, u"A1"_s, 10, &error), qPrintable(error));
    QTRY_VERIFY_WITH_TIMEOUT(heardThere.count() == 1, 1000);
    QVERIFY2(took.elapsed() < 1000, qPrintable(QString::number(took.elapsed())));
    QTest::qWait(300);
    QCOMPARE(heardHere.count(), 0); // its own change is no news to it
    QCOMPARE(heardThere.count(), 1); // the top-up's statements came as one

    // A rolled-back change tells nobody.
    {
        Transaction t(here);
        QVERIFY(here.run(u"update 会员表 set 余额=0"_s));
    }
    QTest::qWait(400);
    QCOMPARE(heardThere.count(), 1);
}

void TestPgCounters::eachCounterItsMachinesAndShift()
{
    PgTestDatabase server;
    QVERIFY(server.isMade());
    const QString uri = u"postgresql:///"_s + server.name();
    Database downstairs, upstairs;
    downstairs.setCounterName(u"一楼"_s);
    upstairs.setCounterName(u"二楼"_s);
    QVERIFY2(downstairs.openServer(uri), qPrintable(downstairs.lastError()));
    QVERIFY2(upstairs.openServer(uri), qPrintable(upstairs.lastError()));
    QString error;
    QVERIFY2(setMachineCounter(downstairs, { 1, 2, 3, 4, 5, 6, 7, 8, 9, 10 }, u"一楼"_s, &error), qPrintable(error));
    QVERIFY2(setMachineCounter(downstairs, { 11, 12, 13, 14, 15 }, u" 二楼 "_s, &error), qPrintable(error));
    const auto mine = [](Database& db) {
        MachineSetup setup;
        QStringList numbers;
        if (readMachines(db, setup, nullptr))
            for (const MachineInfo& m : setup.machines)
                numbers << (timesHere(db, m) ? QString::number(m.number) : QString());
        numbers.removeAll(QString());
        return numbers.join(u',');
    };
    QCOMPARE(mine(downstairs), u"1,2,3,4,5,6,7,8,9,10"_s);
    QCOMPARE(mine(upstairs), u"11,12,13,14,15"_s);
    QSqlDatabase check = server.connect(u"check"_s);
    QSqlQuery q(check);
    QVERIFY(q.exec(u"select 之前 || ' → ' || 之后 || ' ' || 说明 from 操作记录 order by 序号 desc limit 1"_s) && q.next());
    QCOMPARE(q.value(0).toString(), u"11-15号 各柜台 → 11-15号 二楼 设柜台"_s);

    // Each counter has a shift of its own open at once, and finds its own.
    ShiftRecord first, second, found;
    bool open = false;
    QVERIFY2(openShift(downstairs, 100, first, &error), qPrintable(error));
    QVERIFY2(openShift(upstairs, 50, second, &error), qPrintable(error));
    QVERIFY(first.number != second.number);
    QVERIFY(readOpenShift(upstairs, found, open, &error) && open);
    QCOMPARE(found.number, second.number);
    QVERIFY(readOpenShift(downstairs, found, open, &error) && open);
    QCOMPARE(found.number, first.number);
}

QTEST_GUILESS_MAIN(TestPgCounters)
#include "testpgcounters.moc"
