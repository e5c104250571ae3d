#include "clients/clienthub.h"
#include "protocol/frames.h"
#include "protocol/keyfile.h"
#include "support/testsupport.h"

#include <QProcess>
#include <QRandomGenerator>
#include <QTcpSocket>
#include <QtTest>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(MachineState)

namespace {

// A client PC's program, run as on a café PC, writing a line at every change of its screens.
class ClientProcess {
public:
    ClientProcess(int machineNo, quint16 port, const QString& dataDir)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
        m_process.setProcessEnvironment(env);
        QObject::connect(&m_process, &QProcess::readyReadStandardOutput, [this] {
            while (m_process.canReadLine())
                lines.append(QString::fromUtf8(m_process.readLine()).trimmed());
        });
        m_process.start(QStringLiteral(LANGTUO_CLIENT),
            { u"--machine"_s, QString::number(machineNo), u"--counter"_s, u"127.0.0.1:"_s + QString::number(port),
                u"--data"_s, dataDir, u"--log"_s });
    }
    ~ClientProcess()
    {
        m_process.kill();
        m_process.waitForFinished();
    }
    QString last() const { return lines.isEmpty() ? QString() : lines.last(); }
    QStringList lines;

private:
    QProcess m_process;
};

QByteArray clientKey(const QString& dataDir)
{
    KeyPair pair;
    return loadOrCreateKeyPair(dataDir + u"/client.key"_s, pair, nullptr) ? pair.publicKey : QByteArray();
}

} // namespace

class TestClients : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void pairedThenLockedAndUnlockedByTheCounter();
    void aStateHeardAgainIsAsItIsNow_data();
    void aStateHeardAgainIsAsItIsNow();
    void aCounterWithAnotherKeyIsRefused_data();
    void aCounterWithAnotherKeyIsRefused();
    void oneAddressHoldsFewWaitingClients();
    void aClientWithAnotherKeyWaitsAgain();
    void aFloodNeitherCrashesTheCounterNorKeepsClientsOut();
    void twentyClientsAtOnceAndOneRestarted();

private:
    std::unique_ptr<ClientHub> makeHub(quint16 port = 0)
    {
        auto hub = std::make_unique<ClientHub>(m_store->db, m_counterKeys, [this](int n) {
            MachineState s = m_states.value(n);
            s.allowed = true;
            return s;
        });
        if (!hub->listen(port, nullptr))
            return nullptr;
        if (m_manyOnOneAddress)
            hub->setPerAddress(1000, 1000);
        return hub;
    }
    // The rows of machine n: its allowed client's, then one waiting, if any.
    QString statusOf(const ClientHub& hub, int n)
    {
        QStringList rows;
        for (const ClientEntry& e : hub.entries()) {
            if (e.machineNo == n)
                rows << e.status;
        }
        return rows.join(u',');
    }
    QByteArray waitingKey(const ClientHub& hub, int n)
    {
        for (const ClientEntry& e : hub.entries()) {
            if (e.machineNo == n && e.status == u"待允许"_s)
                return e.key;
        }
        return {};
    }
    std::unique_ptr<StoreFixture> m_store;
    KeyPair m_counterKeys;
    QHash<int, MachineState> m_states;
    bool m_manyOnOneAddress = false;
};

void TestClients::init()
{
    m_store = std::make_unique<StoreFixture>();
    QVERIFY(m_store->db.openDatabase(m_store->dir.databasePath()));
    m_counterKeys = KeyPair::generate();
    m_states.clear();
    m_manyOnOneAddress = false;
}

void TestClients::cleanup() { m_store.reset(); }

void TestClients::pairedThenLockedAndUnlockedByTheCounter()
{
    auto hub = makeHub();
    QVERIFY(hub);
    const quint16 port = hub->port();
    QTemporaryDir data;
    ClientProcess client(3, port, data.path());
    // Unknown: waits, with its fingerprint on both screens.
    QTRY_COMPARE(statusOf(*hub, 3), u"待允许"_s);
    QTRY_VERIFY(client.last().startsWith(u"等待允许 在线"_s));
    QCOMPARE(hub->entries()[0].fingerprint, keyFingerprint(clientKey(data.path())));
    QCOMPARE(readPinnedKey(data.path() + u"/counter.pub"_s), m_counterKeys.publicKey);
    QVERIFY(hub->allow(3, waitingKey(*hub, 3), nullptr));
    QTRY_VERIFY(client.last().startsWith(u"锁定 在线"_s));
    QCOMPARE(statusOf(*hub, 3), u"在线"_s);
    QCOMPARE(queryValue(m_store->dir.databasePath(), u"select count(*) from 操作记录 where 类型='客户机'"_s).toInt(), 1);

    // Started with a 定时 nearly out; the counter then goes away: the client still locks on time.
    m_states[3] = { true, true, 60, u"1.0"_s, 3 };
    hub->machineChanged(3);
    QTRY_VERIFY(client.last().startsWith(u"计时 在线 1.0元"_s));
    hub.reset();
    QTRY_VERIFY(client.last().startsWith(u"计时 离线"_s));
    QVERIFY(client.last().contains(u"与收银台失去连接"_s));
    QTRY_VERIFY_WITH_TIMEOUT(client.last().startsWith(u"锁定 离线"_s), 10000);

    // The counter back (its allowed clients in the store): the client hears its state again.
    m_states[3] = { true, true, 120, u"2.0"_s, -1 };
    hub = makeHub(port);
    QVERIFY(hub);
    QTRY_VERIFY_WITH_TIMEOUT(client.last().startsWith(u"计时 在线 2.0元"_s), 40000);
    m_states[3] = {};
    hub->machineChanged(3);
    QTRY_VERIFY(client.last().startsWith(u"锁定 在线"_s));
}

void TestClients::aStateHeardAgainIsAsItIsNow_data()
{
    QTest::addColumn<MachineState>("worked");
    QTest::addColumn<qint64>("since");
    QTest::addColumn<MachineState>("told");
    QTest::newRow("timing") << MachineState { true, true, 60, u"1.0"_s, -1 } << qint64(25)
                            << MachineState { true, true, 85, u"1.0"_s, -1 };
    QTest::newRow("its 定时 runs down") << MachineState { true, true, 60, u"1.0"_s, 100 } << qint64(30)
                                        << MachineState { true, true, 90, u"1.0"_s, 70 };
    QTest::newRow("and runs out") << MachineState { true, true, 60, u"1.0"_s, 10 } << qint64(30)
                                  << MachineState { true, true, 90, u"1.0"_s, 0 };
    QTest::newRow("not timing") << MachineState { true, false, 0, QString(), -1 } << qint64(30)
                                << MachineState { true, false, 0, QString(), -1 };
    QTest::newRow("no more than a client takes") << MachineState { true, true, 864000 - 5, u"1.0"_s, -1 }
                                                 << qint64(30) << MachineState { true, true, 864000, u"1.0"_s, -1 };
}

void TestClients::aStateHeardAgainIsAsItIsNow()
{
    // A client that says it is there hears the state its counter last worked out, carried on to
    // now: its clock never goes back.
    QFETCH(MachineState, worked);
    QFETCH(qint64, since);
    QFETCH(MachineState, told);
    QVERIFY(advancedBy(worked, since) == told);
}

void TestClients::aCounterWithAnotherKeyIsRefused_data()
{
    QTest::addColumn<QByteArray>("pinned");
    QTest::addColumn<QString>("said");
    QTest::newRow("another key") << KeyPair::generate().publicKey << u"收银台的密钥已改变，拒绝连接！"_s;
    // A damaged pin is no reason to trust whoever answers.
    QTest::newRow("a damaged pin") << QByteArray("12345") << u"收银台密钥文件已损坏，拒绝连接！"_s;
}

void TestClients::aCounterWithAnotherKeyIsRefused()
{
    QFETCH(QByteArray, pinned);
    QFETCH(QString, said);
    QTemporaryDir data;
    QFile pin(data.path() + u"/counter.pub"_s);
    QVERIFY(pin.open(QIODevice::WriteOnly) && pin.write(pinned) == pinned.size());
    pin.close();
    auto hub = makeHub();
    QVERIFY(hub);
    ClientProcess client(4, hub->port(), data.path());
    QTRY_VERIFY(client.last().contains(said));
    QVERIFY(client.last().startsWith(u"锁定"_s)); // once allowed, a client starts locked
    QVERIFY(statusOf(*hub, 4).isEmpty()); // it never said it was there
}

void TestClients::oneAddressHoldsFewWaitingClients()
{
    auto hub = makeHub();
    QVERIFY(hub);
    std::vector<std::unique_ptr<QTemporaryDir>> dirs;
    std::vector<std::unique_ptr<ClientProcess>> clients;
    for (int n = 7; n <= 10; ++n) {
        dirs.push_back(std::make_unique<QTemporaryDir>());
        clients.push_back(std::make_unique<ClientProcess>(n, hub->port(), dirs.back()->path()));
    }
    const auto waiting = [&] {
        int count = 0;
        for (const ClientEntry& e : hub->entries())
            count += e.status == u"待允许"_s;
        return count;
    };
    QTRY_VERIFY(waiting() > 0);
    // Four PCs' worth of keys from one address: never more than two wait at once.
    int most = 0;
    for (int i = 0; i < 60; ++i) {
        QTest::qWait(50);
        most = std::max(most, waiting());
    }
    QCOMPARE(most, ClientHub::kWaitingPerAddress);
}

void TestClients::aClientWithAnotherKeyWaitsAgain()
{
    QTemporaryDir first, second;
    auto hub = makeHub();
    QVERIFY(hub);
    {
        ClientProcess client(5, hub->port(), first.path());
        QTRY_COMPARE(statusOf(*hub, 5), u"待允许"_s);
        QVERIFY(hub->allow(5, waitingKey(*hub, 5), nullptr));
        QTRY_VERIFY(client.last().startsWith(u"锁定 在线"_s));
    }
    QTRY_COMPARE(statusOf(*hub, 5), u"离线"_s);
    // Another program for machine 5, or the PC set up again: its key is not the one allowed.
    m_states[5] = { true, true, 60, u"1.0"_s, -1 };
    ClientProcess stranger(5, hub->port(), second.path());
    QTRY_COMPARE(statusOf(*hub, 5), u"离线,待允许"_s); // the allowed one keeps its row
    QTRY_VERIFY(stranger.last().startsWith(u"等待允许 在线"_s));
    hub->machineChanged(5);
    QTest::qWait(500); // time enough for a state to reach it, were one sent
    QVERIFY(!stranger.last().startsWith(u"计时"_s));
    // The owner allows the key compared, never one that came since.
    QString error;
    QVERIFY(!hub->allow(5, clientKey(first.path()), &error));
    QCOMPARE(error, u"5号机等待允许的客户机已经换了，请重新核对指纹！"_s);
    // 移除 of the waiting row leaves the allowed client allowed.
    QVERIFY(hub->remove(5, waitingKey(*hub, 5), nullptr));
    QTRY_COMPARE(statusOf(*hub, 5), u"离线"_s);
}

void TestClients::aFloodNeitherCrashesTheCounterNorKeepsClientsOut()
{
    auto hub = makeHub();
    QVERIFY(hub);
    QRandomGenerator random(29);
    std::vector<std::unique_ptr<QTcpSocket>> peers;
    for (int i = 0; i < 100; ++i) {
        auto socket = std::make_unique<QTcpSocket>();
        socket->connectToHost(u"127.0.0.1"_s, hub->port()); // what it writes waits for the connection
        QByteArray bytes(4096, Qt::Uninitialized);
        for (char& c : bytes)
            c = char(random.bounded(256));
        if (i % 2 == 0) {
            socket->write(bytes); // noise
        } else {
            // 200 frames each: 10,000 frames that are whole but are no hello.
            for (int f = 0; f < 200; ++f)
                socket->write(encodeFrame(bytes.left(1 + int(random.bounded(200)))));
        }
        peers.push_back(std::move(socket));
    }
    // Every one of them is dropped; none is left holding the counter.
    QTRY_VERIFY_WITH_TIMEOUT(std::all_of(peers.begin(), peers.end(),
                                 [](const auto& p) { return p->state() == QAbstractSocket::UnconnectedState; }),
        20000);
    QTRY_COMPARE(hub->connectionCount(), 0);
    QVERIFY(hub->entries().isEmpty());
    // And a real client is heard as ever.
    QTemporaryDir data;
    ClientProcess client(6, hub->port(), data.path());
    QTRY_COMPARE(statusOf(*hub, 6), u"待允许"_s);
}

void TestClients::twentyClientsAtOnceAndOneRestarted()
{
    m_manyOnOneAddress = true; // all twenty from 127.0.0.1
    auto hub = makeHub();
    QVERIFY(hub);
    std::vector<std::unique_ptr<QTemporaryDir>> dirs;
    std::vector<std::unique_ptr<ClientProcess>> clients;
    for (int n = 1; n <= 20; ++n) {
        dirs.push_back(std::make_unique<QTemporaryDir>());
        clients.push_back(std::make_unique<ClientProcess>(n, hub->port(), dirs.back()->path()));
    }
    const auto all = [&](const std::function<bool(int)>& holds) {
        for (int n = 1; n <= 20; ++n) {
            if (!holds(n))
                return false;
        }
        return true;
    };
    QTRY_VERIFY_WITH_TIMEOUT(all([&](int n) { return statusOf(*hub, n) == u"待允许"_s; }), 60000);
    for (int n = 1; n <= 20; ++n)
        QVERIFY(hub->allow(n, waitingKey(*hub, n), nullptr));
    for (int n = 2; n <= 20; n += 2) {
        m_states[n] = { true, true, 60, u"1.0"_s, -1 };
        hub->machineChanged(n);
    }
    QTRY_VERIFY_WITH_TIMEOUT(all([&](int n) {
        return clients[n - 1]->last().startsWith(n % 2 ? u"锁定 在线"_s : u"计时 在线"_s);
    }),
        30000);
    // A client started again gets its machine's state as soon as it is there.
    clients[1].reset();
    QTRY_COMPARE(statusOf(*hub, 2), u"离线"_s);
    clients[1] = std::make_unique<ClientProcess>(2, hub->port(), dirs[1]->path());
    QTRY_VERIFY(clients[1]->last().startsWith(u"计时 在线"_s));
}

QTEST_MAIN(TestClients)
#include "testclients.moc"
