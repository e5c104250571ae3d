// A day at a counter on a PostgreSQL server that is stopped and started again half-way (CTest
// label pg): the outage is said, the machines are timed on, and afterwards every usage and
// booking is on the server once.
#include "app/consolewindow.h"
#include "app/session.h"
#include "backups/backuprunner.h"
#include "counter/consolegrid.h"
#include "store/ledgertable.h"
#include "support/guisupport.h"
#include "support/pgsupport.h"

#include <QDialog>
#include <QProcess>
#include <QPushButton>
#include <QtTest>

using namespace Qt::StringLiterals;

class TestServerDay : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void aDayThroughAServerRestart();
};

namespace {

// The run's server (pg_virtualenv's cluster), stopped or started.
bool serverTo(const QString& action)
{
    QStringList args { qEnvironmentVariable("PGVERSION"), u"regress"_s, action };
    if (action == u"stop"_s)
        args << u"-m"_s << u"fast"_s;
    return QProcess::execute(u"pg_ctlcluster"_s, args) == 0;
}

} // namespace

void TestServerDay::initTestCase()
{
    PG_TESTS_NEED_A_SERVER();
    if (!testsOnServer())
        QSKIP("a counter on a server only (LANGTUO_TEST_ENGINE=PostgreSQL)");
    useBuiltPlugins();
}

void TestServerDay::aDayThroughAServerRestart()
{
    TestProgramDir dir;
    ScriptedResponder responder;
    TestClock clock(QDateTime(QDate(2026, 12, 10), QTime(10, 0, 0)));
    auto console = makeConsole();
    QVERIFY(console->database().isOpen());
    QCOMPARE(responder.boxes.size(), 0);
    const auto click = [&](int n) {
        QTest::mouseClick(console->machineButton(n), Qt::LeftButton);
        clock.advance(60);
        console->tickSecond();
    };
    // A stop opens the checkout; 确定 settles it, and a checkout that cannot book is left open
    // for later, as a cashier leaves it when the store is down.
    const auto checkout = [&](int n) {
        whenModalShown([](QWidget* modal) {
            modal->findChild<QPushButton*>(u"按钮_确定"_s)->click();
            if (modal->isVisible())
                qobject_cast<QDialog*>(modal)->reject();
        });
        click(n);
    };
    for (int n = 1; n <= 4; ++n)
        click(n);
    clock.advance(30 * 60);
    checkout(1);
    checkout(2);
    QCOMPARE(responder.boxes.size(), 0);

    QTRY_VERIFY(!console->backups().isRunning()); // the copy taken at start
    QVERIFY(serverTo(u"stop"_s));
    click(5);
    click(6);
    const auto outageBoxes = [&] {
        int n = 0;
        for (const auto& box : std::as_const(responder.boxes))
            n += box.title == u"上机记录"_s;
        return n;
    };
    QCOMPARE(outageBoxes(), 1);
    QVERIFY(responder.boxes.last().text.contains(u"5号"_s));
    QVERIFY(!console->session().counter().isProtected());
    clock.advance(20 * 60);
    // The checkout of machine 3 cannot be booked while the server is down: it stays open, the
    // cashier waits, and books it once the server is back.
    bool refusedWhileDown = false, started = false, bookedWhenBack = false;
    whenModalShown([&](QWidget* modal) {
        auto* ok = modal->findChild<QPushButton*>(u"按钮_确定"_s);
        ok->click();
        refusedWhileDown = modal->isVisible();
        started = serverTo(u"start"_s);
        ok->click();
        bookedWhenBack = !modal->isVisible();
        if (modal->isVisible())
            qobject_cast<QDialog*>(modal)->reject();
    });
    click(3);
    QVERIFY(refusedWhileDown);
    QVERIFY(started);
    QVERIFY(bookedWhenBack);
    const int saidWhileDown = int(responder.boxes.size());
    // The unrecorded usages, the cards the checkout could not list, the booking refused.
    QCOMPARE(saidWhileDown, 3);
    QCOMPARE(responder.boxes.last().title, u"错误"_s);
    QVERIFY(responder.boxes.last().text.contains(u"无法连接数据库服务器"_s));

    click(7); // the first usage written after the restart takes along what the server missed
    QVERIFY(console->session().counter().isProtected());
    checkout(4);
    checkout(5);
    QCOMPARE(outageBoxes(), 1);
    QCOMPARE(responder.boxes.size(), saidWhileDown); // nothing more was said once it was back

    const auto one = [&](const QString& sql) { return queryValue(dir.databasePath(), sql).toString(); };
    // Every checkout booked once, the usages left are the machines still timing, each start
    // written to the ledger once, and the counter's rows of before and after the restart in one
    // chain.
    QCOMPARE(one(u"select string_agg(机号::text, ',' order by 机号) from 收入记录 where 收入类型='上机收入'"_s),
        u"1,2,3,4,5"_s);
    QCOMPARE(one(u"select string_agg(机号::text, ',' order by 机号) from 上机记录"_s), u"6,7"_s);
    QCOMPARE(one(u"select string_agg(机号::text, ',' order by 机号) from 操作记录 where 类型='开始'"_s),
        u"1,2,3,4,5,6,7"_s);
    QString error;
    QSqlDatabase server = console->database().connection();
    const ServerLedgerCheck check = checkServerLedger(server, &error);
    QCOMPARE(error, QString());
    QVERIFY(check.rows > 7);
    QCOMPARE(check.firstBroken, qint64(0));
}

QTEST_MAIN(TestServerDay)
#include "testserverday.moc"
