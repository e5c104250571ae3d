#include "pgconnect.h"

#include "inifile.h"
#include "sqltext.h"

#include <QHostInfo>

#include <QSqlDatabase>
#include <QSqlError>
#include <QUrl>
#include <QUrlQuery>

namespace {

const QString kNoPassword = QStringLiteral("数据库地址里不能写密码，请把密码写在PostgreSQL的密码文件（~/.pgpass）里。");

// keyword=value pairs, a value quoted with apostrophes where it holds blanks; false on a
// malformed one.
bool splitKeywords(const QString& text, QList<QPair<QString, QString>>& pairs)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (true) {
        while (i < n && text.at(i).isSpace())
            ++i;
        if (i == n)
            return true;
        const qsizetype eq = text.indexOf(u'=', i);
        if (eq < 0)
            return false;
        const QString key = text.mid(i, eq - i).trimmed();
        i = eq + 1;
        while (i < n && text.at(i).isSpace())
            ++i;
        QString value;
        if (i < n && text.at(i) == u'\'') {
            for (++i; i < n && text.at(i) != u'\''; ++i) {
                if (text.at(i) == u'\\' && i + 1 < n)
                    ++i;
                value += text.at(i);
            }
            if (i == n)
                return false;
            ++i;
        } else {
            while (i < n && !text.at(i).isSpace())
                value += text.at(i++);
        }
        if (key.isEmpty() || key.contains(u' '))
            return false;
        pairs.append({ key, value });
    }
}

// The address as libpq's keywords with their values, a URI's parts included.
bool addressKeywords(const QString& address, QList<QPair<QString, QString>>& pairs, QString* why)
{
    if (address.isEmpty())
        return true;
    if (!address.contains(QStringLiteral("://"))) {
        if (splitKeywords(address, pairs))
            return true;
        *why = QStringLiteral("数据库连接“%1”无法使用，应当形如 host=主机 dbname=库名 user=用户。").arg(address);
        return false;
    }
    const QUrl url(address, QUrl::StrictMode);
    if (!url.isValid() || (url.scheme() != u"postgresql" && url.scheme() != u"postgres")) {
        *why = QStringLiteral("数据库地址应当形如 postgresql://用户@主机:端口/库名。");
        return false;
    }
    if (!url.password().isEmpty()) {
        *why = kNoPassword;
        return false;
    }
    for (const auto& [key, value] : { qMakePair(QStringLiteral("host"), url.host()),
             qMakePair(QStringLiteral("port"), url.port() > 0 ? QString::number(url.port()) : QString()),
             qMakePair(QStringLiteral("dbname"), url.path().mid(1)), qMakePair(QStringLiteral("user"), url.userName()) }) {
        if (!value.isEmpty())
            pairs.append({ key, value });
    }
    pairs += QUrlQuery(url).queryItems(QUrl::FullyDecoded);
    return true;
}

} // namespace

bool openPgConnection(const QString& connectionName, const QString& address, QString* error)
{
    const auto fail = [&](const QString& why) {
        if (error)
            *error = why;
        return false;
    };
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL")))
        return fail(QStringLiteral("没有QtSql的PostgreSQL驱动（Debian的libqt6sql6-psql），无法连接服务器。"));
    QList<QPair<QString, QString>> pairs;
    QString why;
    if (!addressKeywords(address.trimmed(), pairs, &why))
        return fail(why);
    QSqlDatabase db = namedConnection(connectionName, QStringLiteral("QPSQL"));
    db.setHostName(QString());
    db.setPort(-1);
    db.setDatabaseName(QString());
    db.setUserName(QString());
    QStringList options; // libpq's own (sslmode, service and the like), as keyword=value
    for (const auto& [key, value] : std::as_const(pairs)) {
        if (key == u"password")
            return fail(kNoPassword);
        if (key.isEmpty() || value.contains(u';') || value.contains(u' '))
            return fail(QStringLiteral("数据库地址的参数“%1”无法使用。").arg(key));
        if (key == u"host" || key == u"hostaddr")
            db.setHostName(value);
        else if (key == u"port")
            db.setPort(value.toInt());
        else if (key == u"dbname")
            db.setDatabaseName(value);
        else if (key == u"user")
            db.setUserName(value);
        else
            options << key + u'=' + value;
    }
    db.setConnectOptions(options.join(u';'));
    if (!db.open())
        return fail(QStringLiteral("无法连接数据库服务器：") + errorText(db.lastError()));
    return true;
}

StoreSettings readStoreSettings(const IniFile& settings)
{
    const QString section = QStringLiteral("数据库");
    const auto value = [&](const char16_t* key) { return settings.read(section, QString::fromUtf16(key), QString()).trimmed(); };
    StoreSettings out;
    out.counterName = value(u"柜台");
    if (out.counterName.isEmpty())
        out.counterName = QHostInfo::localHostName();
    const QString kind = value(u"类型");
    if (kind.isEmpty() || kind.compare(u"SQLite", Qt::CaseInsensitive) == 0)
        return out;
    out.onServer = true;
    if (kind.compare(u"PostgreSQL", Qt::CaseInsensitive) != 0) {
        out.error = QStringLiteral("jishi.ini中[数据库]的类型“%1”无法使用，只能是SQLite或PostgreSQL。").arg(kind);
        return out;
    }
    out.address = value(u"连接");
    if (!out.address.isEmpty())
        return out;
    // Each part as a keyword of its own; one with a blank in it could not be told apart.
    QStringList parts;
    const QList<QPair<const char16_t*, QString>> keys { { u"主机", QStringLiteral("host") },
        { u"端口", QStringLiteral("port") }, { u"库名", QStringLiteral("dbname") }, { u"用户", QStringLiteral("user") } };
    for (const auto& [key, keyword] : keys) {
        const QString v = value(key);
        if (v.contains(u' ') || v.contains(u'\'')) {
            out.error = QStringLiteral("jishi.ini中[数据库]的%1“%2”无法使用。").arg(QString::fromUtf16(key), v);
            return out;
        }
        if (!v.isEmpty())
            parts << keyword + u'=' + v;
    }
    out.address = parts.join(u' ');
    return out;
}
