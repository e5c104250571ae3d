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

void layOutResultGrid(EGridModel& grid, int columns)
{
    const int laidOutRows = 9;
    const int laidOutWidth = 60;
    grid.setGridColumnCount(columns);
    grid.setGridRowCount(laidOutRows);
    for (int c = 0; c < columns; ++c)
        grid.setColumnWidth(c, laidOutWidth);
    grid.setShowZero(true);
}
