#pragma once

#include "counter/clockwatch.h"
#include "counter/counter.h"
#include "counter/counterstate.h"
#include "counter/rights.h"

#include <QObject>

#include <functional>
#include <memory>
#include <optional>

class BackupRunner;
class ClientService;
struct BackupOutcome;
class Database;
class EGridModel;
class RecordSet;

// The program's session, from its start to its close: the counter and its state, the store,
// the operator at the counter, the open shift and the backups. It is the one owner of them;
// the windows show what it holds, are handed what they need and forward what the operator
// does. What it has to say about the store and the copies it says itself; questions that need
// a window of their own come back to the console through the hooks below.
class Session : public QObject {
    Q_OBJECT
public:
    // Reads the settings and the rate, opens the store, the shift, the machines and the copies,
    // and puts back the usages a crash left open (asked about through takeRestored()).
    explicit Session(EGridModel& grid, QObject* parent = nullptr);
    ~Session() override;

    CounterState& state() { return m_state; }
    const CounterState& state() const { return m_state; }
    Counter& counter() const { return *m_counter; }
    Database& database() const { return *m_db; }
    RecordSet& recordSet() const { return *m_rs; }
    Rights& rights() { return m_rights; }
    const Rights& rights() const { return m_rights; }
    BackupRunner& backups() const { return *m_backups; }
    ClientService& clients() const { return *m_clients; }

    // The login, shown by the console until somebody logs in; false when the program closed.
    void setLogIn(std::function<bool()> logIn) { m_logIn = std::move(logIn); }
    // The opening float asked of the operator, offered the drawer's last count.
    void setFloatAsker(std::function<double(double)> ask) { m_askFloat = std::move(ask); }

    // The rate the settings gave at start, as typed there.
    QString startRate() const { return m_startRate; }
    // A rate within the money limit is taken (a change written to the ledger); false, and the
    // last one taken kept, for anything else.
    bool acceptRate(const QString& text);
    QString acceptedRate() const { return m_acceptedRate; }
    // A deposit or 定时 typed on a machine's row; `why` says a refusal.
    bool acceptTyped(int row, int column, QString* why);

    // The machines and zones the store lists, taken when they differ from those shown; true
    // when they changed.
    bool loadMachines();
    bool isOpen(int machineNo) const { return m_counter->isOpen(machineNo); }
    // The zones' price plans as the store now holds them; running usages keep theirs.
    void loadPlans();
    // Once a second: how far the system clock was set (seconds, forward positive) against the
    // time that passed, while machines time; 0 when it was not.
    qint64 clockJump();

    // Who may work the counter, from the operators in the store: nobody logs in while none is
    // defined; the login is asked when some are; owner rights wait while they cannot be read.
    // False when the program closed at the login.
    bool settleOperators();
    void loggedIn(const QString& name, const QString& role);
    void loggedOut();
    // 切换操作员: the one leaving is written down before the next logs in.
    void recordLogOut();
    // The first owner made in 操作员管理 by whoever was at the counter: logged in as such.
    void firstOwnerMade(const QString& name);
    // The operator at the counter as the store now lists them (their role may have changed);
    // false when unchanged or unknown.
    bool reReadOperator();

    // The open shift whose number the ledger rows carry; a new one when none is open, its float
    // asked when `ask` (after a login), or else what the last shift left.
    void ensureShift(bool ask);
    // The deposits of the machines timing now, which stay in the drawer for the next shift.
    double depositsHeld() const { return m_counter->depositsHeld(); }
    // Everything of the shift is in the store, so it can be counted; `why` says what is not.
    bool allWritten(QString* why) const;
    // After a handover: its copy, and the next shift (after the next login when operators are
    // defined; false then when the program closed at it).
    bool handedOver();

    // The usages found open at start or after a restore, once; the console asks about them.
    std::optional<RestoredUsages> takeRestored();
    bool hasRestoredTiming() const { return m_restored && !m_restored->timing.isEmpty(); }
    void settleInterruption(bool charged, const RestoredUsages& found, const DateTime& back);
    // A usage the store could not write is said once, and again only after it was written.
    void sayIfUnprotected();

    // A copy is begun when none is under way; what it did is said when it ends.
    void startBackup(int firstStepAfterMs = 0);
    // The strip's warning on the newest copy's age: empty while copies are fresh.
    QString backupWarning() const;
    // The second folder as 备份 left it, written to the settings when it changed.
    void keepSecondFolder();
    // Puts a copy in place of date.mdb (an owner's action, with no machine open) and starts the
    // session afresh on it. `closeWindows` closes what shows the old file.
    bool restoreDatabase(const QString& copyPath, const std::function<void()>& closeWindows);

    // False, said, while machines time. Otherwise the session ends: the rate written, the
    // copy awaited, the operator logged out.
    bool close(const QString& rateText);

signals:
    // Another counter of the server gave machines to this one or took them: lay them out again.
    void machinesChanged();
    void backupStateChanged();
    void operatorChanged(const QString& name, const QString& role);

private:
    void restoreUsages();
    void backupDone(const BackupOutcome& outcome);

    CounterState m_state;
    Database* m_db;
    RecordSet* m_rs;
    std::unique_ptr<Counter> m_counter; // every change to a usage goes through it
    Rights m_rights;
    BackupRunner* m_backups = nullptr;
    ClientService* m_clients = nullptr;
    std::function<bool()> m_logIn;
    std::function<double(double)> m_askFloat;
    QString m_startRate;
    QString m_acceptedRate; // the last rate taken within the money limit
    bool m_unprotectedSaid = false;
    bool m_secondFolderMissingSaid = false;
    QString m_secondFolder; // as the settings hold it
    std::optional<RestoredUsages> m_restored;
    ClockWatch m_clockWatch;
};
