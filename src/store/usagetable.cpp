#include "usagetable.h"

#include "database.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <cmath>

namespace {

bool done(Database& db, bool ok, QString* error)
{
    if (!ok && error)
        *error = db.lastError().isEmpty() ? QStringLiteral("上机记录未能写入。") : db.lastError();
    return ok;
}

QString fieldName(UsageField field)
{
    switch (field) {
    case UsageField::FixedTime:
        return QStringLiteral("定时");
    case UsageField::Deposit:
        return QStringLiteral("押金");
    case UsageField::Packages:
        return QStringLiteral("套餐");
    case UsageField::Goods:
        break;
    }
    return QStringLiteral("商品额");
}

// When the program was last seen running: each counter's own on a shared store.
QString lastSeenItem(const Database& db)
{
    return db.counterName().isEmpty() ? QStringLiteral("最后运行") : QStringLiteral("最后运行：") + db.counterName();
}

// The packages' text as the column takes it: NOT NULL, so none is the empty text.
QString packagesColumn(const QString& text) { return text.isNull() ? QStringLiteral("") : text; }

} // namespace

bool writeUsage(Database& db, const UsageRow& row, QString* error)
{
    return done(db,
        db.run(QStringLiteral("insert into 上机记录 (机号, 上机时间, 分钟价, 上机钟点, 定时, 押金, 商品额, 待结帐, "
                              "结束钟点, 金额, 中断处理, 方案版本, 套餐, 计时) values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, "
                              "?, ?) on conflict (机号) do update set 上机时间=excluded.上机时间, 分钟价=excluded.分钟价, "
                              "上机钟点=excluded.上机钟点, 定时=excluded.定时, 押金=excluded.押金, 商品额=excluded.商品额, "
                              "待结帐=excluded.待结帐, 结束钟点=excluded.结束钟点, 金额=excluded.金额, "
                              "中断处理=excluded.中断处理, 方案版本=excluded.方案版本, 套餐=excluded.套餐, 计时=excluded.计时"),
            { row.machineNo, row.startTime.days, double(row.perMinutePrice), row.clockText, row.fixedText,
                row.depositText, row.goodsText, row.awaitingCheckout ? 1 : 0, row.stopClockText, row.feeText,
                row.gapAnswer, row.planVersion, packagesColumn(row.packagesText),
                row.stoppedMinutes }),
        error);
}

bool updateUsage(Database& db, int machineNo, UsageField field, const QString& text, QString* error)
{
    // A usage that is not in the file is not protected by changing nothing.
    const bool changed
        = db.run(QStringLiteral("update 上机记录 set %1=? where 机号=?").arg(fieldName(field)), { text, machineNo })
        && db.rowsAffected() == 1;
    if (!changed && error)
        *error = db.lastError().isEmpty() ? QStringLiteral("%1号机的上机记录不在数据库中。").arg(machineNo)
                                          : db.lastError();
    return changed;
}

bool deleteUsage(Database& db, int machineNo, QString* error)
{
    return done(db, db.run(QStringLiteral("delete from 上机记录 where 机号=?"), { machineNo }), error);
}

bool settleInterruption(Database& db, double gapDays, const QString& answer, QString* error)
{
    return done(db,
        db.run(QStringLiteral("update 上机记录 set 上机时间=上机时间+?, 中断处理=?"), { gapDays, answer }), error);
}

bool moveUsageStart(Database& db, int machineNo, double days, const QString& packagesText, QString* error)
{
    return done(db,
        db.run(QStringLiteral("update 上机记录 set 上机时间=上机时间+?, 套餐=? where 机号=?"),
            { days, packagesColumn(packagesText), machineNo }),
        error);
}

bool readUsages(Database& db, int highestMachineNo, QVector<UsageRow>& rows, QStringList& skipped, QString* error)
{
    rows.clear();
    skipped.clear();
    if (!db.ensureOpen()) {
        if (error)
            *error = db.lastError();
        return false;
    }
    QSqlQuery q(db.connection());
    q.setForwardOnly(true);
    // A file's column holds a value of any type; a server's holds its own type, never Null.
    const QString types = db.engine() == Database::Engine::PostgreSQL
        ? QStringLiteral("'integer', 'real', 'real'")
        : QStringLiteral("typeof(机号), typeof(上机时间), typeof(分钟价)");
    if (!q.exec(QStringLiteral("select 机号, 上机时间, 分钟价, 上机钟点, 定时, 押金, 商品额, 待结帐, 结束钟点, 金额, "
                               "中断处理, %1, 方案版本, 套餐, 计时 from 上机记录 order by 机号")
                    .arg(types))) {
        if (error)
            *error = q.lastError().databaseText().isEmpty() ? q.lastError().text() : q.lastError().databaseText();
        return false;
    }
    while (q.next()) {
        UsageRow row;
        row.machineNo = q.value(0).toInt();
        row.startTime = DateTime(q.value(1).toDouble());
        row.perMinutePrice = float(q.value(2).toDouble());
        // Only what the program itself wrote can be trusted to price a bill.
        const bool sound = q.value(11).toString() == u"integer" && row.machineNo >= 1 && row.machineNo <= highestMachineNo
            && (q.value(12).toString() == u"real" || q.value(12).toString() == u"integer")
            && std::isfinite(row.startTime.days) && row.startTime.days > 0
            && (q.value(13).toString() == u"real" || q.value(13).toString() == u"integer")
            && std::isfinite(row.perMinutePrice) && q.value(16).toLongLong() >= 0
            && q.value(16).toLongLong() <= 10LL * 24 * 60; // minutes of ten days: no bill is longer
        if (!sound) {
            skipped.append(q.value(0).toString());
            continue;
        }
        row.clockText = q.value(3).toString();
        row.fixedText = q.value(4).toString();
        row.depositText = q.value(5).toString();
        row.goodsText = q.value(6).toString();
        row.awaitingCheckout = q.value(7).toInt() != 0;
        row.stopClockText = q.value(8).toString();
        row.feeText = q.value(9).toString();
        row.gapAnswer = q.value(10).toString();
        row.planVersion = q.value(14).toInt();
        row.packagesText = q.value(15).toString();
        row.stoppedMinutes = q.value(16).toInt();
        rows.append(row);
    }
    return true;
}

bool writeLastSeen(Database& db, DateTime moment, QString* error)
{
    return done(db,
        db.run(QStringLiteral("insert into 运行记录 (项目, 时间) values (?, ?) on conflict (项目) do update "
                              "set 时间=excluded.时间"),
            { lastSeenItem(db), moment.days }),
        error);
}

bool readLastSeen(Database& db, DateTime& moment)
{
    if (!db.ensureOpen())
        return false;
    QSqlQuery q(db.connection());
    q.prepare(QStringLiteral("select 时间 from 运行记录 where 项目=?"));
    q.addBindValue(lastSeenItem(db));
    if (!q.exec() || !q.next())
        return false;
    moment = DateTime(q.value(0).toDouble());
    return true;
}
