#pragma once

#include "common/egridmodel.h"
#include "counter/consolegrid.h"
#include "counter/counter.h"
#include "testsupport.h"

// A counter on a fresh date.mdb and a console grid of fifteen machines, its clock standing
// still at `start`: where the tests of what the counter books start.
struct CounterFixture {
    explicit CounterFixture(const QDateTime& start)
        : clock(start)
    {
        setupGrid(grid, kMachines);
    }

    TestClock clock;
    StoreFixture store;
    CounterState state;
    EGridModel grid;
    Counter counter { state, grid, &store.db };
};
