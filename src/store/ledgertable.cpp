#include "ledgertable.h"

#include "common/seams.h"
#include "database.h"
#include "pgconnect.h"
#include "sqltext.h"

#include <QCryptographicHash>
#include <QFile>
#include <QSaveFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <sqlite3.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <charconv>
#include <cstring>
#include <limits>
#include <optional>
#include <string>
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
// the chain check from the stored row (see ChainReader).
QByteArray hashInput(const QString& previousHash, qint64 number, const QByteArray& fields)
{
    return previousHash.toLatin1() + kSeparator + QByteArray::number(number) + kSeparator + fields;
}

QString timeText(DateTime t) { return storedDate(t); }

const QString kColumns = QStringLiteral(
    "序号, 时间, 操作员, 授权店长, 类型, 机号, 会员编号, 商品名称, 金额, 现金, 卡额, 之前, 之后, 说明, 班次, 校验, 支付方式, 单号, "
    "收款, 赠送");


} // namespace

QStringList paymentMethods()
{
    return { QStringLiteral("现金"), QStringLiteral("微信"), QStringLiteral("支付宝"), QStringLiteral("银行卡") };
}

QString paymentRefusal(const QString& method, const QString& reference)
{
    if (!method.isEmpty() && !paymentMethods().contains(method))
        return QStringLiteral("请选择支付方式！");
    const bool digits = std::all_of(reference.begin(), reference.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
    if (!digits || reference.size() > 24)
        return QStringLiteral("单号只能是数字，最多24位！");
    return QString();
}

QString paymentReference(const QString& typed) { return foldWide(typed).trimmed(); }

void putPayment(LedgerEntry& entry, double amount, const QString& method, const QString& reference)
{
    entry.method = method.isEmpty() ? QStringLiteral("现金") : method;
    entry.reference = reference;
    if (isCashMethod(method)) {
        entry.cash = amount;
        entry.received = 0.0;
    } else {
        entry.cash = 0.0;
        entry.received = amount;
    }
}

namespace {

// A row's fields as UTF-8, made once: the hash reads them and the insert stores them, so the
// stored text is byte for byte the hashed text.
struct RowText {
    explicit RowText(const LedgerEntry& e)
        : time(timeText(e.time).toUtf8())
        , operatorName(e.operatorName.toUtf8())
        , authorisedBy(e.authorisedBy.toUtf8())
        , kind(e.kind.toUtf8())
        , cardNo(e.cardNo.toUtf8())
        , goodsName(e.goodsName.toUtf8())
        , before(e.before.toUtf8())
        , after(e.after.toUtf8())
        , detail(e.detail.toUtf8())
        , method(e.method.toUtf8())
        , reference(e.reference.toUtf8())
        , amount(moneyText(e.amount).toLatin1())
        , cash(moneyText(e.cash).toLatin1())
        , card(moneyText(e.card).toLatin1())
        , received(moneyText(e.received).toLatin1())
        , bonus(moneyText(e.bonus).toLatin1())
        , machineNo(e.machineNo)
        , shift(e.shift)
    {
    }
    QString hash(const QString& previousHash, qint64 number) const
    {
        return storedRowHash(previousHash, number,
            { time, operatorName, authorisedBy, kind, QByteArray::number(machineNo), cardNo, goodsName, amount, cash,
                card, before, after, detail, QByteArray::number(shift), method, reference, received, bonus });
    }
    // Half a character (an unpaired surrogate) was replaced by toUtf8(), as the engine would.
    QByteArray time, operatorName, authorisedBy, kind, cardNo, goodsName, before, after, detail, method, reference;
    QByteArray amount, cash, card, received, bonus; // four decimals, as the money columns keep them
    qint64 machineNo;
    qint64 shift;
};

} // namespace

QString ledgerHash(const QString& previousHash, qint64 number, const LedgerEntry& e)
{
    return RowText(e).hash(previousHash, number);
}

QString storedRowHash(const QString& previousHash, qint64 number, const QVector<QByteArray>& f)
{
    if (f.size() != 18)
        return QString();
    // Rows without a payment's fields hash as rows did before those fields existed, so the
    // chains written then still hold; a row with any of them hashes them too.
    static const QByteArray zero = moneyText(0.0).toLatin1();
    const bool withPayment = !f[14].isEmpty() || !f[15].isEmpty() || f[16] != zero || f[17] != zero;
    QByteArray joined;
    joined.reserve(256);
    for (int i = 0; i < (withPayment ? 18 : 14); ++i) {
        if (i > 0)
            joined.append(kSeparator);
        joined.append(f[i]);
    }
    return QString::fromLatin1(
        QCryptographicHash::hash(hashInput(previousHash, number, joined), QCryptographicHash::Sha256).toHex());
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

namespace {

// The newest row, as the connection knows it or as the table has it (number 0 when empty).
bool headOf(Database& db, LedgerHead& head)
{
    if (db.ledgerHead(head))
        return true;
    QSqlQuery last(db.connection());
    if (!last.exec(QStringLiteral("select 序号, 校验 from 操作记录 order by 序号 desc limit 1")))
        return false;
    head = last.next() ? LedgerHead { last.value(0).toLongLong(), last.value(1).toString() } : LedgerHead { 0, {} };
    return true;
}

// The row that comes next: its number, its texts and its hash, chained to the head.
struct NextRow {
    qint64 number;
    RowText row;
    QString hash;
};

std::optional<NextRow> nextRow(Database& db, const LedgerEntry& entry)
{
    LedgerHead head;
    if (!headOf(db, head))
        return std::nullopt;
    const qint64 number = head.number + 1;
    RowText row(entry);
    QString hash = row.hash(number > 1 ? head.hash : QString(), number);
    return NextRow { number, std::move(row), std::move(hash) };
}

const QString& insertStatement()
{
    static const QString insert = QStringLiteral("insert into 操作记录 (") + kColumns
        + QStringLiteral(") values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    return insert;
}

// On a server several counters append: the head is read, and the row chained to it, inside a
// writing transaction, whose lock every counter takes to its end (Database::beginTransaction),
// so no two rows ever chain to the same head. The amounts go as their four-decimal texts,
// which the server keeps exactly.
bool appendOnServer(Database& db, const LedgerEntry& entry, QString* error)
{
    const auto fail = [&] {
        if (error)
            *error = db.lastError().isEmpty() ? QStringLiteral("操作记录未能写入。") : db.lastError();
        return false;
    };
    Transaction own(db); // joins the one under way, if any
    if (!own.isActive())
        return fail();
    const std::optional<NextRow> next = nextRow(db, entry);
    if (!next)
        return fail();
    const auto& [number, row, hash] = *next;
    // Texts as text, the empty one included (a null string would go as Null).
    const auto text = [](const QByteArray& t) { return QVariant(t.isEmpty() ? QStringLiteral("") : QString::fromUtf8(t)); };
    if (!db.run(insertStatement(),
            { number, text(row.time), text(row.operatorName), text(row.authorisedBy), text(row.kind), row.machineNo,
                text(row.cardNo), text(row.goodsName), text(row.amount), text(row.cash), text(row.card),
                text(row.before), text(row.after), text(row.detail), row.shift, hash, text(row.method),
                text(row.reference), text(row.received), text(row.bonus) })) {
        db.forgetLedgerHead();
        return fail();
    }
    db.setLedgerHead({ number, hash });
    if (!own.commit())
        return fail();
    return true;
}

} // namespace

ServerLedgerCheck checkServerLedger(QSqlDatabase& server, QString* error, const std::function<bool(qint64)>& progress)
{
    ServerLedgerCheck check;
    QSqlQuery q(server);
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("select 序号, 校验, 时间, 操作员, 授权店长, 类型, 机号::text, 会员编号, 商品名称, 金额::text, "
                               "现金::text, 卡额::text, 之前, 之后, 说明, 班次::text, 支付方式, 单号, 收款::text, 赠送::text "
                               "from 操作记录 order by 序号"))) {
        if (error)
            *error = errorText(q.lastError());
        return check;
    }
    QString previous;
    QVector<QByteArray> fields(18);
    while (q.next()) {
        ++check.rows;
        if (check.firstBroken == 0) {
            // A Null is no field the program writes: it breaks the hash, as in the file.
            for (int i = 0; i < 18; ++i)
                fields[i] = q.isNull(i + 2) ? QByteArray(1, '\0') : q.value(i + 2).toString().toUtf8();
            if (q.value(0).toLongLong() != check.rows || storedRowHash(previous, check.rows, fields) != q.value(1).toString())
                check.firstBroken = check.rows;
        }
        previous = q.value(1).toString();
        if (progress && check.rows % 10000 == 0 && !progress(check.rows)) {
            check.stopped = true;
            return check;
        }
    }
    check.lastHash = previous;
    // A read that stopped part-way is no chain that holds.
    if (q.lastError().isValid() && error)
        *error = errorText(q.lastError());
    return check;
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
    if (db.engine() == Database::Engine::PostgreSQL)
        return appendOnServer(db, entry, error);
    const std::optional<NextRow> next = nextRow(db, entry);
    if (!next)
        return fail();
    const auto& [number, row, hash] = *next;
    const QByteArray hashText = hash.toLatin1();
    // The stored amounts are the hashed ones: four decimals, as the money columns keep them.
    // Texts are stored as text, the empty one included, so every row reads back as it was hashed.
    static const QByteArray insert = insertStatement().toUtf8();
    const auto bind = [&](sqlite3_stmt* st) {
        int i = 0;
        const auto put = [&](const QByteArray& t) { sqlite3_bind_text(st, ++i, t.constData(), int(t.size()), SQLITE_STATIC); };
        const auto money = [&](const QByteArray& t) { sqlite3_bind_double(st, ++i, t.toDouble()); };
        sqlite3_bind_int64(st, ++i, number);
        for (const QByteArray* t : { &row.time, &row.operatorName, &row.authorisedBy, &row.kind })
            put(*t);
        sqlite3_bind_int64(st, ++i, row.machineNo);
        put(row.cardNo);
        put(row.goodsName);
        for (const QByteArray* t : { &row.amount, &row.cash, &row.card })
            money(*t);
        for (const QByteArray* t : { &row.before, &row.after, &row.detail })
            put(*t);
        sqlite3_bind_int64(st, ++i, row.shift);
        for (const QByteArray* t : { &hashText, &row.method, &row.reference })
            put(*t);
        money(row.received);
        money(row.bonus);
    };
    if (!db.runNative(insert.constData(), bind)) {
        db.forgetLedgerHead(); // read from the file next time
        return fail();
    }
    db.setLedgerHead({ number, hash });
    return true;
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

// Rows read at a time: between two reads the file is free for a booking to commit.
constexpr qint64 kChunkRows = 1024;

// Reads the chain with SQLite's own API on a read-only connection of its own, so the columns
// come over as the very bytes the hash takes, with nothing converted between.
class ChainReader {
public:
    explicit ChainReader(const QString& path)
    {
        if (sqlite3_open_v2(path.toUtf8().constData(), &m_db, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX,
                nullptr)
            != SQLITE_OK)
            return;
        sqlite3_busy_timeout(m_db, 2000);
        sqlite3_prepare_v2(m_db,
            "select 序号, 校验, 时间, 操作员, 授权店长, 类型, 机号, 会员编号, 商品名称, 金额, 现金, 卡额, 之前, 之后, 说明, "
            "班次, 支付方式, 单号, 收款, 赠送 from 操作记录 where 序号>? and 序号<=? order by 序号 limit ?",
            -1, &m_rows, nullptr);
    }
    ~ChainReader()
    {
        sqlite3_finalize(m_rows);
        sqlite3_close(m_db);
    }
    ChainReader(const ChainReader&) = delete;
    ChainReader& operator=(const ChainReader&) = delete;

    bool isOpen() const { return m_rows != nullptr; }

    // The first column of the first row of a query, -1 when it fails.
    qint64 number(const char* sql, qint64 bound = 0, QByteArray* text = nullptr)
    {
        sqlite3_stmt* st = nullptr;
        qint64 value = -1;
        if (sqlite3_prepare_v2(m_db, sql, -1, &st, nullptr) == SQLITE_OK
            && (sqlite3_bind_parameter_count(st) == 0 || sqlite3_bind_int64(st, 1, bound) == SQLITE_OK)
            && sqlite3_step(st) == SQLITE_ROW) {
            value = sqlite3_column_int64(st, 0);
            if (text)
                *text = QByteArray(reinterpret_cast<const char*>(sqlite3_column_text(st, 1)), sqlite3_column_bytes(st, 1));
        }
        sqlite3_finalize(st);
        return value;
    }

    // Checks the rows numbered above `afterNumber`, whose stored hash is `previousHash`, up to
    // `lastNumber`, in the ledger's order; `first` is the position of the first of them,
    // counted from 1. Each row's hash is worked out again from the previous row's stored hash.
    ChainPart check(qint64 afterNumber, const QByteArray& previousHash, qint64 first, qint64 lastNumber,
        std::atomic<qint64>* done = nullptr, const std::atomic<bool>* stop = nullptr)
    {
        ChainPart part;
        part.lastNumber = afterNumber;
        // The previous row's stored hash; one of another length can match no row's hash input.
        std::string previous(previousHash.constData(), std::size_t(previousHash.size()));
        qint64 position = first - 1;
        std::string input;
        input.reserve(512);
        QCryptographicHash sha(QCryptographicHash::Sha256);
        char hex[64];
        char digits[24];
        bool finished = true;
        for (;;) {
            if (stop && stop->load()) {
                finished = false;
                break;
            }
            const qint64 want = kChunkRows;
            sqlite3_bind_int64(m_rows, 1, part.lastNumber);
            sqlite3_bind_int64(m_rows, 2, lastNumber);
            sqlite3_bind_int64(m_rows, 3, want);
            qint64 got = 0;
            int step = SQLITE_OK;
            while ((step = sqlite3_step(m_rows)) == SQLITE_ROW) {
                ++got;
                ++position;
                const qint64 number = sqlite3_column_int64(m_rows, 0);
                const char* stored = reinterpret_cast<const char*>(sqlite3_column_text(m_rows, 1));
                const int storedBytes = sqlite3_column_bytes(m_rows, 1);
                if (!part.firstBroken) {
                    // A row renumbered, removed or slipped in breaks the numbering or the hash.
                    input.assign(previous);
                    input += kSeparator;
                    input.append(digits, std::size_t(std::to_chars(digits, digits + sizeof digits, position).ptr - digits));
                    for (int c = 2; c <= 15; ++c) {
                        input += kSeparator;
                        if (c >= 9 && c <= 11)
                            appendMoney(input, c);
                        else
                            appendField(input, c, c == 6 || c == 15);
                    }
                    if (hasPaymentFields()) {
                        for (int c = 16; c <= 19; ++c) {
                            input += kSeparator;
                            if (c >= 18)
                                appendMoney(input, c);
                            else
                                appendField(input, c, false);
                        }
                    }
                    sha.reset();
                    sha.addData(QByteArrayView(input.data(), qsizetype(input.size())));
                    toHex(sha.resultView(), hex);
                    if (number != position || storedBytes != 64 || std::memcmp(hex, stored, 64) != 0)
                        part.firstBroken = position;
                }
                part.lastNumber = number;
                previous.assign(stored ? stored : "", std::size_t(storedBytes));
            }
            // Reset at once: the read lock goes with it, and a checkout waiting commits now.
            sqlite3_reset(m_rows);
            if (step != SQLITE_DONE)
                return part;
            part.rows += got;
            if (done)
                done->fetch_add(got);
            if (got < want)
                break; // read to the end
        }
        part.lastHash = QByteArray(previous.data(), qsizetype(previous.size()));
        part.readable = finished;
        return part;
    }

private:
    // As the row was hashed: with the payment's fields when any of them is set. A field of
    // another type than written counts as set, so the hash breaks on it.
    bool hasPaymentFields()
    {
        for (int c = 16; c <= 17; ++c) {
            if (sqlite3_column_type(m_rows, c) != SQLITE_TEXT || sqlite3_column_bytes(m_rows, c) != 0)
                return true;
        }
        for (int c = 18; c <= 19; ++c) {
            const int type = sqlite3_column_type(m_rows, c);
            if ((type != SQLITE_INTEGER && type != SQLITE_FLOAT) || sqlite3_column_double(m_rows, c) != 0.0)
                return true;
        }
        return false;
    }

    // A text field as stored, or a whole number in its decimal form; anything of another type
    // gives a character no written field holds, so the hash breaks.
    void appendField(std::string& out, int column, bool whole)
    {
        const int type = sqlite3_column_type(m_rows, column);
        if (type != (whole ? SQLITE_INTEGER : SQLITE_TEXT)) {
            out += '\0';
            return;
        }
        out.append(reinterpret_cast<const char*>(sqlite3_column_text(m_rows, column)), sqlite3_column_bytes(m_rows, column));
    }

    // An amount as the hash takes it: four decimals, as the program writes it. Anything else (a
    // text, a Null, more decimals) gives a character no written field holds.
    void appendMoney(std::string& out, int column)
    {
        const int type = sqlite3_column_type(m_rows, column);
        if (type != SQLITE_INTEGER && type != SQLITE_FLOAT) {
            out += '\0';
            return;
        }
        const double d = sqlite3_column_double(m_rows, column);
        const long long n = std::llround(d * 10000.0);
        if (std::fabs(d) < 1e12 && double(n) / 10000.0 == d && !(d == 0.0 && std::signbit(d))) {
            // The digits printf gives: d is the double nearest to n / 10000.
            const unsigned long long magnitude = n < 0 ? 0ULL - static_cast<unsigned long long>(n) : n;
            if (n < 0)
                out += '-';
            char whole[24];
            out.append(whole, std::size_t(std::to_chars(whole, whole + sizeof whole, magnitude / 10000).ptr - whole));
            char frac[6] = { '.', char('0' + magnitude / 1000 % 10), char('0' + magnitude / 100 % 10),
                char('0' + magnitude / 10 % 10), char('0' + magnitude % 10), 0 };
            out.append(frac, 5);
            return;
        }
        const QByteArray text = QByteArray::number(d, 'f', 4);
        if (text.toDouble() != d)
            out += '\0';
        else
            out.append(text.constData(), std::size_t(text.size()));
    }

    static void toHex(QByteArrayView bytes, char* out)
    {
        static const char digits[] = "0123456789abcdef";
        for (qsizetype i = 0; i < bytes.size(); ++i) {
            const auto b = static_cast<unsigned char>(bytes[i]);
            out[2 * i] = digits[b >> 4];
            out[2 * i + 1] = digits[b & 15];
        }
    }

    sqlite3* m_db = nullptr;
    sqlite3_stmt* m_rows = nullptr;
};

QString headPath(const Database& db)
{
    const QSqlDatabase c = db.connection();
    if (db.engine() == Database::Engine::SQLite)
        return c.databaseName() + QStringLiteral(".head");
    // A server's ledger as this counter last saw it, kept beside the program's own files under
    // a name the server and the database give.
    QString name = c.hostName() + u'-' + QString::number(c.port()) + u'-' + c.databaseName();
    for (QChar& ch : name) {
        if (!ch.isLetterOrNumber() && ch != u'-' && ch != u'_')
            ch = u'_';
    }
    return seams::dataFile(QStringLiteral("server-") + name + QStringLiteral(".head"));
}

LedgerHead knownHead(const Database& db)
{
    LedgerHead head { 0, {} };
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

// The stored hash of a row, empty when there is no such row; false when it cannot be read.
bool hashOfRow(Database& db, qint64 number, QString& hash)
{
    hash.clear();
    QSqlQuery q(db.connection());
    q.prepare(QStringLiteral("select 校验 from 操作记录 where 序号=?"));
    q.addBindValue(number);
    if (!q.exec())
        return false;
    if (q.next())
        hash = q.value(0).toString();
    return true;
}

} // namespace

LedgerCheck checkLedgerFile(const QString& path, const std::function<bool(qint64, qint64)>& progress)
{
    LedgerCheck result;
    ChainReader reader(path);
    if (!reader.isOpen())
        return result;
    const qint64 total = reader.number("select count(*) from 操作记录");
    if (total < 0)
        return result;
    // On a long ledger the later half goes to a thread of its own, on a connection of its own:
    // the rows numbered above the middle row, to the end. The middle row is found by its number,
    // not by counting: when the first half holds, the row at that position carries it; when
    // it does not, the first half says where.
    const qint64 newest = reader.number("select max(序号) from 操作记录");
    const qint64 middleNumber = total >= 20000 ? total / 2 : std::max<qint64>(newest, 0);
    QByteArray middleHash;
    const bool split = total >= 20000;
    if (split && reader.number("select 序号, 校验 from 操作记录 where 序号<=? order by 序号 desc limit 1", middleNumber,
                     &middleHash)
            < 0)
        return result;
    std::atomic<qint64> done { 0 };
    std::atomic<bool> stop { false };
    std::atomic<bool> laterDone { !split };
    ChainPart later;
    std::thread worker;
    if (split) {
        worker = std::thread([&] {
            ChainReader own(path);
            if (own.isOpen())
                later = own.check(middleNumber, middleHash, middleNumber + 1, std::numeric_limits<qint64>::max(), &done,
                    &stop);
            laterDone = true;
        });
    }
    // The first half, a part at a time, says how far both have come between its parts.
    ChainPart earlier;
    earlier.readable = true;
    while (earlier.lastNumber < middleNumber) {
        const ChainPart part = reader.check(earlier.lastNumber, earlier.lastHash, earlier.rows + 1,
            std::min(middleNumber, earlier.lastNumber + 20000));
        earlier.readable = part.readable;
        if (!part.readable)
            break;
        if (!earlier.firstBroken)
            earlier.firstBroken = part.firstBroken;
        earlier.lastHash = part.lastHash;
        earlier.rows += part.rows;
        if (part.rows == 0 && part.lastNumber == earlier.lastNumber) {
            // A gap of numbers: on to the next row there is.
            const qint64 next = reader.number("select min(序号) from 操作记录 where 序号>?", earlier.lastNumber);
            if (next <= earlier.lastNumber)
                break;
            earlier.lastNumber = std::min(middleNumber, next - 1);
        } else {
            earlier.lastNumber = part.lastNumber;
        }

        if (progress && !progress(std::min(total, earlier.rows + done.load()), total)) {
            earlier.readable = false; // stopped: no result
            break;
        }
    }
    if (!earlier.readable)
        stop = true;
    // The later half still going: its progress is told, and it may still be stopped.
    while (!laterDone) {
        if (progress && !stop && !progress(std::min(total, earlier.rows + done.load()), total)) {
            earlier.readable = false;
            stop = true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (worker.joinable())
        worker.join();
    // A check stopped early, or a read that stopped early, is no intact chain.
    if (!earlier.readable || (split && !later.readable))
        return result;
    result.readable = true;
    result.rows = earlier.rows + (split ? later.rows : 0);
    result.firstBroken = earlier.firstBroken ? earlier.firstBroken : later.firstBroken;
    // Rows the walk never met (numbered 0 or below) stand before the first in the ledger's order.
    if (result.rows < total) {
        result.firstBroken = 1;
        result.rows = total;
    }
    result.newestHash = QString::fromLatin1(split && later.rows > 0 ? later.lastHash : earlier.lastHash);
    if (progress)
        progress(total, total);
    return result;
}

LedgerPlace ledgerPlace(const Database& db)
{
    return db.engine() == Database::Engine::PostgreSQL ? LedgerPlace { true, db.serverAddress() }
                                                       : LedgerPlace { false, db.connection().databaseName() };
}

LedgerCheck checkLedgerAt(const LedgerPlace& place, const std::function<bool(qint64, qint64)>& progress)
{
    if (!place.onServer)
        return checkLedgerFile(place.address, progress);
    // On a connection of its own: the walk's rows come in while the counter books on its own.
    static QAtomicInt serial;
    const QString name = QStringLiteral("核对#%1").arg(serial.fetchAndAddRelaxed(1));
    LedgerCheck result;
    {
        QString why;
        if (openPgConnection(name, place.address, &why)) {
            QSqlDatabase walk = QSqlDatabase::database(name, false);
            qint64 total = 0;
            QSqlQuery count(walk);
            if (count.exec(QStringLiteral("select count(*) from 操作记录")) && count.next())
                total = count.value(0).toLongLong();
            count.finish();
            const ServerLedgerCheck check = checkServerLedger(walk, &why, [&](qint64 done) {
                return !progress || progress(done, std::max(total, done));
            });
            result.readable = why.isEmpty() && !check.stopped;
            result.rows = check.rows;
            result.firstBroken = check.firstBroken;
            result.newestHash = check.lastHash;
            if (result.readable && progress)
                progress(check.rows, check.rows);
            walk.close();
        }
    }
    QSqlDatabase::removeDatabase(name);
    return result;
}

LedgerCheck checkLedger(Database& db, const std::function<bool(qint64, qint64)>& progress)
{
    if (!db.ensureOpen())
        return {};
    LedgerCheck result = checkLedgerAt(ledgerPlace(db), progress);
    compareWithKnownHead(db, result);
    return result;
}

void compareWithKnownHead(Database& db, LedgerCheck& result)
{
    if (!result.readable || result.firstBroken || !db.ensureOpen())
        return;
    const LedgerHead known = knownHead(db);
    if (known.number > 0) {
        QString hash;
        if (!hashOfRow(db, known.number, hash)) {
            result.readable = false;
            return;
        }
        if (hash.isEmpty() && known.number > result.rows) {
            result.removedAtEnd = known.number - result.rows;
            return;
        }
        if (hash != known.hash) {
            result.firstBroken = known.number; // the rows up to it were replaced, chained anew
            return;
        }
        // Written meanwhile by a backup or a handover, the head known may be ahead of the walk.
        if (known.number > result.rows)
            return;
    }
    writeHead(db, { result.rows, result.newestHash });
}

bool rememberLedgerHead(Database& db, bool restored)
{
    if (!db.ensureOpen())
        return false;
    QSqlQuery q(db.connection());
    if (!q.exec(QStringLiteral("select 序号, 校验 from 操作记录 order by 序号 desc limit 1")))
        return false;
    LedgerHead head { 0, {} };
    if (q.next())
        head = { q.value(0).toLongLong(), q.value(1).toString() };
    q.finish();
    const LedgerHead known = knownHead(db);
    QString knownNow;
    if (!restored
        && (head.number < known.number
            || (known.number > 0 && (!hashOfRow(db, known.number, knownNow) || knownNow != known.hash))))
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
        QStringLiteral("点钞"), QStringLiteral("交班"), QStringLiteral("恢复备份"), QStringLiteral("机器"), QStringLiteral("区域"),
        QStringLiteral("充值赠送"), QStringLiteral("计费方案"), QStringLiteral("套餐"), QStringLiteral("时间跳变"),
        QStringLiteral("客户机") };
}

bool readLedger(Database& db, DateTime from, DateTime to, const QString& operatorName, const QString& kind,
    QVector<LedgerRow>& rows, QString* error, const QString& method)
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
    if (!method.isEmpty()) {
        // Cash that moved, now and before methods were kept; a card alone paid in no cash.
        if (isCashMethod(method)) {
            sql += QStringLiteral(" and 支付方式 in ('', '现金') and 现金<>0");
        } else {
            sql += QStringLiteral(" and 支付方式=?");
            values.append(method);
        }
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
        e.method = q.value(16).toString();
        e.reference = q.value(17).toString();
        e.received = q.value(18).toDouble();
        e.bonus = q.value(19).toDouble();
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
