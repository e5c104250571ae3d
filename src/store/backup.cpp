#include "backup.h"

#include "common/seams.h"
#include "database.h"
#include "ledgertable.h"
#include "schema.h"
#include "shifttable.h"
#include "sqltext.h"

#include <QAtomicInteger>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include <filesystem>

#ifdef Q_OS_WIN
#include <io.h>
#include <stdio.h>
#else
#include <unistd.h>
#endif

namespace {

constexpr int kKeepNewest = 20;
constexpr int kKeepDays = 60;
constexpr int kBusyTimeoutMs = 5000;

QString connectionName(const char* what)
{
    static QAtomicInteger<int> next = 0;
    return QStringLiteral("backup:%1:%2").arg(QString::fromLatin1(what)).arg(next.fetchAndAddRelaxed(1));
}

bool fail(QString* error, const QString& text)
{
    if (error)
        *error = text;
    return false;
}

QString native(const QString& path) { return QDir::toNativeSeparators(path); }

// The bytes of one file into another of a name nobody takes for a finished copy; the disk
// is asked to keep them only afterwards (syncFile), outside any lock.
bool copyBytes(const QString& from, const QString& to, QString* error)
{
    const QString fault = seams::writeFault(to);
    if (!fault.isEmpty())
        return fail(error, fault);
    // The system's own copy (a kernel-side copy, or a clone where the file system has one)
    // keeps the read lock short.
    QFile::remove(to);
    QFile in(from);
    if (!in.copy(to))
        return fail(error, QStringLiteral("无法复制“%1”到“%2”：%3").arg(native(from), native(to), in.errorString()));
    return true;
}

bool syncFile(const QString& path, QString* error)
{
    QFile f(path);
    bool synced = f.open(QIODevice::ReadWrite);
#ifdef Q_OS_WIN
    synced = synced && _commit(f.handle()) == 0;
#else
    synced = synced && ::fsync(f.handle()) == 0;
#endif
    return synced || fail(error, QStringLiteral("无法写入“%1”：%2").arg(native(path), f.errorString()));
}

// A copy of a finished file: written aside, kept on disk, checked, then given its name.
bool copyChecked(const QString& from, const QString& to, QString* error)
{
    const QString part = to + QStringLiteral(".part");
    if (!copyBytes(from, part, error) || !syncFile(part, error) || !checkBackup(part, error)) {
        QFile::remove(part);
        return false;
    }
    QFile::remove(to);
    if (!QFile::rename(part, to)) {
        QFile::remove(part);
        return fail(error, QStringLiteral("无法写入“%1”。").arg(native(to)));
    }
    return true;
}

// The live file copied while a read lock keeps every writer from changing it half-way: the
// copy is the file as of one moment, whatever bookings wait meanwhile.
bool copyLive(const QString& databasePath, const QString& to, double* lockedMs, QString* error)
{
    const QString name = connectionName("live");
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(databasePath);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(kBusyTimeoutMs));
        if (!db.open()) {
            fail(error, errorText(db.lastError()));
        } else {
            QSqlQuery q(db);
            if (!q.exec(QStringLiteral("BEGIN")) || !q.exec(QStringLiteral("select count(*) from sqlite_master"))
                || !q.next()) {
                fail(error, errorText(q.lastError()));
            } else {
                QElapsedTimer held;
                held.start();
                ok = copyBytes(databasePath, to, error);
                q.finish();
                q.exec(QStringLiteral("COMMIT"));
                if (lockedMs)
                    *lockedMs = double(held.nsecsElapsed()) / 1e6;
            }
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return ok;
}

void removeFile(const QString& path)
{
    QFile::remove(path);
}

void applyRetention(const QString& folder, DateTime now)
{
    for (const QString& old : backupsToRemove(listBackups(folder), now))
        removeFile(old);
}

} // namespace

QString backupName(DateTime taken)
{
    const DateParts p = splitDate(taken);
    return QString::asprintf("date-%04d%02d%02d-%02d%02d%02d.mdb", p.year, p.month, p.day, p.hour, p.minute, p.second);
}

QVector<BackupFile> listBackups(const QString& folder)
{
    static const QRegularExpression pattern(QStringLiteral("^date-(\\d{4})(\\d{2})(\\d{2})-(\\d{2})(\\d{2})(\\d{2})\\.mdb$"));
    QVector<BackupFile> files;
    const QFileInfoList entries = QDir(folder).entryInfoList({ QStringLiteral("date-*.mdb") }, QDir::Files);
    for (const QFileInfo& info : entries) {
        const QRegularExpressionMatch m = pattern.match(info.fileName());
        if (!m.hasMatch())
            continue;
        const auto n = [&](int i) { return m.captured(i).toInt(); };
        files.append({ info.filePath(), makeDate(n(1), n(2), n(3), n(4), n(5), n(6)), info.size() });
    }
    std::sort(files.begin(), files.end(), [](const BackupFile& a, const BackupFile& b) {
        return a.taken.days > b.taken.days || (a.taken.days == b.taken.days && a.path > b.path);
    });
    return files;
}

QStringList backupsToRemove(const QVector<BackupFile>& newestFirst, DateTime now)
{
    QStringList remove;
    QSet<int> daysKept;
    const int today = int(std::floor(now.days));
    for (int i = 0; i < newestFirst.size(); ++i) {
        const int day = int(std::floor(newestFirst[i].taken.days));
        const bool newestOfItsDay = !daysKept.contains(day);
        daysKept.insert(day);
        if (i < kKeepNewest || (newestOfItsDay && today - day < kKeepDays))
            continue;
        remove.append(newestFirst[i].path);
    }
    return remove;
}

bool checkBackup(const QString& path, QString* error)
{
    const QString name = connectionName("check");
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        if (!QFileInfo(path).isFile() || !db.open()) {
            fail(error, QStringLiteral("无法打开“%1”。").arg(native(path)));
        } else {
            QSqlQuery q(db);
            if (!q.exec(QStringLiteral("PRAGMA integrity_check")) || !q.next()) {
                fail(error, QStringLiteral("“%1”不是有效的数据库：%2").arg(native(path), errorText(q.lastError())));
            } else if (q.value(0).toString() != u"ok") {
                fail(error, QStringLiteral("“%1”已损坏：%2").arg(native(path), q.value(0).toString()));
            } else if (!q.exec(QStringLiteral("PRAGMA user_version")) || !q.next()
                || q.value(0).toInt() != currentSchemaVersion()) {
                fail(error, QStringLiteral("“%1”不是本版本程序的数据库（第%2版）。")
                                .arg(native(path))
                                .arg(q.value(0).toInt()));
            } else {
                ok = true;
            }
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return ok;
}

BackupOutcome makeBackup(const QString& databasePath, const QString& folder, const QString& secondFolder, DateTime now)
{
    BackupOutcome out;
    if (!QDir().mkpath(folder)) {
        out.error = QStringLiteral("无法建立备份目录“%1”。").arg(native(folder));
        return out;
    }
    const QString target = QDir(folder).filePath(backupName(now));
    // Checked under a name of its own: only a copy that passed counts as one.
    const QString checking = target + QStringLiteral(".checking");
    if (!copyLive(databasePath, checking, &out.lockedMs, &out.error) || !syncFile(checking, &out.error)) {
        removeFile(checking);
        return out;
    }
    QString why;
    if (!checkBackup(checking, &why)) {
        removeFile(checking);
        out.error = QStringLiteral("备份未通过检查，已删除：") + why;
        return out;
    }
    removeFile(target);
    if (!QFile::rename(checking, target)) {
        removeFile(checking);
        out.error = QStringLiteral("无法写入“%1”。").arg(native(target));
        return out;
    }
    out.ok = true;
    out.copy = { target, now, QFileInfo(target).size() };
    applyRetention(folder, now);
    if (!secondFolder.isEmpty()) {
        if (!QFileInfo(secondFolder).isDir()) {
            out.secondError = QStringLiteral("找不到第二备份目录“%1”。").arg(native(secondFolder));
        } else {
            if (copyChecked(target, QDir(secondFolder).filePath(backupName(now)), &why))
                applyRetention(secondFolder, now);
            else
                out.secondError = why;
        }
    }
    return out;
}

RestoreOutcome restoreBackup(
    Database& db, const QString& databasePath, const QString& copyPath, const QString& folder, DateTime now)
{
    RestoreOutcome out;
    QString why;
    if (!checkBackup(copyPath, &why)) {
        out.error = why;
        return out;
    }
    // The file as it is now, kept first, as it is (a damaged file too): a restore can itself be
    // undone.
    const DateParts p = splitDate(now);
    out.safetyCopy = QDir(folder).filePath(QString::asprintf(
        "restore-safety-%04d%02d%02d-%02d%02d%02d.mdb", p.year, p.month, p.day, p.hour, p.minute, p.second));
    const bool hadFile = QFileInfo::exists(databasePath);
    if (!QDir().mkpath(folder)
        || (hadFile
            && (!(copyLive(databasePath, out.safetyCopy, nullptr, &why) || copyBytes(databasePath, out.safetyCopy, &why))
                || !syncFile(out.safetyCopy, &why)))) {
        removeFile(out.safetyCopy);
        out.error = QStringLiteral("未能先保存当前数据库，没有恢复：") + why;
        out.safetyCopy.clear();
        return out;
    }
    if (!hadFile)
        out.safetyCopy.clear();
    const QString incoming = databasePath + QStringLiteral(".restoring");
    if (!copyBytes(copyPath, incoming, &why) || !syncFile(incoming, &why)) {
        removeFile(incoming);
        out.error = why;
        return out;
    }
    db.closeDatabase();
    // One rename puts the copy in place: the file is the old one or the new one, never half.
    std::error_code code;
    std::filesystem::rename(std::filesystem::path(incoming.toStdWString()),
        std::filesystem::path(databasePath.toStdWString()), code);
    if (code) {
        removeFile(incoming);
        db.openDatabase(databasePath);
        out.error = QStringLiteral("无法替换数据库文件：") + QString::fromStdString(code.message());
        return out;
    }
    if (!db.openDatabase(databasePath)) {
        // Should the copy not open after all, the file as it was goes back the same way.
        const bool back = !out.safetyCopy.isEmpty() && copyBytes(out.safetyCopy, incoming, &why)
            && syncFile(incoming, &why)
            && (std::filesystem::rename(std::filesystem::path(incoming.toStdWString()),
                    std::filesystem::path(databasePath.toStdWString()), code),
                !code);
        removeFile(incoming);
        db.openDatabase(databasePath);
        out.error = back ? QStringLiteral("恢复的数据库无法打开，已还原为原来的数据库。")
                         : QStringLiteral("恢复的数据库无法打开，原来的数据库保存在") + native(out.safetyCopy)
                + QStringLiteral("，请手工复制回来。");
        return out;
    }
    // The restored file's own open shift, if it has one, takes the row. Usages the copy holds
    // were open when it was taken; timing them again would charge the hours since, so they are
    // cleared and named in the row.
    ShiftRecord open;
    bool found = false;
    db.setShift(readOpenShift(db, open, found, nullptr) && found ? open.number : 0);
    LedgerEntry entry = ledgerEntry(db, QStringLiteral("恢复备份"));
    entry.detail = QStringLiteral("恢复自") + QFileInfo(copyPath).fileName()
        + (out.safetyCopy.isEmpty() ? QString() : QStringLiteral("，安全副本") + QFileInfo(out.safetyCopy).fileName());
    const bool recorded = changeWithLedger(db, entry,
        [&](LedgerEntry& e, QString* error) {
            QSqlQuery q(db.connection());
            if (!q.exec(QStringLiteral("select group_concat(机号, '、') from 上机记录")) || !q.next())
                return fail(error, errorText(q.lastError()));
            const QString machines = q.value(0).toString();
            q.finish();
            if (machines.isEmpty())
                return true;
            e.detail += QStringLiteral("，备份中未结束的上机（") + machines + QStringLiteral("号机）已清除");
            return db.run(QStringLiteral("delete from 上机记录")) || fail(error, db.lastError());
        },
        &why);
    if (!recorded)
        out.error = QStringLiteral("已恢复，但操作记录未能写入：") + why;
    out.ok = true;
    return out;
}
