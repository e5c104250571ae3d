#include "counterstate.h"

#include <QtGlobal>

MachineRecord& MachineTable::operator[](int n)
{
    Q_ASSERT(n >= 1 && n <= kMachines);
    return m_entries[std::size_t(n >= 1 && n <= kMachines ? n : 0)];
}

const MachineRecord& MachineTable::operator[](int n) const
{
    Q_ASSERT(n >= 1 && n <= kMachines);
    return m_entries[std::size_t(n >= 1 && n <= kMachines ? n : 0)];
}

int CounterState::firstTimingMachine() const
{
    for (int n = 1; n <= kMachines; ++n) {
        if (machineTable[n].state == 1)
            return n;
    }
    return 0;
}
