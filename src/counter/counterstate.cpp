#include "counterstate.h"

#include <QtGlobal>

#include <algorithm>

MachineRecord& MachineTable::operator[](int n)
{
    Q_ASSERT(n >= 1 && n <= kMaxMachineNo);
    const std::size_t i = std::size_t(n >= 1 && n <= kMaxMachineNo ? n : 0);
    if (i >= m_entries.size())
        m_entries.resize(i + 1);
    return m_entries[i];
}

const MachineRecord& MachineTable::operator[](int n) const
{
    static const MachineRecord idle;
    const std::size_t i = std::size_t(n >= 1 && n <= kMaxMachineNo ? n : 0);
    return i >= 1 && i < m_entries.size() ? m_entries[i] : idle;
}

int CounterState::firstTimingMachine() const
{
    for (const MachineSlot& m : machines) {
        if (machineTable[m.number].state == 1)
            return m.number;
    }
    return 0;
}

void CounterState::setMachines(QVector<MachineSlot> list)
{
    std::stable_sort(list.begin(), list.end(),
        [](const MachineSlot& a, const MachineSlot& b) { return a.number < b.number; });
    machines.clear();
    m_rows.fill(0);
    for (const MachineSlot& m : std::as_const(list)) {
        if (m.number < 1 || m.number > kMaxMachineNo || (!machines.isEmpty() && machines.last().number == m.number))
            continue;
        machines.append(m);
        if (m.number >= m_rows.size())
            m_rows.resize(m.number + 1);
        m_rows[m.number] = int(machines.size());
    }
}

QVector<MachineSlot> CounterState::numbered(int count)
{
    QVector<MachineSlot> list;
    for (int n = 1; n <= count; ++n)
        list.append(MachineSlot { n, QString(), QString(), QColor() });
    return list;
}

QString CounterState::zoneOf(int n) const
{
    const int row = rowOf(n);
    const QString zone = row > 0 ? machines[row - 1].zone : QString();
    return zone.isEmpty() ? defaultZoneName() : zone;
}
