#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class OpenShiftWindow;
}

// 开班: the float (备用金) a new shift starts with, what the last shift left in the drawer
// offered. Accepted only with an amount of money.
class OpenShiftWindow : public QDialog {
    Q_OBJECT
public:
    explicit OpenShiftWindow(double leftInTheDrawer, QWidget* parent = nullptr);
    ~OpenShiftWindow() override;

    double openingFloat() const { return m_float; }

    void confirm(); // 按钮_确定
    void reject() override;

private:
    std::unique_ptr<Ui::OpenShiftWindow> m_ui;
    double m_float = 0.0;
};
