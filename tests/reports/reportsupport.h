#pragma once

#include "common/egridmodel.h"
#include "store/database.h"
#include "store/recordset.h"
#include "support/testsupport.h"

#include <QStringList>

// UTF-8 literals as texts.
inline QStringList texts(std::initializer_list<const char*> utf8)
{
    QStringList list;
    for (const char* t : utf8)
        list << QString::fromUtf8(t);
    return list;
}

// A fresh store (date.mdb, or a server's database on a server run) on the program's connection and record set; message boxes are recorded.
struct ReportFixture {
    TestProgramDir dir;
    ScriptedResponder responder;
    Database db;
    RecordSet rs;

    ReportFixture()
    {
        openTestStore(db, dir);
        rs.bind(&db);
    }
    // Bookings of July 2026 as "day type amount [machine]": "5 上机收入 12.5", "4 商品销售 null 7".
    // Goods are named 可乐.
    bool book(const QStringList& bookings)
    {
        QStringList statements;
        for (const QString& b : bookings) {
            const QStringList f = b.split(u' ');
            statements << QStringLiteral("insert into 收入记录 values ('2026-07-%1 00:00:00', %2, '%3', '%4', %5)")
                              .arg(f[0].toInt(), 2, 10, QLatin1Char('0'))
                              .arg(f.value(3, QStringLiteral("1")), f[1],
                                  f[1] == QStringLiteral("商品销售") ? QStringLiteral("可乐") : f[1], f[2]);
        }
        return runSql(dir.databasePath(), statements);
    }
};

// The rows below the titles, cells joined by "|".
inline QStringList resultRows(const EGridModel& g)
{
    QStringList rows;
    for (int r = 1; r < g.gridRowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < g.gridColumnCount(); ++c)
            cells << g.getCell(r, c);
        rows << cells.join(u'|');
    }
    return rows;
}

inline bool allCentred(const EGridModel& g)
{
    for (int r = 0; r < g.gridRowCount(); ++r)
        for (int c = 0; c < g.gridColumnCount(); ++c)
            if (g.cellAlignment(r, c) != EGridModel::AlignCentre)
                return false;
    return true;
}
