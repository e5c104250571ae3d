// Several counters on one PostgreSQL server (CTest label pg), each a process of its own.
#include "store/database.h"
#include "store/ledgertable.h"
#include "support/pgsupport.h"
#include "support/testsupport.h"

#include <QProcess>
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

QTEST_GUILESS_MAIN(TestPgCounters)
#include "testpgcounters.moc"
