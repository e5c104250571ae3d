// Simulated client PCs for bench_clients: `count` clients of machines 1..count in one process,
// each writing "UP n ms" when its machine is unlocked and "LOCK n" when it is locked, with the
// system's monotonic milliseconds, comparable across processes.
#include "clientagent.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>

#include <cstdio>
#include <memory>
#include <vector>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 5)
        return 2;
    const int count = std::atoi(argv[1]);
    const QString host = QString::fromLocal8Bit(argv[2]);
    const quint16 port = quint16(std::atoi(argv[3]));
    const QString dir = QString::fromLocal8Bit(argv[4]);
    std::vector<std::unique_ptr<ClientAgent>> agents;
    for (int n = 1; n <= count; ++n) {
        auto agent = std::make_unique<ClientAgent>(host, port, n, KeyPair::generate(),
            dir + QStringLiteral("/counter%1.pub").arg(n));
        ClientAgent* a = agent.get();
        QObject::connect(a, &ClientAgent::viewChanged, [a, n, last = -1]() mutable {
            const int screen = a->view().connected ? int(a->view().screen) : -1;
            if (screen == last)
                return;
            last = screen;
            if (screen == ClientView::Running)
                std::printf("UP %d %lld\n", n, (QDeadlineTimer::current(Qt::PreciseTimer).deadlineNSecs() / 1000000));
            else if (screen == ClientView::Locked)
                std::printf("LOCK %d\n", n);
            else if (screen == ClientView::Waiting)
                std::printf("WAIT %d\n", n);
            std::fflush(stdout);
        });
        agent->start();
        agents.push_back(std::move(agent));
    }
    return app.exec();
}
