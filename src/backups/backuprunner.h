#pragma once

#include "store/backup.h"

#include <QObject>
#include <QPointer>
#include <QThread>

// Takes copies of date.mdb in a thread of its own, one at a time, so the counter never waits
// for more than the copy's read lock. The result comes back in the thread that asked.
class BackupRunner : public QObject {
    Q_OBJECT
public:
    BackupRunner(const QString& databasePath, const QString& folder, QObject* parent = nullptr);
    ~BackupRunner() override;

    QString folder() const { return m_folder; }
    void setSecondFolder(const QString& folder) { m_secondFolder = folder; }
    QString secondFolder() const { return m_secondFolder; }

    bool isRunning() const { return m_thread != nullptr; }
    // Starts a copy unless one is under way; false when one is.
    bool start();
    // Until the copy under way is done (the program is closing).
    void wait();

    // The newest copy in the folder, when there is one (every copy there passed its check).
    bool newestCopy(BackupFile& copy) const;
    // Whether the newest copy is older than a day, or there is none.
    bool isOverdue() const;

signals:
    void finished(const BackupOutcome& outcome);

private:
    QString m_databasePath;
    QString m_folder;
    QString m_secondFolder;
    QPointer<QThread> m_thread;
    int m_generation = 0; // of the copy under way, so a late end finds only its own thread
};
