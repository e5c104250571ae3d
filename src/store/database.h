#pragma once

#include "common/values.h"

#include <QObject>
#include <QSqlDatabase>
#include <QVariant>
#include <QVector>

// The program's one connection to date.mdb (an SQLite file). Statements written for the
// Access engine pass through translateStatement before they reach SQLite.
class Database : public QObject {
    Q_OBJECT
public:
    explicit Database(QObject* parent = nullptr);
    ~Database() override;

    enum class OpenFailure { None, Missing, NotADatabase, Locked, Other };

    // Fails without a message when the file is missing (and then creates nothing), is not a
    // database, or stays locked by another program past a short wait. The path is kept: every
    // later operation tries to open it again, so an outage ends once its cause is gone.
    bool openDatabase(const QString& path, const QString& password = QString());
    // Closes on purpose: nothing opens it again.
    bool closeDatabase();
    bool isOpen() const;
    // Open now, or opened again from the kept path.
    bool ensureOpen();
    OpenFailure openFailure() const { return m_openFailure; }

    // Runs one statement that returns no rows; a failure is only remembered in lastError.
    bool execute(const QString& statement);
    int rowsAffected() const { return m_rowsAffected; }

    // Transactions begin as a writer, so another program's short lock is waited out at the
    // start instead of failing the first write. Prefer Transaction to these three.
    bool beginTransaction();
    bool commitTransaction();
    bool rollbackTransaction();

    QString lastError() const { return m_lastError; }
    QSqlDatabase connection() const;

    // Declared column types of a table or view, by column name.
    QVector<QPair<QString, QString>> columnTypes(const QString& table) const;
    bool isTable(const QString& name) const;
    // Whether the view exists as the create statement would make it.
    bool viewMadeBy(const QString& name, const QString& createStatement) const;

private:
    friend class RecordSet;
    bool runControl(const QString& statement);
    void setError(const QString& text) { m_lastError = text; }

    QString m_connectionName;
    QString m_path;
    QString m_identity; // of the file the connection was opened on
    OpenFailure m_openFailure = OpenFailure::None;
    QString m_lastError;
    int m_rowsAffected = 0;
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
    QString m_error;
};

// What the operator is told when date.mdb cannot be opened: the file, the cause, and that
// nothing can be booked until it is put right.
QString databaseOutageMessage(const QString& path, Database::OpenFailure failure, const QString& engineText);

// A field of the open record set, by column name or by 0-based position.
struct Field {
    Field(const QString& n) : name(n) { }
    Field(const char16_t* n) : name(QString::fromUtf16(n)) { }
    Field(int i) : index(i) { }
    QString name;
    int index = -1;
};

// The program's one record set, bound to the connection: a static, counted set of the rows of
// a table or a query, free to move, updatable when it shows the rows of one table. A table's
// rows are fetched only when something reads, moves or counts them, so appending a booking
// costs the same on a table of any size.
class RecordSet : public QObject {
    Q_OBJECT
public:
    enum class Kind { Unknown, Text, Integer, Single, Double, Currency, DateTime };

    explicit RecordSet(QObject* parent = nullptr);

    void bind(Database* db) { m_db = db; }

    // On failure the engine's error text is shown in a message box and the set stays closed.
    bool openTable(const QString& table);
    bool openQuery(const QString& statement);
    bool closeSet();
    bool isOpen() const { return m_open; }
    int recordCount() const;
    bool moveNext();
    bool atEnd() const;

    bool addRecord();
    bool saveRecord();

    bool readText(const Field& field, QString& value);
    bool readNumber(const Field& field, double& value);
    bool readSingle(const Field& field, float& value);
    bool readInteger(const Field& field, int& value);
    bool readDate(const Field& field, DateTime& value);

    bool writeText(const Field& field, const QString& value);
    bool writeNumber(const Field& field, double value);
    bool writeSingle(const Field& field, float value);
    bool writeInteger(const Field& field, int value);
    // part 1 keeps the date only, part 2 the time only, 0 the whole value.
    bool writeDate(const Field& field, DateTime value, int part = 0);

    QString lastError() const { return m_lastError; }

private:
    struct Column {
        QString name;
        Kind kind = Kind::Unknown;
    };

    bool open(const QString& statement, const QString& table, bool updatable);
    bool usable();
    // Fetches the rows of a table opened without them; the current record stays current.
    bool load() const;
    void fail(const QString& text);
    int column(const Field& field) const;
    // The value under the cursor (the pending new or edited record included), or false past the end.
    bool current(int column, QVariant& value) const;
    bool put(const Field& field, const QVariant& value);
    Kind kindOf(int column, const QVariant& value) const;

    Database* m_db = nullptr;
    bool m_open = false;
    QString m_table; // base table of an updatable set
    QVector<Column> m_columns;
    mutable bool m_loaded = true;
    mutable qint64 m_currentId = -1; // the record saved last while the rows were not fetched
    mutable QVector<QVector<QVariant>> m_rows;
    mutable QVector<qint64> m_rowIds;
    mutable int m_pos = 0;
    bool m_pendingNew = false;
    QVector<QVariant> m_buffer; // the record being added or edited
    QVector<bool> m_dirty;
    QString m_lastError;
};
