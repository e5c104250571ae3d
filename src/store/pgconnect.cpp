#include "pgconnect.h"

#include "sqltext.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QUrl>
#include <QUrlQuery>

bool openPgConnection(const QString& connectionName, const QString& uri, QString* error)
{
    const auto fail = [&](const QString& why) {
        if (error)
            *error = why;
        return false;
    };
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL")))
        return fail(QStringLiteral("没有QtSql的PostgreSQL驱动（Debian的libqt6sql6-psql），无法连接服务器。"));
    QSqlDatabase db = namedConnection(connectionName, QStringLiteral("QPSQL"));
    if (!uri.isEmpty()) {
        const QUrl url(uri, QUrl::StrictMode);
        if (!url.isValid() || (url.scheme() != u"postgresql" && url.scheme() != u"postgres"))
            return fail(QStringLiteral("数据库地址应当形如 postgresql://用户@主机:端口/库名。"));
        if (!url.password().isEmpty())
            return fail(QStringLiteral("数据库地址里不能写密码，请把密码写在PostgreSQL的密码文件（~/.pgpass）里。"));
        db.setHostName(url.host());
        if (url.port() > 0)
            db.setPort(url.port());
        db.setDatabaseName(url.path().mid(1));
        db.setUserName(url.userName());
        // libpq's own options (sslmode and the like), as keyword=value.
        QStringList options;
        for (const auto& [key, value] : QUrlQuery(url).queryItems(QUrl::FullyDecoded)) {
            if (key == u"password")
                return fail(QStringLiteral("数据库地址里不能写密码，请把密码写在PostgreSQL的密码文件（~/.pgpass）里。"));
            if (key.isEmpty() || value.contains(u';') || value.contains(u' '))
                return fail(QStringLiteral("数据库地址的参数“%1”无法使用。").arg(key));
            options << key + u'=' + value;
        }
        db.setConnectOptions(options.join(u';'));
    }
    if (!db.open())
        return fail(QStringLiteral("无法连接数据库服务器：") + errorText(db.lastError()));
    return true;
}
