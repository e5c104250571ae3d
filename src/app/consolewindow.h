#pragma once

#include "counter/counter.h"
#include "counter/counterstate.h"
#include "counter/pricing.h"
#include "counter/rights.h"

#include <QMainWindow>
#include <QPointer>

#include <memory>
#include <optional>

class BackupRunner;
class Database;
class EGrid;
class LedgerWindow;
class MachineColumn;
class MemberWindow;
class ReportWindow;
class SaleWindow;
class Session;
class QLabel;
class QPushButton;
class QTextBrowser;
namespace Ui {
class ConsoleWindow;
}
class QTimer;
class RecordSet;

// The start window and the program's only permanent window: the machine grid and buttons,
// the clock, the hourly rate and the status bar. It shows the session it holds (the counter,
// the store, the operator, the shift and the copies), forwards what the operator does to it,
// and opens the other windows with what they need of it.
class ConsoleWindow : public QMainWindow, private ConsoleStatus {
    Q_OBJECT
public:
    explicit ConsoleWindow(QWidget* parent = nullptr);
    ~ConsoleWindow() override;

    EGrid* grid() const;
    Session& session() const { return *m_session; }
    Database& database() const;
    RecordSet& recordSet() const;
    const CounterState& state() const;
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
    // 计费方案, for an owner (anybody while no operator is defined).
    void openPlans();
    // 套餐: a package sold to a timing machine.
    void openPackages();
    // 客户机, for an owner (anybody while no operator is defined).
    void openClients();
    // The system clock was set while machines timed: whether they keep the time that passed.
    void askAboutClock();
    // 切换操作员: the operator at the counter logs out and 登录 is shown again.
    void switchOperator();
    // 登录, until an operator logs in; 退出 there closes the console as its own close would,
    // and shows 登录 again when the close is refused. False when the console closed.
    bool logIn();
    const Rights& rights() const;
    // 交班: the handover of the open shift; the next shift opens after it.
    void openShiftWindow();
    // 备份: the copies, 立即备份, the second folder and the owner's restore.
    void openBackups();
    // Puts a copy in place of date.mdb (an owner's action, with no machine open) and starts
    // the console afresh on it.
    bool restoreDatabase(const QString& copyPath);
    BackupRunner& backups() const;
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

    // The buttons for the machines the session lists, captioned as their usages are.
    void showMachines();
    void showRunningCount();
    // A typed rate or deposit outside the money limit is refused where it was typed.
    void checkRate();
    void acceptTypedCell(int row, int column);
    // The usages a crash (or a restored copy) left open: their figures at once, and the
    // question on the gap once the console shows, after the login.
    void showRestored();
    void askAboutRestore();
    // Once the console is on the screen: the login, then the question on restored usages.
    void afterStart();
    // The operator's name in the strip; the rate box open to owners only.
    void showOperator(const QString& name, const QString& role);
    void showBackupAge();
    // With the client PCs on: how many are online, at the status bar's end.
    void showClients();
    // A cashier's try at the rate box: an owner may allow that one change.
    void askToChangeRate();
    // Opens the checkout of a stopped machine; its usage ends when the window closes.
    void settle(const MachineBill& bill);

    std::unique_ptr<Ui::ConsoleWindow> m_ui;
    QTimer* m_timer;
    Session* m_session = nullptr;
    MachineColumn* m_machines = nullptr;
    QLabel* m_clientsOnline = nullptr;
    QPointer<MemberWindow> m_memberWindow;
    QPointer<SaleWindow> m_saleWindow;
    QPointer<ReportWindow> m_reportWindow;
    QPointer<LedgerWindow> m_ledgerWindow;
    QPointer<QTextBrowser> m_helpWindow;
    std::optional<OwnerPermit> m_ratePermit; // while an owner's allowed change of the rate is typed
    qint64 m_clockJump = 0; // seconds not yet asked about
    bool m_askingClock = false;
};
