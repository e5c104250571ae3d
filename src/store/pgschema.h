#pragma once

#include "schema.h"

class QSqlDatabase;

// The shape of the database on a PostgreSQL server: the same numbered steps as date.mdb's, in
// PostgreSQL's words, so that a database of either engine holds the same tables, columns and
// rules. The version is kept in the table 数据库版本; version 0 is an empty database, and its
// first step makes the three tables the file starts with. The three tables that SQLite keys by
// its hidden row number get a column of that name (rowid), so their rows are found alike.
const QVector<SchemaStep>& pgSchemaSteps();

// Brings the open (QPSQL) database up to the last of `steps`, every step in a transaction of
// its own under an advisory lock, so that two counters starting together never both run one:
// the second waits, then finds the step done. A database made by a newer program is refused.
// A new database is made whole in one transaction. *fromVersion is the version it had.
UpgradeResult upgradePgSchema(
    QSqlDatabase& db, const QVector<SchemaStep>& steps, int* fromVersion = nullptr, QString* error = nullptr);

// For a caller that makes a new database within a transaction of its own: the statement that
// takes the schema's lock (first in the transaction), the version (-1 when it cannot be read),
// and every statement that makes the database whole at the current version.
QString pgSchemaLockStatement();
int pgStoredVersion(QSqlDatabase& db, QString* error = nullptr);

// The lock every writing transaction on the server takes first, held to its end.
QString pgWriterLockStatement();
QStringList pgNewDatabaseStatements();
// Runs the statements in order; at the first that fails, false with the server's words and
// the statement.
bool runPgStatements(QSqlDatabase& db, const QStringList& statements, QString* why);
