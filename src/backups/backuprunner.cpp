#include "backuprunner.h"

#include "common/values.h"

BackupRunner::BackupRunner(const QString& databasePath, const QString& folder, QObject* parent)
    : QObject(parent)
    , m_databasePath(databasePath)
    , m_folder(folder)
{
}

BackupRunner::~BackupRunner() { wait(); }

bool BackupRunner::start()
{
    if (m_thread)
        return false;
    const QString source = m_databasePath;
    const QString folder = m_folder;
    const QString second = m_secondFolder;
    const DateTime moment = now();
    const int generation = ++m_generation;
    m_thread = QThread::create([this, source, folder, second, moment, generation] {
        const BackupOutcome outcome = makeBackup(source, folder, second, moment);
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
    return true;
}

void BackupRunner::wait()
{
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
