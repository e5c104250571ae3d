#pragma once

#include "common/values.h"
#include "plantext.h"
#include "priceplan.h"
#include "store/machinetable.h"

#include <QHash>

#include <QColor>
#include <QString>
#include <QVector>

#include <cstdint>
#include <memory>
#include <vector>

// What the tick last saw of a timing machine's row: while the minutes and the row's texts are
// the same, the tick has nothing to write there.
struct TickSeen {
    int row = 0;
    int minutes = -1;
    quint64 revision = 0;
    float amount = 0.0f;
    bool reminded = false;
};

// A saved version of a zone's price plan, shared by the usages that started on it.
struct ZonePlan {
    int version = 0;
    PricePlan plan;
};
using PlanRef = std::shared_ptr<const ZonePlan>;

// One machine's usage between start and stop; its money values live in the console grid.
struct MachineRecord {
    std::int32_t state = 0; // 0 idle, 1 timing
    DateTime startTime;
    float perMinutePrice = 0.0f;
    TickSeen seen;
    PlanRef plan; // the version it started on; none: priced by the rate box
    QVector<SoldPackage> packages;
    QVector<CoveredStretch> covered; // what the packages cover, from the start
    int startMinuteOfDay = 0;
    // A plan a restored usage named but that could not be read: written back as it was, so
    // that nothing of it is lost while the usage goes on at its price per minute.
    int keptPlanVersion = 0;
    QString keptPackages;
};

// The machines a café has when the owner has set none.
constexpr int kMachines = 15;

// One record per machine number (entry 0 is never used, so a number is its own index); the
// table grows to the highest number asked for.
class MachineTable {
public:
    MachineRecord& operator[](int n);
    const MachineRecord& operator[](int n) const;

private:
    std::vector<MachineRecord> m_entries = std::vector<MachineRecord>(kMachines + 1);
};

// A machine as the console lists it: one grid row and one button each, in number order.
struct MachineSlot {
    int number = 0;
    QString name;
    QString zone;
    QColor colour; // the zone's, when the owner chose one
};

// What the stop of a machine hands to its checkout: the machine and its bill cells as they
// stood at the last tick.
struct MachineBill {
    int machineNo = 0;
    QString feeText;
    QString goodsText;
    QString depositText;
    // Priced by a plan: the fee settled by card (the member discount off the metered part) and
    // the lines that explain either fee.
    bool planned = false;
    QString cardFeeText {};
    QStringList lines {}, cardLines {};
};

enum class ReminderKind { FixedTime = 1, Deposit = 2 };

// The counter's state for the life of the console window, which owns it and hands it by
// reference to the operations that start, stop and price machines.
struct CounterState {
    MachineTable machineTable;
    QVector<MachineSlot> machines; // grid row r is machines[r - 1]
    int runningCount = 0;
    float hourlyRate = 0.0f;
    int reminderCounter = 0;
    QHash<QString, PlanRef> zonePlans; // the plans in use, by zone; a zone without one bills by the rate box
    QHash<int, QString> clientStatus; // 在线 or 离线, of the machines that have an allowed client PC

    // The first timing machine, or 0 when every machine is idle.
    int firstTimingMachine() const;

    // Until set otherwise, the default fifteen.
    CounterState() { setMachines(numbered(kMachines)); }
    int machineCount() const { return int(machines.size()); }

    // The machines listed, in number order; numbers outside 1..kMaxMachineNo and
    // repeats are left out.
    void setMachines(QVector<MachineSlot> list);
    // Machines 1..count with no name or zone.
    static QVector<MachineSlot> numbered(int count);
    // The grid row of machine n, 0 when it is not listed.
    int rowOf(int n) const { return n >= 1 && n < m_rows.size() ? m_rows[n] : 0; }
    // The machine of grid row r, 0 for the header or a row beyond the list.
    int machineAt(int row) const { return row >= 1 && row <= machines.size() ? machines[row - 1].number : 0; }
    bool isListed(int n) const { return rowOf(n) != 0; }
    // The zone machine n stands in (大厅 when it has none), and the plan a start there takes.
    QString zoneOf(int n) const;
    PlanRef planFor(int n) const { return zonePlans.value(zoneOf(n)); }

private:
    QVector<int> m_rows; // by machine number
};
