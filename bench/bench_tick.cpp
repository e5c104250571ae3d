// How long the one-second tick takes with every machine timing, with deposits and fixed
// times set, for fifteen machines and for 500: the operator must never feel it.
#include "benchsupport.h"
#include "counter/consolegrid.h"
#include "counter/pricing.h"
#include "common/egridmodel.h"
#include "common/seams.h"

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
    const auto tickCost = [&t](int count) {
        t = QDateTime(QDate(2026, 12, 7), QTime(9, 0, 0), Qt::UTC);
        CounterState state;
        state.setMachines(CounterState::numbered(count));
        EGridModel grid;
        setupGrid(grid, state.machines);
        NullStatus status;
        for (int n = 1; n <= count; ++n) {
            startMachine(state, grid, n, QStringLiteral("9时0分0秒"), QStringLiteral("4.0"));
            grid.commitEdit(n, ConsoleColumn::FixedTime, QStringLiteral("60"));
            grid.commitEdit(n, ConsoleColumn::Deposit, QStringLiteral("10"));
        }
        // The same quarter of an hour for either list: every machine passes a minute's end
        // fourteen times, and none reaches its 定时 or the end of its deposit.
        const int ticks = 120;
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
    return 0;
}
