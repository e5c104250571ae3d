// The schema on a real PostgreSQL server, started for the run by pg_virtualenv (CTest's label
// pg); without one the tests say so and are skipped.
#include "store/pgschema.h"
#include "store/schema.h"
#include "support/pgsupport.h"
#include "support/testsupport.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

#include <thread>

using namespace Qt::StringLiterals;

namespace {

// Table → its columns in order, as the engine describes them.
QMap<QString, QStringList> shapeOf(QSqlDatabase& db, bool postgres)
{
    QMap<QString, QStringList> shape;
    QSqlQuery q(db);
    if (postgres) {
        q.exec(u"select table_name, column_name from information_schema.columns where table_schema='public' "
               "order by table_name, ordinal_position"_s);
        while (q.next()) {
            if (q.value(1).toString() != u"rowid"_s && q.value(0).toString() != u"数据库版本"_s)
                shape[q.value(0).toString()].append(q.value(1).toString());
        }
        return shape;
    }
    q.exec(u"select name from sqlite_master where type='table' and name not like 'sqlite_%'"_s);
    QStringList tables;
    while (q.next())
        tables << q.value(0).toString();
    for (const QString& t : std::as_const(tables)) {
        QSqlQuery c(db);
        c.exec(u"pragma table_info("_s + t + u')');
        while (c.next())
            shape[t].append(c.value(1).toString());
    }
    return shape;
}

} // namespace

class TestPgSchema : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void theSameStepsAsTheFile();
    void aNewDatabaseGetsTheWholeShape();
    void itsRulesHold_data();
    void itsRulesHold();
    void anOlderOneIsUpgradedANewerOneRefused();
    void twoCountersStartingTogetherMakeOneSchema();

private:
    std::unique_ptr<PgTestDatabase> m_database;
};

void TestPgSchema::initTestCase()
{
    PG_TESTS_NEED_A_SERVER();
}

void TestPgSchema::init()
{
    m_database = std::make_unique<PgTestDatabase>(); // one of its own for every test
    QVERIFY(m_database->isMade());
}

void TestPgSchema::cleanup() { m_database.reset(); }

void TestPgSchema::theSameStepsAsTheFile()
{
    // Every step of the file's has its twin, in the same order: a step added to one engine
    // alone shows here.
    QVector<int> file { 0 }, server;
    for (const SchemaStep& s : schemaSteps())
        file << s.version;
    for (const SchemaStep& s : pgSchemaSteps())
        server << s.version;
    QCOMPARE(server, file);
}

void TestPgSchema::aNewDatabaseGetsTheWholeShape()
{
    QSqlDatabase db = m_database->connect(u"one"_s);
    int from = -1;
    QString why;
    QCOMPARE(upgradePgSchema(db, pgSchemaSteps(), &from, &why), UpgradeResult::Upgraded);
    QCOMPARE(why, QString());
    QCOMPARE(from, 0);
    QCOMPARE(upgradePgSchema(db, pgSchemaSteps(), &from, &why), UpgradeResult::Current);
    QCOMPARE(from, currentSchemaVersion());
    // The tables and their columns are the file's, in the file's order.
    QTemporaryDir dir;
    QVERIFY(createDatabase(dir.filePath(u"date.mdb"_s)));
    QMap<QString, QStringList> file;
    {
        QSqlDatabase sqlite = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"file"_s);
        sqlite.setDatabaseName(dir.filePath(u"date.mdb"_s));
        QVERIFY(sqlite.open());
        file = shapeOf(sqlite, false);
    }
    QCOMPARE(shapeOf(db, true), file);
    // The fifteen machines in 大厅, and the next zone made is numbered after it.
    QSqlQuery q(db);
    QVERIFY(q.exec(u"insert into 区域 (名称) values ('包间') returning 编号"_s) && q.next());
    QCOMPARE(q.value(0).toInt(), 2);
    QVERIFY(q.exec(u"select count(*), min(区域), max(区域) from 机器"_s) && q.next());
    QCOMPARE(q.value(0).toInt(), 15);
    QCOMPARE(q.value(1).toString(), u"大厅"_s);
}

void TestPgSchema::itsRulesHold_data()
{
    QTest::addColumn<QStringList>("before");
    QTest::addColumn<QString>("statement");
    QTest::addColumn<QString>("said");
    const QString row = u"insert into 操作记录 (序号, 时间, 类型, 校验) values (1, '2026-12-10 09:00:00', '登录', 'x')"_s;
    QTest::newRow("a ledger row changed") << QStringList { row } << u"update 操作记录 set 类型='结帐'"_s
                                          << u"操作记录只能增加，不能修改"_s;
    QTest::newRow("a ledger row removed") << QStringList { row } << u"delete from 操作记录"_s
                                          << u"操作记录只能增加，不能删除"_s;
    QTest::newRow("the ledger emptied at once") << QStringList { row } << u"truncate 操作记录"_s
                                                << u"操作记录只能增加，不能删除"_s;
    const QString open = u"insert into 班次 (操作员, 开始时间) values ('小王', '2026-12-10 09:00:00')"_s;
    QTest::newRow("a second open shift") << QStringList { open } << open << u"班次_每柜台只开一个"_s;
    QTest::newRow("a handed-over shift changed")
        << QStringList { open, u"update 班次 set 结束时间='2026-12-10 17:00:00'"_s } << u"update 班次 set 备注='x'"_s
        << u"已交班的班次不能修改"_s;
    QTest::newRow("a price plan changed")
        << QStringList { u"insert into 计费方案 (区域, 启用, 方案) values ('大厅', 1, '{}')"_s }
        << u"update 计费方案 set 启用=0"_s << u"计费方案只能增加新版本"_s;
    QTest::newRow("machine 501") << QStringList() << u"insert into 机器 (机号) values (501)"_s << u"机器_机号_check"_s;
    QTest::newRow("two cards of one number") << QStringList { u"insert into 会员表 (会员编号) values ('A1')"_s }
                                             << u"insert into 会员表 (会员编号) values ('A1')"_s << u"会员表_会员编号"_s;
}

void TestPgSchema::itsRulesHold()
{
    QFETCH(QStringList, before);
    QFETCH(QString, statement);
    QFETCH(QString, said);
    QSqlDatabase db = m_database->connect(u"one"_s);
    QCOMPARE(upgradePgSchema(db, pgSchemaSteps()), UpgradeResult::Upgraded);
    for (const QString& s : std::as_const(before))
        QCOMPARE(pgRefusal(db, s), QString());
    const QString why = pgRefusal(db, statement);
    QVERIFY2(why.contains(said), qPrintable(why));
}

void TestPgSchema::anOlderOneIsUpgradedANewerOneRefused()
{
    QSqlDatabase db = m_database->connect(u"one"_s);
    const QVector<SchemaStep> toFive = pgSchemaSteps().mid(0, 6);
    QCOMPARE(toFive.last().version, 5);
    QCOMPARE(upgradePgSchema(db, toFive), UpgradeResult::Upgraded);
    QCOMPARE(pgRefusal(db, u"insert into 操作记录 (序号, 时间, 类型, 校验) values (1, '2026-12-10', '登录', 'x')"_s), QString());
    int from = -1;
    QCOMPARE(upgradePgSchema(db, pgSchemaSteps(), &from), UpgradeResult::Upgraded);
    QCOMPARE(from, 5);
    // The row written at version 5 reads as paid in cash, as in the file.
    QSqlQuery q(db);
    QVERIFY(q.exec(u"select 支付方式, 收款 from 操作记录"_s) && q.next());
    QCOMPARE(q.value(0).toString(), QString(u""_s));
    QCOMPARE(q.value(1).toDouble(), 0.0);
    // A newer program's database is not written.
    QCOMPARE(pgRefusal(db, u"update 数据库版本 set 版本 = 版本 + 1"_s), QString());
    QCOMPARE(upgradePgSchema(db, pgSchemaSteps(), &from), UpgradeResult::TooNew);
    QCOMPARE(from, currentSchemaVersion() + 1);
}

void TestPgSchema::twoCountersStartingTogetherMakeOneSchema()
{
    // Two connections, as two counters' would be, upgrading the empty database at once, again
    // and again: one makes it, the other finds it made; neither fails.
    for (int round = 0; round < 5; ++round) {
        if (round > 0) {
            cleanup();
            init();
        }
        UpgradeResult results[2];
        QString whys[2];
        const auto counter = [&](int i) {
            const QString name = u"counter%1"_s.arg(i);
            {
                QSqlDatabase db = m_database->connect(name);
                results[i] = upgradePgSchema(db, pgSchemaSteps(), nullptr, &whys[i]);
            }
            QSqlDatabase::removeDatabase(name);
        };
        std::thread first(counter, 0), second(counter, 1);
        first.join();
        second.join();
        QCOMPARE(whys[0] + whys[1], QString());
        QVERIFY((results[0] == UpgradeResult::Upgraded) != (results[1] == UpgradeResult::Upgraded));
        QSqlDatabase db = m_database->connect(u"check"_s);
        QSqlQuery q(db);
        QVERIFY(q.exec(u"select count(*), max(版本) from 数据库版本"_s) && q.next());
        QCOMPARE(q.value(0).toInt(), 1);
        QCOMPARE(q.value(1).toInt(), currentSchemaVersion());
    }
}

QTEST_GUILESS_MAIN(TestPgSchema)
#include "testpgschema.moc"
