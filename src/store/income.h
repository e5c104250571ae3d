#pragma once

#include "common/values.h"

#include <QString>
#include <QVector>

class Database;
class RecordSet;

// One booking of the income table.
struct IncomeRow {
    DateTime day; // only its date is stored
    int machineNo = 0;
    QString type;
    QString name;
    double amount = 0.0;
};

// Appends the rows to 收入记录 on the record set, inside the caller's transaction.
// On failure *error holds the text to show; it stays empty when the store has already shown
// the engine's message (a failed open).
bool writeIncomeRows(RecordSet& rs, const QVector<IncomeRow>& rows, QString* error);

// Books the rows in a transaction of their own: every row or none.
bool bookIncome(Database& db, RecordSet& rs, const QVector<IncomeRow>& rows, QString* error);
