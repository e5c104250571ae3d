#pragma once

#include "counter/counterstate.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>

#include <functional>

class EGrid;
class QKeyEvent;
class QPushButton;
class QTimer;
class QWidget;

// The machine buttons beside the grid, one per machine listed. They sit in a strip as tall as
// the grid that scrolls with it, so each button stays beside its machine's row however long the
// list; the wheel over them scrolls the grid, and digits typed on the grid find a machine.
// The buttons in view are made at once; the others a few at a time once the console is up, so
// a café of hundreds of machines waits for no button it cannot see.
class MachineColumn : public QObject {
    Q_OBJECT
public:
    // `model` is the button every machine's button copies; it is hidden.
    MachineColumn(EGrid* grid, QPushButton* model, const CounterState& state, QObject* parent);

    // One button per machine, captioned as its machine's state.
    void rebuild(const std::function<bool(int)>& isTiming);
    QPushButton* button(int machineNo);
    // "N号停止" in bold while the machine times, "N号开始" otherwise.
    static void showState(QPushButton* button, int machineNo, bool timing);

signals:
    void clicked(QPushButton* button);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The column follows the grid's first visible row.
    void followGridScroll(int firstRow);
    bool findTypedMachine(QKeyEvent* key);
    QPushButton* makeButton(int index);
    void makeButtonsInView();
    void makeSomeMore();

    EGrid* m_grid;
    QPushButton* m_model;
    const CounterState& m_state;
    QWidget* m_strip; // clips the buttons to the grid's height
    QWidget* m_column; // holds them, moved with the grid's scrolling
    QHash<int, QPushButton*> m_buttons; // by machine number, those made so far
    QList<int> m_numbers; // the machines listed at the last rebuild, in row order
    std::function<bool(int)> m_isTiming;
    int m_nextToMake = 0; // where making the rest goes on in m_numbers
    QTimer* m_making;
    QString m_typedNumber; // digits typed on the grid to find a machine
    qint64 m_typedAt = 0;
};
