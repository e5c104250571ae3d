#pragma once

#include <QSqlDatabase>
#include <QString>

// A database of its own on the throw-away PostgreSQL server of the run (pg_virtualenv sets
// PGHOST and the rest for libpq), made when constructed and dropped when destroyed.
class PgTestDatabase {
public:
    PgTestDatabase();
    ~PgTestDatabase();
    PgTestDatabase(const PgTestDatabase&) = delete;
    PgTestDatabase& operator=(const PgTestDatabase&) = delete;

    // Why PostgreSQL tests cannot run here, empty when they can.
    static QString unavailable();

    bool isMade() const { return m_made; }
    QString name() const { return m_name; }
    // A connection of that name to it (QPSQL, open when the server lets it).
    QSqlDatabase connect(const QString& connectionName) const;
    // The tables in it.
    int tableCount() const;

private:
    QString m_name;
    bool m_made = false;
};

// A statement on a connection: empty when it ran, else the server's words.
QString pgRefusal(QSqlDatabase& db, const QString& statement);
