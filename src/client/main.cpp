#include "clientagent.h"
#include "clientscreens.h"
#include "protocol/keyfile.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QMessageBox>
#include <QStandardPaths>

#include <cstdio>

// langtuo-client --machine N --counter HOST[:PORT] [--data DIR] [--log]
int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("langtuo-client"));
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addOption({ QStringLiteral("machine"), QStringLiteral("本机机号（1到500）"), QStringLiteral("N") });
    parser.addOption({ QStringLiteral("counter"), QStringLiteral("收银台地址"), QStringLiteral("HOST[:PORT]") });
    parser.addOption({ QStringLiteral("data"), QStringLiteral("密钥所在目录"), QStringLiteral("DIR") });
    parser.addOption({ QStringLiteral("log"), QStringLiteral("每次变化写一行到标准输出") });
    parser.process(app);
    bool ok = false;
    const int machine = parser.value(QStringLiteral("machine")).toInt(&ok);
    const QString counter = parser.value(QStringLiteral("counter"));
    const int colon = counter.lastIndexOf(u':');
    const QString host = colon > 0 ? counter.left(colon) : counter;
    const int port = colon > 0 ? counter.mid(colon + 1).toInt() : 5188;
    if (!ok || machine < 1 || machine > 500 || host.isEmpty() || port < 1 || port > 65535) {
        std::fprintf(stderr, "usage: langtuo-client --machine N --counter HOST[:PORT] [--data DIR]\n");
        return 2;
    }
    const QString dir = parser.isSet(QStringLiteral("data"))
        ? parser.value(QStringLiteral("data"))
        : QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/langtuo-client");
    KeyPair own;
    QString error;
    if (!loadOrCreateKeyPair(QDir(dir).filePath(QStringLiteral("client.key")), own, &error)) {
        QMessageBox::critical(nullptr, QStringLiteral("客户机"), QStringLiteral("无法读取本机密钥：") + error);
        return 1;
    }
    ClientAgent agent(host, quint16(port), machine, own, QDir(dir).filePath(QStringLiteral("counter.pub")));
    ClientScreens screens(agent);
    if (parser.isSet(QStringLiteral("log"))) {
        QObject::connect(&screens, &ClientScreens::shown, [last = QString()](const QString& line) mutable {
            if (line == last)
                return;
            last = line;
            std::printf("%s\n", line.toUtf8().constData());
            std::fflush(stdout);
        });
    }
    agent.start();
    return app.exec();
}
