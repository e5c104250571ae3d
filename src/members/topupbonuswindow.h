#pragma once

#include <QDialog>

#include <memory>

class Database;
namespace Ui {
class TopUpBonusWindow;
}

// 充值赠送: the owner's offers of a bonus on a top-up (满, 送), edited as a table and stored
// whole by 保存, or refused with the reason and kept as typed.
class TopUpBonusWindow : public QDialog {
    Q_OBJECT
public:
    explicit TopUpBonusWindow(Database& db, QWidget* parent = nullptr);
    ~TopUpBonusWindow() override;

    // The offers as stored, one row each.
    void showOffers();
    void addRow(); // 按钮_新增
    void removeRow(); // 按钮_删除
    bool save(); // 按钮_保存

private:
    std::unique_ptr<Ui::TopUpBonusWindow> m_ui;
    Database& m_db;
};
