#pragma once

#include <QPair>
#include <QString>
#include <QVector>

#include <functional>

class QSqlDatabase;

// What a copy brought over: each table's rows, in the order copied.
struct CopyReport {
    QVector<QPair<QString, qint64>> rows;
};

// Copies everything date.mdb at `path` holds (cards, goods, income, usages, the ledger, shifts,
// machines, plans, clients, operators) into `server`, an empty PostgreSQL database (QPSQL,
// open), made at the current version by the same numbered steps. The file's ledger is checked
// first; then, in one transaction on the server, the schema is made, every table copied from
// one snapshot of the file and the copy checked: each table's rows, each amount column's sum,
// and the ledger's chain worked out again from the server's own rows. On any fault nothing
// stays on the server, and the reason names the table. `progress` hears what is done, of how
// much, as it goes.
bool copyFileToServer(const QString& path, QSqlDatabase& server, CopyReport* report, QString* error,
    const std::function<void(const QString& what, qint64 done, qint64 total)>& progress = {});
