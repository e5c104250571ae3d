#include "sqltext.h"

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

DateTime parseStoredDate(const QString& text, bool* ok)
{
    static const QRegularExpression re(QStringLiteral(
        R"(^\s*(\d{1,4})[-/](\d{1,2})[-/](\d{1,2})(?:[ T]+(\d{1,2}):(\d{1,2})(?::(\d{1,2}))?)?\s*$)"));
    const QRegularExpressionMatch m = re.match(text);
    bool good = false;
    DateTime result;
    if (m.hasMatch()) {
        const QDate d(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
        const QTime tm(m.captured(4).toInt(), m.captured(5).toInt(), m.captured(6).toInt());
        if (d.isValid() && tm.isValid()) {
            result = DateTime::fromQDateTime(QDateTime(d, tm));
            good = true;
        }
    }
    if (ok)
        *ok = good;
    return result;
}

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
    return out;
}
