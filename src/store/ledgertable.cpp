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

// Each field in the text form the hash takes. Only what the program itself writes gets it: a
// value of another type (a number turned into text, a Null, more than four decimals) gives a
// character no written field holds, so the hash breaks.
QString textField(const char* column)
{
    return QStringLiteral("(CASE WHEN typeof(%1)='text' THEN %1 ELSE char(0) END)").arg(QString::fromUtf8(column));
}

QString integerField(const char* column)
{
    return QStringLiteral("(CASE WHEN typeof(%1)='integer' THEN %1 ELSE char(0) END)").arg(QString::fromUtf8(column));
}

QString moneyField(const char* column)
{
    return QStringLiteral("(CASE WHEN typeof(%1) IN ('integer','real') AND %1=round(%1,4) THEN printf('%.4f',%1) "
                          "ELSE char(0) END)")
        .arg(QString::fromUtf8(column));
}

const QString kHashedFields = QStringList {
    textField("时间"), textField("操作员"), textField("授权店长"), textField("类型"), integerField("机号"),
    textField("会员编号"), textField("商品名称"), moneyField("金额"), moneyField("现金"), moneyField("卡额"),
    textField("之前"), textField("之后"), textField("说明"), integerField("班次")
}.join(QStringLiteral("||char(31)||"));

// Texts are stored as text, the empty one included, so every row reads back as it was hashed;
// half a character (an unpaired surrogate) is replaced, as the engine would store it otherwise.
QString clean(const QString& t) { return t.isNull() ? QStringLiteral("") : QString::fromUtf8(t.toUtf8()); }
QVariant text(const QString& t) { return clean(t); }

QString timeText(DateTime t) { return storedDate(t); }

const QString kColumns = QStringLiteral(
    "序号, 时间, 操作员, 授权店长, 类型, 机号, 会员编号, 商品名称, 金额, 现金, 卡额, 之前, 之后, 说明, 班次, 校验");

} // namespace

QString ledgerHash(const QString& previousHash, qint64 number, const LedgerEntry& e)
{
    const QStringList fields { timeText(e.time), clean(e.operatorName), clean(e.authorisedBy), clean(e.kind),
        QString::number(e.machineNo), clean(e.cardNo), clean(e.goodsName), moneyText(e.amount), moneyText(e.cash),
        moneyText(e.card), clean(e.before), clean(e.after), clean(e.detail), QString::number(e.shift) };
    return QString::fromLatin1(QCryptographicHash::hash(
        hashInput(previousHash, number, fields.join(QChar(u'\x1f')).toUtf8()), QCryptographicHash::Sha256)
                                   .toHex());
}

LedgerEntry ledgerEntry(const Database& db, const QString& kind)
{
    LedgerEntry e;
    e.time = now();
    e.operatorName = db.operatorName();
    e.authorisedBy = db.authorisedBy();
    e.shift = db.shift();
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
    // As blobs, the texts come over in the UTF-8 they are hashed in, with no conversion.
    if (!q.exec(QStringLiteral("select 序号, cast(校验 as blob), cast(") + kHashedFields
            + QStringLiteral(" as blob) from 操作记录 order by 序号")))
        return result;
    result.readable = true;
    QByteArray previous;
    qint64 position = 0;
    QCryptographicHash sha(QCryptographicHash::Sha256);
    while (q.next()) {
        ++position;
        const QByteArray stored = q.value(1).toByteArray();
        if (!result.firstBroken) {
            // A row renumbered, removed or slipped in breaks the numbering or the hash.
            sha.reset();
            sha.addData(previous);
            sha.addData(QByteArray(1, kSeparator) + QByteArray::number(position) + kSeparator);
            sha.addData(q.value(2).toByteArray());
            if (q.value(0).toLongLong() != position || sha.result().toHex() != stored)
                result.firstBroken = position;
        }
        previous = stored;
        if (progress && position % 20000 == 0 && !progress(position, total))
            return result;
    }
    // A read that stopped early is no intact chain.
    if (q.lastError().isValid() || position != total) {
        result.readable = false;
        return result;
    }
    result.rows = position;
    result.newestHash = QString::fromLatin1(previous);
    if (progress)
        progress(position, total);
    return result;
}

QStringList ledgerKinds()
{
    return { QStringLiteral("开始"), QStringLiteral("停止"), QStringLiteral("改押金"), QStringLiteral("改定时"),
        QStringLiteral("商品挂帐"), QStringLiteral("商品现款"), QStringLiteral("结帐"), QStringLiteral("发卡"),
        QStringLiteral("保存会员卡"), QStringLiteral("充值"), QStringLiteral("清零"), QStringLiteral("删除会员卡"),
        QStringLiteral("新增商品"), QStringLiteral("修改商品"), QStringLiteral("删除商品"), QStringLiteral("恢复上机"),
        QStringLiteral("放弃结帐"), QStringLiteral("改单价"), QStringLiteral("登录"), QStringLiteral("登录失败"),
        QStringLiteral("退出登录"), QStringLiteral("授权"), QStringLiteral("授权失败"), QStringLiteral("新增操作员"), QStringLiteral("修改操作员"),
        QStringLiteral("停用操作员"), QStringLiteral("启用操作员"), QStringLiteral("开班"), QStringLiteral("改备用金"),
        QStringLiteral("交班"), QStringLiteral("恢复备份") };
}

bool readLedger(Database& db, DateTime from, DateTime to, const QString& operatorName, const QString& kind,
    QVector<LedgerRow>& rows, QString* error)
{
    rows.clear();
    if (!db.ensureOpen()) {
        if (error)
            *error = db.lastError();
        return false;
    }
    QString sql = QStringLiteral("select ") + kColumns + QStringLiteral(" from 操作记录 where 时间 between ? and ?");
    QVariantList values { storedDate(DateTime(std::floor(from.days))),
        storedDate(DateTime(std::floor(to.days) + 86399.0 / 86400.0)) };
    if (!operatorName.isEmpty()) {
        sql += QStringLiteral(" and 操作员=?");
        values.append(operatorName);
    }
    if (!kind.isEmpty()) {
        sql += QStringLiteral(" and 类型=?");
        values.append(kind);
    }
    QSqlQuery q(db.connection());
    q.setForwardOnly(true);
    q.prepare(sql + QStringLiteral(" order by 序号"));
    for (const QVariant& v : values)
        q.addBindValue(v);
    if (!q.exec()) {
        if (error)
            *error = errorText(q.lastError());
        return false;
    }
    while (q.next()) {
        LedgerRow row;
        row.number = q.value(0).toLongLong();
        LedgerEntry& e = row.entry;
        e.time = parseStoredDate(q.value(1).toString());
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
        rows.append(row);
    }
    return true;
}

QStringList operatorNames(Database& db)
{
    QStringList names;
    if (!db.ensureOpen())
        return names;
    QSqlQuery q(db.connection());
    if (q.exec(QStringLiteral("select 姓名 from 操作员 order by 编号"))) {
        while (q.next())
            names.append(q.value(0).toString());
    }
    return names;
}
