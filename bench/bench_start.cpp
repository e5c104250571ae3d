// The console's start on a file whose ledger holds a million rows, beside the start on an
// empty one: nothing done at start may grow with the ledger. And the memory the program holds
// once started, read from outside as `ps` reads it, beside a bare window's (bench_bare_window).
#include "app/consolewindow.h"
#include "backups/backuprunner.h"
#include "benchsupport.h"
#include "common/seams.h"
#include "store/database.h"
#include "store/schema.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QThread>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

bool makeProgramDir(const QString& dir, int ledgerRows)
{
    const QString path = QDir(dir).filePath(QStringLiteral("date.mdb"));
    if (!createDatabase(path))
        return false;
    if (ledgerRows == 0)
        return true;
    Database db;
    if (!db.openDatabase(path))
        return false;
    Transaction transaction(db);
    QSqlQuery q(db.connection());
    return q.exec(QStringLiteral(
               "with recursive n(i) as (select 1 union all select i+1 from n where i<%1) "
               "insert into 操作记录 (序号, 时间, 操作员, 授权店长, 类型, 机号, 会员编号, 商品名称, 金额, 现金, 卡额, 之前, "
               "之后, 说明, 班次, 校验) select i, datetime('2025-01-01 08:00:00', '+' || (i / 2000) || ' days'), '', '', "
               "case i % 4 when 0 then '结帐' when 1 then '开始' when 2 then '商品现款' else '充值' end, i % 15 + 1, '', "
               "'', 4, 4, 0, '', '', '', 0, 'x' from n")
                      .arg(ledgerRows))
        && transaction.commit();
}

// From nothing to the console shown and its first events done.
double startMs(const QString& dir)
{
    seams::setProgramDir(dir);
    QElapsedTimer t;
    t.start();
    double ms = 0.0;
    {
        ConsoleWindow console;
        console.show();
        QCoreApplication::processEvents();
        ms = double(t.nsecsElapsed()) / 1e6;
        console.backups().wait();
    }
    seams::setProgramDir(QString());
    return ms;
}

// The resident memory of a program started from outside, in kB, once it has stayed the same
// for a second (0 where /proc cannot tell it).
long settledRssKb(const QString& program, const QStringList& arguments, const QString& workDir)
{
    QProcess p;
    p.setWorkingDirectory(workDir);
    p.start(program, arguments);
    if (!p.waitForStarted())
        return 0;
    long last = 0;
    int same = 0;
    for (int i = 0; i < 400 && same < 20 && p.state() == QProcess::Running; ++i) {
        QThread::msleep(50);
        const long rss = std::max(0L, residentKb("VmRSS:", p.processId()));
        same = rss == last ? same + 1 : 0;
        last = rss;
    }
    p.kill();
    p.waitForFinished();
    return last;
}

// The program as the build made it, with its plugins and help, in a directory of its own with
// a new date.mdb: a portable program, as a café runs it from a folder.
bool copyProgram(const QString& to)
{
    const QDir from(QStringLiteral(LANGTUO_BUILT_PROGRAM_DIR));
    for (const QString& name : from.entryList(QDir::Files)) {
        if (name != u"date.mdb" && !name.startsWith(u"jishi") && !QFile::copy(from.filePath(name), QDir(to).filePath(name)))
            return false;
    }
    QDir(to).mkdir(QStringLiteral("help"));
    QFile::copy(from.filePath(QStringLiteral("help/index.html")), QDir(to).filePath(QStringLiteral("help/index.html")));
    return createDatabase(QDir(to).filePath(QStringLiteral("date.mdb")));
}

} // namespace

int main(int argc, char** argv)
{
    offscreenUnlessSet();
    QApplication app(argc, argv);
    writeMessagesToStderr();
    QTemporaryDir empty, full;
    if (!makeProgramDir(empty.path(), 0) || !makeProgramDir(full.path(), 1000000))
        return 1;
    startMs(empty.path()); // the first start loads what every later one finds loaded
    std::vector<double> a, b;
    for (int i = 0; i < 21; ++i) {
        a.push_back(startMs(empty.path()));
        b.push_back(startMs(full.path()));
    }
    std::printf("console start: %.1f ms on an empty ledger, %.1f ms on a million rows\n", median(a), median(b));
    std::printf("ratio start 1M ledger/empty: %.2f\n", median(b) / median(a));

    QTemporaryDir program;
    if (!copyProgram(program.path()))
        return 1;
    std::vector<double> console, bare;
    for (int i = 0; i < 3; ++i) {
        console.push_back(double(settledRssKb(QDir(program.path()).filePath(QStringLiteral("langtuo")), {}, program.path())));
        bare.push_back(double(settledRssKb(QStringLiteral(BARE_WINDOW), { QStringLiteral("--stay") }, program.path())));
    }
    std::printf("RSS after start, from outside (%s): the program %.0f kB, a bare window %.0f kB\n",
        qgetenv("QT_QPA_PLATFORM").constData(), median(console), median(bare));
    std::printf("ratio RSS program/bare window: %.2f\n", median(bare) > 0 ? median(console) / median(bare) : 0.0);
    return 0;
}
