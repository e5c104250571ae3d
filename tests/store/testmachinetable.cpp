#include "store/ledgertable.h"
#include "store/machinetable.h"
#include "store/schema.h"
#include "support/testsupport.h"

#include <QtTest>

namespace {

QString s(const char16_t* t) { return QString::fromUtf16(t); }

// "1-15 大厅,16 VIP|大厅,VIP#fff3c4": runs of machines by zone, then the zones.
QString summary(const MachineSetup& setup)
{
    QStringList runs, zones;
    int start = 0;
    for (int i = 0; i < setup.machines.size(); ++i) {
        const MachineInfo& m = setup.machines[i];
        if (i == 0 || setup.machines[i - 1].number != m.number - 1 || setup.machines[i - 1].zone != m.zone)
            runs << QString::number(start = m.number);
        runs.last() = QString::number(start) + (start == m.number ? QString() : u'-' + QString::number(m.number))
            + u' ' + m.zone;
    }
    for (const ZoneInfo& z : setup.zones)
        zones << z.name + z.colour;
    return runs.join(u',') + u'|' + zones.join(u',');
}

// "add|from|to|zone", "remove|numbers", "zone|numbers|zone", "name|number|name",
// "newzone|name|colour", "colour|name|colour", "dropzone|name".
bool apply(Database& db, const QString& step, QString* why)
{
    const QStringList f = step.split(u'|');
    QVector<int> numbers;
    for (const QString& n : f.value(1).split(u','))
        numbers << n.toInt();
    why->clear();
    if (f[0] == u"add")
        return addMachines(db, f[1].toInt(), f[2].toInt(), f[3], why);
    if (f[0] == u"remove")
        return removeMachines(db, numbers, why);
    if (f[0] == u"zone")
        return setMachineZone(db, numbers, f[2], why);
    if (f[0] == u"name")
        return renameMachine(db, f[1].toInt(), f[2], why);
    if (f[0] == u"newzone")
        return addZone(db, f[1], f[2], why);
    if (f[0] == u"colour")
        return setZoneColour(db, f[1], f[2], why);
    return removeZone(db, f[1], why);
}

} // namespace

class TestMachineTable : public QObject {
    Q_OBJECT
private slots:
    void readsTheDefault_data();
    void readsTheDefault();
    void changes_data();
    void changes();
};

void TestMachineTable::readsTheDefault_data()
{
    QTest::addColumn<int>("version"); // of the file before it is opened
    QTest::addColumn<QString>("damage"); // done to the open file by another tool
    QTest::addColumn<bool>("writable");
    QTest::newRow("new file") << currentSchemaVersion() << QString() << true;
    QTest::newRow("upgraded from version 4") << 4 << QString() << true;
    QTest::newRow("zones gone") << currentSchemaVersion()
                                << s(u"update 机器 set 区域=iif(机号 % 2, '', '旧区')") << true;
    QTest::newRow("without the table") << currentSchemaVersion() << s(u"drop table 机器") << false;
}

void TestMachineTable::readsTheDefault()
{
    QFETCH(int, version);
    QFETCH(QString, damage);
    QFETCH(bool, writable);
    FILE_ONLY_TEST();
    TestProgramDir dir(version == currentSchemaVersion());
    ScriptedResponder responder;
    if (version < currentSchemaVersion()) {
        QStringList statements = baseTableStatements();
        for (const SchemaStep& step : schemaSteps())
            statements += step.version <= version ? step.statements : QStringList();
        QVERIFY(
            runSql(dir.databasePath(), statements << QStringLiteral("PRAGMA user_version=%1").arg(version)));
    }
    Database db;
    QVERIFY(db.openDatabase(dir.databasePath()));
    QVERIFY(damage.isEmpty() || runSql(dir.databasePath(), { damage }));
    MachineSetup setup;
    QString why;
    QVERIFY2(readMachines(db, setup, &why), qPrintable(why));
    QCOMPARE(summary(setup), s(u"1-15 大厅|大厅"));
    QCOMPARE(addMachines(db, 16, 0, defaultZoneName(), &why), writable);
    QCOMPARE(why.contains(s(u"损坏")), !writable);
}

// A change gives the setup afterwards and its ledger row ("kind:machine:before:after:detail"); a
// refusal, after the steps before it, its text and leaves the tables and the ledger as they were.
void TestMachineTable::changes_data()
{
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QString>("error");
    QTest::addColumn<QString>("after");
    QTest::addColumn<QString>("row");
    using Steps = std::initializer_list<const char16_t*>;
    const auto add = [](const char* name, Steps steps, const char16_t* error, const char16_t* after,
                         const char16_t* row) {
        QStringList all;
        for (const char16_t* step : steps)
            all << s(step);
        QTest::newRow(name) << all << s(error) << s(after) << s(row);
    };
    const auto done = [&](const char* name, Steps steps, const char16_t* after, const char16_t* row) {
        add(name, steps, u"", after, row);
    };
    const auto refused
        = [&](const char* name, Steps steps, const char16_t* error) { add(name, steps, error, u"", u""); };
    done("add a range", { u"add|16|40|大厅" }, u"1-40 大厅|大厅", u"机器:0::16-40号 大厅:添加");
    done("add one to a zone", { u"newzone|VIP|#FFF3C4", u"add|500|0|VIP" },
        u"1-15 大厅,500 VIP|大厅,VIP#fff3c4", u"机器:500::500号 VIP:添加");
    done(
        "remove some", { u"remove|5,2,3,3" }, u"1 大厅,4 大厅,6-15 大厅|大厅", u"机器:0:2-3,5号 大厅::删除");
    done("zone of two", { u"newzone|VIP|", u"zone|3|VIP", u"zone|3,4|VIP" },
        u"1-2 大厅,3-4 VIP,5-15 大厅|大厅,VIP", u"机器:0:3号 VIP，4号 大厅:3-4号 VIP:设区域");
    done("name cleared", { u"name|3| 吧台 ", u"name|3|" }, u"1-15 大厅|大厅", u"机器:3:吧台::改名");
    done("zone colour", { u"newzone|VIP|#fff3c4", u"colour|VIP|#d8f5d0" }, u"1-15 大厅|大厅,VIP#d8f5d0",
        u"区域:0:#fff3c4:#d8f5d0:设颜色：VIP");
    done("empty zone removed", { u"newzone|VIP|", u"dropzone|VIP" }, u"1-15 大厅|大厅", u"区域:0:VIP::删除");
    refused("number 0", { u"add|0|0|大厅" }, u"机号必须在1到500之间！");
    refused("number 501", { u"add|490|501|大厅" }, u"机号必须在1到500之间！");
    refused("one exists", { u"add|20|25|大厅", u"add|16|30|大厅" }, u"20号机已经存在！");
    refused("from after to", { u"add|30|20|大厅" }, u"起始机号不能大于结束机号！");
    refused("unknown zone", { u"add|16|0|VIP" }, u"没有这个区域！");
    refused("last machines", { u"remove|1,2,3,4,5,6,7,8,9,10,11,12,13,14,15" }, u"至少要保留一台机器！");
    refused("zone with machines", { u"newzone|VIP|", u"zone|15|VIP", u"dropzone|VIP" },
        u"区域中还有机器，不能删除！");
    refused("the hall", { u"dropzone|大厅" }, u"大厅不能删除！");
    refused("empty zone name", { u"newzone| |" }, u"区域名称不能为空！");
    refused("zone twice", { u"newzone|大厅|" }, u"已有这个区域！");
    refused("name twice", { u"name|1|吧台", u"name|2|吧台" }, u"已有机器叫这个名称！");
    refused("control character", { u"name|1|吧\x01台" }, u"输入的文字含有无法保存的字符，请重新输入！");
}

void TestMachineTable::changes()
{
    QFETCH(QStringList, steps);
    QFETCH(QString, error);
    QFETCH(QString, after);
    QFETCH(QString, row);
    StoreFixture store;
    const QString path = store.dir.databasePath();
    const auto tables = [&] {
        return queryValue(path, s(u"select group_concat(机号||名称||ifnull(区域,'-')) from 机器")).toString()
            + queryValue(path, s(u"select group_concat(编号||名称||ifnull(颜色,'-')) from 区域")).toString();
    };
    QString why, before;
    for (const QString& step : std::as_const(steps)) {
        before = tables();
        const bool ok = apply(store.db, step, &why);
        QCOMPARE(ok, why.isEmpty());
    }
    QCOMPARE(why, error);
    const int changes = int(steps.size()) - (error.isEmpty() ? 0 : 1);
    QCOMPARE(queryValue(path, s(u"select count(*) from 操作记录")).toInt(), changes); // a row for each change
    if (!error.isEmpty()) {
        QCOMPARE(tables(), before);
        return;
    }
    MachineSetup setup;
    QVERIFY(readMachines(store.db, setup, &why));
    QCOMPARE(summary(setup), after);
    QCOMPARE(queryValue(path,
                 s(u"select 类型||':'||ifnull(机号,0)||':'||ifnull(之前,'')||':'||ifnull(之后,'')||':'||说明 "
                   u"from 操作记录 order by 序号 desc limit 1"))
                 .toString(),
        row);
    QVERIFY(checkLedger(store.db).firstBroken == 0);
}

QTEST_GUILESS_MAIN(TestMachineTable)
#include "testmachinetable.moc"
