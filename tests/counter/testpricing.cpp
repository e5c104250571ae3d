#include "counter/consolegrid.h"
#include "counter/pricing.h"
#include "common/egridmodel.h"
#include "support/testsupport.h"

#include <QtTest>

namespace {

class RecordingStatus : public ConsoleStatus {
public:
    QString clockText() const override { return clock; }
    void setClockText(const QString& t) override { clock = t; }
    void setStatusText(int part, const QString& t) override { parts[part] = t; }
    QString clock;
    QMap<int, QString> parts;
};

const QDateTime kStart(QDate(2026, 12, 7), QTime(10, 0, 30));

} // namespace

class TestPricing : public QObject {
    Q_OBJECT
private slots:
    void init();
    void startFixesPriceAndClearsRow_data();
    void startFixesPriceAndClearsRow();
    void stopHandsTheBillOver();
    void minutesCountWholeMinutes();
    void fixedTimeCountsDown();
    void depositBalanceAndReminder_data();
    void depositBalanceAndReminder();
    void reminderCounterCycle();
    void totalCoversTimingMachinesOnly();
    void rowChangedWithinAMinuteIsTickedAgain();

private:
    CounterState m_state;
    EGridModel m_grid;
    RecordingStatus m_status;
};

void TestPricing::init()
{
    m_state = CounterState();
    setupGrid(m_grid, kMachines);
    m_status = RecordingStatus();
}

void TestPricing::startFixesPriceAndClearsRow_data()
{
    QTest::addColumn<QString>("rate");
    QTest::addColumn<float>("price");
    QTest::addColumn<QString>("shown");
    QTest::newRow("4.0") << "4.0" << float(4.0 / 60.0) << "0.067";
    QTest::newRow("6") << "6" << 0.1f << "0.100";
    QTest::newRow("empty") << "" << 0.0f << "0.000";
    QTest::newRow("abc") << "abc" << 0.0f << "0.000";
    QTest::newRow("wide digits") << "４．０" << float(4.0 / 60.0) << "0.067";
    QTest::newRow("too large for a single") << "1e50" << 0.0f << "0.000";
    // A single carries every cent only to about a hundred thousand: beyond, no price at all.
    QTest::newRow("finite but beyond cents") << "3e38" << 0.0f << "0.000";
    QTest::newRow("just past the limit") << "100000" << 0.0f << "0.000";
    QTest::newRow("at the limit") << "99999.99" << float(99999.99 / 60.0) << "1666.670";
}

void TestPricing::startFixesPriceAndClearsRow()
{
    QFETCH(QString, rate);
    QFETCH(float, price);
    QFETCH(QString, shown);
    TestClock clock(kStart);
    m_grid.setCell(3, 8, 10); // typed before the start: lost
    m_grid.setCell(3, 2, QStringLiteral("9时0分0秒"));
    startMachine(m_state, m_grid, 3, QStringLiteral("10时0分30秒"), rate);
    QCOMPARE(m_state.machineTable[3].state, 1);
    QCOMPARE(m_state.machineTable[3].startTime, now());
    QCOMPARE(m_state.machineTable[3].perMinutePrice, price);
    QCOMPARE(m_state.runningCount, 1);
    QCOMPARE(m_grid.getCurrentRow(), 3);
    const QStringList row { QStringLiteral("10时0分30秒"), QString(), QStringLiteral("0"), shown, QStringLiteral("0.0"),
        QStringLiteral("0"), QStringLiteral("0"), QStringLiteral("0.0"), QStringLiteral("0.0"), QStringLiteral("0.0") };
    for (int c = 1; c <= 10; ++c)
        QCOMPARE(m_grid.getCell(3, c), row[c - 1]);
    QCOMPARE(m_grid.cellColour(3, 0), QColor(255, 0, 0));
}

void TestPricing::stopHandsTheBillOver()
{
    TestClock clock(kStart);
    startMachine(m_state, m_grid, 5, QStringLiteral("10时0分30秒"), QStringLiteral("4.0"));
    startMachine(m_state, m_grid, 6, QStringLiteral("10时0分30秒"), QStringLiteral("6"));
    m_grid.commitEdit(5, 8, QStringLiteral("10"));
    m_grid.setCell(5, 9, 3.0);
    clock.advance(25 * 60);
    tickSecond(m_state, m_grid, m_status);
    const MachineBill bill = stopMachine(m_state, m_grid, 5, QStringLiteral("10时25分30秒"));
    QCOMPARE(m_state.machineTable[5].state, 0);
    QCOMPARE(m_state.machineTable[5].perMinutePrice, float(4.0 / 60.0)); // kept until the next start
    QCOMPARE(m_state.machineTable[6].perMinutePrice, 0.1f);
    QCOMPARE(m_state.runningCount, 1);
    QCOMPARE(m_grid.getCell(5, 2), QStringLiteral("10时25分30秒"));
    QCOMPARE(m_grid.cellColour(5, 0), QColor(0, 0, 0));
    QCOMPARE(m_grid.getCurrentRow(), 5);
    QCOMPARE(bill.feeText, QStringLiteral("1.7"));
    QCOMPARE(bill.goodsText, QStringLiteral("3.0"));
    QCOMPARE(bill.depositText, QStringLiteral("10.0"));
    QCOMPARE(bill.machineNo, 5);
}

void TestPricing::minutesCountWholeMinutes()
{
    TestClock clock(kStart);
    startMachine(m_state, m_grid, 1, QString(), QStringLiteral("4.0"));
    clock.advance(59);
    tickSecond(m_state, m_grid, m_status);
    QCOMPARE(m_status.clock, QStringLiteral("10时1分29秒"));
    QCOMPARE(m_grid.getCell(1, 3), QStringLiteral("0"));
    clock.advance(1);
    tickSecond(m_state, m_grid, m_status);
    QCOMPARE(m_grid.getCell(1, 3), QStringLiteral("1"));
    QCOMPARE(m_grid.getCell(1, 5), QStringLiteral("0.1"));
    // A clock set back is written as it is.
    clock.set(kStart.addSecs(-120));
    tickSecond(m_state, m_grid, m_status);
    QCOMPARE(m_grid.getCell(1, 3), QStringLiteral("-1")); // -2 min + the offset, truncated toward zero
}

void TestPricing::fixedTimeCountsDown()
{
    ScriptedResponder responder;
    TestClock clock(kStart);
    startMachine(m_state, m_grid, 2, QString(), QStringLiteral("4.0"));
    m_grid.commitEdit(2, 6, QStringLiteral("60"));
    clock.advance(58 * 60);
    tickSecond(m_state, m_grid, m_status);
    QCOMPARE(m_grid.getCell(2, 7), QStringLiteral("2"));
    QCOMPARE(responder.beeps, 0);
    clock.advance(2 * 60);
    tickSecond(m_state, m_grid, m_status);
    QCOMPARE(m_grid.getCell(2, 7), QStringLiteral("0"));
    QCOMPARE(responder.beeps, 1);
    QCOMPARE(m_status.parts.value(5), QStringLiteral("2号机计时时间已到！"));
    clock.advance(5 * 60);
    tickSecond(m_state, m_grid, m_status);
    QCOMPARE(m_grid.getCell(2, 7), QStringLiteral("-5"));
    // Without a fixed time the countdown is left alone.
    m_grid.commitEdit(2, 6, QString());
    m_grid.setCell(2, 7, 9);
    tickSecond(m_state, m_grid, m_status);
    QCOMPARE(m_grid.getCell(2, 7), QStringLiteral("9"));
}

void TestPricing::depositBalanceAndReminder_data()
{
    QTest::addColumn<QString>("deposit");
    QTest::addColumn<QString>("goods");
    QTest::addColumn<int>("minutes");
    QTest::addColumn<QString>("amount");
    QTest::addColumn<QString>("balance");
    QTest::addColumn<bool>("reminded");
    QTest::newRow("148 min") << "10" << "" << 148 << "9.9" << "0.1" << false;
    QTest::newRow("149 min") << "10" << "" << 149 << "10.0" << "0.0" << true;
    QTest::newRow("goods 5, 73 min") << "10" << "5" << 73 << "4.9" << "0.1" << false;
    QTest::newRow("goods 5, 74 min") << "10" << "5" << 74 << "5.0" << "0.0" << true;
    QTest::newRow("no deposit") << "0" << "" << 500 << "33.5" << "0.0" << false;
    QTest::newRow("negative deposit") << "-1" << "" << 0 << "0.0" << "-1.0" << true;
}

void TestPricing::depositBalanceAndReminder()
{
    QFETCH(QString, deposit);
    QFETCH(QString, goods);
    QFETCH(int, minutes);
    QFETCH(QString, amount);
    QFETCH(QString, balance);
    QFETCH(bool, reminded);
    ScriptedResponder responder;
    TestClock clock(kStart);
    startMachine(m_state, m_grid, 4, QString(), QStringLiteral("4.0"));
    m_grid.commitEdit(4, 8, deposit);
    m_grid.commitEdit(4, 9, goods);
    clock.advance(minutes * 60);
    tickSecond(m_state, m_grid, m_status);
    QCOMPARE(m_grid.getCell(4, 5), amount);
    QCOMPARE(m_grid.getCell(4, 10), balance);
    QCOMPARE(responder.beeps, reminded ? 1 : 0);
    QCOMPARE(m_status.parts.value(5), reminded ? QStringLiteral("4号机计费时间已到！") : QString());
}

void TestPricing::reminderCounterCycle()
{
    ScriptedResponder responder;
    QList<int> beepsAt;
    for (int call = 0; call < 130; ++call) {
        const int before = responder.beeps;
        remind(m_state, call < 65 ? 7 : 9, ReminderKind::FixedTime, m_status);
        if (responder.beeps > before)
            beepsAt.append(call);
        if (call == 0)
            QCOMPARE(m_status.parts.value(5), QStringLiteral("7号机计时时间已到！"));
        if (call == 64)
            QCOMPARE(m_status.parts.value(5), QStringLiteral("7号机计时时间已到！")); // not rewritten yet
    }
    // 0, 5, …, 60 beep; −4 … −1 do not; the 65th call meets 0 again and rewrites the text.
    QList<int> expected;
    for (int k = 0; k <= 60; k += 5)
        expected << k;
    for (int k = 0; k <= 60; k += 5)
        expected << 65 + k;
    QCOMPARE(beepsAt, expected);
    QCOMPARE(m_status.parts.value(5), QStringLiteral("9号机计时时间已到！"));
    QCOMPARE(m_state.reminderCounter, 0);
}

void TestPricing::totalCoversTimingMachinesOnly()
{
    TestClock clock(kStart);
    startMachine(m_state, m_grid, 1, QString(), QStringLiteral("4.0"));
    startMachine(m_state, m_grid, 2, QString(), QStringLiteral("6"));
    clock.advance(30 * 60);
    tickSecond(m_state, m_grid, m_status);
    QCOMPARE(m_grid.getCell(1, 5), QStringLiteral("2.0"));
    QCOMPARE(m_grid.getCell(2, 5), QStringLiteral("3.0"));
    QCOMPARE(m_status.parts.value(3), QStringLiteral("5"));
    clock.advance(5 * 60);
    tickSecond(m_state, m_grid, m_status);
    QCOMPARE(m_status.parts.value(3), QStringLiteral("5.8")); // 2.3 + 3.5
    stopMachine(m_state, m_grid, 2, QString());
    tickSecond(m_state, m_grid, m_status);
    QCOMPARE(m_status.parts.value(3), QStringLiteral("2.3"));
}

void TestPricing::rowChangedWithinAMinuteIsTickedAgain()
{
    ScriptedResponder responder;
    TestClock clock(kStart);
    startMachine(m_state, m_grid, 4, QString(), QStringLiteral("6"));
    clock.advance(10 * 60);
    tickSecond(m_state, m_grid, m_status);
    QCOMPARE(m_status.parts.value(3), QStringLiteral("1"));
    // Within the same minute: a deposit typed, goods put on the bill, the amount booked.
    clock.advance(1);
    m_grid.commitEdit(4, ConsoleColumn::Deposit, QStringLiteral("5"));
    tickSecond(m_state, m_grid, m_status);
    QCOMPARE(m_grid.getCell(4, ConsoleColumn::Balance), QStringLiteral("4.0"));
    m_grid.setCell(4, ConsoleColumn::Goods, QStringLiteral("2.5"));
    tickSecond(m_state, m_grid, m_status);
    QCOMPARE(m_grid.getCell(4, ConsoleColumn::Balance), QStringLiteral("1.5"));
    m_grid.setCell(4, ConsoleColumn::Amount, QStringLiteral("3"));
    tickSecond(m_state, m_grid, m_status);
    QCOMPARE(m_grid.getCell(4, ConsoleColumn::Balance), QStringLiteral("-0.5"));
    QCOMPARE(m_status.parts.value(3), QStringLiteral("3"));
    // Reminded at every tick while the balance is gone, though nothing else changes.
    QCOMPARE(responder.beeps, 1);
    for (int i = 0; i < 5; ++i)
        tickSecond(m_state, m_grid, m_status);
    QCOMPARE(responder.beeps, 2);
    // The same machine started again on a new grid starts from what that grid shows.
    EGridModel other;
    setupGrid(other, kMachines);
    tickSecond(m_state, other, m_status);
    QCOMPARE(other.getCell(4, ConsoleColumn::Minutes), QStringLiteral("10"));
}

QTEST_GUILESS_MAIN(TestPricing)
#include "testpricing.moc"
