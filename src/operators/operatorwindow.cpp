#include "operatorwindow.h"

#include "store/database.h"

#include <QSignalBlocker>
#include "store/operatortable.h"
#include "ui_operatorwindow.h"
#include "common/seams.h"
#include "widgets/windows.h"

namespace {

enum Column { Name, Role, State };

QString stateText(bool enabled) { return enabled ? QStringLiteral("启用") : QStringLiteral("停用"); }

} // namespace

OperatorWindow::OperatorWindow(Database& db, const QString& current, bool currentIsOwner, QWidget* parent)
    : QDialog(parent)
    , m_ui(std::make_unique<Ui::OperatorWindow>())
    , m_db(db)
    , m_current(current)
    , m_currentIsOwner(currentIsOwner)
{
    m_ui->setupUi(this);
    layOutDialog(this, nullptr);
    m_ui->列表框_操作员->setHeaderLabels({ QStringLiteral("姓名"), QStringLiteral("角色"), QStringLiteral("状态") });
    m_ui->列表框_操作员->setRootIsDecorated(false);
    m_ui->列表框_操作员->setColumnWidth(Name, 100);
    m_ui->列表框_操作员->setColumnWidth(Role, 70);
    m_ui->列表框_操作员->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_ui->组合框_角色->addItems({ ownerRole(), cashierRole() });
    m_ui->标签_说明->setWordWrap(true);
    connect(m_ui->列表框_操作员, &QTreeWidget::currentItemChanged, this, &OperatorWindow::pick);
    connect(m_ui->按钮_新增, &QPushButton::clicked, this, &OperatorWindow::addOperator);
    connect(&m_db, &Database::changedElsewhere, this, [this] {
        const QSignalBlocker quiet(m_ui->列表框_操作员);
        const QTreeWidgetItem* picked = m_ui->列表框_操作员->currentItem();
        const QString name = picked ? picked->text(0) : QString();
        refresh();
        const QList<QTreeWidgetItem*> again = m_ui->列表框_操作员->findItems(name, Qt::MatchExactly);
        if (!name.isEmpty() && !again.isEmpty())
            m_ui->列表框_操作员->setCurrentItem(again.first());
    });
    connect(m_ui->按钮_保存, &QPushButton::clicked, this, &OperatorWindow::saveOperator);
    connect(m_ui->按钮_停用, &QPushButton::clicked, this, &OperatorWindow::toggleEnabled);
    refresh();
}

OperatorWindow::~OperatorWindow() = default;

void OperatorWindow::refresh()
{
    QTreeWidget* list = m_ui->列表框_操作员;
    list->clear();
    QVector<OperatorRecord> operators;
    QString error;
    if (!readOperators(m_db, operators, &error))
        showStoreError(error);
    for (const OperatorRecord& op : std::as_const(operators))
        list->addTopLevelItem(new QTreeWidgetItem({ op.name, op.role, stateText(op.enabled) }));
    m_count = int(operators.size());
    // The first operator is the owner: who else could later manage the others?
    m_ui->组合框_角色->setEnabled(m_count > 0);
    if (m_count == 0) {
        m_ui->组合框_角色->setCurrentText(ownerRole());
        m_ui->标签_说明->setText(QStringLiteral("第一个操作员是店长。设立操作员后，启动程序时需要登录。"));
    } else {
        m_ui->标签_说明->clear();
    }
    m_ui->按钮_保存->setEnabled(false);
    m_ui->按钮_停用->setEnabled(false);
}

QString OperatorWindow::selectedName() const
{
    const QTreeWidgetItem* item = m_ui->列表框_操作员->currentItem();
    return item ? item->text(Name) : QString();
}

void OperatorWindow::pick()
{
    const QTreeWidgetItem* item = m_ui->列表框_操作员->currentItem();
    m_ui->按钮_保存->setEnabled(item != nullptr);
    m_ui->按钮_停用->setEnabled(item != nullptr);
    if (!item)
        return;
    m_ui->编辑框_姓名->setText(item->text(Name));
    m_ui->组合框_角色->setCurrentText(item->text(Role));
    m_ui->编辑框_密码->clear();
    m_ui->编辑框_确认密码->clear();
    m_ui->按钮_停用->setText(item->text(State) == stateText(true) ? QStringLiteral("停用") : QStringLiteral("启用"));
}

bool OperatorWindow::mayChange(const QString& name, const QString& role, const QString& newRole)
{
    if (m_currentIsOwner || (name != m_current && role != ownerRole() && newRole != ownerRole()))
        return true;
    messageBox(QStringLiteral("经店长授权只能管理收银员，不能修改自己或店长。"), MbOk | MbExclamation, windowTitle());
    return false;
}

bool OperatorWindow::passwordsAgree()
{
    if (m_ui->编辑框_密码->text() == m_ui->编辑框_确认密码->text())
        return true;
    messageBox(QStringLiteral("两次输入的密码不一致！"), MbOk | MbExclamation, windowTitle());
    m_ui->编辑框_确认密码->clear();
    ::setFocus(m_ui->编辑框_确认密码);
    return false;
}

void OperatorWindow::addOperator()
{
    const QString name = m_ui->编辑框_姓名->text().trimmed();
    if (!passwordsAgree())
        return;
    const bool first = m_count == 0;
    if (!mayChange(name, cashierRole(), m_ui->组合框_角色->currentText()))
        return;
    QString error;
    if (!::addOperator(m_db, name, m_ui->组合框_角色->currentText(), m_ui->编辑框_密码->text(), &error)) {
        messageBox(error, MbOk | MbExclamation, windowTitle());
        return;
    }
    if (first)
        m_firstOwner = name;
    m_ui->编辑框_姓名->clear();
    m_ui->编辑框_密码->clear();
    m_ui->编辑框_确认密码->clear();
    refresh();
}

void OperatorWindow::saveOperator()
{
    const QString name = selectedName();
    if (name.isEmpty()) {
        messageBox(QStringLiteral("请选择要保存的操作员！"), MbOk | MbExclamation, windowTitle());
        return;
    }
    // The name stays: the ledger knows the operator by it.
    if (m_ui->编辑框_姓名->text().trimmed() != name) {
        messageBox(QStringLiteral("操作员的姓名不能修改；新的操作员请按“新增”。"), MbOk | MbExclamation, windowTitle());
        m_ui->编辑框_姓名->setText(name);
        return;
    }
    const QTreeWidgetItem* item = m_ui->列表框_操作员->currentItem();
    if (!mayChange(name, item->text(Role), m_ui->组合框_角色->currentText()) || !passwordsAgree())
        return;
    QString error;
    if (!changeOperator(m_db, name, m_ui->组合框_角色->currentText(), m_ui->编辑框_密码->text(), &error)) {
        messageBox(error, MbOk | MbExclamation, windowTitle());
        return;
    }
    m_ui->编辑框_密码->clear();
    m_ui->编辑框_确认密码->clear();
    refresh();
}

void OperatorWindow::toggleEnabled()
{
    const QTreeWidgetItem* item = m_ui->列表框_操作员->currentItem();
    if (!item) {
        messageBox(QStringLiteral("请选择操作员！"), MbOk | MbExclamation, windowTitle());
        return;
    }
    const QString name = item->text(Name);
    const bool enable = item->text(State) != stateText(true);
    if (!mayChange(name, item->text(Role), item->text(Role)))
        return;
    if (!enable && name == m_current) {
        messageBox(QStringLiteral("不能停用正在使用的操作员！"), MbOk | MbExclamation, windowTitle());
        return;
    }
    QString error;
    if (!setOperatorEnabled(m_db, name, enable, &error)) {
        messageBox(error, MbOk | MbExclamation, windowTitle());
        return;
    }
    refresh();
}
