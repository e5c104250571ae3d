#pragma once

#include "common/values.h"

#include <QHash>
#include <QObject>
#include <QSqlQuery>
#include <QSqlDatabase>
#include <QVariant>
#include <QVector>

#include <chrono>
#include <functional>

// The program's one connection to date.mdb (an SQLite file). Statements written for the
// Access engine pass through translateStatement before they reach SQLite.
struct sqlite3;
struct sqlite3_stmt;
enum class UpgradeResult;

// The ledger's newest row: its number and hash.
struct LedgerHead {
    qint64 number = -1; // -1: not known
    QString hash;
};

class Database : public QObject {
    Q_OBJECT
public:
    explicit Database(QObject* parent = nullptr);
    ~Database() override;

    // TooNew: written by a newer program, so not to be written by this one; UpgradeFailed: a
    // schema step failed, the file is left as it was before it.
    enum class OpenFailure { None, Missing, NotADatabase, Locked, TooNew, UpgradeFailed, Other };

    // Fails without a message when the file is missing (and then creates nothing), is not a
    // database, stays locked by another program past a short wait, or has a schema this program
    // cannot bring to its own version. An older file is upgraded first. The path is kept: every
    // later operation tries to open it again, so an outage ends once its cause is gone.
    bool openDatabase(const QString& path, const QString& password = QString());
    // The same on a PostgreSQL server (see openPgConnection for `uri`): the schema made or
    // brought up by its steps, a newer one refused; kept, so that a lost connection is opened
    // again by the next operation.
    bool openServer(const QString& uri);
    enum class Engine { SQLite, PostgreSQL };
    Engine engine() const { return m_engine; }
    // The server as openServer was given it; empty on a file.
    QString serverAddress() const { return m_serverUri; }
    // Closes on purpose: nothing opens it again.
    bool closeDatabase();
    bool isOpen() const;
    // Open now, or opened again from the kept path.
    bool ensureOpen();
    OpenFailure openFailure() const { return m_openFailure; }

    // Runs one statement that returns no rows; a failure is only remembered in lastError.
    bool execute(const QString& statement);
    int rowsAffected() const { return m_rowsAffected; }

    // Runs one statement with bound values ("?" marks), outside of the Access translation.
    bool run(const QString& statement, const QVariantList& values = {});

    // Transactions begin as a writer, so another program's short lock is waited out at the
    // start instead of failing the first write. A transaction begun while one is under way
    // joins it: its commit waits for the outer one, and its rollback makes the outer one roll
    // back whole. Prefer Transaction to these three.
    bool beginTransaction();
    bool commitTransaction();
    bool rollbackTransaction();

    QString lastError() const { return m_lastError; }
    QSqlDatabase connection() const;

    // SQLite's own connection under the open one, for what QtSql cannot do; null while closed.
    sqlite3* handle() const;
    // A statement of SQLite's own API on it, prepared once per opened file, for the one write
    // on every booking's path where QtSql's binding costs more than the row; `bind` puts in its
    // values, which must live until the call returns. False with lastError() as run() gives it.
    bool runNative(const char* statement, const std::function<void(sqlite3_stmt*)>& bind);

    // Inside a write transaction: the ledger's head as this connection last committed it, when
    // no other program has written the file since, or as a row appended earlier in the same
    // transaction left it. False when it must be read from the file.
    bool ledgerHead(LedgerHead& head);
    // The head after a row appended in the transaction under way; known once it commits.
    void setLedgerHead(const LedgerHead& head);
    void forgetLedgerHead()
    {
        m_head = {};
        m_hasPendingHead = false;
    }


    // Who works the counter, as the ledger names them: empty while no operator is defined.
    void setOperatorName(const QString& name) { m_operatorName = name; }
    QString operatorName() const { return m_operatorName; }
    // The owner who allowed the owner-only action under way, named by its ledger rows beside
    // the operator; empty otherwise.
    void setAuthorisedBy(const QString& owner) { m_authorisedBy = owner; }
    QString authorisedBy() const { return m_authorisedBy; }
    // The counter this program is, as the machines and shifts of a store shared by several name
    // it; empty on a file, which one counter has to itself.
    void setCounterName(const QString& name) { m_counterName = name; }
    // Never Null: a statement compares the column with it.
    QString counterName() const { return m_counterName.isNull() ? QStringLiteral("") : m_counterName; }
    // The open shift, whose number every ledger row carries; 0 while none is open.
    void setShift(int number) { m_shift = number; }
    int shift() const { return m_shift; }

    // Declared column types of a table or view, by column name.
    QVector<QPair<QString, QString>> columnTypes(const QString& table) const;
    // A table whose rows a record set edits (by the row number a file keeps, or its column).
    bool isTable(const QString& name) const;
    // Any table of that name.
    bool hasTable(const QString& name) const;
    // After a statement failed: the shapes kept of a server's tables are asked again, in case a
    // table was dropped or changed under the program.
    void forgetShapes() const
    {
        m_columnTypes.clear();
        m_editable.clear();
    }
    // Runs an insert with bound values; `id` is the new row's `key`.
    bool insert(const QString& statement, const QVariantList& values, const QString& key, qint64& id);
    // SQL for a text column's number, 0 where it holds none, on the engine open.
    QString textAsNumber(const QString& column) const;
    // SQL for the column's values of a group as one text, between separators.
    QString listOf(const QString& column, const QString& separator) const;
    // Whether the view exists as the create statement would make it.
    bool viewMadeBy(const QString& name, const QString& createStatement) const;

signals:
    // Another counter on the same server committed a change, or the connection was opened
    // again after it was lost: what a window shows of the store is read again. Several close
    // together come as one, within a fifth of a second.
    void changedElsewhere();
    // Right before the connection closes (on purpose, or for a file replaced under it): what
    // works on SQLite's own connection lets go of it now.
    void closing();

private:
    friend class RecordSet;
    friend class Transaction;
    bool runControl(const QString& statement);
    // The server's "read again" signal, on a connection of its own that only listens.
    void listen();
    void stopListening();
    void heard(const QString& payload);
    QSqlQuery* prepared(const QString& statement);
    // The prepared statement run with its values, its rows still to read; null (lastError says
    // why) when it failed.
    QSqlQuery* runPrepared(const QString& statement, const QVariantList& values);
    void dropStatements();
    qint64 dataVersion() const;
    // A schema this program must not write, or could not bring up: said, true; else false.
    bool upgradeRefused(UpgradeResult upgrade, int version, const QString& why, const QString& what);
    void setError(const QString& text) { m_lastError = text; }

    QString m_connectionName;
    QString m_path;
    QString m_identity; // of the file the connection was opened on
    OpenFailure m_openFailure = OpenFailure::None;
    QString m_lastError;
    Engine m_engine = Engine::SQLite;
    QString m_serverUri;
    QString m_backendId; // of the server's process behind the connection: its own changes
    QString m_listenerName; // the listening connection's, empty while none
    class QTimer* m_listenerCheck = nullptr; // finds a listening connection that was lost
    class QTimer* m_readAgain = nullptr; // gathers signals close together into one
    bool m_hasServer = false; // opened on a server, and not closed on purpose since
    int m_rowsAffected = 0;
    QString m_operatorName;
    QString m_authorisedBy;
    QString m_counterName;
    int m_shift = 0;
    int m_depth = 0; // transactions begun and not yet ended
    bool m_rollbackOnly = false;
    std::chrono::steady_clock::time_point m_waitStarted; // of the wait for a lock under way
    QHash<QString, QSqlQuery> m_prepared; // of the file open now
    // A server's tables as the catalogue describes them, by lower-case name, while open.
    mutable QHash<QString, QVector<QPair<QString, QString>>> m_columnTypes;
    mutable QHash<QString, bool> m_editable;
    QHash<const char*, sqlite3_stmt*> m_native; // likewise, by the statement's own text
    LedgerHead m_head; // as last committed
    qint64 m_headVersion = -1; // the file's data version when m_head was known
    LedgerHead m_pendingHead; // after a row of the transaction under way
    bool m_hasPendingHead = false;
    qint64 m_transactionVersion = -1; // read under the write lock of the transaction under way
    // While a transaction that could not begin is still in scope, nothing is written or read:
    // a booking whose transaction was refused must not go on in pieces of its own.
    int m_refusing = 0; // transactions in scope that could not begin
    QString m_refusal; // why the outermost of them could not
};

// A write transaction that rolls back unless it is committed, so that every failure path of a
// booking leaves through one plain return.
class Transaction {
public:
    explicit Transaction(Database& db);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    bool isActive() const { return m_active; }
    bool commit();
    // The engine's text of the failed begin or commit.
    QString error() const { return m_error; }

private:
    Database& m_db;
    bool m_active = false;
    bool m_refused = false; // could not begin: the store refuses everything while this is in scope
    QString m_error;
};

// Empty when the SQLite library loaded is of the major version the program was built against;
// otherwise what the operator is told.
QString sqliteLibraryMismatch();

// What the operator is told when date.mdb cannot be opened: the file, the cause, and that
// nothing can be booked until it is put right.
QString databaseOutageMessage(const QString& path, Database::OpenFailure failure, const QString& engineText);
