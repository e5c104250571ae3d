#include "checkout/settlement.h"
#include "store/database.h"
#include "store/recordset.h"
#include "support/testsupport.h"

#include <QtTest>

namespace {

QString s(const char16_t* t) { return QString::fromUtf16(t); }

} // namespace

// The checkout's figures and its booking, without the window.
class TestSettlement : public QObject {
    Q_OBJECT
private slots:
    void figures_data();
    void figures();
    void cardCharges_data();
    void cardCharges();
    void amountsWithinASingle_data();
    void amountsWithinASingle();
    void exactChargesLeaveExactlyNothing();
    void typedAmountsAreBookedAsTyped_data();
    void typedAmountsAreBookedAsTyped();

private:
    double balanceOf(StoreFixture& store, const QString& card)
    {
        return queryValue(store.dir.databasePath(), s(u"select 余额 from 会员表 where 会员编号='%1'").arg(card)).toDouble();
    }
};

void TestSettlement::figures_data()
{
    QTest::addColumn<QString>("fee");
    QTest::addColumn<QString>("goods");
    QTest::addColumn<QString>("deposit");
    QTest::addColumn<QString>("received");
    QTest::addColumn<QString>("receivable");
    QTest::addColumn<QString>("income");
    QTest::newRow("unchanged") << "12.5" << "3.0" << "10.0" << "5.5" << "5.5" << "12.5";
    QTest::newRow("less received") << "12.5" << "3.0" << "10.0" << "5" << "5.5" << "12";
    QTest::newRow("empty cells") << "" << "" << "" << "" << "0" << "0";
    QTest::newRow("goods only") << "0.0" << "10.0" << "" << "10" << "10" << "0";
    QTest::newRow("deposit returned") << "2.0" << "" << "10.0" << "-8" << "-8" << "2";
}

void TestSettlement::figures()
{
    QFETCH(QString, fee);
    QFETCH(QString, goods);
    QFETCH(QString, deposit);
    QFETCH(QString, received);
    QFETCH(QString, receivable);
    QFETCH(QString, income);
    QCOMPARE(toText(receivableOf(fee, goods, deposit)), receivable);
    QCOMPARE(toText(machineIncomeOf(received, deposit, goods)), income);
}

void TestSettlement::cardCharges_data()
{
    QTest::addColumn<QString>("income");
    QTest::addColumn<QString>("goods");
    QTest::addColumn<QString>("balance");
    QTest::addColumn<double>("debit");
    QTest::addColumn<QString>("shortfall"); // empty: the card pays it all
    QTest::newRow("within the balance") << "12.5" << "3.0" << "50" << 15.5 << "";
    QTest::newRow("exactly the balance") << "12.5" << "3.0" << "15.5" << 15.5 << "";
    QTest::newRow("short of funds") << "20.5" << "" << "8.2" << 8.2 << "12.30000019073";
    // The debit is what the booking records, to the cent, not a single's 12345.6699.
    QTest::newRow("more than six digits") << "12345.67" << "" << "20000" << 12345.67 << "";
    QTest::newRow("the whole balance of cents") << "12345.67" << "" << "12345.67" << 12345.67 << "";
    QTest::newRow("capped at a balance of cents") << "20000" << "" << "12345.67" << 12345.67 << "7654.330078125";
    QTest::newRow("no card picked") << "12.5" << "" << "" << 0.0 << "12.5";
}

void TestSettlement::cardCharges()
{
    QFETCH(QString, income);
    QFETCH(QString, goods);
    QFETCH(QString, balance);
    QFETCH(double, debit);
    QFETCH(QString, shortfall);
    const CardCharge c = cardChargeOf(toNumber(income), goods, balance);
    QCOMPARE(c.debit, debit);
    QCOMPARE(c.shortOfFunds, !shortfall.isEmpty());
    QCOMPARE(c.shortfallText, shortfall);
}

void TestSettlement::amountsWithinASingle_data()
{
    QTest::addColumn<QString>("received");
    QTest::addColumn<QString>("deposit");
    QTest::addColumn<QString>("goods");
    QTest::addColumn<bool>("inRange");
    QTest::newRow("ordinary") << "5.5" << "10" << "3" << true;
    QTest::newRow("at the limit") << "99999.99" << "" << "" << true;
    QTest::newRow("past the limit") << "100000" << "" << "" << false;
    QTest::newRow("forty nines") << QString(40, u'9') << "" << "" << false;
    QTest::newRow("income past it with the deposit") << "60000" << "60000" << "" << false;
    QTest::newRow("card charge past it with the goods") << "60000" << "60000" << "60000" << false;
    QTest::newRow("negative past the limit") << "-100000" << "" << "" << false;
}

void TestSettlement::amountsWithinASingle()
{
    QFETCH(QString, received);
    QFETCH(QString, deposit);
    QFETCH(QString, goods);
    QFETCH(bool, inRange);
    StoreFixture store;
    CheckoutInput in;
    in.machineNo = 2;
    in.receivedText = received;
    in.depositText = deposit;
    in.goodsText = goods;
    QCOMPARE(checkoutAmountsInRange(in), inRange);
    const SettleOutcome out = settleCheckout(store.db, store.rs, in);
    QCOMPARE(out.result == SettleResult::Failed, !inRange);
    QCOMPARE(queryValue(store.dir.databasePath(), s(u"select count(*) from 收入记录")).toInt(), inRange ? 1 : 0);
}

void TestSettlement::exactChargesLeaveExactlyNothing()
{
    StoreFixture store;
    QVERIFY(runSql(store.dir.databasePath(), { s(u"insert into 会员表 values ('A001', 10, 0, 10)") }));
    for (const char* fee : { "6.1", "3.9" }) {
        CheckoutInput in;
        in.machineNo = 1;
        in.feeText = QString::fromLatin1(fee);
        in.receivedText = in.feeText;
        in.useCard = true;
        in.cardNo = QStringLiteral("A001");
        in.balanceText = toText(balanceOf(store, in.cardNo));
        QCOMPARE(settleCheckout(store.db, store.rs, in).result, SettleResult::Booked);
    }
    QCOMPARE(balanceOf(store, QStringLiteral("A001")), 0.0);
}

void TestSettlement::typedAmountsAreBookedAsTyped_data()
{
    QTest::addColumn<QString>("received");
    QTest::addColumn<QString>("balance"); // empty: paid in cash
    QTest::addColumn<QString>("booked"); // income, ledger 金额, 现金, 卡额, the card's balance after
    QTest::newRow("cash") << "1234.56" << "" << "1234.56 1234.56 1234.56 0";
    QTest::newRow("cash at the limit") << "99999.99" << "" << "99999.99 99999.99 99999.99 0";
    QTest::newRow("a card's whole balance") << "12345.67" << "12345.67" << "12345.67 12345.67 0 -12345.67 0";
}

void TestSettlement::typedAmountsAreBookedAsTyped()
{
    QFETCH(QString, received);
    QFETCH(QString, balance);
    QFETCH(QString, booked);
    StoreFixture store;
    const QString path = store.dir.databasePath();
    CheckoutInput in;
    in.machineNo = 4;
    in.feeText = received;
    in.receivedText = received;
    if (!balance.isEmpty()) {
        QVERIFY(runSql(path, { QStringLiteral("insert into 会员表 values ('A9', 100, 0, %1)").arg(balance) }));
        in.useCard = true;
        in.cardNo = QStringLiteral("A9");
        in.balanceText = toText(balanceOf(store, in.cardNo));
    }
    QCOMPARE(settleCheckout(store.db, store.rs, in).result, SettleResult::Booked);
    QString figures = queryValue(path, s(u"select printf('%s %s %s %s', 收入金额, 金额, 现金, 卡额) from 收入记录, 操作记录 "
                                          u"where 类型='结帐'")).toString();
    if (!balance.isEmpty())
        figures += u' ' + queryValue(path, s(u"select printf('%s', 余额) from 会员表")).toString();
    QCOMPARE(figures, booked);
}

QTEST_MAIN(TestSettlement)
#include "testsettlement.moc"
