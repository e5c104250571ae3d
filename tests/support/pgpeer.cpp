// A second counter on the same PostgreSQL server, as a test runs it: `pgpeer URI CARD N` takes
// N checkouts of 0.01 from one card, each with its income row and its ledger row in one
// transaction, and says "done" or why it stopped.
#include "store/database.h"
#include "store/ledgertable.h"
#include "store/membertable.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 4)
        return 2;
    const QString card = args[2];
    Database db;
    if (!db.openServer(args[1])) {
        std::printf("open: %s\n", qPrintable(db.lastError()));
        return 1;
    }
    for (int i = 0, n = args[3].toInt(); i < n; ++i) {
        LedgerEntry e = ledgerEntry(db, QStringLiteral("结帐"));
        e.machineNo = 3;
        e.cardNo = card;
        e.amount = e.card = 0.01;
        QString error;
        const bool booked = changeWithLedger(db, e, [&](LedgerEntry&, QString* why) {
            if (!debitCard(db, card, 0.01, why))
                return false;
            if (db.run(QStringLiteral("insert into 收入记录 (日期, 机号, 收入类型, 收入名称, 收入金额) values (?, 3, '上机收入', "
                                      "'上机收入', '0.01')"),
                    { QStringLiteral("2026-12-10") }))
                return true;
            *why = db.lastError();
            return false;
        }, &error);
        if (!booked) {
            std::printf("checkout %d: %s\n", i, qPrintable(error));
            return 1;
        }
    }
    std::printf("done\n");
    return 0;
}
