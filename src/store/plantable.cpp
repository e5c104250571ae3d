#include "plantable.h"

#include "common/values.h"
#include "database.h"
#include "ledgertable.h"
#include "sqltext.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace {

bool failed(Database& db, const QSqlQuery& q, QString* error)
{
    if (error)
        *error = db.isOpen() ? errorText(q.lastError()) : db.lastError();
    return false;
}

StoredPlan planOf(const QSqlQuery& q)
{
    return { q.value(0).toInt(), q.value(1).toString(), q.value(2).toInt() != 0, q.value(3).toString() };
}

} // namespace

bool readPlans(Database& db, QVector<StoredPlan>& plans, QString* error)
{
    plans.clear();
    if (!db.ensureOpen()) {
        if (error)
            *error = db.lastError();
        return false;
    }
    QSqlQuery q(db.connection());
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("select 版本, 区域, 启用, 方案 from 计费方案 where 版本 in (select max(版本) from 计费方案 "
                               "group by 区域) order by (select min(版本) from 计费方案 f where f.区域=计费方案.区域)")))
        return failed(db, q, error);
    while (q.next())
        plans.append(planOf(q));
    return true;
}

bool readPlanVersion(Database& db, int version, StoredPlan& plan, QString* error)
{
    if (!db.ensureOpen()) {
        if (error)
            *error = db.lastError();
        return false;
    }
    QSqlQuery q(db.connection());
    q.prepare(QStringLiteral("select 版本, 区域, 启用, 方案 from 计费方案 where 版本=?"));
    q.addBindValue(version);
    if (!q.exec())
        return failed(db, q, error);
    if (!q.next()) {
        if (error)
            *error = QStringLiteral("数据库中没有第%1版计费方案！").arg(version);
        return false;
    }
    plan = planOf(q);
    return true;
}

bool savePlan(Database& db, StoredPlan& plan, const QString& beforeText, const QString& afterText, QString* error)
{
    LedgerEntry entry = ledgerEntry(db, QStringLiteral("计费方案"));
    entry.before = beforeText;
    entry.after = afterText;
    entry.detail = plan.zone + (plan.enabled ? QStringLiteral("，使用计费方案") : QStringLiteral("，不用计费方案"));
    int version = 0;
    const bool saved = changeWithLedger(
        db, entry,
        [&](LedgerEntry&, QString* why) {
            qint64 id = 0;
            if (!db.insert(QStringLiteral("insert into 计费方案 (区域, 启用, 方案, 时间) values (?, ?, ?, ?)"),
                    { plan.zone, plan.enabled ? 1 : 0, plan.text, now().days }, QStringLiteral("版本"), id)) {
                *why = db.lastError();
                return false;
            }
            version = int(id);
            return true;
        },
        error);
    if (saved)
        plan.version = version;
    return saved;
}
