// Kills a scripted counter day at random moments and checks, after every kill, that date.mdb
// holds exactly what had been committed: every acknowledged booking once, and the open usages
// as the script left them, restored by the program's own restore.
//
//   killtest day DIR SEED        runs the day on DIR/date.mdb, logging to DIR/log (child)
//   killtest run DIR ROUNDS SEED kills ROUNDS children and checks after each (parent)
//
// The child logs "B <op>" before an operation and "A" once it has returned; an operation begun
// but not acknowledged may or may not have reached the file, and both are accepted (the parent
// then logs "A" or "X" for it). A partial operation is never accepted.
#include "checkout/settlement.h"
#include "common/egridmodel.h"
#include "common/seams.h"
#include "counter/consolegrid.h"
#include "counter/counter.h"
#include "store/database.h"
#include "store/income.h"
#include "store/recordset.h"
#include "store/schema.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QThread>

#include <cstdio>

namespace {

struct Usage {
    QString deposit;
    QString goods;
    bool awaiting = false;
};

// What the log says the file must hold.
struct Model {
    QMap<int, Usage> usages;
    int bookings = 0;
    bool operator==(const Model& o) const
    {
        if (bookings != o.bookings || usages.keys() != o.usages.keys())
            return false;
        for (auto it = usages.begin(); it != usages.end(); ++it) {
            const Usage& u = o.usages[it.key()];
            // Texts as numbers: the grid shows 5 as 5.0 once restored.
            if (toNumber(u.deposit) != toNumber(it->deposit) || toNumber(u.goods) != toNumber(it->goods)
                || u.awaiting != it->awaiting)
                return false;
        }
        return true;
    }
};

// Applies one logged operation ("start 3", "deposit 3 20.0", "goods 3 7.5", "stop 3",
// "checkout 3 1", "closed 3") to the model.
void apply(Model& m, const QString& op)
{
    const QStringList w = op.split(u' ');
    const int n = w.value(1).toInt();
    if (w[0] == u"start")
        m.usages[n] = { QStringLiteral("0.0"), QStringLiteral("0.0"), false };
    else if (w[0] == u"deposit")
        m.usages[n].deposit = w[2];
    else if (w[0] == u"goods") {
        m.usages[n].goods = w[2];
        ++m.bookings;
    } else if (w[0] == u"stop")
        m.usages[n].awaiting = true;
    else if (w[0] == u"checkout") {
        m.usages.remove(n);
        m.bookings += w[2].toInt();
    } else if (w[0] == u"closed")
        m.usages.remove(n);
}

void logLine(QFile& log, const QString& line)
{
    log.write((line + u'\n').toUtf8());
    log.flush(); // in the kernel before the next step: a killed process loses nothing written
}

int runDay(const QString& dir, quint32 seed, int machineCount)
{
    seams::setMessageResponder([](const QString&, int, const QString&) { return int(AnswerYes); });
    const QString path = QDir(dir).filePath(QStringLiteral("date.mdb"));
    if (!createDatabase(path))
        return 1;
    Database db;
    RecordSet rs;
    if (!db.openDatabase(path))
        return 1;
    rs.bind(&db);
    CounterState state;
    // Beyond the default fifteen, every other number: a machine's row is not its number.
    QVector<MachineSlot> machines = CounterState::numbered(machineCount);
    if (machineCount != kMachines) {
        for (MachineSlot& m : machines)
            m.number *= 2;
    }
    state.setMachines(machines);
    EGridModel grid;
    setupGrid(grid, state.machines);
    Counter counter(state, grid, &db);
    QFile log(QDir(dir).filePath(QStringLiteral("log")));
    if (!log.open(QIODevice::Append))
        return 1;
    QRandomGenerator random(seed);

    const RestoredUsages found = counter.restore();
    if (!found.timing.isEmpty())
        counter.settleInterruption(random.bounded(2) == 0, found.lastSeen);
    for (const MachineBill& bill : found.awaitingCheckout) {
        logLine(log, QStringLiteral("B closed %1").arg(bill.machineNo));
        counter.endUsage(bill.machineNo);
        logLine(log, QStringLiteral("A"));
    }
    for (int step = 0; step < 100000; ++step) {
        const int n = state.machines[int(random.bounded(machineCount))].number;
        const int row = state.rowOf(n);
        QString op;
        if (!counter.isTiming(n)) {
            op = QStringLiteral("start %1").arg(n);
            logLine(log, QStringLiteral("B ") + op);
            counter.start(n, QStringLiteral("10时0分0秒"), QStringLiteral("6"));
        } else {
            const int what = int(random.bounded(4));
            if (what == 0) {
                const QString deposit = toText(int(random.bounded(1, 50))) + QStringLiteral(".0");
                logLine(log, QStringLiteral("B deposit %1 %2").arg(n).arg(deposit));
                grid.commitEdit(row, ConsoleColumn::Deposit, deposit);
                counter.acceptTyped(n, ConsoleColumn::Deposit);
            } else if (what == 1) {
                const QString total = QStringLiteral("2.5");
                const QString after = toText(float(toNumber(grid.getCell(row, ConsoleColumn::Goods)) + 2.5));
                logLine(log, QStringLiteral("B goods %1 %2").arg(n).arg(after));
                const IncomeRow row { now(), n, QStringLiteral("商品销售"), QStringLiteral("可乐"), 2.5 };
                QString error;
                counter.bookGoods(
                    n, true, total, [&](QString* why) { return writeIncomeRows(rs, { row }, why); }, &error);
            } else {
                // Stopped and settled: the grid's figures as the tick would have left them.
                grid.setCell(row, ConsoleColumn::Minutes, toText(int(random.bounded(1, 300))));
                logLine(log, QStringLiteral("B stop %1").arg(n));
                const MachineBill bill = counter.stop(n, QStringLiteral("11时0分0秒"));
                logLine(log, QStringLiteral("A"));
                CheckoutInput in;
                in.machineNo = n;
                in.feeText = bill.feeText;
                in.goodsText = bill.goodsText;
                in.depositText = bill.depositText;
                in.receivedText = toText(receivableOf(bill.feeText, bill.goodsText, bill.depositText));
                const bool books = isNonZero(machineIncomeOf(in.receivedText, in.depositText, in.goodsText));
                logLine(log, QStringLiteral("B checkout %1 %2").arg(n).arg(books ? 1 : 0));
                QString error;
                settleOnCounter(counter, db, rs, in, &error);
            }
        }
        logLine(log, QStringLiteral("A"));
    }
    return 0;
}

// The model after the acknowledged operations, and after the one begun but not acknowledged.
void replay(const QString& logPath, Model& acked, Model& withPending)
{
    acked = Model();
    QFile f(logPath);
    f.open(QIODevice::ReadOnly);
    QString pending;
    for (const QByteArray& raw : f.readAll().split('\n')) {
        const QString line = QString::fromUtf8(raw);
        if (line.startsWith(u"B ")) {
            pending = line.mid(2);
        } else if (line == u"A" && !pending.isEmpty()) {
            apply(acked, pending);
            pending.clear();
        } else if (line == u"X") {
            pending.clear();
        }
    }
    withPending = acked;
    if (!pending.isEmpty())
        apply(withPending, pending);
}

Model stored(const QString& path)
{
    Model m;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("check"));
        db.setDatabaseName(path);
        db.open();
        QSqlQuery q(db);
        q.exec(QStringLiteral("select count(*) from 收入记录"));
        m.bookings = q.next() ? q.value(0).toInt() : -1;
        q.exec(QStringLiteral("select 机号, 押金, 商品额, 待结帐 from 上机记录"));
        while (q.next())
            m.usages[q.value(0).toInt()] = { q.value(1).toString(), q.value(2).toString(), q.value(3).toInt() != 0 };
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("check"));
    return m;
}

int runKills(const QString& dir, int rounds, quint32 seed, int machineCount)
{
    QDir(dir).removeRecursively();
    QDir().mkpath(dir);
    if (!createDatabase(QDir(dir).filePath(QStringLiteral("date.mdb"))))
        return 2;
    QRandomGenerator random(seed);
    int kills = 0, restored = 0, lost = 0, doubled = 0, wrong = 0;
    for (int round = 0; round < rounds; ++round) {
        const Model before = stored(QDir(dir).filePath(QStringLiteral("date.mdb")));
        if (round > 0)
            restored += int(before.usages.size());
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(),
            { QStringLiteral("day"), dir, QString::number(random.generate()), QString::number(machineCount) });
        if (!child.waitForStarted())
            return 2;
        QThread::msleep(20 + random.bounded(250));
        child.kill(); // SIGKILL: no handler runs, nothing is flushed by the program
        child.waitForFinished();
        ++kills;
        Model acked, withPending;
        replay(QDir(dir).filePath(QStringLiteral("log")), acked, withPending);
        const Model file = stored(QDir(dir).filePath(QStringLiteral("date.mdb")));
        // The operation under way when the child was killed took effect or did not; the log is
        // told which, so the next round starts from what the file holds.
        if (file == acked || file == withPending) {
            QFile log(QDir(dir).filePath(QStringLiteral("log")));
            log.open(QIODevice::Append);
            log.write(file == withPending ? "A\n" : "X\n");
            continue;
        }
        if (file.bookings < acked.bookings)
            ++lost;
        else if (file.bookings > withPending.bookings)
            ++doubled;
        else
            ++wrong;
        const auto show = [](const char* what, const Model& m) {
            QString text;
            for (auto it = m.usages.begin(); it != m.usages.end(); ++it)
                text += QStringLiteral(" %1:%2/%3%4").arg(it.key()).arg(it->deposit, it->goods, it->awaiting ? QStringLiteral("*") : QString());
            std::fprintf(stderr, "  %s: %d bookings,%s\n", what, m.bookings, qPrintable(text));
        };
        std::fprintf(stderr, "round %d: the file does not match the log\n", round);
        show("acknowledged", acked);
        show("with the pending one", withPending);
        show("in the file", file);
        QFile f(QDir(dir).filePath(QStringLiteral("log")));
        f.open(QIODevice::ReadOnly);
        const QList<QByteArray> lines = f.readAll().split('\n');
        for (qsizetype i = std::max<qsizetype>(0, lines.size() - 12); i < lines.size(); ++i)
            std::fprintf(stderr, "    %s\n", lines[i].constData());
    }
    std::printf("kills: %d\nusages restored: %d\nbookings lost: %d\nbookings doubled: %d\nusages wrong: %d\n",
        kills, restored, lost, doubled, wrong);
    std::printf("%d passed, %d failed\n", kills - lost - doubled - wrong, lost + doubled + wrong);
    return lost + doubled + wrong == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int machines = args.size() == 6 || (args.size() == 5 && args[1] == u"day") ? args.last().toInt() : kMachines;
    if (machines < 1 || machines > kMaxMachineNo / 2) {
        std::fprintf(stderr, "MACHINES must lie between 1 and %d\n", kMaxMachineNo / 2);
        return 2;
    }
    if ((args.size() == 4 || args.size() == 5) && args[1] == u"day")
        return runDay(args[2], args[3].toUInt(), machines);
    if ((args.size() == 5 || args.size() == 6) && args[1] == u"run")
        return runKills(args[2], args[3].toInt(), args[4].toUInt(), machines);
    std::fprintf(stderr, "usage: killtest day DIR SEED [MACHINES] | killtest run DIR ROUNDS SEED [MACHINES]\n");
    return 2;
}
