#include "counter/rights.h"
#include "store/ledgertable.h"
#include "store/membertable.h"
#include "store/operatortable.h"
#include "support/testsupport.h"

#include <QtTest>

namespace {

QString s(const char16_t* t) { return QString::fromUtf16(t); }

const QDateTime kNoon(QDate(2026, 12, 8), QTime(12, 0, 0));

} // namespace

class TestOperators : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void operatorChanges_data();
    void operatorChanges();
    void wrongPasswordsLockTheOperator();
    void ownerAllowsACashierOneAction();

private:
    QString ledger(const QString& columns)
    {
        return queryValue(m_store->dir.databasePath(),
            s(u"select group_concat(v, ';') from (select %1 as v from 操作记录 order by 序号)").arg(columns))
            .toString();
    }

    std::unique_ptr<TestClock> m_clock;
    std::unique_ptr<StoreFixture> m_store;
};

void TestOperators::init()
{
    m_clock = std::make_unique<TestClock>(kNoon);
    m_store = std::make_unique<StoreFixture>();
}

void TestOperators::cleanup()
{
    m_store.reset();
    m_clock.reset();
}

// Each step: "add|name|role", "change|name|role", "disable|name", "enable|name"; the last
// step's error, and the operators afterwards as "name role enabled".
void TestOperators::operatorChanges_data()
{
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QString>("error");
    QTest::addColumn<QString>("after");
    QTest::newRow("first is an owner") << QStringList { s(u"add|老板|店长") } << QString() << s(u"老板 店长 1");
    QTest::newRow("first cannot be a cashier")
        << QStringList { s(u"add|小王|收银员") } << s(u"第一个操作员必须是店长！") << QString();
    QTest::newRow("a name is taken once")
        << QStringList { s(u"add|老板|店长"), s(u"add|老板|收银员") } << s(u"已有名为老板的操作员！") << s(u"老板 店长 1");
    QTest::newRow("no name") << QStringList { s(u"add| |店长") } << s(u"请输入姓名和密码！") << QString();
    QTest::newRow("last owner stays an owner")
        << QStringList { s(u"add|老板|店长"), s(u"add|小王|收银员"), s(u"change|老板|收银员") }
        << s(u"至少要保留一个启用的店长！") << s(u"老板 店长 1,小王 收银员 1");
    QTest::newRow("last owner stays enabled")
        << QStringList { s(u"add|老板|店长"), s(u"add|老板娘|店长"), s(u"disable|老板娘"), s(u"disable|老板") }
        << s(u"至少要保留一个启用的店长！") << s(u"老板 店长 1,老板娘 店长 0");
    QTest::newRow("another owner lets one go")
        << QStringList { s(u"add|老板|店长"), s(u"add|小王|店长"), s(u"change|老板|收银员"), s(u"disable|老板") }
        << QString() << s(u"老板 收银员 0,小王 店长 1");
    QTest::newRow("enabled again") << QStringList { s(u"add|老板|店长"), s(u"add|小王|收银员"), s(u"disable|小王"),
        s(u"enable|小王") } << QString() << s(u"老板 店长 1,小王 收银员 1");
    QTest::newRow("unknown operator") << QStringList { s(u"add|老板|店长"), s(u"disable|小李") }
                                      << s(u"找不到操作员小李！") << s(u"老板 店长 1");
}

void TestOperators::operatorChanges()
{
    QFETCH(QStringList, steps);
    QFETCH(QString, error);
    QFETCH(QString, after);
    Database& db = m_store->db;
    QString why;
    int written = 0;
    for (const QString& step : std::as_const(steps)) {
        const QStringList f = step.split(u'|');
        why.clear();
        bool ok = false;
        if (f[0] == u"add")
            ok = addOperator(db, f[1], f[2], s(u"密码1"), &why);
        else if (f[0] == u"change")
            ok = changeOperator(db, f[1], f[2], QString(), &why);
        else
            ok = setOperatorEnabled(db, f[1], f[0] == u"enable", &why);
        QCOMPARE(ok, why.isEmpty());
        written += ok ? 1 : 0;
    }
    QCOMPARE(why, error);
    QVector<OperatorRecord> operators;
    QVERIFY(readOperators(db, operators, &why));
    QStringList listed;
    for (const OperatorRecord& op : std::as_const(operators))
        listed << op.name + u' ' + op.role + u' ' + QString::number(op.enabled ? 1 : 0);
    QCOMPARE(listed.join(u','), after);
    // A refused change leaves no row; each change that was made has one.
    QCOMPARE(queryValue(db.connection().databaseName(), s(u"select count(*) from 操作记录")).toInt(), written);
    QVERIFY(checkLedger(db).firstBroken == 0);
}

void TestOperators::wrongPasswordsLockTheOperator()
{
    Database& db = m_store->db;
    QString why;
    QVERIFY(addOperator(db, s(u"老板"), ownerRole(), s(u"对的"), &why));
    QVERIFY(addOperator(db, s(u"小王"), cashierRole(), s(u"王的"), &why));
    const QString stored = queryValue(m_store->dir.databasePath(), s(u"select 密码 from 操作员 where 姓名='小王'")).toString();
    QVERIFY(stored.startsWith(QStringLiteral("$argon2id$")));
    QVERIFY(!stored.contains(s(u"王的")));

    const auto login = [&](const QString& name, const QString& password) {
        LedgerEntry e = ledgerEntry(db, s(u"登录"));
        e.operatorName = name;
        return checkPassword(db, name, password, e, false);
    };
    for (int left = 4; left >= 1; --left) {
        const PasswordOutcome out = login(s(u"小王"), s(u"错的"));
        QCOMPARE(out.result, PasswordOutcome::Wrong);
        QCOMPARE(out.triesLeft, left);
    }
    m_clock->advance(60);
    const PasswordOutcome locked = login(s(u"小王"), s(u"错的"));
    QCOMPARE(locked.result, PasswordOutcome::Locked);
    QCOMPARE(passwordRefusal(locked), s(u"密码连续错误5次，该操作员已锁定至12:06:00，请到时再试！"));
    // Locked, the right password is not even tried; another operator is not locked.
    m_clock->advance(4 * 60 + 59);
    QCOMPARE(login(s(u"小王"), s(u"王的")).result, PasswordOutcome::Locked);
    QCOMPARE(login(s(u"老板"), s(u"对的")).result, PasswordOutcome::Right);
    m_clock->advance(1);
    QCOMPARE(login(s(u"小王"), s(u"王的")).result, PasswordOutcome::Right);
    // The count starts afresh after a right one.
    QCOMPARE(login(s(u"小王"), s(u"错的")).triesLeft, 4);
    QCOMPARE(checkPassword(db, s(u"小王"), s(u"王的"), ledgerEntry(db, s(u"授权")), true).result,
        PasswordOutcome::NotOwner);
    QVERIFY(setOperatorEnabled(db, s(u"小王"), false, &why));
    QCOMPARE(login(s(u"小王"), s(u"王的")).result, PasswordOutcome::Disabled);

    QCOMPARE(ledger(s(u"类型||':'||操作员||':'||说明")),
        s(u"新增操作员::老板;新增操作员::小王;登录失败:小王:;登录失败:小王:;登录失败:小王:;登录失败:小王:;"
          u"登录失败:小王:锁定至12:06:00;登录:老板:;登录:小王:;登录失败:小王:;停用操作员::小王"));
}

void TestOperators::ownerAllowsACashierOneAction()
{
    Database& db = m_store->db;
    QVERIFY(runSql(m_store->dir.databasePath(), { s(u"insert into 会员表 values ('A1', 100, 40, 60)") }));
    QString why;
    QVERIFY(addOperator(db, s(u"老板"), ownerRole(), s(u"对的"), &why));
    Rights rights(&db);
    int asked = 0;
    QString answer;
    rights.setOwnerAsker([&](OwnerAction action) {
        ++asked;
        return action == OwnerAction::ClearCard ? answer : QString();
    });
    rights.setOperator(s(u"小王"), cashierRole());
    QVERIFY(!rights.actsAsOwner());
    QVERIFY(!rights.permit(OwnerAction::ClearCard)); // nobody allowed it
    answer = s(u"老板");
    {
        const OwnerPermit permit = rights.permit(OwnerAction::ClearCard);
        QVERIFY(permit);
        QVERIFY(clearCard(db, s(u"A1"), &why));
    }
    QVERIFY(topUpCard(db, s(u"A1"), 10, &why)); // after the action, the owner is named no more
    QCOMPARE(asked, 2);
    QCOMPARE(ledger(s(u"类型||':'||操作员||':'||授权店长")), s(u"新增操作员::;清零:小王:老板;充值:小王:"));
    // An owner, and anybody while no operator is defined, is never asked.
    rights.setOperator(s(u"老板"), ownerRole());
    QVERIFY(rights.permit(OwnerAction::DeleteCard));
    rights.setOperator(QString(), QString());
    QVERIFY(rights.permit(OwnerAction::Restore));
    QCOMPARE(asked, 2);
    // Operators that could not be read are not none: nothing of the owner's is allowed until
    // they are known, and each try looks again.
    int looked = 0;
    bool readable = false;
    rights.setUnknown(true, [&] {
        ++looked;
        if (readable)
            rights.setUnknown(false);
    });
    QVERIFY(!rights.actsAsOwner());
    QVERIFY(!rights.permit(OwnerAction::ManageOperators));
    readable = true;
    QVERIFY(rights.permit(OwnerAction::ManageOperators));
    QCOMPARE(looked, 2);
    QCOMPARE(asked, 2);
    QCOMPARE(db.operatorName(), QString());
}

QTEST_GUILESS_MAIN(TestOperators)
#include "testoperators.moc"
