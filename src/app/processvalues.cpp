#include "processvalues.h"

#include <QtGlobal>

MachineTable machineTable;
int machineCount = 0;
int runningCount = 0;
QString checkoutFeeText;
QString checkoutGoodsText;
QString checkoutDepositText;
int checkoutMachineNo = 0;
float hourlyRate = 0.0f;
int reminderCounter = 0;
int memberIsNew = 0;
int goodsIsNew = 0;
int reportSelectedRow = 0;

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

void MachineTable::reset() { m_entries.fill(MachineRecord {}); }

void resetProcessValues()
{
    machineTable.reset();
    machineCount = 0;
    runningCount = 0;
    checkoutFeeText.clear();
    checkoutGoodsText.clear();
    checkoutDepositText.clear();
    checkoutMachineNo = 0;
    hourlyRate = 0.0f;
    reminderCounter = 0;
    memberIsNew = 0;
    goodsIsNew = 0;
    reportSelectedRow = 0;
}
