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

// In a test's initTestCase: skips where PostgreSQL cannot run; under CI (CI=true), which
// installs it, that is a failure.
#define PG_TESTS_NEED_A_SERVER()                                                                                       \
    do {                                                                                                               \
        const QString whyNot = PgTestDatabase::unavailable();                                                          \
        if (!whyNot.isEmpty()) {                                                                                       \
            if (qgetenv("CI") == "true")                                                                               \
                QFAIL(qPrintable(whyNot));                                                                             \
            QSKIP(qPrintable(whyNot));                                                                                 \
        }                                                                                                              \
    } while (false)

// A statement on a connection: empty when it ran, else the server's words.
QString pgRefusal(QSqlDatabase& db, const QString& statement);
