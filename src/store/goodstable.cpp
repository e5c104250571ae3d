#include "goodstable.h"

#include "database.h"
#include "recordset.h"
#include "sqltext.h"

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
    if (!rs.openTable(QStringLiteral("商品表")))
        return false;
    if (!rs.addRecord()) {
        tell(error, rs.lastError());
        rs.closeSet();
        return false;
    }
    return writeItem(rs, item, error);
}

bool changeGoods(RecordSet& rs, const QString& listedName, const GoodsItem& item, QString* error)
{
    tell(error, QString());
    if (!rs.openQuery(goodsQuery(listedName)))
        return false;
    if (rs.recordCount() < 1) {
        tell(error, QStringLiteral("找不到商品：") + listedName + QStringLiteral("的记录！"));
        rs.closeSet();
        return false;
    }
    return writeItem(rs, item, error);
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
    if (db.execute(goodsDeleteStatement(name)))
        return true;
    tell(error, db.lastError().isEmpty() ? QStringLiteral("商品未能删除！") : db.lastError());
    return false;
}
