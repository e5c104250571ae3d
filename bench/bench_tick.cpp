// How long the one-second tick takes with every machine timing, with deposits and fixed
// times set, for fifteen machines and for 500, on the rate box and on a zone's price plan: the
// operator must never feel it.
#include "benchsupport.h"
#include "counter/consolegrid.h"
#include "counter/pricing.h"
#include "common/egridmodel.h"
#include "common/seams.h"
#include "common/values.h"
#include "counter/priceplan.h"

#include <QCoreApplication>

#include <algorithm>
#include <cstdio>
#include <ctime>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    // A clock without a time zone, so the figure is the tick's own and not the zone look-ups
    // of the stand-in clock's arithmetic.
    QDateTime t(QDate(2026, 12, 7), QTime(9, 0, 0), Qt::UTC);
    seams::setClock([&t] { return t; });
    seams::setBeepResponder([] { });
    seams::setMessageResponder([](const QString&, int, const QString&) { return 0; });
    // The tick with every machine of a list of `count` timing, best of several rounds (the
    // machine may be busy with other work meanwhile), in microseconds of processor time.
    // Three bands, one of them capped, 15-minute units: a plan as a café would have it.
    TypedPlan typed;
    typed.bands = { { QStringLiteral("08:00"), QStringLiteral("18:00"), QStringLiteral("5"), QString() },
        { QStringLiteral("18:00"), QStringLiteral("23:00"), QStringLiteral("6"), QString() },
        { QStringLiteral("23:00"), QStringLiteral("08:00"), QStringLiteral("4"), QStringLiteral("24") } };
    typed.unit = QStringLiteral("15");
    typed.minimum = QStringLiteral("30");
    typed.grace = QStringLiteral("3");
    typed.discount = QStringLiteral("8.5");
    PricePlan plan;
    if (!planRefusal(typed, plan).isEmpty())
        return 1;
    const auto tickCost = [&](int count, bool planned = false, int hoursBefore = 0) {
        t = QDateTime(QDate(2026, 12, 7), QTime(9, 0, 0), Qt::UTC).addSecs(-3600 * hoursBefore);
        CounterState state;
        if (planned)
            state.zonePlans.insert(defaultZoneName(), std::make_shared<const ZonePlan>(ZonePlan { 1, plan }));
        state.setMachines(CounterState::numbered(count));
        EGridModel grid;
        setupGrid(grid, state.machines);
        NullStatus status;
        for (int n = 1; n <= count; ++n) {
            startMachine(state, grid, n, QStringLiteral("9时0分0秒"), QStringLiteral("4.0"));
            // Long usages get a 定时 and a deposit they have not used up either.
            grid.commitEdit(n, ConsoleColumn::FixedTime, toText(120 + 60 * hoursBefore));
            grid.commitEdit(n, ConsoleColumn::Deposit, hoursBefore ? QStringLiteral("1000") : QStringLiteral("20"));
        }
        t = QDateTime(QDate(2026, 12, 7), QTime(9, 0, 0), Qt::UTC);
        // The same 35 minutes for either list: every machine passes a minute's end five times a
        // round, and none reaches its 定时 or the end of its deposit.
        const int ticks = 300;
        double best = 1e9;
        for (int round = 0; round < 7; ++round) {
            const std::clock_t start = std::clock();
            for (int i = 0; i < ticks; ++i) {
                t = t.addSecs(1);
                tickSecond(state, grid, status);
            }
            best = std::min(best, double(std::clock() - start) * 1e6 / CLOCKS_PER_SEC / ticks);
        }
        return best;
    };
    const double fifteen = tickCost(kMachines);
    const double many = tickCost(500);
    std::printf("tickSecond, 15 machines timing: %.1f us of processor time per tick (best of 7 rounds)\n", fifteen);
    std::printf("tickSecond, 500 machines timing: %.1f us of processor time per tick (best of 7 rounds)\n", many);
    std::printf("ratio tick 500/15 machines: %.2f\n", many / fifteen);
    const double onPlans = tickCost(500, true);
    const double longOnRate = tickCost(500, false, 10);
    const double longOnPlans = tickCost(500, true, 10);
    std::printf("tickSecond, 500 machines timing on a price plan: %.1f us per tick; after 10 hours: %.1f us, on the "
                "rate box %.1f us\n",
        onPlans, longOnPlans, longOnRate);
    std::printf("ratio tick 500 on plans/on the rate box: %.2f\n", onPlans / many);
    std::printf("ratio tick 500 on plans/on the rate box after 10 hours: %.2f\n", longOnPlans / longOnRate);
    return 0;
}
