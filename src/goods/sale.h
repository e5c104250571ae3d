#pragma once

#include "common/values.h"
#include "store/income.h"

#include <QString>
#include <QStringList>
#include <QVector>

class EGridModel;
class RecordSet;

// Columns of the sale grid.
namespace SaleColumn {
enum { Goods = 0, Price = 1, Quantity = 2, Amount = 3, Count = 4 };
}

// The header row and the five entry lines.
constexpr int kSaleRows = 6;

// Titles, widths, types, decimals and the amount formula of the sale grid, in the order the
// grid's rules need: 数量 gets its 0 decimals by becoming numeric, the money columns their 2.
void setupSaleGrid(EGridModel& grid);

// The five lines as the window opened with them: every cell empty, none showing zero yet.
void emptySaleLines(EGridModel& grid);

// Names of the catalogue in record order; the store shows its message when it cannot be read.
QStringList goodsNames(RecordSet& rs);

// Sum of the line amounts, narrowed to a single after each addition.
float saleTotal(const EGridModel& grid);

// The first line, 1 to 5, whose price, quantity or amount is more than a single carries to
// the cent, or 0 when every line is within it.
int lineOutOfRange(const EGridModel& grid);

// One income booking for every line whose amount is not zero, on the day only of `day`.
QVector<IncomeRow> saleIncomeRows(const EGridModel& grid, int machineNo, DateTime day);
