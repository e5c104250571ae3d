#include "ledgertable.h"

#include "database.h"
#include "sqltext.h"

#include <QCryptographicHash>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace {

QString moneyText(double v) { return formatFixed(v, 4); }

// Texts are stored as text, the empty one included, so every row reads back as it was hashed.
QVariant text(const QString& t) { return t.isNull() ? QStringLiteral("") : t; }

QString timeText(DateTime t) { return storedDate(t); }

LedgerEntry entryOf(const QSqlQuery& q)
{
    LedgerEntry e;
    bool ok = false;
    e.time = parseStoredDate(q.value(1).toString(), &ok);
    e.operatorName = q.value(2).toString();
    e.authorisedBy = q.value(3).toString();
    e.kind = q.value(4).toString();
    e.machineNo = q.value(5).toInt();
    e.cardNo = q.value(6).toString();
    e.goodsName = q.value(7).toString();
    e.amount = q.value(8).toDouble();
    e.cash = q.value(9).toDouble();
    e.card = q.value(10).toDouble();
    e.before = q.value(11).toString();
    e.after = q.value(12).toString();
    e.detail = q.value(13).toString();
    e.shift = q.value(14).toInt();
    return e;
}

const QString kColumns = QStringLiteral(
    "序号, 时间, 操作员, 授权店长, 类型, 机号, 会员编号, 商品名称, 金额, 现金, 卡额, 之前, 之后, 说明, 班次, 校验");

} // namespace

QString ledgerHash(const QString& previousHash, qint64 number, const LedgerEntry& e)
{
    // Every field in a fixed text form, separated by a character no field can hold.
    const QStringList fields { previousHash, QString::number(number), timeText(e.time), e.operatorName, e.authorisedBy,
        e.kind, QString::number(e.machineNo), e.cardNo, e.goodsName, moneyText(e.amount), moneyText(e.cash),
        moneyText(e.card), e.before, e.after, e.detail, QString::number(e.shift) };
    return QString::fromLatin1(
        QCryptographicHash::hash(fields.join(QChar(0x1f)).toUtf8(), QCryptographicHash::Sha256).toHex());
}

LedgerEntry ledgerEntry(const Database& db, const QString& kind)
{
    LedgerEntry e;
    e.time = now();
    e.operatorName = db.operatorName();
    e.kind = kind;
    return e;
}

bool appendLedger(Database& db, const LedgerEntry& entry, QString* error)
{
    const auto fail = [&] {
        if (error)
            *error = db.lastError().isEmpty() ? QStringLiteral("操作记录未能写入。") : db.lastError();
        return false;
    };
    if (!db.ensureOpen())
        return fail();
    QSqlQuery last(db.connection());
    if (!last.exec(QStringLiteral("select 序号, 校验 from 操作记录 order by 序号 desc limit 1")))
        return fail();
    const qint64 number = last.next() ? last.value(0).toLongLong() + 1 : 1;
    const QString previous = number > 1 ? last.value(1).toString() : QString();
    const QString hash = ledgerHash(previous, number, entry);
    // The stored amounts are the hashed ones: four decimals, as the money columns keep them.
    return db.run(QStringLiteral("insert into 操作记录 (") + kColumns
                   + QStringLiteral(") values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
               { number, timeText(entry.time), text(entry.operatorName), text(entry.authorisedBy), text(entry.kind),
                   entry.machineNo, text(entry.cardNo), text(entry.goodsName), moneyText(entry.amount).toDouble(),
                   moneyText(entry.cash).toDouble(), moneyText(entry.card).toDouble(), text(entry.before),
                   text(entry.after), text(entry.detail), entry.shift, hash })
        || fail();
}

bool changeWithLedger(Database& db, LedgerEntry entry, const std::function<bool(LedgerEntry&, QString*)>& change,
    QString* error)
{
    Transaction transaction(db);
    if (!transaction.isActive()) {
        if (error)
            *error = transaction.error();
        return false;
    }
    if (!change(entry, error) || !appendLedger(db, entry, error))
        return false;
    if (!transaction.commit()) {
        if (error)
            *error = transaction.error();
        return false;
    }
    return true;
}

LedgerCheck checkLedger(Database& db, const std::function<bool(qint64, qint64)>& progress)
{
    LedgerCheck result;
    if (!db.ensureOpen())
        return result;
    QSqlQuery count(db.connection());
    if (!count.exec(QStringLiteral("select count(*) from 操作记录")) || !count.next())
        return result;
    const qint64 total = count.value(0).toLongLong();
    QSqlQuery q(db.connection());
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("select ") + kColumns + QStringLiteral(" from 操作记录 order by 序号")))
        return result;
    result.readable = true;
    QString previous;
    qint64 position = 0;
    while (q.next()) {
        ++position;
        const QString stored = q.value(15).toString();
        // A row renumbered, removed or slipped in breaks the numbering or the hash.
        if (!result.firstBroken
            && (q.value(0).toLongLong() != position || ledgerHash(previous, position, entryOf(q)) != stored))
            result.firstBroken = position;
        previous = stored;
        if (progress && position % 20000 == 0 && !progress(position, total))
            return result;
    }
    result.rows = position;
    result.newestHash = previous;
    if (progress)
        progress(position, total);
    return result;
}
