#include "authorisewindow.h"

#include "loginwindow.h"
#include "store/database.h"
#include "ui_authorisewindow.h"
#include "common/seams.h"
#include "widgets/windows.h"

AuthoriseWindow::AuthoriseWindow(Database& db, OwnerAction action, QWidget* parent)
    : QDialog(parent)
    , m_ui(std::make_unique<Ui::AuthoriseWindow>())
    , m_db(db)
    , m_action(action)
{
    m_ui->setupUi(this);
    layOutDialog(this, parent);
    m_ui->标签_事项->setText(ownerActionText(action));
    fillOperatorBox(m_ui->组合框_店长, m_db, true);
    connect(m_ui->按钮_确定, &QPushButton::clicked, this, &AuthoriseWindow::tryAuthorise);
    connect(m_ui->按钮_取消, &QPushButton::clicked, this, &QDialog::reject);
    ::setFocus(m_ui->编辑框_密码);
}

AuthoriseWindow::~AuthoriseWindow() = default;

void AuthoriseWindow::tryAuthorise()
{
    const QString owner = m_ui->组合框_店长->currentText();
    if (owner.isEmpty()) {
        messageBox(QStringLiteral("请选择店长！"), MbOk | MbExclamation, windowTitle());
        return;
    }
    LedgerEntry entry = ledgerEntry(m_db, QStringLiteral("授权"));
    entry.authorisedBy = owner;
    entry.detail = ownerActionText(m_action);
    if (!submitPassword(m_db, m_ui->组合框_店长, m_ui->编辑框_密码, entry, true))
        return;
    m_owner = owner;
    accept();
}
