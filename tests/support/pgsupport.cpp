#include "pgsupport.h"

#include <QCoreApplication>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace {

int serial = 0;

QString onAdmin(const QString& statement)
{
    QString why;
    {
        QSqlDatabase admin = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("pg-admin"));
        admin.setDatabaseName(QStringLiteral("postgres"));
        why = admin.open() ? pgRefusal(admin, statement) : admin.lastError().text();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("pg-admin"));
    return why;
}

} // namespace

QString PgTestDatabase::unavailable()
{
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL")))
        return QStringLiteral("QtSql的PostgreSQL驱动（libqt6sql6-psql）未安装，跳过");
    if (qEnvironmentVariableIsEmpty("PGHOST"))
        return QStringLiteral("没有PostgreSQL服务器（由pg_virtualenv启动，见CTest的pg标签），跳过");
    return QString();
}

PgTestDatabase::PgTestDatabase()
    : m_name(QStringLiteral("t%1_%2").arg(QCoreApplication::applicationPid()).arg(++serial))
{
    m_made = onAdmin(QStringLiteral("create database ") + m_name).isEmpty();
}

PgTestDatabase::~PgTestDatabase()
{
    for (const QString& c : QSqlDatabase::connectionNames()) {
        if (QSqlDatabase::database(c, false).databaseName() != m_name)
            continue;
        QSqlDatabase::database(c, false).close();
        QSqlDatabase::removeDatabase(c);
    }
    if (m_made)
        onAdmin(QStringLiteral("drop database if exists ") + m_name);
}

QSqlDatabase PgTestDatabase::connect(const QString& connectionName) const
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), connectionName);
    db.setDatabaseName(m_name);
    db.open();
    return db;
}

int PgTestDatabase::tableCount() const
{
    int count = -1;
    {
        QSqlDatabase db = connect(QStringLiteral("pg-count"));
        QSqlQuery q(db);
        if (q.exec(QStringLiteral("select count(*) from information_schema.tables where table_schema='public'")) && q.next())
            count = q.value(0).toInt();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("pg-count"));
    return count;
}

QString pgRefusal(QSqlDatabase& db, const QString& statement)
{
    QSqlQuery q(db);
    return q.exec(statement) ? QString() : q.lastError().databaseText();
}
