#pragma once

#include "counter/counter.h"
#include "counter/counterstate.h"
#include "counter/pricing.h"

#include <QMainWindow>
#include <QPointer>

#include <array>
#include <memory>

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
    // The user's guide in the browser; in a window of the program (returned) when no browser
    // can be started.
    QWidget* openHelp();

signals:
    // The close was allowed: the program ends, other windows with it.
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QString clockText() const override;
    void setClockText(const QString& text) override;
    void setStatusText(int part, const QString& text) override;

    void createMachineButtons();
    // A typed rate or deposit outside the money limit is refused where it was typed.
    void checkRate();
    void acceptTypedCell(int row, int column);
    // A usage the store could not write is said once, and shown until it is written again.
    void sayIfUnprotected();
    // The usages a crash left open, back on the grid; the question on the gap, asked after.
    void restoreUsages();
    void askAboutRestore(const RestoredUsages& found);
    // Opens the checkout of a stopped machine; its usage ends when the window closes.
    void settle(const MachineBill& bill);

    std::unique_ptr<Ui::ConsoleWindow> m_ui;
    CounterState m_state;
    std::unique_ptr<Counter> m_counter; // every change to a usage goes through it
    QTimer* m_timer;
    Database* m_db;
    RecordSet* m_rs;
    std::array<QPushButton*, kMachines + 1> machineButtons {};
    QPointer<MemberWindow> m_memberWindow;
    QPointer<SaleWindow> m_saleWindow;
    QPointer<ReportWindow> m_reportWindow;
    QPointer<LedgerWindow> m_ledgerWindow;
    QPointer<QTextBrowser> m_helpWindow;
    bool m_unprotectedSaid = false;
    QString m_acceptedRate; // the rate box's last text within the money limit
};
