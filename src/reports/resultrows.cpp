#include "resultrows.h"

#include "common/egridmodel.h"

void prepareResultRows(EGridModel& grid, int n)
{
    grid.removeColumnSums(-1);
    grid.setGridRowCount(1);
    if (n < 0)
        return;
    grid.setGridRowCount(n + 2);
    grid.setAlignment(0, 0, n + 1, grid.gridColumnCount() - 1, EGridModel::AlignCentre);
}
