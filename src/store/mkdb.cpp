// Build and install helper: makes date.mdb at the current schema version unless it exists.
//   langtuo-mkdb DATABASE
// and, for a café moving to a PostgreSQL server, copies a file into an empty database there:
//   langtuo-mkdb --copy DATABASE [postgresql://user@host:port/name]
// (without the address, libpq's PGHOST, PGDATABASE and the like say where), with every counter
// on the file closed.
#include "pgconnect.h"
#include "pgcopy.h"
#include "schema.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QSqlDatabase>

#include <cstdio>

namespace {

int copyToServer(const QString& path, const QString& uri)
{
    if (!QFileInfo::exists(path)) {
        std::fprintf(stderr, "没有文件“%s”。\n", qPrintable(path));
        return 1;
    }
    QString error;
    CopyReport report;
    bool copied = false;
    {
        if (!openPgConnection(QStringLiteral("server"), uri, &error)) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return 1;
        }
        QSqlDatabase server = QSqlDatabase::database(QStringLiteral("server"));
        int shown = -1;
        copied = copyFileToServer(path, server, &report, &error, [&](const QString& what, qint64 done, qint64 total) {
            const int percent = total > 0 ? int(done * 100 / total) : 100;
            if (percent != shown) {
                shown = percent;
                std::fprintf(stderr, "\r%s %d%%   ", qPrintable(what), percent);
            }
        });
        std::fprintf(stderr, "\n");
        server.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("server"));
    if (!copied) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    for (const auto& [table, rows] : std::as_const(report.rows))
        std::printf("%s：%lld行\n", qPrintable(table), rows);
    std::printf("已复制，操作记录校验通过。\n");
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() >= 3 && args.size() <= 4 && args.at(1) == u"--copy")
        return copyToServer(args.at(2), args.value(3));
    if (args.size() != 2) {
        std::fprintf(stderr, "usage: langtuo-mkdb DATABASE\n       langtuo-mkdb --copy DATABASE [postgresql://…]\n");
        return 2;
    }
    QString error;
    if (!createDatabase(args.at(1), &error)) {
        std::fprintf(stderr, "cannot make %s: %s\n", qPrintable(args.at(1)), qPrintable(error));
        return 1;
    }
    return 0;
}
