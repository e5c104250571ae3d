#pragma once

#include <QDialog>

#include <memory>

class Counter;
namespace Ui {
class PackageWindow;
}

// 套餐: a package of its plan sold to a timing machine; the price goes on the machine's bill.
class PackageWindow : public QDialog {
    Q_OBJECT
public:
    PackageWindow(Counter& counter, QWidget* parent = nullptr);
    ~PackageWindow() override;

    // Whether any timing machine's plan has a package to sell.
    static bool anyOnSale(const Counter& counter);
    // 按钮_确定: sold, and the window closes; refused, it says why and stays.
    void sell();
    bool sold() const { return m_sold; }

private:
    void machinePicked();
    void packagePicked();

    std::unique_ptr<Ui::PackageWindow> m_ui;
    Counter& m_counter;
    bool m_sold = false;
};
