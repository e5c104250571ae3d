#include "app/consolewindow.h"
#include "widgets/datepicker.h"
#include "widgets/egrid.h"
#include "common/seams.h"
#include "counter/consolegrid.h"
#include "counter/counter.h"
#include "goods/goodswindow.h"
#include "goods/sale.h"
#include "goods/salewindow.h"
#include "store/database.h"
#include "store/sqltext.h"
#include "support/guisupport.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QEventLoop>
#include <QTimer>
#include <QtTest>

namespace {

const QDateTime kAfternoon(QDate(2026, 12, 7), QTime(15, 20, 45));
const QString kQuoted = QStringLiteral("x', '1'='1");

QString s(const char16_t* t)
{
    return QString::fromUtf16(t);
}

} // namespace

class TestSaleWindow : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void opensOnTheConsolesMachine_data();
    void opensOnTheConsolesMachine();
    void pickingPricesTheLine();
    void saving_data();
    void saving();
    void ledgerRecordsTheAmountBooked_data();
    void ledgerRecordsTheAmountBooked();
    void nothingEnteredIsRefused();
    void refusedBookingChangesNothing();
    void saveAndStartNewKeepsMachineModeAndDay();
    void catalogueOpensModallyOverTheSale();
    void goodsOnAccountReachTheCheckout();
    void machineTakenOutWhileTheSaleIsOpen();
    void pickWhileTheCatalogueCannotBeRead();
    void typedLinesBeyondASingleAreRefused_data();
    void typedLinesBeyondASingleAreRefused();

private:
    SaleWindow* open(EGridModel& console);
    EGridModel& lines() { return m_window->findChild<EGrid*>(s(u"高级表格1"))->cells(); }
    template <typename T> T* unit(const char16_t* name) { return m_window->findChild<T*>(s(name)); }
    QString total() { return unit<QLineEdit>(u"编辑框_金额合计")->text(); }
    void click(const char16_t* button) { QTest::mouseClick(unit<QPushButton>(button), Qt::LeftButton); }
    // Every income record as "day machine type name amount".
    QStringList income(const QString& databasePath);

    std::unique_ptr<TestClock> m_clock;
    std::unique_ptr<StoreFixture> m_store;
    CounterState m_counter;
    std::unique_ptr<EGridModel> m_console;
    std::unique_ptr<Counter> m_usage;
    std::unique_ptr<SaleWindow> m_window;
};

void TestSaleWindow::init()
{
    m_store = std::make_unique<StoreFixture>();
    m_clock = std::make_unique<TestClock>(kAfternoon);
    QVERIFY(runSql(m_store->dir.databasePath(),
        { s(u"insert into 商品表 values ('可乐', 2.5)"), s(u"insert into 商品表 values ('雪碧', 3)"),
            s(u"insert into 商品表 values ('赠品', 0)"),
            s(u"insert into 商品表 values (") + sqlText(kQuoted) + QStringLiteral(", 1.5)") }));
    m_console = std::make_unique<EGridModel>();
    setupGrid(*m_console, kMachines);
    m_counter = CounterState();
}

void TestSaleWindow::cleanup()
{
    m_window.reset();
    m_usage.reset();
    m_console.reset();
    m_clock.reset();
    m_store.reset();
}

SaleWindow* TestSaleWindow::open(EGridModel& console)
{
    m_usage = std::make_unique<Counter>(m_counter, console, &m_store->db);
    m_window = std::make_unique<SaleWindow>(m_store->db, m_store->rs, *m_usage);
    m_window->show();
    return m_window.get();
}

QStringList TestSaleWindow::income(const QString& databasePath)
{
    const QVariant rows = queryValue(databasePath,
        s(u"select group_concat(r, '|') from (select 日期||' '||机号||' '||收入类型||' '||收入名称||' "
          u"'||收入金额 "
          u"as r from 收入记录 order by rowid)"));
    return rows.toString().split(u'|', Qt::SkipEmptyParts);
}

void TestSaleWindow::opensOnTheConsolesMachine_data()
{
    QTest::addColumn<int>("consoleRow");
    QTest::addColumn<QString>("machine");
    QTest::newRow("machine 7's row") << 7 << "7";
    QTest::newRow("header row") << 0 << "1";
    QTest::newRow("no current row") << -1 << "1";
}

void TestSaleWindow::opensOnTheConsolesMachine()
{
    QFETCH(int, consoleRow);
    QFETCH(QString, machine);
    if (consoleRow >= 0)
        m_console->setCurrentCell(consoleRow, 0);
    open(*m_console);
    auto* machines = unit<QComboBox>(u"组合框_机号");
    QCOMPARE(machines->count(), 15);
    QCOMPARE(machines->currentText(), machine);
    QCOMPARE(unit<QComboBox>(u"组合框_销售方式")->currentText(), s(u"挂帐"));
    QCOMPARE(unit<DatePicker>(u"日期框1")->value(), makeDate(2026, 12, 7, 15, 20, 45));
    QCOMPARE(total(), QString());
    QCOMPARE(lines().items(0), QStringList({ s(u"可乐"), s(u"雪碧"), s(u"赠品"), kQuoted }));
}

void TestSaleWindow::pickingPricesTheLine()
{
    open(*m_console);
    EGridModel& g = lines();
    auto line = [&g](int r) {
        return QStringList { g.getCell(r, 1), g.getCell(r, 2), g.getCell(r, 3) }.join(u' ');
    };
    g.commitChoice(1, 0, s(u"可乐"));
    QCOMPARE(line(1), QStringLiteral("2.50 1 2.50"));
    QCOMPARE(g.displayText(1, 1), s(u"￥2.50"));
    QCOMPARE(total(), QStringLiteral("2.5"));
    g.commitEdit(1, 2, QStringLiteral("3"));
    QCOMPARE(line(1), QStringLiteral("2.50 3 7.50"));
    QCOMPARE(total(), QStringLiteral("7.5"));
    // Another pick in the line replaces the price and starts again from one.
    g.commitChoice(1, 0, s(u"雪碧"));
    QCOMPARE(line(1), QStringLiteral("3.00 1 3.00"));
    // A typed name is looked up nowhere: the line keeps its price.
    g.commitEdit(1, 0, s(u"可乐"));
    QCOMPARE(line(1), QStringLiteral("3.00 1 3.00"));
    // A quoted name is found as it is; a name gone from the catalogue costs nothing.
    g.commitChoice(2, 0, kQuoted);
    QCOMPARE(line(2), QStringLiteral("1.50 1 1.50"));
    QCOMPARE(total(), QStringLiteral("4.5"));
    g.commitChoice(3, 0, s(u"已下架"));
    QCOMPARE(line(3), QStringLiteral("0.00 1 0.00"));
    QVERIFY(m_store->responder.boxes.isEmpty());
}

void TestSaleWindow::saving_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QStringList>("picks"); // one goods name per line, "" for an empty line
    QTest::addColumn<int>("daysBack");
    QTest::addColumn<QStringList>("booked");
    QTest::addColumn<QString>("goodsCell");
    const QString day = QStringLiteral("2026-12-07 00:00:00 7 商品销售 ");
    QTest::newRow("on account") << 0 << QStringList { s(u"可乐*3") } << 0
                                << QStringList { day + s(u"可乐 7.5") } << "10.5";
    QTest::newRow("cash") << 1 << QStringList { s(u"可乐*3") } << 0 << QStringList { day + s(u"可乐 7.5") }
                          << "3.0";
    QTest::newRow("same goods twice") << 0 << QStringList { s(u"雪碧"), QString(), s(u"雪碧") } << 0
                                      << QStringList { day + s(u"雪碧 3"), day + s(u"雪碧 3") } << "9.0";
    QTest::newRow("free line skipped") << 0 << QStringList { s(u"赠品"), kQuoted } << 0
                                       << QStringList { day + kQuoted + QStringLiteral(" 1.5") } << "4.5";
    QTest::newRow("back-dated") << 1 << QStringList { s(u"可乐") } << 3
                                << QStringList { s(u"2026-12-04 00:00:00 7 商品销售 可乐 2.5") } << "3.0";
    QTest::newRow("only free goods") << 0 << QStringList { s(u"赠品") } << 0 << QStringList() << "3.0";
}

void TestSaleWindow::saving()
{
    QFETCH(int, mode);
    QFETCH(QStringList, picks);
    QFETCH(int, daysBack);
    QFETCH(QStringList, booked);
    QFETCH(QString, goodsCell);
    m_console->setCell(7, ConsoleColumn::Goods, QStringLiteral("3"));
    m_console->setCurrentCell(7, 0);
    open(*m_console);
    unit<QComboBox>(u"组合框_销售方式")->setCurrentIndex(mode);
    auto* picker = unit<DatePicker>(u"日期框1");
    picker->setValue(DateTime(picker->value().days - daysBack));
    for (int r = 0; r < picks.size(); ++r) {
        if (picks[r].isEmpty())
            continue;
        const QStringList nameAndCount = picks[r].split(u'*');
        lines().commitChoice(r + 1, 0, nameAndCount[0]);
        if (nameAndCount.size() > 1)
            lines().commitEdit(r + 1, 2, nameAndCount[1]);
    }
    click(u"按钮_保存");
    QVERIFY(!m_window->isVisible());
    QVERIFY(m_store->responder.boxes.isEmpty());
    QCOMPARE(income(m_store->dir.databasePath()), booked);
    QCOMPARE(m_console->getCell(7, ConsoleColumn::Goods), goodsCell);
}

void TestSaleWindow::ledgerRecordsTheAmountBooked_data()
{
    QTest::addColumn<QStringList>("prices");
    QTest::addColumn<QString>("recorded"); // 金额 and 现金 of the ledger row
    QTest::newRow("beyond six digits") << QStringList { QStringLiteral("12001.25") } << "12001.25 12001.25";
    QTest::newRow("a cent past ten thousand") << QStringList { QStringLiteral("10000.01") } << "10000.01 10000.01";
    QTest::newRow("cents that a single misses") << QStringList { QStringLiteral("0.1"), QStringLiteral("0.2") }
                                                << "0.3 0.3";
    // Scanned: nothing into the drawer, the amount on the method.
    QTest::newRow("by alipay") << QStringList { QStringLiteral("4.5"), s(u"支付宝"), QStringLiteral("88") }
                               << s(u"4.5 0 4.5 支付宝 88");
}

void TestSaleWindow::ledgerRecordsTheAmountBooked()
{
    QFETCH(QStringList, prices);
    QFETCH(QString, recorded);
    open(*m_console);
    auto* methods = unit<QComboBox>(u"组合框_支付方式");
    QVERIFY(!methods->isEnabled()); // goods on account are paid at the checkout
    unit<QComboBox>(u"组合框_销售方式")->setCurrentIndex(1);
    QVERIFY(methods->isEnabled());
    const bool scanned = prices.size() == 3 && prices[1] == s(u"支付宝");
    if (scanned) {
        methods->setCurrentText(prices.takeAt(1));
        unit<QLineEdit>(u"编辑框_单号")->setText(prices.takeLast());
    }
    for (int r = 0; r < prices.size(); ++r) {
        lines().commitChoice(r + 1, 0, s(u"可乐"));
        lines().commitEdit(r + 1, SaleColumn::Price, prices[r]);
    }
    click(u"按钮_保存");
    QVERIFY(!m_window->isVisible());
    const QString path = m_store->dir.databasePath();
    QCOMPARE(queryValue(path,
                 scanned ? s(u"select 金额||' '||现金||' '||收款||' '||支付方式||' '||单号 from 操作记录 where 类型='商品现款'")
                         : s(u"select 金额||' '||现金 from 操作记录 where 类型='商品现款'"))
                 .toString(),
        recorded);
    QCOMPARE(queryValue(path, s(u"select round(sum(收入金额), 2) from 收入记录")).toString(), recorded.section(u' ', 0, 0));
}

void TestSaleWindow::nothingEnteredIsRefused()
{
    open(*m_console);
    click(u"按钮_保存");
    QCOMPARE(m_store->responder.boxes.size(), 1);
    QCOMPARE(m_store->responder.boxes[0].text, s(u"金额不能为零！"));
    QCOMPARE(m_store->responder.boxes[0].style, 0);
    QCOMPARE(m_store->responder.boxes[0].title, s(u"信息："));
    QVERIFY(m_window->isVisible());
    QCOMPARE(income(m_store->dir.databasePath()), QStringList());
}

void TestSaleWindow::refusedBookingChangesNothing()
{
    m_console->setCell(7, ConsoleColumn::Goods, QStringLiteral("3"));
    m_console->setCurrentCell(7, 0);
    open(*m_console);
    lines().commitChoice(1, 0, s(u"可乐"));
    lines().commitChoice(2, 0, s(u"雪碧"));
    // The second row of the sale is refused: the first must not stay booked either.
    QVERIFY(runSql(m_store->dir.databasePath(),
        { s(u"create trigger 只收可乐 before insert on 收入记录 when new.收入名称<>'可乐' "
            u"begin select raise(abort, '收入记录只读'); end") }));
    click(u"按钮_保存");
    QCOMPARE(m_store->responder.boxes.size(), 1);
    QVERIFY(m_store->responder.boxes[0].text.contains(s(u"收入记录只读")));
    QCOMPARE(m_store->responder.boxes[0].style, int(MbOk | MbError));
    QCOMPARE(m_store->responder.boxes[0].title, s(u"错误"));
    QVERIFY(m_window->isVisible());
    QCOMPARE(income(m_store->dir.databasePath()), QStringList());
    QCOMPARE(m_console->getCell(7, ConsoleColumn::Goods), QStringLiteral("3.0"));
    QCOMPARE(lines().getCell(2, 0), s(u"雪碧"));
    QCOMPARE(total(), QStringLiteral("5.5"));
    // Once the store takes rows again, the same window books the sale.
    QVERIFY(runSql(m_store->dir.databasePath(), { s(u"drop trigger 只收可乐") }));
    click(u"按钮_保存");
    QVERIFY(!m_window->isVisible());
    QCOMPARE(income(m_store->dir.databasePath()).size(), 2);
    QCOMPARE(m_console->getCell(7, ConsoleColumn::Goods), QStringLiteral("8.5"));
}

void TestSaleWindow::saveAndStartNewKeepsMachineModeAndDay()
{
    m_console->setCurrentCell(4, 0);
    open(*m_console);
    unit<QComboBox>(u"组合框_销售方式")->setCurrentIndex(1);
    auto* picker = unit<DatePicker>(u"日期框1");
    const DateTime yesterday(picker->value().days - 1);
    picker->setValue(yesterday);
    lines().commitChoice(1, 0, s(u"可乐"));
    lines().commitEdit(1, 2, QStringLiteral("2"));
    click(u"按钮_保存并新增");
    QVERIFY(m_window->isVisible());
    QCOMPARE(income(m_store->dir.databasePath()), QStringList { s(u"2026-12-06 00:00:00 4 商品销售 可乐 5") });
    for (int r = 1; r <= 5; ++r)
        for (int c = 0; c < 4; ++c)
            QCOMPARE(lines().getCell(r, c), QString());
    QCOMPARE(total(), QString());
    QCOMPARE(unit<QComboBox>(u"组合框_机号")->currentText(), QStringLiteral("4"));
    QCOMPARE(unit<QComboBox>(u"组合框_销售方式")->currentIndex(), 1);
    QCOMPARE(picker->value(), yesterday);
    QCOMPARE(m_console->getCell(4, ConsoleColumn::Goods), QString());
    // The same goods picked again in the emptied line is priced again.
    lines().commitChoice(1, 0, s(u"可乐"));
    QCOMPARE(total(), QStringLiteral("2.5"));
    click(u"按钮_保存并新增");
    QCOMPARE(income(m_store->dir.databasePath()).size(), 2);
}

void TestSaleWindow::catalogueOpensModallyOverTheSale()
{
    open(*m_console);
    QString seenClass;
    QWidget* seenParent = nullptr;
    whenModalShown([&](QWidget* modal) {
        seenClass = QString::fromLatin1(modal->metaObject()->className());
        seenParent = modal->parentWidget();
        modal->findChild<QLineEdit*>(s(u"编辑框_商品名称"))->setText(s(u"矿泉水"));
        modal->findChild<QLineEdit*>(s(u"编辑框_单价"))->setText(QStringLiteral("1.5"));
        QTest::mouseClick(modal->findChild<QPushButton*>(s(u"按钮_保存")), Qt::LeftButton);
        modal->close();
    });
    click(u"按钮_商品管理"); // returns when the catalogue has closed
    QCOMPARE(seenClass, QStringLiteral("GoodsWindow"));
    QCOMPARE(seenParent, m_window.get());
    QCOMPARE(
        queryValue(m_store->dir.databasePath(), s(u"select count(*) from 商品表 where 商品名称='矿泉水'")).toInt(),
        1);
    QCOMPARE(lines().items(0).size(), 4); // this window keeps the names it opened with
}

void TestSaleWindow::machineTakenOutWhileTheSaleIsOpen()
{
    m_console->setCurrentCell(5, 0);
    open(*m_console);
    m_usage->start(5, QStringLiteral("15时0分0秒"), QStringLiteral("4"));
    QVector<MachineSlot> machines = CounterState::numbered(15);
    machines.removeAt(1); // machine 2 goes; machine 5 now has row 4
    m_usage->setMachines(machines);
    auto* list = unit<QComboBox>(u"组合框_机号");
    QCOMPARE(list->currentText(), QStringLiteral("5"));
    lines().commitChoice(1, 0, s(u"可乐"));
    click(u"按钮_保存并新增");
    QCOMPARE(m_console->getCell(4, ConsoleColumn::Goods), QStringLiteral("2.5"));
    QCOMPARE(m_console->getCell(5, ConsoleColumn::Goods), QString());
    // The machine gone has no bill to take goods: refused, and the list is the counter's again.
    ScriptedResponder responder;
    list->setCurrentIndex(1);
    QCOMPARE(list->currentText(), QStringLiteral("2"));
    lines().commitChoice(1, 0, s(u"可乐"));
    click(u"按钮_保存");
    QCOMPARE(responder.boxes.size(), 1);
    QCOMPARE(responder.boxes[0].text, s(u"该机器已不在机器列表中，请重新选择机号！"));
    QCOMPARE(list->count(), 14);
    QCOMPARE(list->currentText(), QStringLiteral("1"));
    QCOMPARE(income(m_store->dir.databasePath()).size(), 1);
}

void TestSaleWindow::goodsOnAccountReachTheCheckout()
{
    auto console = std::make_unique<ConsoleWindow>();
    console->clockTimer()->stop();
    console->show();
    console->tickSecond();
    QTest::mouseClick(console->machineButton(7), Qt::LeftButton);
    m_clock->advance(30 * 60);
    console->tickSecond();
    EGridModel& cells = console->grid()->cells();
    QCOMPARE(cells.getCell(7, ConsoleColumn::Amount), QStringLiteral("2.0"));

    SaleWindow& sale = *console->openSale(); // as 按钮_销售 opens it, tied to the console
    QCOMPARE(sale.findChild<QComboBox*>(s(u"组合框_机号"))->currentText(), QStringLiteral("7"));
    EGridModel& saleLines = sale.findChild<EGrid*>(s(u"高级表格1"))->cells();
    saleLines.commitChoice(1, 0, s(u"可乐"));
    saleLines.commitEdit(1, 2, QStringLiteral("3"));
    QTest::mouseClick(sale.findChild<QPushButton*>(s(u"按钮_保存")), Qt::LeftButton);
    QCOMPARE(cells.getCell(7, ConsoleColumn::Goods), QStringLiteral("7.5"));

    QString goods, receivable;
    whenModalShown([&](QWidget* checkout) {
        goods = checkout->findChild<QLineEdit*>(s(u"编辑框_商品销售"))->text();
        receivable = checkout->findChild<QLineEdit*>(s(u"编辑框_应收"))->text();
        QTest::mouseClick(checkout->findChild<QPushButton*>(s(u"按钮_确定")), Qt::LeftButton);
    });
    QTest::mouseClick(console->machineButton(7), Qt::LeftButton);
    QCOMPARE(goods, QStringLiteral("7.5"));
    QCOMPARE(receivable, QStringLiteral("9.5"));
    // The goods were booked by the sale; the checkout books the machine's own 2.0 only.
    QCOMPARE(income(m_store->dir.databasePath()),
        QStringList({ s(u"2026-12-07 00:00:00 7 商品销售 可乐 7.5"),
            s(u"2026-12-07 00:00:00 7 上机收入 上机收入 2") }));
    QVERIFY2(m_store->responder.boxes.isEmpty(), m_store->responder.boxes.isEmpty() ? "" : qPrintable(m_store->responder.boxes[0].text));
}

void TestSaleWindow::pickWhileTheCatalogueCannotBeRead()
{
    open(*m_console);
    m_window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    auto* grid = unit<EGrid>(u"高级表格1");
    const QModelIndex index = grid->model()->index(1, 0);
    grid->setCurrentIndex(index);
    grid->edit(index);
    auto* box = grid->findChild<QComboBox*>();
    QVERIFY(box);
    QVERIFY(runSql(m_store->dir.databasePath(), { s(u"alter table 商品表 rename to 商品表旧") }));
    bool editorGone = false;
    // As a real box does: it takes the focus and runs events of its own while it is shown.
    m_store->responder.onBox = [&](const ScriptedResponder::Box&) {
        editorGone = !box->isVisible(); // closed: the view hides an editor it lets go
        unit<QPushButton>(u"按钮_保存")->setFocus();
        QEventLoop loop;
        QTimer::singleShot(0, &loop, &QEventLoop::quit);
        loop.exec();
    };
    box->setCurrentIndex(0);
    emit box->activated(0);
    QCOMPARE(m_store->responder.boxes.size(), 1); // the store's own words
    QVERIFY(m_store->responder.boxes[0].text.contains(s(u"商品表")));
    QVERIFY(editorGone);
    QCOMPARE(lines().getCell(1, 0), s(u"可乐"));
    m_store->responder.onBox = nullptr;
    // The line's 0.00 is no price: the goods would leave the shelf for nothing.
    click(u"按钮_保存");
    QCOMPARE(m_store->responder.boxes.size(), 2);
    QCOMPARE(m_store->responder.boxes[1].text, s(u"第1行商品的单价未能读取，请重新选择该商品！"));
    QVERIFY(m_window->isVisible());
    QVERIFY(runSql(m_store->dir.databasePath(), { s(u"alter table 商品表旧 rename to 商品表") }));
    lines().commitChoice(1, 0, s(u"可乐")); // picked again, priced this time
    click(u"按钮_保存");
    QCOMPARE(m_store->responder.boxes.size(), 2);
    QCOMPARE(income(m_store->dir.databasePath()).size(), 1);
}

void TestSaleWindow::typedLinesBeyondASingleAreRefused_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    const QString range = s(u"金额必须在-99999.99到99999.99之间！");
    QTest::newRow("forty nines as the price") << 1 << QString(40, u'9') << range;
    QTest::newRow("an amount past cents") << 2 << "99999" << range;
    QTest::newRow("half a character as the name") << 0 << QString(QChar(0xD83D)) << s(u"输入的文字含有无法保存的字符，请重新输入！");
}

void TestSaleWindow::typedLinesBeyondASingleAreRefused()
{
    QFETCH(int, column);
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    open(*m_console);
    EGridModel& g = lines();
    g.commitChoice(1, 0, s(u"可乐"));
    g.commitEdit(1, column, typed);
    QTRY_COMPARE(m_store->responder.boxes.size(), 1);
    QCOMPARE(m_store->responder.boxes[0].text, shown);
    QVERIFY(!total().contains(QStringLiteral("inf")));
    QVERIFY(isMoneyText(total()) && isMoneyText(g.getCell(1, 3)));
    QVERIFY(isStorableText(g.getCell(1, 0)));
}

QTEST_MAIN(TestSaleWindow)
#include "testsalewindow.moc"
