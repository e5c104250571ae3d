#include "clientagent.h"
#include "clients/clienthub.h"
#include "clientscreens.h"
#include "support/testsupport.h"

#include <QLabel>
#include <QTemporaryDir>
#include <QtTest>

using namespace Qt::StringLiterals;

// The client's three windows as a screen reader finds them, driven by a counter in the same
// program.
class TestClientScreens : public QObject {
    Q_OBJECT
private slots:
    void windowsAndTheirTexts();
};

namespace {

QString label(QWidget* window, const QString& accessibleName)
{
    for (QLabel* l : window->findChildren<QLabel*>()) {
        if (l->accessibleName() == accessibleName)
            return l->text();
    }
    return u"(none)"_s;
}

} // namespace

void TestClientScreens::windowsAndTheirTexts()
{
    StoreFixture store;
    QVERIFY(store.db.openDatabase(store.dir.databasePath()));
    const KeyPair counterKeys = KeyPair::generate();
    MachineState state;
    ClientHub hub(store.db, counterKeys, [&](int) { return state; });
    QVERIFY(hub.listen(0, nullptr));
    QTemporaryDir data;
    const KeyPair clientKeys = KeyPair::generate();
    ClientAgent agent(u"127.0.0.1"_s, hub.port(), 12, clientKeys, data.path() + u"/counter.pub"_s);
    ClientScreens screens(agent);
    agent.start();

    QWidget* wait = screens.waitWindow();
    QCOMPARE(wait->windowTitle(), u"客户机"_s);
    QVERIFY(wait->isVisible());
    QVERIFY(wait->windowState() & Qt::WindowFullScreen); // waiting is locked too
    QCOMPARE(label(wait, u"状态"_s), u"等待收银台允许"_s);
    QCOMPARE(label(wait, u"指纹"_s), u"本机指纹："_s + keyFingerprint(clientKeys.publicKey));
    QTRY_COMPARE(label(wait, u"收银台指纹"_s), u"收银台指纹："_s + keyFingerprint(counterKeys.publicKey));

    QTRY_VERIFY(!hub.entries().isEmpty());
    QVERIFY(hub.allow(12, clientKeys.publicKey, nullptr));
    QWidget* lock = screens.lockWindow();
    QTRY_VERIFY(lock->isVisible());
    QVERIFY(!wait->isVisible());
    QCOMPARE(lock->windowTitle(), u"客户机锁定"_s);
    QCOMPARE(label(lock, u"机号"_s), u"12号机"_s);
    QCOMPARE(label(lock, u"提示"_s), u"请到前台开机"_s);

    state = { true, true, 3725, u"4.50"_s, 590 };
    hub.machineChanged(12);
    QWidget* timer = screens.timerWindow();
    QTRY_VERIFY(timer->isVisible());
    QVERIFY(!lock->isVisible());
    QCOMPARE(timer->windowTitle(), u"上机计时"_s);
    QCOMPARE(label(timer, u"已用时间"_s), u"01:02:05"_s);
    QCOMPARE(label(timer, u"金额"_s), u"4.50元"_s);
    QCOMPARE(label(timer, u"剩余时间"_s), u"00:09:50"_s);
    QCOMPARE(label(timer, u"提醒"_s), u"还剩10分钟，请注意续费"_s);

    state = {};
    hub.machineChanged(12);
    QTRY_VERIFY(lock->isVisible());
    QVERIFY(!timer->isVisible());
}

QTEST_MAIN(TestClientScreens)
#include "testclientscreens.moc"
