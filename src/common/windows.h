#pragma once

#include "values.h"

#include <QDateTimeEdit>
#include <QPointer>
#include <QStatusBar>
#include <QString>
#include <QTreeWidget>
#include <QVector>

#include <functional>

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

// A new button on the template's window with all of the template's properties
// (geometry, caption, font, tag, visibility); the caller connects its click.
QPushButton* copyControl(QPushButton* templateButton);

// Runs handler on every click of the button; inside it, eventSource() is that button.
// Buttons that share one handler tell themselves apart this way.
void onClick(QPushButton* button, QObject* context, std::function<void()> handler);
// The control whose event is being handled, or null outside a handler.
QObject* eventSource();

// The "tag" text that a control carries.
QString tagOf(const QObject* control);
void setTag(QObject* control, const QString& tag);

void setFocus(QWidget* control);

// Widens the labels of a window whose caption does not fit its stored width in the
// font at hand; their positions stay as laid out.
void fitLabels(QWidget* window);

// Combo box items; an index outside the list gives the empty text.
int addComboItem(QComboBox* box, const QString& text, int itemNumber = 0);
QString getComboItem(const QComboBox* box, int index);

// A status bar made of parts of fixed widths; a width of -1 takes the rest of the row.
class PartStatusBar : public QStatusBar {
    Q_OBJECT
public:
    explicit PartStatusBar(QWidget* parent = nullptr);
    void setParts(const QVector<int>& widths);
    void setStatusText(int part, const QString& text);
    QString statusText(int part) const;
    QLabel* part(int index) const;

private:
    QVector<QLabel*> m_parts;
};

// A report-style list: titled columns, rows of cell texts, one selected row.
class ListView : public QTreeWidget {
    Q_OBJECT
public:
    explicit ListView(QWidget* parent = nullptr);
    void setColumns(const QStringList& titles, const QVector<int>& widths);
    void clearRows();
    int appendRow();
    void setListCell(int row, int column, const QString& text);
    QString getListCell(int row, int column) const;
    int rowCount() const { return topLevelItemCount(); }
    // -1 when no row is selected.
    int selectedRow() const;

signals:
    void currentRowChanged(int row);
};

// A date picker; one laid out without a stored date opens on the current date and time.
class DatePicker : public QDateTimeEdit {
    Q_OBJECT
public:
    explicit DatePicker(QWidget* parent = nullptr);
    DateTime value() const;
    void setValue(DateTime t);
};

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
