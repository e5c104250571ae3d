#include "income.h"

#include "database.h"
#include "recordset.h"
#include "sqltext.h"

bool writeIncomeRows(RecordSet& rs, const QVector<IncomeRow>& rows, QString* error)
{
    error->clear();
    if (rows.isEmpty())
        return true;
    if (!rs.openTable(QStringLiteral("收入记录")))
        return false;
    bool written = true;
    for (const IncomeRow& row : rows) {
        written = rs.addRecord() && rs.writeDate(u"日期", row.day, 1) && rs.writeInteger(u"机号", row.machineNo)
            && rs.writeText(u"收入类型", row.type) && rs.writeText(u"收入名称", row.name)
            && rs.writeNumber(u"收入金额", row.amount);
        if (!written)
            break;
    }
    written = written && rs.saveRecord();
    if (!written)
        *error = rs.lastError().isEmpty() ? QStringLiteral("收入记录未能写入。") : rs.lastError();
    rs.closeSet();
    return written;
}

bool bookIncome(Database& db, RecordSet& rs, const QVector<IncomeRow>& rows, QString* error)
{
    Transaction transaction(db);
    if (!transaction.isActive()) {
        *error = transaction.error();
        return false;
    }
    if (!writeIncomeRows(rs, rows, error))
        return false;
    if (!transaction.commit()) {
        *error = transaction.error();
        return false;
    }
    return true;
}

QStringList reportViewStatements(DateTime start, DateTime end)
{
    const QString range = QStringLiteral(" where 日期 between #") + sqlDate(start) + QStringLiteral("# and #")
        + sqlDate(end) + QStringLiteral("# and 收入类型=");
    return {
        QStringLiteral("DROP VIEW 业绩1"),
        QStringLiteral("create view 业绩1 as SELECT Sum(收入金额) AS 上机收入, 日期 FROM 收入记录") + range
            + QStringLiteral("'上机收入'  GROUP BY 日期"),
        QStringLiteral("DROP VIEW 业绩2"),
        QStringLiteral("create view 业绩2 as SELECT Sum(收入金额) AS 上机收入, 日期 FROM 收入记录") + range
            + QStringLiteral("'商品销售'  GROUP BY 日期"),
    };
}

QString reportQuery(DateTime start, DateTime end)
{
    return QStringLiteral("SELECT 收入记录.日期, 业绩1.上机收入, 业绩2.上机收入 FROM (收入记录 LEFT JOIN 业绩1 ON "
                          "收入记录.日期 = 业绩1.日期) LEFT JOIN 业绩2 ON 收入记录.日期 = 业绩2.日期 where "
                          "收入记录.日期 between #")
        + sqlDate(start) + QStringLiteral("# and #") + sqlDate(end)
        + QStringLiteral("# GROUP BY 收入记录.日期, 业绩1.上机收入, 业绩2.上机收入");
}

QString onePassReportQuery(DateTime start, DateTime end)
{
    // The same days and sums as the join of the views: a day with bookings of neither kind is
    // listed with both sums empty.
    return QStringLiteral("SELECT 日期, Sum(case when 收入类型='上机收入' then 收入金额 end), Sum(case when "
                          "收入类型='商品销售' then 收入金额 end) FROM 收入记录 where 日期 between #")
        + sqlDate(start) + QStringLiteral("# and #") + sqlDate(end) + QStringLiteral("# GROUP BY 日期 ORDER BY 日期");
}

QString dailyDetailQuery(DateTime day)
{
    return QStringLiteral("select * from 收入记录 where 日期=#") + sqlDate(day) + QStringLiteral("# order by 日期");
}

bool readIncomeByDay(Database& db, RecordSet& rs, DateTime start, DateTime end, QVector<DayIncome>& days)
{
    days.clear();
    // On a fresh database the drops fail and the creates still run; nothing here is looked at.
    // One transaction: the views are replaced together, at the price of one durable commit
    // instead of four. Views that were made by these very statements already hold the range;
    // making them again would leave the file as it is and only cost that commit.
    const QStringList statements = reportViewStatements(start, end);
    db.ensureOpen();
    // A server's views are the connection's own and die with it: nobody else reads them, so
    // the sums are asked in one pass over the range instead of a join of three.
    const bool onServer = db.engine() == Database::Engine::PostgreSQL;
    if (!onServer
        && (!db.viewMadeBy(QStringLiteral("业绩1"), statements[1])
            || !db.viewMadeBy(QStringLiteral("业绩2"), statements[3]))) {
        Transaction views(db);
        for (const QString& statement : statements)
            db.execute(statement);
        views.commit();
    }
    if (!rs.openQuery(onServer ? onePassReportQuery(start, end) : reportQuery(start, end)))
        return false;
    const int n = rs.recordCount();
    days.reserve(n);
    for (int i = 0; i < n; ++i) {
        DayIncome day;
        rs.readDate(u"日期", day.day);
        rs.readNumber(1, day.machine);
        rs.readNumber(2, day.goods);
        days.append(day);
        rs.moveNext();
    }
    rs.closeSet();
    return true;
}

bool readDayBookings(RecordSet& rs, DateTime day, QVector<IncomeRow>& rows)
{
    rows.clear();
    if (!rs.openQuery(dailyDetailQuery(day)))
        return false;
    const int n = rs.recordCount();
    rows.reserve(n);
    for (int i = 0; i < n; ++i) {
        IncomeRow row;
        row.day = day;
        rs.readInteger(u"机号", row.machineNo);
        rs.readText(u"收入类型", row.type);
        rs.readText(u"收入名称", row.name);
        rs.readNumber(u"收入金额", row.amount);
        rows.append(row);
        rs.moveNext();
    }
    rs.closeSet();
    return true;
}
