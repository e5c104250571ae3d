#pragma once

#include <QString>

// A Windows-style settings file in the GBK code page: [section] lines and key=value lines.
// Section and key names match without regard to ASCII case, blanks around names and values
// do not count, and a write changes only the one line it is about.
class IniFile {
public:
    explicit IniFile(QString path);

    bool exists() const;
    // The value, or the default when the file, the section or the key is missing.
    QString read(const QString& section, const QString& key, const QString& defaultValue) const;
    // Creates the file or the section when needed; replaces the key's value in place.
    bool write(const QString& section, const QString& key, const QString& value) const;

    // At most this many bytes of a value are read.
    static constexpr int kMaxValueBytes = 10239;

private:
    QString m_path;
};
