#include "common/egridmodel.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QtTest>

namespace {

// A small sheet: col 1 number (0 decimals), col 2 money (3), col 3 money (1) = col1 × col2.
void makeSheet(EGridModel& g, bool showZero)
{
    g.setGridColumnCount(5);
    g.setGridRowCount(6);
    g.setShowZero(showZero);
    g.setColumnType(1, EGridModel::NumberColumn);
    g.setColumnType(2, EGridModel::MoneyColumn);
    g.setColumnType(3, EGridModel::MoneyColumn);
    g.setDecimals(2, 3);
    g.setDecimals(3, 1);
    g.setFormula(1, 2, EGridModel::Multiply, 3);
}

} // namespace

class TestEgridModel : public QObject {
    Q_OBJECT
private slots:
    void storeStepFormatsAndRefuses_data();
    void storeStepFormatsAndRefuses();
    void formulaArithmetic_data();
    void formulaArithmetic();
    void clearingAnOperandRecomputesTheTarget();
    void columnSumsAcceptOnlySoundRanges_data();
    void columnSumsAcceptOnlySoundRanges();
    void columnSumsFollowTheirCellsAndChain();
    void columnSumsKeepTheirTotal_data();
    void columnSumsKeepTheirTotal();
    void typesAndDecimals();
    void rectanglesClamp();
    void operatorEditsAndEvents();
    void moneyShowsItsSignOnScreenOnly();
    void numericKeyFilter_data();
    void numericKeyFilter();
    void formulaRingsStop();
    void modelContract();
};

void TestEgridModel::storeStepFormatsAndRefuses_data()
{
    QTest::addColumn<bool>("showZero");
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("written");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QString>("stored");
    QTest::newRow("abc refused, off") << false << "5.000" << "abc" << false << "5.000";
    QTest::newRow("abc refused, on") << true << "5.000" << "abc" << false << "5.000";
    QTest::newRow("0.0 does not read as non-zero") << true << "5.000" << "0.0" << false << "5.000";
    QTest::newRow("empty empties, off") << false << "5.000" << "" << true << "";
    QTest::newRow("zero empties, off") << false << "5.000" << "0" << true << "";
    QTest::newRow("empty shows zero, on") << true << "5.000" << "" << true << "0.000";
    QTest::newRow("zero shows zero, on") << true << "5.000" << "0" << true << "0.000";
    QTest::newRow("leading number reprinted") << true << "" << "1.23456元" << true << "1.235";
    QTest::newRow("negative") << false << "" << "-2" << true << "-2.000";
    QTest::newRow("infinite refused") << true << "5.000" << "1e999" << false << "5.000";
    QTest::newRow("inf text refused") << true << "5.000" << "inf" << false << "5.000";
}

void TestEgridModel::storeStepFormatsAndRefuses()
{
    QFETCH(bool, showZero);
    QFETCH(QString, before);
    QFETCH(QString, written);
    QFETCH(bool, accepted);
    QFETCH(QString, stored);
    EGridModel g;
    makeSheet(g, showZero);
    if (!before.isEmpty())
        QVERIFY(g.setCell(1, 2, before));
    QCOMPARE(g.setCell(1, 2, written), accepted);
    QCOMPARE(g.getCell(1, 2), stored);
    // The header row and text columns keep any text as it is.
    QVERIFY(g.setCell(0, 2, QStringLiteral("分钟价")));
    QCOMPARE(g.getCell(0, 2), QStringLiteral("分钟价"));
    QVERIFY(g.setCell(1, 0, QStringLiteral("abc")));
    QCOMPARE(g.getCell(1, 0), QStringLiteral("abc"));
}

void TestEgridModel::formulaArithmetic_data()
{
    QTest::addColumn<int>("operation");
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::addColumn<QString>("result");
    QTest::newRow("25 x 0.067") << int(EGridModel::Multiply) << "25" << "0.067" << "1.7";
    QTest::newRow("148 x 0.067") << int(EGridModel::Multiply) << "148" << "0.067" << "9.9";
    QTest::newRow("149 x 0.067") << int(EGridModel::Multiply) << "149" << "0.067" << "10.0";
    QTest::newRow("add") << int(EGridModel::Add) << "2" << "0.5" << "2.5";
    QTest::newRow("subtract") << int(EGridModel::Subtract) << "2" << "0.5" << "1.5";
    QTest::newRow("divide") << int(EGridModel::Divide) << "3" << "2" << "1.5";
    QTest::newRow("divide by zero") << int(EGridModel::Divide) << "3" << "0" << "0.0";
    QTest::newRow("divide by empty") << int(EGridModel::Divide) << "3" << "" << "0.0";
}

void TestEgridModel::formulaArithmetic()
{
    QFETCH(int, operation);
    QFETCH(QString, a);
    QFETCH(QString, b);
    QFETCH(QString, result);
    EGridModel g;
    makeSheet(g, true);
    g.setFormula(1, 2, EGridModel::Operation(operation), 3);
    g.setCell(2, 2, b);
    g.setCell(2, 1, a);
    QCOMPARE(g.getCell(2, 3), result);
}

void TestEgridModel::clearingAnOperandRecomputesTheTarget()
{
    EGridModel g;
    makeSheet(g, true);
    g.setCell(1, 1, 25);
    g.setCell(1, 2, 0.067);
    QCOMPARE(g.getCell(1, 3), QStringLiteral("1.7"));
    g.clearCells(1, 1, 1, 1);
    QCOMPARE(g.getCell(1, 1), QStringLiteral("0"));
    QCOMPARE(g.getCell(1, 3), QStringLiteral("0.0"));

    // Both operands empty: the target takes the empty text through the store step.
    EGridModel off;
    makeSheet(off, false);
    off.setCell(1, 1, 25);
    off.setCell(1, 2, 0.067);
    off.clearCells(1, 1, 1, 2);
    QCOMPARE(off.getCell(1, 3), QString());
    // A value written straight into the target stays until an operand is stored again.
    off.setCell(1, 3, 12.5);
    QCOMPARE(off.getCell(1, 3), QStringLiteral("12.5"));
}

void TestEgridModel::columnSumsAcceptOnlySoundRanges_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("last");
    QTest::addColumn<int>("target");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("data rows into the last") << 2 << 1 << 4 << 5 << true;
    QTest::newRow("text column") << 0 << 1 << 4 << 5 << false;
    QTest::newRow("first after last") << 2 << 4 << 1 << 5 << false;
    QTest::newRow("negative first") << 2 << -1 << 4 << 5 << false;
    QTest::newRow("last past the grid") << 2 << 1 << 6 << 5 << false;
    QTest::newRow("target inside") << 2 << 1 << 4 << 3 << false;
    QTest::newRow("target past the grid") << 2 << 1 << 4 << 6 << false;
    QTest::newRow("target above") << 2 << 2 << 4 << 1 << true;
}

void TestEgridModel::columnSumsAcceptOnlySoundRanges()
{
    QFETCH(int, column);
    QFETCH(int, first);
    QFETCH(int, last);
    QFETCH(int, target);
    QFETCH(bool, accepted);
    EGridModel g;
    makeSheet(g, false);
    QCOMPARE(g.setColumnSum(column, first, last, target), accepted);
}

void TestEgridModel::columnSumsFollowTheirCellsAndChain()
{
    EGridModel g;
    makeSheet(g, false);
    g.setDecimals(1, 0);
    QVERIFY(g.setColumnSum(3, 1, 4, 5));
    g.setCell(1, 2, 0.5);
    g.setCell(1, 1, 3); // row 1 amount 1.5
    g.setCell(2, 2, 1.0);
    g.setCell(2, 1, 2); // row 2 amount 2.0
    QCOMPARE(g.getCell(5, 3), QStringLiteral("3.5"));
    g.setCell(3, 3, QStringLiteral("abc")); // refused, the sum stays
    QCOMPARE(g.getCell(5, 3), QStringLiteral("3.5"));
    g.clearCells(2, 1, 2, 2);
    QCOMPARE(g.getCell(5, 3), QStringLiteral("1.5"));

    // A second sum of the same column and target replaces the first.
    QVERIFY(g.setColumnSum(3, 2, 4, 5));
    g.setCell(4, 3, 1.0);
    QCOMPARE(g.getCell(5, 3), QStringLiteral("1.0"));

    // A sum's target that is a formula operand recomputes that formula in turn.
    EGridModel chain;
    makeSheet(chain, false);
    chain.setCell(5, 2, 2.0);
    QVERIFY(chain.setColumnSum(1, 1, 4, 5));
    chain.setCell(1, 1, 3);
    chain.setCell(2, 1, 4);
    QCOMPARE(chain.getCell(5, 1), QStringLiteral("7"));
    QCOMPARE(chain.getCell(5, 3), QStringLiteral("14.0"));

    chain.removeColumnSums(-1);
    chain.setCell(3, 1, 10);
    QCOMPARE(chain.getCell(5, 1), QStringLiteral("7"));
}

void TestEgridModel::columnSumsKeepTheirTotal_data()
{
    // Writes into money column 2 (3 decimals) as "row=text"; "decimals=n" re-prints the column.
    QTest::addColumn<QStringList>("writes");
    QTest::addColumn<QString>("total");
    auto list = [](const char* w) { return QString::fromLatin1(w).split(u' '); };
    QTest::newRow("row by row") << list("1=1 2=2 3=4 4=8") << "15.000";
    QTest::newRow("bottom up") << list("4=8 3=4 2=2 1=1") << "15.000";
    QTest::newRow("gap filled later") << list("1=1 4=8 2=2") << "11.000";
    QTest::newRow("middle overwritten") << list("1=1 2=2 3=4 2=10") << "15.000";
    QTest::newRow("last cleared") << list("1=1 2=2 3=4 3=") << "3.000";
    QTest::newRow("last zeroed, then a row below") << list("1=1 2=2 2=0 3=4") << "5.000";
    // printf rounds the exact tie 1.25 to even: 1.2 each.
    QTest::newRow("re-printed with fewer decimals") << list("1=1.25 2=1.25 decimals=1 3=0") << "2.4";
}

void TestEgridModel::columnSumsKeepTheirTotal()
{
    QFETCH(QStringList, writes);
    QFETCH(QString, total);
    EGridModel g;
    makeSheet(g, true);
    QVERIFY(g.setColumnSum(2, 1, 4, 5));
    for (const QString& w : writes) {
        const QStringList kv = w.split(u'=');
        if (kv[0] == u"decimals")
            g.setDecimals(2, kv[1].toInt());
        else
            g.setCell(kv[0].toInt(), 2, kv[1]);
    }
    QCOMPARE(g.getCell(5, 2), total);
}

void TestEgridModel::typesAndDecimals()
{
    EGridModel g;
    makeSheet(g, false);
    g.setCell(1, 2, 1.5);
    QCOMPARE(g.getCell(1, 2), QStringLiteral("1.500"));
    QVERIFY(g.setDecimals(2, 1));
    QCOMPARE(g.getCell(1, 2), QStringLiteral("1.5"));
    QVERIFY(!g.setDecimals(2, 10));
    // Numeric to numeric keeps the decimals; through text they are lost.
    QVERIFY(g.setColumnType(2, EGridModel::NumberColumn));
    QCOMPARE(g.decimals(2), 1);
    QVERIFY(g.setColumnType(2, EGridModel::TextColumn));
    QVERIFY(g.setColumnType(2, EGridModel::MoneyColumn));
    QCOMPARE(g.decimals(2), 0);
    QVERIFY(!g.setColumnType(2, EGridModel::ColumnType(9)));
    // Drop-down items only for drop-down columns.
    QVERIFY(!g.addItem(1, QStringLiteral("可乐")));
    g.setColumnType(4, EGridModel::PickColumn);
    QVERIFY(g.addItem(4, QStringLiteral("可乐")));
    QCOMPARE(g.items(4), QStringList { QStringLiteral("可乐") });
    g.clearItemList();
    QVERIFY(g.items(4).isEmpty());
}

void TestEgridModel::rectanglesClamp()
{
    EGridModel g;
    makeSheet(g, true);
    g.setReadOnly(4, 3, 99, 99, true);
    QVERIFY(g.isReadOnly(5, 4));
    QVERIFY(!g.isReadOnly(3, 4));
    g.setReadOnly(7, 0, 9, 1, true); // wholly outside: nothing
    g.setReadOnly(2, 2, 1, 1, true); // empty: nothing
    QVERIFY(!g.isReadOnly(1, 1) && !g.isReadOnly(2, 2));
    g.setCellColour(1, 0, 1, 0, Qt::red);
    QCOMPARE(g.cellColour(1, 0), QColor(Qt::red));
    g.setCell(5, 1, 3);
    g.clearCells(5, 1, 50, 1);
    QCOMPARE(g.getCell(5, 1), QStringLiteral("0"));
    QCOMPARE(g.getCell(3, 99), QString());
    QVERIFY(!g.setCell(6, 1, 1));
    QCOMPARE(g.getCurrentRow(), -1);
    g.setCurrentCell(3, 1);
    QCOMPARE(g.getCurrentRow(), 3);
    g.setCurrentCell(30, 1);
    QCOMPARE(g.getCurrentRow(), 3);
}

void TestEgridModel::operatorEditsAndEvents()
{
    EGridModel g;
    makeSheet(g, true);
    g.setColumnType(4, EGridModel::DropDownColumn);
    QSignalSpy changed(&g, &EGridModel::cellChanged);
    QSignalSpy chosen(&g, &EGridModel::listItemChosen);
    g.commitEdit(1, 2, QStringLiteral("xyz")); // letters typed by the operator store zero
    QCOMPARE(g.getCell(1, 2), QStringLiteral("0.000"));
    g.commitEdit(1, 1, QStringLiteral("30"));
    QCOMPARE(g.getCell(1, 1), QStringLiteral("30"));
    QCOMPARE(changed.count(), 2);
    g.chooseItem(1, 4, QStringLiteral("可乐"));
    g.chooseItem(1, 4, QStringLiteral("可乐"));
    g.chooseItem(1, 4, QStringLiteral("雪碧"));
    g.chooseItem(2, 4, QStringLiteral("雪碧"));
    QCOMPARE(chosen.count(), 3);
    QCOMPARE(chosen.at(2).at(0).toInt(), 2);
    QCOMPARE(chosen.at(2).at(2).toString(), QStringLiteral("雪碧"));
    // A pick through the editor is stored and changes the cell once, whether or not it is news;
    // a line dropped and added again has forgotten its pick.
    g.commitChoice(2, 4, QStringLiteral("雪碧"));
    QCOMPARE(g.getCell(2, 4), QStringLiteral("雪碧"));
    QCOMPARE(chosen.count(), 3);
    QCOMPARE(changed.count(), 3);
    g.setGridRowCount(2);
    g.setGridRowCount(6);
    g.commitChoice(2, 4, QStringLiteral("雪碧"));
    QCOMPARE(chosen.count(), 4);
    QCOMPARE(changed.count(), 4);
    // Read-only cells and the header row are not editable.
    g.setReadOnly(1, 1, 1, 1, true);
    QVERIFY(!(g.flags(g.index(1, 1)) & Qt::ItemIsEditable));
    QVERIFY(!(g.flags(g.index(0, 2)) & Qt::ItemIsEditable));
    QVERIFY(!g.setData(g.index(1, 1), QStringLiteral("5"), Qt::EditRole));
    QVERIFY(g.setData(g.index(1, 2), QStringLiteral("5"), Qt::EditRole));
    QCOMPARE(g.getCell(1, 2), QStringLiteral("5.000"));
}

void TestEgridModel::moneyShowsItsSignOnScreenOnly()
{
    EGridModel g;
    makeSheet(g, false);
    g.setCell(0, 3, QStringLiteral("金额"));
    g.setCell(1, 3, 12.5);
    QCOMPARE(g.getCell(1, 3), QStringLiteral("12.5"));
    QCOMPARE(g.data(g.index(1, 3), Qt::DisplayRole).toString(), QStringLiteral("￥12.5"));
    QCOMPARE(g.data(g.index(1, 3), Qt::EditRole).toString(), QStringLiteral("12.5"));
    QCOMPARE(g.data(g.index(0, 3), Qt::DisplayRole).toString(), QStringLiteral("金额"));
    QCOMPARE(g.data(g.index(2, 3), Qt::DisplayRole).toString(), QString());
    g.setCell(1, 1, 7);
    QCOMPARE(g.data(g.index(1, 1), Qt::DisplayRole).toString(), QStringLiteral("7"));
}

void TestEgridModel::numericKeyFilter_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("cursor");
    QTest::addColumn<QChar>("typed");
    QTest::addColumn<int>("verdict");
    const int accept = int(KeyVerdict::Accept), ignore = int(KeyVerdict::Ignore), refuse = int(KeyVerdict::Refuse);
    QTest::newRow("digit") << "12" << 2 << QChar(u'5') << accept;
    QTest::newRow("first point") << "12" << 2 << QChar(u'.') << accept;
    QTest::newRow("second point") << "1.2" << 3 << QChar(u'.') << ignore;
    QTest::newRow("minus at start") << "12" << 0 << QChar(u'-') << accept;
    QTest::newRow("minus inside") << "12" << 1 << QChar(u'-') << refuse;
    QTest::newRow("second minus") << "-12" << 0 << QChar(u'-') << refuse;
    QTest::newRow("digit before minus") << "-12" << 0 << QChar(u'3') << refuse;
    QTest::newRow("letter") << "12" << 2 << QChar(u'a') << refuse;
    QTest::newRow("wide digit") << "12" << 2 << QChar(u'５') << refuse;
    QTest::newRow("backspace") << "12" << 2 << QChar(u'\b') << accept;
}

void TestEgridModel::numericKeyFilter()
{
    QFETCH(QString, text);
    QFETCH(int, cursor);
    QFETCH(QChar, typed);
    QFETCH(int, verdict);
    QCOMPARE(int(numericKeyVerdict(text, cursor, typed)), verdict);
}

void TestEgridModel::formulaRingsStop()
{
    EGridModel g;
    makeSheet(g, false);
    g.setFormula(3, 2, EGridModel::Add, 1); // col1 = col3 + col2, col3 = col1 × col2
    QVERIFY(g.setCell(1, 2, 1.0));
    QVERIFY(!g.getCell(1, 1).isEmpty());
    // A ring that branches: col1 feeds col2 and col4, both feed col1 back.
    g.setColumnType(4, EGridModel::NumberColumn);
    g.setFormula(1, 1, EGridModel::Add, 2);
    g.setFormula(1, 1, EGridModel::Add, 4);
    g.setFormula(2, 4, EGridModel::Subtract, 1);
    QVERIFY(g.setCell(2, 1, 1));
}

void TestEgridModel::modelContract()
{
    EGridModel g;
    QAbstractItemModelTester tester(&g, QAbstractItemModelTester::FailureReportingMode::QtTest);
    makeSheet(g, true);
    g.setCell(1, 1, 3);
    g.setGridRowCount(3);
    g.setGridColumnCount(2);
    QCOMPARE(g.rowCount(), 3);
    QCOMPARE(g.columnCount(), 2);
}

QTEST_GUILESS_MAIN(TestEgridModel)
#include "testegridmodel.moc"
