#include "store/database.h"
#include "store/schema.h"
#include "support/testsupport.h"

#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QtTest>

namespace {

QString s(const char16_t* t) { return QString::fromUtf16(t); }


int versionOf(const QString& path) { return queryValue(path, QStringLiteral("PRAGMA user_version")).toInt(); }

bool hasIndex(const QString& path, const QString& name)
{
    return queryValue(path, QStringLiteral("select count(*) from sqlite_master where type='index' and name='%1'").arg(name))
               .toInt()
        == 1;
}

} // namespace

class TestSchema : public QObject {
    Q_OBJECT
private slots:
    void olderFilesAreUpgraded_data();
    void olderFilesAreUpgraded();
    void newerFileIsNotWritten();
    void failedStepChangesNothing();
};

void TestSchema::olderFilesAreUpgraded_data()
{
    QTest::addColumn<QStringList>("extra"); // what the file has beside the three tables
    QTest::newRow("as first delivered") << QStringList();
    // What the build made before the file carried a version: the tables and their indexes.
    QTest::newRow("made by the last release") << QStringList {
        s(u"CREATE UNIQUE INDEX 会员表_会员编号 ON 会员表 (会员编号)"),
        s(u"CREATE INDEX 商品表_商品名称 ON 商品表 (商品名称)"), s(u"CREATE INDEX 收入记录_日期 ON 收入记录 (日期)"),
        s(u"CREATE INDEX 收入记录_类型日期 ON 收入记录 (收入类型, 日期, 收入金额)")
    };
}

void TestSchema::olderFilesAreUpgraded()
{
    QFETCH(QStringList, extra);
    TestProgramDir dir(false);
    ScriptedResponder responder;
    const QString path = dir.databasePath();
    const QString rows = s(u"select group_concat(会员编号||余额, ',') from 会员表");
    QVERIFY(runSql(path,
        baseTableStatements() + extra
            + QStringList { s(u"insert into 会员表 values ('1001', 100, 0, 30)"),
                s(u"insert into 收入记录 values ('2026-12-07 00:00:00', 3, '上机收入', '上机收入', 12.5)") }));
    const QByteArray before = fileBytes(path);
    {
        Database db;
        QVERIFY(db.openDatabase(path));
    }
    QCOMPARE(versionOf(path), currentSchemaVersion());
    QVERIFY(hasIndex(path, s(u"收入记录_类型日期")));
    QVERIFY(hasIndex(path, s(u"会员表_会员编号")));
    QCOMPARE(queryValue(path, rows).toString(), QStringLiteral("100130"));
    // The counter's fifteen machines, as before the machines could be set up.
    QCOMPARE(queryValue(path, s(u"select group_concat(机号||区域) from 机器")).toString(),
        s(u"1大厅,2大厅,3大厅,4大厅,5大厅,6大厅,7大厅,8大厅,9大厅,10大厅,11大厅,12大厅,13大厅,14大厅,15大厅"));
    QCOMPARE(queryValue(path, s(u"select group_concat(编号||名称) from 区域")).toString(), s(u"1大厅"));
    QCOMPARE(fileBytes(path + QStringLiteral(".v0.bak")), before);
    // Opened again, the file is current: nothing more is copied or changed.
    QVERIFY(QFile::remove(path + QStringLiteral(".v0.bak")));
    const QByteArray upgraded = fileBytes(path);
    {
        Database db;
        QVERIFY(db.openDatabase(path));
    }
    QCOMPARE(fileBytes(path), upgraded);
    QVERIFY(!QFile::exists(path + QStringLiteral(".v0.bak")));
    QVERIFY(responder.boxes.isEmpty());
}

void TestSchema::newerFileIsNotWritten()
{
    TestProgramDir dir(true);
    ScriptedResponder responder;
    const QString path = dir.databasePath();
    QVERIFY(runSql(path, { QStringLiteral("PRAGMA user_version=%1").arg(currentSchemaVersion() + 5) }));
    const QByteArray before = fileBytes(path);
    Database db;
    QVERIFY(!db.openDatabase(path));
    QCOMPARE(db.openFailure(), Database::OpenFailure::TooNew);
    QVERIFY(!db.execute(s(u"insert into 商品表 values ('可乐', 2.5)")));
    const QString message = databaseOutageMessage(path, db.openFailure(), db.lastError());
    QVERIFY2(message.contains(s(u"较新版本")), qPrintable(message));
    QVERIFY(message.contains(s(u"计时照常进行")));
    QCOMPARE(fileBytes(path), before);
    QVERIFY(!QFile::exists(path + QStringLiteral(".v%1.bak").arg(currentSchemaVersion() + 5)));
}

void TestSchema::failedStepChangesNothing()
{
    TestProgramDir dir(false);
    const QString path = dir.databasePath();
    QVERIFY(runSql(path, baseTableStatements()));
    const QByteArray before = fileBytes(path);
    const QVector<SchemaStep> steps { { 1,
        { s(u"CREATE INDEX 收入记录_日期 ON 收入记录 (日期)"), s(u"CREATE TABLE 会员表 (会员编号 TEXT)") } } };
    QString error;
    int from = -1;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("step"));
        db.setDatabaseName(path);
        QVERIFY(db.open());
        QCOMPARE(upgradeSchema(db, path, steps, &from, &error), UpgradeResult::Failed);
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("step"));
    QCOMPARE(from, 0);
    QVERIFY2(error.contains(s(u"第1版")), qPrintable(error));
    QCOMPARE(versionOf(path), 0);
    QVERIFY(!hasIndex(path, s(u"收入记录_日期"))); // the half that ran is undone
    QCOMPARE(fileBytes(path + QStringLiteral(".v0.bak")), before);
}

QTEST_MAIN(TestSchema)
#include "testschema.moc"
