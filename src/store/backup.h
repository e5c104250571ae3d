#pragma once

#include "common/values.h"

#include <QString>
#include <QStringList>
#include <QVector>

class Database;
struct sqlite3;
struct sqlite3_backup;

// Copies of date.mdb in backup/ beside it (and in a second folder, when one is set), taken
// while the program runs: the file is copied under a read lock, so a booking waits only for
// the copy itself, and the copy is opened and checked before it counts. A copy that fails is
// removed.

struct BackupFile {
    QString path;
    DateTime taken;
    qint64 size = 0;
};

// A copy of date.mdb, or pg_dump's of a server's database.
enum class BackupKind { File, ServerDump };
// The copy's name for a moment: date-yyyymmdd-hhmmss.mdb (or .dump).
QString backupName(DateTime taken, BackupKind kind = BackupKind::File);
// The copies of a folder, newest first; files of other names are not copies.
QVector<BackupFile> listBackups(const QString& folder);
// The copies the retention removes: all but the newest 20 and the newest of each of the last
// 60 days.
QStringList backupsToRemove(const QVector<BackupFile>& newestFirst, DateTime now);

// Whether a file is a sound database of this program's schema version (opened read-only); a
// dump, whether pg_restore reads it and finds the program's tables with their rows.
bool checkBackup(const QString& path, QString* error);

struct BackupOutcome {
    bool ok = false;
    BackupFile copy;
    QString error; // why the copy failed; the partial file is gone
    QString secondError; // why the second folder has no copy; the first one stands
    double lockedMs = 0.0; // how long the live file was held for the copy
};

// Takes, checks and keeps one copy; runs in any thread on a connection of its own.
BackupOutcome makeBackup(const QString& databasePath, const QString& folder, const QString& secondFolder, DateTime now);
// Whether the store the connection is open on is copied by the server's pg_dump (a server's
// database), not as a file.
bool copiedByDump(const Database& db);
// The same for a server's database (the address as openPgConnection takes it), by pg_dump.
BackupOutcome makeServerBackup(const QString& address, const QString& folder, const QString& secondFolder, DateTime now);

// The steps of a backup: the folder made, the name a copy is taken under until it passed its
// check, and the keeping of a copy so taken (synced, checked, named for `now`, the old ones
// let go, a copy in the second folder). Keeping runs in any thread.
bool makeBackupFolder(const QString& folder, QString* error);
QString checkingPath(const QString& folder, DateTime now, BackupKind kind = BackupKind::File);
BackupOutcome keepBackup(const QString& checking, const QString& folder, const QString& secondFolder, DateTime now);

// A copy of the open database taken through the program's own connection with SQLite's online
// backup, some pages at a time: between two steps the file is free, so a booking waits at most
// for one step, and what the connection books meanwhile goes into the copy as well. Steps run
// in the thread of the connection.
class OnlineCopy {
public:
    OnlineCopy(Database& db, const QString& to);
    ~OnlineCopy(); // a copy not finished is removed
    OnlineCopy(const OnlineCopy&) = delete;
    OnlineCopy& operator=(const OnlineCopy&) = delete;

    enum class Step { More, Done, Failed };
    Step step();
    QString error() const { return m_error; }
    double longestStepMs() const { return m_longestStepMs; }
    // The last step found the file held: the next one had better wait a little.
    bool wasBusy() const { return m_busy; }

private:
    static constexpr int kRestartsBeforeWhole = 3;
    static constexpr int kPushPages = 1024; // four megabytes of the usual pages
    static constexpr int kBusyStepsBeforeGivingUp = 20;
    void close();

    QString m_path;
    QString m_error;
    sqlite3* m_target = nullptr;
    sqlite3_backup* m_backup = nullptr;
    int m_pages = 256; // a megabyte of the usual pages
    int m_remaining = -1;
    int m_restarts = 0;
    int m_busySteps = 0;
    bool m_busy = false;
    int m_sincePush = 0; // pages copied since the disk was last asked to write them
    bool m_done = false;
    double m_longestStepMs = 0.0;
};

struct RestoreOutcome {
    bool ok = false;
    QString safetyCopy; // the file as it was, copied first
    QString error;
};

// Puts a copy in place of date.mdb: the copy is checked, the current file copied aside as a
// safety copy, then replaced in one step, and the store reopened on it with a 恢复备份 row.
// A restore that fails leaves the current file as it was, open again.
RestoreOutcome restoreBackup(Database& db, const QString& databasePath, const QString& copyPath,
    const QString& folder, DateTime now);
