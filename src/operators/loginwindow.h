#pragma once

#include "store/operatortable.h"

#include <QDialog>

#include <memory>

class Database;
class QComboBox;
class QLineEdit;
namespace Ui {
class LoginWindow;
}

// The enabled operators into a drop-down, in the order they were created; false (and said)
// when they cannot be read.
bool fillOperatorBox(QComboBox* box, Database& db, bool ownersOnly);

// The password typed for the operator picked, checked and its row written; a refusal is said
// and the password box emptied for the next try.
bool submitPassword(Database& db, QComboBox* who, QLineEdit* password, const LedgerEntry& onRight, bool ownerOnly,
    QString* role = nullptr);

// 登录: who works the counter from now on. Accepted once the password of an enabled operator
// was right; 退出 rejects it, and the console then closes as its own close would.
class LoginWindow : public QDialog {
    Q_OBJECT
public:
    explicit LoginWindow(Database& db, QWidget* parent = nullptr);
    ~LoginWindow() override;

    QString operatorName() const { return m_name; }
    QString role() const { return m_role; }

    void tryLogin(); // 按钮_确定

private:
    std::unique_ptr<Ui::LoginWindow> m_ui;
    Database& m_db;
    QString m_name;
    QString m_role;
};
