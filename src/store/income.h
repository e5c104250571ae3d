#pragma once

#include "common/values.h"

#include <QString>
#include <QStringList>
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

// The income of one day, split as the report shows it.
struct DayIncome {
    DateTime day;
    double machine = 0.0; // 上机收入
    double goods = 0.0; // 商品销售
};

// The days of [start, end] that have bookings, with their two sums, through the views 业绩1
// and 业绩2 (on a server, one grouped query). False when the query failed (the store has shown why).
bool readIncomeByDay(Database& db, RecordSet& rs, DateTime start, DateTime end, QVector<DayIncome>& days);

// Every booking of one day, in the table's order. False when the query failed.
bool readDayBookings(RecordSet& rs, DateTime day, QVector<IncomeRow>& rows);

// The statements behind them, as the engine receives them before translation.
QStringList reportViewStatements(DateTime start, DateTime end);
QString reportQuery(DateTime start, DateTime end);
// On a server: the days and sums of reportQuery in one pass, without the views.
QString onePassReportQuery(DateTime start, DateTime end);
QString dailyDetailQuery(DateTime day);
