#include "widgets/listview.h"
#include "goods/goodswindow.h"
#include "store/database.h"
#include "store/recordset.h"
#include "store/sqltext.h"
#include "support/guisupport.h"

#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

namespace {

QString s(const char16_t* t)
{
    return QString::fromUtf16(t);
}

} // namespace

class TestGoodsWindow : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void emptyCatalogue();
    void saving_data();
    void saving();
    void emptyBoxesAreRefused_data();
    void emptyBoxesAreRefused();
    void deleting_data();
    void deleting();
    void refusals_data();
    void refusals();

private:
    void open(const QStringList& goods);
    template <typename T> T* unit(const char16_t* name) { return m_window->findChild<T*>(s(name)); }
    ListView* list() { return unit<ListView>(u"超级列表框1"); }
    void pickRow(int row);
    void enter(const QString& name, const QString& price);
    // The list as "序号 名称 单价" lines, and the table as "名称 单价" lines in record order.
    QStringList listed();
    QStringList stored();

    std::unique_ptr<StoreFixture> m_store;
    std::unique_ptr<GoodsWindow> m_window;
};

void TestGoodsWindow::init()
{
    m_store = std::make_unique<StoreFixture>();
}

void TestGoodsWindow::cleanup()
{
    m_window.reset();
    m_store.reset();
}

// Each entry is "name=price".
void TestGoodsWindow::open(const QStringList& goods)
{
    QStringList inserts;
    for (const QString& g : goods) {
        const qsizetype eq = g.lastIndexOf(u'=');
        inserts << s(u"insert into 商品表 values (%1, %2)").arg(sqlText(g.left(eq)), g.mid(eq + 1));
    }
    QVERIFY(runSql(m_store->dir.databasePath(), inserts));
    m_window = std::make_unique<GoodsWindow>(m_store->db, m_store->rs);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
}

void TestGoodsWindow::pickRow(int row)
{
    const QRect rect = list()->visualItemRect(list()->topLevelItem(row));
    QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, rect.center());
}

void TestGoodsWindow::enter(const QString& name, const QString& price)
{
    unit<QLineEdit>(u"编辑框_商品名称")->setText(name);
    unit<QLineEdit>(u"编辑框_单价")->setText(price);
}

QStringList TestGoodsWindow::listed()
{
    QStringList rows;
    for (int r = 0; r < list()->rowCount(); ++r)
        rows << QStringList { list()->getListCell(r, 0), list()->getListCell(r, 1),
            list()->getListCell(r, 2) }
                    .join(u' ');
    return rows;
}

QStringList TestGoodsWindow::stored()
{
    RecordSet rs;
    rs.bind(&m_store->db);
    QStringList rows;
    if (!rs.openTable(s(u"商品表")))
        return rows;
    for (int i = rs.recordCount(); i > 0; --i) {
        QString name;
        float price = 0;
        rs.readText(u"商品名称", name);
        rs.readSingle(u"单价", price);
        rows << name + u' ' + toText(price);
        rs.moveNext();
    }
    return rows;
}

void TestGoodsWindow::emptyCatalogue()
{
    open({});
    QCOMPARE(list()->rowCount(), 0);
    QCOMPARE(list()->headerItem()->text(1), s(u"    商品名称"));
    QVERIFY(m_window->goodsIsNew());
    // The price box takes a decimal number only.
    QTest::keyClicks(unit<QLineEdit>(u"编辑框_单价"), QStringLiteral("1a2.5y"));
    QCOMPARE(unit<QLineEdit>(u"编辑框_单价")->text(), QStringLiteral("12.5"));
    // Deleting needs a picked row.
    QTest::mouseClick(unit<QPushButton>(u"按钮_删除"), Qt::LeftButton);
    QCOMPARE(m_store->responder.boxes.size(), 1);
    QCOMPARE(m_store->responder.boxes[0].text, s(u"请选择要删除的商品！"));
    QCOMPARE(m_store->responder.boxes[0].style, 0);
    QCOMPARE(m_store->responder.boxes[0].title, s(u"信息："));
}

void TestGoodsWindow::saving_data()
{
    QTest::addColumn<QStringList>("goods");
    QTest::addColumn<int>("pick"); // -1: none, a new item
    QTest::addColumn<bool>("startNew");
    QTest::addColumn<QString>("name"); // "" after a pick: the name as picked
    QTest::addColumn<QString>("price");
    QTest::addColumn<QStringList>("after");
    const QStringList two { s(u"可乐=2.5"), s(u"雪碧=3") };
    const QString quoted = QStringLiteral("x' or ''='");
    QTest::newRow("new item") << two << -1 << false << s(u"芬达") << "2.5"
                              << QStringList { s(u"可乐 2.5"), s(u"雪碧 3"), s(u"芬达 2.5") };
    QTest::newRow("new namesake") << two << -1 << false << s(u"雪碧") << "3.5"
                                  << QStringList { s(u"可乐 2.5"), s(u"雪碧 3"), s(u"雪碧 3.5") };
    QTest::newRow("new quoted name") << two << -1 << false << quoted << "1"
                                     << QStringList { s(u"可乐 2.5"), s(u"雪碧 3"),
                                            quoted + QStringLiteral(" 1") };
    QTest::newRow("new price") << two << 0 << false << QString() << "3"
                               << QStringList { s(u"可乐 3"), s(u"雪碧 3") };
    QTest::newRow("renamed") << two << 0 << false << s(u"芬达") << "2.5"
                             << QStringList { s(u"芬达 2.5"), s(u"雪碧 3") };
    QTest::newRow("second namesake changes the first")
        << QStringList { s(u"可乐=2.5"), s(u"可乐=2.8") } << 1 << false << QString() << "4"
        << QStringList { s(u"可乐 4"), s(u"可乐 2.8") };
    QTest::newRow("quoted name changed")
        << QStringList { s(u"雪碧=3"), quoted + QStringLiteral("=1") } << 1 << false << QString() << "2"
        << QStringList { s(u"雪碧 3"), quoted + QStringLiteral(" 2") };
    QTest::newRow("新增 after a pick adds") << two << 1 << true << s(u"雪碧") << "3"
                                            << QStringList { s(u"可乐 2.5"), s(u"雪碧 3"), s(u"雪碧 3") };
}

void TestGoodsWindow::saving()
{
    QFETCH(QStringList, goods);
    QFETCH(int, pick);
    QFETCH(bool, startNew);
    QFETCH(QString, name);
    QFETCH(QString, price);
    QFETCH(QStringList, after);
    open(goods);
    auto* nameBox = unit<QLineEdit>(u"编辑框_商品名称");
    if (pick >= 0) {
        pickRow(pick);
        QVERIFY(!m_window->goodsIsNew());
        QCOMPARE(nameBox->text(), list()->getListCell(pick, 1));
        QCOMPARE(unit<QLineEdit>(u"编辑框_单价")->text(), list()->getListCell(pick, 2));
    }
    if (startNew) {
        QTest::mouseClick(unit<QPushButton>(u"按钮_新增"), Qt::LeftButton);
        QVERIFY(m_window->goodsIsNew());
        QCOMPARE(nameBox->text(), QString());
    }
    enter(name.isEmpty() ? nameBox->text() : name, price);
    QTest::mouseClick(unit<QPushButton>(u"按钮_保存"), Qt::LeftButton);
    QVERIFY(m_store->responder.boxes.isEmpty());
    QCOMPARE(stored(), after);
    const int row = pick >= 0 && !startNew ? pick : int(after.size()) - 1;
    QCOMPARE(listed()[row], QStringLiteral("%1 %2").arg(row + 1).arg(after[row]));
    QCOMPARE(nameBox->text(), QString());
    QVERIFY(m_window->goodsIsNew());
}

void TestGoodsWindow::emptyBoxesAreRefused_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("price");
    QTest::newRow("no name") << QString() << "2.5";
    QTest::newRow("no price") << s(u"可乐") << "";
}

void TestGoodsWindow::emptyBoxesAreRefused()
{
    QFETCH(QString, name);
    QFETCH(QString, price);
    open({ s(u"雪碧=3") });
    enter(name, price);
    QTest::mouseClick(unit<QPushButton>(u"按钮_保存"), Qt::LeftButton);
    QCOMPARE(m_store->responder.boxes.size(), 1);
    QCOMPARE(m_store->responder.boxes[0].text, s(u"商品名称或单价不能为空！"));
    QCOMPARE(stored(), QStringList { s(u"雪碧 3") });
    QCOMPARE(unit<QLineEdit>(u"编辑框_商品名称")->text(), name); // kept, to be completed
}

void TestGoodsWindow::deleting_data()
{
    QTest::addColumn<QStringList>("goods");
    QTest::addColumn<int>("row");
    QTest::addColumn<QStringList>("listedAfter");
    QTest::newRow("one of two") << QStringList { s(u"可乐=2.5"), s(u"雪碧=3") } << 0
                                << QStringList { s(u"1 雪碧 3") };
    QTest::newRow("namesakes go together") << QStringList { s(u"可乐=2.5"), s(u"雪碧=3"), s(u"可乐=2.8") }
                                           << 2 << QStringList { s(u"1 雪碧 3") };
    QTest::newRow("a quoted name removes only itself") << QStringList { QStringLiteral("x' or ''='=1"),
        s(u"雪碧=3") } << 0 << QStringList { s(u"1 雪碧 3") };
}

void TestGoodsWindow::deleting()
{
    QFETCH(QStringList, goods);
    QFETCH(int, row);
    QFETCH(QStringList, listedAfter);
    open(goods);
    pickRow(row);
    QTest::mouseClick(unit<QPushButton>(u"按钮_删除"), Qt::LeftButton);
    QVERIFY(m_store->responder.boxes.isEmpty()); // no question asked
    QCOMPARE(listed(), listedAfter);
    QCOMPARE(stored().size(), listedAfter.size());
    QVERIFY(m_window->goodsIsNew());
}

void TestGoodsWindow::refusals_data()
{
    QTest::addColumn<QString>("trigger"); // the store's refusal, when not empty
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("price");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("shown"); // the one box's text contains this
    const QString frozen = s(u"create trigger 冻结 before %1 on 商品表 begin select raise(abort, '商品表已冻结'); end");
    QTest::newRow("price too large") << QString() << s(u"可乐") << "100000" << "按钮_保存"
                                     << s(u"金额必须在-99999.99到99999.99之间！");
    QTest::newRow("half a character") << QString() << QString(QChar(0xDC01)) << "2" << "按钮_保存"
                                      << s(u"无法保存的字符");
    QTest::newRow("negative price") << QString() << s(u"可乐") << "-2" << "按钮_保存" << s(u"单价不能为负数！");
    QTest::newRow("U+0000 in the name") << QString() << QString(QChar(0)) + s(u"可乐") << "2" << "按钮_保存"
                                        << s(u"无法保存的字符");
    QTest::newRow("store refuses a new item") << frozen.arg(QStringLiteral("insert")) << s(u"可乐") << "2"
                                              << "按钮_保存" << s(u"商品表已冻结");
    QTest::newRow("store refuses the delete") << frozen.arg(QStringLiteral("delete")) << s(u"雪碧") << "3"
                                              << "按钮_删除" << s(u"商品表已冻结");
}

void TestGoodsWindow::refusals()
{
    QFETCH(QString, trigger);
    QFETCH(QString, name);
    QFETCH(QString, price);
    QFETCH(QString, button);
    QFETCH(QString, shown);
    open({ s(u"雪碧=3") });
    QVERIFY(m_window);
    if (!trigger.isEmpty())
        QVERIFY(runSql(m_store->dir.databasePath(), { trigger }));
    if (button == u"按钮_删除")
        pickRow(0);
    enter(name, price);
    QTest::mouseClick(m_window->findChild<QPushButton*>(button), Qt::LeftButton);
    QCOMPARE(m_store->responder.boxes.size(), 1);
    QVERIFY2(m_store->responder.boxes[0].text.contains(shown), qPrintable(m_store->responder.boxes[0].text));
    QCOMPARE(stored(), QStringList { s(u"雪碧 3") });
    // Nothing was done, so nothing typed is lost.
    QCOMPARE(unit<QLineEdit>(u"编辑框_商品名称")->text(), name);
    QCOMPARE(unit<QLineEdit>(u"编辑框_单价")->text(), price);
}

QTEST_MAIN(TestGoodsWindow)
#include "testgoodswindow.moc"
