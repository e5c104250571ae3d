#include "checkout/settlement.h"
#include "common/egridmodel.h"
#include "counter/consolegrid.h"
#include "counter/counter.h"
#include "members/membercards.h"
#include "shifts/shiftslip.h"
#include "store/ledgertable.h"
#include "store/membertable.h"
#include "store/shifttable.h"
#include "support/counterfixture.h"

#include <QtTest>

namespace {

QString s(const char16_t* t) { return QString::fromUtf16(t); }

const QDateTime kMorning(QDate(2026, 12, 8), QTime(8, 0, 0));

} // namespace

class TestShifts : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void scriptedShift();
    void scriptedShiftWithEveryMethod();
    void aRestartKeepsTheShiftOpen();
    void readingCashAmounts_data();
    void readingCashAmounts();

private:
    // Machine n started at 4 an hour, with the deposit typed (none when empty).
    void timeMachine(int n, int minutes, const QString& deposit);

    std::unique_ptr<CounterFixture> m_f;
    // Its parts, by the names the tests use.
    TestClock* m_clock = nullptr;
    StoreFixture* m_store = nullptr;
    EGridModel* m_grid = nullptr;
    Counter* m_counter = nullptr;
};

void TestShifts::init()
{
    m_f = std::make_unique<CounterFixture>(kMorning);
    m_clock = &m_f->clock;
    m_store = &m_f->store;
    m_grid = &m_f->grid;
    m_counter = &m_f->counter;
    QVERIFY(runSql(m_store->dir.databasePath(),
        { s(u"insert into 会员表 values ('A1', 100, 98, 2)"), s(u"insert into 商品表 values ('可乐', 2.5)") }));
}

void TestShifts::cleanup()
{
    m_f.reset();
}

void TestShifts::timeMachine(int n, int minutes, const QString& deposit)
{
    m_counter->start(n, QStringLiteral("8时0分0秒"), QStringLiteral("4"));
    m_grid->setCell(n, ConsoleColumn::Minutes, minutes);
    if (!deposit.isEmpty()) {
        m_grid->commitEdit(n, ConsoleColumn::Deposit, deposit);
        m_counter->acceptTyped(n, ConsoleColumn::Deposit);
    }
}

// Float 200. Machine 1: deposit 20, goods on account 7.5, 30 minutes (2.00), settles in cash
// with -10.50 (the deposit back less the bill). Machine 2: 60 minutes (4.00) in cash.
// Machine 3: deposit 10, 90 minutes (6.00) on card A1, whose 2.00 leaves 4.00 short, set off
// against the deposit: 6.00 back in cash. Machine 4: deposit 30, still timing. Goods for 5.00
// cash, a new card of 100, a top-up of 50.
void TestShifts::scriptedShift()
{
    Database& db = m_store->db;
    ShiftRecord shift;
    QString error;
    QVERIFY(openShift(db, 200, shift, &error));
    QCOMPARE(db.shift(), shift.number);
    const auto nothing = [](QString*) { return true; };
    const auto checkout = [&](int n, int minutes, const QString& received, const QString& card,
                              const QString& balance) {
        m_grid->setCell(n, ConsoleColumn::Minutes, minutes);
        const MachineBill bill = m_counter->stop(n, QStringLiteral("9时0分0秒"));
        const CheckoutInput in { n, bill.feeText, bill.goodsText, bill.depositText, received, !card.isEmpty(), card,
            balance, {}, {} };
        QString why;
        QVERIFY2(settleOnCounter(*m_counter, db, m_store->rs, in, &why), qPrintable(why));
    };
    timeMachine(1, 0, QStringLiteral("20"));
    QVERIFY(m_counter->bookGoods(1, true, QStringLiteral("7.5"), nothing, &error, s(u"可乐")));
    checkout(1, 30, QStringLiteral("-10.5"), QString(), QString());
    timeMachine(2, 0, QString());
    checkout(2, 60, QStringLiteral("4"), QString(), QString());
    timeMachine(3, 0, QStringLiteral("10"));
    checkout(3, 90, QStringLiteral("-4"), QStringLiteral("A1"), QStringLiteral("2"));
    timeMachine(4, 10, QStringLiteral("30"));
    QVERIFY(m_counter->bookGoods(5, false, QStringLiteral("5"), nothing, &error, s(u"可乐")));
    QCOMPARE(saveCard(m_store->rs, { QStringLiteral("B2"), QStringLiteral("100"), QString(), true, {} }).result,
        CardSaveOutcome::Saved);
    QVERIFY(topUpCard(db, QStringLiteral("A1"), 50, &error));

    ShiftTotals t;
    QVERIFY(readShiftTotals(db, shift.number, t, &error));
    QCOMPARE(shiftMoney(t.machineCash), QStringLiteral("17.50"));
    QCOMPARE(shiftMoney(t.machineCard), QStringLiteral("2.00"));
    QCOMPARE(shiftMoney(t.goodsCash), QStringLiteral("5.00"));
    QCOMPARE(shiftMoney(t.goodsOnAccount), QStringLiteral("7.50"));
    QCOMPARE(shiftMoney(t.depositsIn), QStringLiteral("60.00"));
    QCOMPARE(shiftMoney(t.depositsOut), QStringLiteral("30.00"));
    QCOMPARE(shiftMoney(t.newCards), QStringLiteral("100.00"));
    QCOMPARE(shiftMoney(t.topUps), QStringLiteral("50.00"));
    // 200 + 20 - 10.5 + 4 + 10 - 6 + 30 + 5 + 100 + 50, worked out by hand.
    QCOMPARE(shiftMoney(expectedCash(shift, t)), QStringLiteral("402.50"));
    QCOMPARE(t.rows, queryValue(m_store->dir.databasePath(), s(u"select count(*) from 操作记录")).toInt());
    // Cash alone: the handover and its slip are as they always were.
    QVERIFY(t.onlyCash());
    QCOMPARE(slipLines(shift, t).size(), 20);

    // Counted 400: short by 2.50, which needs a note; what is left must be in the drawer.
    shift.expected = expectedCash(shift, t);
    shift.counted = 400;
    shift.difference = shift.counted - shift.expected;
    shift.depositsHeld = 30;
    QCOMPARE(closingRefusal(shift.difference, QString(), 200, 400), s(u"有短款，请在备注中说明原因！"));
    QCOMPARE(closingRefusal(shift.difference, s(u"找错零钱"), 400.01, 400), s(u"留存备用金必须在0到实点现金之间！"));
    QCOMPARE(closingRefusal(0.004, QString(), 0, 400), QString());
    shift.note = s(u"找错零钱");
    shift.leftFloat = 200;
    QVERIFY2(closeShift(db, shift, &error), qPrintable(error));
    QCOMPARE(db.shift(), 0);

    // Handed over, nothing of it changes: not through the program, not with another tool.
    QVERIFY(!changeOpeningFloat(db, shift.number, 300, &error));
    QVERIFY(!closeShift(db, shift, &error));
    QVERIFY(!runSql(m_store->dir.databasePath(), { s(u"update 班次 set 实点现金=402.5") }));
    QVERIFY(!runSql(m_store->dir.databasePath(), { s(u"delete from 班次") }));
    ShiftRecord closed;
    QVERIFY(readShift(db, shift.number, closed, &error));
    QCOMPARE(shiftMoney(closed.counted), QStringLiteral("400.00"));
    QCOMPARE(closed.hash, checkLedger(db).newestHash);
    const QByteArray csv = slipCsv(closed, t);
    for (const char16_t* line : { u"应有现金,402.50\r\n", u"差额,'-2.50（短款）\r\n", u"在用押金,30.00\r\n",
             u"留存备用金,200.00\r\n", u"备注,找错零钱\r\n" })
        QVERIFY2(csv.contains(s(line).toUtf8()), qPrintable(s(line)));
    QVERIFY(csv.contains((QStringLiteral("校验,") + closed.hash.left(12)).toUtf8()));

    // Machine 4 times on; the next shift opens with what was left and takes its checkout.
    QCOMPARE(floatLeftInTheDrawer(db), 200.0);
    ShiftRecord next;
    QVERIFY(openShift(db, floatLeftInTheDrawer(db), next, &error));
    QCOMPARE(next.number, shift.number + 1);
    QVERIFY(!openShift(db, 0, next, &error)); // one open at a time
    // A row written while no shift was open (the store out when one should have opened)
    // counts in the shift that follows it, not in the one handed over before it.
    db.setShift(0);
    QVERIFY(topUpCard(db, QStringLiteral("A1"), 7, &error));
    db.setShift(next.number);
    checkout(4, 10, QStringLiteral("-29.33"), QString(), QString());
    QVERIFY(readShiftTotals(db, next.number, t, &error));
    QCOMPARE(shiftMoney(t.depositsOut), QStringLiteral("30.00"));
    QCOMPARE(shiftMoney(t.depositsIn), QStringLiteral("0.00"));
    QCOMPARE(shiftMoney(t.topUps), QStringLiteral("7.00"));
    ShiftTotals handedOver;
    QVERIFY(readShiftTotals(db, shift.number, handedOver, &error));
    QCOMPARE(shiftMoney(handedOver.topUps), QStringLiteral("50.00"));
}

// Float 100; offers 100 → 20 and 200 → 50. Machine 1: 90 minutes (6.00) by 微信. Machine 2:
// deposit 10 in cash, 180 minutes (12.10), the 2.10 left by 支付宝. Machine 3: 120 minutes
// (8.00) on card A1, whose 2.00 leaves 6.00 paid by 银行卡. Goods for 5.00 by 微信. A new card
// B2 of 100 by 支付宝 (+20), later deleted; a top-up of A1 with 200 in cash (+50, the highest
// offer reached) and one of 50 by 银行卡 (no offer reached).
void TestShifts::scriptedShiftWithEveryMethod()
{
    Database& db = m_store->db;
    ShiftRecord shift;
    QString error;
    QVERIFY(openShift(db, 100, shift, &error));
    QVERIFY(saveTopUpBonuses(db, { { 200, 50 }, { 100, 20 } }, &error));
    QVector<TopUpBonus> offers;
    QVERIFY(readTopUpBonuses(db, offers, &error));
    const auto checkout = [&](int n, int minutes, const QString& received, const QString& card, const QString& method,
                              const QString& reference) {
        m_grid->setCell(n, ConsoleColumn::Minutes, minutes);
        const MachineBill bill = m_counter->stop(n, QStringLiteral("9时0分0秒"));
        const CheckoutInput in { n, bill.feeText, bill.goodsText, bill.depositText, received, !card.isEmpty(), card,
            card.isEmpty() ? QString() : QStringLiteral("2"), method, reference };
        QString why;
        QVERIFY2(settleOnCounter(*m_counter, db, m_store->rs, in, &why), qPrintable(why));
    };
    timeMachine(1, 0, QString());
    checkout(1, 90, QStringLiteral("6"), QString(), s(u"微信"), QStringLiteral("0042"));
    timeMachine(2, 0, QStringLiteral("10"));
    checkout(2, 180, QStringLiteral("2.1"), QString(), s(u"支付宝"), QString());
    timeMachine(3, 0, QString());
    checkout(3, 120, QStringLiteral("8"), QStringLiteral("A1"), s(u"银行卡"), QString());
    QVERIFY(m_counter->bookGoods(5, false, QStringLiteral("5"), [](QString*) { return true; }, &error, s(u"可乐"),
        s(u"微信"), QStringLiteral("77")));
    CardEntry newCard { QStringLiteral("B2"), QStringLiteral("100"), QString(), true, { s(u"支付宝"), {}, bonusFor(offers, 100) } };
    QCOMPARE(saveCard(m_store->rs, newCard).result, CardSaveOutcome::Saved);
    QVERIFY(topUpCard(db, QStringLiteral("A1"), 200, &error, { s(u"现金"), {}, bonusFor(offers, 200) }));
    QVERIFY(topUpCard(db, QStringLiteral("A1"), 50, &error, { s(u"银行卡"), {}, bonusFor(offers, 50) }));
    const QString path = m_store->dir.databasePath();
    QCOMPARE(queryValue(path, s(u"select 余额 from 会员表 where 会员编号='B2'")).toDouble(), 120.0);
    QCOMPARE(queryValue(path, s(u"select 余额 from 会员表 where 会员编号='A1'")).toDouble(), 300.0);
    // The card gets the bonus, the drawer and the ledger's cash only what was paid.
    QCOMPARE(queryValue(path, s(u"select 现金 || '/' || 卡额 || '/' || 赠送 || '/' || 支付方式 from 操作记录 "
                                 "where 类型='充值' and 赠送>0"))
                 .toString(),
        s(u"200/250/50/现金"));
    QVERIFY(deleteCard(db, QStringLiteral("B2"), &error));
    QCOMPARE(queryValue(path, s(u"select 现金 from 操作记录 where 类型='删除会员卡'")).toDouble(), 0.0);
    // Top-ups and bonuses book no income: the checkouts' 6 + 12.1 + 8 (the sale here books none).
    QCOMPARE(queryValue(path, s(u"select total(收入金额) from 收入记录")).toDouble(), 26.1);

    ShiftTotals t;
    QVERIFY(readShiftTotals(db, shift.number, t, &error));
    QCOMPARE(shiftMoney(t.machineCash), QStringLiteral("10.00")); // machine 2's deposit
    QCOMPARE(shiftMoney(t.machineCard), QStringLiteral("2.00"));
    QCOMPARE(shiftMoney(t.goodsCash), QStringLiteral("0.00"));
    QCOMPARE(shiftMoney(t.newCards), QStringLiteral("0.00"));
    QCOMPARE(shiftMoney(t.topUps), QStringLiteral("200.00"));
    QCOMPARE(shiftMoney(t.wechat), QStringLiteral("11.00")); // 6 + 5
    QCOMPARE(shiftMoney(t.alipay), QStringLiteral("102.10")); // 2.1 + 100
    QCOMPARE(shiftMoney(t.bankCard), QStringLiteral("56.00")); // 6 + 50
    QCOMPARE(shiftMoney(t.bonuses), QStringLiteral("70.00")); // 20 + 50
    // 100 + 10 (deposit) + 200 (top-up in cash).
    QCOMPARE(shiftMoney(expectedCash(shift, t)), QStringLiteral("310.00"));
    const auto lines = slipLines(shift, t);
    QCOMPARE(lines.value(14), qMakePair(s(u"微信"), QStringLiteral("11.00")));
    QCOMPARE(lines.value(17), qMakePair(s(u"赠送"), QStringLiteral("70.00")));

    // The method and the reference are in the chain: changed by another tool, the row breaks it.
    QCOMPARE(checkLedger(db).firstBroken, 0);
    const qint64 wechatRow = queryValue(path, s(u"select min(序号) from 操作记录 where 支付方式='微信'")).toLongLong();
    QVERIFY(runSql(path, { s(u"drop trigger 操作记录_不改"), s(u"update 操作记录 set 单号='0043' where 单号='0042'") }));
    QCOMPARE(checkLedger(db).firstBroken, wechatRow);
}

void TestShifts::aRestartKeepsTheShiftOpen()
{
    ShiftRecord shift;
    QString error;
    QVERIFY(openShift(m_store->db, 150, shift, &error));
    QVERIFY(topUpCard(m_store->db, QStringLiteral("A1"), 20, &error));
    m_store->db.closeDatabase();
    // As after a crash: a new connection finds the shift open, with what it has booked.
    Database again;
    QVERIFY(openTestStore(again, m_store->dir));
    bool found = false;
    ShiftRecord open;
    QVERIFY(readOpenShift(again, open, found, &error));
    QVERIFY(found);
    QCOMPARE(open.number, shift.number);
    QCOMPARE(open.openingFloat, 150.0);
    ShiftTotals t;
    QVERIFY(readShiftTotals(again, open.number, t, &error));
    QCOMPARE(expectedCash(open, t), 170.0);
}

void TestShifts::readingCashAmounts_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("read");
    QTest::addColumn<double>("value");
    QTest::newRow("plain") << "402.5" << true << 402.5;
    QTest::newRow("spaces") << " 12 " << true << 12.0;
    QTest::newRow("zero") << "0" << true << 0.0;
    QTest::newRow("negative") << "-1" << false << 0.0;
    QTest::newRow("letters") << "12元" << false << 0.0;
    QTest::newRow("empty") << "" << false << 0.0;
    QTest::newRow("beyond the limit") << "100000" << false << 0.0;
    QTest::newRow("not a number") << "nan" << false << 0.0;
}

void TestShifts::readingCashAmounts()
{
    QFETCH(QString, text);
    QFETCH(bool, read);
    QFETCH(double, value);
    double got = 0.0;
    QCOMPARE(readCashAmount(text, got), read);
    QCOMPARE(got, value);
}

QTEST_GUILESS_MAIN(TestShifts)
#include "testshifts.moc"
