#pragma once

#include <QString>
#include <QVector>

class Database;
class RecordSet;

// 商品表, the goods catalogue: every statement the program runs on it.

// One record of 商品表 as the catalogue lists it.
struct GoodsItem {
    QString name;
    float price = 0.0f;
};

// Every record of 商品表 in record order; empty when the table cannot be read (the store has
// shown why).
QVector<GoodsItem> readCatalogue(RecordSet& rs);

// The writes below say why they failed in `error`: the engine's text, or empty when the store
// has shown its message already.

// Appends a record, even under a name the catalogue already has.
bool addGoods(RecordSet& rs, const GoodsItem& item, QString* error = nullptr);

// Rewrites the first record named `listedName`; false when there is none.
bool changeGoods(RecordSet& rs, const QString& listedName, const GoodsItem& item, QString* error = nullptr);

// 单价 of the first goods item of that name; 0 when there is none or its value is no number.
// False when the catalogue could not be read at all (the store has said why): then the price
// is unknown, not 0.
bool readGoodsPrice(RecordSet& rs, const QString& name, float& price);

// The statement that finds the records of one name, the first of them being the one changed.
QString goodsQuery(const QString& name);

// Deletes every record of that name.
bool deleteGoods(Database& db, const QString& name, QString* error = nullptr);
QString goodsDeleteStatement(const QString& name);
