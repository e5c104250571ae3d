// How long the one-second tick takes with all fifteen machines timing, with deposits and
// fixed times set: the operator must never feel it.
#include "counter/consolegrid.h"
#include "counter/pricing.h"
#include "common/egridmodel.h"
#include "common/seams.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cstdio>

namespace {

class NullStatus : public ConsoleStatus {
public:
    QString clockText() const override { return m_clock; }
    void setClockText(const QString& t) override { m_clock = t; }
    void setStatusText(int, const QString&) override { }

private:
    QString m_clock;
};

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QDateTime t(QDate(2026, 12, 7), QTime(9, 0, 0));
    seams::setClock([&t] { return t; });
    seams::setBeepResponder([] { });
    seams::setMessageResponder([](const QString&, int, const QString&) { return 0; });
    CounterState state;
    state.machineCount = kMachines;
    EGridModel grid;
    setupGrid(grid, kMachines);
    NullStatus status;
    for (int n = 1; n <= kMachines; ++n) {
        startMachine(state, grid, n, QStringLiteral("9时0分0秒"), QStringLiteral("4.0"));
        grid.commitEdit(n, ConsoleColumn::FixedTime, QStringLiteral("60"));
        grid.commitEdit(n, ConsoleColumn::Deposit, QStringLiteral("10"));
    }
    const int ticks = 20000;
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < ticks; ++i) {
        t = t.addSecs(1);
        tickSecond(state, grid, status);
    }
    const double us = double(timer.nsecsElapsed()) / 1000.0 / ticks;
    std::printf("tickSecond, 15 machines timing: %.1f us per tick (%d ticks)\n", us, ticks);
    return 0;
}
