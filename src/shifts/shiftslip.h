#pragma once

#include "store/shifttable.h"

#include <QByteArray>
#include <QPair>
#include <QString>
#include <QVector>

// The figures of a shift as the handover shows them, and its slip.

// Money as the handover shows it: two decimals, no negative zero.
QString shiftMoney(double value);

// A counted amount of cash as typed: a plain decimal number, not negative, within the money
// limit. False for anything else, so a slip of the finger is not taken for 0.
bool readCashAmount(const QString& text, double& value);

// What should be in the drawer: the float and every cash movement of the shift.
double expectedCash(const ShiftRecord& shift, const ShiftTotals& totals);

// 长款 for more cash than expected, 短款 for less, empty when it matches to the cent.
QString differenceKind(double difference);

// Why a handover cannot close as typed (a difference without a note, a float left that is not
// in the drawer); empty when it can.
QString closingRefusal(double difference, const QString& note, double leftFloat, double counted);

// The slip's lines, label and value, for the printout and the export.
QVector<QPair<QString, QString>> slipLines(const ShiftRecord& shift, const ShiftTotals& totals);
QByteArray slipCsv(const ShiftRecord& shift, const ShiftTotals& totals);
QString slipHtml(const ShiftRecord& shift, const ShiftTotals& totals);
