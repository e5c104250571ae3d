#include "catalogue.h"

#include "store/database.h"
#include "store/sqltext.h"

namespace {

bool writeItem(RecordSet& rs, const GoodsItem& item)
{
    const bool written
        = rs.writeText(u"商品名称", item.name) && rs.writeSingle(u"单价", item.price) && rs.saveRecord();
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

bool addGoods(RecordSet& rs, const GoodsItem& item)
{
    if (!rs.openTable(QStringLiteral("商品表")))
        return false;
    if (!rs.addRecord()) {
        rs.closeSet();
        return false;
    }
    return writeItem(rs, item);
}

bool changeGoods(RecordSet& rs, const QString& listedName, const GoodsItem& item)
{
    if (!rs.openQuery(goodsQuery(listedName)))
        return false;
    return writeItem(rs, item);
}

QString goodsQuery(const QString& name)
{
    return QStringLiteral("select * from 商品表 where 商品名称=") + sqlText(name);
}

QString goodsDeleteStatement(const QString& name)
{
    return QStringLiteral("delete from 商品表 where 商品名称=") + sqlText(name);
}

bool deleteGoods(Database& db, const QString& name)
{
    return db.execute(goodsDeleteStatement(name));
}
