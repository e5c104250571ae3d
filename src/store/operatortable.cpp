#include "operatortable.h"

#include "common/password.h"
#include "database.h"
#include "sqltext.h"

#include <QSqlError>
#include <QSqlQuery>

namespace {

QString lockText(DateTime t) { return t.toQDateTime().toString(QStringLiteral("HH:mm:ss")); }

bool readError(Database& db, const QSqlQuery& q, QString* error)
{
    if (error)
        *error = db.isOpen() ? errorText(q.lastError()) : db.lastError();
    return false;
}

struct StoredOperator {
    bool found = false;
    QString role;
    QString hash;
    bool enabled = false;
    int failures = 0;
    double lockedUntil = 0.0;
};

bool readOperator(Database& db, const QString& name, StoredOperator& op, QString* error)
{
    if (!db.ensureOpen()) {
        if (error)
            *error = db.lastError();
        return false;
    }
    QSqlQuery q(db.connection());
    q.prepare(QStringLiteral("select 角色, 密码, 启用, 失败次数, 锁定至 from 操作员 where 姓名=?"));
    q.addBindValue(name);
    if (!q.exec())
        return readError(db, q, error);
    op.found = q.next();
    if (op.found) {
        op.role = q.value(0).toString();
        op.hash = q.value(1).toString();
        op.enabled = q.value(2).toInt() != 0;
        op.failures = q.value(3).toInt();
        op.lockedUntil = q.value(4).toDouble();
    }
    return true;
}

// Inside the change's transaction: a change that leaves no enabled owner is undone.
bool ownerRemains(Database& db, QString* error)
{
    QSqlQuery q(db.connection());
    if (!q.exec(QStringLiteral("select count(*) from 操作员 where 角色='店长' and 启用=1")) || !q.next())
        return readError(db, q, error);
    if (q.value(0).toInt() > 0)
        return true;
    if (error)
        *error = QStringLiteral("至少要保留一个启用的店长！");
    return false;
}

bool validRole(const QString& role, QString* error)
{
    if (role == ownerRole() || role == cashierRole())
        return true;
    if (error)
        *error = QStringLiteral("请选择角色！");
    return false;
}

bool failWith(QString* error, const QString& text)
{
    if (error)
        *error = text;
    return false;
}

} // namespace

QString ownerRole() { return QStringLiteral("店长"); }
QString cashierRole() { return QStringLiteral("收银员"); }

bool readOperators(Database& db, QVector<OperatorRecord>& operators, QString* error)
{
    operators.clear();
    if (!db.ensureOpen())
        return failWith(error, db.lastError());
    QSqlQuery q(db.connection());
    if (!q.exec(QStringLiteral("select 姓名, 角色, 启用 from 操作员 order by 编号")))
        return readError(db, q, error);
    while (q.next())
        operators.append({ q.value(0).toString(), q.value(1).toString(), q.value(2).toInt() != 0 });
    return true;
}

bool addOperator(Database& db, const QString& name, const QString& role, const QString& password, QString* error)
{
    if (name.trimmed().isEmpty() || password.isEmpty())
        return failWith(error, QStringLiteral("请输入姓名和密码！"));
    if (!isStorableText(name))
        return failWith(error, unstorableTextMessage());
    if (!validRole(role, error))
        return false;
    const QString hash = hashPassword(password);
    if (hash.isEmpty())
        return failWith(error, QStringLiteral("密码未能加密保存，请重试！"));
    LedgerEntry entry = ledgerEntry(db, QStringLiteral("新增操作员"));
    entry.after = role;
    entry.detail = name;
    return changeWithLedger(db, entry,
        [&](LedgerEntry&, QString* why) {
            StoredOperator existing;
            if (!readOperator(db, name, existing, why))
                return false;
            if (existing.found)
                return failWith(why, QStringLiteral("已有名为") + name + QStringLiteral("的操作员！"));
            QSqlQuery count(db.connection());
            if (!count.exec(QStringLiteral("select count(*) from 操作员")) || !count.next())
                return readError(db, count, why);
            if (count.value(0).toInt() == 0 && role != ownerRole())
                return failWith(why, QStringLiteral("第一个操作员必须是店长！"));
            return db.run(QStringLiteral("insert into 操作员 (姓名, 角色, 密码, 启用, 失败次数) values (?, ?, ?, 1, 0)"),
                       { name, role, hash })
                || failWith(why, db.lastError());
        },
        error);
}

bool changeOperator(Database& db, const QString& name, const QString& role, const QString& password, QString* error)
{
    if (!validRole(role, error))
        return false;
    const QString hash = password.isEmpty() ? QString() : hashPassword(password);
    if (!password.isEmpty() && hash.isEmpty())
        return failWith(error, QStringLiteral("密码未能加密保存，请重试！"));
    LedgerEntry entry = ledgerEntry(db, QStringLiteral("修改操作员"));
    entry.detail = password.isEmpty() ? name : name + QStringLiteral("，改密码");
    return changeWithLedger(db, entry,
        [&](LedgerEntry& e, QString* why) {
            StoredOperator existing;
            if (!readOperator(db, name, existing, why))
                return false;
            if (!existing.found)
                return failWith(why, QStringLiteral("找不到操作员") + name + QStringLiteral("！"));
            e.before = existing.role;
            e.after = role;
            // A new password also lifts a lock: the owner has just set it.
            const bool ok = hash.isEmpty()
                ? db.run(QStringLiteral("update 操作员 set 角色=? where 姓名=?"), { role, name })
                : db.run(QStringLiteral("update 操作员 set 角色=?, 密码=?, 失败次数=0, 锁定至=NULL where 姓名=?"),
                      { role, hash, name });
            return (ok || failWith(why, db.lastError())) && ownerRemains(db, why);
        },
        error);
}

bool setOperatorEnabled(Database& db, const QString& name, bool enabled, QString* error)
{
    LedgerEntry entry = ledgerEntry(db, enabled ? QStringLiteral("启用操作员") : QStringLiteral("停用操作员"));
    entry.detail = name;
    return changeWithLedger(db, entry,
        [&](LedgerEntry&, QString* why) {
            if (!db.run(QStringLiteral("update 操作员 set 启用=? where 姓名=?"), { enabled ? 1 : 0, name }))
                return failWith(why, db.lastError());
            if (db.rowsAffected() != 1)
                return failWith(why, QStringLiteral("找不到操作员") + name + QStringLiteral("！"));
            return ownerRemains(db, why);
        },
        error);
}

PasswordOutcome checkPassword(
    Database& db, const QString& name, const QString& password, LedgerEntry onRight, bool ownerOnly)
{
    PasswordOutcome out;
    StoredOperator op;
    if (!readOperator(db, name, op, &out.error))
        return out;
    out.role = op.role;
    if (!op.found) {
        out.result = PasswordOutcome::Unknown;
        return out;
    }
    if (!op.enabled) {
        out.result = PasswordOutcome::Disabled;
        return out;
    }
    if (ownerOnly && op.role != ownerRole()) {
        out.result = PasswordOutcome::NotOwner;
        return out;
    }
    const DateTime moment = now();
    if (op.lockedUntil > moment.days) {
        out.result = PasswordOutcome::Locked;
        out.lockedUntil = DateTime(op.lockedUntil);
        return out;
    }
    if (passwordMatches(op.hash, password)) {
        out.result = PasswordOutcome::Right;
        changeWithLedger(db, onRight,
            [&](LedgerEntry&, QString* why) {
                return db.run(QStringLiteral("update 操作员 set 失败次数=0, 锁定至=NULL where 姓名=?"), { name })
                    || failWith(why, db.lastError());
            },
            &out.error);
        return out;
    }
    // A lock that ran out starts the count afresh.
    const int failures = (op.lockedUntil > 0.0 ? 0 : op.failures) + 1;
    const bool locks = failures >= kPasswordTries;
    const DateTime until(moment.days + kLockMinutes / (24.0 * 60.0));
    LedgerEntry failed = onRight;
    failed.kind = onRight.kind + QStringLiteral("失败");
    if (locks)
        failed.detail += (failed.detail.isEmpty() ? QString() : QStringLiteral("，")) + QStringLiteral("锁定至")
            + lockText(until);
    QString why;
    const bool counted = changeWithLedger(db, failed,
        [&](LedgerEntry&, QString* e) {
            return db.run(QStringLiteral("update 操作员 set 失败次数=?, 锁定至=? where 姓名=?"),
                       { locks ? 0 : failures, locks ? QVariant(until.days) : QVariant(), name })
                || failWith(e, db.lastError());
        },
        &why);
    if (!counted) {
        // Not counted, so not let in either: a guesser gains nothing from an outage.
        out.result = PasswordOutcome::StoreFailed;
        out.error = why;
        return out;
    }
    out.result = locks ? PasswordOutcome::Locked : PasswordOutcome::Wrong;
    out.triesLeft = locks ? 0 : kPasswordTries - failures;
    out.lockedUntil = locks ? until : DateTime();
    return out;
}

QString passwordRefusal(const PasswordOutcome& outcome)
{
    switch (outcome.result) {
    case PasswordOutcome::Right:
        return QString();
    case PasswordOutcome::Wrong:
        return QStringLiteral("密码错误！还可以再试") + QString::number(outcome.triesLeft) + QStringLiteral("次。");
    case PasswordOutcome::Locked:
        return QStringLiteral("密码连续错误") + QString::number(kPasswordTries) + QStringLiteral("次，该操作员已锁定至")
            + lockText(outcome.lockedUntil) + QStringLiteral("，请到时再试！");
    case PasswordOutcome::Disabled:
        return QStringLiteral("该操作员已停用！");
    case PasswordOutcome::NotOwner:
        return QStringLiteral("只有店长可以授权！");
    case PasswordOutcome::Unknown:
        return QStringLiteral("请选择操作员！");
    case PasswordOutcome::StoreFailed:
        break;
    }
    return outcome.error;
}
