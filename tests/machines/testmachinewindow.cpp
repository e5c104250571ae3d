#include "common/seams.h"
#include "machines/machinewindow.h"
#include "support/guisupport.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QtTest>

namespace {

QString s(const char16_t* t) { return QString::fromUtf16(t); }

template <typename T> T* child(QWidget* w, const char16_t* name)
{
    T* c = w->findChild<T*>(s(name));
    if (!c)
        qFatal("no control %s", qPrintable(s(name)));
    return c;
}

void click(QWidget* w, const char16_t* button) { QTest::mouseClick(child<QPushButton>(w, button), Qt::LeftButton); }
void type(QWidget* w, const char16_t* box, const QString& text) { child<QLineEdit>(w, box)->setText(text); }

// Picks rows as the operator does: a click with Ctrl held on each machine's row.
void pickRows(QTreeWidget* list, const QList<int>& numbers)
{
    list->clearSelection();
    for (int n : numbers) {
        QTreeWidgetItem* item = list->findItems(QString::number(n), Qt::MatchExactly).value(0);
        QVERIFY(item);
        list->scrollToItem(item);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::ControlModifier, list->visualItemRect(item).center());
    }
}

} // namespace

class TestMachineWindow : public QObject {
    Q_OBJECT
private slots:
    void managingMachines();
};

void TestMachineWindow::managingMachines()
{
    StoreFixture store;
    MachineWindow window(store.db, [](int n) { return n == 3; }); // 3 is timing
    window.show();
    auto* list = child<QTreeWidget>(&window, u"超级列表框1");
    auto* zones = child<QComboBox>(&window, u"组合框_区域");
    auto* colours = child<QComboBox>(&window, u"组合框_颜色");
    const auto said = [&] { return store.responder.boxes.isEmpty() ? QString() : store.responder.boxes.last().text; };
    QCOMPARE(list->topLevelItemCount(), 15);

    click(&window, u"按钮_删除");
    QCOMPARE(said(), s(u"请先选择机器！"));
    type(&window, u"编辑框_从", s(u"x"));
    click(&window, u"按钮_添加");
    QCOMPARE(said(), s(u"机号必须在1到500之间！"));
    QCOMPARE(store.responder.boxes.last().title, s(u"机器设置"));
    QCOMPARE(store.responder.boxes.last().style, MbOk | MbExclamation);
    QVERIFY(!window.changed());

    type(&window, u"编辑框_从", s(u"16"));
    type(&window, u"编辑框_到", s(u"18"));
    click(&window, u"按钮_添加");
    QCOMPARE(list->topLevelItemCount(), 18);
    QVERIFY(window.changed());
    pickRows(list, { 16, 3 });
    click(&window, u"按钮_删除");
    QCOMPARE(said(), s(u"3号机正在计时或等待结帐，不能删除！"));
    QCOMPARE(list->topLevelItemCount(), 18);
    pickRows(list, { 16 });
    click(&window, u"按钮_删除");
    QCOMPARE(list->topLevelItem(15)->text(0), s(u"17"));

    type(&window, u"编辑框_区域名称", s(u"VIP"));
    colours->setCurrentText(s(u"浅黄"));
    click(&window, u"按钮_新增区域");
    QCOMPARE(zones->currentText(), s(u"VIP")); // the new zone, ready to be filled
    pickRows(list, { 17, 18 });
    click(&window, u"按钮_设为");
    QCOMPARE(list->topLevelItem(16)->text(2), s(u"VIP"));
    QCOMPARE(list->topLevelItem(15)->background(0).color(), QColor(s(u"#fff3c4")));
    QCOMPARE(list->selectedItems().size(), 2); // still picked once the list is read again
    click(&window, u"按钮_删除区域");
    QCOMPARE(said(), s(u"区域中还有机器，不能删除！"));
    click(&window, u"按钮_改名");
    QCOMPARE(said(), s(u"请选择一台机器！"));
    pickRows(list, { 17 });
    type(&window, u"编辑框_名称", s(u"吧台"));
    click(&window, u"按钮_改名");
    QCOMPARE(list->topLevelItem(15)->text(1), s(u"吧台"));

    type(&window, u"编辑框_区域名称", s(u"包间"));
    colours->setCurrentText(s(u"无"));
    click(&window, u"按钮_新增区域");
    click(&window, u"按钮_删除区域");
    QCOMPARE(zones->count(), 2);
    zones->setCurrentText(s(u"VIP"));
    QCOMPARE(colours->currentText(), s(u"浅黄")); // the zone's own colour
    colours->setCurrentText(s(u"浅绿"));
    click(&window, u"按钮_设颜色");
    QCOMPARE(list->topLevelItem(16)->background(0).color(), QColor(s(u"#d8f5d0")));
    QCOMPARE(store.responder.boxes.size(), 5); // the refusals above, nothing more
    QCOMPARE(queryValue(store.dir.databasePath(), s(u"select group_concat(类型||说明, ';') from 操作记录")).toString(),
        s(u"机器添加;机器删除;区域添加，颜色#fff3c4;机器设区域;机器改名;区域添加;区域删除;区域设颜色：VIP"));
}

QTEST_MAIN(TestMachineWindow)
#include "testmachinewindow.moc"
