#pragma once

class EGridModel;

// A result grid as laid out: the columns, nine rows of the default width, zero shown, and
// every laid-out cell centred.
void layOutResultGrid(EGridModel& grid, int columns);

// Makes room for n result rows and the total row below them. The rows of an earlier, longer
// result leave nothing behind (not even a running number in the new total row), and every
// row is centred, not only those laid out. A query that could not run (n < 0) leaves the
// title row alone. Column sums are the caller's, set once the rows exist.
void prepareResultRows(EGridModel& grid, int n);
