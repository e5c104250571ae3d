// A café's date.mdb copied into an empty database of a real PostgreSQL server (CTest label pg).
#include "store/schema.h"
#include "store/ledgertable.h"
#include "store/pgcopy.h"
#include "support/pgsupport.h"
#include "support/testsupport.h"

#include <QSqlQuery>
#include <QtTest>

using namespace Qt::StringLiterals;

class TestPgCopy : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void aFileCopiedWhole();
    void refusedAndNothingStays_data();
    void refusedAndNothingStays();
    void aMillionBookingsCopied();

private:
    // A day's worth of everything the file holds.
    void fillFile();
    std::unique_ptr<StoreFixture> m_store;
    std::unique_ptr<PgTestDatabase> m_server;
};

void TestPgCopy::initTestCase()
{
    PG_TESTS_NEED_A_SERVER();
}

void TestPgCopy::init()
{
    m_store = std::make_unique<StoreFixture>();
    QVERIFY(m_store->db.openDatabase(m_store->dir.databasePath()));
    m_server = std::make_unique<PgTestDatabase>();
    QVERIFY(m_server->isMade());
    fillFile();
}

void TestPgCopy::cleanup()
{
    m_server.reset();
    m_store.reset();
}

void TestPgCopy::fillFile()
{
    QVERIFY(runSql(m_store->dir.databasePath(),
        { u"insert into 会员表 values ('A1', 100, 87.66, 12.34)"_s, u"insert into 会员表 values ('B2', 50, 0, 50)"_s,
            u"insert into 商品表 values ('可乐', 3.5)"_s, u"insert into 商品表 values ('泡面', 4.3)"_s,
            u"insert into 收入记录 values ('2026-12-10 09:30:00', 3, '上机收入', '上机收入', 12.5)"_s,
            u"insert into 收入记录 values ('2026-12-10 10:00:00', 0, '商品收入', '可乐', 3.5)"_s,
            u"insert into 上机记录 (机号, 上机时间, 分钟价, 上机钟点, 押金) values (7, 46366.4, 0.0667, '9时36分0秒', '20')"_s,
            u"insert into 班次 (操作员, 开始时间, 备用金, 结束时间, 实点现金) values ('小王', '2026-12-10 08:00:00', 200, "
            "'2026-12-10 16:00:00', 215.5)"_s,
            u"insert into 区域 (名称, 颜色) values ('包间', '#ff0000')"_s, u"insert into 机器 (机号, 名称, 区域) values (16, '靠窗', '包间')"_s,
            u"insert into 计费方案 (区域, 启用, 方案) values ('包间', 1, '{}')"_s,
            u"insert into 充值赠送 values (100, 10)"_s }));
    QString error;
    for (int i = 0; i < 30; ++i) {
        LedgerEntry e = ledgerEntry(m_store->db, i % 2 ? u"结帐"_s : u"充值"_s);
        e.machineNo = i % 15 + 1;
        e.amount = e.cash = 0.01 * i + 12.5;
        e.detail = i == 4 ? QString(QChar(0xD83D)) + u"半个字"_s : u"应收12.5，实收12.5"_s;
        if (i % 3 == 0)
            putPayment(e, e.amount, u"微信"_s, u"4200000123"_s);
        QVERIFY2(appendLedger(m_store->db, e, &error), qPrintable(error));
    }
}

void TestPgCopy::aFileCopiedWhole()
{
    QSqlDatabase server = m_server->connect(u"server"_s);
    CopyReport report;
    QString error;
    qint64 lastDone = -1;
    QVERIFY2(copyFileToServer(m_store->dir.databasePath(), server, &report, &error,
                 [&](const QString&, qint64 done, qint64) { lastDone = done; }),
        qPrintable(error));
    QVERIFY(lastDone > 0);
    // Every table, with the rows the file has.
    const QString file = m_store->dir.databasePath();
    QStringList tables;
    for (const auto& [table, rows] : std::as_const(report.rows)) {
        tables << table;
        QSqlQuery q(server);
        QVERIFY(q.exec(u"select count(*) from "_s + table) && q.next());
        QCOMPARE(q.value(0).toLongLong(), rows);
        QCOMPARE(rows, queryValue(file, u"select count(*) from "_s + table).toLongLong());
    }
    QCOMPARE(tables.size(), queryValue(file, u"select count(*) from sqlite_master where type='table' and name not like "
                                             "'sqlite_%'"_s).toInt());
    QSqlQuery q(server);
    // Amounts to the cent, the machines and zones the file's (not the steps' fifteen).
    QVERIFY(q.exec(u"select 余额::text from 会员表 where 会员编号='A1'"_s) && q.next());
    QCOMPARE(q.value(0).toString(), u"12.3400"_s);
    QVERIFY(q.exec(u"select count(*), max(机号) from 机器"_s) && q.next());
    QCOMPARE(q.value(0).toInt(), queryValue(file, u"select count(*) from 机器"_s).toInt());
    QCOMPARE(q.value(1).toInt(), 16);
    QVERIFY(q.exec(u"select 说明 from 操作记录 where 序号=5"_s) && q.next());
    QCOMPARE(q.value(0).toString(), queryValue(file, u"select 说明 from 操作记录 where 序号=5"_s).toString());
    QVERIFY(q.value(0).toString().endsWith(u"半个字"_s));
    // The server numbers the next rows after the copied ones.
    QVERIFY(q.exec(u"insert into 区域 (名称) values ('新区') returning 编号"_s) && q.next());
    QCOMPARE(q.value(0).toInt(), queryValue(file, u"select max(编号) from 区域"_s).toInt() + 1);
    QVERIFY(q.exec(u"insert into 收入记录 (日期, 收入金额) values ('2026-12-11', 1) returning rowid"_s) && q.next());
    QCOMPARE(q.value(0).toInt(), 3);
    // Copied once: a second copy into it is refused.
    QVERIFY(!copyFileToServer(file, server, nullptr, &error));
    QCOMPARE(error, u"目标数据库不是空的，未复制。请新建一个空的数据库。"_s);
}

void TestPgCopy::refusedAndNothingStays_data()
{
    QTest::addColumn<QStringList>("spoil");
    QTest::addColumn<QString>("said");
    QTest::newRow("a ledger row changed in the file")
        << QStringList { u"drop trigger 操作记录_不改"_s, u"update 操作记录 set 现金=0 where 序号=9"_s }
        << u"文件的操作记录从第9条起校验不通过，未复制。"_s;
    // SQLite keeps a text in a number column; the server refuses it, and the whole copy goes.
    QTest::newRow("a value the server refuses") << QStringList { u"insert into 收入记录 values ('2026-12-10', 'x3', "
                                                                 "'上机收入', '上机收入', 1)"_s }
                                                << u"表“收入记录”第1行起无法复制"_s;
    QTest::newRow("a file of an older version") << QStringList { u"PRAGMA user_version=8"_s }
                                                << u"文件是第8版，本程序是第%1版"_s.arg(currentSchemaVersion());
}

void TestPgCopy::refusedAndNothingStays()
{
    QFETCH(QStringList, spoil);
    QFETCH(QString, said);
    QVERIFY(runSql(m_store->dir.databasePath(), spoil));
    QSqlDatabase server = m_server->connect(u"server"_s);
    QString error;
    QVERIFY(!copyFileToServer(m_store->dir.databasePath(), server, nullptr, &error));
    QVERIFY2(error.startsWith(said), qPrintable(error));
    QCOMPARE(m_server->tableCount(), 0);
}

void TestPgCopy::aMillionBookingsCopied()
{
    // Three years of a busy café, beside the day the fixture holds.
    const QString file = m_store->dir.databasePath();
    QVERIFY(runSql(file, { u"with recursive n(i) as (select 0 union all select i+1 from n where i<999999) insert into "
                           "收入记录 select date('2023-12-10', '+' || (i / 913) || ' days') || ' 00:00:00', i % 15 + 1, "
                           "case when i % 3 then '上机收入' else '商品销售' end, case when i % 3 then '上机收入' else '可乐' "
                           "end, (i % 4000) / 100.0 from n"_s }));
    QSqlDatabase server = m_server->connect(u"server"_s);
    CopyReport report;
    QString error;
    QVERIFY2(copyFileToServer(file, server, &report, &error), qPrintable(error));
    QSqlQuery q(server);
    // Every booking, to the cent, each in its place.
    QVERIFY(q.exec(u"select count(*), sum(收入金额)::numeric(19,2)::text from 收入记录"_s) && q.next());
    QCOMPARE(q.value(0).toLongLong(), 1000002);
    QCOMPARE(q.value(1).toString(), queryValue(file, u"select printf('%.2f', sum(收入金额)) from 收入记录"_s).toString());
    const QString row = u"select 日期 || '/' || 机号 || '/' || 收入名称 from 收入记录 where rowid = 777777"_s;
    QVERIFY(q.exec(row) && q.next());
    QCOMPARE(q.value(0).toString(), queryValue(file, row).toString());
    const ServerLedgerCheck chain = checkServerLedger(server, &error);
    QCOMPARE(chain.firstBroken, qint64(0));
    QCOMPARE(chain.rows, queryValue(file, u"select count(*) from 操作记录"_s).toLongLong());
}

QTEST_GUILESS_MAIN(TestPgCopy)
#include "testpgcopy.moc"
