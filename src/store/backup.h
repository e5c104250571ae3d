#pragma once

#include "common/values.h"

#include <QString>
#include <QStringList>
#include <QVector>

class Database;

// Copies of date.mdb in backup/ beside it (and in a second folder, when one is set), taken
// while the program runs: the file is copied under a read lock, so a booking waits only for
// the copy itself, and the copy is opened and checked before it counts. A copy that fails is
// removed.

struct BackupFile {
    QString path;
    DateTime taken;
    qint64 size = 0;
};

// The copy's name for a moment: date-yyyymmdd-hhmmss.mdb.
QString backupName(DateTime taken);
// The copies of a folder, newest first; files of other names are not copies.
QVector<BackupFile> listBackups(const QString& folder);
// The copies the retention removes: all but the newest 20 and the newest of each of the last
// 60 days.
QStringList backupsToRemove(const QVector<BackupFile>& newestFirst, DateTime now);

// Whether a file is a sound database of this program's schema version (opened read-only).
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
