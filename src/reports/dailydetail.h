#pragma once

#include "common/values.h"
#include "store/income.h"

#include <QByteArray>
#include <QVector>

#include <QString>

class EGridModel;
class RecordSet;

// Columns of the daily detail's grid.
namespace DetailColumn {
enum : int { Number = 0, Machine, Type, Name, Amount, Count };
}

// A date-time read from a text such as 2013年7月5日, 2013-7-5 10:00:00 or 2013/7/5 10时30分:
// year, month and day, then optionally hour, minute and second. A text that gives no valid
// date and time reads as 1 January of the year 100.
DateTime dayFromText(const QString& text);


// The detail grid as laid out (9 rows, show-zero on), centred and titled, amounts as money.
void setupDetailGrid(EGridModel& grid);

// Fills the grid with the bookings of the day and the total row. A query the store cannot
// run leaves the title row alone.
void fillDailyDetail(RecordSet& rs, EGridModel& grid, DateTime day, QVector<IncomeRow>* shown = nullptr);

// The day's bookings for a spreadsheet, as the report's days are written.
QByteArray dailyDetailCsv(const QVector<IncomeRow>& rows);
