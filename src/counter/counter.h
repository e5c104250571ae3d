#pragma once

#include "counterstate.h"

#include <QString>

class EGridModel;

// The one place where a machine's usage changes: starting, stopping, a typed 定时 or 押金,
// goods put on its bill and the income its checkout booked. Each operation changes the
// counter's state and the console grid together; windows only report what they did, and the
// console applies it here.
class Counter {
public:
    Counter(CounterState& state, EGridModel& grid);

    CounterState& state() { return m_state; }
    const CounterState& state() const { return m_state; }
    EGridModel& grid() { return m_grid; }

    bool isTiming(int n) const;
    void start(int n, const QString& clockText, const QString& rateText);
    MachineBill stop(int n, const QString& clockText);

    // The operator finished typing into a cell of machine n's row. A deposit beyond what a
    // single carries to the cent is refused: the cell is emptied and false returned.
    bool acceptTyped(int n, int column);

    // A sale on account: its total added to the machine's 商品额, as the cell stands.
    void chargeGoods(int n, const QString& totalText);

    // The machine income its checkout booked, shown in the machine's 金额.
    void recordCheckout(int n, const QString& bookedText);

private:
    bool valid(int n) const { return n >= 1 && n <= m_state.machineCount && n <= kMachines; }

    CounterState& m_state;
    EGridModel& m_grid;
};
