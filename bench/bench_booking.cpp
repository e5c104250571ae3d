// What one checkout costs on an empty income table and on one of a million rows (ten years of
// a busy café): a booking must cost the same at any size, in time and in memory.
#include "benchsupport.h"
#include "checkout/settlement.h"
#include "common/seams.h"
#include "store/database.h"
#include "store/recordset.h"
#include "store/schema.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

bool fill(const QString& path, int rows)
{
    const QString name = QStringLiteral("fill");
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        if (db.open()) {
            QSqlQuery q(db);
            q.exec(QStringLiteral("BEGIN"));
            q.prepare(QStringLiteral("insert into 收入记录 values (?, ?, ?, ?, ?)"));
            ok = true;
            for (int i = 0; i < rows && ok; ++i) {
                const QDate day = QDate(2016, 12, 8).addDays(i / 274);
                const bool machine = i % 3 != 0;
                q.addBindValue(day.toString(QStringLiteral("yyyy-MM-dd 00:00:00")));
                q.addBindValue(i % 15 + 1);
                q.addBindValue(machine ? QStringLiteral("上机收入") : QStringLiteral("商品销售"));
                q.addBindValue(machine ? QStringLiteral("上机收入") : QStringLiteral("可乐"));
                q.addBindValue(double(i % 40) / 2.0);
                ok = q.exec();
            }
            ok = ok && q.exec(QStringLiteral("COMMIT"));
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return ok;
}

struct Figures {
    double medianMs = 0;
    long rssGrowthKb = 0;
};

Figures bookOn(const QString& path, int bookings)
{
    Database db;
    RecordSet rs;
    if (!db.openDatabase(path)) {
        std::fprintf(stderr, "cannot open %s\n", qPrintable(path));
        return {};
    }
    rs.bind(&db);
    std::vector<double> ms;
    const long rssBefore = residentKb("VmRSS:");
    long rssMost = rssBefore;
    for (int i = 0; i < bookings; ++i) {
        CheckoutInput in;
        in.machineNo = i % 15 + 1;
        in.feeText = QStringLiteral("12.5");
        in.receivedText = in.feeText;
        QElapsedTimer t;
        t.start();
        if (settleCheckout(db, rs, in).result != SettleResult::Booked)
            std::fprintf(stderr, "booking %d failed\n", i);
        ms.push_back(double(t.nsecsElapsed()) / 1e6);
        rssMost = std::max(rssMost, residentKb("VmRSS:"));
    }
    std::sort(ms.begin(), ms.end());
    return { ms[ms.size() / 2], rssMost - rssBefore };
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    writeMessagesToStderr();
    QTemporaryDir dir;
    const QString empty = dir.filePath(QStringLiteral("empty.mdb"));
    const QString full = dir.filePath(QStringLiteral("full.mdb"));
    if (!createDatabase(empty) || !createDatabase(full))
        return 1;
    const int rows = 1000000;
    if (!fill(full, rows))
        return 1;
    const int bookings = 100;
    const Figures small = bookOn(empty, bookings);
    const Figures large = bookOn(full, bookings);
    std::printf("booking on an empty table: %.3f ms (median of %d), resident memory grew %ld kB\n", small.medianMs,
        bookings, small.rssGrowthKb);
    std::printf("booking on %d rows: %.3f ms (median of %d), resident memory grew %ld kB\n", rows, large.medianMs,
        bookings, large.rssGrowthKb);
    std::printf("peak resident memory: %ld kB\n", residentKb("VmHWM:"));
    std::printf("ratio booking 1M/empty: %.2f\n", large.medianMs / small.medianMs);
    return 0;
}
