#include "ledgertable.h"

#include "database.h"
#include "sqltext.h"

#include <QCryptographicHash>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <cmath>

namespace {

// Four decimals, as the money columns keep them; no negative zero, which the file keeps as 0.
QString moneyText(double v)
{
    const double r = std::round(v * 10000.0) / 10000.0;
    return formatFixed(r == 0.0 ? 0.0 : r, 4);
}

constexpr char kSeparator = '\x1f'; // no field of the ledger holds it

// The fields of a row as the hash reads them, the same text whether built from an entry or by
// the engine from the stored row (see kHashedFields).
QByteArray hashInput(const QString& previousHash, qint64 number, const QByteArray& fields)
{
    return previousHash.toLatin1() + kSeparator + QByteArray::number(number) + kSeparator + fields;
}

const QString kHashedFields = QStringLiteral(
    "ifnull(时间,'')||char(31)||ifnull(操作员,'')||char(31)||ifnull(授权店长,'')||char(31)||ifnull(类型,'')||char(31)||"
    "ifnull(机号,0)||char(31)||ifnull(会员编号,'')||char(31)||ifnull(商品名称,'')||char(31)||"
    "printf('%.4f',ifnull(金额,0))||char(31)||printf('%.4f',ifnull(现金,0))||char(31)||printf('%.4f',ifnull(卡额,0))||"
    "char(31)||ifnull(之前,'')||char(31)||ifnull(之后,'')||char(31)||ifnull(说明,'')||char(31)||ifnull(班次,0)");

// Texts are stored as text, the empty one included, so every row reads back as it was hashed.
QVariant text(const QString& t) { return t.isNull() ? QStringLiteral("") : t; }

QString timeText(DateTime t) { return storedDate(t); }

const QString kColumns = QStringLiteral(
    "序号, 时间, 操作员, 授权店长, 类型, 机号, 会员编号, 商品名称, 金额, 现金, 卡额, 之前, 之后, 说明, 班次, 校验");

} // namespace

QString ledgerHash(const QString& previousHash, qint64 number, const LedgerEntry& e)
{
    const QStringList fields { timeText(e.time), e.operatorName, e.authorisedBy, e.kind, QString::number(e.machineNo),
        e.cardNo, e.goodsName, moneyText(e.amount), moneyText(e.cash), moneyText(e.card), e.before, e.after, e.detail,
        QString::number(e.shift) };
    return QString::fromLatin1(QCryptographicHash::hash(
        hashInput(previousHash, number, fields.join(QChar(u'\x1f')).toUtf8()), QCryptographicHash::Sha256)
                                   .toHex());
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
    // The engine joins each row's fields: one value a row to carry over, not sixteen.
    if (!q.exec(QStringLiteral("select 序号, 校验, ") + kHashedFields + QStringLiteral(" from 操作记录 order by 序号")))
        return result;
    result.readable = true;
    QString previous;
    qint64 position = 0;
    QCryptographicHash sha(QCryptographicHash::Sha256);
    while (q.next()) {
        ++position;
        const QString stored = q.value(1).toString();
        if (!result.firstBroken) {
            // A row renumbered, removed or slipped in breaks the numbering or the hash.
            sha.reset();
            sha.addData(hashInput(previous, position, q.value(2).toString().toUtf8()));
            if (q.value(0).toLongLong() != position || QString::fromLatin1(sha.result().toHex()) != stored)
                result.firstBroken = position;
        }
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
