#include "schema.h"

#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

namespace {

QStringList statements(const QString& script)
{
    QString body;
    for (const QString& line : script.split(u'\n')) {
        if (!line.trimmed().startsWith(QStringLiteral("--")))
            body += line + u'\n';
    }
    QStringList out;
    for (const QString& s : body.split(u';')) {
        if (!s.trimmed().isEmpty())
            out.append(s.trimmed());
    }
    return out;
}

} // namespace

bool createDatabaseFromSchema(const QString& path, const QString& schemaScript, QString* error)
{
    if (QFileInfo::exists(path))
        return true;
    const QString temp = path + QStringLiteral(".new");
    QFile::remove(temp);
    const QString name = QStringLiteral("schema:") + path;
    bool ok = true;
    QString why;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(temp);
        ok = db.open();
        if (!ok)
            why = db.lastError().text();
        if (ok) {
            QSqlQuery q(db);
            ok = q.exec(QStringLiteral("PRAGMA journal_mode=DELETE")) && db.transaction();
            for (const QString& s : statements(schemaScript)) {
                if (!ok)
                    break;
                ok = q.exec(s);
                if (!ok)
                    why = q.lastError().text() + QStringLiteral(" in: ") + s;
            }
            ok = ok && db.commit();
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    if (ok && !QFile::rename(temp, path)) {
        ok = QFileInfo::exists(path); // someone else made it meanwhile
        why = QStringLiteral("cannot rename ") + temp;
    }
    if (!ok) {
        QFile::remove(temp);
        if (error)
            *error = why;
    }
    return ok;
}
