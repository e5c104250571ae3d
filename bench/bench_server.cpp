// The store on a PostgreSQL server beside a file: a checkout on each, the report over a year of a
// million bookings beside the bare aggregate on the same server, and a file of a million
// bookings and a million ledger rows copied onto the server and checked. Runs where libpq finds a
// server (pg_virtualenv build/bench/bench_server), on a database of its own that it drops.
#include "benchfill.h"
#include "benchsupport.h"
#include "checkout/settlement.h"
#include "store/database.h"
#include "store/income.h"
#include "store/ledgertable.h"
#include "store/pgcopy.h"
#include "store/recordset.h"
#include "store/schema.h"
#include "store/sqltext.h"

#include <QCoreApplication>
#include <QElapsedTimer>
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

// What langtuo-mkdb --copy does with a big file, then checked from outside the copy: each table's
// rows and the income's sum as in the file, and the chain walked again on the server.
bool copyBigFile(const QString& path, const QString& serverName)
{
    const int rows = 1000000;
    {
        Database file;
        if (!createDatabase(path) || !file.openDatabase(path) || !fillIncome(file, rows) || !fillLedger(file, rows))
            return false;
    }
    bool good = false;
    {
        QSqlDatabase server = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("bench-copy"));
        server.setDatabaseName(serverName);
        if (!server.open()) {
            std::fprintf(stderr, "copy: %s\n", qPrintable(server.lastError().text()));
            return false;
        }
        CopyReport report;
        QString error;
        QElapsedTimer t;
        t.start();
        const bool copied = copyFileToServer(path, server, &report, &error);
        const double copySeconds = double(t.elapsed()) / 1000.0;
        t.restart();
        QSqlQuery q(server);
        const ServerLedgerCheck chain = copied ? checkServerLedger(server, &error) : ServerLedgerCheck();
        const double checkSeconds = double(t.elapsed()) / 1000.0;
        QSqlDatabase fileDb = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("bench-file"));
        fileDb.setDatabaseName(path);
        QSqlQuery f(fileDb);
        const auto value = [](QSqlQuery& on, const QString& sql) {
            return on.exec(sql) && on.next() ? on.value(0).toString() : QStringLiteral("?");
        };
        fileDb.open();
        const QString sums = QStringLiteral("select count(*) || '/' || cast(sum(收入金额) as numeric(19,2)) from 收入记录");
        const QString onServer = value(q, sums);
        const QString inFile = value(f, QStringLiteral("select count(*) || '/' || printf('%.2f', sum(收入金额)) from 收入记录"));
        good = copied && chain.rows == rows && chain.firstBroken == 0 && onServer == inFile;
        std::printf("copy of a date.mdb of %d bookings and %d ledger rows onto the server: %.1f s, then the chain "
                    "walked again there: %.1f s; bookings/sum on the server %s, in the file %s, chain %lld rows, first "
                    "broken %lld: %s\n",
            rows, rows, copySeconds, checkSeconds, qPrintable(onServer), qPrintable(inFile), chain.rows,
            chain.firstBroken, good ? "verified" : qPrintable(QStringLiteral("NOT verified ") + error));
        fileDb.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("bench-file"));
    QSqlDatabase::removeDatabase(QStringLiteral("bench-copy"));
    return good;
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
    bool copied = false;
    if (onAdmin(QStringLiteral("create database ") + name).isEmpty()) {
        QTemporaryDir dir;
        copied = copyBigFile(dir.filePath(QStringLiteral("date.mdb")), name);
        onAdmin(QStringLiteral("drop database ") + name);
    }
    return copied ? 0 : 1;
}
