#pragma once

#include "counter/rights.h"

#include <QDialog>

#include <memory>

class Database;
namespace Ui {
class AuthoriseWindow;
}

// 店长授权: an owner allows a cashier one owner-only action with the owner's password. The 授权
// row names the cashier and the owner; the action's own rows name them both too.
class AuthoriseWindow : public QDialog {
    Q_OBJECT
public:
    AuthoriseWindow(Database& db, OwnerAction action, QWidget* parent = nullptr);
    ~AuthoriseWindow() override;

    // The owner who allowed it, once accepted.
    QString owner() const { return m_owner; }

    void tryAuthorise(); // 按钮_确定

private:
    std::unique_ptr<Ui::AuthoriseWindow> m_ui;
    Database& m_db;
    OwnerAction m_action;
    QString m_owner;
};
