#include "store/database.h"
#include "store/recordset.h"
#include "store/income.h"
#include "store/sqltext.h"
#include "support/testsupport.h"

#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QtTest>

#include <atomic>
#include <thread>

namespace {

QString s(const char16_t* t) { return QString::fromUtf16(t); }

} // namespace

class TestDatabase : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void sqlDatesAndLiterals_data();
    void sqlDatesAndLiterals();
    void storedDatesRead_data();
    void storedDatesRead();
    void cardStatements();
    void goodsStatements();
    void bookingsAreFoundByTheirDay();
    void reportStatementsOnAFreshDatabase();
    void readsAndWritesHonourColumnTypes();
    void setLifecycle();
    void editingThroughAQuery();
    void apostrophesInNames();
    void duplicateCardNumberRefused();
    void transactionsAreAllOrNothing();
    void missingDatabase();
    void damagedOrLockedDatabaseFails();
    void bookingsWaitOutShortLocks_data();
    void bookingsWaitOutShortLocks();
    void appendingFetchesNoRows();
    void closedConnectionOpensAgain();
    void viewsKnowTheirStatement();
    void fileReplacedWhileOpen_data();
    void fileReplacedWhileOpen();
    void fileReplacedWithinATransaction();
    void emptyTextIsAValue();

private:
    void book(const QDateTime& when, int machine, const QString& type, const QString& name, double amount);

    TestProgramDir* m_dir = nullptr;
    ScriptedResponder* m_responder = nullptr;
    Database* m_db = nullptr;
    RecordSet* m_rs = nullptr;
};

void TestDatabase::init()
{
    m_dir = new TestProgramDir(true);
    m_responder = new ScriptedResponder;
    m_db = new Database;
    m_rs = new RecordSet;
    QVERIFY(m_db->openDatabase(m_dir->databasePath()));
    m_rs->bind(m_db);
}

void TestDatabase::cleanup()
{
    delete m_rs;
    delete m_db;
    delete m_responder;
    delete m_dir;
}

void TestDatabase::book(const QDateTime& when, int machine, const QString& type, const QString& name, double amount)
{
    QVERIFY(m_rs->openTable(s(u"收入记录")));
    QVERIFY(m_rs->addRecord());
    QVERIFY(m_rs->writeDate(u"日期", DateTime::fromQDateTime(when), 1));
    QVERIFY(m_rs->writeInteger(u"机号", machine));
    QVERIFY(m_rs->writeText(u"收入类型", type));
    QVERIFY(m_rs->writeText(u"收入名称", name));
    QVERIFY(m_rs->writeNumber(u"收入金额", amount));
    QVERIFY(m_rs->saveRecord());
    m_rs->closeSet();
}

void TestDatabase::sqlDatesAndLiterals_data()
{
    QTest::addColumn<QString>("actual");
    QTest::addColumn<QString>("expected");
    QTest::newRow("no leading zeros") << sqlDate(makeDate(2009, 1, 5, 13, 14, 15)) << "2009-1-5";
    QTest::newRow("february first") << sqlDate(makeDate(2014, 2, 1)) << "2014-2-1";
    QTest::newRow("two digits") << sqlDate(makeDate(2013, 11, 23)) << "2013-11-23";
    QTest::newRow("invalid") << sqlDate(DateTime(1e300)) << "";
    QTest::newRow("not a number") << sqlDate(DateTime(std::nan(""))) << "";
    QTest::newRow("quote") << sqlText(QStringLiteral("O'Brien")) << "'O''Brien'";
    QTest::newRow("plain") << sqlText(QStringLiteral("A001")) << "'A001'";
    QTest::newRow("date literal") << translateStatement(QStringLiteral("x=#2013-7-5#")) << "x='2013-07-05 00:00:00'";
    QTest::newRow("hash in quotes") << translateStatement(QStringLiteral("x='#2013-7-5#' and y=#2013-7-5#"))
                                    << "x='#2013-7-5#' and y='2013-07-05 00:00:00'";
    QTest::newRow("doubled quote") << translateStatement(QStringLiteral("x='a''#1#' or d=#2014-2-1#"))
                                   << "x='a''#1#' or d='2014-02-01 00:00:00'";
    QTest::newRow("double minus is not a comment") << translateStatement(QStringLiteral("set x=x--5 where a='--'"))
                                                   << "set x=x- -5 where a='--'";
    QTest::newRow("empty date stays invalid") << translateStatement(QStringLiteral("d=##")) << "d=##";
}

void TestDatabase::sqlDatesAndLiterals()
{
    QFETCH(QString, actual);
    QFETCH(QString, expected);
    QCOMPARE(actual, expected);
}

void TestDatabase::storedDatesRead_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QDateTime>("expected"); // invalid: not a date
    const QDate day(2026, 1, 2);
    QTest::newRow("date") << "2026-1-2" << QDateTime(day, QTime(0, 0));
    QTest::newRow("stored") << "2026-01-02 23:59:59" << QDateTime(day, QTime(23, 59, 59));
    QTest::newRow("slashes, no seconds") << "2026/1/2 3:04" << QDateTime(day, QTime(3, 4));
    QTest::newRow("T and spaces") << "  2026-1-2T 03:04:05  " << QDateTime(day, QTime(3, 4, 5));
    QTest::newRow("tab and newline") << "\t2026-1-2\r\n" << QDateTime(day, QTime(0, 0));
    QTest::newRow("wide space") << "\u30002026-1-2" << QDateTime();
    QTest::newRow("wide digits") << "２０２６-1-2" << QDateTime();
    for (const char* bad : { "", "x", "2026-13-1", "2026-2-30", "12345-1-1", "2026-1-123", "0-1-1", "2026-1-2 24:00",
             "2026-1-2 T", "2026-1-2 12:30:", "2026-1-2 12:305", "2026-1-2 123:45", "2026-1-2 1:2:3x", "2026-1" })
        QTest::addRow("not a date: '%s'", bad) << QString::fromLatin1(bad) << QDateTime();
}

void TestDatabase::storedDatesRead()
{
    QFETCH(QString, text);
    QFETCH(QDateTime, expected);
    bool ok = false;
    const DateTime read = parseStoredDate(text, &ok);
    QCOMPARE(ok, expected.isValid());
    if (ok)
        QCOMPARE(read.toQDateTime(), expected);
}

void TestDatabase::cardStatements()
{
    QVERIFY(runSql(m_dir->databasePath(),
        { s(u"insert into 会员表 (会员编号, 面值, 余额) values ('A001', 100, 100)"),
            s(u"insert into 会员表 (会员编号, 面值, 使用额, 余额) values ('A002', 50, 5, 45)") }));
    const QString card = QStringLiteral("A001");
    QVERIFY(m_db->execute(s(u"update 会员表 set 余额=余额-") + toText(8.2f) + s(u" where 会员编号=") + sqlText(card)));
    QVERIFY(m_db->execute(s(u"update 会员表 set 余额=余额+") + QStringLiteral("50.5") + s(u" where 会员编号=") + sqlText(card)));
    QVERIFY(m_rs->openQuery(s(u"select * from 会员表 where 会员编号='") + card + u'\''));
    QCOMPARE(m_rs->recordCount(), 1);
    double balance = 0;
    QVERIFY(m_rs->readNumber(u"余额", balance));
    QCOMPARE(balance, 142.3);
    double used = -1; // never written: Null reads as 0
    QVERIFY(m_rs->readNumber(u"使用额", used));
    QCOMPARE(used, 0.0);

    QVERIFY(m_db->execute(s(u"update 会员表 set 余额=0 ,使用额=0 where 会员编号='A002'")));
    QCOMPARE(queryValue(m_dir->databasePath(), s(u"select 余额+使用额 from 会员表 where 会员编号='A002'")).toDouble(), 0.0);
    QVERIFY(m_db->execute(s(u"delete from 会员表 where 会员编号='A002'")));
    QCOMPARE(queryValue(m_dir->databasePath(), s(u"select count(*) from 会员表")).toInt(), 1);
    // A negative amount subtracts its minus, as written.
    QVERIFY(m_db->execute(s(u"update 会员表 set 余额=余额-") + toText(-0.3f) + s(u" where 会员编号='A001'")));
    QCOMPARE(queryValue(m_dir->databasePath(), s(u"select 余额 from 会员表 where 会员编号='A001'")).toDouble(), 142.6);
    // An amount that is not a number is rejected by the engine, silently.
    QVERIFY(!m_db->execute(s(u"update 会员表 set 余额=余额+abc where 会员编号='A001'")));
    QVERIFY(m_responder->boxes.isEmpty());
}

void TestDatabase::goodsStatements()
{
    QVERIFY(m_rs->openTable(s(u"商品表")));
    QVERIFY(m_rs->addRecord());
    QVERIFY(m_rs->writeText(u"商品名称", s(u"可乐")));
    QVERIFY(m_rs->writeSingle(u"单价", 2.5f));
    QVERIFY(m_rs->addRecord()); // stores the pending record first
    QVERIFY(m_rs->writeText(u"商品名称", s(u"泡面")));
    QVERIFY(m_rs->writeSingle(u"单价", 4.3f));
    QVERIFY(m_rs->saveRecord());
    QCOMPARE(m_rs->recordCount(), 2);
    QVERIFY(m_rs->openQuery(s(u"select * from 商品表 where 商品名称='泡面'")));
    float price = 0;
    QVERIFY(m_rs->readSingle(u"单价", price));
    QCOMPARE(price, 4.3f);
    QVERIFY(m_db->execute(s(u"delete from 商品表 where 商品名称='可乐'")));
    QVERIFY(m_rs->openTable(s(u"商品表")));
    QCOMPARE(m_rs->recordCount(), 1);
    QString name;
    QVERIFY(m_rs->readText(0, name));
    QCOMPARE(name, s(u"泡面"));
}

void TestDatabase::bookingsAreFoundByTheirDay()
{
    book(QDateTime(QDate(2013, 7, 5), QTime(23, 59, 0)), 3, s(u"上机收入"), s(u"上机收入"), 12.5);
    book(QDateTime(QDate(2013, 7, 6), QTime(0, 0, 1)), 4, s(u"商品销售"), s(u"可乐"), 2.5);
    QCOMPARE(queryValue(m_dir->databasePath(), s(u"select 日期 from 收入记录 where 机号=3")).toString(),
        QStringLiteral("2013-07-05 00:00:00"));
    const QString day = sqlDate(makeDate(2013, 7, 5, 23, 59, 0));
    QVERIFY(m_rs->openQuery(s(u"select * from 收入记录 where 日期=#") + day + s(u"# order by 日期")));
    QCOMPARE(m_rs->recordCount(), 1);
    int machine = 0;
    QString type;
    double amount = 0;
    DateTime date;
    QVERIFY(m_rs->readInteger(u"机号", machine));
    QVERIFY(m_rs->readText(u"收入类型", type));
    QVERIFY(m_rs->readNumber(u"收入金额", amount));
    QVERIFY(m_rs->readDate(u"日期", date));
    QCOMPARE(machine, 3);
    QCOMPARE(type, s(u"上机收入"));
    QCOMPARE(amount, 12.5);
    QCOMPARE(date, makeDate(2013, 7, 5));
}

void TestDatabase::reportStatementsOnAFreshDatabase()
{
    book(QDateTime(QDate(2013, 7, 5), QTime(10, 0)), 1, s(u"上机收入"), s(u"上机收入"), 10.0);
    book(QDateTime(QDate(2013, 7, 5), QTime(11, 0)), 2, s(u"上机收入"), s(u"上机收入"), 2.5);
    book(QDateTime(QDate(2013, 7, 5), QTime(12, 0)), 2, s(u"商品销售"), s(u"可乐"), 3.0);
    book(QDateTime(QDate(2013, 7, 7), QTime(12, 0)), 2, s(u"商品销售"), s(u"泡面"), 4.5);
    book(QDateTime(QDate(2013, 7, 12), QTime(12, 0)), 2, s(u"上机收入"), s(u"上机收入"), 99.0);
    const QString start = QStringLiteral("2013-7-1"), end = QStringLiteral("2013-7-7");
    // The views do not exist yet: both drops fail silently.
    QVERIFY(!m_db->execute(s(u"DROP VIEW 业绩1")));
    QVERIFY(m_db->execute(s(u"create view 业绩1 as SELECT Sum(收入金额) AS 上机收入, 日期 FROM 收入记录 where 日期 between #")
        + start + s(u"# and #") + end + s(u"# and 收入类型='上机收入'  GROUP BY 日期")));
    QVERIFY(!m_db->execute(s(u"DROP VIEW 业绩2")));
    QVERIFY(m_db->execute(s(u"create view 业绩2 as SELECT Sum(收入金额) AS 上机收入, 日期 FROM 收入记录 where 日期 between #")
        + start + s(u"# and #") + end + s(u"# and 收入类型='商品销售'  GROUP BY 日期")));
    QVERIFY(m_rs->openQuery(s(u"SELECT 收入记录.日期, 业绩1.上机收入, 业绩2.上机收入 FROM (收入记录 LEFT JOIN 业绩1 ON 收入记录.日期 = 业绩1.日期) "
                              u"LEFT JOIN 业绩2 ON 收入记录.日期 = 业绩2.日期 where 收入记录.日期 between #")
        + start + s(u"# and #") + end + s(u"# GROUP BY 收入记录.日期, 业绩1.上机收入, 业绩2.上机收入")));
    QCOMPARE(m_rs->recordCount(), 2);
    DateTime day;
    double machineIncome = -1, goodsIncome = -1;
    QVERIFY(m_rs->readDate(u"日期", day));
    QVERIFY(m_rs->readNumber(1, machineIncome));
    QVERIFY(m_rs->readNumber(2, goodsIncome));
    QCOMPARE(day, makeDate(2013, 7, 5));
    QCOMPARE(machineIncome, 12.5);
    QCOMPARE(goodsIncome, 3.0);
    QVERIFY(m_rs->moveNext());
    machineIncome = -1;
    QVERIFY(m_rs->readDate(0, day));
    QVERIFY(m_rs->readNumber(1, machineIncome)); // no machine income that day: Null reads 0
    QVERIFY(m_rs->readNumber(2, goodsIncome));
    QCOMPARE(day, makeDate(2013, 7, 7));
    QCOMPARE(machineIncome, 0.0);
    QCOMPARE(goodsIncome, 4.5);
    QVERIFY(!m_rs->moveNext());
    QVERIFY(!m_rs->readDate(0, day));
    // A second run replaces the views.
    QVERIFY(m_db->execute(s(u"DROP VIEW 业绩1")));
    QVERIFY(m_responder->boxes.isEmpty());
}

void TestDatabase::readsAndWritesHonourColumnTypes()
{
    QVERIFY(runSql(m_dir->databasePath(), { s(u"insert into 会员表 (会员编号, 面值, 余额) values ('A001', 100, 20.5)") }));
    QVERIFY(m_rs->openTable(s(u"会员表")));
    float single = 7;
    QVERIFY(!m_rs->readSingle(u"余额", single)); // money is not a single
    double number = 7;
    QVERIFY(!m_rs->readNumber(u"会员编号", number)); // text is not a number: left as it was
    QCOMPARE(number, 7.0);
    int integer = 7;
    QVERIFY(!m_rs->readInteger(u"余额", integer));
    QCOMPARE(integer, 7);
    QVERIFY(m_rs->readNumber(u"余额", number));
    QCOMPARE(number, 20.5);
    QString text;
    QVERIFY(!m_rs->readText(u"没有这列", text));
    QVERIFY(m_rs->addRecord());
    QVERIFY(!m_rs->writeInteger(u"会员编号", 5));
    QVERIFY(!m_rs->writeNumber(u"会员编号", 5.0));
    QVERIFY(m_rs->writeText(u"会员编号", QStringLiteral("B7")));
    QVERIFY(m_rs->writeNumber(u"面值", 1.0 / 3.0)); // currency keeps four places
    QVERIFY(m_rs->saveRecord());
    QCOMPARE(queryValue(m_dir->databasePath(), s(u"select 面值 from 会员表 where 会员编号='B7'")).toDouble(), 0.3333);

    QVERIFY(m_rs->openTable(s(u"收入记录")));
    QVERIFY(m_rs->addRecord());
    QVERIFY(!m_rs->writeInteger(u"收入类型", 1));
    QVERIFY(!m_rs->writeDate(u"机号", now()));
    QVERIFY(m_rs->writeDate(u"日期", makeDate(2020, 2, 29, 13, 30, 0), 2));
    DateTime t;
    QVERIFY(m_rs->readDate(u"日期", t));
    QCOMPARE(timeToText(t, 1), QStringLiteral("1899年12月30日13时30分"));
}

void TestDatabase::setLifecycle()
{
    QCOMPARE(m_rs->recordCount(), -1);
    QVERIFY(m_rs->openTable(s(u"会员表")));
    QCOMPARE(m_rs->recordCount(), 0);
    QVERIFY(m_rs->addRecord());
    QVERIFY(m_rs->writeText(u"会员编号", QStringLiteral("P1")));
    // Opening again closes the set; the unsaved record is dropped, nothing half-written.
    QVERIFY(m_rs->openTable(s(u"商品表")));
    QCOMPARE(queryValue(m_dir->databasePath(), s(u"select count(*) from 会员表")).toInt(), 0);
    QVERIFY(m_rs->closeSet());
    QVERIFY(!m_rs->closeSet());
    QCOMPARE(m_rs->recordCount(), -1);
    QString text = QStringLiteral("x");
    QVERIFY(!m_rs->readText(0, text));
    QCOMPARE(text, QString());
    float single = 5;
    QVERIFY(!m_rs->readSingle(0, single));
    QCOMPARE(single, 0.0f);
    QVERIFY(!m_rs->addRecord());
    // A saved record is visible to anyone at once.
    QVERIFY(m_rs->openTable(s(u"会员表")));
    QVERIFY(m_rs->addRecord());
    QVERIFY(m_rs->writeText(u"会员编号", QStringLiteral("P2")));
    QVERIFY(m_rs->saveRecord());
    QCOMPARE(queryValue(m_dir->databasePath(), s(u"select count(*) from 会员表")).toInt(), 1);
    // A statement that names a missing table shows the engine's text, once.
    QVERIFY(!m_rs->openQuery(QStringLiteral("select * from 没有的表")));
    QCOMPARE(m_responder->boxes.size(), 1);
    QVERIFY(m_responder->boxes[0].text.contains(QStringLiteral("没有的表")));
    QCOMPARE(m_rs->recordCount(), -1);
}

void TestDatabase::editingThroughAQuery()
{
    QVERIFY(runSql(m_dir->databasePath(), { s(u"insert into 商品表 values ('可乐', 2.5)"), s(u"insert into 商品表 values ('雪碧', 3)") }));
    QVERIFY(m_rs->openQuery(s(u"select * from 商品表 where 商品名称='雪碧'")));
    QVERIFY(m_rs->writeSingle(u"单价", 3.5f));
    QVERIFY(m_rs->saveRecord());
    QCOMPARE(queryValue(m_dir->databasePath(), s(u"select 单价 from 商品表 where 商品名称='雪碧'")).toDouble(), 3.5);
    QCOMPARE(queryValue(m_dir->databasePath(), s(u"select 单价 from 商品表 where 商品名称='可乐'")).toDouble(), 2.5);
    // Adding a record stores the edit of the current one first.
    QVERIFY(m_rs->openQuery(s(u"select * from 商品表 where 商品名称='可乐'")));
    QVERIFY(m_rs->writeSingle(u"单价", 2.75f));
    QVERIFY(m_rs->addRecord());
    QVERIFY(m_rs->writeText(u"商品名称", s(u"泡面")));
    QVERIFY(m_rs->saveRecord());
    QCOMPARE(queryValue(m_dir->databasePath(), s(u"select 单价 from 商品表 where 商品名称='可乐'")).toDouble(), 2.75);
    QCOMPARE(queryValue(m_dir->databasePath(), s(u"select count(*) from 商品表")).toInt(), 3);
    // A join is not updatable.
    QVERIFY(m_rs->openQuery(s(u"select a.商品名称 from 商品表 a, 商品表 b")));
    QVERIFY(!m_rs->writeText(0, QStringLiteral("x")));
}

void TestDatabase::apostrophesInNames()
{
    QVERIFY(runSql(m_dir->databasePath(),
        { s(u"insert into 会员表 (会员编号, 余额) values ('O''Brien', 10)"), s(u"insert into 会员表 (会员编号, 余额) values ('O', 10)"),
            s(u"insert into 商品表 values ('Tom''s 咖啡', 6)"), s(u"insert into 商品表 values ('Tom', 1)") }));
    const QString card = QStringLiteral("O'Brien");
    QVERIFY(m_rs->openQuery(s(u"select * from 会员表 where 会员编号=") + sqlText(card)));
    QCOMPARE(m_rs->recordCount(), 1);
    QVERIFY(m_db->execute(s(u"update 会员表 set 余额=余额-") + toText(2.5f) + s(u" where 会员编号=") + sqlText(card)));
    QCOMPARE(queryValue(m_dir->databasePath(), s(u"select 余额 from 会员表 where 会员编号='O''Brien'")).toDouble(), 7.5);
    QCOMPARE(queryValue(m_dir->databasePath(), s(u"select 余额 from 会员表 where 会员编号='O'")).toDouble(), 10.0);
    QVERIFY(m_db->execute(s(u"delete from 会员表 where 会员编号=") + sqlText(card)));
    QCOMPARE(queryValue(m_dir->databasePath(), s(u"select count(*) from 会员表")).toInt(), 1);

    const QString goods = s(u"Tom's 咖啡");
    QVERIFY(m_rs->openQuery(s(u"select * from 商品表 where 商品名称=") + sqlText(goods)));
    float price = 0;
    QVERIFY(m_rs->readSingle(u"单价", price));
    QCOMPARE(price, 6.0f);
    QVERIFY(m_db->execute(s(u"delete from 商品表 where 商品名称=") + sqlText(goods)));
    QCOMPARE(queryValue(m_dir->databasePath(), s(u"select 商品名称 from 商品表")).toString(), QStringLiteral("Tom"));
    // A name that tries to end the statement is just a name.
    QVERIFY(m_db->execute(s(u"delete from 商品表 where 商品名称=") + sqlText(QStringLiteral("x' or '1'='1"))));
    QCOMPARE(queryValue(m_dir->databasePath(), s(u"select count(*) from 商品表")).toInt(), 1);
}

void TestDatabase::duplicateCardNumberRefused()
{
    QVERIFY(m_rs->openTable(s(u"会员表")));
    for (int i = 0; i < 2; ++i) {
        QVERIFY(m_rs->addRecord());
        QVERIFY(m_rs->writeText(u"会员编号", QStringLiteral("C1")));
        QVERIFY(m_rs->writeNumber(u"面值", 50));
        QCOMPARE(m_rs->saveRecord(), i == 0);
    }
    QVERIFY(!m_rs->lastError().isEmpty());
    QCOMPARE(queryValue(m_dir->databasePath(), s(u"select count(*) from 会员表")).toInt(), 1);
}

void TestDatabase::transactionsAreAllOrNothing()
{
    QVERIFY(m_db->beginTransaction());
    book(QDateTime(QDate(2013, 7, 5), QTime(10, 0)), 1, s(u"上机收入"), s(u"上机收入"), 10.0);
    QVERIFY(m_db->rollbackTransaction());
    QCOMPARE(queryValue(m_dir->databasePath(), s(u"select count(*) from 收入记录")).toInt(), 0);
    QVERIFY(m_db->beginTransaction());
    book(QDateTime(QDate(2013, 7, 5), QTime(10, 0)), 1, s(u"上机收入"), s(u"上机收入"), 10.0);
    QVERIFY(m_db->commitTransaction());
    QCOMPARE(queryValue(m_dir->databasePath(), s(u"select count(*) from 收入记录")).toInt(), 1);
}

void TestDatabase::missingDatabase()
{
    const QString path = m_dir->file(QStringLiteral("gone.mdb"));
    Database db;
    QVERIFY(!db.openDatabase(path));
    QVERIFY(!QFile::exists(path));
    QVERIFY(m_responder->boxes.isEmpty());
    RecordSet rs;
    rs.bind(&db);
    QVERIFY(!rs.openTable(s(u"会员表")));
    QCOMPARE(m_responder->boxes.size(), 1);
    QCOMPARE(rs.recordCount(), -1);
    QVERIFY(!rs.openQuery(s(u"select * from 商品表")));
    QCOMPARE(m_responder->boxes.size(), 2);
    QVERIFY(!db.execute(s(u"delete from 会员表")));
    QCOMPARE(m_responder->boxes.size(), 2);
    double number = 3;
    QVERIFY(!rs.readNumber(0, number));
    QCOMPARE(number, 3.0);
}

void TestDatabase::damagedOrLockedDatabaseFails()
{
    const QString junk = m_dir->file(QStringLiteral("junk.mdb"));
    {
        QFile f(junk);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(4096, 'x'));
    }
    Database db;
    QVERIFY(!db.openDatabase(junk));
    QVERIFY(!db.isOpen());

    // Another program holds the file locked: the open gives up after a short wait.
    {
        QSqlDatabase other = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("locker"));
        other.setDatabaseName(m_dir->databasePath());
        QVERIFY(other.open());
        QSqlQuery lock(other);
        QVERIFY(lock.exec(QStringLiteral("BEGIN EXCLUSIVE")));
        QVERIFY(lock.exec(s(u"insert into 商品表 values ('x', 1)")));
        QElapsedTimer waited;
        waited.start();
        QVERIFY(!db.openDatabase(m_dir->databasePath()));
        QVERIFY(waited.elapsed() < 10000);
        QVERIFY(lock.exec(QStringLiteral("ROLLBACK")));
        lock = QSqlQuery();
        other.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("locker"));
    QVERIFY(db.openDatabase(m_dir->databasePath()));
}

void TestDatabase::bookingsWaitOutShortLocks_data()
{
    QTest::addColumn<int>("heldMs");
    QTest::addColumn<bool>("booked");
    QTest::newRow("a moment") << 400 << true;
    QTest::newRow("past the wait") << 4000 << false;
}

// Another program writes to date.mdb for a while, as a second connection in its own thread.
void TestDatabase::bookingsWaitOutShortLocks()
{
    QFETCH(int, heldMs);
    QFETCH(bool, booked);
    const QString path = m_dir->databasePath();
    std::atomic<bool> locked { false };
    std::thread other([&] {
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("other program"));
            db.setDatabaseName(path);
            if (db.open()) {
                QSqlQuery q(db);
                q.exec(QStringLiteral("BEGIN IMMEDIATE"));
                q.exec(s(u"insert into 商品表 values ('其他程序', 1)"));
                locked = true;
                std::this_thread::sleep_for(std::chrono::milliseconds(heldMs));
                q.exec(QStringLiteral("COMMIT"));
            }
            locked = true;
            db.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("other program"));
    });
    while (!locked)
        std::this_thread::yield();
    const IncomeRow row { makeDate(2026, 12, 7), 3, s(u"上机收入"), s(u"上机收入"), 12.5 };
    QString error;
    const bool result = bookIncome(*m_db, *m_rs, { row, row }, &error);
    other.join();
    QCOMPARE(result, booked);
    QCOMPARE(queryValue(path, s(u"select count(*) from 收入记录")).toInt(), booked ? 2 : 0);
    QCOMPARE(error.contains(QStringLiteral("locked")), !booked);
    QCOMPARE(queryValue(path, s(u"select count(*) from 商品表")).toInt(), 1);
    // Once the lock is gone the same connection books at once.
    QVERIFY(bookIncome(*m_db, *m_rs, { row }, &error));
    QVERIFY(m_responder->boxes.isEmpty());
}

void TestDatabase::appendingFetchesNoRows()
{
    QVERIFY(runSql(m_dir->databasePath(),
        { s(u"insert into 商品表 values ('可乐', 2.5)"), s(u"insert into 商品表 values ('雪碧', 3)") }));
    QVERIFY(m_rs->openTable(s(u"商品表")));
    QVERIFY(m_rs->addRecord());
    QVERIFY(m_rs->writeText(u"商品名称", s(u"红茶")));
    QVERIFY(m_rs->writeSingle(u"单价", 2.0f));
    QVERIFY(m_rs->saveRecord());
    // Reading after appending still sees the saved record as current, then every row.
    QString name;
    QVERIFY(m_rs->readText(u"商品名称", name));
    QCOMPARE(name, s(u"红茶"));
    QCOMPARE(m_rs->recordCount(), 3);
    QVERIFY(!m_rs->moveNext());
    // A fresh set starts on the first record and may be edited through.
    QVERIFY(m_rs->openTable(s(u"商品表")));
    QVERIFY(m_rs->writeSingle(u"单价", 2.8f));
    QVERIFY(m_rs->saveRecord());
    QCOMPARE(queryValue(m_dir->databasePath(), s(u"select 单价 from 商品表 where 商品名称='可乐'")).toFloat(), 2.8f);
    QVERIFY(m_rs->moveNext());
    QVERIFY(m_rs->readText(u"商品名称", name));
    QCOMPARE(name, s(u"雪碧"));
}

void TestDatabase::closedConnectionOpensAgain()
{
    const QString path = m_dir->databasePath();
    const QString aside = path + QStringLiteral(".aside");
    m_db->closeDatabase(); // on purpose: stays closed
    QVERIFY(!m_db->execute(s(u"delete from 商品表")));
    QVERIFY(!m_db->isOpen());
    QVERIFY(QFile::rename(path, aside));
    QVERIFY(!m_db->openDatabase(path));
    QCOMPARE(m_db->openFailure(), Database::OpenFailure::Missing);
    QVERIFY(!m_rs->openTable(s(u"商品表")));
    QCOMPARE(m_responder->boxes.size(), 1);
    QVERIFY(QFile::rename(aside, path));
    QVERIFY(m_rs->openTable(s(u"商品表")));
    QCOMPARE(m_rs->recordCount(), 0);
    QVERIFY(m_db->isOpen());
    QCOMPARE(m_db->openFailure(), Database::OpenFailure::None);
}

void TestDatabase::fileReplacedWhileOpen_data()
{
    QTest::addColumn<bool>("deleted"); // or another file put in its place
    QTest::newRow("deleted, then put back") << true;
    QTest::newRow("replaced by another file") << false;
}

void TestDatabase::fileReplacedWhileOpen()
{
    QFETCH(bool, deleted);
    const QString path = m_dir->databasePath();
    const QString other = m_dir->file(QStringLiteral("other.mdb"));
    QVERIFY(QFile::copy(path, other));
    QVERIFY(runSql(other, { s(u"insert into 商品表 values ('备份里的', 1)") }));
    QVERIFY(m_db->execute(s(u"insert into 商品表 values ('原来的', 1)")));
    QVERIFY(QFile::remove(path));
    if (deleted) {
        // Gone is an outage, said as one, and nothing is made in its place.
        QVERIFY(!m_db->execute(s(u"insert into 商品表 values ('丢失的', 1)")));
        QCOMPARE(m_db->openFailure(), Database::OpenFailure::Missing);
        QVERIFY(m_db->lastError().contains(QStringLiteral("date.mdb")));
        QVERIFY(!QFile::exists(path));
    }
    QVERIFY(QFile::rename(other, path));
    QVERIFY(m_db->execute(s(u"insert into 商品表 values ('新写的', 1)")));
    QCOMPARE(queryValue(path, s(u"select group_concat(商品名称, ',') from 商品表")).toString(),
        s(u"备份里的,新写的"));
}

void TestDatabase::fileReplacedWithinATransaction()
{
    const QString path = m_dir->databasePath();
    const QString other = m_dir->file(QStringLiteral("other.mdb"));
    QVERIFY(QFile::copy(path, other));
    Transaction outer(*m_db);
    QVERIFY(outer.isActive());
    QVERIFY(m_db->execute(s(u"insert into 商品表 values ('原来的', 1)")));
    QVERIFY(QFile::remove(path));
    QVERIFY(QFile::rename(other, path));
    {
        Transaction inner(*m_db);
        // The rest of the transaction goes nowhere, neither to the old file nor to the new.
        QVERIFY(!m_db->execute(s(u"insert into 商品表 values ('半截的', 1)")));
        QVERIFY(inner.commit());
    }
    QVERIFY(!outer.commit());
    QCOMPARE(queryValue(path, s(u"select count(*) from 商品表")).toInt(), 0);
    QVERIFY(m_db->execute(s(u"insert into 商品表 values ('新写的', 1)"))); // the new file, from now on
    QCOMPARE(queryValue(path, s(u"select count(*) from 商品表")).toInt(), 1);
}

void TestDatabase::emptyTextIsAValue()
{
    QVERIFY(m_rs->openTable(s(u"会员表")));
    QVERIFY(m_rs->addRecord());
    QVERIFY(m_rs->writeText(u"会员编号", QString()));
    QVERIFY(m_rs->saveRecord());
    QVERIFY(m_rs->addRecord());
    QVERIFY(m_rs->writeText(u"会员编号", QStringLiteral("")));
    QVERIFY(!m_rs->saveRecord()); // a duplicate like any other number
    m_rs->closeSet();
    QCOMPARE(queryValue(m_dir->databasePath(), s(u"select count(*) from 会员表 where 会员编号=''")).toInt(), 1);
}

void TestDatabase::viewsKnowTheirStatement()
{
    const QString week = s(u"create view 业绩1 as SELECT Sum(收入金额) AS 上机收入, 日期 FROM 收入记录 where 日期 between "
                           u"#2026-12-1# and #2026-12-7# and 收入类型='上机收入'  GROUP BY 日期");
    QVERIFY(!m_db->viewMadeBy(s(u"业绩1"), week));
    QVERIFY(m_db->execute(week));
    QVERIFY(m_db->viewMadeBy(s(u"业绩1"), week));
    QVERIFY(!m_db->viewMadeBy(s(u"业绩1"), QString(week).replace(QStringLiteral("12-7#"), QStringLiteral("12-8#"))));
    QVERIFY(!m_db->viewMadeBy(s(u"业绩2"), week));
}

QTEST_GUILESS_MAIN(TestDatabase)
#include "testdatabase.moc"
