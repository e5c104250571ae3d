#pragma once

#include <QDialog>

#include <memory>

class Database;
namespace Ui {
class OperatorWindow;
}

// 操作员管理: adds operators, changes a password or a role, disables or enables one. Nobody is
// removed, since the ledger names them, and an enabled owner always remains (the store refuses
// a change that leaves none).
class OperatorWindow : public QDialog {
    Q_OBJECT
public:
    // `current` is the operator at the counter, who may not disable themself. A cashier an owner
    // let in (`currentIsOwner` false) manages cashiers only, not themself: an allowance to
    // manage operators is no way to become an owner.
    OperatorWindow(Database& db, const QString& current, bool currentIsOwner = true, QWidget* parent = nullptr);
    ~OperatorWindow() override;

    // The first operator, when this window created them: the console logs them in.
    QString firstOwner() const { return m_firstOwner; }

    void refresh();
    void pick(); // a row of the list became the current one
    void addOperator(); // 按钮_新增
    void saveOperator(); // 按钮_保存
    void toggleEnabled(); // 按钮_停用

private:
    QString selectedName() const;
    // The two password boxes agree; false after saying so.
    bool passwordsAgree();
    // For a cashier let in: the operator concerned is a cashier other than themself.
    bool mayChange(const QString& name, const QString& role, const QString& newRole);

    std::unique_ptr<Ui::OperatorWindow> m_ui;
    Database& m_db;
    QString m_current;
    bool m_currentIsOwner = true;
    QString m_firstOwner;
    int m_count = 0;
};
