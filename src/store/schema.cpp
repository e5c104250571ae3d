#include "schema.h"

#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

namespace {

QString engineText(const QSqlError& e)
{
    const QString db = e.databaseText().trimmed();
    return db.isEmpty() ? e.text().trimmed() : db;
}

int userVersion(QSqlDatabase& db, bool* ok)
{
    QSqlQuery q(db);
    *ok = q.exec(QStringLiteral("PRAGMA user_version")) && q.next();
    return *ok ? q.value(0).toInt() : 0;
}

// Runs the statements and sets the version, all or nothing.
bool runStep(QSqlDatabase& db, const SchemaStep& step, QString* why)
{
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("BEGIN IMMEDIATE"))) {
        *why = engineText(q.lastError());
        return false;
    }
    // Another program may have run the step while this one waited for the lock.
    bool ok = false;
    if (userVersion(db, &ok) >= step.version && ok) {
        q.exec(QStringLiteral("ROLLBACK"));
        return true;
    }
    QStringList statements = step.statements;
    statements.append(QStringLiteral("PRAGMA user_version=%1").arg(step.version));
    for (const QString& s : statements) {
        if (!q.exec(s)) {
            *why = engineText(q.lastError()) + QStringLiteral("（") + s + QStringLiteral("）");
            q.exec(QStringLiteral("ROLLBACK"));
            return false;
        }
    }
    if (!q.exec(QStringLiteral("COMMIT"))) {
        *why = engineText(q.lastError());
        q.exec(QStringLiteral("ROLLBACK"));
        return false;
    }
    return true;
}

} // namespace

QStringList baseTableStatements()
{
    // Declared types: TEXT, MONEY (currency, four decimal places), SINGLE (single precision),
    // INTEGER, DATETIME (stored as 'yyyy-mm-dd hh:mm:ss' text, so it compares by day).
    return {
        QStringLiteral("CREATE TABLE 会员表 (会员编号 TEXT, 面值 MONEY, 使用额 MONEY, 余额 MONEY)"),
        QStringLiteral("CREATE TABLE 商品表 (商品名称 TEXT, 单价 SINGLE)"),
        QStringLiteral("CREATE TABLE 收入记录 (日期 DATETIME, 机号 INTEGER, 收入类型 TEXT, 收入名称 TEXT, 收入金额 MONEY)"),
    };
}

const QVector<SchemaStep>& schemaSteps()
{
    static const QVector<SchemaStep> steps {
        // 1: the indexes. Two cards with one number would both be debited by one checkout; the
        // report and the daily detail read by day, and the report's two views sum one income
        // type per day, which the last index answers without touching the table.
        { 1,
            {
                QStringLiteral("CREATE UNIQUE INDEX IF NOT EXISTS 会员表_会员编号 ON 会员表 (会员编号)"),
                QStringLiteral("CREATE INDEX IF NOT EXISTS 商品表_商品名称 ON 商品表 (商品名称)"),
                QStringLiteral("CREATE INDEX IF NOT EXISTS 收入记录_日期 ON 收入记录 (日期)"),
                QStringLiteral("CREATE INDEX IF NOT EXISTS 收入记录_类型日期 ON 收入记录 (收入类型, 日期, 收入金额)"),
            } },
        // 2: the usages open on the counter and the last moment the program was seen running,
        // so that a crash or a power cut loses no running bill. Times are OLE dates.
        { 2,
            {
                QStringLiteral("CREATE TABLE 上机记录 (机号 INTEGER PRIMARY KEY, 上机时间 REAL NOT NULL, 分钟价 REAL NOT "
                               "NULL, 上机钟点 TEXT, 定时 TEXT, 押金 TEXT, 商品额 TEXT, 待结帐 INTEGER NOT NULL DEFAULT 0, "
                               "结束钟点 TEXT, 金额 TEXT, 中断处理 TEXT)"),
                QStringLiteral("CREATE TABLE 运行记录 (项目 TEXT PRIMARY KEY, 时间 REAL)"),
            } },
        // 3: the operators and the ledger. The ledger only grows: the triggers refuse to change
        // or remove a row, and the hash chain shows it when another tool does it all the same.
        { 3,
            {
                QStringLiteral("CREATE TABLE 操作员 (编号 INTEGER PRIMARY KEY, 姓名 TEXT NOT NULL UNIQUE, 角色 TEXT NOT "
                               "NULL, 密码 TEXT NOT NULL, 启用 INTEGER NOT NULL DEFAULT 1, 失败次数 INTEGER NOT NULL "
                               "DEFAULT 0, 锁定至 REAL)"),
                QStringLiteral("CREATE TABLE 操作记录 (序号 INTEGER PRIMARY KEY, 时间 DATETIME NOT NULL, 操作员 TEXT, "
                               "授权店长 TEXT, 类型 TEXT NOT NULL, 机号 INTEGER, 会员编号 TEXT, 商品名称 TEXT, 金额 MONEY, "
                               "现金 MONEY, 卡额 MONEY, 之前 TEXT, 之后 TEXT, 说明 TEXT, 班次 INTEGER, 校验 TEXT NOT NULL)"),
                QStringLiteral("CREATE INDEX 操作记录_时间 ON 操作记录 (时间)"),
                QStringLiteral("CREATE TRIGGER 操作记录_不改 BEFORE UPDATE ON 操作记录 BEGIN SELECT RAISE(ABORT, "
                               "'操作记录只能增加，不能修改'); END"),
                QStringLiteral("CREATE TRIGGER 操作记录_不删 BEFORE DELETE ON 操作记录 BEGIN SELECT RAISE(ABORT, "
                               "'操作记录只能增加，不能删除'); END"),
            } },
        // 4: the shifts. At most one is open; a shift that was handed over is never changed,
        // and none is removed.
        { 4,
            {
                QStringLiteral("CREATE TABLE 班次 (编号 INTEGER PRIMARY KEY, 操作员 TEXT, 开始时间 DATETIME NOT NULL, "
                               "备用金 MONEY NOT NULL DEFAULT 0, 结束时间 DATETIME, 应有现金 MONEY, 实点现金 MONEY, "
                               "差额 MONEY, 在用押金 MONEY, 备注 TEXT, 留存备用金 MONEY, 校验 TEXT)"),
                QStringLiteral("CREATE UNIQUE INDEX 班次_只开一个 ON 班次 (ifnull(结束时间, 0)) WHERE 结束时间 IS NULL"),
                QStringLiteral("CREATE INDEX 操作记录_班次 ON 操作记录 (班次)"),
                QStringLiteral("CREATE TRIGGER 班次_已交不改 BEFORE UPDATE ON 班次 WHEN OLD.结束时间 IS NOT NULL BEGIN "
                               "SELECT RAISE(ABORT, '已交班的班次不能修改'); END"),
                QStringLiteral("CREATE TRIGGER 班次_不删 BEFORE DELETE ON 班次 BEGIN SELECT RAISE(ABORT, "
                               "'班次不能删除'); END"),
            } },
        // 5: the machines and their zones, no longer fixed at fifteen. A file comes out of the
        // step with the fifteen machines it always timed, all in 大厅, so nothing changes on
        // the counter until the owner sets them up.
        { 5,
            {
                QStringLiteral("CREATE TABLE 区域 (编号 INTEGER PRIMARY KEY, 名称 TEXT NOT NULL UNIQUE, 颜色 TEXT)"),
                QStringLiteral("CREATE TABLE 机器 (机号 INTEGER PRIMARY KEY CHECK (机号 BETWEEN 1 AND 500), 名称 TEXT "
                               "NOT NULL DEFAULT '', 区域 TEXT)"),
                QStringLiteral("INSERT INTO 区域 (编号, 名称) VALUES (1, '大厅')"),
                QStringLiteral("WITH RECURSIVE 号(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM 号 WHERE n < 15) "
                               "INSERT INTO 机器 (机号, 区域) SELECT n, '大厅' FROM 号"),
            } },
        // 6: how each payment was made. A ledger row keeps its method, the payment's reference
        // and what that method took in (the drawer's cash stays in 现金), and a top-up the
        // bonus it gave; rows written before the step read as paid in cash. 充值赠送 holds the
        // owner's offers: a top-up of at least 满 gets 送 on the card.
        { 6,
            {
                QStringLiteral("ALTER TABLE 操作记录 ADD COLUMN 支付方式 TEXT NOT NULL DEFAULT ''"),
                QStringLiteral("ALTER TABLE 操作记录 ADD COLUMN 单号 TEXT NOT NULL DEFAULT ''"),
                QStringLiteral("ALTER TABLE 操作记录 ADD COLUMN 收款 MONEY NOT NULL DEFAULT 0"),
                QStringLiteral("ALTER TABLE 操作记录 ADD COLUMN 赠送 MONEY NOT NULL DEFAULT 0"),
                QStringLiteral("CREATE TABLE 充值赠送 (满 MONEY PRIMARY KEY CHECK (满 > 0), 送 MONEY NOT NULL CHECK (送 "
                               "> 0))"),
            } },
        // 7: a shift's rows are found by their numbers, between two handovers, so the ledger no
        // longer keeps an index of every row's shift, which each checkout paid for in its
        // durable commit; only the handover and count rows, which are looked up by shift, are
        // indexed, and an ordinary row touches neither index.
        { 7,
            {
                QStringLiteral("DROP INDEX IF EXISTS 操作记录_班次"),
                QStringLiteral("CREATE INDEX 操作记录_交班 ON 操作记录 (班次) WHERE 类型='交班'"),
                QStringLiteral("CREATE INDEX 操作记录_点钞 ON 操作记录 (班次) WHERE 类型='点钞'"),
            } },
        // 8: price plans by zone. Every save is a new version and none is changed, so a usage
        // keeps pricing by the version it started with; the usage row names it, with the
        // packages sold to it and, once stopped, the minutes its bill was made for. A usage
        // written before the step reads as priced by the rate box.
        { 8,
            {
                QStringLiteral("CREATE TABLE 计费方案 (版本 INTEGER PRIMARY KEY AUTOINCREMENT, 区域 TEXT NOT NULL, 启用 INTEGER NOT "
                               "NULL, 方案 TEXT NOT NULL, 时间 REAL)"),
                QStringLiteral("CREATE INDEX 计费方案_区域 ON 计费方案 (区域, 版本)"),
                QStringLiteral("CREATE TRIGGER 计费方案_不改 BEFORE UPDATE ON 计费方案 BEGIN SELECT RAISE(ABORT, "
                               "'计费方案只能增加新版本'); END"),
                QStringLiteral("CREATE TRIGGER 计费方案_不删 BEFORE DELETE ON 计费方案 BEGIN SELECT RAISE(ABORT, "
                               "'计费方案只能增加新版本'); END"),
                QStringLiteral("ALTER TABLE 上机记录 ADD COLUMN 方案版本 INTEGER NOT NULL DEFAULT 0"),
                QStringLiteral("ALTER TABLE 上机记录 ADD COLUMN 套餐 TEXT NOT NULL DEFAULT ''"),
                QStringLiteral("ALTER TABLE 上机记录 ADD COLUMN 计时 INTEGER NOT NULL DEFAULT 0"),
            } },
        // 9: the client PCs the owner allowed: the key each machine's client proved it holds.
        { 9,
            {
                QStringLiteral("CREATE TABLE 客户机 (机号 INTEGER PRIMARY KEY CHECK (机号 BETWEEN 1 AND 500), 公钥 TEXT NOT "
                               "NULL, 允许时间 REAL)"),
            } },
        // 10: several counters on one store. A machine belongs to the counter it names (none: to
        // every counter, as on a file of one), and each counter has an open shift of its own.
        { 10,
            {
                QStringLiteral("ALTER TABLE 机器 ADD COLUMN 柜台 TEXT NOT NULL DEFAULT ''"),
                QStringLiteral("ALTER TABLE 班次 ADD COLUMN 柜台 TEXT NOT NULL DEFAULT ''"),
                QStringLiteral("DROP INDEX 班次_只开一个"),
                QStringLiteral("CREATE UNIQUE INDEX 班次_每柜台只开一个 ON 班次 (柜台) WHERE 结束时间 IS NULL"),
            } },
    };
    return steps;
}

int currentSchemaVersion() { return schemaSteps().isEmpty() ? 0 : schemaSteps().last().version; }

UpgradeResult upgradeSchema(
    QSqlDatabase& db, const QString& path, const QVector<SchemaStep>& steps, int* fromVersion, QString* error)
{
    QString why;
    bool ok = false;
    const int version = userVersion(db, &ok);
    if (fromVersion)
        *fromVersion = version;
    const int target = steps.isEmpty() ? 0 : steps.last().version;
    if (!ok) {
        if (error)
            *error = engineText(db.lastError());
        return UpgradeResult::Failed;
    }
    if (version > target)
        return UpgradeResult::TooNew;
    if (version == target)
        return UpgradeResult::Current;
    // The copy comes first: whatever a step does, the file as it was can be had again. It is
    // taken under the write lock, so no other program is half-way through a change; an earlier
    // copy of the same version is kept beside it.
    QString copy = path + QStringLiteral(".v%1.bak").arg(version);
    for (int i = 2; QFileInfo::exists(copy); ++i)
        copy = path + QStringLiteral(".v%1-%2.bak").arg(version).arg(i);
    QSqlQuery lock(db);
    const bool locked = lock.exec(QStringLiteral("BEGIN IMMEDIATE"));
    const bool copied = locked && QFile::copy(path, copy);
    if (locked)
        lock.exec(QStringLiteral("ROLLBACK"));
    if (!copied) {
        if (error)
            *error = locked ? QStringLiteral("无法复制数据库到“%1”，未升级。").arg(copy) : engineText(lock.lastError());
        return UpgradeResult::Failed;
    }
    for (const SchemaStep& step : steps) {
        if (step.version <= version)
            continue;
        if (!runStep(db, step, &why)) {
            if (error)
                *error = QStringLiteral("数据库升级到第%1版失败：%2").arg(step.version).arg(why);
            return UpgradeResult::Failed;
        }
    }
    return UpgradeResult::Upgraded;
}

bool createDatabase(const QString& path, QString* error)
{
    if (QFileInfo::exists(path))
        return true;
    const QString temp = path + QStringLiteral(".new");
    QFile::remove(temp);
    const QString name = QStringLiteral("schema:") + path;
    bool ok = true;
    QString why;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(temp);
        ok = db.open();
        if (!ok)
            why = db.lastError().text();
        if (ok) {
            QSqlQuery q(db);
            ok = q.exec(QStringLiteral("PRAGMA journal_mode=DELETE"));
            // Version 0 and every step in one transaction: a new file is made whole or not at all.
            QStringList statements = baseTableStatements();
            for (const SchemaStep& step : schemaSteps())
                statements += step.statements;
            statements.append(QStringLiteral("PRAGMA user_version=%1").arg(currentSchemaVersion()));
            ok = ok && db.transaction();
            for (const QString& s : statements) {
                if (!ok)
                    break;
                ok = q.exec(s);
                if (!ok)
                    why = q.lastError().text() + QStringLiteral(" in: ") + s;
            }
            ok = ok && db.commit();
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    if (ok && !QFile::rename(temp, path)) {
        ok = QFileInfo::exists(path); // someone else made it meanwhile
        why = QStringLiteral("cannot rename ") + temp;
    }
    if (!ok) {
        QFile::remove(temp);
        if (error)
            *error = why;
    }
    return ok;
}
