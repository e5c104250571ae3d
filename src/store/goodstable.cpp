#include "goodstable.h"

#include "database.h"
#include "ledgertable.h"
#include "recordset.h"
#include "sqltext.h"

#include <QSqlQuery>

#include <cmath>

namespace {

void tell(QString* error, const QString& text)
{
    if (error)
        *error = text;
}

bool writeItem(RecordSet& rs, const GoodsItem& item, QString* error)
{
    const bool written
        = rs.writeText(u"商品名称", item.name) && rs.writeSingle(u"单价", item.price) && rs.saveRecord();
    if (!written)
        tell(error, rs.lastError().isEmpty() ? QStringLiteral("商品未能保存！") : rs.lastError());
    rs.closeSet();
    return written;
}

} // namespace

QVector<GoodsItem> readCatalogue(RecordSet& rs)
{
    QVector<GoodsItem> items;
    if (!rs.openTable(QStringLiteral("商品表")))
        return items;
    const int n = rs.recordCount();
    for (int i = 0; i < n; ++i) {
        GoodsItem item;
        rs.readText(u"商品名称", item.name);
        if (!rs.readSingle(u"单价", item.price))
            item.price = 0.0f;
        items.append(item);
        rs.moveNext();
    }
    rs.closeSet();
    return items;
}

bool addGoods(RecordSet& rs, const GoodsItem& item, QString* error)
{
    tell(error, QString());
    Database* db = rs.database();
    if (!db || !db->ensureOpen()) {
        rs.openTable(QStringLiteral("商品表")); // fails, and the record set says why
        return false;
    }
    LedgerEntry entry = ledgerEntry(*db, QStringLiteral("新增商品"));
    entry.goodsName = item.name;
    entry.amount = double(item.price);
    entry.after = toText(item.price);
    return changeWithLedger(*db, entry, [&](LedgerEntry&, QString* why) {
        if (!rs.openTable(QStringLiteral("商品表")))
            return false;
        if (!rs.addRecord()) {
            tell(why, rs.lastError());
            rs.closeSet();
            return false;
        }
        return writeItem(rs, item, why);
    }, error);
}

bool changeGoods(RecordSet& rs, const QString& listedName, const GoodsItem& item, QString* error)
{
    tell(error, QString());
    Database* db = rs.database();
    if (!db || !db->ensureOpen()) {
        rs.openQuery(goodsQuery(listedName)); // fails, and the record set says why
        return false;
    }
    LedgerEntry entry = ledgerEntry(*db, QStringLiteral("修改商品"));
    entry.goodsName = item.name;
    entry.amount = double(item.price);
    entry.after = item.name + u' ' + toText(item.price);
    return changeWithLedger(*db, entry, [&](LedgerEntry& row, QString* why) {
        if (!rs.openQuery(goodsQuery(listedName)))
            return false;
        if (rs.recordCount() < 1) {
            tell(why, QStringLiteral("找不到商品：") + listedName + QStringLiteral("的记录！"));
            rs.closeSet();
            return false;
        }
        float before = 0.0f;
        rs.readSingle(u"单价", before);
        row.before = listedName + u' ' + toText(before);
        return writeItem(rs, item, why);
    }, error);
}

bool readGoodsPrice(RecordSet& rs, const QString& name, float& price)
{
    price = 0.0f;
    if (!rs.openQuery(goodsQuery(name)))
        return false;
    if (!rs.readSingle(u"单价", price) || !std::isfinite(price))
        price = 0.0f;
    rs.closeSet();
    return true;
}

QString goodsQuery(const QString& name)
{
    return QStringLiteral("select * from 商品表 where 商品名称=") + sqlText(name);
}

QString goodsDeleteStatement(const QString& name)
{
    return QStringLiteral("delete from 商品表 where 商品名称=") + sqlText(name);
}

bool deleteGoods(Database& db, const QString& name, QString* error)
{
    float price = 0.0f;
    LedgerEntry entry = ledgerEntry(db, QStringLiteral("删除商品"));
    entry.goodsName = name;
    return changeWithLedger(db, entry, [&](LedgerEntry& row, QString* why) {
        QSqlQuery q(db.connection());
        q.prepare(QStringLiteral("select 单价 from 商品表 where 商品名称=?"));
        q.addBindValue(name);
        if (q.exec() && q.next())
            price = float(q.value(0).toDouble());
        row.before = name + u' ' + toText(price);
        if (db.execute(goodsDeleteStatement(name))) {
            if (db.rowsAffected() > 0)
                return true;
            tell(why, QStringLiteral("找不到商品：") + name + QStringLiteral("的记录！"));
            return false;
        }
        tell(why, db.lastError().isEmpty() ? QStringLiteral("商品未能删除！") : db.lastError());
        return false;
    }, error);
}
