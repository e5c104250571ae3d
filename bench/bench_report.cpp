// How long the performance report and the daily detail take on a large date.mdb: a million
// bookings over ten years. The report is set beside the bare grouping query it stands on, so
// that the price of its views, its join and its grid shows as a ratio; the fills are timed at
// n and 2n rows, so that anything worse than linear shows as well.
#include "benchsupport.h"
#include "widgets/egrid.h"
#include "common/seams.h"
#include "reports/dailydetailwindow.h"
#include "reports/incomereport.h"
#include "store/income.h"
#include "reports/reportwindow.h"
#include "store/database.h"
#include "store/recordset.h"
#include "store/schema.h"
#include "store/sqltext.h"

#include <QApplication>
#include <QDateTimeEdit>
#include <QElapsedTimer>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

constexpr int kBookings = 1000000;
constexpr int kYears = 10;
constexpr int kRuns = 7;
constexpr int kDetailDay = 10000; // bookings on the detail's busy day; its neighbour has twice as many
const QDate kFirstDay(2016, 1, 1);


// Bookings in the order a counter makes them: day after day, machine use and goods mixed.
// extraDays holds (day, count) pairs of days that get count bookings on top.
bool fill(const QString& path, int days, int perDayTotal, const std::vector<std::pair<QDate, int>>& extraDays)
{
    const QString name = QStringLiteral("bench-fill");
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        if (db.open() && db.transaction()) {
            QSqlQuery q(db);
            ok = q.prepare(QStringLiteral("insert into 收入记录 values (?, ?, ?, ?, ?)"));
            const QString machine = QStringLiteral("上机收入");
            const QString goods = QStringLiteral("商品销售");
            const QString drink = QStringLiteral("可乐");
            long long serial = 0;
            auto book = [&](const QDate& day, int count) {
                const QString stored = day.toString(QStringLiteral("yyyy-MM-dd 00:00:00"));
                for (int i = 0; i < count && ok; ++i, ++serial) {
                    const bool isGoods = serial % 3 == 0;
                    q.addBindValue(stored);
                    q.addBindValue(int(serial % 15) + 1);
                    q.addBindValue(isGoods ? goods : machine);
                    q.addBindValue(isGoods ? drink : machine);
                    q.addBindValue(1.0 + double(serial % 40) * 0.5);
                    ok = q.exec();
                }
            };
            for (int d = 0; d < days && ok; ++d) {
                // Spread the total evenly: some days get one booking more than others.
                const long long before = (long long)perDayTotal * d / days;
                const long long upTo = (long long)perDayTotal * (d + 1) / days;
                book(kFirstDay.addDays(d), int(upTo - before));
            }
            for (const auto& [day, count] : extraDays)
                book(day, count);
            if (!ok)
                std::fprintf(stderr, "insert failed: %s\n", qPrintable(q.lastError().text()));
            ok = ok && db.commit();
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return ok;
}

// The best of several runs after one that warms the page cache: the machine is shared, and the
// least disturbed run shows the work itself.
double bestMs(int runs, const std::function<void()>& work)
{
    work();
    double best = 0.0;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        work();
        const double ms = double(t.nsecsElapsed()) / 1e6;
        best = i == 0 ? ms : std::min(best, ms);
    }
    return best;
}

DateTime dayOf(const QDate& d) { return DateTime::fromQDateTime(QDateTime(d, QTime(12, 0))); }

// The bare grouping on the same connection, every row read.
double bareQueryMs(Database& db, const QDate& from, const QDate& to)
{
    const QString sql = translateStatement(
        QStringLiteral("select 日期, sum(收入金额) from 收入记录 where 日期 between #%1# and #%2# group by 日期, 收入类型")
            .arg(sqlDate(dayOf(from)), sqlDate(dayOf(to))));
    return bestMs(kRuns, [&] {
        QSqlQuery q(db.connection());
        q.setForwardOnly(true);
        if (!q.exec(sql))
            qFatal("bare query failed");
        int rows = 0;
        while (q.next())
            ++rows;
        if (rows == 0)
            qFatal("bare query found nothing");
    });
}

double reportMs(ReportWindow& report, const QDate& from, const QDate& to, int* days)
{
    report.findChild<QDateTimeEdit*>(QStringLiteral("日期框_开始"))->setDate(from);
    report.findChild<QDateTimeEdit*>(QStringLiteral("日期框_结束"))->setDate(to);
    const double ms = bestMs(kRuns, [&] { report.runReport(); });
    *days = report.grid()->cells().gridRowCount() - 2;
    return ms;
}

double detailMs(Database& db, RecordSet& rs, const QDate& day, int* rows)
{
    const QString text = toText(DateTime::fromQDateTime(QDateTime(day, QTime(0, 0))));
    return bestMs(kRuns, [&] {
        DailyDetailWindow detail(db, rs, text);
        *rows = detail.grid()->cells().gridRowCount() - 2;
    });
}

} // namespace

int main(int argc, char** argv)
{
    offscreenUnlessSet();
    QApplication app(argc, argv);
    writeMessagesToStderr();
    QTemporaryDir dir;
    const QString big = dir.filePath(QStringLiteral("date.mdb"));
    const QString longRange = dir.filePath(QStringLiteral("twenty-years.mdb"));
    const int days = int(kFirstDay.daysTo(kFirstDay.addYears(kYears)));
    const QDate busy = kFirstDay.addDays(days);
    QElapsedTimer made;
    made.start();
    if (!createDatabase(big)
        || !fill(big, days, kBookings, { { busy, kDetailDay }, { busy.addDays(1), 2 * kDetailDay } })
        || !createDatabase(longRange) || !fill(longRange, 2 * 3650, 2 * 2 * 3650, {}))
        qFatal("cannot make the bench databases");
    std::printf("made %d bookings over %d days (+%d on two busy days) in %.1f s\n", kBookings, days, 3 * kDetailDay,
        double(made.elapsed()) / 1000.0);

    Database db;
    RecordSet rs;
    if (!db.openDatabase(big))
        qFatal("cannot open the bench database");
    rs.bind(&db);
    ReportWindow report(db, rs);

    const QDate last = kFirstDay.addDays(days - 1);
    for (int span : { 7, 365 }) {
        const QDate from = last.addDays(1 - span);
        int shown = 0;
        const double r = reportMs(report, from, last, &shown);
        const double b = bareQueryMs(db, from, last);
        std::printf("report %d days (%d rows): %.2f ms, bare query: %.2f ms\n", span, shown, r, b);
        // The part no index can make cheaper: the views rewritten in the file, one durable commit.
        const double v = bestMs(kRuns, [&] {
            Transaction views(db);
            for (const QString& statement : reportViewStatements(dayOf(from), dayOf(last)))
                db.execute(statement);
            views.commit();
        });
        std::printf("  replacing the two views, needed when the range has changed: %.2f ms\n", v);
        std::printf("ratio report/bare %d days: %.2f\n", span, r / b);
        // Every run on another range: the views are written anew each time.
        int turn = 0;
        const double moved = bestMs(kRuns, [&] {
            const int shift = ++turn % 2;
            report.findChild<QDateTimeEdit*>(QStringLiteral("日期框_开始"))->setDate(from.addDays(-shift));
            report.runReport();
        });
        std::printf("report %d days on a changed range: %.2f ms\n", span, moved);
        std::printf("ratio report/bare %d days, changed range: %.2f\n", span, moved / b);
    }

    int n = 0, n2 = 0;
    const double d1 = detailMs(db, rs, busy, &n);
    const double d2 = detailMs(db, rs, busy.addDays(1), &n2);
    std::printf("detail fill %d bookings: %.2f ms, %d bookings: %.2f ms\n", n, d1, n2, d2);
    std::printf("ratio fill 2n/n detail: %.2f\n", d2 / d1);

    Database longDb;
    RecordSet longRs;
    if (!longDb.openDatabase(longRange))
        qFatal("cannot open the twenty-year database");
    longRs.bind(&longDb);
    ReportWindow longReport(longDb, longRs);
    int r1 = 0, r2 = 0;
    const double f1 = reportMs(longReport, kFirstDay, kFirstDay.addDays(3650 - 1), &r1);
    const double f2 = reportMs(longReport, kFirstDay, kFirstDay.addDays(2 * 3650 - 1), &r2);
    std::printf("report fill %d days: %.2f ms, %d days: %.2f ms\n", r1, f1, r2, f2);
    std::printf("ratio fill 2n/n report: %.2f\n", f2 / f1);
    return 0;
}
