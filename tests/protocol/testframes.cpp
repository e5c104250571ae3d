#include "protocol/frames.h"

#include <QRandomGenerator>
#include <QtTest>

class TestFrames : public QObject {
    Q_OBJECT
private slots:
    void framesComeBackWhateverTheChunks();
    void brokenLengths_data();
    void brokenLengths();
    void aFloodHoldsAtMostOneFrame();
};

// Frames of every size class, cut at random places as a socket delivers them, come back whole
// and in order.
void TestFrames::framesComeBackWhateverTheChunks()
{
    QRandomGenerator random(7);
    QList<QByteArray> sent;
    QByteArray stream;
    for (int size : { 1, 2, 3, 4, 5, 100, 4096, kMaxFrameBytes - 1, kMaxFrameBytes, 17 }) {
        QByteArray payload(size, Qt::Uninitialized);
        for (char& c : payload)
            c = char(random.bounded(256));
        sent.append(payload);
        stream += encodeFrame(payload);
    }
    QCOMPARE(encodeFrame(QByteArray()), QByteArray());
    QCOMPARE(encodeFrame(QByteArray(kMaxFrameBytes + 1, 'x')), QByteArray());
    for (int round = 0; round < 20; ++round) {
        FrameReader reader;
        QList<QByteArray> received;
        for (qsizetype at = 0; at < stream.size();) {
            const qsizetype chunk = std::min<qsizetype>(stream.size() - at, 1 + random.bounded(round < 10 ? 7 : 70000));
            QByteArrayView input(stream.constData() + at, chunk);
            at += chunk;
            QByteArray frame;
            FrameReader::Result r;
            while ((r = reader.take(input, frame)) == FrameReader::Result::Frame)
                received.append(frame);
            QCOMPARE(r, FrameReader::Result::NeedMore);
            QVERIFY(input.isEmpty());
        }
        QCOMPARE(received, sent);
        QCOMPARE(reader.held(), 0);
    }
}

void TestFrames::brokenLengths_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("zero length") << QByteArray("\0\0\0\0", 4);
    QTest::newRow("one past the bound") << QByteArray("\0\1\0\1", 4);
    QTest::newRow("four gigabytes") << QByteArray("\xff\xff\xff\xff", 4);
    QTest::newRow("after a good frame") << (encodeFrame("ok") + QByteArray("\0\0\0\0", 4));
}

void TestFrames::brokenLengths()
{
    QFETCH(QByteArray, bytes);
    FrameReader reader;
    QByteArrayView input(bytes);
    QByteArray frame;
    FrameReader::Result r;
    while ((r = reader.take(input, frame)) == FrameReader::Result::Frame)
        QCOMPARE(frame, QByteArray("ok"));
    QCOMPARE(r, FrameReader::Result::Broken);
    QVERIFY(reader.isBroken());
    // Broken stays broken: nothing more is read from the peer.
    QByteArrayView more("\0\0\0\1x", 5);
    QCOMPARE(reader.take(more, frame), FrameReader::Result::Broken);
    QCOMPARE(more.size(), 5);
}

// 100 peers each sending random bytes and 100 malformed frames (10,000 in all), connecting
// again whenever they are dropped: no reader ever holds more than one frame, every burst is
// either taken whole or ends the connection, and garbage is dropped rather than waited on.
void TestFrames::aFloodHoldsAtMostOneFrame()
{
    QRandomGenerator random(29);
    int malformed = 0;
    for (int peer = 0; peer < 100; ++peer) {
        auto reader = std::make_unique<FrameReader>();
        int dropped = 0;
        for (int burst = 0; burst < 200; ++burst) {
            QByteArray bytes;
            if (burst % 2 == 0) {
                bytes.resize(1 + random.bounded(2000));
                for (char& c : bytes)
                    c = char(random.bounded(256));
            } else {
                // A header that promises more than follows, or a length out of bounds.
                ++malformed;
                QByteArray header(4, Qt::Uninitialized);
                qToBigEndian(quint32(random.bounded(2) ? random.bounded(kMaxFrameBytes) + 1 : random.generate()),
                    header.data());
                bytes = header + QByteArray(random.bounded(64), 'x');
            }
            QByteArrayView input(bytes);
            QByteArray frame;
            FrameReader::Result r;
            while ((r = reader->take(input, frame)) == FrameReader::Result::Frame)
                QVERIFY(frame.size() >= 1 && frame.size() <= kMaxFrameBytes);
            QVERIFY(reader->held() <= kMaxFrameBytes);
            QVERIFY(r == FrameReader::Result::Broken || input.isEmpty());
            if (r == FrameReader::Result::Broken) {
                ++dropped;
                reader = std::make_unique<FrameReader>();
            }
        }
        // A random length is out of bounds far more often than not: garbage ends the
        // connection instead of being waited on.
        QVERIFY(dropped > 0);
    }
    QCOMPARE(malformed, 10000);
}

QTEST_GUILESS_MAIN(TestFrames)
#include "testframes.moc"
