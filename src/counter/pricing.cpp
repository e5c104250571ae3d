#include "pricing.h"

#include "consolegrid.h"
#include "common/egridmodel.h"
#include "common/seams.h"
#include "common/values.h"

#include <cmath>

namespace Col = ConsoleColumn;

float perMinutePriceOf(const QString& rateText)
{
    // A rate no single carries to the cent counts as no number, as text does.
    const double rate = toNumber(rateText);
    return isMoneyInRange(rate) ? float(rate / 60.0) : 0.0f;
}

float hourlyRateOf(const QString& rateText)
{
    const double rate = toNumber(rateText);
    return isMoneyInRange(rate) ? float(rate) : 0.0f;
}

namespace {

int minuteOfDay(DateTime t)
{
    const DateParts p = splitDate(t);
    return p.hour * 60 + p.minute;
}

} // namespace

QString planAmountText(qint64 cents) { return cents == 0 ? QStringLiteral("0") : centsText(cents); }

void replan(MachineRecord& m)
{
    m.startMinuteOfDay = minuteOfDay(m.startTime);
    m.covered = coverOf(m.packages, m.startTime);
}

PlanBill planBillOf(const MachineRecord& m, int minutes, bool byCard, bool withLines)
{
    return m.plan ? billOf(m.plan->plan, m.startMinuteOfDay, std::max(0, minutes), m.covered, byCard, withLines)
                  : PlanBill();
}

void showPlanFigures(EGridModel& grid, int r, const MachineRecord& m, int minutes, DateTime moment)
{
    grid.setCell(r, Col::MinutePrice, double(bandRateAt(m.plan->plan, minuteOfDay(moment))) / 6000.0);
    grid.setCell(r, Col::Amount, planAmountText(planBillOf(m, minutes, false, false).totalCents));
}

void showPricing(CounterState& state, EGridModel& grid, int n)
{
    const int r = state.rowOf(n);
    MachineRecord& m = state.machineTable[n];
    // The plan's amount is exact to the cent and is not the minutes times one price.
    grid.setOwnFigure(r, Col::Amount, bool(m.plan), m.plan ? 2 : -1);
    describeRow(state, grid, n);
}

void describeRow(const CounterState& state, EGridModel& grid, int n)
{
    const int r = state.rowOf(n);
    if (r == 0)
        return;
    QStringList description;
    if (!state.machines[r - 1].name.isEmpty())
        description.append(state.machines[r - 1].name);
    for (const SoldPackage& sold : std::as_const(state.machineTable[n].packages))
        description.append(QStringLiteral("套餐：") + packageText(sold.package));
    if (const auto client = state.clientStatus.constFind(n); client != state.clientStatus.constEnd())
        description.append(QStringLiteral("客户机：") + *client);
    grid.setCellDescription(r, Col::Label, description.join(QStringLiteral("；")));
}

void startMachine(CounterState& state, EGridModel& grid, int n, const QString& clockText, const QString& rateText)
{
    const int r = state.rowOf(n);
    MachineRecord& m = state.machineTable[n];
    m.state = 1;
    m.startTime = now();
    m.plan = state.planFor(n);
    m.packages.clear();
    m.covered.clear();
    m.keptPlanVersion = 0;
    m.keptPackages.clear();
    m.startMinuteOfDay = minuteOfDay(m.startTime);
    grid.clearCells(r, Col::StartTime, r, Col::Balance);
    showPricing(state, grid, n);
    grid.setCurrentCell(r, Col::StartTime);
    m.perMinutePrice = m.plan ? float(double(bandRateAt(m.plan->plan, m.startMinuteOfDay)) / 6000.0)
                              : perMinutePriceOf(rateText);
    grid.setCell(r, Col::StartTime, clockText);
    grid.setCell(r, Col::Minutes, 0);
    grid.setCell(r, Col::MinutePrice, m.perMinutePrice);
    if (m.plan)
        showPlanFigures(grid, r, m, 0, m.startTime);
    grid.setCellColour(r, Col::Label, r, Col::Label, QColor(255, 0, 0));
    ++state.runningCount;
}

MachineBill stopMachine(CounterState& state, EGridModel& grid, int n, const QString& clockText)
{
    const int r = state.rowOf(n);
    state.machineTable[n].state = 0;
    grid.setCurrentCell(r, Col::StopTime);
    grid.setCell(r, Col::StopTime, clockText);
    grid.setCellColour(r, Col::Label, r, Col::Label, QColor(0, 0, 0));
    --state.runningCount;
    const MachineRecord& m = state.machineTable[n];
    MachineBill bill;
    if (m.plan) {
        // The bill of the minutes the row shows, as the operator and the customer see them.
        const int minutes = toInteger(grid.getCell(r, Col::Minutes));
        const PlanBill cash = planBillOf(m, minutes, false);
        const PlanBill card = planBillOf(m, minutes, true);
        grid.setCell(r, Col::Amount, planAmountText(cash.totalCents));
        bill.planned = true;
        bill.cardFeeText = centsText(card.totalCents);
        bill.lines = billLineTexts(cash);
        bill.cardLines = billLineTexts(card);
    }
    bill.feeText = grid.getCell(r, Col::Amount);
    bill.goodsText = grid.getCell(r, Col::Goods);
    bill.depositText = grid.getCell(r, Col::Deposit);
    bill.machineNo = n;
    return bill;
}

void tickSecond(CounterState& state, EGridModel& grid, ConsoleStatus& status)
{
    // One moment for every machine of the tick: the clock is read once.
    const DateTime moment = now();
    status.setClockText(timeToText(moment, 3));
    float total = 0.0f;
    for (int r = 1; r <= state.machines.size(); ++r) {
        const int n = state.machines[r - 1].number;
        MachineRecord& m = state.machineTable[n];
        if (m.state != 1)
            continue;
        const int minutes = toInteger(timeInterval(moment, m.startTime, 7));
        // A row that reads as the last tick left it, in the same minute, would only get the same
        // texts again: most rows of a large café, most seconds.
        TickSeen& seen = m.seen;
        if (seen.row == r && seen.minutes == minutes && seen.revision == grid.rowRevision(r) && !seen.reminded) {
            total = float(double(total) + double(seen.amount));
            continue;
        }
        bool reminded = false;
        const QString minutesText = toText(minutes);
        if (grid.getCell(r, Col::Minutes) != minutesText)
            grid.setCell(r, Col::Minutes, minutesText);
        if (m.plan && seen.minutes != minutes)
            showPlanFigures(grid, r, m, minutes, moment);

        const int fixed = toInteger(toNumber(grid.getCell(r, Col::FixedTime)));
        if (fixed > 0) {
            const int left = toInteger(double(fixed) - double(minutes)); // no overflow on odd input
            grid.setCell(r, Col::Countdown, toText(left));
            if (left <= 0) {
                remind(state, n, ReminderKind::FixedTime, status);
                reminded = true;
            }
        }

        const float deposit = float(toNumber(grid.getCell(r, Col::Deposit)));
        if (isNonZero(deposit)) {
            const double goods = toNumber(grid.getCell(r, Col::Goods));
            const double amount = toNumber(grid.getCell(r, Col::Amount));
            const float balance = float(double(deposit) - goods - amount);
            grid.setCell(r, Col::Balance, toText(balance));
            if (double(balance) <= 0.0000001) {
                remind(state, n, ReminderKind::Deposit, status);
                reminded = true;
            }
        }
        seen = TickSeen { r, minutes, grid.rowRevision(r), toSingle(grid.getCell(r, Col::Amount)), reminded };
        total = float(double(total) + double(seen.amount));
    }
    status.setStatusText(StatusPart::Total, toText(total));
}

void remind(CounterState& state, int n, ReminderKind kind, ConsoleStatus& status)
{
    int& reminderCounter = state.reminderCounter;
    if (reminderCounter == 0) {
        beep();
        status.setStatusText(StatusPart::Reminder,
            toText(n) + (kind == ReminderKind::FixedTime ? QStringLiteral("号机计时时间已到！") : QStringLiteral("号机计费时间已到！")));
    } else if (reminderCounter > 0 && std::fabs(std::fmod(double(reminderCounter), 5.0)) <= 0.0000001) {
        beep();
    }
    ++reminderCounter;
    if (reminderCounter > 60)
        reminderCounter = -4;
}
