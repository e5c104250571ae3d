#include "values.h"

#include "seams.h"

#include <QHash>
#include <algorithm>
#include <QStringDecoder>
#include <QStringEncoder>

#include <climits>
#include <cmath>

namespace {

constexpr double kMinOle = -657434.0;
constexpr double kMaxOle = 2958465.0;
const qint64 kOleEpochJulian = QDate(1899, 12, 30).toJulianDay();

bool isBlank(QChar c)
{
    const char16_t u = c.unicode();
    return u == ' ' || u == '\t' || u == '\n' || u == '\v' || u == '\f' || u == '\r';
}

bool isDigit(QChar c) { return c.unicode() >= '0' && c.unicode() <= '9'; }

// The GBK pairs that fold to ASCII, decoded once through the real GBK tables so that the
// few places where GBK's row 0xA3 differs from Unicode's full-width block (￥ at 0xA3A4,
// ￣ at 0xA3FE) fold exactly as the byte rule says.
const QHash<char16_t, char16_t>& foldTable()
{
    static const QHash<char16_t, char16_t> table = [] {
        QHash<char16_t, char16_t> t;
        auto add = [&t](unsigned char lead, unsigned char trail, char ascii) {
            const char bytes[2] = { char(lead), char(trail) };
            QStringDecoder gbk("GBK");
            const QString s = gbk(QByteArray(bytes, 2));
            if (!gbk.hasError() && s.size() == 1)
                t.insert(s.at(0).unicode(), char16_t(ascii));
        };
        for (int trail = 0xA1; trail <= 0xFE; ++trail)
            add(0xA3, (unsigned char)trail, char(trail - 0x80));
        add(0xA1, 0xA1, ' ');
        add(0xA1, 0xAB, '~');
        add(0xA1, 0xEE, '*');
        add(0xA1, 0xEF, '*');
        return t;
    }();
    return table;
}

bool isAscii(const QString& text)
{
    for (QChar c : text) {
        if (c.unicode() >= 0x80)
            return false;
    }
    return true;
}

// Length of the longest leading decimal number (atof's grammar without hex, inf and nan).
int scanNumber(const QString& s, int& start)
{
    int i = 0;
    const int n = s.size();
    while (i < n && isBlank(s.at(i)))
        ++i;
    start = i;
    if (i < n && (s.at(i) == u'+' || s.at(i) == u'-'))
        ++i;
    int digits = 0;
    while (i < n && isDigit(s.at(i))) {
        ++i;
        ++digits;
    }
    if (i < n && s.at(i) == u'.') {
        ++i;
        while (i < n && isDigit(s.at(i))) {
            ++i;
            ++digits;
        }
    }
    if (digits == 0)
        return 0;
    if (i < n && (s.at(i) == u'e' || s.at(i) == u'E')) {
        int j = i + 1;
        if (j < n && (s.at(j) == u'+' || s.at(j) == u'-'))
            ++j;
        if (j < n && isDigit(s.at(j))) {
            while (j < n && isDigit(s.at(j)))
                ++j;
            i = j;
        }
    }
    return i - start;
}

} // namespace

DateTime DateTime::fromQDateTime(const QDateTime& dt)
{
    if (!dt.isValid())
        return DateTime(0.0);
    const double day = double(dt.date().toJulianDay() - kOleEpochJulian);
    const double frac = dt.time().msecsSinceStartOfDay() / 86400000.0;
    return DateTime(day >= 0 ? day + frac : day - frac);
}

QDateTime DateTime::toQDateTime() const
{
    const DateParts p = splitDate(*this);
    return QDateTime(QDate(p.year, p.month, p.day), QTime(p.hour, p.minute, p.second));
}

DateParts splitDate(DateTime t)
{
    double v = t.days;
    if (std::isnan(v))
        v = 0.0;
    v = std::clamp(v, kMinOle, kMaxOle);
    double whole = std::trunc(v);
    qint64 secs = std::llround(std::fabs(v - whole) * 86400.0);
    if (secs >= 86400) {
        secs -= 86400;
        whole += 1.0;
    }
    const QDate date = QDate::fromJulianDay(kOleEpochJulian + qint64(whole));
    DateParts p;
    p.year = date.year();
    p.month = date.month();
    p.day = date.day();
    p.hour = int(secs / 3600);
    p.minute = int(secs / 60 % 60);
    p.second = int(secs % 60);
    p.dayOfWeek = date.dayOfWeek() % 7;
    return p;
}

DateTime makeDate(int year, int month, int day, int hour, int minute, int second)
{
    return DateTime::fromQDateTime(QDateTime(QDate(year, month, day), QTime(hour, minute, second)));
}

QString toText(int value) { return QString::asprintf("%d", value); }

QString toText(float value)
{
    double v = value;
    if (v != 0.0 && std::isfinite(v)) {
        const int e = int(std::floor(std::log10(std::fabs(v))));
        const double scale = std::pow(10.0, 5 - e);
        const double r = std::round(v * scale) / scale;
        if (std::isfinite(r))
            v = r;
    }
    return QString::asprintf("%.6g", v);
}

QString toText(double value) { return QString::asprintf("%.13g", value); }

QString toText(DateTime value) { return timeToText(value, 1); }

double leadingNumber(const QString& text)
{
    int start = 0;
    const int len = scanNumber(text, start);
    if (len == 0)
        return 0.0;
    const QByteArray ascii = text.mid(start, len).toLatin1();
    bool ok = false;
    const double v = ascii.toDouble(&ok);
    if (ok)
        return v;
    // Out of range: atof gives the huge value or zero, with the sign, by the number's magnitude.
    const bool negative = ascii.startsWith('-');
    QByteArray mantissa = ascii;
    long long exponent = 0;
    const qsizetype e = ascii.toLower().indexOf('e');
    if (e >= 0) {
        mantissa = ascii.left(e);
        exponent = std::clamp(ascii.mid(e + 1).toLongLong(), -100000LL, 100000LL);
    }
    const qsizetype point = mantissa.contains('.') ? mantissa.indexOf('.') : mantissa.size();
    long long magnitude = 0;
    bool nonZero = false;
    for (qsizetype i = 0; i < mantissa.size(); ++i) {
        if (mantissa.at(i) >= '1' && mantissa.at(i) <= '9') {
            magnitude = i < point ? point - i - 1 : point - i;
            nonZero = true;
            break;
        }
    }
    if (!nonZero || magnitude + exponent < 0)
        return negative ? -0.0 : 0.0;
    return negative ? -HUGE_VAL : HUGE_VAL;
}

QString foldWide(const QString& text)
{
    if (isAscii(text))
        return text;
    const auto& table = foldTable();
    QString out = text;
    for (QChar& c : out) {
        const auto it = table.constFind(c.unicode());
        if (it != table.constEnd())
            c = QChar(*it);
    }
    return out;
}

double toNumber(const QString& text) { return leadingNumber(foldWide(text)); }

int toInteger(const QString& text)
{
    const QString s = foldWide(text);
    int i = 0;
    const int n = s.size();
    while (i < n && isBlank(s.at(i)))
        ++i;
    bool negative = false;
    if (i < n && (s.at(i) == u'+' || s.at(i) == u'-')) {
        negative = s.at(i) == u'-';
        ++i;
    }
    long long v = 0;
    while (i < n && isDigit(s.at(i))) {
        if (v <= INT_MAX + 1LL)
            v = v * 10 + (s.at(i).unicode() - '0');
        ++i;
    }
    if (negative)
        v = -v;
    return int(std::clamp<long long>(v, INT_MIN, INT_MAX));
}

int toInteger(double value)
{
    if (std::isnan(value))
        return 0;
    return int(std::clamp(std::trunc(value), double(INT_MIN), double(INT_MAX)));
}

float toSingle(const QString& text) { return float(toNumber(text)); }

QString rightText(const QString& text, int n)
{
    if (n <= 0)
        return QString();
    QStringEncoder toGbk("GBK");
    const QByteArray bytes = toGbk(text);
    if (n >= bytes.size())
        return text;
    QStringDecoder fromGbk("GBK");
    return fromGbk(bytes.right(n));
}

DateTime now()
{
    QDateTime t = seams::clockNow();
    t.setTime(QTime(t.time().hour(), t.time().minute(), t.time().second()));
    return DateTime::fromQDateTime(t);
}

double timeInterval(DateTime t1, DateTime t2, int unit)
{
    if (unit < 1)
        unit = 1;
    if (unit > 8)
        unit = 8;
    if (t1 == t2)
        return 0.0;
    const DateParts a = splitDate(t1);
    const DateParts b = splitDate(t2);
    const double d = t1.days - t2.days;
    switch (unit) {
    case 1:
        return a.year - b.year;
    case 2:
        return (a.year - b.year) * 4 + (a.month - 1) / 3 - (b.month - 1) / 3;
    case 3:
        return (a.year - b.year) * 12 + a.month - b.month;
    case 4: {
        // Weeks are counted as Sundays crossed: the start of each date's week, apart.
        const qint64 ja = QDate(a.year, a.month, a.day).toJulianDay() - a.dayOfWeek;
        const qint64 jb = QDate(b.year, b.month, b.day).toJulianDay() - b.dayOfWeek;
        return double((ja - jb) / 7);
    }
    case 5:
        return d;
    case 6:
        return std::trunc(d * 24.0 + 5.787037037037037e-6);
    case 7:
        return std::trunc(d * 1440.0 + 5.787037037037037e-6);
    default:
        return std::trunc(d * 86400.0 + 5.787037037037037e-6);
    }
}

QString timeToText(DateTime t, int part)
{
    part = std::clamp(part, 1, 3);
    const DateParts p = splitDate(t);
    const QString date = QString::asprintf("%d年%d月%d日", p.year, p.month, p.day);
    if (part == 2)
        return date;
    if (part == 3)
        return QString::asprintf("%d时%d分%d秒", p.hour, p.minute, p.second);
    if (p.second != 0)
        return date + QString::asprintf("%d时%d分%d秒", p.hour, p.minute, p.second);
    if (p.minute != 0)
        return date + QString::asprintf("%d时%d分", p.hour, p.minute);
    if (p.hour != 0)
        return date + QString::asprintf("%d时", p.hour);
    return date;
}
