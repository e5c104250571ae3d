// The store on a PostgreSQL server beside a file: a checkout on each, and the report over a year
// of a million bookings beside the bare aggregate on the same server. Runs where libpq finds a
// server (pg_virtualenv build/bench/bench_server), on a database of its own that it drops.
#include "benchsupport.h"
#include "checkout/settlement.h"
#include "store/database.h"
#include "store/income.h"
#include "store/recordset.h"
#include "store/schema.h"
#include "store/sqltext.h"

#include <QCoreApplication>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <cstdio>
#include <vector>

namespace {

QString onAdmin(const QString& statement)
{
    QString why;
    {
        QSqlDatabase admin = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("bench-admin"));
        admin.setDatabaseName(QStringLiteral("postgres"));
        QSqlQuery q(admin);
        why = !admin.open() ? admin.lastError().text() : q.exec(statement) ? QString() : q.lastError().text();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("bench-admin"));
    return why;
}

// Checkouts in turns on the two stores, so that both meet the disk alike.
void checkouts(Database& file, RecordSet& fileSet, Database& server, RecordSet& serverSet)
{
    CheckoutInput in;
    in.machineNo = 3;
    in.feeText = QStringLiteral("12.5");
    in.receivedText = in.feeText;
    std::vector<double> onFile, onServer;
    for (int i = 0; i < 400; ++i) {
        QElapsedTimer one;
        one.start();
        const bool first = i % 2 == 0;
        const SettleOutcome out = settleCheckout(first ? file : server, first ? fileSet : serverSet, in);
        if (out.result != SettleResult::Booked) {
            std::fprintf(stderr, "checkout failed: %s\n", qPrintable(out.errorText));
            return;
        }
        (first ? onFile : onServer).push_back(double(one.nsecsElapsed()) / 1e6);
    }
    const double f = median(onFile), s = median(onServer);
    std::printf("checkout on a file: %.3f ms, on the server: %.3f ms\n", f, s);
    std::printf("ratio checkout server/file: %.2f\n", s / f);
}

// A year of a million bookings, as the report reads them, beside the sums asked of the server bare.
void report(Database& server, RecordSet& serverSet)
{
    QSqlQuery q(server.connection());
    if (!q.exec(QStringLiteral("insert into 收入记录 (日期, 机号, 收入类型, 收入名称, 收入金额) select to_char(date "
                               "'2025-01-01' + (i % 365), 'YYYY-MM-DD') || ' 00:00:00', i % 15 + 1, case when i % 3 = 0 "
                               "then '商品销售' else '上机收入' end, case when i % 3 = 0 then '可乐' else '上机收入' end, "
                               "(i % 40) / 2.0 from generate_series(1, 1000000) as i"))
        // As the server's autovacuum leaves a table a year old.
        || !q.exec(QStringLiteral("vacuum analyze 收入记录"))) {
        std::fprintf(stderr, "fill: %s\n", qPrintable(q.lastError().text()));
        return;
    }
    const DateTime start = makeDate(2025, 1, 1), end = makeDate(2025, 12, 31);
    const QString bare = QStringLiteral(
        "select 日期, sum(case when 收入类型='上机收入' then 收入金额 end), sum(case when 收入类型='商品销售' then 收入金额 "
        "end) from 收入记录 where 日期 between '2025-01-01 00:00:00' and '2025-12-31 00:00:00' group by 日期");
    std::vector<double> reportMs, bareMs;
    int days = 0, bareDays = 0;
    for (int i = 0; i < 10; ++i) {
        QElapsedTimer t;
        t.start();
        if (i % 2 == 0) {
            QVector<DayIncome> read;
            readIncomeByDay(server, serverSet, start, end, read);
            days = int(read.size());
            reportMs.push_back(double(t.nsecsElapsed()) / 1e6);
        } else {
            QSqlQuery b(server.connection());
            b.setForwardOnly(true);
            b.exec(bare);
            bareDays = 0;
            while (b.next())
                ++bareDays;
            bareMs.push_back(double(t.nsecsElapsed()) / 1e6);
        }
    }
    const double r = median(reportMs), b = median(bareMs);
    std::printf("report over a year of 1000000 bookings on the server: %.1f ms (%d days), bare aggregate: %.1f ms (%d days)\n",
        r, days, b, bareDays);
    std::printf("ratio report server/bare aggregate: %.2f\n", r / b);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    writeMessagesToStderr();
    const QString name = QStringLiteral("bench_%1").arg(QCoreApplication::applicationPid());
    if (const QString why = onAdmin(QStringLiteral("create database ") + name); !why.isEmpty()) {
        std::fprintf(stderr, "no PostgreSQL server to measure on (run under pg_virtualenv): %s\n", qPrintable(why));
        return 1;
    }
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("date.mdb"));
        Database file, server;
        RecordSet fileSet, serverSet;
        if (!createDatabase(path) || !file.openDatabase(path) || !server.openServer(QStringLiteral("dbname=") + name)) {
            std::fprintf(stderr, "cannot open: %s %s\n", qPrintable(file.lastError()), qPrintable(server.lastError()));
            return 1;
        }
        fileSet.bind(&file);
        serverSet.bind(&server);
        checkouts(file, fileSet, server, serverSet);
        report(server, serverSet);
    }
    onAdmin(QStringLiteral("drop database ") + name);
    return 0;
}
