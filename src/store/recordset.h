#pragma once

#include "columnkinds.h"
#include "common/values.h"

#include <QObject>
#include <QVariant>
#include <QVector>

class Database;

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
    using Kind = ColumnKind;

    explicit RecordSet(QObject* parent = nullptr);

    void bind(Database* db) { m_db = db; }
    Database* database() const { return m_db; }

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
