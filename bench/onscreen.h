#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QWidget>
#include <QWindow>

// Until the window is on the screen as an operator sees it: shown, mapped by the display
// server (which offscreen does at once) and painted once. Every start figure stops its clock
// here, for the console and for the bare window alike.
inline void waitUntilOnScreen(QWidget& window)
{
    QCoreApplication::processEvents();
    QElapsedTimer waited;
    waited.start();
    while (window.windowHandle() && !window.windowHandle()->isExposed() && waited.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    QCoreApplication::processEvents();
}
