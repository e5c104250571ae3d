#include "backuprunner.h"

#include "common/values.h"
#include "store/database.h"

#include <QTimer>

BackupRunner::BackupRunner(const QString& databasePath, const QString& folder, QObject* parent)
    : QObject(parent)
    , m_databasePath(databasePath)
    , m_folder(folder)
{
}

BackupRunner::~BackupRunner() { wait(); }

void BackupRunner::setConnection(Database* db)
{
    if (m_db)
        disconnect(m_db, nullptr, this, nullptr);
    m_db = db;
    if (!m_db)
        return;
    // A copy may not outlive the connection it reads: abandoned, it is taken again next time.
    connect(m_db, &Database::closing, this, [this] {
        if (!m_copy)
            return;
        m_copy.reset();
        BackupOutcome abandoned;
        abandoned.error = QStringLiteral("数据库在备份过程中被关闭，本次备份未完成。");
        // Said once control is back: the connection may be closing because the program is.
        QMetaObject::invokeMethod(this, [this, abandoned] { emit finished(abandoned); }, Qt::QueuedConnection);
    });
}

bool BackupRunner::start(int firstStepAfterMs)
{
    if (isRunning())
        return false;
    const DateTime moment = now();
    if (m_db && copiedByDump(*m_db)) {
        const QString address = m_db->serverAddress();
        const QString folder = m_folder;
        const QString second = m_secondFolder;
        runInThread([address, folder, second, moment] { return makeServerBackup(address, folder, second, moment); });
        return true;
    }
    if (m_db && m_db->handle()) {
        BackupOutcome failed;
        if (!makeBackupFolder(m_folder, &failed.error)) {
            QMetaObject::invokeMethod(this, [this, failed] { emit finished(failed); }, Qt::QueuedConnection);
            return true;
        }
        m_moment = moment;
        m_checking = checkingPath(m_folder, moment);
        m_copy = std::make_unique<OnlineCopy>(*m_db, m_checking);
        QTimer::singleShot(firstStepAfterMs, this, &BackupRunner::stepCopy);
        return true;
    }
    const QString source = m_databasePath;
    const QString folder = m_folder;
    const QString second = m_secondFolder;
    runInThread([source, folder, second, moment] { return makeBackup(source, folder, second, moment); });
    return true;
}

void BackupRunner::runInThread(const std::function<BackupOutcome()>& work)
{
    const int generation = ++m_generation;
    m_thread = QThread::create([this, work, generation] {
        const BackupOutcome outcome = work();
        QMetaObject::invokeMethod(
            this,
            [this, outcome, generation] {
                if (m_thread && generation == m_generation) {
                    m_thread->wait();
                    delete m_thread;
                }
                emit finished(outcome);
            },
            Qt::QueuedConnection);
    });
    m_thread->start();
}

void BackupRunner::stepCopy()
{
    if (!m_copy)
        return;
    switch (m_copy->step()) {
    case OnlineCopy::Step::More:
        QTimer::singleShot(m_copy->wasBusy() ? 100 : 0, this, &BackupRunner::stepCopy);
        return;
    case OnlineCopy::Step::Failed: {
        BackupOutcome failed;
        failed.error = m_copy->error();
        m_copy.reset();
        emit finished(failed);
        return;
    }
    case OnlineCopy::Step::Done:
        break;
    }
    const double lockedMs = m_copy->longestStepMs();
    m_copy.reset();
    keepInThread(m_checking, m_moment, lockedMs);
}

void BackupRunner::keepInThread(const QString& checking, DateTime moment, double lockedMs)
{
    const QString folder = m_folder;
    const QString second = m_secondFolder;
    runInThread([checking, folder, second, moment, lockedMs] {
        BackupOutcome outcome = keepBackup(checking, folder, second, moment);
        outcome.lockedMs = lockedMs;
        return outcome;
    });
}

void BackupRunner::wait()
{
    // The program is closing, or the file is about to be replaced: the steps left are taken now.
    while (m_copy) {
        const OnlineCopy::Step step = m_copy->step();
        if (step == OnlineCopy::Step::More)
            continue;
        if (step == OnlineCopy::Step::Done)
            keepInThread(m_checking, m_moment, m_copy->longestStepMs());
        m_copy.reset();
    }
    if (!m_thread)
        return;
    m_thread->wait();
    delete m_thread;
}

bool BackupRunner::newestCopy(BackupFile& copy) const
{
    const QVector<BackupFile> copies = listBackups(m_folder);
    if (copies.isEmpty())
        return false;
    copy = copies.first();
    return true;
}

bool BackupRunner::isOverdue() const
{
    BackupFile newest;
    return !newestCopy(newest) || now().days - newest.taken.days > 1.0;
}
