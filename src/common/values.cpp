#include "values.h"

#include "gbk.h"
#include "seams.h"

#include <QHash>
#include <QVarLengthArray>
#include <algorithm>

#include <charconv>
#include <climits>
#include <cmath>
#include <system_error>

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
            bool valid = false;
            const QString s = fromGbk(QByteArrayView(bytes, 2), &valid);
            if (valid && s.size() == 1)
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

// The texts below are those of printf's "%d", "%.Ng" and "%.Nf", made with to_chars: the tick
// prints a dozen numbers per machine every second, and printf's machinery was half its cost.
QString formatGeneral(double value, int precision)
{
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, precision);
    if (r.ec != std::errc())
        return QString::asprintf("%.*g", precision, value);
    return QString::fromLatin1(buf, int(r.ptr - buf));
}

QString formatFixed(double value, int decimals)
{
    char buf[80];
    const auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, decimals);
    if (r.ec != std::errc())
        return QString::asprintf("%.*f", decimals, value); // more digits than the buffer: very large numbers
    return QString::fromLatin1(buf, int(r.ptr - buf));
}

QString toText(int value)
{
    char buf[16];
    const auto r = std::to_chars(buf, buf + sizeof buf, value);
    return QString::fromLatin1(buf, int(r.ptr - buf));
}

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
    return formatGeneral(v, 6);
}

QString toText(double value) { return formatGeneral(value, 13); }

QString toText(DateTime value) { return timeToText(value, 1); }

double leadingNumber(const QString& text)
{
    int start = 0;
    const int len = scanNumber(text, start);
    if (len == 0)
        return 0.0;
    // The scanned span is ASCII by construction.
    QVarLengthArray<char, 64> ascii(len);
    for (int i = 0; i < len; ++i)
        ascii[i] = char(text.at(start + i).unicode());
    const bool negative = ascii[0] == '-';
    const char* first = ascii.data() + (ascii[0] == '+' || negative ? 1 : 0);
    const char* last = ascii.data() + len;
    // Most texts are short plain decimals: their digits and the power of ten are exact
    // doubles, so one division gives the correctly rounded value without the general parser.
    {
        long long digits = 0;
        int count = 0, fraction = 0;
        bool point = false, plain = true;
        for (const char* c = first; c != last && plain; ++c) {
            if (*c == '.') {
                point = true;
            } else if (*c >= '0' && *c <= '9') {
                // Past fifteen digits the general parser takes over; stop adding before the
                // sum could overflow.
                if (++count <= 15)
                    digits = digits * 10 + (*c - '0');
                fraction += point ? 1 : 0;
            } else {
                plain = false;
            }
        }
        if (plain && count <= 15) {
            static constexpr double kPowers[] = { 1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10, 1e11, 1e12,
                1e13, 1e14, 1e15 };
            const double v = double(digits) / kPowers[fraction];
            return negative ? -v : v;
        }
    }
    first = ascii.data() + (ascii[0] == '+' ? 1 : 0); // from_chars takes a minus sign itself
    double v = 0.0;
    const auto r = std::from_chars(first, last, v);
    if (r.ec == std::errc())
        return v;
    // Out of range: atof gives the huge value or zero, with the sign, by the number's magnitude.
    const char* e = std::find_if(first, last, [](char c) { return c == 'e' || c == 'E'; });
    long long exponent = 0;
    if (e != last) {
        const char* d = e + 1;
        const bool negativeExponent = d != last && *d == '-';
        if (d != last && (*d == '-' || *d == '+'))
            ++d;
        // Saturate: an exponent of any length only decides between zero and infinity.
        for (; d != last; ++d)
            exponent = std::min(exponent * 10 + (*d - '0'), 1000000000LL);
        if (negativeExponent)
            exponent = -exponent;
    }
    const char* point = std::find(first, e, '.');
    long long magnitude = 0;
    bool nonZero = false;
    for (const char* c = first; c != e; ++c) {
        if (*c >= '1' && *c <= '9') {
            magnitude = c < point ? point - c - 1 : point - c;
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
    const QByteArray bytes = toGbk(text);
    if (n >= bytes.size())
        return text;
    return fromGbk(bytes.right(n));
}

DateTime now()
{
    // Taken apart rather than rebuilt: a new local QDateTime asks the time zone files each time,
    // and the tick reads the clock once per timing machine.
    const QDateTime t = seams::clockNow();
    if (!t.isValid())
        return DateTime(0.0);
    const QTime time = t.time();
    const double day = double(t.date().toJulianDay() - kOleEpochJulian);
    const double frac = (time.hour() * 3600 + time.minute() * 60 + time.second()) / 86400.0;
    return DateTime(day >= 0 ? day + frac : day - frac);
}

double timeInterval(DateTime t1, DateTime t2, int unit)
{
    if (unit < 1)
        unit = 1;
    if (unit > 8)
        unit = 8;
    if (t1 == t2)
        return 0.0;
    const double d = t1.days - t2.days;
    switch (unit) {
    case 5:
        return d;
    case 6:
        return std::trunc(d * 24.0 + 5.787037037037037e-6);
    case 7:
        return std::trunc(d * 1440.0 + 5.787037037037037e-6);
    case 8:
        return std::trunc(d * 86400.0 + 5.787037037037037e-6);
    default:
        break;
    }
    const DateParts a = splitDate(t1);
    const DateParts b = splitDate(t2);
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
    default:
        return 0.0; // the units in days were answered above
    }
}

QString timeToText(DateTime t, int part)
{
    part = std::clamp(part, 1, 3);
    const DateParts p = splitDate(t);
    const QString hour = toText(p.hour) + u'时';
    const QString minute = toText(p.minute) + u'分';
    const QString second = toText(p.second) + u'秒';
    if (part == 3)
        return hour + minute + second;
    const QString date = toText(p.year) + u'年' + toText(p.month) + u'月' + toText(p.day) + u'日';
    if (part == 2)
        return date;
    if (p.second != 0)
        return date + hour + minute + second;
    if (p.minute != 0)
        return date + hour + minute;
    if (p.hour != 0)
        return date + hour;
    return date;
}

QString moneyRangeMessage()
{
    return QStringLiteral("金额必须在-99999.99到99999.99之间！");
}

double toCents(double v)
{
    const double cents = std::round(v * 100.0) / 100.0;
    return cents == 0.0 ? 0.0 : cents; // no -0 reaches a text or a hash
}

bool isStorableText(const QString& text)
{
    // A control character (U+0000 above all) reaches the file through bound values and then
    // breaks every statement that names the text; a tab is the one that is typed on purpose.
    for (QChar c : text) {
        if (c.unicode() < 0x20 && c != u'\t')
            return false;
    }
    return QStringView(text).isValidUtf16();
}

QString negativeAmountMessage(const QString& what) { return what + QStringLiteral("不能为负数！"); }

QString unstorableTextMessage()
{
    return QStringLiteral("输入的文字含有无法保存的字符，请重新输入！");
}
