// A second program on the same date.mdb, for the tests of what the counter does while another
// holds or wants the file:
//   storepeer hold FILE MS          takes the write lock, says "held", keeps it MS ms, lets go
//   storepeer book FILE N FIRST     N bookings in a tight loop (top-ups of card P<FIRST>, cash
//                                   sales, and machines FIRST..FIRST+4 started, stopped and
//                                   settled); says "refused K" for those the store refused
#include "checkout/settlement.h"
#include "common/egridmodel.h"
#include "common/seams.h"
#include "counter/consolegrid.h"
#include "counter/counter.h"
#include "store/database.h"
#include "store/income.h"
#include "store/membertable.h"
#include "store/recordset.h"

#include <QCoreApplication>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QThread>

#include <cstdio>

namespace {

int hold(const QString& path, int ms)
{
    int code = 1;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("holder"));
        db.setDatabaseName(path);
        QSqlQuery q(db);
        if (db.open() && q.exec(QStringLiteral("BEGIN IMMEDIATE"))) {
            std::printf("held\n");
            std::fflush(stdout);
            QThread::msleep(ulong(ms));
            code = q.exec(QStringLiteral("COMMIT")) ? 0 : 1;
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("holder"));
    return code;
}

int book(const QString& path, int count, int first)
{
    seams::setMessageResponder([](const QString&, int, const QString&) { return int(AnswerYes); });
    Database db;
    RecordSet rs;
    if (!db.openDatabase(path))
        return 1;
    rs.bind(&db);
    CounterState state;
    EGridModel grid;
    setupGrid(grid, kMachines);
    Counter counter(state, grid, &db);
    const QString card = QStringLiteral("P%1").arg(first);
    int refused = 0;
    for (int i = 0; i < count; ++i) {
        QString error;
        const int n = first + i % 5;
        switch (i % 3) {
        case 0:
            refused += topUpCard(db, card, 10.25, &error) ? 0 : 1;
            break;
        case 1: {
            const IncomeRow row { now(), n, QStringLiteral("商品销售"), QStringLiteral("可乐"), 2.5 };
            refused += counter.bookGoods(
                           n, false, QStringLiteral("2.50"), [&](QString* why) { return writeIncomeRows(rs, { row }, why); },
                           &error)
                ? 0
                : 1;
            break;
        }
        default: {
            counter.start(n, QStringLiteral("10时0分0秒"), QStringLiteral("6"));
            grid.setCell(n, ConsoleColumn::Minutes, QStringLiteral("30"));
            const MachineBill bill = counter.stop(n, QStringLiteral("10时30分0秒"));
            const CheckoutInput in { n, bill.feeText, bill.goodsText, bill.depositText, QStringLiteral("3"), false, {}, {}, {}, {} };
            const bool settled = settleOnCounter(counter, db, rs, in, &error);
            // A start or stop the store missed counts as refused as much as a checkout.
            refused += settled && counter.isProtected() ? 0 : 1;
            break;
        }
        }
    }
    std::printf("refused %d\n", refused);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 4 && args[1] == u"hold")
        return hold(args[2], args[3].toInt());
    if (args.size() == 5 && args[1] == u"book")
        return book(args[2], args[3].toInt(), args[4].toInt());
    std::fprintf(stderr, "usage: storepeer hold FILE MS | storepeer book FILE N FIRST\n");
    return 2;
}
