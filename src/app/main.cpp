#include "app/consolewindow.h"
#include "widgets/windows.h"

#include "common/gbk.h"
#include "common/seams.h"

#include <QApplication>
#include <QLockFile>
#include <QMessageBox>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    // Names the user's data directory (~/.local/share/langtuo) of an installed program.
    QApplication::setApplicationName(QStringLiteral("langtuo"));
    installWidgetResponders();
    // Button captions, the settings file and typed numbers are read through GBK; a Qt built
    // without that code page would start machines that can never be stopped.
    if (!gbkAvailable()) {
        QMessageBox::critical(nullptr, QStringLiteral("朗拓管家"), QStringLiteral("此 Qt 不支持 GBK 编码，程序无法运行。"));
        return 1;
    }
    // One program on one date.mdb: a second would write between the other's locks, and a
    // backup's copy of the file relies on nobody else writing it.
    QLockFile running(seams::dataFile(QStringLiteral("langtuo.lock")));
    if (!running.tryLock(200)) {
        QMessageBox::warning(nullptr, QStringLiteral("朗拓管家"), QStringLiteral("朗拓管家已经在运行。"));
        return 1;
    }
    int result = 0;
    {
        ConsoleWindow console;
        QObject::connect(&console, &ConsoleWindow::closed, &app, &QCoreApplication::quit, Qt::QueuedConnection);
        console.show();
        result = app.exec();
    }
    return result;
}
