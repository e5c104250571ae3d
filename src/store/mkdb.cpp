// Build and install helper: makes date.mdb at the current schema version unless it exists.
#include "schema.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 2) {
        std::fprintf(stderr, "usage: langtuo-mkdb DATABASE\n");
        return 2;
    }
    QString error;
    if (!createDatabase(args.at(1), &error)) {
        std::fprintf(stderr, "cannot make %s: %s\n", qPrintable(args.at(1)), qPrintable(error));
        return 1;
    }
    return 0;
}
