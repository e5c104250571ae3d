#pragma once

#include "store/shifttable.h"

#include <QDialog>

#include <memory>

class Database;
class QLineEdit;
namespace Ui {
class ShiftWindow;
}

// 交班: the open shift's figures from the ledger, the blind count of the drawer, and the
// handover that closes the shift for good; below, the shifts handed over and their slips.
class ShiftWindow : public QDialog {
    Q_OBJECT
public:
    // `depositsHeld`: the deposits of the machines now timing, which go over to the next shift.
    // The float may be corrected here only while no operator is defined.
    ShiftWindow(Database& db, double depositsHeld, bool floatEditable, QWidget* parent = nullptr);
    ~ShiftWindow() override;

    // Whether the open shift was handed over: the console opens the next one.
    bool handedOver() const { return m_handedOver; }
    // What the shift handed over left in the drawer.
    double leftFloat() const { return m_shift.leftFloat; }

    void commitFloat(); // 备用金 edited
    void commitCount(); // 实点现金 typed: the expected figure shows only now
    void confirmHandover(); // 按钮_确认交班
    void printSlip(); // 按钮_打印: the shift picked in the list
    void exportSlip(); // 按钮_导出

private:
    void showOpenShift();
    void refreshHistory(int select);
    void showPaymentRow(bool shown);
    void showFigure(const char16_t* name, double value);
    QLineEdit* box(const char16_t* name) const;
    // The shift picked in the list with its totals; false after saying why.
    bool pickedShift(ShiftRecord& shift, ShiftTotals& totals);

    std::unique_ptr<Ui::ShiftWindow> m_ui;
    Database& m_db;
    bool m_open = false;
    ShiftRecord m_shift;
    ShiftTotals m_totals;
    bool m_counted = false;
    bool m_handedOver = false;
};
