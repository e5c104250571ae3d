#include "guisupport.h"

#include <QApplication>
#include <QTimer>
#include <QWidget>

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
