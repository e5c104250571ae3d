// The session's backups: the copies it takes, what it says of them, and putting one back.
#include "session.h"
#include "sessionsettings.h"

#include "backups/backuprunner.h"
#include "clients/clientservice.h"
#include "common/values.h"
#include "store/backup.h"
#include "store/database.h"
#include "store/ledgertable.h"
#include "widgets/windows.h"

#include <QDir>
#include <QFileInfo>

void Session::startBackup(int firstStepAfterMs)
{
    m_backups->start(firstStepAfterMs);
    emit backupStateChanged();
}

void Session::backupDone(const BackupOutcome& outcome)
{
    emit backupStateChanged();
    if (!outcome.ok) {
        messageBox(QStringLiteral("数据库备份失败：") + outcome.error + QStringLiteral("\n计时和记账不受影响。"),
            MbOk | MbExclamation, QStringLiteral("备份"));
        return;
    }
    rememberLedgerHead(*m_db);
    // A second folder gone (a drive taken out) is said once, not at every copy.
    if (outcome.secondError.isEmpty()) {
        m_secondFolderMissingSaid = false;
    } else if (!m_secondFolderMissingSaid) {
        m_secondFolderMissingSaid = true;
        messageBox(QStringLiteral("第二备份目录没有备份：") + outcome.secondError, MbOk | MbExclamation,
            QStringLiteral("备份"));
    }
}

QString Session::backupWarning() const
{
    BackupFile newest;
    const bool any = m_backups->newestCopy(newest);
    if ((m_backups->isRunning() && !any) || !m_backups->isOverdue())
        return QString();
    return any ? QStringLiteral("备份已超过24小时！") : QStringLiteral("还没有数据库备份！");
}

void Session::keepSecondFolder()
{
    if (m_backups->secondFolder() == m_secondFolder)
        return;
    m_secondFolder = m_backups->secondFolder();
    settingsFile().write(kSection, kSecondFolderKey, m_secondFolder);
}

bool Session::restoreDatabase(const QString& copyPath, const std::function<void()>& closeWindows)
{
    // What the store has not taken yet would go into the restored file: it goes in now, or no
    // restore is made.
    QString why;
    if (!allWritten(&why)) {
        messageBox(why + QStringLiteral("请排除数据库的问题后再恢复。"), MbOk | MbExclamation, QStringLiteral("恢复"));
        return false;
    }
    if (m_counter->hasOpenUsage()) {
        messageBox(QStringLiteral("有机器正在计时或等待结帐，不能恢复备份。请全部结帐后再恢复。"), MbOk | MbExclamation,
            QStringLiteral("恢复"));
        return false;
    }
    RestoreOutcome out;
    {
        const OwnerPermit permit = m_rights.permit(OwnerAction::Restore);
        if (!permit)
            return false;
        m_backups->wait();
        if (closeWindows)
            closeWindows();
        out = restoreBackup(*m_db, seams::dataFile(QStringLiteral("date.mdb")), copyPath, m_backups->folder(), now());
    }
    if (!out.ok) {
        showStoreError(QStringLiteral("恢复失败，数据库保持原样：") + out.error);
        return false;
    }
    messageBox(QStringLiteral("已恢复备份") + QFileInfo(copyPath).fileName() + QStringLiteral("。")
            + (out.safetyCopy.isEmpty() ? QString()
                                        : QStringLiteral("原来的数据库已另存为") + QDir::toNativeSeparators(out.safetyCopy)
                       + QStringLiteral("。"))
            + (out.error.isEmpty() ? QString() : u'\n' + out.error),
        MbOk | (out.error.isEmpty() ? MbInformation : MbExclamation), QStringLiteral("恢复"));
    // The session starts afresh on the restored file: its operators, its shift, its usages.
    rememberLedgerHead(*m_db, true);
    m_db->setShift(0);
    if (!settleOperators())
        return true;
    ensureShift(false);
    loadMachines();
    loadPlans();
    restoreUsages();
    m_clients->apply(); // the clients allowed are the restored file's
    emit backupStateChanged();
    return true;
}
