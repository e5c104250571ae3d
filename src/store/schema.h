#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

class QSqlDatabase;

// The shape of date.mdb. The file carries its version (PRAGMA user_version): 0 is the three
// tables as first delivered, and every later version is one numbered step that upgrades the
// version before it. To change the shape, append a step; never edit one that has shipped.
struct SchemaStep {
    int version = 0; // the version the file has once the step has run
    QStringList statements;
};

// The steps, in order; the last one's version is the program's.
const QVector<SchemaStep>& schemaSteps();
int currentSchemaVersion();

// The tables of version 0.
QStringList baseTableStatements();

// Makes a new database file at path, at the current version. Never touches an existing file:
// the statements run on a temporary file that takes the final name only when it is complete.
// Returns false with a reason when the file could not be made.
bool createDatabase(const QString& path, QString* error = nullptr);

enum class UpgradeResult {
    Current, // nothing to do
    Upgraded,
    TooNew, // made by a newer program: not to be written
    Failed // a step failed: the file is as it was before that step, the copy kept
};

// Brings the open file at path up to the last of `steps`: first a copy of the file beside it
// (path + ".v<old>.bak"), then every missing step in a transaction of its own, which also sets
// the version. *fromVersion is the version the file had.
UpgradeResult upgradeSchema(QSqlDatabase& db, const QString& path, const QVector<SchemaStep>& steps,
    int* fromVersion = nullptr, QString* error = nullptr);
