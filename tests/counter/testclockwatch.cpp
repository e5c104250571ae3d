#include "counter/clockwatch.h"

#include <QtTest>

class TestClockWatch : public QObject {
    Q_OBJECT
private slots:
    void jumps_data();
    void jumps();
};

void TestClockWatch::jumps_data()
{
    // The wall clock, in seconds from the reference, while 600 s really pass; what is said.
    QTest::addColumn<QVector<qint64>>("wall"); // at 0, 60, 120 … real seconds
    QTest::addColumn<QVector<qint64>>("said");
    QTest::newRow("clocks agree") << QVector<qint64> { 0, 60, 120 } << QVector<qint64> { 0, 0, 0 };
    QTest::newRow("two minutes forward: still taken") << QVector<qint64> { 0, 180 } << QVector<qint64> { 0, 0 };
    QTest::newRow("more than two forward") << QVector<qint64> { 0, 181, 241 } << QVector<qint64> { 0, 121, 0 };
    QTest::newRow("one minute back: still taken") << QVector<qint64> { 0, 0 } << QVector<qint64> { 0, 0 };
    QTest::newRow("more than one back") << QVector<qint64> { 0, -1, 59 } << QVector<qint64> { 0, -61, 0 };
    // Forty seconds back twice is eighty: said at the second step, not lost between them.
    QTest::newRow("small steps add up") << QVector<qint64> { 0, 20, 40 } << QVector<qint64> { 0, 0, -80 };
}

void TestClockWatch::jumps()
{
    QFETCH(QVector<qint64>, wall);
    QFETCH(QVector<qint64>, said);
    const QDateTime origin(QDate(2026, 12, 9), QTime(20, 0));
    ClockWatch watch;
    watch.reset(origin, 0);
    for (int i = 0; i < wall.size(); ++i)
        QCOMPARE(watch.look(origin.addSecs(wall[i]), qint64(i) * 60000), said[i]);
}

QTEST_GUILESS_MAIN(TestClockWatch)
#include "testclockwatch.moc"
