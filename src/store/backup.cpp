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
#include <QProcess>
#include <QStandardPaths>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include <sqlite3.h>

#include <algorithm>
#include <filesystem>

#ifdef Q_OS_WIN
#include <io.h>
#include <stdio.h>
#else
#include <fcntl.h>
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

QString backupName(DateTime taken, BackupKind kind)
{
    const DateParts p = splitDate(taken);
    return QString::asprintf("date-%04d%02d%02d-%02d%02d%02d.", p.year, p.month, p.day, p.hour, p.minute, p.second)
        + (kind == BackupKind::ServerDump ? QStringLiteral("dump") : QStringLiteral("mdb"));
}

namespace {

BackupKind kindOfCopy(const QString& path)
{
    return path.contains(QStringLiteral(".dump")) ? BackupKind::ServerDump : BackupKind::File;
}

// PostgreSQL's own tools, which the server's dump is taken and read with.
bool runPgTool(const QString& tool, const QStringList& arguments, QByteArray* output, QString* error)
{
    const QString program = QStandardPaths::findExecutable(tool);
    if (program.isEmpty()) {
        *error = QStringLiteral("找不到%1（Debian的postgresql-client），无法备份服务器上的数据库。").arg(tool);
        return false;
    }
    QProcess process;
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.start(program, arguments);
    // A dump of a year's bookings takes minutes; one that hangs is ended after an hour.
    if (!process.waitForFinished(60 * 60 * 1000)) {
        process.kill();
        process.waitForFinished();
        *error = QStringLiteral("%1未能完成。").arg(tool);
        return false;
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        const QString said = QString::fromLocal8Bit(process.readAllStandardError()).trimmed();
        *error = QStringLiteral("%1失败：%2").arg(tool, said.isEmpty() ? QStringLiteral("退出码%1").arg(process.exitCode()) : said);
        return false;
    }
    if (output)
        *output = process.readAllStandardOutput();
    return true;
}

// A dump is sound when pg_restore can read its table of contents and it holds the program's
// tables with their rows.
bool checkServerDump(const QString& path, QString* error)
{
    QByteArray list;
    QString why;
    if (!runPgTool(QStringLiteral("pg_restore"), { QStringLiteral("--list"), path }, &list, &why)) {
        *error = QStringLiteral("“%1”无法读取：%2").arg(QDir::toNativeSeparators(path), why);
        return false;
    }
    const QString contents = QString::fromUtf8(list);
    for (const char16_t* table : { u"操作记录", u"收入记录", u"会员表", u"数据库版本" }) {
        if (!contents.contains(QStringLiteral("TABLE DATA public ") + QString::fromUtf16(table) + u' ')) {
            *error = QStringLiteral("“%1”中没有%2的数据。").arg(QDir::toNativeSeparators(path), QString::fromUtf16(table));
            return false;
        }
    }
    return true;
}

} // namespace

QVector<BackupFile> listBackups(const QString& folder)
{
    // Names read by hand: the console lists its copies as it starts, and a pattern would bring
    // the regular expression engine into memory for that alone.
    QVector<BackupFile> files;
    const QFileInfoList entries = QDir(folder).entryInfoList(QDir::Files);
    for (const QFileInfo& info : entries) {
        const QString name = info.fileName();
        const qsizetype stem = name.endsWith(u".mdb") ? name.size() - 4 : name.endsWith(u".dump") ? name.size() - 5 : -1;
        // date-yyyymmdd-hhmmss
        if (stem != 20 || !name.startsWith(u"date-") || name[13] != u'-')
            continue;
        const auto n = [&](int at, int digits) {
            int value = 0;
            for (int i = at; i < at + digits; ++i) {
                if (name[i] < u'0' || name[i] > u'9')
                    return -1;
                value = value * 10 + (name[i].unicode() - u'0');
            }
            return value;
        };
        const int parts[6] = { n(5, 4), n(9, 2), n(11, 2), n(14, 2), n(16, 2), n(18, 2) };
        if (std::any_of(std::begin(parts), std::end(parts), [](int p) { return p < 0; }))
            continue;
        files.append(
            { info.filePath(), makeDate(parts[0], parts[1], parts[2], parts[3], parts[4], parts[5]), info.size() });
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
    if (kindOfCopy(path) == BackupKind::ServerDump)
        return checkServerDump(path, error);
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

QString checkingPath(const QString& folder, DateTime now, BackupKind kind)
{
    // Checked under a name of its own: only a copy that passed counts as one.
    return QDir(folder).filePath(backupName(now, kind)) + QStringLiteral(".checking");
}

bool makeBackupFolder(const QString& folder, QString* error)
{
    return QDir().mkpath(folder) || fail(error, QStringLiteral("无法建立备份目录“%1”。").arg(native(folder)));
}

BackupOutcome keepBackup(const QString& checking, const QString& folder, const QString& secondFolder, DateTime now)
{
    BackupOutcome out;
    const BackupKind kind = kindOfCopy(checking);
    const QString target = QDir(folder).filePath(backupName(now, kind));
    if (!syncFile(checking, &out.error)) {
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
            if (copyChecked(target, QDir(secondFolder).filePath(backupName(now, kind)), &why))
                applyRetention(secondFolder, now);
            else
                out.secondError = why;
        }
    }
    return out;
}

bool copiedByDump(const Database& db) { return db.engine() == Database::Engine::PostgreSQL; }

BackupOutcome makeServerBackup(const QString& address, const QString& folder, const QString& secondFolder, DateTime now)
{
    BackupOutcome out;
    if (!makeBackupFolder(folder, &out.error))
        return out;
    const QString checking = checkingPath(folder, now, BackupKind::ServerDump);
    // The server's own consistent snapshot; the counters go on booking meanwhile.
    QStringList arguments { QStringLiteral("--format=custom"), QStringLiteral("--no-password"), QStringLiteral("--file"), checking };
    if (!address.trimmed().isEmpty())
        arguments << QStringLiteral("--dbname") << address.trimmed();
    if (!runPgTool(QStringLiteral("pg_dump"), arguments, nullptr, &out.error)) {
        removeFile(checking);
        return out;
    }
    return keepBackup(checking, folder, secondFolder, now);
}

BackupOutcome makeBackup(const QString& databasePath, const QString& folder, const QString& secondFolder, DateTime now)
{
    BackupOutcome out;
    if (!makeBackupFolder(folder, &out.error))
        return out;
    const QString checking = checkingPath(folder, now);
    if (!copyLive(databasePath, checking, &out.lockedMs, &out.error)) {
        removeFile(checking);
        return out;
    }
    const double lockedMs = out.lockedMs;
    out = keepBackup(checking, folder, secondFolder, now);
    out.lockedMs = lockedMs;
    return out;
}

namespace {

// Asks the system to start writing a file's changed pages to the disk, without waiting.
void startWriting(const QString& path)
{
#ifdef Q_OS_LINUX
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd >= 0) {
        ::sync_file_range(fd, 0, 0, SYNC_FILE_RANGE_WRITE);
        ::close(fd);
    }
#else
    Q_UNUSED(path);
#endif
}

} // namespace

OnlineCopy::OnlineCopy(Database& db, const QString& to)
    : m_path(to)
{
    sqlite3* source = db.handle();
    const QString fault = seams::writeFault(to);
    if (!fault.isEmpty() || !source) {
        m_error = !fault.isEmpty() ? fault : QStringLiteral("数据库未打开。");
        return;
    }
    QFile::remove(to);
    if (sqlite3_open_v2(to.toUtf8().constData(), &m_target,
            SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr)
        != SQLITE_OK) {
        m_error = QStringLiteral("无法写入“%1”。").arg(native(to));
        return;
    }
    // The copy is synced once whole and checked before it counts: nothing to journal meanwhile.
    sqlite3_exec(m_target, "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF", nullptr, nullptr, nullptr);
    m_backup = sqlite3_backup_init(m_target, "main", source, "main");
    if (!m_backup)
        m_error = QString::fromUtf8(sqlite3_errmsg(m_target));
}

OnlineCopy::~OnlineCopy()
{
    const bool finished = m_done;
    close();
    if (!finished)
        QFile::remove(m_path);
}

void OnlineCopy::close()
{
    if (m_backup)
        sqlite3_backup_finish(m_backup);
    m_backup = nullptr;
    if (m_target)
        sqlite3_close(m_target);
    m_target = nullptr;
}

OnlineCopy::Step OnlineCopy::step()
{
    if (!m_backup)
        return Step::Failed;
    QElapsedTimer held;
    held.start();
    const int rc = sqlite3_backup_step(m_backup, m_pages);
    m_longestStepMs = std::max(m_longestStepMs, double(held.nsecsElapsed()) / 1e6);
    const int remaining = sqlite3_backup_remaining(m_backup);
    // The copy goes to the disk as it grows: left to the end, a hundred megabytes written at
    // once would hold up every booking's own durable commit behind them.
    m_sincePush += m_pages < 0 ? kPushPages : m_pages;
    if (m_sincePush >= kPushPages) {
        m_sincePush = 0;
        startWriting(m_path);
    }
    // Another program's write starts the copy again; should that keep happening, the rest is
    // taken in one step, under one read lock, as a whole-file copy would be.
    if (m_remaining >= 0 && remaining > m_remaining && ++m_restarts >= kRestartsBeforeWhole)
        m_pages = -1;
    m_remaining = remaining;
    m_busy = rc == SQLITE_BUSY || rc == SQLITE_LOCKED;
    if (m_busy && ++m_busySteps > kBusyStepsBeforeGivingUp) {
        m_error = QStringLiteral("数据库一直被占用，本次备份未完成。");
        close();
        return Step::Failed;
    }
    if (rc == SQLITE_OK || m_busy)
        return Step::More;
    if (rc == SQLITE_DONE) {
        const int finished = sqlite3_backup_finish(m_backup);
        m_backup = nullptr;
        const int closed = sqlite3_close(m_target);
        m_target = nullptr;
        if (finished == SQLITE_OK && closed == SQLITE_OK) {
            m_done = true;
            return Step::Done;
        }
        m_error = QString::fromUtf8(sqlite3_errstr(finished != SQLITE_OK ? finished : closed));
        return Step::Failed;
    }
    m_error = QStringLiteral("备份写入失败：") + QString::fromUtf8(sqlite3_errstr(rc));
    close();
    return Step::Failed;
}

RestoreOutcome restoreBackup(
    Database& db, const QString& databasePath, const QString& copyPath, const QString& folder, DateTime now)
{
    RestoreOutcome out;
    QString why;
    // A server's database is every counter's: it is put back by its administrator, with every
    // counter closed, never from one counter while the others book.
    if (db.engine() == Database::Engine::PostgreSQL) {
        out.error = QStringLiteral("数据库在服务器上，由所有柜台共用，不能在一个柜台上恢复。请关闭所有柜台后，由服务器管理员执行：\n"
                                   "pg_restore --clean --if-exists --single-transaction --dbname=库名 \"%1\"")
                        .arg(QDir::toNativeSeparators(copyPath));
        return out;
    }
    if (kindOfCopy(copyPath) == BackupKind::ServerDump) {
        out.error = QStringLiteral("“%1”是服务器数据库的备份，不能恢复为本机的date.mdb。").arg(QDir::toNativeSeparators(copyPath));
        return out;
    }
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
            if (!q.exec(QStringLiteral("select %1 from 上机记录").arg(db.listOf(QStringLiteral("机号"), QStringLiteral("、")))) || !q.next())
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
