#pragma once

// A file as a café has it after a year or two: a million bookings, a million ledger rows.
#include "common/values.h"
#include "store/database.h"
#include "store/ledgertable.h"
#include "store/sqltext.h"

#include <QSqlError>
#include <QSqlQuery>

#include <cstdio>

// `rows` bookings, 274 a day from 2016-12-08, a third of them goods.
inline bool fillIncome(Database& db, int rows)
{
    QSqlQuery q(db.connection());
    if (q.exec(QStringLiteral("with recursive n(i) as (select 0 union all select i+1 from n where i<%1) "
                              "insert into 收入记录 select date('2016-12-08', '+' || (i / 274) || ' days') || "
                              "' 00:00:00', i % 15 + 1, case when i % 3 then '上机收入' else '商品销售' end, "
                              "case when i % 3 then '上机收入' else '可乐' end, (i % 40) / 2.0 from n")
                   .arg(rows - 1)))
        return true;
    std::fprintf(stderr, "fill: %s\n", qPrintable(q.lastError().text()));
    return false;
}

// `rows` ledger rows over 500 days, chained as the program chains them, in one transaction.
inline bool fillLedger(Database& db, int rows)
{
    Transaction transaction(db);
    QSqlQuery q(db.connection());
    q.prepare(QStringLiteral("insert into 操作记录 (序号, 时间, 操作员, 授权店长, 类型, 机号, 会员编号, 商品名称, 金额, "
                             "现金, 卡额, 之前, 之后, 说明, 班次, 校验) values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    QString previous;
    const DateTime first = makeDate(2025, 8, 1);
    for (int i = 1; i <= rows; ++i) {
        LedgerEntry e;
        e.time = DateTime(first.days + double(i) / 2000.0);
        e.operatorName = QStringLiteral("小王");
        e.kind = i % 3 ? QStringLiteral("结帐") : QStringLiteral("开始");
        e.machineNo = i % 15 + 1;
        e.amount = double(i % 40) / 2.0;
        e.cash = e.amount;
        e.detail = QStringLiteral("应收12.5，实收12.5");
        const QString hash = ledgerHash(previous, i, e);
        for (const QVariant& v : QVariantList { i, storedDate(e.time), e.operatorName, QStringLiteral(""), e.kind,
                 e.machineNo, QStringLiteral(""), QStringLiteral(""), formatFixed(e.amount, 4).toDouble(),
                 formatFixed(e.cash, 4).toDouble(), 0.0, QStringLiteral(""), QStringLiteral(""), e.detail, 0, hash })
            q.addBindValue(v);
        if (!q.exec()) {
            std::fprintf(stderr, "fill: %s\n", qPrintable(q.lastError().text()));
            return false;
        }
        previous = hash;
    }
    return transaction.commit();
}
