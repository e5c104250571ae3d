#pragma once

#include "store/backup.h"

#include <QObject>
#include <QPointer>
#include <QThread>

#include <functional>
#include <memory>

// Takes copies of date.mdb one at a time. With the program's connection, the copy is taken
// through it in small steps between the events of the console's own thread, so a booking waits
// at most for one step; the copy is then checked in a thread of its own. Without one, the file
// is copied under a read lock in that thread. The result comes back in the thread that asked.
class BackupRunner : public QObject {
    Q_OBJECT
public:
    BackupRunner(const QString& databasePath, const QString& folder, QObject* parent = nullptr);
    ~BackupRunner() override;

    QString folder() const { return m_folder; }
    void setSecondFolder(const QString& folder) { m_secondFolder = folder; }
    QString secondFolder() const { return m_secondFolder; }

    // The connection copies are taken through, from now on (null: a whole-file copy). On a
    // server the copy is pg_dump's of its database.
    void setConnection(Database* db);

    bool isRunning() const { return m_thread != nullptr || m_copy != nullptr; }
    // Starts a copy unless one is under way; false when one is. A copy through the connection
    // takes its first step `firstStepAfterMs` from now (it is under way meanwhile).
    bool start(int firstStepAfterMs = 0);
    // Until the copy under way is done (the program is closing).
    void wait();

    // The newest copy in the folder, when there is one (every copy there passed its check).
    bool newestCopy(BackupFile& copy) const;
    // Whether the newest copy is older than a day, or there is none.
    bool isOverdue() const;

signals:
    void finished(const BackupOutcome& outcome);

private:
    void stepCopy();
    void keepInThread(const QString& checking, DateTime moment, double lockedMs);
    void runInThread(const std::function<BackupOutcome()>& work);
    void finish(const BackupOutcome& outcome);

    Database* m_db = nullptr;
    std::unique_ptr<OnlineCopy> m_copy; // the stepped copy under way
    QString m_checking;
    DateTime m_moment;
    QString m_databasePath;
    QString m_folder;
    QString m_secondFolder;
    QPointer<QThread> m_thread;
    int m_generation = 0; // of the copy under way, so a late end finds only its own thread
};
