#include "database.h"

#include "pgconnect.h"
#include "pgschema.h"

#include "common/seams.h"
#include "schema.h"
#include "sqltext.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDriver>
#include <QTimer>
#include <QSqlError>
#include <QSqlQuery>

#include <sqlite3.h>

#include <chrono>
#include <thread>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace {

// The channel every counter of a server tells its changes on.
const QString kChannel = QStringLiteral("langtuo");

// How long anything waits for another program's lock before it gives up: an open, a booking,
// a read.
constexpr int kBusyTimeoutMs = 2000;

// Retries in short, slightly uneven steps: SQLite's own waits grow to 100 ms, so two programs
// booking all the time would leave one waiting while the other takes the lock again and again.
// Called by SQLite with how often it was called for this one wait.
int waitBriefly(void* started, int count)
{
    auto* start = static_cast<std::chrono::steady_clock::time_point*>(started);
    const auto moment = std::chrono::steady_clock::now();
    if (count == 0)
        *start = moment;
    if (moment - *start >= std::chrono::milliseconds(kBusyTimeoutMs))
        return 0;
    std::this_thread::sleep_for(std::chrono::microseconds(500 + 700 * (count % 3)));
    return 1;
}

// Which file a path names now: a file deleted, or replaced by another under the same name,
// gives another identity (or none) than the one the connection was opened on.
QString fileIdentity(const QString& path)
{
#ifdef Q_OS_UNIX
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return QString();
    return QStringLiteral("%1:%2").arg(qulonglong(st.st_dev)).arg(qulonglong(st.st_ino));
#else
    // Windows keeps an open database file from being deleted or renamed; only its presence tells.
    return QFileInfo::exists(path) ? QStringLiteral("present") : QString();
#endif
}

} // namespace

Database::Database(QObject* parent)
    : QObject(parent)
{
    // Before SQLite starts: its memory statistics take one lock that every connection of the
    // process shares, which would make the chain check's two threads take turns. Later calls
    // are refused by SQLite and change nothing.
    static const int configured = sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
    Q_UNUSED(configured);
    static int serial = 0;
    setObjectName(QStringLiteral("数据库连接1"));
    m_connectionName = QStringLiteral("数据库连接1#%1").arg(++serial);
}

Database::~Database()
{
    closeDatabase();
    if (QSqlDatabase::contains(m_connectionName))
        QSqlDatabase::removeDatabase(m_connectionName);
}

QSqlDatabase Database::connection() const { return QSqlDatabase::database(m_connectionName, false); }

bool Database::isOpen() const
{
    return QSqlDatabase::contains(m_connectionName) && connection().isOpen();
}

bool Database::openDatabase(const QString& pathText, const QString& password)
{
    Q_UNUSED(password); // SQLite files carry no password; the program never sets one
    const QString path = pathText; // may be m_path itself, which the close clears
    closeDatabase();
    m_engine = Engine::SQLite;
    m_path = path;
    if (!QFileInfo(path).isFile()) {
        m_openFailure = OpenFailure::Missing;
        m_lastError = QStringLiteral("找不到数据库文件“%1”。").arg(QDir::toNativeSeparators(path));
        return false;
    }
    QSqlDatabase db = namedConnection(m_connectionName, QStringLiteral("QSQLITE"));
    db.setDatabaseName(path);
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(kBusyTimeoutMs));
    if (!db.open()) {
        m_openFailure = OpenFailure::Other;
        m_lastError = errorText(db.lastError());
        return false;
    }
    if (sqlite3* h = handle())
        sqlite3_busy_handler(h, waitBriefly, &m_waitStarted);
    // Reading the schema proves the file is a database and that nobody holds it locked;
    // full synchronous writes make every reported change survive a crash or a power loss.
    QSqlQuery check(db);
    if (!check.exec(QStringLiteral("select count(*) from sqlite_master"))
        || !check.exec(QStringLiteral("PRAGMA synchronous=FULL"))) {
        const QSqlError error = check.lastError();
        const QString code = error.nativeErrorCode();
        m_openFailure = code == u"26" ? OpenFailure::NotADatabase
            : (code == u"5" || code == u"6") ? OpenFailure::Locked
                                             : OpenFailure::Other;
        m_lastError = errorText(error);
        check = QSqlQuery();
        db.close();
        return false;
    }
    int version = 0;
    QString why;
    if (upgradeRefused(upgradeSchema(db, path, schemaSteps(), &version, &why), version, why, QStringLiteral("文件"))) {
        check = QSqlQuery();
        db.close();
        return false;
    }
    m_openFailure = OpenFailure::None;
    m_lastError.clear();
    m_identity = fileIdentity(path);
    return true;
}

bool Database::upgradeRefused(UpgradeResult upgrade, int version, const QString& why, const QString& what)
{
    if (upgrade != UpgradeResult::TooNew && upgrade != UpgradeResult::Failed)
        return false;
    m_openFailure = upgrade == UpgradeResult::TooNew ? OpenFailure::TooNew : OpenFailure::UpgradeFailed;
    m_lastError = upgrade == UpgradeResult::TooNew
        ? QStringLiteral("它由较新版本的程序写入（%1第%2版，本程序第%3版），本程序不会改写它")
              .arg(what)
              .arg(version)
              .arg(currentSchemaVersion())
        : why;
    return true;
}

bool Database::openServer(const QString& uri)
{
    const QString kept = uri; // may be m_serverUri itself, which the close clears
    closeDatabase();
    m_engine = Engine::PostgreSQL;
    m_serverUri = kept;
    m_hasServer = true;
    QString why;
    if (!openPgConnection(m_connectionName, kept, &why)) {
        m_openFailure = OpenFailure::Other;
        m_lastError = why;
        return false;
    }
    QSqlDatabase db = connection();
    int version = 0;
    if (upgradeRefused(upgradePgSchema(db, pgSchemaSteps(), &version, &why), version, why, QStringLiteral("数据库"))) {
        db.close();
        return false;
    }
    QSqlQuery who(db);
    m_backendId = who.exec(QStringLiteral("select pg_backend_pid()")) && who.next() ? who.value(0).toString() : QString();
    m_openFailure = OpenFailure::None;
    m_lastError.clear();
    listen();
    // Opened again after an outage, or for the first time: whatever is shown is read again.
    heard(QString());
    return true;
}

void Database::listen()
{
    stopListening();
    m_listenerName = m_connectionName + QStringLiteral("#通知");
    QString why;
    if (openPgConnection(m_listenerName, m_serverUri, &why)) {
        QSqlDriver* driver = QSqlDatabase::database(m_listenerName, false).driver();
        connect(driver, &QSqlDriver::notification, this,
            [this](const QString&, QSqlDriver::NotificationSource, const QVariant& payload) { heard(payload.toString()); });
        driver->subscribeToNotification(kChannel);
    }
    if (!m_listenerCheck) {
        m_listenerCheck = new QTimer(this);
        // A lost listening connection says nothing: it is looked at now and then, and opened
        // again with everything read again.
        connect(m_listenerCheck, &QTimer::timeout, this, [this] {
            if (!m_hasServer || m_listenerName.isEmpty())
                return;
            QSqlDatabase l = QSqlDatabase::database(m_listenerName, false);
            QSqlQuery q(l);
            if (l.isOpen() && q.exec(QStringLiteral("select 1")))
                return;
            listen();
            heard(QString());
        });
    }
    m_listenerCheck->start(5000);
}

void Database::stopListening()
{
    if (m_listenerCheck)
        m_listenerCheck->stop();
    if (m_listenerName.isEmpty())
        return;
    {
        QSqlDatabase l = QSqlDatabase::database(m_listenerName, false);
        if (l.isOpen())
            l.driver()->unsubscribeFromNotification(kChannel);
        l.close();
    }
    QSqlDatabase::removeDatabase(m_listenerName);
    m_listenerName.clear();
}

void Database::heard(const QString& payload)
{
    if (!payload.isEmpty() && payload == m_backendId)
        return; // this connection's own change
    if (!m_readAgain) {
        m_readAgain = new QTimer(this);
        m_readAgain->setSingleShot(true);
        m_readAgain->setInterval(200);
        connect(m_readAgain, &QTimer::timeout, this, &Database::changedElsewhere);
    }
    if (!m_readAgain->isActive())
        m_readAgain->start();
}

bool Database::closeDatabase()
{
    m_path.clear();
    m_serverUri.clear();
    m_hasServer = false;
    stopListening();
    if (!QSqlDatabase::contains(m_connectionName))
        return false;
    QSqlDatabase db = connection();
    m_depth = 0;
    // Statements prepared on a connection that was lost would be taken for ones of the next.
    dropStatements();
    if (!db.isOpen())
        return false;
    db.close();
    return true;
}

bool Database::ensureOpen()
{
    if (m_refusing > 0) {
        m_lastError = m_refusal;
        return false;
    }
    if (m_engine == Engine::PostgreSQL) {
        if (isOpen())
            return true;
        // The server rolled back what the lost connection had begun: the rest must not go
        // through a new one on its own.
        if (m_depth > 0) {
            m_lastError = QStringLiteral("与数据库服务器的连接在写入过程中断开，本次操作未能完成。");
            return false;
        }
        if (!m_hasServer) {
            m_lastError = QStringLiteral("数据库未打开。");
            return false;
        }
        return openServer(m_serverUri);
    }
    if (isOpen()) {
        if (fileIdentity(m_path) == m_identity)
            return true;
        // Within a transaction the rest must not go to another file one statement at a time:
        // it fails, and the transaction rolls back whole.
        if (m_depth > 0) {
            m_lastError = QStringLiteral("数据库文件在写入过程中被删除或替换，本次操作未能完成。");
            return false;
        }
        // The file was deleted or replaced while open: the connection would go on writing to
        // the old one, or fail with misleading texts. What stands at the path now is opened,
        // or its absence is an outage like a missing file at start.
        dropStatements();
        connection().close();
    }
    if (m_path.isEmpty()) {
        if (m_lastError.isEmpty())
            m_lastError = QStringLiteral("数据库未打开。");
        return false;
    }
    return openDatabase(m_path);
}

QString sqliteLibraryMismatch()
{
    // The QtSql plugin and this program load the one libsqlite3 of the system; a program built
    // against another major version would read its files with the wrong assumptions.
    if (sqlite3_libversion_number() / 1000000 == SQLITE_VERSION_NUMBER / 1000000)
        return QString();
    return QStringLiteral("系统的SQLite版本（%1）与本程序编译时的版本（%2）不一致，数据库可能无法正确使用，请重新安装本程序。")
        .arg(QString::fromLatin1(sqlite3_libversion()), QStringLiteral(SQLITE_VERSION));
}

QString databaseOutageMessage(const QString& path, Database::OpenFailure failure, const QString& engineText)
{
    QString cause;
    switch (failure) {
    case Database::OpenFailure::Missing:
        cause = QStringLiteral("文件不存在");
        break;
    case Database::OpenFailure::NotADatabase:
        cause = QStringLiteral("文件不是数据库或已损坏");
        break;
    case Database::OpenFailure::Locked:
        cause = QStringLiteral("文件被其他程序锁定");
        break;
    default:
        cause = engineText;
        break;
    }
    return QStringLiteral("无法打开数据库“%1”：%2。\n在修复之前无法记帐：结帐、销售、会员卡和业绩都不能使用，计时照常进行。")
        .arg(QDir::toNativeSeparators(path), cause);
}

bool Database::execute(const QString& statement)
{
    m_rowsAffected = 0;
    if (!ensureOpen())
        return false;
    QSqlQuery q(connection());
    const QString sql = m_engine == Engine::PostgreSQL ? serverStatement(translateStatement(statement))
                                                       : translateStatement(statement);
    if (!q.exec(sql)) {
        m_lastError = errorText(q.lastError());
        return false;
    }
    m_rowsAffected = q.numRowsAffected();
    m_lastError.clear();
    return true;
}

bool Database::runControl(const QString& statement)
{
    if (!ensureOpen())
        return false;
    QSqlQuery q(connection());
    if (!q.exec(statement)) {
        m_lastError = errorText(q.lastError());
        return false;
    }
    return true;
}

bool Database::beginTransaction()
{
    if (m_depth > 0 && isOpen()) {
        ++m_depth; // joins the transaction under way
        return true;
    }
    m_depth = 0;
    m_rollbackOnly = false;
    m_hasPendingHead = false;
    m_transactionVersion = -1;
    // A file is taken for writing at once. On a server every counter's writing transaction
    // takes one lock first, so they take turns as on a file: what a booking reads before it
    // writes (a card's balance for its ledger row, the ledger's head) stays as read, and no two
    // bookings can wait for each other.
    if (!runControl(m_engine == Engine::PostgreSQL ? QStringLiteral("BEGIN") : QStringLiteral("BEGIN IMMEDIATE")))
        return false;
    // The others are told once this commits; a rollback tells nobody. The same round trip as
    // the lock.
    if (m_engine == Engine::PostgreSQL
        && !runControl(pgWriterLockStatement() + QStringLiteral(", pg_notify(%1, %2)").arg(sqlText(kChannel), sqlText(m_backendId)))) {
        const QString why = m_lastError;
        runControl(QStringLiteral("ROLLBACK"));
        m_lastError = why;
        return false;
    }
    m_depth = 1;
    return true;
}

bool Database::commitTransaction()
{
    if (m_depth > 1) {
        --m_depth; // the outer transaction commits it
        return true;
    }
    if (m_rollbackOnly) {
        rollbackTransaction();
        m_lastError = QStringLiteral("事务中的一部分未能写入，已全部撤销。");
        return false;
    }
    m_depth = 0;
    // A server connection lost under way took its transaction with it: no COMMIT on a new one.
    if (m_engine == Engine::PostgreSQL && !isOpen()) {
        m_hasPendingHead = false;
        m_lastError = QStringLiteral("与数据库服务器的连接在写入过程中断开，本次操作未能完成。");
        return false;
    }
    const bool committed = runControl(QStringLiteral("COMMIT"));
    if (committed && m_hasPendingHead) {
        m_head = m_pendingHead;
        m_headVersion = m_transactionVersion;
    }
    m_hasPendingHead = false;
    return committed;
}

bool Database::rollbackTransaction()
{
    if (m_depth > 1) {
        --m_depth;
        m_rollbackOnly = true; // a part failed: the whole must not be committed
        return true;
    }
    m_depth = 0;
    m_rollbackOnly = false;
    m_hasPendingHead = false;
    if (m_engine == Engine::PostgreSQL && !isOpen())
        return true; // the server rolled it back with the connection
    if (m_engine == Engine::SQLite && isOpen() && fileIdentity(m_path) != m_identity) {
        dropStatements();
        connection().close(); // closing rolls back what was begun on the old file
        return true;
    }
    return runControl(QStringLiteral("ROLLBACK"));
}

bool Database::run(const QString& statement, const QVariantList& values)
{
    QSqlQuery* q = runPrepared(statement, values);
    if (!q)
        return false;
    m_rowsAffected = q->numRowsAffected();
    q->finish();
    return true;
}

QSqlQuery* Database::runPrepared(const QString& statement, const QVariantList& values)
{
    m_rowsAffected = 0;
    if (!ensureOpen())
        return nullptr;
    QSqlQuery* q = prepared(statement);
    if (!q)
        return nullptr;
    for (int i = 0; i < values.size(); ++i)
        q->bindValue(i, values[i]);
    if (!q->exec()) {
        m_lastError = errorText(q->lastError());
        q->finish();
        return nullptr;
    }
    m_lastError.clear();
    return q;
}

QSqlQuery* Database::prepared(const QString& statement)
{
    // Preparing costs as much as running a short statement: a booking's few statements are
    // prepared once per opened file.
    auto it = m_prepared.find(statement);
    if (it == m_prepared.end()) {
        QSqlQuery q(connection());
        if (!q.prepare(statement)) {
            m_lastError = errorText(q.lastError());
            return nullptr;
        }
        it = m_prepared.insert(statement, q);
    }
    return &it.value();
}

bool Database::runNative(const char* statement, const std::function<void(sqlite3_stmt*)>& bind)
{
    m_rowsAffected = 0;
    if (!ensureOpen())
        return false;
    sqlite3* h = handle();
    sqlite3_stmt*& st = m_native[statement];
    if (!st && (!h || sqlite3_prepare_v3(h, statement, -1, SQLITE_PREPARE_PERSISTENT, &st, nullptr) != SQLITE_OK)) {
        m_lastError = h ? QString::fromUtf8(sqlite3_errmsg(h)) : QStringLiteral("数据库未打开。");
        m_native.remove(statement);
        return false;
    }
    bind(st);
    const bool done = sqlite3_step(st) == SQLITE_DONE;
    if (done) {
        m_rowsAffected = sqlite3_changes(h);
        m_lastError.clear();
    } else {
        m_lastError = QString::fromUtf8(sqlite3_errmsg(h));
    }
    sqlite3_reset(st);
    sqlite3_clear_bindings(st);
    return done;
}

void Database::dropStatements()
{
    emit closing();
    for (sqlite3_stmt* st : std::as_const(m_native))
        sqlite3_finalize(st);
    m_native.clear();
    m_prepared.clear();
    forgetShapes();
    m_head = {};
    m_hasPendingHead = false;
}

sqlite3* Database::handle() const
{
    if (!isOpen())
        return nullptr;
    const QVariant h = connection().driver()->handle();
    return h.isValid() && qstrcmp(h.typeName(), "sqlite3*") == 0 ? *static_cast<sqlite3* const*>(h.constData()) : nullptr;
}

qint64 Database::dataVersion() const
{
    sqlite3* h = handle();
    sqlite3_stmt* st = nullptr;
    qint64 version = -1;
    if (h && sqlite3_prepare_v2(h, "PRAGMA data_version", -1, &st, nullptr) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW)
        version = sqlite3_column_int64(st, 0);
    sqlite3_finalize(st);
    return version;
}

bool Database::ledgerHead(LedgerHead& head)
{
    if (m_hasPendingHead) {
        head = m_pendingHead; // a row appended earlier in this transaction
        return true;
    }
    if (m_depth == 0)
        return false;
    // Under the write lock nobody else commits; the version tells whether anybody did since
    // the head was last known, so another program's row is never chained over.
    m_transactionVersion = dataVersion();
    if (m_head.number < 0 || m_transactionVersion < 0 || m_transactionVersion != m_headVersion)
        return false;
    head = m_head;
    return true;
}

void Database::setLedgerHead(const LedgerHead& head)
{
    if (m_depth == 0) {
        // Committed on its own, with no write lock between the look-up and the version: read
        // again next time. (This connection's own commits leave the version as it was, so a
        // head kept from before would be taken as current.)
        Q_UNUSED(head);
        m_head = {};
        return;
    }
    if (!m_hasPendingHead && m_transactionVersion < 0)
        m_transactionVersion = dataVersion();
    m_pendingHead = head;
    m_hasPendingHead = true;
}

Transaction::Transaction(Database& db)
    : m_db(db)
{
    m_active = m_db.beginTransaction();
    if (!m_active) {
        m_error = m_db.lastError();
        m_refused = true;
        if (m_db.m_refusing++ == 0)
            m_db.m_refusal = m_error.isEmpty() ? QStringLiteral("数据库正忙，本次操作未能完成。") : m_error;
    }
}

Transaction::~Transaction()
{
    if (m_active)
        m_db.rollbackTransaction();
    if (m_refused)
        --m_db.m_refusing;
}

bool Transaction::commit()
{
    if (!m_active)
        return false;
    if (!m_db.commitTransaction()) {
        m_error = m_db.lastError();
        return false; // the destructor rolls back what is left
    }
    m_active = false;
    return true;
}

QVector<QPair<QString, QString>> Database::columnTypes(const QString& table) const
{
    QVector<QPair<QString, QString>> result;
    if (!isOpen())
        return result;
    // A server's catalogue takes milliseconds to answer, on every booking: its tables' shapes
    // are kept while the connection is open (only the schema's steps change them, before).
    const QString key = table.toLower();
    if (m_engine == Engine::PostgreSQL) {
        if (const auto it = m_columnTypes.constFind(key); it != m_columnTypes.cend())
            return it.value();
    }
    QSqlQuery q(connection());
    if (m_engine == Engine::PostgreSQL) {
        // The row number a file keeps hidden is a column here; it stays as hidden. A domain
        // names the file's kind of column (currency, single, date).
        q.prepare(QStringLiteral("select column_name, coalesce(domain_name, data_type) from information_schema.columns "
                                 "where table_schema = any (current_schemas(true)) and lower(table_name) = lower(?) and "
                                 "column_name <> 'rowid' order by ordinal_position"));
        q.addBindValue(table);
        if (!q.exec())
            return result;
    } else if (!q.exec(QStringLiteral("PRAGMA table_info(%1)").arg(quoteName(table)))) {
        return result;
    }
    const int name = m_engine == Engine::PostgreSQL ? 0 : 1;
    while (q.next())
        result.append({ q.value(name).toString(), q.value(name + 1).toString() });
    if (m_engine == Engine::PostgreSQL && !result.isEmpty())
        m_columnTypes.insert(key, result);
    return result;
}

bool Database::isTable(const QString& name) const
{
    if (!isOpen())
        return false;
    if (m_engine == Engine::PostgreSQL) {
        // Kept with the shapes: a table whose rows are edited has its row number among them.
        if (const auto it = m_editable.constFind(name.toLower()); it != m_editable.cend())
            return it.value();
    }
    QSqlQuery q(connection());
    // On a server only a table with the row number a file keeps is one the program edits rows of.
    q.prepare(m_engine == Engine::PostgreSQL
            ? QStringLiteral("select 1 from information_schema.columns where table_schema = current_schema() and "
                             "lower(table_name) = lower(?) and column_name = 'rowid'")
            : QStringLiteral("select 1 from sqlite_master where type='table' and name=? collate nocase"));
    q.addBindValue(name);
    const bool editable = q.exec() && q.next();
    if (m_engine == Engine::PostgreSQL && !q.lastError().isValid())
        m_editable.insert(name.toLower(), editable);
    return editable;
}

bool Database::hasTable(const QString& name) const
{
    if (!isOpen())
        return false;
    QSqlQuery q(connection());
    q.prepare(m_engine == Engine::PostgreSQL ? QStringLiteral("select to_regclass(quote_ident(?)) is not null")
                                             : QStringLiteral("select count(*) from sqlite_master where type='table' and name=?"));
    q.addBindValue(name);
    return q.exec() && q.next() && q.value(0).toBool();
}

bool Database::viewMadeBy(const QString& name, const QString& createStatement) const
{
    // A server keeps the views of each connection apart, and its own text of them: they are made
    // again each time.
    if (!isOpen() || m_engine == Engine::PostgreSQL)
        return false;
    QSqlQuery q(connection());
    q.prepare(QStringLiteral("select sql from sqlite_master where type='view' and name=? collate nocase"));
    q.addBindValue(name);
    if (!q.exec() || !q.next())
        return false;
    // The engine keeps the statement as written but for the case of its opening keywords.
    return q.value(0).toString().compare(translateStatement(createStatement).trimmed(), Qt::CaseInsensitive) == 0;
}

bool Database::insert(const QString& statement, const QVariantList& values, const QString& key, qint64& id)
{
    id = -1;
    if (m_engine == Engine::SQLite) {
        if (!run(statement, values))
            return false;
        id = sqlite3_last_insert_rowid(handle());
        return true;
    }
    QSqlQuery* q = runPrepared(statement + QStringLiteral(" returning ") + quoteName(key), values);
    if (!q)
        return false;
    const bool done = q->next();
    if (done) {
        id = q->value(0).toLongLong();
        m_rowsAffected = 1;
    } else {
        m_lastError = errorText(q->lastError());
    }
    q->finish();
    return done;
}

QString Database::textAsNumber(const QString& column) const
{
    // A file turns any text into a number (0 when it holds none); a server refuses a text that
    // is not one, so only a number's text is turned.
    return m_engine == Engine::PostgreSQL
        ? QStringLiteral("(case when %1 ~ '^\\s*[-+]?([0-9]+\\.?[0-9]*|\\.[0-9]+)([eE][-+]?[0-9]+)?\\s*$' then "
                         "cast(%1 as double precision) else 0 end)")
              .arg(column)
        : QStringLiteral("cast(%1 as real)").arg(column);
}

QString Database::listOf(const QString& column, const QString& separator) const
{
    return m_engine == Engine::PostgreSQL
        ? QStringLiteral("string_agg(cast(%1 as text), %2 order by %1)").arg(column, sqlText(separator))
        : QStringLiteral("group_concat(%1, %2)").arg(column, sqlText(separator));
}
