#include "counter/consolegrid.h"
#include "counter/counter.h"
#include "checkout/checkoutwindow.h"
#include "checkout/settlement.h"
#include "common/egridmodel.h"
#include "store/database.h"
#include "support/guisupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QWheelEvent>
#include <QtTest>

namespace {

const QDateTime kEvening(QDate(2026, 12, 7), QTime(23, 59, 10));

QString s(const char16_t* t) { return QString::fromUtf16(t); }

} // namespace

class TestCheckout : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void windowShowsTheBill();
    void cashSettlement_data();
    void cashSettlement();
    void cardSettlement_data();
    void cardSettlement();
    void paymentMethods_data();
    void paymentMethods();
    void zeroIncomeBooksNothing();
    void failedDebitChangesNothing();
    void failedIncomeRowChangesNothing();
    void withoutDatabaseNothingIsClaimed();
    void amountsBeyondASingleAreRefused_data();
    void amountsBeyondASingleAreRefused();
    void unreadableBalanceIsNotTaken();

private:
    CheckoutWindow* open(int machine, const QString& fee, const QString& goods, const QString& deposit);
    template <typename T>
    T* unit(const char16_t* name)
    {
        return m_window->findChild<T*>(s(name));
    }
    void addCard(const QString& number, double balance);
    double balanceOf(const QString& number);
    int incomeRows();

    std::unique_ptr<TestClock> m_clock;
    std::unique_ptr<StoreFixture> m_store;
    CounterState m_counter;
    std::unique_ptr<EGridModel> m_grid;
    std::unique_ptr<Counter> m_usage;
    std::unique_ptr<CheckoutWindow> m_window;
};

void TestCheckout::init()
{
    m_store = std::make_unique<StoreFixture>();
    m_clock = std::make_unique<TestClock>(kEvening);
    m_grid = std::make_unique<EGridModel>();
    setupGrid(*m_grid, kMachines);
    m_counter = CounterState();
    m_usage = std::make_unique<Counter>(m_counter, *m_grid, &m_store->db);
}

void TestCheckout::cleanup()
{
    m_window.reset();
    m_usage.reset();
    m_grid.reset();
    m_clock.reset();
    m_store.reset();
}

CheckoutWindow* TestCheckout::open(int machine, const QString& fee, const QString& goods, const QString& deposit)
{
    m_grid->setCell(machine, ConsoleColumn::Amount, fee);
    const MachineBill bill { machine, fee, goods, deposit };
    m_window = std::make_unique<CheckoutWindow>(m_store->db, m_store->rs, *m_usage, bill);
    m_window->show();
    return m_window.get();
}

void TestCheckout::addCard(const QString& number, double balance)
{
    QVERIFY(m_store->rs.openTable(s(u"会员表")));
    QVERIFY(m_store->rs.addRecord());
    QVERIFY(m_store->rs.writeText(u"会员编号", number));
    QVERIFY(m_store->rs.writeNumber(u"余额", balance));
    QVERIFY(m_store->rs.saveRecord());
    m_store->rs.closeSet();
}

double TestCheckout::balanceOf(const QString& number)
{
    double b = -1;
    if (!m_store->rs.openQuery(s(u"select * from 会员表 where 会员编号=") + QStringLiteral("'%1'").arg(number)))
        return b;
    m_store->rs.readNumber(u"余额", b);
    m_store->rs.closeSet();
    return b;
}

int TestCheckout::incomeRows()
{
    return queryValue(m_store->dir.databasePath(), s(u"select count(*) from 收入记录")).toInt();
}

void TestCheckout::windowShowsTheBill()
{
    addCard(QStringLiteral("A001"), 50);
    addCard(QStringLiteral("A002"), 12.5);
    open(3, QStringLiteral("12.5"), QStringLiteral("3.0"), QStringLiteral("10.0"));
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    QCOMPARE(m_window->windowTitle(), s(u"3号机结帐"));
    QCOMPARE(unit<QLineEdit>(u"编辑框_上机费")->text(), QStringLiteral("12.5"));
    QCOMPARE(unit<QLineEdit>(u"编辑框_商品销售")->text(), QStringLiteral("3.0"));
    QCOMPARE(unit<QLineEdit>(u"编辑框_押金")->text(), QStringLiteral("10.0"));
    QCOMPARE(unit<QLineEdit>(u"编辑框_应收")->text(), QStringLiteral("5.5"));
    QCOMPARE(unit<QLineEdit>(u"编辑框_实收")->text(), QStringLiteral("5.5"));
    QVERIFY(unit<QLineEdit>(u"编辑框_应收")->isReadOnly());
    QVERIFY(!unit<QLineEdit>(u"编辑框_实收")->isReadOnly());
    QCOMPARE(QApplication::focusWidget(), unit<QLineEdit>(u"编辑框_实收"));
    QCOMPARE(unit<QLineEdit>(u"编辑框_实收")->selectedText(), QStringLiteral("5.5")); // typing overwrites it
    auto* cards = unit<QComboBox>(u"组合框1");
    QCOMPARE(cards->count(), 2);
    QCOMPARE(cards->itemText(1), QStringLiteral("A002"));
    QCOMPARE(cards->currentIndex(), -1);
    QVERIFY(!unit<QCheckBox>(u"选择框1")->isChecked());
    QCOMPARE(unit<QLabel>(u"标签3")->text(), s(u"押  金："));
    QCOMPARE(unit<QLabel>(u"标签4")->text(), s(u"应    收："));
    QCOMPARE(unit<QLabel>(u"标签1")->font().pixelSize(), 14);
    // The wheel passing over the card list picks nothing.
    QWheelEvent wheel(QPointF(5, 5), cards->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, -120), Qt::NoButton,
        Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(cards, &wheel);
    QCOMPARE(cards->currentIndex(), -1);
    QVERIFY(!unit<QCheckBox>(u"选择框1")->isChecked());
    // Picking a card ticks the box and shows its balance.
    cards->setCurrentIndex(1);
    QVERIFY(unit<QCheckBox>(u"选择框1")->isChecked());
    QCOMPARE(unit<QLineEdit>(u"编辑框_余额")->text(), QStringLiteral("12.5"));
    // 实收 takes digits, the minus sign and the point only.
    auto* received = unit<QLineEdit>(u"编辑框_实收");
    received->clear();
    QTest::keyClicks(received, QStringLiteral("1a2.-5x"));
    QCOMPARE(received->text(), QStringLiteral("12.-5"));
    received->clear();
    received->insert(QStringLiteral("8元")); // pasted text is held to the same characters
    QCOMPARE(received->text(), QString());
}

void TestCheckout::cashSettlement_data()
{
    QTest::addColumn<QString>("received");
    QTest::addColumn<double>("booked");
    QTest::addColumn<QString>("cell");
    QTest::newRow("as proposed") << QString() << 12.5 << "12.5";
    QTest::newRow("five received") << "5" << 12.0 << "12.0";
}

void TestCheckout::cashSettlement()
{
    QFETCH(QString, received);
    QFETCH(double, booked);
    QFETCH(QString, cell);
    open(3, QStringLiteral("12.5"), QStringLiteral("3.0"), QStringLiteral("10.0"));
    if (!received.isEmpty())
        unit<QLineEdit>(u"编辑框_实收")->setText(received);
    QTest::mouseClick(unit<QPushButton>(u"按钮_确定"), Qt::LeftButton);
    QVERIFY(!m_window->isVisible());
    QVERIFY(m_store->responder.boxes.isEmpty());
    QCOMPARE(incomeRows(), 1);
    QVERIFY(m_store->rs.openTable(s(u"收入记录")));
    DateTime day;
    int machine = 0;
    QString type, name;
    double amount = 0;
    QVERIFY(m_store->rs.readDate(u"日期", day));
    QVERIFY(m_store->rs.readInteger(u"机号", machine));
    QVERIFY(m_store->rs.readText(u"收入类型", type));
    QVERIFY(m_store->rs.readText(u"收入名称", name));
    QVERIFY(m_store->rs.readNumber(u"收入金额", amount));
    QCOMPARE(day, makeDate(2026, 12, 7)); // booked at 23:59, kept by its day
    QCOMPARE(machine, 3);
    QCOMPARE(type, s(u"上机收入"));
    QCOMPARE(name, s(u"上机收入"));
    QCOMPARE(amount, booked);
    QCOMPARE(m_grid->getCell(3, ConsoleColumn::Amount), cell);
}

void TestCheckout::cardSettlement_data()
{
    QTest::addColumn<QString>("card");
    QTest::addColumn<double>("balance");
    QTest::addColumn<QString>("fee");
    QTest::addColumn<QString>("goods");
    QTest::addColumn<bool>("pick");
    QTest::addColumn<QString>("message");
    QTest::addColumn<double>("balanceAfter");
    QTest::newRow("short of funds") << "A001" << 8.2 << "20.5" << "" << true
                                    << s(u"会员卡余额不足，需补交现金12.30000019073元！") << 0.0;
    QTest::newRow("exactly the balance") << "A001" << 15.5 << "12.5" << "3.0" << true << QString() << 0.0;
    QTest::newRow("enough") << "A001" << 50.0 << "12.5" << "3.0" << true << QString() << 34.5;
    QTest::newRow("apostrophe") << "O'Brien" << 50.0 << "10.0" << "" << true << QString() << 40.0;
    // The card loses what the booking records, to the cent, never six digits of it.
    QTest::newRow("more than six digits") << "A001" << 20000.0 << "12345.67" << "" << true << QString()
                                          << 7654.33;
    QTest::newRow("capped at a balance of cents") << "A001" << 12345.67 << "20000" << "" << true
                                                  << s(u"会员卡余额不足，需补交现金7654.330078125元！") << 0.0;
    QTest::newRow("ticked without a card") << "A001" << 50.0 << "12.5" << "" << false
                                           << s(u"会员卡余额不足，需补交现金12.5元！") << 50.0;
}

void TestCheckout::cardSettlement()
{
    QFETCH(QString, card);
    QFETCH(double, balance);
    QFETCH(QString, fee);
    QFETCH(QString, goods);
    QFETCH(bool, pick);
    QFETCH(QString, message);
    QFETCH(double, balanceAfter);
    addCard(QStringLiteral("O"), 50);
    addCard(card, balance);
    open(6, fee, goods, QString());
    // Received as typed in full: the proposal carries six digits only.
    unit<QLineEdit>(u"编辑框_实收")->setText(toText(toNumber(fee) + toNumber(goods)));
    unit<QCheckBox>(u"选择框1")->setChecked(true);
    if (pick)
        unit<QComboBox>(u"组合框1")->setCurrentIndex(1);
    QTest::mouseClick(unit<QPushButton>(u"按钮_确定"), Qt::LeftButton);
    QVERIFY(!m_window->isVisible());
    if (message.isEmpty()) {
        QVERIFY(m_store->responder.boxes.isEmpty());
    } else {
        QCOMPARE(m_store->responder.boxes.size(), 1);
        QCOMPARE(m_store->responder.boxes[0].text, message);
        QCOMPARE(m_store->responder.boxes[0].title, s(u"余额不足"));
        QCOMPARE(m_store->responder.boxes[0].style, 0);
    }
    QVERIFY(qAbs(balanceOf(card.replace(u'\'', QStringLiteral("''"))) - balanceAfter) < 1e-6);
    QCOMPARE(balanceOf(QStringLiteral("O")), 50.0);
    QCOMPARE(incomeRows(), 1);
}

void TestCheckout::paymentMethods_data()
{
    QTest::addColumn<QString>("method");
    QTest::addColumn<QString>("reference");
    QTest::addColumn<QString>("fee");
    QTest::addColumn<QString>("deposit");
    QTest::addColumn<QString>("received");
    QTest::addColumn<double>("cardBalance"); // a card used when not negative
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("ledger"); // 现金/收款/支付方式/单号 of the 结帐 row; empty: refused
    QTest::newRow("cash with change") << s(u"现金") << "" << "12.5" << "10.0" << "10" << -1.0 << "" << s(u"10/0/现金/");
    QTest::newRow("wechat, exactly due") << s(u"微信") << "0815" << "12.5" << "10.0" << "2.5" << -1.0 << ""
                                         << s(u"0/2.5/微信/0815");
    QTest::newRow("wechat with change") << s(u"微信") << "" << "12.5" << "10.0" << "10" << -1.0
                                        << s(u"非现金支付不能找零，实收必须等于应收！") << "";
    QTest::newRow("alipay, deposit to give back") << s(u"支付宝") << "" << "5" << "10.0" << "-5" << -1.0
                                                  << s(u"没有要收的款，请选择现金！") << "";
    QTest::newRow("reference with a letter") << s(u"银行卡") << "12a" << "12.5" << "" << "12.5" << -1.0
                                             << s(u"单号只能是数字，最多24位！") << "";
    QTest::newRow("card short, rest by wechat") << s(u"微信") << "" << "20.5" << "" << "20.5" << 8.2
                                                << s(u"会员卡余额不足，需补交微信12.30元！") << s(u"0/12.3/微信/");
    // The deposit in the drawer pays its part: the scan takes only the rest.
    QTest::newRow("card short, deposit, rest by wechat") << s(u"微信") << "" << "20.5" << "10.0" << "10.5" << 8.2
                                                         << s(u"会员卡余额不足，需补交微信2.30元！") << s(u"0/2.3/微信/");
    QTest::newRow("full-width reference") << s(u"银行卡") << s(u"１２３") << "12.5" << "" << "12.5" << -1.0 << ""
                                          << s(u"0/12.5/银行卡/123");
}

// A method other than cash takes in exactly what is due, and nothing of it reaches the drawer.
void TestCheckout::paymentMethods()
{
    QFETCH(QString, method);
    QFETCH(QString, reference);
    QFETCH(QString, fee);
    QFETCH(QString, deposit);
    QFETCH(QString, received);
    QFETCH(double, cardBalance);
    QFETCH(QString, message);
    QFETCH(QString, ledger);
    if (cardBalance >= 0)
        addCard(QStringLiteral("A001"), cardBalance);
    open(4, fee, QString(), deposit);
    auto* methods = unit<QComboBox>(u"组合框_支付方式");
    QCOMPARE(methods->accessibleName(), s(u"支付方式"));
    QCOMPARE(methods->currentText(), s(u"现金")); // the default
    methods->setCurrentText(method);
    unit<QLineEdit>(u"编辑框_单号")->setText(reference);
    unit<QLineEdit>(u"编辑框_实收")->setText(received);
    if (cardBalance >= 0)
        unit<QComboBox>(u"组合框1")->setCurrentIndex(0);
    QTest::mouseClick(unit<QPushButton>(u"按钮_确定"), Qt::LeftButton);
    QCOMPARE(m_store->responder.boxes.size(), message.isEmpty() ? 0 : 1);
    if (!message.isEmpty())
        QCOMPARE(m_store->responder.boxes[0].text, message);
    QCOMPARE(m_window->isVisible(), ledger.isEmpty());
    QCOMPARE(incomeRows(), ledger.isEmpty() ? 0 : 1);
    if (!ledger.isEmpty())
        QCOMPARE(queryValue(m_store->dir.databasePath(),
                     s(u"select printf('%g', 现金) || '/' || printf('%g', 收款) || '/' || 支付方式 || '/' || 单号 from 操作记录 where 类型='结帐'"))
                     .toString(),
            ledger);
}

void TestCheckout::zeroIncomeBooksNothing()
{
    addCard(QStringLiteral("A001"), 50);
    open(2, QStringLiteral("0"), QStringLiteral("10.0"), QString());
    unit<QComboBox>(u"组合框1")->setCurrentIndex(0);
    unit<QLineEdit>(u"编辑框_实收")->setText(QStringLiteral("10"));
    QTest::mouseClick(unit<QPushButton>(u"按钮_确定"), Qt::LeftButton);
    QVERIFY(!m_window->isVisible());
    QCOMPARE(incomeRows(), 0);
    QCOMPARE(balanceOf(QStringLiteral("A001")), 50.0);
    QCOMPARE(m_grid->getCell(2, ConsoleColumn::Amount), QStringLiteral("0.0"));
}

void TestCheckout::failedDebitChangesNothing()
{
    addCard(QStringLiteral("A001"), 50);
    QVERIFY(runSql(m_store->dir.databasePath(),
        { s(u"create trigger 卡冻结 before update on 会员表 begin select raise(abort, '会员卡已冻结'); end") }));
    open(3, QStringLiteral("12.5"), QString(), QString());
    unit<QComboBox>(u"组合框1")->setCurrentIndex(0);
    QTest::mouseClick(unit<QPushButton>(u"按钮_确定"), Qt::LeftButton);
    QVERIFY(m_window->isVisible()); // the operator may try again or close it
    QCOMPARE(m_store->responder.boxes.size(), 1);
    QVERIFY(m_store->responder.boxes[0].text.contains(s(u"会员卡已冻结")));
    QCOMPARE(incomeRows(), 0);
    QCOMPARE(balanceOf(QStringLiteral("A001")), 50.0);
    QCOMPARE(m_grid->getCell(3, ConsoleColumn::Amount), QStringLiteral("12.5"));
    // Once the card is free again, the same window settles.
    QVERIFY(runSql(m_store->dir.databasePath(), { s(u"drop trigger 卡冻结") }));
    QTest::mouseClick(unit<QPushButton>(u"按钮_确定"), Qt::LeftButton);
    QVERIFY(!m_window->isVisible());
    QCOMPARE(incomeRows(), 1);
    QCOMPARE(balanceOf(QStringLiteral("A001")), 37.5);
}

void TestCheckout::failedIncomeRowChangesNothing()
{
    addCard(QStringLiteral("A001"), 50);
    QVERIFY(runSql(m_store->dir.databasePath(),
        { s(u"create trigger 只读 before insert on 收入记录 begin select raise(abort, '收入记录只读'); end") }));
    m_grid->setCell(3, ConsoleColumn::Minutes, 30);
    open(3, QStringLiteral("12.5"), QString(), QString());
    unit<QComboBox>(u"组合框1")->setCurrentIndex(0);
    QTest::mouseClick(unit<QPushButton>(u"按钮_确定"), Qt::LeftButton);
    QVERIFY(m_window->isVisible());
    QCOMPARE(m_store->responder.boxes.size(), 1);
    QVERIFY(m_store->responder.boxes[0].text.contains(s(u"收入记录只读")));
    QCOMPARE(balanceOf(QStringLiteral("A001")), 50.0);
    QCOMPARE(incomeRows(), 0);
}

void TestCheckout::withoutDatabaseNothingIsClaimed()
{
    m_store->db.closeDatabase();
    open(4, QStringLiteral("12.5"), QString(), QString());
    QCOMPARE(m_store->responder.boxes.size(), 1); // the card list could not be read
    QCOMPARE(unit<QComboBox>(u"组合框1")->count(), 0);
    QTest::mouseClick(unit<QPushButton>(u"按钮_确定"), Qt::LeftButton);
    QCOMPARE(m_store->responder.boxes.size(), 2);
    QVERIFY(m_window->isVisible());
    QCOMPARE(m_grid->getCell(4, ConsoleColumn::Amount), QStringLiteral("12.5"));
    m_window->reject();
    QVERIFY(!m_window->isVisible());
}

void TestCheckout::amountsBeyondASingleAreRefused_data()
{
    QTest::addColumn<QString>("received");
    QTest::addColumn<QString>("deposit");
    QTest::addColumn<QString>("retry"); // an amount the program can carry
    QTest::newRow("forty nines") << QString(40, u'9') << QString() << "12.5";
    QTest::newRow("just past the limit") << "100000" << QString() << "12.5";
    QTest::newRow("with the deposit") << "99999" << "99999" << "0";
}

void TestCheckout::amountsBeyondASingleAreRefused()
{
    QFETCH(QString, received);
    QFETCH(QString, deposit);
    QFETCH(QString, retry);
    addCard(QStringLiteral("A001"), 50);
    open(5, QStringLiteral("12.5"), QString(), deposit);
    unit<QComboBox>(u"组合框1")->setCurrentIndex(0);
    unit<QLineEdit>(u"编辑框_实收")->setText(received);
    QTest::mouseClick(unit<QPushButton>(u"按钮_确定"), Qt::LeftButton);
    QVERIFY(m_window->isVisible());
    QCOMPARE(m_store->responder.boxes.size(), 1);
    QCOMPARE(m_store->responder.boxes[0].text, s(u"金额必须在-99999.99到99999.99之间！"));
    QCOMPARE(incomeRows(), 0);
    QCOMPARE(balanceOf(QStringLiteral("A001")), 50.0);
    // A typed amount the program can carry settles in the same window.
    unit<QCheckBox>(u"选择框1")->setChecked(false);
    unit<QLineEdit>(u"编辑框_实收")->setText(retry);
    QTest::mouseClick(unit<QPushButton>(u"按钮_确定"), Qt::LeftButton);
    QVERIFY(!m_window->isVisible());
    QCOMPARE(incomeRows(), 1);
}

void TestCheckout::unreadableBalanceIsNotTaken()
{
    addCard(QStringLiteral("A001"), 50);
    open(3, QStringLiteral("12.5"), QString(), QString());
    QVERIFY(runSql(m_store->dir.databasePath(), { s(u"alter table 会员表 rename to 会员表旧") }));
    unit<QComboBox>(u"组合框1")->setCurrentIndex(0);
    QCOMPARE(m_store->responder.boxes.size(), 1); // the store's own words
    QVERIFY(m_store->responder.boxes[0].text.contains(s(u"会员表")));
    QCOMPARE(unit<QComboBox>(u"组合框1")->currentIndex(), -1);
    QVERIFY(!unit<QCheckBox>(u"选择框1")->isChecked());
    QVERIFY(unit<QLineEdit>(u"编辑框_余额")->text().isEmpty());
    QTest::mouseClick(unit<QPushButton>(u"按钮_确定"), Qt::LeftButton);
    QCOMPARE(m_store->responder.boxes.size(), 1); // settled in cash, no shortfall asked
    QCOMPARE(incomeRows(), 1);
}

QTEST_MAIN(TestCheckout)
#include "testcheckout.moc"
