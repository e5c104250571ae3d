#pragma once

#include <QString>

class QSqlDatabase;

// A PostgreSQL server as its users name it: a URI (postgresql://user@host:port/name?sslmode=…)
// or nothing, which leaves it all to libpq (PGHOST, PGPORT, PGUSER, PGDATABASE, the service
// file). A password is never taken from the URI: it belongs in libpq's password file.
// Opens the connection `connectionName` (QPSQL); false with the reason, the connection closed.
bool openPgConnection(const QString& connectionName, const QString& uri, QString* error);
