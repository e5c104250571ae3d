#include "ledgertable.h"

#include "database.h"
#include "sqltext.h"

#include <QCryptographicHash>
#include <QFile>
#include <QSaveFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <atomic>
#include <cmath>
#include <thread>

namespace {

// Four decimals, as the money columns keep them; no negative zero, which the file keeps as 0.
QString moneyText(double v)
{
    const double r = std::round(v * 10000.0) / 10000.0;
    return formatFixed(r == 0.0 ? 0.0 : r, 4);
}

constexpr char kSeparator = '\x1f'; // no field of the ledger holds it

// The fields of a row as the hash reads them, the same text whether built from an entry or by
// the engine from the stored row (see kFieldsBeforeMoney).
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

// The engine joins the text and whole-number fields on each side of the three amounts; the
// amounts come over as numbers and get their text here, which costs far less than the
// engine's printf.
const QString kFieldsBeforeMoney = QStringList { textField("时间"), textField("操作员"), textField("授权店长"),
    textField("类型"), integerField("机号"), textField("会员编号"), textField("商品名称") }
                                       .join(QStringLiteral("||char(31)||"));
const QString kFieldsAfterMoney = QStringList { textField("之前"), textField("之后"), textField("说明"),
    integerField("班次") }
                                      .join(QStringLiteral("||char(31)||"));

// An amount as the hash takes it: four decimals, as the program writes it. Anything else (a
// text, a Null, more decimals) gives a character no written field holds, so the hash breaks.
void appendMoneyField(QByteArray& out, const QVariant& v)
{
    const int type = v.typeId();
    if (type != QMetaType::LongLong && type != QMetaType::Double && type != QMetaType::Int) {
        out += '\0';
        return;
    }
    const double d = v.toDouble();
    // Qt's shortest-exact conversion gives printf's digits for four decimals, in any locale.
    const QByteArray text = QByteArray::number(d, 'f', 4);
    if (text.toDouble() != d) {
        out += '\0';
        return;
    }
    out += text;
}

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

namespace {

struct ChainPart {
    bool readable = false;
    qint64 rows = 0;
    qint64 firstBroken = 0;
    qint64 lastNumber = 0;
    QByteArray lastHash;
};

// Checks `count` rows in the ledger's order after the row numbered `afterNumber`, whose stored
// hash is `previous`; `first` is the position of the first of them, counted from 1. Each row's
// hash depends only on its own fields and the stored hash before it, so parts of the chain can
// be checked side by side.
ChainPart checkChainPart(const QSqlDatabase& connection, qint64 afterNumber, const QByteArray& previousHash,
    qint64 first, qint64 count, std::atomic<qint64>* done = nullptr, const std::atomic<bool>* stop = nullptr)
{
    ChainPart part;
    QSqlQuery q(connection);
    q.setForwardOnly(true);
    // As blobs, the texts come over in the UTF-8 they are hashed in, with no conversion.
    q.prepare(QStringLiteral("select 序号, cast(校验 as blob), cast(") + kFieldsBeforeMoney
        + QStringLiteral(" as blob), 金额, 现金, 卡额, cast(") + kFieldsAfterMoney
        + QStringLiteral(" as blob) from 操作记录 where 序号>? order by 序号 limit ?"));
    q.addBindValue(afterNumber);
    q.addBindValue(count);
    if (!q.exec())
        return part;
    QByteArray previous = previousHash;
    QCryptographicHash sha(QCryptographicHash::Sha256);
    QByteArray input;
    qint64 position = first - 1;
    while (q.next()) {
        ++position;
        const QByteArray stored = q.value(1).toByteArray();
        part.lastNumber = q.value(0).toLongLong();
        if (!part.firstBroken) {
            // A row renumbered, removed or slipped in breaks the numbering or the hash.
            input = previous;
            input += kSeparator;
            input += QByteArray::number(position);
            input += kSeparator;
            input += q.value(2).toByteArray();
            for (int money = 3; money <= 5; ++money) {
                input += kSeparator;
                appendMoneyField(input, q.value(money));
            }
            input += kSeparator;
            input += q.value(6).toByteArray();
            sha.reset();
            sha.addData(input);
            if (part.lastNumber != position || sha.result().toHex() != stored)
                part.firstBroken = position;
        }
        previous = stored;
        if (done && (position & 1023) == 0) {
            done->fetch_add(1024);
            if (stop && stop->load())
                return part;
        }
    }
    part.rows = position - first + 1;
    part.readable = !q.lastError().isValid() && part.rows == count;
    part.lastHash = previous;
    return part;
}

struct LedgerHead {
    qint64 number = 0;
    QString hash;
};

QString headPath(const Database& db) { return db.connection().databaseName() + QStringLiteral(".head"); }

LedgerHead knownHead(const Database& db)
{
    LedgerHead head;
    QFile file(headPath(db));
    if (!file.open(QIODevice::ReadOnly))
        return head;
    const QList<QByteArray> fields = file.read(200).trimmed().split(' ');
    bool ok = false;
    const qint64 number = fields.value(0).toLongLong(&ok);
    if (ok && number > 0 && fields.size() == 2)
        head = { number, QString::fromLatin1(fields[1]) };
    return head;
}

bool writeHead(const Database& db, const LedgerHead& head)
{
    QSaveFile file(headPath(db));
    const QByteArray text = QByteArray::number(head.number) + ' ' + head.hash.toLatin1() + '\n';
    return file.open(QIODevice::WriteOnly) && file.write(text) == text.size() && file.commit();
}

QString hashOfRow(Database& db, qint64 number)
{
    QSqlQuery q(db.connection());
    q.prepare(QStringLiteral("select 校验 from 操作记录 where 序号=?"));
    q.addBindValue(number);
    return q.exec() && q.next() ? q.value(0).toString() : QString();
}

} // namespace

LedgerCheck checkLedger(Database& db, const std::function<bool(qint64, qint64)>& progress)
{
    LedgerCheck result;
    if (!db.ensureOpen())
        return result;
    QSqlQuery count(db.connection());
    if (!count.exec(QStringLiteral("select count(*) from 操作记录")) || !count.next())
        return result;
    const qint64 total = count.value(0).toLongLong();
    count.finish();
    // On a long ledger the later half goes to a thread of its own, on a connection of its own,
    // starting after the row where the first half ends; rows appended meanwhile are not counted.
    const qint64 firstHalf = total >= 20000 ? total / 2 : total;
    qint64 middleNumber = 0;
    QByteArray middleHash;
    if (firstHalf < total) {
        QSqlQuery middle(db.connection());
        if (!middle.exec(QStringLiteral("select 序号, cast(校验 as blob) from 操作记录 order by 序号 limit 1 offset %1")
                             .arg(firstHalf - 1))
            || !middle.next())
            return result;
        middleNumber = middle.value(0).toLongLong();
        middleHash = middle.value(1).toByteArray();
    }
    std::atomic<qint64> done { 0 };
    std::atomic<bool> stop { false };
    ChainPart later;
    std::thread worker;
    if (firstHalf < total) {
        const QString path = db.connection().databaseName();
        const QString name = QStringLiteral("ledgercheck:%1").arg(quintptr(&done));
        worker = std::thread([&, path, name] {
            {
                QSqlDatabase own = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
                own.setDatabaseName(path);
                own.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
                if (own.open())
                    later = checkChainPart(own, middleNumber, middleHash, firstHalf + 1, total - firstHalf, &done, &stop);
                own.close();
            }
            QSqlDatabase::removeDatabase(name);
        });
    }
    // The first half, a part at a time, says how far both have come between its parts.
    ChainPart earlier;
    earlier.readable = true;
    qint64 position = 1;
    while (position <= firstHalf) {
        const qint64 step = std::min<qint64>(20000, firstHalf - position + 1);
        const ChainPart part
            = checkChainPart(db.connection(), earlier.lastNumber, earlier.lastHash, position, step);
        earlier.readable = part.readable;
        if (!part.readable)
            break;
        if (!earlier.firstBroken)
            earlier.firstBroken = part.firstBroken;
        earlier.lastNumber = part.lastNumber;
        earlier.lastHash = part.lastHash;
        earlier.rows += part.rows;
        position += step;
        if (progress && !progress(std::min(total, position - 1 + done.load()), total)) {
            earlier.readable = false; // stopped: no result
            break;
        }
    }
    if (!earlier.readable)
        stop = true;
    if (worker.joinable())
        worker.join();
    // A check stopped early, or a read that stopped early, is no intact chain.
    if (!earlier.readable || (firstHalf < total && !later.readable))
        return result;
    result.readable = true;
    result.rows = earlier.rows + (firstHalf < total ? later.rows : 0);
    result.firstBroken = earlier.firstBroken ? earlier.firstBroken : later.firstBroken;
    result.newestHash = QString::fromLatin1(firstHalf < total ? later.lastHash : earlier.lastHash);
    if (!result.firstBroken) {
        const LedgerHead known = knownHead(db);
        if (known.number > result.rows) {
            result.removedAtEnd = known.number - result.rows;
        } else if (known.number > 0 && hashOfRow(db, known.number) != known.hash) {
            result.firstBroken = known.number; // the rows up to it were replaced, chained anew
        } else {
            writeHead(db, { result.rows, result.newestHash });
        }
    }
    if (progress)
        progress(total, total);
    return result;
}

bool rememberLedgerHead(Database& db, bool restored)
{
    if (!db.ensureOpen())
        return false;
    QSqlQuery q(db.connection());
    if (!q.exec(QStringLiteral("select 序号, 校验 from 操作记录 order by 序号 desc limit 1")))
        return false;
    LedgerHead head;
    if (q.next())
        head = { q.value(0).toLongLong(), q.value(1).toString() };
    q.finish();
    const LedgerHead known = knownHead(db);
    if (!restored && (head.number < known.number || (known.number > 0 && hashOfRow(db, known.number) != known.hash)))
        return false;
    return writeHead(db, head);
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
        QStringLiteral("点钞"), QStringLiteral("交班"), QStringLiteral("恢复备份") };
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

bool readLastRate(Database& db, QString& rate)
{
    rate.clear();
    if (!db.ensureOpen())
        return false;
    QSqlQuery q(db.connection());
    // A start records the rate it priced the machine at; a change, the rate it set.
    if (!q.exec(QStringLiteral("select 类型, 之后, 金额 from 操作记录 where 类型 in ('改单价', '开始') "
                               "order by 序号 desc limit 1")))
        return false;
    if (q.next())
        rate = q.value(0).toString() == u"开始" ? toText(q.value(2).toDouble()) : q.value(1).toString();
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
