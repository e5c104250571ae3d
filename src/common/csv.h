#pragma once

#include "values.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

// A spreadsheet's CSV: UTF-8 with a byte-order mark, so the Chinese texts open intact, one
// header row, CRLF line ends; a field holding a comma, a quote or a line break is quoted, with
// its quotes doubled.
QByteArray csvDocument(const QStringList& header, const QVector<QStringList>& rows);

// A date as a spreadsheet reads one (yyyy-mm-dd), an amount as a plain number with two
// decimals (no currency sign, no negative zero).
QString csvDate(DateTime day);
// A moment to the second: yyyy-mm-dd hh:mm:ss, as the ledger and the slips show it too.
QString csvDateTime(DateTime moment);
QString csvMoney(double amount);

// Writes the whole file or nothing: a failed write leaves no partial file and says why.
bool saveWholeFile(const QString& path, const QByteArray& bytes, QString* error);
