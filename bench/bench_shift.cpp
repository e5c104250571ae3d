// Opening the handover window on the open shift of 2,000 ledger rows, within a ledger of a
// million rows over 500 shifts, 499 of them handed over (each ending with its 交班 row, as the
// program writes it) and listed.
#include "benchsupport.h"
#include "shifts/shiftwindow.h"
#include "store/database.h"
#include "store/schema.h"

#include <QApplication>
#include <QLineEdit>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <cstdio>

int main(int argc, char** argv)
{
    offscreenUnlessSet();
    QApplication app(argc, argv);
    writeMessagesToStderr();
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("big.mdb"));
    Database db;
    if (!createDatabase(path) || !db.openDatabase(path))
        return 1;
    const int rows = 1000000;
    const int perShift = 2000;
    {
        Transaction transaction(db);
        QSqlQuery q(db.connection());
        const bool filled = q.exec(QStringLiteral(
            "with recursive n(i) as (select 1 union all select i+1 from n where i<%1) "
            "insert into 操作记录 (序号, 时间, 操作员, 授权店长, 类型, 机号, 会员编号, 商品名称, 金额, 现金, 卡额, 之前, "
            "之后, 说明, 班次, 校验) select i, '2026-01-01 08:00:00', '小王', '', case when i % %2 = 0 and i < %1 then "
            "'交班' when i % 4 = 0 then '结帐' when i % 4 = 1 then '改押金' when i % 4 = 2 then '商品现款' else '充值' "
            "end, i % 15 + 1, '', '', 2.5, 2.5, 0, '5', '0', '', (i-1)/%2+1, 'x' from n")
                                       .arg(rows)
                                       .arg(perShift))
            && q.exec(QStringLiteral(
                "with recursive n(i) as (select 1 union all select i+1 from n where i<%1) "
                "insert into 班次 (编号, 操作员, 开始时间, 备用金, 结束时间, 应有现金, 实点现金, 差额, 在用押金, 备注, "
                "留存备用金, 校验) select i, '小王', '2026-01-01 08:00:00', 200, case when i<%1 then "
                "'2026-01-01 16:00:00' end, case when i<%1 then 5200 end, case when i<%1 then 5200 end, case when "
                "i<%1 then 0 end, 0, '', 200, 'x' from n")
                          .arg(rows / perShift));
        if (!filled || !transaction.commit()) {
            std::fprintf(stderr, "fill: %s\n", qPrintable(q.lastError().text()));
            return 1;
        }
    }
    QString figure;
    const double ms = medianMs(9, [&](int) {
        ShiftWindow window(db, 0, false);
        figure = window.findChild<QLineEdit*>(QStringLiteral("编辑框_充值"))->text();
    });
    std::printf("handover window on a shift of %d rows within %d opened in %.2f ms (充值 %s)\n", perShift, rows, ms,
        qPrintable(figure));
    std::printf("ratio handover window/50 ms target: %.2f\n", ms / 50.0);
    return 0;
}
