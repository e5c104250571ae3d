#include "counter/consolegrid.h"
#include "counter/counterstate.h"
#include "common/egridmodel.h"

#include <QtTest>

class TestConsoleGrid : public QObject {
    Q_OBJECT
private slots:
    void columns_data();
    void columns();
    void machineRows();
    void clearedRowShowsZeros();
    void amountFollowsMinutesAndShownPrice();
};

void TestConsoleGrid::columns_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("title");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("decimals");
    QTest::addColumn<bool>("editable");
    const int T = EGridModel::TextColumn, N = EGridModel::NumberColumn, M = EGridModel::MoneyColumn;
    QTest::newRow("label") << 0 << "" << 40 << T << 0 << false;
    QTest::newRow("上机时间") << 1 << "上机时间" << 90 << T << 0 << false;
    QTest::newRow("结束时间") << 2 << "结束时间" << 90 << T << 0 << false;
    QTest::newRow("计时(分)") << 3 << "计时(分)" << 55 << N << 0 << false;
    QTest::newRow("分钟价") << 4 << "分钟价" << 50 << M << 3 << false;
    QTest::newRow("金额") << 5 << "金额" << 55 << M << 1 << false;
    QTest::newRow("定时") << 6 << "定时" << 35 << N << 0 << true;
    QTest::newRow("倒计时") << 7 << "倒计时" << 45 << N << 0 << false;
    QTest::newRow("押金") << 8 << "押金" << 55 << M << 1 << true;
    QTest::newRow("商品额") << 9 << "商品额" << 55 << M << 1 << false;
    QTest::newRow("余额") << 10 << "余额" << 55 << M << 1 << false;
}

void TestConsoleGrid::columns()
{
    QFETCH(int, column);
    QFETCH(QString, title);
    QFETCH(int, width);
    QFETCH(int, type);
    QFETCH(int, decimals);
    QFETCH(bool, editable);
    EGridModel g;
    setupGrid(g, kMachines);
    QCOMPARE(g.getCell(0, column), title);
    QCOMPARE(g.columnWidth(column), width);
    QCOMPARE(int(g.columnType(column)), type);
    QCOMPARE(g.decimals(column), decimals);
    QVERIFY(!(g.flags(g.index(0, column)) & Qt::ItemIsEditable));
    for (int n = 1; n <= 15; ++n) {
        QCOMPARE(g.isReadOnly(n, column), !editable);
        QCOMPARE(g.cellAlignment(n, column), EGridModel::AlignCentre);
    }
}

void TestConsoleGrid::machineRows()
{
    EGridModel g;
    setupGrid(g, kMachines);
    QCOMPARE(g.gridRowCount(), 16);
    QCOMPARE(g.gridColumnCount(), 11);
    QVERIFY(g.showZero());
    for (int n = 1; n <= 15; ++n) {
        QCOMPARE(g.getCell(n, 0), QString::number(n) + QStringLiteral("号"));
        QCOMPARE(g.cellBackground(n, 3), n % 2 ? QColor(255, 255, 255) : QColor(0, 255, 255));
        for (int c = 1; c <= 10; ++c)
            QCOMPARE(g.getCell(n, c), QString()); // empty until the machine's first start
    }
}

void TestConsoleGrid::clearedRowShowsZeros()
{
    EGridModel g;
    setupGrid(g, kMachines);
    g.setCell(4, 1, QStringLiteral("9时5分7秒"));
    g.setCell(4, 8, 50);
    g.clearCells(4, 1, 4, 10);
    const QStringList expected { QString(), QString(), QStringLiteral("0"), QStringLiteral("0.000"),
        QStringLiteral("0.0"), QStringLiteral("0"), QStringLiteral("0"), QStringLiteral("0.0"), QStringLiteral("0.0"),
        QStringLiteral("0.0") };
    for (int c = 1; c <= 10; ++c)
        QCOMPARE(g.getCell(4, c), expected[c - 1]);
    QVERIFY(!g.setCell(4, 8, QStringLiteral("abc")));
    QCOMPARE(g.getCell(4, 8), QStringLiteral("0.0"));
    g.commitEdit(4, 6, QStringLiteral("30"));
    g.commitEdit(4, 8, QStringLiteral("50"));
    QCOMPARE(g.getCell(4, 6), QStringLiteral("30"));
    QCOMPARE(g.getCell(4, 8), QStringLiteral("50.0"));
}

void TestConsoleGrid::amountFollowsMinutesAndShownPrice()
{
    EGridModel g;
    setupGrid(g, kMachines);
    g.setCell(2, 4, 4.0f / 60);
    QCOMPARE(g.getCell(2, 4), QStringLiteral("0.067"));
    g.setCell(2, 3, 25);
    QCOMPARE(g.getCell(2, 5), QStringLiteral("1.7"));
    g.setCell(2, 3, QStringLiteral("149"));
    QCOMPARE(g.getCell(2, 5), QStringLiteral("10.0")); // 149 × 0.067, not × 0.0666667
}

QTEST_GUILESS_MAIN(TestConsoleGrid)
#include "testconsolegrid.moc"
