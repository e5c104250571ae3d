#include "csv.h"

#include <cmath>

#include <QSaveFile>

namespace {

QByteArray field(const QString& text)
{
    QByteArray bytes = text.toUtf8();
    // A name a spreadsheet would take for a formula (=, +, @, a minus that starts no number, a
    // leading tab or carriage return) is kept as text.
    if (!bytes.isEmpty()) {
        const char first = bytes[0];
        bool number = false;
        if (first == '-')
            bytes.mid(1).toDouble(&number);
        if (first == '=' || first == '+' || first == '@' || first == '\t' || first == '\r' || (first == '-' && !number))
            bytes.prepend('\'');
    }
    if (bytes.contains(',') || bytes.contains('"') || bytes.contains('\n') || bytes.contains('\r')) {
        bytes.replace('"', "\"\"");
        bytes = '"' + bytes + '"';
    }
    return bytes;
}

QByteArray line(const QStringList& fields)
{
    QByteArray out;
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (i > 0)
            out += ',';
        out += field(fields[i]);
    }
    return out + "\r\n";
}

} // namespace

QByteArray csvDocument(const QStringList& header, const QVector<QStringList>& rows)
{
    QByteArray out("\xEF\xBB\xBF");
    out += line(header);
    for (const QStringList& row : rows)
        out += line(row);
    return out;
}

bool saveWholeFile(const QString& path, const QByteArray& bytes, QString* error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        if (error)
            *error = QStringLiteral("无法写入文件“%1”：%2").arg(path, file.errorString());
        file.cancelWriting();
        return false;
    }
    return true;
}

QString csvDate(DateTime day)
{
    const DateParts p = splitDate(day);
    return QString::asprintf("%04d-%02d-%02d", p.year, p.month, p.day);
}

QString csvDateTime(DateTime moment)
{
    const DateParts p = splitDate(moment);
    return QString::asprintf("%04d-%02d-%02d %02d:%02d:%02d", p.year, p.month, p.day, p.hour, p.minute, p.second);
}

QString csvMoney(double amount)
{
    const double cents = std::round(amount * 100.0) / 100.0;
    return formatFixed(cents == 0.0 ? 0.0 : cents, 2);
}
