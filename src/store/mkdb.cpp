// Build and install helper: makes date.mdb from the schema script unless it already exists.
#include "schema.h"

#include <QCoreApplication>
#include <QFile>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 3) {
        std::fprintf(stderr, "usage: langtuo-mkdb SCHEMA.sql DATABASE\n");
        return 2;
    }
    QFile script(args.at(1));
    if (!script.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read %s\n", qPrintable(args.at(1)));
        return 1;
    }
    QString error;
    if (!createDatabaseFromSchema(args.at(2), QString::fromUtf8(script.readAll()), &error)) {
        std::fprintf(stderr, "cannot make %s: %s\n", qPrintable(args.at(2)), qPrintable(error));
        return 1;
    }
    return 0;
}
