#include "guisupport.h"

#include "app/consolewindow.h"

#include <QApplication>
#include <QTimer>
#include <QWidget>

std::unique_ptr<ConsoleWindow> makeConsole()
{
    auto console = std::make_unique<ConsoleWindow>();
    console->clockTimer()->stop(); // the tests tick by hand
    console->show();
    return console;
}

void whenModalShown(std::function<void(QWidget*)> action)
{
    auto* timer = new QTimer;
    timer->setInterval(0);
    QObject::connect(timer, &QTimer::timeout, [timer, action] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible())
            return;
        timer->stop();
        timer->deleteLater();
        action(modal);
    });
    timer->start();
}
