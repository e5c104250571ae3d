#pragma once

#include "counter/counter.h"
#include "counter/counterstate.h"
#include "counter/pricing.h"
#include "counter/rights.h"

#include <QMainWindow>
#include <QPointer>

#include <QHash>
#include <memory>
#include <optional>

class BackupRunner;
struct BackupOutcome;
class Counter;
class Database;
class EGrid;
class LedgerWindow;
class MemberWindow;
class ReportWindow;
class SaleWindow;
class QPushButton;
class QTextBrowser;
namespace Ui {
class ConsoleWindow;
}
class QKeyEvent;
class QTimer;
class RecordSet;

// The start window and the program's only permanent window: the machine grid and buttons,
// the clock, the hourly rate and the status bar. It owns the counter's state, the settings
// file, the database connection and record set that every window borrows, and the tick.
class ConsoleWindow : public QMainWindow, private ConsoleStatus {
    Q_OBJECT
public:
    explicit ConsoleWindow(QWidget* parent = nullptr);
    ~ConsoleWindow() override;

    EGrid* grid() const;
    Database& database() const { return *m_db; }
    RecordSet& recordSet() const { return *m_rs; }
    const CounterState& state() const { return m_state; }
    QPushButton* machineButton(int n) const;
    QTimer* clockTimer() const { return m_timer; }
    QString statusText(int part) const;

    // The click of a machine button: start an idle machine, stop and settle a timing one.
    void toggleMachine(QPushButton* source);
    void tickSecond();

    // The windows of the buttons above the grid, each open at most once; asking again
    // raises the open one.
    MemberWindow* openMembers();
    SaleWindow* openSale();
    ReportWindow* openReport();
    LedgerWindow* openLedger();
    // 操作员管理, for an owner (anybody while no operator is defined).
    void openOperators();
    // 机器设置, for an owner (anybody while no operator is defined).
    void openMachines();
    // 切换操作员: the operator at the counter logs out and 登录 is shown again.
    void switchOperator();
    // 登录, until an operator logs in; 退出 there closes the console as its own close would,
    // and shows 登录 again when the close is refused. False when the console closed.
    bool logIn();
    const Rights& rights() const { return m_rights; }
    // 交班: the handover of the open shift; the next shift opens after it.
    void openShiftWindow();
    // 备份: the copies, 立即备份, the second folder and the owner's restore.
    void openBackups();
    // Puts a copy in place of date.mdb (an owner's action, with no machine open) and starts
    // the console afresh on it.
    bool restoreDatabase(const QString& copyPath);
    BackupRunner& backups() const { return *m_backups; }
    // The user's guide in the browser; in a window of the program (returned) when no browser
    // can be started.
    QWidget* openHelp();

signals:
    // The close was allowed: the program ends, other windows with it.
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QString clockText() const override;
    void setClockText(const QString& text) override;
    void setStatusText(int part, const QString& text) override;

    void createMachineButtons();
    // The grid and the buttons for the machines the store lists; open usages keep their rows.
    void showMachines(const QVector<MachineSlot>& machines);
    // The button column follows the grid's first visible row.
    void followGridScroll(int firstRow);
    // Digits typed while the grid has the focus move to that machine's row.
    bool findTypedMachine(QKeyEvent* key);
    // The machines and zones the store lists, shown when they differ from what is shown.
    void loadMachines();
    // A typed rate or deposit outside the money limit is refused where it was typed.
    void checkRate();
    void acceptTypedCell(int row, int column);
    // A usage the store could not write is said once, and shown until it is written again.
    void sayIfUnprotected();
    // The usages a crash left open, back on the grid; the question on the gap, asked after.
    void restoreUsages();
    void askAboutRestore(const RestoredUsages& found);
    // Once the console is on the screen: the login, then the question on restored usages.
    void afterStart();
    // Who may work the counter, from the operators in the store: nobody logs in while none is
    // defined; a login is asked when some are; owner rights wait while they cannot be read.
    // False when the console closed at the login.
    bool settleOperators();
    // The operator's name in the strip; the rate box open to owners only.
    void showOperator(const QString& name, const QString& role);
    // The open shift, whose number the ledger rows carry; a new one when none is open, its
    // float asked when `ask` (after a login) or else what the last shift left.
    void ensureShift(bool ask);
    // The deposits of the machines timing now, which stay in the drawer for the next shift.
    double depositsHeld() const;
    // A copy of date.mdb is begun when none is under way; what it did is said when it ends.
    void startBackup();
    void backupDone(const BackupOutcome& outcome);
    // The strip says in red when the newest copy is more than a day old.
    void showBackupAge();
    // A cashier's try at the rate box: an owner may allow that one change.
    void askToChangeRate();
    // Opens the checkout of a stopped machine; its usage ends when the window closes.
    void settle(const MachineBill& bill);

    std::unique_ptr<Ui::ConsoleWindow> m_ui;
    CounterState m_state;
    std::unique_ptr<Counter> m_counter; // every change to a usage goes through it
    QTimer* m_timer;
    Database* m_db;
    RecordSet* m_rs;
    QHash<int, QPushButton*> machineButtons; // by machine number
    QWidget* m_buttonStrip = nullptr; // clips the buttons to the grid's height
    QWidget* m_buttonColumn = nullptr; // holds them, moved with the grid's scrolling
    QString m_typedNumber; // digits typed on the grid to find a machine
    qint64 m_typedAt = 0;
    QPointer<MemberWindow> m_memberWindow;
    QPointer<SaleWindow> m_saleWindow;
    QPointer<ReportWindow> m_reportWindow;
    QPointer<LedgerWindow> m_ledgerWindow;
    QPointer<QTextBrowser> m_helpWindow;
    bool m_unprotectedSaid = false;
    BackupRunner* m_backups = nullptr;
    bool m_secondFolderMissingSaid = false;
    QString m_acceptedRate; // the rate box's last text within the money limit
    Rights m_rights;
    std::optional<OwnerPermit> m_ratePermit; // while an owner's allowed change of the rate is typed
    std::optional<RestoredUsages> m_restored; // asked about once the console shows
};
