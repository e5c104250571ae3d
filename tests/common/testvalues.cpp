#include "common/gbk.h"
#include "common/seams.h"
#include "common/values.h"
#include "support/testsupport.h"

#include <QRandomGenerator>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QtTest>

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

using namespace Qt::StringLiterals;

class TestValues : public QObject {
    Q_OBJECT
private slots:
    void singlesAndDoublesPrint_data();
    void singlesAndDoublesPrint();
    void textToNumbers_data();
    void textToNumbers();
    void formattingMatchesPrintf();
    void wideFormsFoldExactlyAsGbkRowA3();
    void rightTextCountsGbkBytes_data();
    void rightTextCountsGbkBytes();
    void gbkIsQtsByteForByte_data();
    void gbkIsQtsByteForByte();
    void timeToTextParts_data();
    void timeToTextParts();
    void timeIntervalUnits_data();
    void timeIntervalUnits();
    void dateTimeRoundTripsThroughQDateTime();
    void nowReadsTheTestClockToTheSecond();
    void messageBoxGoesThroughTheResponder();
    void storableTexts_data();
    void storableTexts();
    void centsAreExact_data();
    void centsAreExact();
};

void TestValues::singlesAndDoublesPrint_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("single 4/60") << toText(4.0f / 60) << "0.0666667";
    QTest::newRow("double 4/60") << toText(4.0 / 60) << "0.06666666666667";
    QTest::newRow("single 4") << toText(4.0f) << "4";
    QTest::newRow("single 12.5") << toText(12.5f) << "12.5";
    QTest::newRow("single 4.5") << toText(4.5f) << "4.5";
    QTest::newRow("single 0.1") << toText(0.1f) << "0.1";
    QTest::newRow("single 20.5-8.2") << toText(20.5f - 8.2f) << "12.3";
    QTest::newRow("single big") << toText(1234567.0f) << "1.23457e+06";
    QTest::newRow("single 0") << toText(0.0f) << "0";
    QTest::newRow("double 3") << toText(3.0) << "3";
    QTest::newRow("double 0.1") << toText(0.1) << "0.1";
    QTest::newRow("double shortfall") << toText(double(20.5f) - double(8.2f)) << "12.30000019073";
    QTest::newRow("integer") << toText(-42) << "-42";
    QTest::newRow("date") << toText(makeDate(2013, 7, 5, 10, 0, 0)) << "2013年7月5日10时";
}

void TestValues::singlesAndDoublesPrint()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(text, expected);
}

void TestValues::textToNumbers_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("number");
    QTest::addColumn<int>("integer");
    QTest::newRow("empty") << "" << 0.0 << 0;
    QTest::newRow("letters") << "abc" << 0.0 << 0;
    QTest::newRow("machine label") << "3号" << 3.0 << 3;
    QTest::newRow("decimal") << "12.5" << 12.5 << 12;
    QTest::newRow("blanks and sign") << "  -7.25元" << -7.25 << -7;
    QTest::newRow("exponent") << "1.5e2x" << 150.0 << 1;
    QTest::newRow("dangling exponent") << "2e" << 2.0 << 2;
    QTest::newRow("point first") << ".5" << 0.5 << 0;
    QTest::newRow("lone point") << "." << 0.0 << 0;
    QTest::newRow("no hex") << "0x10" << 0.0 << 0;
    QTest::newRow("no inf") << "inf" << 0.0 << 0;
    QTest::newRow("wide digits") << "４．５" << 4.5 << 4;
    QTest::newRow("wide space and sign") << "　－３" << -3.0 << -3;
    QTest::newRow("huge") << "1e999" << HUGE_VAL << 1;
    QTest::newRow("tiny exponent") << "-1e-999" << -0.0 << -1;
    QTest::newRow("tiny decimal") << QString(QStringLiteral("0.") + QString(400, u'0') + u'1') << 0.0 << 0;
    QTest::newRow("long integer part") << QString(u'1' + QString(400, u'0')) << HUGE_VAL << 2147483647;
    QTest::newRow("integer overflow clamps") << "99999999999" << 99999999999.0 << 2147483647;
    QTest::newRow("twenty-digit negative exponent") << "1e-99999999999999999999" << 0.0 << 1;
    QTest::newRow("twenty-digit positive exponent") << "-2e+99999999999999999999" << -HUGE_VAL << -2;
    QTest::newRow("zero with a huge exponent") << "0e99999999999999999999" << 0.0 << 0;
    QTest::newRow("forty nines") << QString(40, u'9') << 1e40 << 2147483647;
    QTest::newRow("nineteen digits and a fraction") << "1234567890123456789.5" << 1234567890123456789.5 << 2147483647;
    QTest::newRow("sixteen digits") << "1234567890.123456" << 1234567890.123456 << 1234567890;
}

void TestValues::textToNumbers()
{
    QFETCH(QString, text);
    QFETCH(double, number);
    QFETCH(int, integer);
    QCOMPARE(toNumber(text), number);
    QCOMPARE(toInteger(text), integer);
    QCOMPARE(toSingle(text), float(number));
}

// Numbers are printed and read without printf and strtod for speed; they must give the very
// same texts and values, over random singles and doubles and the grid's decimals 0 to 4.
void TestValues::formattingMatchesPrintf()
{
    QRandomGenerator random(20261208);
    auto randomDouble = [&random](int i) {
        switch (i % 4) {
        case 0: { // any bit pattern: huge, tiny, subnormal, infinite, not a number
            const quint64 bits = random.generate64();
            double d;
            std::memcpy(&d, &bits, sizeof d);
            return d;
        }
        case 1: // amounts as the counter sees them
            return std::round((random.generateDouble() * 2.0 - 1.0) * 1e8) / 1000.0;
        case 2: // halves and near-halves, where rounding decides
            return double(random.bounded(-20000, 20000)) / 8.0 + (i % 3 - 1) * 1e-12;
        default:
            return (random.generateDouble() * 2.0 - 1.0) * std::pow(10.0, random.bounded(-12, 13));
        }
    };
    char buf[512];
    for (int i = 0; i < 1000000; ++i) {
        const double d = randomDouble(i);
        const float f = float(d);
        std::snprintf(buf, sizeof buf, "%.13g", d);
        QCOMPARE(toText(d), QString::fromLatin1(buf));
        std::snprintf(buf, sizeof buf, "%.6g", double(f));
        QCOMPARE(formatGeneral(double(f), 6), QString::fromLatin1(buf));
        if (std::isfinite(d) && std::fabs(d) < 1e15) {
            const int decimals = i % 5;
            std::snprintf(buf, sizeof buf, "%.*f", decimals, d);
            QCOMPARE(formatFixed(d, decimals), QString::fromLatin1(buf));
            // Reading back what the grid printed gives the value strtod gives.
            QCOMPARE(toNumber(QString::fromLatin1(buf)), std::strtod(buf, nullptr));
            std::snprintf(buf, sizeof buf, "%.17g", d);
            QCOMPARE(toNumber(QString::fromLatin1(buf)), std::strtod(buf, nullptr));
        }
    }
    std::snprintf(buf, sizeof buf, "%d", INT_MIN);
    QCOMPARE(toText(INT_MIN), QString::fromLatin1(buf));
}

void TestValues::wideFormsFoldExactlyAsGbkRowA3()
{
    // Every character of GBK row 0xA3 folds to the ASCII character of its second byte less 0x80.
    for (int trail = 0xA1; trail <= 0xFE; ++trail) {
        const char bytes[2] = { char(0xA3), char(trail) };
        QStringDecoder gbk("GBK");
        const QString wide = gbk(QByteArray(bytes, 2));
        QCOMPARE(wide.size(), 1);
        QCOMPARE(foldWide(wide), QString(QChar(trail - 0x80)));
    }
    // GBK puts ￥ and ￣ in that row where Unicode's full-width block has $ and ~.
    QCOMPARE(foldWide(QStringLiteral("￥￣")), QStringLiteral("$~"));
    QCOMPARE(foldWide(QStringLiteral("\u3000\uFF5E\u2606\u2605")).toLatin1(), QByteArray(" ~**"));
    // Everything else stays, including Unicode's own full-width dollar (GBK 0xA1E7).
    QCOMPARE(foldWide(QStringLiteral("号机＄、")), QStringLiteral("号机＄、"));
}

void TestValues::rightTextCountsGbkBytes_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("n");
    QTest::addColumn<QString>("expected");
    QTest::newRow("button caption") << "1号机开始" << 4 << "开始";
    QTest::newRow("stop caption") << "12号停止" << 4 << "停止";
    QTest::newRow("ascii") << "abcdef" << 2 << "ef";
    QTest::newRow("zero") << "开始" << 0 << "";
    QTest::newRow("negative") << "开始" << -3 << "";
    QTest::newRow("longer than text") << "1号" << 10 << "1号";
}

void TestValues::rightTextCountsGbkBytes()
{
    QFETCH(QString, text);
    QFETCH(int, n);
    QFETCH(QString, expected);
    QCOMPARE(rightText(text, n), expected);
}

void TestValues::gbkIsQtsByteForByte_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("settings") << u"小时价=4.5"_s << QByteArray("\xD0\xA1\xCA\xB1\xBC\xDB=4.5");
    QTest::newRow("empty") << QString() << QByteArray();
    QTest::newRow("euro at 0x80") << u"a€b"_s << QByteArray("a\x80" "b");
    QTest::newRow("user-defined area") << u"\uE000"_s << QByteArray("\xAA\xA1");
    QTest::newRow("not in GBK") << u"x😀y"_s << QByteArray("x\x80\x20y");
    QTest::newRow("lone surrogate") << QString(QChar(0xD800)) << QByteArray("\xFF");
    QTest::newRow("cut lead byte") << u"开"_s << QByteArray("\xBF");
}

void TestValues::gbkIsQtsByteForByte()
{
    // Both ways exactly Qt's converter, whichever library did the work.
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QStringEncoder encoder("GBK");
    QCOMPARE(toGbk(text), QByteArray(encoder(text)));
    QStringDecoder decoder("GBK");
    const QString decoded = decoder(bytes);
    bool valid = false;
    QCOMPARE(fromGbk(bytes, &valid), decoded);
    QCOMPARE(valid, !decoder.hasError());
}

void TestValues::timeToTextParts_data()
{
    QTest::addColumn<double>("days");
    QTest::addColumn<int>("part");
    QTest::addColumn<QString>("expected");
    const double ten = makeDate(2013, 7, 5, 10, 0, 0).days;
    const double midnight = makeDate(2013, 7, 5).days;
    const double odd = makeDate(2013, 7, 5, 9, 5, 7).days;
    QTest::newRow("time at ten") << ten << 3 << "10时0分0秒";
    QTest::newRow("time at midnight") << midnight << 3 << "0时0分0秒";
    QTest::newRow("time no leading zeros") << odd << 3 << "9时5分7秒";
    QTest::newRow("date only") << odd << 2 << "2013年7月5日";
    QTest::newRow("full drops zero parts") << ten << 1 << "2013年7月5日10时";
    QTest::newRow("full at midnight") << midnight << 1 << "2013年7月5日";
    QTest::newRow("full with minutes") << makeDate(2013, 7, 5, 10, 30, 0).days << 1 << "2013年7月5日10时30分";
    QTest::newRow("full with seconds") << odd << 1 << "2013年7月5日9时5分7秒";
    QTest::newRow("part clamped high") << odd << 9 << "9时5分7秒";
    QTest::newRow("part clamped low") << ten << 0 << "2013年7月5日10时";
    QTest::newRow("beyond range clamps") << 1e12 << 2 << "9999年12月31日";
}

void TestValues::timeToTextParts()
{
    QFETCH(double, days);
    QFETCH(int, part);
    QFETCH(QString, expected);
    QCOMPARE(timeToText(DateTime(days), part), expected);
}

void TestValues::timeIntervalUnits_data()
{
    QTest::addColumn<QDateTime>("later");
    QTest::addColumn<QDateTime>("earlier");
    QTest::addColumn<int>("unit");
    QTest::addColumn<double>("expected");
    const QDateTime start(QDate(2026, 12, 7), QTime(10, 0, 30));
    QTest::newRow("equal minutes") << start << start << 7 << 0.0;
    QTest::newRow("59.999 s is 0 minutes") << start.addMSecs(59999) << start << 7 << 0.0;
    QTest::newRow("60 s is 1 minute") << start.addSecs(60) << start << 7 << 1.0;
    QTest::newRow("149 minutes") << start.addSecs(149 * 60) << start << 7 << 149.0;
    QTest::newRow("clock set back") << start.addSecs(-90) << start << 7 << -1.0;
    QTest::newRow("seconds") << start.addSecs(61) << start << 8 << 61.0;
    QTest::newRow("hours") << start.addSecs(3 * 3600 - 1) << start << 6 << 2.0;
    QTest::newRow("years") << QDateTime(QDate(2027, 1, 1), QTime()) << start << 1 << 1.0;
    QTest::newRow("quarters") << QDateTime(QDate(2027, 4, 1), QTime()) << start << 2 << 2.0;
    QTest::newRow("months") << QDateTime(QDate(2027, 2, 1), QTime()) << start << 3 << 2.0;
    QTest::newRow("weeks cross a sunday") << QDateTime(QDate(2026, 12, 13), QTime()) << start << 4 << 1.0;
    QTest::newRow("weeks same week") << QDateTime(QDate(2026, 12, 12), QTime()) << start << 4 << 0.0;
    QTest::newRow("unit below range is years") << QDateTime(QDate(2028, 1, 1), QTime()) << start << -3 << 2.0;
    QTest::newRow("unit above range is seconds") << start.addSecs(5) << start << 12 << 5.0;
}

void TestValues::timeIntervalUnits()
{
    QFETCH(QDateTime, later);
    QFETCH(QDateTime, earlier);
    QFETCH(int, unit);
    QFETCH(double, expected);
    QCOMPARE(timeInterval(DateTime::fromQDateTime(later), DateTime::fromQDateTime(earlier), unit), expected);
}

void TestValues::dateTimeRoundTripsThroughQDateTime()
{
    QCOMPARE(DateTime::fromQDateTime(QDateTime(QDate(1899, 12, 30), QTime(0, 0))).days, 0.0);
    QCOMPARE(DateTime::fromQDateTime(QDateTime(QDate(1900, 1, 1), QTime(6, 0))).days, 2.25);
    QCOMPARE(DateTime::fromQDateTime(QDateTime(QDate(1899, 12, 29), QTime(6, 0))).days, -1.25);
    const QDateTime t(QDate(2026, 12, 7), QTime(23, 59, 59));
    QCOMPARE(DateTime::fromQDateTime(t).toQDateTime(), t);
    QCOMPARE(DateTime(-1.25).toQDateTime(), QDateTime(QDate(1899, 12, 29), QTime(6, 0)));
}

void TestValues::nowReadsTheTestClockToTheSecond()
{
    TestClock clock(QDateTime(QDate(2026, 12, 7), QTime(14, 5, 9, 750)));
    QCOMPARE(timeToText(now(), 3), QStringLiteral("14时5分9秒"));
    QCOMPARE(now().toQDateTime(), QDateTime(QDate(2026, 12, 7), QTime(14, 5, 9)));
    clock.advance(60);
    QCOMPARE(timeToText(now(), 3), QStringLiteral("14时6分9秒"));
}

void TestValues::messageBoxGoesThroughTheResponder()
{
    ScriptedResponder responder;
    responder.answerNext(AnswerYes);
    QCOMPARE(messageBox(QStringLiteral("删除吗？"), 0x24, QStringLiteral("确认")), int(AnswerYes));
    QCOMPARE(messageBox(QStringLiteral("好")), int(AnswerOk));
    beep();
    QCOMPARE(responder.boxes.size(), 2);
    QCOMPARE(responder.boxes[0].style, 0x24);
    QCOMPARE(responder.boxes[0].title, QStringLiteral("确认"));
    QCOMPARE(responder.boxes[1].title, QStringLiteral("信息："));
    QCOMPARE(responder.beeps, 1);
}

void TestValues::storableTexts_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("storable");
    QTest::newRow("plain") << QString::fromUtf16(u"可乐 大瓶") << true;
    QTest::newRow("a tab") << QStringLiteral("a\tb") << true;
    QTest::newRow("U+0000") << QString(QChar(0)) + QStringLiteral("x") << false;
    QTest::newRow("a line feed") << QStringLiteral("a\nb") << false;
    QTest::newRow("escape") << QStringLiteral("a\x1b") << false;
    QTest::newRow("half a surrogate pair") << QString(QChar(0xD83D)) << false;
}

void TestValues::storableTexts()
{
    QFETCH(QString, text);
    QFETCH(bool, storable);
    QCOMPARE(isStorableText(text), storable);
}

void TestValues::centsAreExact_data()
{
    QTest::addColumn<double>("amount");
    QTest::addColumn<QString>("booked"); // as "%.17g" would show any residue
    QTest::newRow("typed") << toNumber(QStringLiteral("1234.56")) << "1234.56";
    QTest::newRow("through a single") << double(toSingle(QStringLiteral("99999.99"))) << "99999.99";
    QTest::newRow("a sum a double misses") << 0.1 + 0.2 << "0.3";
    QTest::newRow("minus zero") << -0.001 << "0";
}

void TestValues::centsAreExact()
{
    QFETCH(double, amount);
    QFETCH(QString, booked);
    QCOMPARE(toCents(amount), booked.toDouble());
    QCOMPARE(formatGeneral(toCents(amount), 17), formatGeneral(booked.toDouble(), 17));
}

QTEST_GUILESS_MAIN(TestValues)
#include "testvalues.moc"
