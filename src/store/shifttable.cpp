#include "shifttable.h"

#include "database.h"
#include "ledgertable.h"
#include "sqltext.h"

#include <QSqlError>
#include <QSqlQuery>

#include <limits>

namespace {

const QString kShiftColumns = QStringLiteral(
    "编号, 操作员, 开始时间, 备用金, 结束时间, 应有现金, 实点现金, 差额, 在用押金, 备注, 留存备用金, 校验");

bool fail(QString* error, const QString& text)
{
    if (error)
        *error = text;
    return false;
}

bool queryFailed(Database& db, const QSqlQuery& q, QString* error)
{
    return fail(error, db.isOpen() ? errorText(q.lastError()) : db.lastError());
}

ShiftRecord shiftFrom(const QSqlQuery& q)
{
    ShiftRecord s;
    s.number = q.value(0).toInt();
    s.operatorName = q.value(1).toString();
    s.opened = parseStoredDate(q.value(2).toString());
    s.openingFloat = q.value(3).toDouble();
    s.closed = !q.value(4).isNull();
    s.closedAt = s.closed ? parseStoredDate(q.value(4).toString()) : DateTime();
    s.expected = q.value(5).toDouble();
    s.counted = q.value(6).toDouble();
    s.difference = q.value(7).toDouble();
    s.depositsHeld = q.value(8).toDouble();
    s.note = q.value(9).toString();
    s.leftFloat = q.value(10).toDouble();
    s.hash = q.value(11).toString();
    return s;
}

bool readShifts(Database& db, const QString& where, const QVariantList& binds, QVector<ShiftRecord>& shifts,
    QString* error)
{
    shifts.clear();
    if (!db.ensureOpen())
        return fail(error, db.lastError());
    QSqlQuery q(db.connection());
    q.prepare(QStringLiteral("select ") + kShiftColumns + QStringLiteral(" from 班次 ") + where);
    for (const QVariant& v : binds)
        q.addBindValue(v);
    if (!q.exec())
        return queryFailed(db, q, error);
    while (q.next())
        shifts.append(shiftFrom(q));
    return true;
}

// Money as the columns keep it: four decimals.
double stored(double v) { return toNumber(formatFixed(v, 4)); }

} // namespace

bool readOpenShift(Database& db, ShiftRecord& shift, bool& found, QString* error)
{
    QVector<ShiftRecord> open;
    found = false;
    if (!readShifts(db, QStringLiteral("where 结束时间 is null and 柜台=?"), { db.counterName() }, open, error))
        return false;
    found = !open.isEmpty();
    if (found)
        shift = open.first();
    return true;
}

bool readShift(Database& db, int number, ShiftRecord& shift, QString* error)
{
    QVector<ShiftRecord> one;
    if (!readShifts(db, QStringLiteral("where 编号=?"), { number }, one, error))
        return false;
    if (one.isEmpty())
        return fail(error, QStringLiteral("找不到第") + QString::number(number) + QStringLiteral("班！"));
    shift = one.first();
    return true;
}

bool readClosedShifts(Database& db, QVector<ShiftRecord>& shifts, int limit, QString* error)
{
    return readShifts(
        db, QStringLiteral("where 结束时间 is not null and 柜台=? order by 编号 desc limit ?"), { db.counterName(), limit },
        shifts, error);
}

double floatLeftInTheDrawer(Database& db)
{
    QVector<ShiftRecord> last;
    return readClosedShifts(db, last, 1, nullptr) && !last.isEmpty() ? last.first().leftFloat : 0.0;
}

bool openShift(Database& db, double openingFloat, ShiftRecord& opened, QString* error)
{
    const DateTime moment = now();
    LedgerEntry entry = ledgerEntry(db, QStringLiteral("开班"));
    entry.amount = openingFloat;
    // A float other than what was left is seen at once in the ledger.
    entry.before = formatFixed(floatLeftInTheDrawer(db), 2);
    entry.after = formatFixed(openingFloat, 2);
    int number = 0;
    const bool ok = changeWithLedger(db, entry,
        [&](LedgerEntry& e, QString* why) {
            qint64 id = 0;
            if (!db.insert(QStringLiteral("insert into 班次 (操作员, 开始时间, 备用金, 柜台) values (?, ?, ?, ?)"),
                    { db.operatorName().isNull() ? QStringLiteral("") : db.operatorName(), storedDate(moment),
                        stored(openingFloat), db.counterName() },
                    QStringLiteral("编号"), id))
                return fail(why, db.lastError());
            number = int(id);
            e.shift = number; // the first row of the shift
            return true;
        },
        error);
    if (!ok)
        return false;
    db.setShift(number);
    return readShift(db, number, opened, error);
}

bool changeOpeningFloat(Database& db, int number, double openingFloat, QString* error)
{
    LedgerEntry entry = ledgerEntry(db, QStringLiteral("改备用金"));
    entry.amount = openingFloat;
    return changeWithLedger(db, entry,
        [&](LedgerEntry& e, QString* why) {
            ShiftRecord shift;
            if (!readShift(db, number, shift, why))
                return false;
            if (shift.closed)
                return fail(why, QStringLiteral("已交班的班次不能修改"));
            e.before = formatFixed(shift.openingFloat, 2);
            e.after = formatFixed(openingFloat, 2);
            return db.run(QStringLiteral("update 班次 set 备用金=? where 编号=?"), { stored(openingFloat), number })
                || fail(why, db.lastError());
        },
        error);
}

bool recordCount(Database& db, int number, double counted, QString* error)
{
    LedgerEntry entry = ledgerEntry(db, QStringLiteral("点钞"));
    entry.shift = number;
    entry.amount = counted;
    return appendLedger(db, entry, error);
}

bool readCount(Database& db, int number, double& counted, bool& found, QString* error)
{
    found = false;
    if (!db.ensureOpen())
        return fail(error, db.lastError());
    QSqlQuery q(db.connection());
    q.prepare(QStringLiteral("select 金额 from 操作记录 where 班次=? and 类型='点钞' order by 序号 limit 1"));
    q.addBindValue(number);
    if (!q.exec())
        return queryFailed(db, q, error);
    found = q.next();
    if (found)
        counted = q.value(0).toDouble();
    return true;
}

bool readShiftTotals(Database& db, int number, ShiftTotals& t, QString* error)
{
    t = ShiftTotals();
    if (!db.ensureOpen())
        return fail(error, db.lastError());
    // Rows written while no shift could be opened (the store out at start) carry none; they
    // belong to the shift that followed them: after the last handover before it, and before its
    // own handover.
    QSqlQuery bounds(db.connection());
    bounds.prepare(QStringLiteral(
        "select (select coalesce(max(序号), 0) from 操作记录 where 类型='交班' and 班次=(select max(编号) from 班次 "
        "where 编号<?)), (select min(序号) from 操作记录 where 类型='交班' and 班次=?)"));
    bounds.addBindValue(number);
    bounds.addBindValue(number);
    if (!bounds.exec() || !bounds.next())
        return queryFailed(db, bounds, error);
    const qint64 after = bounds.value(0).toLongLong();
    const qint64 before = bounds.value(1).isNull() ? std::numeric_limits<qint64>::max() : bounds.value(1).toLongLong();
    bounds.finish();
    // One pass over the shift's rows, found by their numbers: every row of a shift comes after
    // the last handover before it and, once it is handed over, ends with its own 交班 row.
    // Summed by kind; a checkout's 之前 is the deposit it set off, so its cash before that is
    // cash + deposit.
    QSqlQuery q(db.connection());
    q.prepare(QStringLiteral(
        "select 类型, count(*), sum(现金), sum(卡额), sum(金额), sum(case when 现金>0 then 现金 else 0 end), "
        "sum(case when 现金<0 then -现金 else 0 end), sum(case when 类型='结帐' then %1 else 0 end), 支付方式, "
        "sum(收款), sum(赠送), sum(case when 赠送<>0 then 1 else 0 end) from 操作记录 where 序号>? and 序号<=? and "
        "(班次=? or (班次=0 and 序号<?)) group by 类型, 支付方式")
                  .arg(db.textAsNumber(QStringLiteral("之前"))));
    q.addBindValue(after);
    q.addBindValue(before);
    q.addBindValue(number);
    q.addBindValue(before);
    if (!q.exec())
        return queryFailed(db, q, error);
    while (q.next()) {
        const QString kind = q.value(0).toString();
        const double cash = q.value(2).toDouble();
        t.rows += q.value(1).toInt();
        t.allCash += cash;
        const QString method = q.value(8).toString();
        const double received = q.value(9).toDouble();
        if (method == u"微信")
            t.wechat += received;
        else if (method == u"支付宝")
            t.alipay += received;
        else if (method == u"银行卡")
            t.bankCard += received;
        t.bonuses += q.value(10).toDouble();
        t.otherRows += isCashMethod(method) ? q.value(11).toInt() : q.value(1).toInt();
        if (kind == u"结帐") {
            const double deposits = q.value(7).toDouble();
            t.machineCash += cash + deposits;
            t.depositsOut += deposits;
            t.machineCard += -q.value(3).toDouble();
        } else if (kind == u"商品现款") {
            t.goodsCash += cash;
        } else if (kind == u"商品挂帐") {
            t.goodsOnAccount += q.value(4).toDouble();
        } else if (kind == u"改押金") {
            t.depositsIn += q.value(5).toDouble();
            t.depositsOut += q.value(6).toDouble();
        } else if (kind == u"发卡") {
            t.newCards += cash;
        } else if (kind == u"充值") {
            t.topUps += cash;
        }
    }
    return true;
}

bool closeShift(Database& db, ShiftRecord& shift, QString* error)
{
    const DateTime moment = now();
    LedgerEntry entry = ledgerEntry(db, QStringLiteral("交班"));
    entry.shift = shift.number;
    entry.amount = shift.counted;
    entry.before = formatFixed(shift.expected, 2);
    entry.after = formatFixed(shift.counted, 2);
    entry.detail = QStringLiteral("差额") + formatFixed(shift.difference, 2) + QStringLiteral("，留存备用金")
        + formatFixed(shift.leftFloat, 2) + (shift.note.isEmpty() ? QString() : QStringLiteral("，") + shift.note);
    Transaction transaction(db);
    if (!transaction.isActive())
        return fail(error, transaction.error());
    ShiftRecord current;
    if (!readShift(db, shift.number, current, error))
        return false;
    if (current.closed)
        return fail(error, QStringLiteral("已交班的班次不能修改"));
    if (!appendLedger(db, entry, error))
        return false;
    QSqlQuery last(db.connection());
    if (!last.exec(QStringLiteral("select 校验 from 操作记录 order by 序号 desc limit 1")) || !last.next())
        return queryFailed(db, last, error);
    const QString hash = last.value(0).toString();
    if (!db.run(QStringLiteral("update 班次 set 结束时间=?, 应有现金=?, 实点现金=?, 差额=?, 在用押金=?, 备注=?, "
                               "留存备用金=?, 校验=? where 编号=? and 结束时间 is null"),
            { storedDate(moment), stored(shift.expected), stored(shift.counted), stored(shift.difference),
                stored(shift.depositsHeld), shift.note.isNull() ? QStringLiteral("") : shift.note,
                stored(shift.leftFloat), hash, shift.number }))
        return fail(error, db.lastError());
    if (db.rowsAffected() != 1)
        return fail(error, QStringLiteral("已交班的班次不能修改"));
    if (!transaction.commit())
        return fail(error, transaction.error());
    shift.closed = true;
    shift.closedAt = moment;
    shift.hash = hash;
    db.setShift(0);
    return true;
}
