#pragma once

#include <QString>

class IniFile;

// A PostgreSQL server as its users name it: a URI (postgresql://user@host:port/name?sslmode=…),
// libpq's keyword=value pairs (host=… port=… dbname=… user=… service=…), or nothing, which
// leaves it all to libpq (PGHOST, PGPORT, PGUSER, PGDATABASE, the service file). A password is
// never taken from it: it belongs in libpq's password file.
// Opens the connection `connectionName` (QPSQL); false with the reason, the connection closed.
bool openPgConnection(const QString& connectionName, const QString& address, QString* error);

// Where jishi.ini's [数据库] section puts the store: a file (类型 absent or SQLite) or a server
// (类型=PostgreSQL), named by 连接 or by 主机, 端口, 库名 and 用户; and the name of this counter
// (柜台, by default the host's).
struct StoreSettings {
    bool onServer = false;
    QString address; // of the server, as openPgConnection takes it
    QString counterName;
    QString error; // a setting that cannot be used, said as the operator reads it
};
StoreSettings readStoreSettings(const IniFile& settings);
