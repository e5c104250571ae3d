#include "reports/dailydetail.h"
#include "reportsupport.h"

#include <QtTest>

using namespace Qt::StringLiterals;

class TestDailyDetail : public QObject {
    Q_OBJECT
private slots:
    void dayFromText_data();
    void dayFromText();
    void bookingsOfTheDay_data();
    void bookingsOfTheDay();
};

void TestDailyDetail::dayFromText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QDateTime>("read");
    const QDateTime noDate(QDate(100, 1, 1), QTime(0, 0));
    QTest::newRow("as the report writes it") << u"2013年7月5日"_s << QDateTime(QDate(2013, 7, 5), QTime(0, 0));
    QTest::newRow("stored form") << u"2013-7-5 10:00:00"_s << QDateTime(QDate(2013, 7, 5), QTime(10, 0));
    QTest::newRow("Chinese time parts") << u"2013年12月31日23时5分9秒"_s << QDateTime(QDate(2013, 12, 31), QTime(23, 5, 9));
    QTest::newRow("garbage") << u"合计"_s << noDate;
    QTest::newRow("no such day") << u"2013年2月30日"_s << noDate;
    QTest::newRow("no such hour") << u"2013-7-5 24:00"_s << noDate;
    QTest::newRow("text after the day") << u"2013年7月5日号"_s << noDate;
}

void TestDailyDetail::dayFromText()
{
    QFETCH(QString, text);
    QFETCH(QDateTime, read);
    QCOMPARE(::dayFromText(text).toQDateTime(), read);
}

void TestDailyDetail::bookingsOfTheDay_data()
{
    QTest::addColumn<QStringList>("bookings");
    QTest::addColumn<QStringList>("rows");
    QTest::newRow("checkout and two goods")
        << texts({ "4 上机收入 99", "5 上机收入 12.5 3", "5 商品销售 3 3", "5 商品销售 4.5 7", "6 商品销售 1" })
        << texts({ "1|3|上机收入|上机收入|12.50", "2|3|商品销售|可乐|3.00", "3|7|商品销售|可乐|4.50", "|合计|||20.00" });
    QTest::newRow("Null amount adds nothing") << texts({ "5 上机收入 null 2", "5 商品销售 2 4" })
                                              << texts({ "1|2|上机收入|上机收入|0.00", "2|4|商品销售|可乐|2.00", "|合计|||2.00" });
    QTest::newRow("no bookings") << texts({ "4 上机收入 1" }) << texts({ "|合计|||" });
    QStringList seven, rows;
    for (int m = 1; m <= 7; ++m) {
        seven << QStringLiteral("5 上机收入 1 %1").arg(m);
        rows << QStringLiteral("%1|%1|上机收入|上机收入|1.00").arg(m);
    }
    QTest::newRow("seven bookings, nine rows") << seven << (rows << QStringLiteral("|合计|||7.00"));
}

void TestDailyDetail::bookingsOfTheDay()
{
    QFETCH(QStringList, bookings);
    QFETCH(QStringList, rows);
    ReportFixture f;
    QVERIFY(f.book(bookings));
    EGridModel grid;
    setupDetailGrid(grid);
    fillDailyDetail(f.rs, grid, makeDate(2026, 7, 5));
    QCOMPARE(resultRows(grid), rows);
    QVERIFY(allCentred(grid));
    QVERIFY(f.responder.boxes.isEmpty());

    f.db.closeDatabase(); // the store shows the engine's text; the titles stay
    fillDailyDetail(f.rs, grid, makeDate(2026, 7, 5));
    QCOMPARE(f.responder.boxes.size(), 1);
    QCOMPARE(grid.gridRowCount(), 1);
    QCOMPARE(grid.getCell(0, 1), u"机号"_s);
}

QTEST_GUILESS_MAIN(TestDailyDetail)
#include "testdailydetail.moc"
