// Simulated client PCs for bench_clients: `count` clients of machines 1..count in one process,
// each writing "UP n ms" when its machine is unlocked and "LOCK n" when it is locked, with the
// system's monotonic milliseconds, comparable across processes. With "flood" instead of a
// count: 100 peers sending random bytes and malformed frames, connecting again whenever they
// are dropped, until killed.
#include "clientagent.h"
#include "protocol/frames.h"

#include <QRandomGenerator>
#include <QTcpSocket>
#include <QTimer>

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
    const QString host = QString::fromLocal8Bit(argv[2]);
    const quint16 port = quint16(std::atoi(argv[3]));
    if (qstrcmp(argv[1], "flood") == 0) {
        std::vector<std::unique_ptr<QTcpSocket>> peers;
        QRandomGenerator random(25);
        for (int i = 0; i < 100; ++i)
            peers.push_back(std::make_unique<QTcpSocket>());
        QTimer again;
        QObject::connect(&again, &QTimer::timeout, [&] {
            for (std::size_t i = 0; i < peers.size(); ++i) {
                QTcpSocket& s = *peers[i];
                if (s.state() == QAbstractSocket::UnconnectedState)
                    s.connectToHost(host, port);
                if (s.bytesToWrite() > 64 * 1024)
                    continue;
                QByteArray bytes(512, Qt::Uninitialized);
                for (char& c : bytes)
                    c = char(random.bounded(256));
                // Half send noise, half frames that are whole and are no hello.
                s.write(i % 2 ? encodeFrame(bytes.left(1 + int(random.bounded(100)))) : bytes);
            }
        });
        again.start(10);
        return app.exec();
    }
    const int count = std::atoi(argv[1]);
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
