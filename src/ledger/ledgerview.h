#pragma once

#include "store/ledgertable.h"

#include <QByteArray>
#include <QString>
#include <QVector>

class EGridModel;

// Columns of the ledger window's grid.
namespace LedgerColumn {
enum : int { Number = 0, Time, Operator, Owner, Kind, Machine, Card, Goods, Amount, Cash, CardAmount, Before, After, Detail,
    Method, Received, Reference, Bonus, Count };
}

// The titles and widths of the ledger grid, one title row.
void setupLedgerGrid(EGridModel& grid);

struct LedgerSums {
    double cash = 0.0;
    double card = 0.0;
};

// One grid row a ledger row; the sums of the cash and card columns.
LedgerSums fillLedgerGrid(EGridModel& grid, const QVector<LedgerRow>& rows);

// The rows as a spreadsheet opens them: dates as yyyy-mm-dd hh:mm:ss, amounts with two
// decimals.
QByteArray ledgerCsv(const QVector<LedgerRow>& rows);

// What 核对 says of a check.
QString ledgerCheckMessage(const LedgerCheck& check);
// The first twelve hex digits of the newest hash, as the shift slips carry it.
QString hashHead(const QString& hash);
