// What a change to a usage costs now that it is written to date.mdb before the grid shows it:
// a start, a deposit typed, a stop, each one durable commit; and the tick, which writes nothing
// but the last-seen moment every quarter minute. Figures are medians of real commits on the
// disk the temporary folder is on.
#include "benchsupport.h"
#include "common/egridmodel.h"
#include "common/seams.h"
#include "counter/consolegrid.h"
#include "counter/counter.h"
#include "counter/pricing.h"
#include "store/database.h"
#include "store/schema.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    writeMessagesToStderr();
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("date.mdb"));
    Database db;
    if (!createDatabase(path) || !db.openDatabase(path))
        return 1;
    const int rounds = 200;
    double withJournal[3] = {}, without[3] = {};
    for (Database* store : { &db, static_cast<Database*>(nullptr) }) {
        CounterState state;
        EGridModel grid;
        setupGrid(grid, kMachines);
        Counter counter(state, grid, store);
        double* out = store ? withJournal : without;
        out[0] = medianMs(rounds, [&](int i) { counter.start(i % kMachines + 1, QStringLiteral("10时0分0秒"), QStringLiteral("4")); });
        out[1] = medianMs(rounds, [&](int i) {
            const int n = i % kMachines + 1;
            grid.commitEdit(n, ConsoleColumn::Deposit, QString::number(10 + i % 7));
            counter.acceptTyped(n, ConsoleColumn::Deposit);
        });
        out[2] = medianMs(rounds, [&](int i) {
            const int n = i % kMachines + 1;
            counter.stop(n, QStringLiteral("11时0分0秒"));
            counter.start(n, QStringLiteral("11时0分0秒"), QStringLiteral("4"));
        });
        out[2] -= out[0]; // the stop alone
    }
    std::printf("start with the usage written: %.3f ms (in memory only: %.3f ms)\n", withJournal[0], without[0]);
    std::printf("deposit typed with the usage written: %.3f ms (in memory only: %.3f ms)\n", withJournal[1], without[1]);
    std::printf("stop with the usage written: %.3f ms (in memory only: %.3f ms)\n", withJournal[2], without[2]);

    // Fifteen machines timing, one tick a second for ten simulated minutes: how many writes.
    CounterState state;
    EGridModel grid;
    setupGrid(grid, kMachines);
    Counter counter(state, grid, &db);
    QDateTime clock(QDate(2026, 12, 8), QTime(10, 0, 0));
    seams::setClock([&clock] { return clock; });
    for (int n = 1; n <= kMachines; ++n)
        counter.start(n, QStringLiteral("10时0分0秒"), QStringLiteral("4"));
    NullStatus status;
    int writes = 0;
    double tickMs = 0;
    for (int s = 0; s < 600; ++s) {
        clock = clock.addSecs(1);
        QElapsedTimer t;
        t.start();
        tickSecond(state, grid, status);
        const DateTime before = DateTime::fromQDateTime(clock);
        counter.keepAlive();
        tickMs += double(t.nsecsElapsed()) / 1e6;
        DateTime seen;
        if (readLastSeen(db, seen) && seen == before)
            ++writes;
    }
    std::printf("tick writes in 600 s with 15 machines timing: %d (the last-seen moment only)\n", writes);
    std::printf("mean tick with the last-seen write: %.3f ms\n", tickMs / 600);
    const double slowest = std::max({ withJournal[0], withJournal[1], withJournal[2] });
    std::printf("ratio slowest usage write/2 ms target: %.2f\n", slowest / 2.0);
    return 0;
}
