#pragma once

#include "common/values.h"

#include <QPointer>
#include <QString>

#include <functional>

class EGrid;
class QComboBox;
class QLabel;
class QPushButton;
class QWidget;

// Shows real message boxes and rings the system bell; called once by the program at start.
void installWidgetResponders();

// Opens a window over its parent. Modal: returns when it has been closed, the parent taking
// no input meanwhile (timers keep running). Not modal: returns at once.
bool loadWindow(QWidget* window, QWidget* parent, bool modal);
// Closes and destroys a window.
void closeWindow(QWidget* window);

// A new button on the template's window (or on `parent`) with all of the template's properties
// (geometry, caption, font, tag, visibility); the caller connects its click.
QPushButton* copyControl(QPushButton* templateButton, QWidget* parent = nullptr);

// The "tag" text that a control carries.
QString tagOf(const QObject* control);
void setTag(QObject* control, const QString& tag);

void setFocus(QWidget* control);

// What every window does once its form is set up: it stands at its laid-out place (50, 50;
// the form gives a top-level window its size only), labels that do not fit their stored width
// in the font at hand are widened, and its grid, if any, gets the 24-pixel rows.
void layOutWindow(QWidget* window, EGrid* grid = nullptr);

// What a small dialog of the program's own does besides: no help button, and it stands over
// the middle of the window it serves, where the operator is looking.
void layOutDialog(QWidget* dialog, QWidget* over);

// Widens the labels of a window whose caption does not fit its stored width in the
// font at hand; their positions stay as laid out.
void fitLabels(QWidget* window);

// The store's text of a failed write or read, in an error box; nothing for the empty text,
// which stands for a failure the store has shown already.
void showStoreError(const QString& text);

// Combo box items; an index outside the list gives the empty text.
int addComboItem(QComboBox* box, const QString& text, int itemNumber = 0);
QString getComboItem(const QComboBox* box, int index);

// A non-modal window that is opened at most once: asking again raises the open one.
template <typename W, typename Make>
W* showOnce(QPointer<W>& slot, QWidget* parent, Make make)
{
    if (slot) {
        slot->show();
        slot->raise();
        slot->activateWindow();
        return slot;
    }
    slot = make();
    loadWindow(slot, parent, false);
    return slot;
}
