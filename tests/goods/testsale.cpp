#include "common/egridmodel.h"
#include "goods/sale.h"
#include "store/goodstable.h"
#include "support/testsupport.h"

#include <QtTest>

namespace {

QString s(const char16_t* t) { return QString::fromUtf16(t); }

} // namespace

// The sale's lines and the catalogue's records, without their windows.
class TestSale : public QObject {
    Q_OBJECT
private slots:
    void linesTotalsAndBookings_data();
    void linesTotalsAndBookings();
    void catalogueRecords();
};

void TestSale::linesTotalsAndBookings_data()
{
    QTest::addColumn<QStringList>("lines"); // "name price quantity", one a line
    QTest::addColumn<QString>("total");
    QTest::addColumn<int>("booked");
    QTest::addColumn<int>("outOfRange"); // the first line beyond a single's cents, or 0
    QTest::newRow("two lines") << QStringList { s(u"可乐 2.5 3"), s(u"雪碧 3 1") } << "10.5" << 2 << 0;
    QTest::newRow("a free line is not booked") << QStringList { s(u"赠品 0 2"), s(u"可乐 2.5 1") } << "2.5" << 1 << 0;
    QTest::newRow("nothing entered") << QStringList() << "0" << 0 << 0;
    QTest::newRow("price beyond cents") << QStringList { s(u"可乐 2.5 1"), s(u"金条 100000 1") } << "100003" << 2
                                        << 2;
    QTest::newRow("amount beyond cents") << QStringList { s(u"可乐 2.5 99999") } << "249998" << 1 << 1;
}

void TestSale::linesTotalsAndBookings()
{
    QFETCH(QStringList, lines);
    QFETCH(QString, total);
    QFETCH(int, booked);
    QFETCH(int, outOfRange);
    EGridModel grid;
    setupSaleGrid(grid);
    for (int r = 0; r < lines.size(); ++r) {
        const QStringList parts = lines[r].split(u' ');
        grid.setCell(r + 1, SaleColumn::Goods, parts[0]);
        grid.setCell(r + 1, SaleColumn::Price, parts[1]);
        grid.setCell(r + 1, SaleColumn::Quantity, parts[2]);
    }
    QCOMPARE(toText(saleTotal(grid)), total);
    QCOMPARE(lineOutOfRange(grid), outOfRange);
    const QVector<IncomeRow> rows = saleIncomeRows(grid, 7, makeDate(2026, 12, 7, 15, 20));
    QCOMPARE(rows.size(), booked);
    for (const IncomeRow& row : rows) {
        QCOMPARE(row.machineNo, 7);
        QCOMPARE(row.type, s(u"商品销售"));
    }
}

void TestSale::catalogueRecords()
{
    StoreFixture store;
    const QString quoted = QStringLiteral("x' or ''='");
    QVERIFY(addGoods(store.rs, { s(u"可乐"), 2.5f }));
    QVERIFY(addGoods(store.rs, { quoted, 1.5f }));
    QVERIFY(addGoods(store.rs, { QString(), 1.0f })); // the empty name is a name like any other
    float price = -1;
    QVERIFY(readGoodsPrice(store.rs, quoted, price));
    QCOMPARE(price, 1.5f);
    QVERIFY(readGoodsPrice(store.rs, s(u"已下架"), price));
    QCOMPARE(price, 0.0f);
    QVERIFY(changeGoods(store.rs, s(u"可乐"), { s(u"可口可乐"), 3.0f }));
    QString error;
    QVERIFY(!changeGoods(store.rs, s(u"可乐"), { s(u"可乐"), 3.0f }, &error));
    QVERIFY(error.contains(s(u"可乐")));
    QVERIFY(deleteGoods(store.db, QString()));
    QCOMPARE(goodsNames(store.rs), QStringList({ s(u"可口可乐"), quoted }));
    // A catalogue that cannot be read gives no price rather than a price of 0.
    QVERIFY(runSql(store.dir.databasePath(), { s(u"drop table 商品表") }));
    QVERIFY(!readGoodsPrice(store.rs, s(u"可口可乐"), price));
    QVERIFY(!addGoods(store.rs, { s(u"雪碧"), 3.0f }, &error));
    QCOMPARE(store.responder.boxes.size(), 2); // the store said why, each time
}

QTEST_MAIN(TestSale)
#include "testsale.moc"
