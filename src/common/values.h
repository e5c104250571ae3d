#pragma once

#include <QDateTime>
#include <QString>

// A moment as the rest of the program counts it: days since 1899-12-30 00:00:00
// local time, the fraction being the time of day (the OLE automation date).
struct DateTime {
    double days = 0.0;

    DateTime() = default;
    explicit constexpr DateTime(double d) : days(d) { }

    static DateTime fromQDateTime(const QDateTime& dt);
    QDateTime toQDateTime() const;
    bool operator==(const DateTime& o) const { return days == o.days; }
    bool operator!=(const DateTime& o) const { return days != o.days; }
};

// Broken-down form of a DateTime after clamping to the valid range and rounding to the second.
struct DateParts {
    int year = 1899, month = 12, day = 30;
    int hour = 0, minute = 0, second = 0;
    int dayOfWeek = 6; // 0 = Sunday
};
DateParts splitDate(DateTime t);
DateTime makeDate(int year, int month, int day, int hour = 0, int minute = 0, int second = 0);

QString toText(int value);
QString toText(float value);
QString toText(double value);
QString toText(DateTime value);

// printf's "%.<precision>g" and "%.<decimals>f" of a double, byte for byte.
QString formatGeneral(double value, int precision);
QString formatFixed(double value, int decimals);

double toNumber(const QString& text);
int toInteger(const QString& text);
int toInteger(double value);
float toSingle(const QString& text);

// The leading decimal number of a text as atof reads it, without folding wide characters.
double leadingNumber(const QString& text);

// Full-width forms of ASCII, as the GBK code page has them, turned into ASCII.
QString foldWide(const QString& text);

// The last n bytes of the text in its GBK form.
QString rightText(const QString& text, int n);

DateTime now();

double timeInterval(DateTime t1, DateTime t2, int unit);
QString timeToText(DateTime t, int part = 1);

// Whether a single-precision amount counts as non-zero.
inline bool isNonZero(double v) { return v > 0.0000001 || v < -0.0000001; }

// Amounts are kept in single precision, which carries every cent only up to about a hundred
// thousand: every amount the operator types or the program computes stays within this limit.
// Half a cent is allowed over it, so that the single nearest to 99999.99 still passes.
constexpr double kMoneyLimit = 99999.99;
inline bool isMoneyInRange(double v) { return v >= -(kMoneyLimit + 0.005) && v <= kMoneyLimit + 0.005; }
// The amount of a text, when it is one the program can carry (empty text is 0).
inline bool isMoneyText(const QString& text) { return isMoneyInRange(toNumber(text)); }
// An amount as money is booked: rounded to the cent, so that one typed with two decimals is
// booked, debited and chained exactly as typed.
double toCents(double v);
// What the operator is told when a typed amount is too large.
QString moneyRangeMessage();
// What the operator is told when an amount that only means something positive is negative.
QString negativeAmountMessage(const QString& what);

// Text a statement can carry: no unpaired surrogate, such as pasted text cut in half leaves.
bool isStorableText(const QString& text);
QString unstorableTextMessage();
