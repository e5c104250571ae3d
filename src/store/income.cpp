#include "income.h"

#include "database.h"
#include "recordset.h"

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
