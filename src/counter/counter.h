#pragma once

#include "counterstate.h"
#include "store/ledgertable.h"
#include "store/usagetable.h"

#include <QString>
#include <QStringList>
#include <QSet>
#include <QVector>

#include <QHash>

#include <functional>

class Database;
class EGridModel;

// What a restart found of the usages a crash left open.
struct RestoredUsages {
    QVector<UsageRow> timing; // timing again
    QVector<MachineBill> awaitingCheckout; // stopped, their checkout to be opened again
    QStringList skipped; // rows that name no machine or cannot be read
    QString readError; // the table could not be read at all
    QVector<int> repriced; // machines whose plan could not be read: priced per minute as written
    DateTime lastSeen; // when the program was last known running
    bool lastSeenKnown = false;
    bool isEmpty() const { return timing.isEmpty() && awaitingCheckout.isEmpty(); }
};

// The one place where a machine's usage changes: starting, stopping, a typed 定时 or 押金,
// goods put on its bill and the checkout that settles it. Each operation changes the counter's
// state and the console grid, and writes the usage to date.mdb first, in the same transaction
// as any booking it belongs to, so that a crash loses nothing the grid has shown. Without a
// database (or while it cannot be written) the change is still made, and the usage is marked
// as unprotected.
class Counter {
public:
    Counter(CounterState& state, EGridModel& grid, Database* db = nullptr);

    CounterState& state() { return m_state; }
    const CounterState& state() const { return m_state; }
    EGridModel& grid() { return m_grid; }
    const EGridModel& grid() const { return m_grid; }

    // The machines the console lists, the grid built anew for them. Open usages keep their
    // figures in their machine's new row; a machine with an open usage stays listed.
    void setMachines(const QVector<MachineSlot>& machines);
    // Machines another counter times on a shared store: their usages are left to it.
    void setMachinesElsewhere(const QSet<int>& numbers) { m_elsewhere = numbers; }

    bool isTiming(int n) const;
    // Timing, or stopped with its checkout not yet settled.
    bool isOpen(int n) const { return isTiming(n) || m_awaiting.contains(n); }
    // Whether any machine is timing or waits for its checkout.
    bool hasOpenUsage() const { return anyOpen(); }
    void start(int n, const QString& clockText, const QString& rateText);
    MachineBill stop(int n, const QString& clockText);

    // The operator finished typing into a cell of machine n's row. A deposit beyond what a
    // single carries to the cent, or a negative one, is refused: the cell goes back to what was
    // written and false is returned, with why.
    bool acceptTyped(int n, int column, QString* why = nullptr);

    // Books a sale through `book` (which writes its income rows) and, on account, adds the
    // total to machine n's 商品额, in one transaction with its ledger row: all or nothing. The
    // total is the amount booked, to the cent (the ledger records it); the grid changes only
    // once it is committed.
    bool bookGoods(int n, bool onAccount, const QString& totalText, const std::function<bool(QString*)>& book,
        QString* error, const QString& goodsNames = QString(),
        const QString& method = QString(), const QString& reference = QString());

    // Settles machine n's checkout through `book`, which books it and gives the text of the
    // income booked (empty when nothing was to be booked); the usage ends in the same
    // transaction, so a booked checkout is never restored. The grid shows the income after.
    bool bookCheckout(int n, const std::function<bool(QString* bookedText, QString* error)>& book, QString* error);
    // The checkout window closed: whatever it did, the usage is over.
    void endUsage(int n);
    // Usages that ended while the store could not remove them, removed now; false when some
    // are still in the file (they would come back at the next start).
    bool flushEnded();

    // Once a second, after the tick: keeps the last-seen moment at most a quarter minute old
    // while any usage is open. No other write happens in the tick.
    void keepAlive();

    // At start: the usages left open, put back on the grid with their original start times and
    // prices; machines awaiting checkout come back idle with their bill.
    RestoredUsages restore();
    // The operator's answer on the time the program was down: charged, the start times stay;
    // not charged, they move forward by the gap. Kept with the usages, so it is asked once.
    void settleInterruption(bool charged, DateTime lastSeen);

    // A package of its plan sold to timing machine n: its price goes on the bill and the time
    // it covers is not metered. Refused (why in `error`) for a machine not timing, a package its
    // usage's plan does not have, or one whose time another package sold to it covers.
    bool sellPackage(int n, const QString& name, QString* error);
    // The system clock moved by `seconds` against the time that passed, with machines timing:
    // kept, their start times move with it so that they are billed for the time that passed;
    // either way the ledger says it.
    void settleClockJump(qint64 seconds, bool keepRealTime);

    // A row of the counter's own (a new hourly rate): written now, or with the next write the
    // store takes.
    void record(const LedgerEntry& entry);
    // A row the store could not take with its change: written with the next write it takes.
    void defer(const LedgerEntry& entry);

    // The deposits of the machines timing now, which stay in the drawer for the next shift.
    double depositsHeld() const;
    // Told the machine whose usage changed (started, stopped, settled, its 定时, restored), after
    // the change: the client PCs hear of it through this.
    void setObserver(std::function<void(int)> observer) { m_observer = std::move(observer); }
    // The client PCs' states (在线 / 离线 by machine; none while the feature is off), shown in
    // the rows' titles.
    void setClientStatuses(const QHash<int, QString>& statuses);

    // Whether every open usage is written to date.mdb as the grid shows it.
    bool isProtected() const;
    QString unprotectedText() const;

    // The usage of machine n as the state and the grid hold it.
    UsageRow usageOf(int n) const;

private:
    bool valid(int n) const { return m_state.isListed(n); }
    int row(int n) const { return m_state.rowOf(n); }
    // Writes one change and its ledger row; a failure leaves the change in memory and marks
    // machine n.
    void journal(int n, const LedgerEntry& entry, const std::function<bool(QString*)>& write);
    LedgerEntry entry(const QString& kind, int n) const;
    void markWritten(int n, bool written);
    // Inside a transaction: what the file missed, written; machine n is being written anyway.
    bool catchUp(int n, QString* error);
    void caughtUp();
    bool anyOpen() const;
    void restorePlan(MachineRecord& m, const UsageRow& usage, RestoredUsages& found);
    // Moves machine n's start (and its packages' sale) by `days`; true when it has packages.
    bool moveStart(int n, double days);

    CounterState& m_state;
    EGridModel& m_grid;
    Database* m_db;
    QVector<int> m_unprotected;
    QVector<int> m_awaiting; // stopped, checkout not yet settled
    QVector<int> m_endedUnwritten; // ended, but still in the file
    QVector<LedgerEntry> m_unwrittenLedger; // rows of changes the store could not take
    bool m_gapOpen = false; // restored usages wait for the answer on the interruption
    QHash<int, QString> m_deposit, m_fixed; // by machine, as last written, for the ledger
    qint64 m_lastSeenWritten = -1; // the second, since the epoch
    QSet<int> m_elsewhere; // machines of another counter on a shared store
    QHash<int, PlanRef> m_restoredPlans; // by version, read once
    std::function<void(int)> m_observer;
    void changed(int n) const
    {
        if (m_observer)
            m_observer(n);
    }
    void allTimingChanged() const;
};

// "系统时间被改动：向前调了5分钟"
QString clockJumpText(qint64 seconds);
// The question on the time between the last run and `back`, when usages were found open.
QString restoreQuestion(const RestoredUsages& found, const DateTime& back);
