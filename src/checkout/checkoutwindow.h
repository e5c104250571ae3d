#pragma once

#include "counter/counterstate.h"

#include <QDialog>

#include <memory>

class Counter;
class Database;
class RecordSet;
namespace Ui {
class CheckoutWindow;
}

// Settles the bill of the machine just stopped: shows fee, goods and deposit, proposes the
// amount to collect, and books the machine income, in cash or from a member card.
class CheckoutWindow : public QDialog {
    Q_OBJECT
public:
    // The checkout is settled through the counter, which ends the machine's usage with it.
    CheckoutWindow(Database& db, RecordSet& rs, Counter& counter, const MachineBill& bill, QWidget* parent = nullptr);
    ~CheckoutWindow() override;

    // The card picked in the list (组合框1 item selected).
    void pickCard();
    // 按钮_确定: book, say what was booked and close; stays open when booking failed.
    void settle();
    // 按钮_计费明细, for a bill priced by a plan: its lines, in a window of their own; the
    // window is returned while it is open (it closes itself).
    QDialog* showBill();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The fee of the way it is settled: with a card, the member discount off a plan's bill.
    QString feeText() const;
    bool memberDiscount() const;
    QStringList billLines() const;
    void showFee();

    std::unique_ptr<Ui::CheckoutWindow> m_ui;
    Database& m_db;
    RecordSet& m_rs;
    Counter& m_counter;
    const MachineBill m_bill;
};
