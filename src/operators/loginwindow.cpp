#include "loginwindow.h"

#include "store/database.h"
#include "ui_loginwindow.h"
#include "common/seams.h"
#include "widgets/windows.h"

bool fillOperatorBox(QComboBox* box, Database& db, bool ownersOnly)
{
    box->clear();
    QVector<OperatorRecord> operators;
    QString error;
    if (!readOperators(db, operators, &error)) {
        showStoreError(error);
        return false;
    }
    for (const OperatorRecord& op : std::as_const(operators)) {
        if (op.enabled && (!ownersOnly || op.role == ownerRole()))
            box->addItem(op.name);
    }
    return true;
}

bool submitPassword(Database& db, QComboBox* who, QLineEdit* password, const LedgerEntry& onRight, bool ownerOnly,
    QString* role)
{
    const PasswordOutcome out = checkPassword(db, who->currentText(), password->text(), onRight, ownerOnly);
    password->clear();
    if (out.result != PasswordOutcome::Right) {
        if (out.result == PasswordOutcome::StoreFailed)
            showStoreError(out.error);
        else
            messageBox(passwordRefusal(out), MbOk | MbExclamation, onRight.kind);
        setFocus(password);
        return false;
    }
    if (role)
        *role = out.role;
    return true;
}

LoginWindow::LoginWindow(Database& db, QWidget* parent)
    : QDialog(parent)
    , m_ui(std::make_unique<Ui::LoginWindow>())
    , m_db(db)
{
    m_ui->setupUi(this);
    layOutDialog(this, parent); // closing it is the same as 退出
    fillOperatorBox(m_ui->组合框_操作员, m_db, false);
    connect(m_ui->按钮_确定, &QPushButton::clicked, this, &LoginWindow::tryLogin);
    connect(m_ui->按钮_退出, &QPushButton::clicked, this, &QDialog::reject);
    ::setFocus(m_ui->编辑框_密码);
}

LoginWindow::~LoginWindow() = default;

void LoginWindow::tryLogin()
{
    const QString name = m_ui->组合框_操作员->currentText();
    if (name.isEmpty()) {
        messageBox(QStringLiteral("请选择操作员！"), MbOk | MbExclamation, windowTitle());
        return;
    }
    LedgerEntry entry = ledgerEntry(m_db, QStringLiteral("登录"));
    entry.operatorName = name;
    QString role;
    if (!submitPassword(m_db, m_ui->组合框_操作员, m_ui->编辑框_密码, entry, false, &role))
        return;
    m_name = name;
    m_role = role;
    accept();
}
