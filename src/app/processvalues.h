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
    void reset();

private:
    std::array<MachineRecord, kMachines + 1> m_entries {};
};

// Values shared by the windows for the life of the process.
extern MachineTable machineTable;
extern int machineCount;
extern int runningCount;
extern QString checkoutFeeText;
extern QString checkoutGoodsText;
extern QString checkoutDepositText;
extern int checkoutMachineNo;
extern float hourlyRate;
extern int reminderCounter;
extern int memberIsNew;
extern int goodsIsNew;
extern int reportSelectedRow;

// Back to the state of a fresh start: every machine idle, texts empty, numbers 0.
void resetProcessValues();
