// The baseline of the start and memory figures: a bare Qt window of the console's size with the
// program's title and one line of its text, so that it carries the fonts and the text shaping
// any Chinese window needs, and nothing of the program. It says "shown" once it is on the
// screen (mapped and painted); with --stay it then waits to be ended, for its memory to be read
// from outside.
#include "onscreen.h"

#include <QApplication>
#include <QLabel>
#include <QMainWindow>

#include <cstdio>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("朗拓管家 1.8"));
    auto* text = new QLabel(QStringLiteral("现在时间："), &window);
    text->move(20, 9);
    window.resize(712, 479);
    window.show();
    waitUntilOnScreen(window);
    std::printf("shown\n");
    std::fflush(stdout);
    return app.arguments().contains(QStringLiteral("--stay")) ? QApplication::exec() : 0;
}
