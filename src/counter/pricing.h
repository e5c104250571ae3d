#pragma once

#include "counterstate.h"

#include <QString>

class EGridModel;

// What the console shows besides its grid: the clock and the status bar parts.
class ConsoleStatus {
public:
    virtual ~ConsoleStatus() = default;
    virtual QString clockText() const = 0;
    virtual void setClockText(const QString& text) = 0;
    virtual void setStatusText(int part, const QString& text) = 0;
};

// Status bar parts written by the billing.
namespace StatusPart {
enum { RunningCount = 1, Total = 3, Reminder = 5 };
}

// Hourly rate text to the price per minute, fixed in single precision; a rate outside the
// money limit gives 0.
float perMinutePriceOf(const QString& rateText);
// The rate as the settings file gives it, in single precision; one outside the money limit is 0.
float hourlyRateOf(const QString& rateText);

// A plan's amount as the grid takes it ("0" for nothing: the grid refuses other spellings of it).
QString planAmountText(qint64 cents);
// After a planned usage's start moved (a set clock, an interruption not charged): the band it
// started in and what its packages cover, worked out as a restore would.
void replan(MachineRecord& m);
// The bill of a usage priced by a plan after `minutes` whole minutes.
PlanBill planBillOf(const MachineRecord& m, int minutes, bool byCard, bool withLines = true);
// A planned usage's figures in its row: the band's price per minute at `moment` and the
// plan's amount so far.
void showPlanFigures(EGridModel& grid, int row, const MachineRecord& m, int minutes, DateTime moment);
// Machine n's row priced by its usage's plan, or by the rate box when it has none; the title's
// description names the machine and the packages sold to it.
void showPricing(CounterState& state, EGridModel& grid, int n);
// Machine n's row title as a screen reader and its tooltip give it: the machine's name, the
// packages of its usage and its client PC.
void describeRow(const CounterState& state, EGridModel& grid, int n);

// The record and grid side of starting machine n: state, start time, price, its cleared row
// showing the start time, the red label and the running count.
void startMachine(CounterState& state, EGridModel& grid, int n, const QString& clockText, const QString& rateText);

// The record and grid side of stopping machine n; returns the bill its checkout settles.
MachineBill stopMachine(CounterState& state, EGridModel& grid, int n, const QString& clockText);

// Once a second: the clock, the minutes, countdowns and balances of every timing machine,
// reminders, and the total of their amounts.
void tickSecond(CounterState& state, EGridModel& grid, ConsoleStatus& status);

void remind(CounterState& state, int n, ReminderKind kind, ConsoleStatus& status);
