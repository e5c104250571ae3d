#pragma once

#include "common/values.h"

#include <QString>

#include <array>
#include <cstdint>

// One machine's usage between start and stop; its money values live in the console grid.
struct MachineRecord {
    std::int32_t state = 0; // 0 idle, 1 timing
    DateTime startTime;
    float perMinutePrice = 0.0f;
};

constexpr int kMachines = 15;

// Entries 1..15 (entry 0 is never used, so a machine number is its own index).
class MachineTable {
public:
    MachineRecord& operator[](int n);
    const MachineRecord& operator[](int n) const;

private:
    std::array<MachineRecord, kMachines + 1> m_entries {};
};

// What the stop of a machine hands to its checkout: the machine and its bill cells as they
// stood at the last tick.
struct MachineBill {
    int machineNo = 0;
    QString feeText;
    QString goodsText;
    QString depositText;
};

enum class ReminderKind { FixedTime = 1, Deposit = 2 };

// The counter's state for the life of the console window, which owns it and hands it by
// reference to the operations that start, stop and price machines.
struct CounterState {
    MachineTable machineTable;
    int machineCount = 0;
    int runningCount = 0;
    float hourlyRate = 0.0f;
    int reminderCounter = 0;

    // The first timing machine, or 0 when every machine is idle.
    int firstTimingMachine() const;
};
