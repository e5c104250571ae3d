// A backup of a file of a million bookings, taken while checkouts go on: how long the copy
// takes, how long the live file is held, and the longest a checkout waited meanwhile.
#include "backups/backuprunner.h"
#include "benchfill.h"
#include "benchsupport.h"
#include "checkout/settlement.h"
#include "store/database.h"
#include "store/recordset.h"
#include "store/schema.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    writeMessagesToStderr();
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("date.mdb"));
    if (!createDatabase(path))
        return 1;
    const int rows = 1000000;
    {
        Database fill;
        if (!fill.openDatabase(path))
            return 1;
        if (!fillIncome(fill, rows))
            return 1;
    }
    Database db;
    RecordSet rs;
    if (!db.openDatabase(path))
        return 1;
    rs.bind(&db);
    BackupRunner runner(path, dir.filePath(QStringLiteral("backup")));
    runner.setConnection(&db);
    BackupOutcome outcome;
    QObject::connect(&runner, &BackupRunner::finished, [&](const BackupOutcome& o) { outcome = o; });
    QElapsedTimer whole;
    whole.start();
    runner.start();
    double longest = 0.0;
    double longestAt = 0.0;
    int bookings = 0;
    while (runner.isRunning()) {
        // A checkout asked for while a step of the copy runs waits for that step: both count.
        QElapsedTimer t;
        t.start();
        QCoreApplication::processEvents();
        CheckoutInput in;
        in.machineNo = bookings % 15 + 1;
        in.feeText = QStringLiteral("12.5");
        in.receivedText = in.feeText;
        if (settleCheckout(db, rs, in).result != SettleResult::Booked)
            std::fprintf(stderr, "booking %d failed\n", bookings);
        if (double(t.nsecsElapsed()) / 1e6 > longest) {
            longest = double(t.nsecsElapsed()) / 1e6;
            longestAt = double(whole.elapsed()) / 1000.0;
        }
        ++bookings;
    }
    const double seconds = double(whole.elapsed()) / 1000.0;
    std::printf("backup of %lld MB (%d bookings) in %.2f s, the file held %.1f ms (%s)\n",
        QFileInfo(path).size() >> 20, rows, seconds, outcome.lockedMs, outcome.ok ? "checked" : qPrintable(outcome.error));
    std::printf("%d checkouts during the backup, the longest %.1f ms at %.2f s\n", bookings, longest, longestAt);
    std::printf("ratio longest checkout wait/50 ms target: %.2f\n", longest / 50.0);
    return outcome.ok ? 0 : 1;
}
