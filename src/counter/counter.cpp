#include "counter.h"

#include "common/egridmodel.h"
#include "common/values.h"
#include "consolegrid.h"
#include "pricing.h"

Counter::Counter(CounterState& state, EGridModel& grid)
    : m_state(state)
    , m_grid(grid)
{
}

bool Counter::isTiming(int n) const { return valid(n) && m_state.machineTable[n].state == 1; }

void Counter::start(int n, const QString& clockText, const QString& rateText)
{
    if (valid(n))
        startMachine(m_state, m_grid, n, clockText, rateText);
}

MachineBill Counter::stop(int n, const QString& clockText)
{
    return valid(n) ? stopMachine(m_state, m_grid, n, clockText) : MachineBill {};
}

bool Counter::acceptTyped(int n, int column)
{
    if (!valid(n) || column != ConsoleColumn::Deposit || isMoneyText(m_grid.getCell(n, column)))
        return true;
    m_grid.setCell(n, column, QString());
    return false;
}

void Counter::chargeGoods(int n, const QString& totalText)
{
    if (!valid(n))
        return;
    const float goods = float(toNumber(totalText) + toNumber(m_grid.getCell(n, ConsoleColumn::Goods)));
    m_grid.setCell(n, ConsoleColumn::Goods, toText(goods));
}

void Counter::recordCheckout(int n, const QString& bookedText)
{
    if (valid(n))
        m_grid.setCell(n, ConsoleColumn::Amount, bookedText);
}
