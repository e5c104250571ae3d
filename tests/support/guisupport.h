#pragma once

#include "testsupport.h"

#include <functional>

class QWidget;

// Runs action on the next modal window as soon as it is shown (the call that opens it blocks).
void whenModalShown(std::function<void(QWidget*)> action);
