#include "sqltext.h"

#include <QSqlError>

#include <QRegularExpression>

#include <cmath>

QString sqlText(const QString& text)
{
    QString quoted = text;
    quoted.replace(u'\'', QStringLiteral("''"));
    return u'\'' + quoted + u'\'';
}

QString sqlDate(DateTime t)
{
    if (!std::isfinite(t.days) || t.days < -657434.0 || t.days > 2958465.0)
        return QString();
    const DateParts p = splitDate(t);
    return QString::asprintf("%d-%d-%d", p.year, p.month, p.day);
}

QString storedDate(DateTime t)
{
    const DateParts p = splitDate(t);
    return QString::asprintf("%04d-%02d-%02d %02d:%02d:%02d", p.year, p.month, p.day, p.hour, p.minute, p.second);
}

namespace {

// Up to `most` ASCII digits from `at` on; -1 when there is none.
int digitsAt(QStringView text, qsizetype& at, int most)
{
    int value = 0;
    int count = 0;
    for (; at < text.size() && count < most && text[at] >= u'0' && text[at] <= u'9'; ++at, ++count)
        value = value * 10 + (text[at].unicode() - u'0');
    return count > 0 ? value : -1;
}

// ASCII white space only, as a stored date has it.
void skipSpaces(QStringView text, qsizetype& at)
{
    for (; at < text.size(); ++at) {
        const char16_t c = text[at].unicode();
        if (c != u' ' && c != u'\t' && c != u'\n' && c != u'\v' && c != u'\f' && c != u'\r')
            return;
    }
}

// "h:m" or "h:m:s" from `at` on, after one or more spaces or a T.
bool timeAt(QStringView text, qsizetype& at, int& h, int& m, int& sec)
{
    qsizetype i = at;
    if (i >= text.size() || (text[i] != u' ' && text[i] != u'T'))
        return false;
    while (i < text.size() && (text[i] == u' ' || text[i] == u'T'))
        ++i;
    h = digitsAt(text, i, 2);
    if (h < 0 || i >= text.size() || text[i] != u':')
        return false;
    ++i;
    m = digitsAt(text, i, 2);
    if (m < 0)
        return false;
    sec = 0;
    if (i + 1 < text.size() && text[i] == u':' && text[i + 1] >= u'0' && text[i + 1] <= u'9') {
        ++i;
        sec = digitsAt(text, i, 2);
    }
    at = i;
    return true;
}

} // namespace

// Read by hand rather than by a regular expression: the console reads stored dates from its
// first moment, and a report reads one per booking.
DateTime parseStoredDate(const QString& text, bool* ok)
{
    bool good = false;
    DateTime result;
    qsizetype i = 0;
    skipSpaces(text, i);
    const auto separator = [&] {
        if (i >= text.size() || (text[i] != u'-' && text[i] != u'/'))
            return false;
        ++i;
        return true;
    };
    const int y = digitsAt(text, i, 4);
    const int mo = y >= 0 && separator() ? digitsAt(text, i, 2) : -1;
    const int d = mo >= 0 && separator() ? digitsAt(text, i, 2) : -1;
    if (d >= 0) {
        int h = 0, m = 0, sec = 0;
        if (!timeAt(text, i, h, m, sec))
            h = m = sec = 0;
        skipSpaces(text, i);
        const QDate date(y, mo, d);
        const QTime time(h, m, sec);
        if (i == text.size() && date.isValid() && time.isValid()) {
            result = DateTime::fromQDateTime(QDateTime(date, time));
            good = true;
        }
    }
    if (ok)
        *ok = good;
    return result;
}

namespace {

// A grouped join that uses nothing of its first table but the join key, such as the report's
//   SELECT T.k, A.x, B.y FROM (T LEFT JOIN A ON T.k = A.k) LEFT JOIN B ON T.k = B.k
//   WHERE T.k BETWEEN lo AND hi GROUP BY T.k, A.x, B.y
// SQLite joins every row of T in the range and only then groups, so the work grows with the
// bookings instead of the days. Since T is used through k alone and the select list holds only
// the grouped columns, joining the distinct keys of the range gives exactly the same groups;
// the derived table takes T's name, so every qualified name stays valid.
QString joinDistinctKeys(const QString& sql)
{
    static const QString name = QStringLiteral(R"(([^\s,()'"=.]+))");
    static const QString bound = QStringLiteral(R"(('[^']*'|-?[0-9.]+))");
    static const QRegularExpression shape(QStringLiteral(R"(^\s*SELECT\s+%1\.%1\s*,\s*%1\.%1\s*,\s*%1\.%1\s+)"
                                                         R"(FROM\s+\(\s*\1\s+LEFT\s+JOIN\s+\3\s+ON\s+\1\.\2\s*=\s*\3\.\2\s*\)\s+)"
                                                         R"(LEFT\s+JOIN\s+\5\s+ON\s+\1\.\2\s*=\s*\5\.\2\s+)"
                                                         R"(WHERE\s+\1\.\2\s+BETWEEN\s+%2\s+AND\s+%2\s+)"
                                                         R"(GROUP\s+BY\s+\1\.\2\s*,\s*\3\.\4\s*,\s*\5\.\6\s*$)")
                                              .arg(name, bound),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = shape.match(sql);
    if (!m.hasMatch())
        return sql;
    const QString t = m.captured(1), k = m.captured(2), a = m.captured(3), x = m.captured(4);
    const QString b = m.captured(5), y = m.captured(6);
    return QStringLiteral("SELECT %1.%2, %3.%4, %5.%6 FROM ((SELECT DISTINCT %2 FROM %1 WHERE %2 BETWEEN %7 AND %8) AS %1 "
                          "LEFT JOIN %3 ON %1.%2 = %3.%2) LEFT JOIN %5 ON %1.%2 = %5.%2 GROUP BY %1.%2, %3.%4, %5.%6")
        .arg(t, k, a, x, b, y, m.captured(7), m.captured(8));
}

} // namespace

QString translateStatement(const QString& statement)
{
    QString out;
    out.reserve(statement.size() + 16);
    const qsizetype n = statement.size();
    bool quoted = false;
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = statement.at(i);
        if (c == u'\'') {
            quoted = !quoted; // a doubled apostrophe toggles twice
            out += c;
            continue;
        }
        // Access has no "--" comments: 余额--5 subtracts minus five. SQLite would drop the rest.
        if (!quoted && c == u'-' && i + 1 < n && statement.at(i + 1) == u'-') {
            out += QStringLiteral("- ");
            continue;
        }
        if (!quoted && c == u'#') {
            const qsizetype close = statement.indexOf(u'#', i + 1);
            if (close > i) {
                bool ok = false;
                const DateTime d = parseStoredDate(statement.mid(i + 1, close - i - 1), &ok);
                if (ok) {
                    out += sqlText(storedDate(d));
                    i = close;
                    continue;
                }
            }
        }
        out += c;
    }
    return joinDistinctKeys(out);
}

QString serverStatement(const QString& statement)
{
    static const QRegularExpression dropView(QStringLiteral(R"(^\s*drop\s+view\s+(?!if\s))"),
        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression createView(QStringLiteral(R"(^\s*create\s+view\s)"),
        QRegularExpression::CaseInsensitiveOption);
    QString sql = statement;
    if (const QRegularExpressionMatch m = dropView.match(sql); m.hasMatch())
        return sql.insert(m.capturedEnd(), QStringLiteral("if exists "));
    if (const QRegularExpressionMatch m = createView.match(sql); m.hasMatch())
        return sql.replace(m.capturedStart(), m.capturedLength(), QStringLiteral("create temporary view "));
    return sql;
}

QString quoteName(const QString& name)
{
    QString q = name;
    q.replace(u'"', QStringLiteral("\"\""));
    return u'"' + q + u'"';
}

QSqlDatabase namedConnection(const QString& name, const QString& driver)
{
    if (QSqlDatabase::contains(name) && QSqlDatabase::database(name, false).driverName() != driver)
        QSqlDatabase::removeDatabase(name);
    return QSqlDatabase::contains(name) ? QSqlDatabase::database(name, false) : QSqlDatabase::addDatabase(driver, name);
}

QString errorText(const QSqlError& e)
{
    const QString db = e.databaseText().trimmed();
    return db.isEmpty() ? e.text().trimmed() : db;
}
