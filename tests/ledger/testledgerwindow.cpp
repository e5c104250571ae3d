#include "common/seams.h"
#include "ledger/ledgerwindow.h"
#include "ledger/ledgerview.h"
#include "store/goodstable.h"
#include "store/ledgertable.h"
#include "store/membertable.h"
#include "support/guisupport.h"
#include "widgets/egrid.h"

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

namespace {

QString s(const char16_t* t) { return QString::fromUtf16(t); }

} // namespace

class TestLedgerWindow : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void showsTodayByOperatorAndKind();
    void checksTheChain();
    void aSecondPressStopsTheCheck();
    void exportsTheRowsShown();
    void filtersByPaymentMethod();

private:
    template <typename T> T* unit(const char16_t* name) { return m_window->findChild<T*>(s(name)); }
    QStringList column(int c);

    std::unique_ptr<TestClock> m_clock;
    std::unique_ptr<StoreFixture> m_store;
    std::unique_ptr<LedgerWindow> m_window;
};

void TestLedgerWindow::init()
{
    m_clock = std::make_unique<TestClock>(QDateTime(QDate(2026, 12, 7), QTime(22, 0, 0)));
    m_store = std::make_unique<StoreFixture>();
    QVERIFY(runSql(m_store->dir.databasePath(), { s(u"insert into 会员表 values ('A1', 100, 0, 30)") }));
    QString error;
    QVERIFY(topUpCard(m_store->db, QStringLiteral("A1"), 20, &error)); // yesterday
    m_clock->set(QDateTime(QDate(2026, 12, 8), QTime(9, 5, 0)));
    QVERIFY(topUpCard(m_store->db, QStringLiteral("A1"), 50, &error));
    QVERIFY(addGoods(m_store->rs, { s(u"可乐,大瓶"), 2.5f }, &error));
    QVERIFY(clearCard(m_store->db, QStringLiteral("A1"), &error));
    m_window = std::make_unique<LedgerWindow>(m_store->db);
    m_window->show();
}

void TestLedgerWindow::cleanup()
{
    m_window.reset();
    m_store.reset();
    m_clock.reset();
    seams::setSaveFileChooser({});
}

QStringList TestLedgerWindow::column(int c)
{
    QStringList texts;
    const EGridModel& cells = m_window->grid()->cells();
    for (int r = 1; r < cells.gridRowCount(); ++r)
        texts << cells.getCell(r, c);
    return texts;
}

void TestLedgerWindow::showsTodayByOperatorAndKind()
{
    QCOMPARE(m_window->windowTitle(), s(u"操作记录"));
    QCOMPARE(m_window->pos(), QPoint(50, 50));
    QCOMPARE(column(0), QStringList({ QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("4") })); // today's rows only
    QCOMPARE(column(4), QStringList({ s(u"充值"), s(u"新增商品"), s(u"清零") }));
    QCOMPARE(m_window->grid()->cells().getCell(1, 1), QStringLiteral("2026-12-08 09:05:00"));
    QCOMPARE(unit<QLabel>(u"标签_现金合计")->text(), s(u"现金合计：50.00"));
    QCOMPARE(unit<QLabel>(u"标签_卡额合计")->text(), s(u"卡额合计：-50.00")); // +50 topped up, 100 cleared
    auto* kinds = unit<QComboBox>(u"组合框_类型");
    QCOMPARE(kinds->itemText(0), s(u"全部"));
    QCOMPARE(kinds->accessibleName(), s(u"类型"));
    kinds->setCurrentIndex(kinds->findText(s(u"充值")));
    QTest::mouseClick(unit<QPushButton>(u"按钮_查询"), Qt::LeftButton);
    QCOMPARE(column(0), QStringList({ QStringLiteral("2") }));
    QVERIFY(m_store->responder.boxes.isEmpty());
}

void TestLedgerWindow::checksTheChain()
{
    QTest::mouseClick(unit<QPushButton>(u"按钮_核对"), Qt::LeftButton);
    QTRY_COMPARE(m_store->responder.boxes.size(), 1);
    QCOMPARE(m_store->responder.boxes[0].title, s(u"核对"));
    QCOMPARE(m_store->responder.boxes[0].text, s(u"记录完整，共4条。"));
    const QString newest
        = queryValue(m_store->dir.databasePath(), s(u"select 校验 from 操作记录 where 序号=4")).toString();
    QCOMPARE(unit<QLabel>(u"标签_校验")->text(), s(u"最新校验：") + newest.left(12));
    QVERIFY(runSql(m_store->dir.databasePath(),
        { s(u"drop trigger 操作记录_不改"), s(u"update 操作记录 set 现金=500 where 序号=2") }));
    QTest::mouseClick(unit<QPushButton>(u"按钮_核对"), Qt::LeftButton);
    QTRY_COMPARE(m_store->responder.boxes.size(), 2);
    QCOMPARE(m_store->responder.boxes[1].text, s(u"第2条记录被改动、删除或插入！"));
}

void TestLedgerWindow::aSecondPressStopsTheCheck()
{
    QVERIFY(runSql(m_store->dir.databasePath(),
        { s(u"with recursive n(i) as (select 5 union all select i+1 from n where i<300000) insert into 操作记录 "
            u"(序号, 时间, 类型, 校验) select i, '2026-12-08 12:00:00', '充值', 'x' from n") }));
    auto* button = unit<QPushButton>(u"按钮_核对");
    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(button->text(), s(u"停止核对"));
    QVERIFY(m_window->isChecking());
    QTest::mouseClick(button, Qt::LeftButton);
    QTRY_VERIFY(!m_window->isChecking());
    QVERIFY(m_window->lastCheckStopped());
    QCOMPARE(button->text(), s(u"核对"));
    QVERIFY(m_store->responder.boxes.isEmpty()); // stopped by the operator: no verdict
}

void TestLedgerWindow::exportsTheRowsShown()
{
    const QString path = m_store->dir.file(QStringLiteral("记录.csv"));
    seams::setSaveFileChooser([&](const QString&, const QString&) { return path; });
    QTest::mouseClick(unit<QPushButton>(u"按钮_导出"), Qt::LeftButton);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    QVERIFY(bytes.startsWith("\xEF\xBB\xBF"));
    const QStringList lines = QString::fromUtf8(bytes.mid(3)).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 4);
    QCOMPARE(lines[0], s(u"序号,时间,操作员,授权店长,类型,机号,会员编号,商品名称,金额,现金,卡额,之前,之后,说明,支付方式,收款,单号,赠送"));
    QCOMPARE(lines[1], s(u"2,2026-12-08 09:05:00,,,充值,,A1,,50.00,50.00,50.00,50,100,,现金,0.00,,0.00"));
    QVERIFY(lines[2].contains(s(u",\"可乐,大瓶\",2.50,"))); // a comma inside a name is quoted
    QCOMPARE(lines[3], s(u"4,2026-12-08 09:05:00,,,清零,,A1,,0.00,0.00,-100.00,100,0,,,0.00,,0.00"));
    // A file that cannot be written is said, and nothing is left behind.
    const QString nowhere = m_store->dir.file(QStringLiteral("没有的目录/记录.csv"));
    seams::setSaveFileChooser([&](const QString&, const QString&) { return nowhere; });
    QTest::mouseClick(unit<QPushButton>(u"按钮_导出"), Qt::LeftButton);
    QCOMPARE(m_store->responder.boxes.size(), 1);
    QVERIFY(m_store->responder.boxes[0].text.contains(s(u"无法写入文件")));
    QVERIFY(!QFile::exists(nowhere));
}

// 现金 takes the cash rows written before methods were kept as well.
void TestLedgerWindow::filtersByPaymentMethod()
{
    QString error;
    QVERIFY(topUpCard(m_store->db, QStringLiteral("A1"), 10, &error, { s(u"微信"), QStringLiteral("31"), 0 }));
    LedgerEntry older = ledgerEntry(m_store->db, s(u"商品现款"));
    older.cash = 5;
    QVERIFY(appendLedger(m_store->db, older, &error));
    auto* methods = unit<QComboBox>(u"组合框_支付方式");
    QCOMPARE(methods->accessibleName(), s(u"支付方式"));
    for (const auto& [method, numbers] : { std::pair { u"微信", QStringList { QStringLiteral("5") } },
             { u"现金", QStringList { QStringLiteral("2"), QStringLiteral("6") } },
             { u"全部", QStringList { QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("4"), QStringLiteral("5"),
                           QStringLiteral("6") } } }) {
        methods->setCurrentText(s(method));
        QTest::mouseClick(unit<QPushButton>(u"按钮_查询"), Qt::LeftButton);
        QCOMPARE(column(0), numbers);
    }
    QCOMPARE(column(LedgerColumn::Method).value(3), s(u"微信"));
    QCOMPARE(column(LedgerColumn::Received).value(3), QStringLiteral("10.00"));
    QCOMPARE(column(LedgerColumn::Reference).value(3), QStringLiteral("31"));
    QCOMPARE(unit<QLabel>(u"标签_现金合计")->text(), s(u"现金合计：55.00")); // the scanned 10 is not cash
}

QTEST_MAIN(TestLedgerWindow)
#include "testledgerwindow.moc"
