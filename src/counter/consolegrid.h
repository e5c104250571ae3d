#pragma once

#include "counterstate.h"

class EGridModel;

// Columns of the console's machine grid.
namespace ConsoleColumn {
enum {
    Label = 0,
    StartTime = 1,
    StopTime = 2,
    Minutes = 3,
    MinutePrice = 4,
    Amount = 5,
    FixedTime = 6,
    Countdown = 7,
    Deposit = 8,
    Goods = 9,
    Balance = 10,
    Count = 11
};
}

// Rows, titles, widths, types, decimals, the amount formula, colours and read-only cells of
// the console grid: one header row and one row per machine.
void setupGrid(EGridModel& grid, int machineCount);
// The same for the machines listed: row titles N号, the machine's name as the title's
// description, and the zone's colour on the rows of a zone that has one.
void setupGrid(EGridModel& grid, const QVector<MachineSlot>& machines);
