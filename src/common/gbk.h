#pragma once

#include <QByteArray>
#include <QString>

// Text in the GBK code page, byte for byte as Qt's converter gives it. The C library's iconv
// does the work where there is one: its table is small, while Qt's converter (ICU) maps tens of
// megabytes of tables, and the console would carry them all day for a settings file. Whatever
// iconv does not take (the euro sign at 0x80, the user-defined area, a character GBK lacks, a
// broken sequence) goes through Qt's converter, so the result never depends on which did it.
bool gbkAvailable();
QByteArray toGbk(QStringView text);
// `valid` says whether every byte was a GBK character.
QString fromGbk(QByteArrayView bytes, bool* valid = nullptr);
