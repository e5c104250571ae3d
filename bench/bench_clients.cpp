// The counter with 500 client PCs connected (simulated in another process): the one-second
// tick, with the clients told what changed, against the same counter with none; and how soon
// a start unlocks its client on localhost.
#include "benchsupport.h"
#include "clients/clienthub.h"
#include "clients/clientservice.h"
#include "common/egridmodel.h"
#include "counter/consolegrid.h"
#include "counter/counter.h"
#include "store/database.h"
#include "store/inifile.h"
#include "store/schema.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QHash>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>

#include <cstdio>

namespace {

constexpr int kClients = 500;

void waitFor(const std::function<bool()>& done, int ms)
{
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    writeMessagesToStderr();
    QTemporaryDir dir;
    seams::setProgramDir(dir.path());
    QDateTime t(QDate(2026, 12, 7), QTime(9, 0, 0), Qt::UTC);
    seams::setClock([&t] { return t; });
    const QString path = dir.filePath(QStringLiteral("date.mdb"));
    Database db;
    if (!createDatabase(path) || !db.openDatabase(path))
        return 1;
    quint16 port = 0;
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        port = probe.serverPort();
    }
    const IniFile ini(seams::dataFile(QStringLiteral("jishi.ini")));
    ini.write(QStringLiteral("客户机"), QStringLiteral("启用"), QStringLiteral("1"));
    ini.write(QStringLiteral("客户机"), QStringLiteral("端口"), QString::number(port));

    CounterState state;
    state.setMachines(CounterState::numbered(kClients));
    EGridModel grid;
    setupGrid(grid, state.machines);
    Counter counter(state, grid, &db);
    ClientService service(counter, db);
    if (!service.apply().isEmpty())
        return 1;
    service.hub()->setPerAddress(1000, 1000); // all the simulated PCs come from 127.0.0.1
    for (int n = 1; n <= kClients; ++n)
        counter.start(n, QStringLiteral("9时0分0秒"), QStringLiteral("4.0"));
    NullStatus status;
    // The tick as the console runs it, every second, with what the clients send handled between
    // ticks; timed with the clients' refresh (every fifth second, on a timer of its own in the
    // program) or without it.
    const auto tickCost = [&](bool withRefresh) {
        double best = 1e9;
        for (int round = 0; round < 20; ++round) {
            double spent = 0.0;
            for (int i = 0; i < 120; ++i) {
                QCoreApplication::processEvents();
                t = t.addSecs(1);
                QElapsedTimer tick;
                tick.start();
                tickSecond(state, grid, status);
                if (withRefresh && i % 5 == 0)
                    service.refresh();
                spent += double(tick.nsecsElapsed()) / 1000.0;
                if (!withRefresh && i % 5 == 0)
                    service.refresh();
            }
            best = std::min(best, spent / 120);
        }
        return best;
    };
    // Each case is timed in two stretches far apart (this machine's speed drifts by the second)
    // and the better one kept.
    double alone = tickCost(false);
    double aloneRefreshed = tickCost(true);

    QProcess peers;
    QHash<int, qint64> up;
    QHash<int, bool> waiting, locked;
    QObject::connect(&peers, &QProcess::readyReadStandardOutput, [&] {
        while (peers.canReadLine()) {
            const QList<QByteArray> w = peers.readLine().trimmed().split(' ');
            const int n = w.value(1).toInt();
            if (w[0] == "UP")
                up[n] = w.value(2).toLongLong();
            else if (w[0] == "WAIT")
                waiting[n] = true;
            else if (w[0] == "LOCK")
                locked[n] = true;
        }
    });
    peers.start(QStringLiteral(BENCH_PEERS), { QString::number(kClients), QStringLiteral("127.0.0.1"), QString::number(port), dir.path() });
    waitFor([&] { return waiting.size() == kClients; }, 120000);
    for (const ClientEntry& e : service.hub()->entries())
        service.hub()->allow(e.machineNo, e.key, nullptr);
    waitFor([&] { return up.size() == kClients; }, 60000);
    std::printf("clients connected and unlocked: %lld of %d\n", qint64(up.size()), kClients);
    // Timed once the crowd is steady: connected, unlocked and only saying it is there.
    waitFor([] { return false; }, 2000);
    double crowded = tickCost(false);
    double crowdedRefreshed = tickCost(true);

    // A stop, then a start: how long until its client is unlocked again.
    std::vector<double> latency;
    for (int n = 1; n <= 200; ++n) {
        locked.remove(n);
        counter.stop(n, QStringLiteral("9时10分0秒"));
        waitFor([&] { return locked.contains(n); }, 5000);
        up.remove(n);
        const qint64 started = (QDeadlineTimer::current(Qt::PreciseTimer).deadlineNSecs() / 1000000);
        counter.start(n, QStringLiteral("9时10分0秒"), QStringLiteral("4.0"));
        waitFor([&] { return up.contains(n); }, 5000);
        latency.push_back(up.contains(n) ? double(up[n] - started) : 5000.0);
    }
    std::sort(latency.begin(), latency.end());
    const double p99 = latency[latency.size() * 99 / 100];
    waitFor([] { return false; }, 2000);
    crowded = std::min(crowded, tickCost(false));
    crowdedRefreshed = std::min(crowdedRefreshed, tickCost(true));

    // The same, with a flood from 100 more peers under way.
    QProcess flood;
    flood.start(QStringLiteral(BENCH_PEERS), { QStringLiteral("flood"), QStringLiteral("127.0.0.1"), QString::number(port) });
    flood.waitForStarted();
    waitFor([] { return false; }, 2000);
    const double flooded = tickCost(false);
    const int connectedDuringFlood = service.hub()->onlineMachines().size();
    flood.kill();
    flood.waitForFinished();
    peers.kill();
    peers.waitForFinished();
    waitFor([&] { return service.hub()->connectionCount() == 0; }, 60000);
    waitFor([] { return false; }, 2000);
    alone = std::min(alone, tickCost(false));
    aloneRefreshed = std::min(aloneRefreshed, tickCost(true));
    std::printf("tick, %d machines timing: %.1f us with no client connected, %.1f us with %d\n", kClients, alone,
        crowded, kClients);
    std::printf("tick and the clients' refresh: %.1f us with none, %.1f us with %d\n", aloneRefreshed,
        crowdedRefreshed, kClients);
    std::printf("ratio tick %d clients/none: %.2f\n", kClients, crowded / alone);
    std::printf("ratio tick with the clients' refresh %d clients/none: %.2f\n", kClients,
        crowdedRefreshed / aloneRefreshed);
    std::printf("tick during a flood of 100 peers: %.1f us; clients still online: %d\n", flooded, connectedDuringFlood);
    std::printf("ratio tick during a flood/with %d clients: %.2f\n", kClients, flooded / crowded);
    std::printf("unlock after a start, 99th percentile of 200: %.0f ms (median %.0f ms)\n", p99,
        latency[latency.size() / 2]);
    std::printf("ratio unlock p99/200 ms target: %.2f\n", p99 / 200.0);
    return 0;
}
