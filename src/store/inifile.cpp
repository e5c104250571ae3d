#include "inifile.h"

#include "common/gbk.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace {

constexpr qint64 kMaxFileBytes = 16 * 1024 * 1024;

char asciiLower(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

bool sameName(const QByteArray& a, const QByteArray& b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (asciiLower(a.at(i)) != asciiLower(b.at(i)))
            return false;
    }
    return true;
}

QByteArray trimmed(const QByteArray& s)
{
    qsizetype b = 0;
    qsizetype e = s.size();
    while (b < e && (s.at(b) == ' ' || s.at(b) == '\t'))
        ++b;
    while (e > b && (s.at(e - 1) == ' ' || s.at(e - 1) == '\t' || s.at(e - 1) == '\r'))
        --e;
    return s.mid(b, e - b);
}

// "[name]" gives name; anything else is not a section line.
bool sectionName(const QByteArray& line, QByteArray& name)
{
    const QByteArray t = trimmed(line);
    if (!t.startsWith('['))
        return false;
    const qsizetype close = t.indexOf(']');
    name = trimmed(close < 0 ? t.mid(1) : t.mid(1, close - 1));
    return true;
}

bool keyLine(const QByteArray& line, QByteArray& key, QByteArray& value)
{
    const qsizetype eq = line.indexOf('=');
    if (eq < 0)
        return false;
    key = trimmed(line.left(eq));
    value = trimmed(line.mid(eq + 1));
    return true;
}

// readable: the file is missing, or it was read whole.
QList<QByteArray> readLines(const QString& path, bool& readable)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        readable = !f.exists();
        return {};
    }
    QByteArray bytes = f.read(kMaxFileBytes);
    readable = f.error() == QFileDevice::NoError && f.atEnd();
    QList<QByteArray> lines = bytes.split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    for (QByteArray& l : lines) {
        if (l.endsWith('\r'))
            l.chop(1);
    }
    return lines;
}

} // namespace

IniFile::IniFile(QString path)
    : m_path(std::move(path))
{
}

bool IniFile::exists() const { return QFileInfo::exists(m_path); }

QString IniFile::read(const QString& section, const QString& key, const QString& defaultValue) const
{
    bool readable = false;
    const QList<QByteArray> lines = readLines(m_path, readable);
    const QByteArray wantSection = trimmed(toGbk(section));
    const QByteArray wantKey = trimmed(toGbk(key));
    bool inSection = false;
    for (const QByteArray& line : lines) {
        QByteArray name;
        if (sectionName(line, name)) {
            inSection = sameName(name, wantSection);
            continue;
        }
        QByteArray k, v;
        if (inSection && keyLine(line, k, v) && sameName(k, wantKey)) {
            return fromGbk(v.left(kMaxValueBytes));
        }
    }
    return defaultValue;
}

bool IniFile::write(const QString& section, const QString& key, const QString& value) const
{
    bool readable = false;
    QList<QByteArray> lines = readLines(m_path, readable);
    // A file that exists but could not be read whole is left alone rather than rewritten
    // from the part that was read.
    if (!readable)
        return false;
    const QByteArray wantSection = trimmed(toGbk(section));
    const QByteArray wantKey = trimmed(toGbk(key));
    const QByteArray newLine = wantKey + '=' + toGbk(value);

    qsizetype sectionAt = -1; // line of the section header
    qsizetype insertAt = -1; // after the section's last key line
    bool done = false;
    bool inSection = false;
    for (qsizetype i = 0; i < lines.size() && !done; ++i) {
        QByteArray name;
        if (sectionName(lines.at(i), name)) {
            if (inSection)
                break;
            inSection = sameName(name, wantSection);
            if (inSection) {
                sectionAt = i;
                insertAt = i + 1;
            }
            continue;
        }
        if (!inSection)
            continue;
        QByteArray k, v;
        if (keyLine(lines.at(i), k, v)) {
            if (sameName(k, wantKey)) {
                lines[i] = newLine;
                done = true;
            } else {
                insertAt = i + 1;
            }
        }
    }
    if (!done) {
        if (sectionAt >= 0) {
            lines.insert(insertAt, newLine);
        } else {
            lines.append('[' + wantSection + ']');
            lines.append(newLine);
        }
    }

    // The whole file is replaced at once, so a failed write leaves the old one intact.
    QSaveFile out(m_path);
    if (!out.open(QIODevice::WriteOnly))
        return false;
    for (const QByteArray& l : lines) {
        out.write(l);
        out.write("\r\n");
    }
    return out.commit();
}
