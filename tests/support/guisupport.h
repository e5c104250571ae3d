#pragma once

#include "common/seams.h"
#include "testsupport.h"

#include <functional>
#include <memory>

class QWidget;

// Runs action on the next modal window as soon as it is shown (the call that opens it blocks).
void whenModalShown(std::function<void(QWidget*)> action);

class ConsoleWindow;
// The console on the screen with its clock stopped: the tests tick by hand.
std::unique_ptr<ConsoleWindow> makeConsole();

// The charts and printing plugins as this build made them, not an installed program's.
inline void useBuiltPlugins() { seams::setPluginDir(QStringLiteral(LANGTUO_BUILT_PLUGIN_DIR)); }
