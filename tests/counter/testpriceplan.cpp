#include "counter/plantext.h"
#include "counter/priceplan.h"
#include "support/testsupport.h"

#include <QtTest>

namespace {

QString s(const char16_t* t) { return QString::fromUtf16(t); }
QStringList fields(const char16_t* t) { return s(t).split(u'|'); }

} // namespace

class TestPricePlan : public QObject {
    Q_OBJECT
private slots:
    void bills_data();
    void bills();
    void aFractionOfACentIsRoundedOnce();
    void refusals_data();
    void refusals();
    void storedTextsReadBack_data();
    void storedTextsReadBack();
    void planAndPackagesReadBackAsWritten();
    void whatAPackageCovers_data();
    void whatAPackageCovers();
};

void TestPricePlan::bills_data()
{
    QTest::addColumn<QString>("start");
    QTest::addColumn<int>("minutes");
    QTest::addColumn<int>("packageFrom"); // minutes from the start that 包夜 covers; -1: none
    QTest::addColumn<int>("packageTo");
    QTest::addColumn<bool>("byCard");
    QTest::addColumn<qint64>("total");
    // Seven units: four start before 18:00 (4 × 1.25), three after (3 × 1.50).
    QTest::newRow("the worked example") << "17:10" << 102 << -1 << -1 << false << qint64(950);
    QTest::newRow("by card, 8.5 折") << "17:10" << 102 << -1 << -1 << true << qint64(808); // 807.5 half up
    // A unit is priced whole at the band it starts in.
    QTest::newRow("a boundary inside a unit") << "17:50" << 30 << -1 << -1 << false << qint64(125 + 150);
    QTest::newRow("across midnight") << "23:50" << 20 << -1 << -1 << false << qint64(200);
    // 22:00–23:00 four units at ¥6; then 36 at ¥4, ¥36 held at the cap of ¥24.
    QTest::newRow("the cap") << "22:00" << 600 << -1 << -1 << false << qint64(600 + 2400);
    QTest::newRow("within the grace") << "09:00" << 3 << -1 << -1 << false << qint64(0);
    QTest::newRow("one minute past it: the minimum") << "09:00" << 4 << -1 << -1 << false << qint64(250);
    QTest::newRow("the minimum") << "09:00" << 20 << -1 << -1 << false << qint64(250);
    QTest::newRow("past the minimum") << "09:00" << 31 << -1 << -1 << false << qint64(375);
    // From 21:00, 包夜 bought at 21:30 covers 22:00–08:00; stopped at 09:00. Metered: 21:00–22:00
    // at ¥6 (6.00) and 08:00–09:00 at ¥5 (5.00); the package's ¥30 is no part of the discount.
    QTest::newRow("a window package, before and after") << "21:00" << 720 << 60 << 660 << false << qint64(1100 + 3000);
    QTest::newRow("the same by card") << "21:00" << 720 << 60 << 660 << true << qint64(935 + 3000);
    // With a package no minimum: ten minutes before it are one unit.
    QTest::newRow("a package and the minimum") << "21:00" << 62 << 10 << 660 << false << qint64(150 + 3000);
}

void TestPricePlan::bills()
{
    QFETCH(QString, start);
    QFETCH(int, minutes);
    QFETCH(int, packageFrom);
    QFETCH(int, packageTo);
    QFETCH(bool, byCard);
    QFETCH(qint64, total);
    PricePlan plan;
    QCOMPARE(planRefusal(examplePricePlan(), plan), QString());
    QVector<CoveredStretch> covered;
    if (packageFrom >= 0)
        covered.append({ packageFrom, packageTo, 3000, s(u"包夜") });
    const PlanBill bill = billOf(plan, parseClock(start), minutes, covered, byCard);
    QCOMPARE(bill.totalCents, total);
    qint64 lines = 0;
    for (const BillLine& line : bill.lines)
        lines += line.sixtiethCents;
    // The lines explain the bill: their exact sum rounds to it.
    QCOMPARE((lines + 30) / 60, bill.totalCents);
}

void TestPricePlan::aFractionOfACentIsRoundedOnce()
{
    // ¥4.50 an hour in units of 7 minutes: 52.5 cents a unit, three units 157.5, rounded once.
    TypedPlan t;
    t.bands = { { QStringLiteral("00:00"), QStringLiteral("00:00"), QStringLiteral("4.50"), QString() } };
    t.unit = QStringLiteral("7");
    t.minimum = QStringLiteral("0");
    t.grace = QStringLiteral("0");
    t.discount = QStringLiteral("10");
    PricePlan plan;
    QCOMPARE(planRefusal(t, plan), QString());
    QCOMPARE(billOf(plan, 600, 7, {}, false).totalCents, qint64(53));
    QCOMPARE(billOf(plan, 600, 21, {}, false).totalCents, qint64(158));
    QCOMPARE(billOf(plan, 600, 21, {}, true).totalCents, qint64(158)); // 10 折: no discount
}

void TestPricePlan::refusals_data()
{
    QTest::addColumn<int>("band"); // the band changed, -1: the settings
    QTest::addColumn<QStringList>("row"); // the band's 开始, 结束, 每小时, 封顶; or unit, minimum, grace, discount
    QTest::addColumn<QString>("refusal");
    const QString day = s(u"时段必须连续覆盖全天，且不能重叠！");
    const QString clock = s(u"时间必须写成HH:MM，例如08:00！");
    QTest::newRow("a gap") << 2 << fields(u"23:30|08:00|4|") << day;
    QTest::newRow("an overlap") << 2 << fields(u"17:00|08:00|4|") << day;
    QTest::newRow("no leading zero") << 0 << fields(u"8:00|18:00|5|") << clock;
    QTest::newRow("no such hour") << 0 << fields(u"08:00|24:30|5|") << clock;
    QTest::newRow("midnight as 24:00") << 1 << fields(u"18:00|24:00|6|") << day; // read as a time: 23:00–24:00 twice
    QTest::newRow("three decimals") << 0 << fields(u"08:00|18:00|5.001|") << s(u"金额必须在0到99999.99之间，最多两位小数！");
    QTest::newRow("a cap of nothing") << 0 << fields(u"08:00|18:00|5|0") << s(u"金额必须在0到99999.99之间，最多两位小数！");
    QTest::newRow("no unit") << -1 << fields(u"0|30|3|8.5") << s(u"计费单位必须在1到60分钟之间！");
    QTest::newRow("a minimum of eleven hours") << -1 << fields(u"15|601|3|8.5") << s(u"起步分钟必须在0到600之间！");
    QTest::newRow("grace past an hour") << -1 << fields(u"15|30|61|8.5") << s(u"免费分钟必须在0到60之间！");
    QTest::newRow("more than 10 折") << -1 << fields(u"15|30|3|10.5") << s(u"会员折扣必须在1到10折之间！");
    QTest::newRow("less than 1 折") << -1 << fields(u"15|30|3|0.5") << s(u"会员折扣必须在1到10折之间！");
    QTest::newRow("full-width, as typed") << -1 << fields(u"１５|30|3|8.5") << QString();
}

void TestPricePlan::refusals()
{
    QFETCH(int, band);
    QFETCH(QStringList, row);
    QFETCH(QString, refusal);
    TypedPlan t = examplePricePlan();
    if (band >= 0) {
        t.bands[band] = row;
    } else {
        t.unit = row[0];
        t.minimum = row[1];
        t.grace = row[2];
        t.discount = row[3];
    }
    PricePlan plan;
    QCOMPARE(planRefusal(t, plan), refusal);
    // A package with both a window and a duration, or neither, is refused the same way.
    t = examplePricePlan();
    t.packages[1][1] = QStringLiteral("22:00");
    QVERIFY(planRefusal(t, plan).contains(s(u"二者只能有一个")));
    t.packages[1] = QStringList { s(u"空"), QString(), QString(), QString(), QStringLiteral("1") };
    QVERIFY(planRefusal(t, plan).contains(s(u"二者只能有一个")));
    t.packages[1] = t.packages[0];
    QCOMPARE(planRefusal(t, plan), s(u"套餐名称不能重复！"));
}

void TestPricePlan::storedTextsReadBack_data()
{
    QTest::addColumn<QString>("packages"); // as the usage row holds them
    QTest::addColumn<bool>("read");
    QTest::newRow("none") << QString() << true;
    QTest::newRow("not JSON") << s(u"包夜") << false;
    QTest::newRow("a negative price") << s(u"[{\"名称\":\"包夜\",\"开始\":1320,\"结束\":480,\"时长\":0,\"价格\":-1,\"售出\":46000}]") << false;
    QTest::newRow("a window of no length") << s(u"[{\"名称\":\"包夜\",\"开始\":480,\"结束\":480,\"时长\":0,\"价格\":3000,\"售出\":46000}]") << false;
    QTest::newRow("a duration of none") << s(u"[{\"名称\":\"3小时\",\"开始\":-1,\"结束\":-1,\"时长\":0,\"价格\":1200,\"售出\":46000}]") << false;
    QTest::newRow("a fraction of a cent") << s(u"[{\"名称\":\"3小时\",\"开始\":-1,\"结束\":-1,\"时长\":180,\"价格\":1200.5,\"售出\":46000}]") << false;
}

void TestPricePlan::storedTextsReadBack()
{
    QFETCH(QString, packages);
    QFETCH(bool, read);
    QVector<SoldPackage> sold { { PlanPackage(), DateTime(1.0) } };
    QCOMPARE(soldPackagesOf(packages, sold), read);
    QVERIFY(sold.isEmpty()); // refused whole: nothing half read prices a bill
}

void TestPricePlan::planAndPackagesReadBackAsWritten()
{
    QVector<SoldPackage> sold;
    PricePlan plan;
    QVERIFY(planRefusal(examplePricePlan(), plan).isEmpty());
    PricePlan again;
    QVERIFY(planRefusal(typedPlanOf(typedPlanText(typedOf(plan))), again).isEmpty());
    QCOMPARE(describePlan(again), describePlan(plan));
    const QVector<SoldPackage> written { { plan.packages[0], DateTime(46000.9) }, { plan.packages[1], DateTime(46001.1) } };
    QVERIFY(soldPackagesOf(soldPackagesText(written), sold));
    QCOMPARE(soldPackagesText(sold), soldPackagesText(written));
}

void TestPricePlan::whatAPackageCovers_data()
{
    QTest::addColumn<QString>("sold"); // the usage started at 20:00
    QTest::addColumn<int>("package"); // 0: 包夜 22:00–08:00, 1: 3 hours
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("to");
    QTest::newRow("before its window: from its start") << "21:30" << 0 << 120 << 720;
    QTest::newRow("inside it: from the sale") << "23:15" << 0 << 195 << 720;
    QTest::newRow("after midnight") << "01:00" << 0 << 300 << 720;
    QTest::newRow("the window over: the next one") << "09:00" << 0 << 1560 << 2160;
    QTest::newRow("a duration from the sale") << "21:30" << 1 << 90 << 270;
}

void TestPricePlan::whatAPackageCovers()
{
    QFETCH(QString, sold);
    QFETCH(int, package);
    QFETCH(int, from);
    QFETCH(int, to);
    PricePlan plan;
    QCOMPARE(planRefusal(examplePricePlan(), plan), QString());
    const QDateTime start(QDate(2026, 12, 9), QTime(20, 0));
    const QTime at = QTime::fromString(sold, QStringLiteral("hh:mm"));
    const QDateTime soldAt(at < QTime(20, 0) ? start.date().addDays(1) : start.date(), at);
    const CoveredStretch c = coveredBy(plan.packages[package], start, soldAt);
    QCOMPARE(c.from, from);
    QCOMPARE(c.to, to);
    QCOMPARE(c.priceCents, package == 0 ? qint64(3000) : qint64(1200));
}

QTEST_GUILESS_MAIN(TestPricePlan)
#include "testpriceplan.moc"
