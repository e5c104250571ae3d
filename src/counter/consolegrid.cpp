#include "consolegrid.h"

#include "common/egridmodel.h"
#include "common/values.h"

void setupGrid(EGridModel& grid, int machineCount) { setupGrid(grid, CounterState::numbered(machineCount)); }

void setupGrid(EGridModel& grid, const QVector<MachineSlot>& machines)
{
    const int machineCount = int(machines.size());
    using G = EGridModel;
    grid.setGridColumnCount(ConsoleColumn::Count);
    grid.setGridRowCount(machineCount + 1);
    grid.setFixedColumns(1);
    grid.setShowZero(true);

    static const int widths[ConsoleColumn::Count] = { 40, 90, 90, 55, 50, 55, 35, 45, 55, 55, 55 };
    for (int c = 0; c < ConsoleColumn::Count; ++c)
        grid.setColumnWidth(c, widths[c]);

    grid.setAlignment(0, 0, machineCount, 10, G::AlignCentre);

    static const char16_t* const titles[] = { u"上机时间", u"结束时间", u"计时(分)", u"分钟价", u"金额", u"定时",
        u"倒计时", u"押金", u"商品额", u"余额" };
    for (int c = 1; c <= 10; ++c)
        grid.setCell(0, c, QString::fromUtf16(titles[c - 1]));

    static const G::ColumnType types[] = { G::TextColumn, G::TextColumn, G::NumberColumn, G::MoneyColumn, G::MoneyColumn,
        G::NumberColumn, G::NumberColumn, G::MoneyColumn, G::MoneyColumn, G::MoneyColumn };
    for (int c = 1; c <= 10; ++c)
        grid.setColumnType(c, types[c - 1]);

    grid.setDecimals(ConsoleColumn::MinutePrice, 3);
    for (int c : { ConsoleColumn::Amount, ConsoleColumn::Deposit, ConsoleColumn::Goods, ConsoleColumn::Balance })
        grid.setDecimals(c, 1);

    grid.setFormula(ConsoleColumn::Minutes, ConsoleColumn::MinutePrice, G::Multiply, ConsoleColumn::Amount);
    grid.setAlternateRowColours(1, QColor(255, 255, 255), QColor(0, 255, 255));

    grid.setReadOnly(0, 0, machineCount, 5, true);
    grid.setReadOnly(0, 7, machineCount, 7, true);
    grid.setReadOnly(0, 9, machineCount, 10, true);

    for (int r = 1; r <= machineCount; ++r) {
        const MachineSlot& m = machines[r - 1];
        grid.setCell(r, ConsoleColumn::Label, toText(m.number) + QStringLiteral("号"));
        grid.setCellDescription(r, ConsoleColumn::Label, m.name);
        grid.setRowBackground(r, m.colour);
    }
}
