// What the ledger costs: a checkout with its ledger row beside the same booking without one
// (no extra durable commit), checking the chain of a million rows, and reading one day of them.
#include "benchfill.h"
#include "benchsupport.h"
#include "checkout/settlement.h"
#include "store/database.h"
#include "store/income.h"
#include "store/ledgertable.h"
#include "store/recordset.h"
#include "store/schema.h"
#include "store/sqltext.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <algorithm>
#include <atomic>
#include <thread>
#include <cstdio>
#include <functional>
#include <vector>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    writeMessagesToStderr();
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("date.mdb"));
    Database db;
    RecordSet rs;
    if (!createDatabase(path) || !db.openDatabase(path))
        return 1;
    rs.bind(&db);

    CheckoutInput in;
    in.machineNo = 3;
    in.feeText = QStringLiteral("12.5");
    in.receivedText = in.feeText;
    // Taken in turns, so that both meet the same disk: a durable commit's time varies far more
    // from one minute to the next than the ledger row costs.
    std::vector<double> withMs, withoutMs;
    for (int i = 0; i < 600; ++i) {
        QElapsedTimer one;
        one.start();
        if (i % 2 == 0) {
            settleCheckout(db, rs, in);
            withMs.push_back(double(one.nsecsElapsed()) / 1e6);
        } else {
            QString error;
            bookIncome(db, rs, { { now(), 3, QStringLiteral("上机收入"), QStringLiteral("上机收入"), 12.5 } }, &error);
            withoutMs.push_back(double(one.nsecsElapsed()) / 1e6);
        }
    }
    const auto median = [](std::vector<double>& v) {
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };
    const double with = median(withMs);
    const double without = median(withoutMs);
    std::printf("checkout with its ledger row: %.3f ms, the same booking without: %.3f ms\n", with, without);
    std::printf("ratio checkout ledger on/off: %.2f\n", with / without);

    // A file named on the command line is made once and used again by the next run.
    const int rows = 1000000;
    const QString bigPath = argc > 1 ? QString::fromLocal8Bit(argv[1]) : dir.filePath(QStringLiteral("big.mdb"));
    const bool made = QFileInfo::exists(bigPath);
    Database big;
    if ((!made && !createDatabase(bigPath)) || !big.openDatabase(bigPath))
        return 1;
    QElapsedTimer t;
    t.start();
    if (!made && !fillLedger(big, rows))
        return 1;
    std::printf("a ledger of %d rows made in %.1f s\n", rows, double(t.elapsed()) / 1000.0);
    t.restart();
    const LedgerCheck check = checkLedger(big);
    const double checkSeconds = double(t.elapsed()) / 1000.0;
    std::printf("chain of %lld rows checked in %.2f s (%s)\n", check.rows, checkSeconds,
        check.firstBroken == 0 ? "intact" : "broken");
    std::printf("ratio chain check 1M/2 s target: %.2f\n", checkSeconds / 2.0);

    // Checkouts booked on the big file while the check walks it in a thread of its own.
    RecordSet bigRs;
    bigRs.bind(&big);
    std::atomic<bool> checking { true };
    std::thread checker([&] {
        checkLedgerFile(bigPath);
        checking = false;
    });
    double longest = 0.0;
    int booked = 0;
    while (checking) {
        QElapsedTimer one;
        one.start();
        settleCheckout(big, bigRs, in);
        longest = std::max(longest, double(one.nsecsElapsed()) / 1e6);
        ++booked;
    }
    checker.join();
    std::printf("%d checkouts while the chain was checked, the longest %.1f ms\n", booked, longest);
    std::printf("ratio longest checkout during the check/50 ms target: %.2f\n", longest / 50.0);

    // One day (the 300th), every row of it read as the ledger window reads it.
    const QString from = storedDate(makeDate(2026, 5, 27));
    const QString to = storedDate(makeDate(2026, 5, 27, 23, 59, 59));
    int dayRows = 0;
    const double dayMs = medianMs(9, [&](int) {
        QSqlQuery q(big.connection());
        q.prepare(QStringLiteral("select * from 操作记录 where 时间 between ? and ? order by 序号"));
        q.addBindValue(from);
        q.addBindValue(to);
        q.exec();
        dayRows = 0;
        while (q.next())
            ++dayRows;
    });
    std::printf("one day of %d rows read from %d in %.2f ms\n", dayRows, rows, dayMs);
    std::printf("ratio one day/100 ms target: %.2f\n", dayMs / 100.0);
    return check.firstBroken == 0 ? 0 : 1;
}
