// A café of 500 machines beside one of fifteen: what a start, a deposit and a stop cost with
// every other machine timing, how long the console takes to be on the screen and how much
// memory it holds, and how soon the crash restore of 500 usages asks its question. Each start
// is its own process, timed from outside as an operator waits for it; the console's tick, painted,
// is the processor time that process spends on it.
#include "app/consolewindow.h"
#include "backups/backuprunner.h"
#include "benchsupport.h"
#include "onscreen.h"
#include "common/egridmodel.h"
#include "counter/consolegrid.h"
#include "counter/counter.h"
#include "store/database.h"
#include "store/schema.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

namespace {

// A program directory whose store lists machines 1..`machines` (15 or more), `timing` of them
// left timing by a crash an hour ago.
bool makeProgramDir(const QString& dir, int machines, int timing)
{
    const QString path = QDir(dir).filePath(QStringLiteral("date.mdb"));
    if (!createDatabase(path))
        return false;
    Database db;
    if (!db.openDatabase(path))
        return false;
    Transaction transaction(db);
    QSqlQuery q(db.connection());
    const double start = DateTime::fromQDateTime(QDateTime::currentDateTime().addSecs(-3600)).days;
    return (machines == 15
               || q.exec(QStringLiteral("with recursive n(i) as (select 16 union all select i+1 from n where i<%1) "
                                        "insert into 机器 (机号, 区域) select i, '大厅' from n")
                             .arg(machines)))
        && (timing == 0
            || q.exec(QStringLiteral("with recursive n(i) as (select 1 union all select i+1 from n where i<%1) "
                                     "insert into 上机记录 (机号, 上机时间, 分钟价, 上机钟点, 押金) select i, %2, "
                                     "0.0667, '9时0分0秒', '10.0' from n")
                          .arg(timing)
                          .arg(start, 0, 'f', 10)))
        && transaction.commit();
}

int tickChild();

// The child: shows a console on `dir`, says "shown <rss>" once it is on the screen and "asked"
// when the restore question comes, then ends.
int child(const QString& what, const QString& dir)
{
    seams::setProgramDir(dir);
    if (what == u"tick")
        return tickChild();
    seams::setMessageResponder([](const QString&, int, const QString& title) {
        if (title == u"恢复上机") {
            std::printf("asked\n");
            std::fflush(stdout);
        }
        return int(AnswerYes);
    });
    ConsoleWindow console;
    console.show();
    waitUntilOnScreen(console);
    std::printf("shown %ld\n", residentKb("VmRSS:"));
    std::fflush(stdout);
    QTimer::singleShot(0, &console, [] { QCoreApplication::exit(0); });
    QApplication::exec();
    console.backups().wait();
    return 0;
}

// The console's own tick with every listed machine timing (the usages a crash left), painted as
// the screen would be: processor time per tick, over the same two minutes for any list.
int tickChild()
{
    seams::setMessageResponder([](const QString&, int, const QString&) { return int(AnswerYes); });
    seams::setBeepResponder([] { });
    ConsoleWindow console;
    console.clockTimer()->stop();
    console.show();
    // Timed once the console is up: what it does in its first moments (the machine buttons out
    // of view) is the start's, not the tick's.
    QElapsedTimer settling;
    settling.start();
    while (settling.elapsed() < 500)
        QCoreApplication::processEvents();
    QDateTime t = QDateTime::currentDateTime();
    seams::setClock([&t] { return t; });
    const std::clock_t start = std::clock();
    const int ticks = 120;
    for (int i = 0; i < ticks; ++i) {
        t = t.addSecs(1);
        console.tickSecond();
        QCoreApplication::processEvents();
    }
    std::printf("tick %.1f\n", double(std::clock() - start) * 1e6 / CLOCKS_PER_SEC / ticks);
    std::fflush(stdout);
    console.backups().wait();
    return 0;
}

struct Run {
    double shownMs = 0;
    double askedMs = 0;
    double tickUs = 0;
    long rss = 0;
};

Run runChild(const QString& what, const QString& dir)
{
    Run run;
    QProcess p;
    QElapsedTimer t;
    t.start();
    // The bare window is a program of its own: Qt Widgets and nothing of the counter.
    if (what == u"bare")
        p.start(QStringLiteral(BARE_WINDOW), {});
    else
        p.start(QCoreApplication::applicationFilePath(), { QStringLiteral("--child"), what, dir });
    QByteArray out;
    while (p.state() != QProcess::NotRunning || p.bytesAvailable()) {
        if (!p.waitForReadyRead(100) && p.state() == QProcess::NotRunning && !p.bytesAvailable())
            break;
        while (p.canReadLine()) {
            const QByteArray line = p.readLine().trimmed();
            if (line.startsWith("tick "))
                run.tickUs = line.mid(5).toDouble();
            if (line == "asked" && run.askedMs == 0)
                run.askedMs = double(t.nsecsElapsed()) / 1e6;
            if (line.startsWith("shown")) {
                run.shownMs = double(t.nsecsElapsed()) / 1e6;
                run.rss = line.mid(6).toLong();
            }
        }
    }
    p.waitForFinished();
    return run;
}

// A start, a deposit and a stop of one machine of 500, with the others idle or all timing.
double usageChangeMs(const QString& dir, bool othersTiming)
{
    const QString path = QDir(dir).filePath(QStringLiteral("usage.mdb"));
    QFile::remove(path);
    Database db;
    if (!createDatabase(path) || !db.openDatabase(path))
        return 0;
    CounterState state;
    state.setMachines(CounterState::numbered(500));
    EGridModel grid;
    setupGrid(grid, state.machines);
    Counter counter(state, grid, &db);
    if (othersTiming) {
        for (int n = 2; n <= 500; ++n)
            counter.start(n, QStringLiteral("10时0分0秒"), QStringLiteral("4"));
    }
    const double ms = medianMs(101, [&](int i) {
        counter.start(1, QStringLiteral("11时0分0秒"), QStringLiteral("4"));
        grid.commitEdit(1, ConsoleColumn::Deposit, QString::number(10 + i % 7));
        counter.acceptTyped(1, ConsoleColumn::Deposit);
        counter.stop(1, QStringLiteral("11时30分0秒"));
        counter.endUsage(1);
    });
    db.closeDatabase();
    return ms;
}

} // namespace

int main(int argc, char** argv)
{
    offscreenUnlessSet();
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 4 && args[1] == u"--child")
        return child(args[2], args[3]);
    writeMessagesToStderr();

    QTemporaryDir work;
    const double alone = usageChangeMs(work.path(), false);
    const double crowded = usageChangeMs(work.path(), true);
    std::printf("start, deposit and stop of one machine: %.3f ms alone, %.3f ms beside 499 timing\n", alone, crowded);
    std::printf("ratio usage change 500/1 timing: %.2f\n", crowded / alone);

    QTemporaryDir fifteen, many, crashed, crashed15;
    if (!makeProgramDir(fifteen.path(), 15, 0) || !makeProgramDir(many.path(), 500, 0)
        || !makeProgramDir(crashed.path(), 500, 500) || !makeProgramDir(crashed15.path(), 15, 15))
        return 1;
    runChild(QStringLiteral("console"), many.path()); // the first start loads what later ones find loaded
    std::vector<double> bare, start15, start500, asked, rss15, rss500, tick15, tick500;
    for (int i = 0; i < 7; ++i) {
        bare.push_back(runChild(QStringLiteral("bare"), QString()).shownMs);
        const Run a = runChild(QStringLiteral("console"), fifteen.path());
        const Run b = runChild(QStringLiteral("console"), many.path());
        start15.push_back(a.shownMs);
        start500.push_back(b.shownMs);
        rss15.push_back(double(a.rss));
        rss500.push_back(double(b.rss));
        asked.push_back(runChild(QStringLiteral("console"), crashed.path()).askedMs);
        tick15.push_back(runChild(QStringLiteral("tick"), crashed15.path()).tickUs);
        tick500.push_back(runChild(QStringLiteral("tick"), crashed.path()).tickUs);
    }
    std::printf("to the screen: bare window %.1f ms, console with 15 machines %.1f ms, with 500 %.1f ms\n",
        median(bare), median(start15), median(start500));
    std::printf("RSS after start: %.0f kB with 15 machines, %.0f kB with 500\n", median(rss15), median(rss500));
    std::printf("ratio start 500 machines/bare window: %.2f\n", median(start500) / median(bare));
    std::printf("ratio RSS 500/15 machines: %.2f\n", median(rss500) / median(rss15));
    std::printf("console tick with its painting: %.1f us with 15 machines timing, %.1f us with 500\n",
        median(tick15), median(tick500));
    std::printf("ratio console tick 500/15 machines: %.2f\n", median(tick500) / median(tick15));
    std::printf("restore of 500 timing machines to its question: %.0f ms\n", median(asked));
    std::printf("ratio restore 500 timing/1 s target: %.2f\n", median(asked) / 1000.0);
    return 0;
}
