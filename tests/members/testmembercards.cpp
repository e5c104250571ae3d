#include "members/membercards.h"
#include "common/values.h"
#include "store/membertable.h"
#include "support/testsupport.h"

#include <QtTest>

class TestMemberCards : public QObject {
    Q_OBJECT
private slots:
    void topUpAmount_data();
    void topUpAmount();
    void topUpRefusals_data();
    void topUpRefusals();
    void negativeFaceValueIsRefused();
    void highestOfferReached_data();
    void highestOfferReached();
};

void TestMemberCards::topUpAmount_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<double>("amount");
    QTest::addColumn<QString>("joined"); // what the statement carries
    QTest::newRow("whole") << "100" << true << 100.0 << "100";
    QTest::newRow("fraction") << "12.50" << true << 12.5 << "12.5";
    QTest::newRow("blanks around") << " 20 " << true << 20.0 << "20";
    QTest::newRow("full-width") << QString::fromUtf16(u"５０．５") << true << 50.5 << "50.5";
    QTest::newRow("signs") << "-5" << true << -5.0 << "-5";
    QTest::newRow("plus, point first") << "+.5" << true << 0.5 << "0.5";
    QTest::newRow("more digits than a single") << "1234567" << true << 1234567.0 << "1234567";
    QTest::newRow("cents on a large amount") << "10000.05" << true << 10000.05 << "10000.05";
    QTest::newRow("blank") << "  " << false << 0.0 << "";
    QTest::newRow("exponent") << "1e5" << false << 0.0 << "";
    QTest::newRow("trailing letters") << "1e5x" << false << 0.0 << "";
    QTest::newRow("two numbers") << "5 5" << false << 0.0 << "";
    QTest::newRow("beyond a single") << QString(60, u'9') << false << 0.0 << "";
}

void TestMemberCards::topUpAmount()
{
    QFETCH(QString, typed);
    QFETCH(bool, valid);
    QFETCH(double, amount);
    QFETCH(QString, joined);
    double parsed = -1.0;
    QCOMPARE(parseTopUpAmount(typed, parsed), valid);
    if (!valid)
        return;
    QCOMPARE(parsed, amount);
    QCOMPARE(topUpStatement(parsed, QStringLiteral("O'Brien")),
        QString::fromUtf16(u"update 会员表 set 余额=round(余额+") + joined
            + QString::fromUtf16(u",4) where 会员编号='O''Brien'"));
}

void TestMemberCards::topUpRefusals_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("refusal");
    QTest::addColumn<double>("amount");
    QTest::newRow("a top-up") << "100" << "" << 100.0;
    QTest::newRow("cents kept as typed") << "99999.99" << "" << 99999.99;
    QTest::newRow("below a cent is no money") << "0.004" << QString::fromUtf16(u"充值金额必须大于零！") << 0.0;
    QTest::newRow("zero") << "0" << QString::fromUtf16(u"充值金额必须大于零！") << 0.0;
    QTest::newRow("negative") << "-100" << QString::fromUtf16(u"充值金额必须大于零！") << 0.0;
    QTest::newRow("full-width negative") << QString::fromUtf16(u"－１００") << QString::fromUtf16(u"充值金额必须大于零！") << 0.0;
    QTest::newRow("letters") << "abc" << QString::fromUtf16(u"充值金额必须是数字！") << 0.0;
    QTest::newRow("beyond cents") << "100000" << moneyRangeMessage() << 0.0;
}

void TestMemberCards::topUpRefusals()
{
    QFETCH(QString, typed);
    QFETCH(QString, refusal);
    QFETCH(double, amount);
    double parsed = 0.0;
    QCOMPARE(topUpRefusal(typed, parsed), refusal);
    if (refusal.isEmpty())
        QCOMPARE(parsed, amount);
}

void TestMemberCards::negativeFaceValueIsRefused()
{
    StoreFixture store;
    CardEntry entry;
    entry.cardNo = QStringLiteral("A9");
    entry.faceText = QStringLiteral("-50");
    const CardSaveOutcome out = saveCard(store.rs, entry);
    QCOMPARE(out.result, CardSaveOutcome::Refused);
    QCOMPARE(out.errorText, QString::fromUtf16(u"面值不能为负数！"));
    QCOMPARE(queryValue(store.dir.databasePath(), QStringLiteral("select count(*) from 会员表")).toInt(), 0);
}

void TestMemberCards::highestOfferReached_data()
{
    QTest::addColumn<double>("amount");
    QTest::addColumn<double>("bonus");
    QTest::newRow("below every offer") << 99.99 << 0.0;
    QTest::newRow("exactly the threshold") << 100.0 << 20.0;
    QTest::newRow("between two") << 199.99 << 20.0;
    QTest::newRow("the higher") << 200.0 << 50.5;
    QTest::newRow("far above") << 5000.0 << 50.5;
}

void TestMemberCards::highestOfferReached()
{
    QFETCH(double, amount);
    QFETCH(double, bonus);
    // Stored in no order: the threshold decides, not the row.
    QCOMPARE(bonusFor({ { 200, 50.5 }, { 100, 20 } }, amount), bonus);
}

QTEST_GUILESS_MAIN(TestMemberCards)
#include "testmembercards.moc"
