#include "consolewindow.h"

#include "backups/backupwindow.h"
#include "clients/clientservice.h"
#include "clients/clientwindow.h"
#include "common/seams.h"
#include "machines/machinewindow.h"
#include "operators/operatorwindow.h"
#include "plans/packagewindow.h"
#include "plans/planwindow.h"
#include "session.h"
#include "shifts/shiftwindow.h"
#include "ui_consolewindow.h"
#include "widgets/windows.h"

// The windows of the strip under the grid: the shift, the copies, the operators, the machines
// and their prices.

void ConsoleWindow::openMachines()
{
    const OwnerPermit permit = m_session->rights().permit(OwnerAction::ManageMachines);
    if (!permit)
        return;
    MachineWindow window(database(), [this](int n) { return m_session->isOpen(n); }, this);
    loadWindow(&window, this, true);
    if (window.changed() && m_session->loadMachines())
        showMachines();
}

void ConsoleWindow::openShiftWindow()
{
    // Every cash movement of the shift must be in the store before it is counted against it.
    QString why;
    if (!m_session->allWritten(&why)) {
        messageBox(why + QStringLiteral("交班的数字会不全。请排除数据库的问题后再交班。"), MbOk | MbExclamation,
            QStringLiteral("交班"));
        return;
    }
    m_session->ensureShift(rights().operatorsDefined());
    ShiftWindow window(database(), m_session->depositsHeld(), !rights().operatorsDefined(), this);
    loadWindow(&window, this, true);
    if (window.handedOver())
        m_session->handedOver();
}

void ConsoleWindow::openBackups()
{
    const QString busy = m_session->counter().hasOpenUsage()
        ? QStringLiteral("有机器正在计时或等待结帐，不能恢复备份。请全部结帐后再恢复。")
        : QString();
    BackupWindow window(backups(), busy, this);
    loadWindow(&window, this, true);
    m_session->keepSecondFolder();
    showBackupAge();
    if (!window.restorePath().isEmpty())
        restoreDatabase(window.restorePath());
}

void ConsoleWindow::switchOperator()
{
    if (!rights().operatorsDefined())
        return;
    m_session->recordLogOut();
    logIn();
}

void ConsoleWindow::openOperators()
{
    const OwnerPermit permit = m_session->rights().permit(OwnerAction::ManageOperators);
    if (!permit)
        return;
    OperatorWindow window(database(), rights().operatorName(), rights().actsAsOwner(), this);
    loadWindow(&window, this, true);
    if (!window.firstOwner().isEmpty() && !rights().operatorsDefined())
        m_session->firstOwnerMade(window.firstOwner());
    else
        m_session->reReadOperator(); // the operator at the counter may have changed their own role
}

void ConsoleWindow::openPlans()
{
    const OwnerPermit permit = m_session->rights().permit(OwnerAction::ManagePlans);
    if (!permit)
        return;
    PlanWindow window(database(), m_ui->编辑框_计费->text(), this);
    loadWindow(&window, this, true);
    if (window.changed())
        m_session->loadPlans();
}

void ConsoleWindow::openPackages()
{
    PackageWindow window(m_session->counter(), this);
    loadWindow(&window, this, true);
    m_session->sayIfUnprotected();
}

void ConsoleWindow::openClients()
{
    const OwnerPermit permit = m_session->rights().permit(OwnerAction::ManageClients);
    if (!permit)
        return;
    ClientWindow window(m_session->clients(), this);
    loadWindow(&window, this, true);
}

void ConsoleWindow::showClients()
{
    const ClientService& clients = m_session->clients();
    const QString text = QStringLiteral("客户机在线：%1台 ").arg(clients.onlineCount());
    m_clientsOnline->setVisible(clients.hub());
    m_clientsOnline->setText(text);
    m_clientsOnline->setAccessibleName(text.trimmed());
}

void ConsoleWindow::askAboutClock()
{
    while (m_clockJump != 0) {
        const qint64 seconds = m_clockJump;
        m_clockJump = 0;
        const int answer = messageBox(clockJumpText(seconds)
            + QStringLiteral("。\n正在上机的机器是否按实际经过的时间计费？\n"
                             "是：上机时间随之调整，只计实际经过的时间；\n否：以现在的系统时间为准。"),
            MbYesNo | MbQuestion, QStringLiteral("系统时间被改动"));
        m_session->counter().settleClockJump(seconds, answer == AnswerYes);
    }
    m_askingClock = false;
    m_session->sayIfUnprotected();
}
