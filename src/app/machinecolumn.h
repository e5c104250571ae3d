#pragma once

#include "counter/counterstate.h"

#include <QHash>
#include <QObject>
#include <QString>

#include <functional>

class EGrid;
class QKeyEvent;
class QPushButton;
class QWidget;

// The machine buttons beside the grid, one per machine listed. They sit in a strip as tall as
// the grid that scrolls with it, so each button stays beside its machine's row however long the
// list; the wheel over them scrolls the grid, and digits typed on the grid find a machine.
class MachineColumn : public QObject {
    Q_OBJECT
public:
    // `model` is the button every machine's button copies; it is hidden.
    MachineColumn(EGrid* grid, QPushButton* model, const CounterState& state, QObject* parent);

    // One button per machine, captioned as its machine's state.
    void rebuild(const std::function<bool(int)>& isTiming);
    QPushButton* button(int machineNo) const { return m_buttons.value(machineNo); }
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

    EGrid* m_grid;
    QPushButton* m_model;
    const CounterState& m_state;
    QWidget* m_strip; // clips the buttons to the grid's height
    QWidget* m_column; // holds them, moved with the grid's scrolling
    QHash<int, QPushButton*> m_buttons; // by machine number
    QString m_typedNumber; // digits typed on the grid to find a machine
    qint64 m_typedAt = 0;
};
