#pragma once

#include "common/values.h"
#include "reports/chartmaker.h"
#include "store/income.h"

#include <QByteArray>
#include <QVector>

#include <QStringList>

class Database;
class EGridModel;
class RecordSet;

// Columns of the performance report's grid.
namespace ReportColumn {
enum : int { Number = 0, Day, MachineIncome, GoodsIncome, Total, Count };
}


// The report grid as laid out (9 rows, show-zero on), centred and titled, with its money
// columns and column 4 = column 2 + column 3.
void setupReportGrid(EGridModel& grid);

// Replaces the views, reads the days of the range and refills the grid: one row per day with
// bookings, then the total row. A query the store cannot run leaves the title row alone.
// `shown`, when given, receives the days the grid shows.
void fillReport(Database& db, RecordSet& rs, EGridModel& grid, DateTime start, DateTime end,
    QVector<DayIncome>* shown = nullptr);

// What the chart shows of the days: days of one year by month and day; over a year's end
// each keeps its year, so no two bars share a label.
ChartData chartDataOf(const QVector<DayIncome>& days);

// The days for a spreadsheet: one header row, dates as yyyy-mm-dd, amounts with two decimals.
QByteArray reportCsv(const QVector<DayIncome>& days);
