#include "protocol/channel.h"

#include <QRegularExpression>
#include <QtTest>

namespace {

// A counter and a client that have finished their handshake.
struct Pair {
    KeyPair counterKeys = KeyPair::generate();
    KeyPair clientKeys = KeyPair::generate();
    SecureChannel counter { SecureChannel::Role::Counter, counterKeys };
    SecureChannel client { SecureChannel::Role::Client, clientKeys };
    bool connect(int machineNo = 7)
    {
        QByteArray reply;
        return counter.acceptHello(client.hello(machineNo), &reply, nullptr) && client.acceptReply(reply, nullptr);
    }
};

} // namespace

class TestChannel : public QObject {
    Q_OBJECT
private slots:
    void bothWaysAfterTheHandshake();
    void aMessageNotNextFailsForGood_data();
    void aMessageNotNextFailsForGood();
    void anImpostorCannotReadOrWrite_data();
    void anImpostorCannotReadOrWrite();
    void helloThatIsNone_data();
    void helloThatIsNone();
    void fingerprints();
};

void TestChannel::bothWaysAfterTheHandshake()
{
    Pair p;
    QVERIFY(p.connect(123));
    QCOMPARE(p.counter.machineNo(), 123);
    QCOMPARE(p.counter.peerKey(), p.clientKeys.publicKey);
    QCOMPARE(p.client.peerKey(), p.counterKeys.publicKey);
    QByteArray got;
    for (const QByteArray& text : { QByteArray("unlock"), QByteArray("lock"), QByteArray(SecureChannel::kMaxMessage, 'x') }) {
        const QByteArray sealed = p.counter.seal(text);
        QVERIFY(!sealed.contains(text.left(4))); // not in the clear
        QVERIFY(p.client.open(sealed, &got));
        QCOMPARE(got, text);
        QVERIFY(p.counter.open(p.client.seal(text.left(16) + "!"), &got));
        QCOMPARE(got, text.left(16) + "!");
    }
    QVERIFY(p.counter.seal(QByteArray(SecureChannel::kMaxMessage + 1, 'x')).isEmpty());
    // Another connection has keys of its own: nothing of this one opens there.
    Pair again;
    QVERIFY(again.connect());
    QVERIFY(!again.client.open(p.counter.seal("unlock"), &got));
}

void TestChannel::aMessageNotNextFailsForGood_data()
{
    QTest::addColumn<QString>("fault");
    for (const char* fault : { "replayed", "reordered", "altered", "dropped", "truncated", "empty" })
        QTest::newRow(fault) << QString::fromLatin1(fault);
}

void TestChannel::aMessageNotNextFailsForGood()
{
    QFETCH(QString, fault);
    Pair p;
    QVERIFY(p.connect());
    QByteArray got;
    const QByteArray first = p.counter.seal("start 60");
    const QByteArray second = p.counter.seal("stop");
    QByteArray sent = second;
    if (fault == u"replayed") {
        QVERIFY(p.client.open(first, &got));
        sent = first;
    } else if (fault == u"reordered") {
        sent = second;
    } else if (fault == u"altered") {
        QVERIFY(p.client.open(first, &got));
        sent[0] = char(sent[0] ^ 1);
    } else if (fault == u"dropped") {
        sent = p.counter.seal("third");
    } else if (fault == u"truncated") {
        QVERIFY(p.client.open(first, &got));
        sent.chop(1);
    } else {
        sent.clear();
    }
    QVERIFY(!p.client.open(sent, &got));
    // The connection is over: not even the right message opens after it.
    QVERIFY(!p.client.open(fault == u"replayed" || fault == u"altered" || fault == u"truncated" ? second : first, &got));
}

void TestChannel::anImpostorCannotReadOrWrite_data()
{
    QTest::addColumn<bool>("posesAsCounter");
    QTest::newRow("a stranger with the counter's public key") << true;
    QTest::newRow("a stranger with a client's public key") << false;
}

void TestChannel::anImpostorCannotReadOrWrite()
{
    QFETCH(bool, posesAsCounter);
    Pair real;
    QByteArray got;
    const KeyPair strangerKeys = KeyPair::generate();
    if (posesAsCounter) {
        // Answers with the counter's public key beside a secret that is not the counter's.
        SecureChannel stranger(SecureChannel::Role::Counter, strangerKeys);
        QByteArray reply;
        QVERIFY(stranger.acceptHello(real.client.hello(3), &reply, nullptr));
        reply.replace(4, 32, real.counterKeys.publicKey);
        QVERIFY(real.client.acceptReply(reply, nullptr));
        QCOMPARE(real.client.peerKey(), real.counterKeys.publicKey); // pinned key matches...
        QVERIFY(!real.client.open(stranger.seal("unlock"), &got)); // ...yet nothing it says opens
        return;
    }
    SecureChannel stranger(SecureChannel::Role::Client, strangerKeys);
    QByteArray hello = stranger.hello(3);
    hello.replace(4, 32, real.clientKeys.publicKey);
    QByteArray reply;
    QVERIFY(real.counter.acceptHello(hello, &reply, nullptr));
    QVERIFY(stranger.acceptReply(reply, nullptr));
    QVERIFY(!real.counter.open(stranger.seal("status"), &got));
}

void TestChannel::helloThatIsNone_data()
{
    QTest::addColumn<QByteArray>("hello");
    const QByteArray good = SecureChannel(SecureChannel::Role::Client, KeyPair::generate()).hello(5);
    QTest::newRow("short") << good.left(good.size() - 1);
    QTest::newRow("long") << good + "x";
    QTest::newRow("another program") << QByteArray("HTTP").append(good.mid(4));
    QTest::newRow("machine 0") << good.left(good.size() - 2).append(2, '\0');
    // A fresh key of low order would give every peer the same keys.
    QTest::newRow("a key of low order") << QByteArray(good).replace(36, 32, QByteArray(32, '\0'));
}

void TestChannel::helloThatIsNone()
{
    QFETCH(QByteArray, hello);
    SecureChannel counter(SecureChannel::Role::Counter, KeyPair::generate());
    QByteArray reply;
    QString error;
    QVERIFY(!counter.acceptHello(hello, &reply, &error));
    QVERIFY(!error.isEmpty());
    QVERIFY(!counter.isReady());
    QVERIFY(counter.seal("x").isEmpty());
}

void TestChannel::fingerprints()
{
    const KeyPair a = KeyPair::generate();
    const KeyPair b = KeyPair::generate();
    QVERIFY(QRegularExpression(QStringLiteral("^[0-9]{4} [0-9]{4}$")).match(keyFingerprint(a.publicKey)).hasMatch());
    QCOMPARE(keyFingerprint(a.publicKey), keyFingerprint(QByteArray(a.publicKey)));
    QVERIFY(keyFingerprint(a.publicKey) != keyFingerprint(b.publicKey));
}

QTEST_MAIN(TestChannel)
#include "testchannel.moc"
