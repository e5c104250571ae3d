#include "app/consolewindow.h"
#include "app/processvalues.h"
#include "common/windows.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    installWidgetResponders();
    resetProcessValues();
    int result = 0;
    {
        ConsoleWindow console;
        QObject::connect(&console, &ConsoleWindow::closed, &app, &QCoreApplication::quit, Qt::QueuedConnection);
        console.show();
        result = app.exec();
    }
    resetProcessValues();
    return result;
}
