#include "common/egridmodel.h"
#include "widgets/datepicker.h"
#include "widgets/listview.h"
#include "widgets/partstatusbar.h"
#include "widgets/windows.h"
#include "support/guisupport.h"

#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

class TestWindows : public QObject {
    Q_OBJECT
private slots:
    void comboItems();
    void listView();
    void statusBarParts();
    void copiedButtonsKeepTheTemplate();
    void nonModalWindowsOpenOnce();
    void modalWindowsBlockUntilClosed();
    void datePickerOpensOnNow();
    void dateColumnsShowDays();
};

void TestWindows::comboItems()
{
    QComboBox box;
    QCOMPARE(getComboItem(&box, 0), QString());
    QCOMPARE(addComboItem(&box, QStringLiteral("A001")), 0);
    QCOMPARE(addComboItem(&box, QStringLiteral("A002"), 7), 1);
    QCOMPARE(getComboItem(&box, 1), QStringLiteral("A002"));
    QCOMPARE(getComboItem(&box, -1), QString());
    QCOMPARE(getComboItem(&box, 2), QString());
    QCOMPARE(addComboItem(nullptr, QStringLiteral("x")), -1);
}

void TestWindows::listView()
{
    ListView list;
    list.setColumns({ QStringLiteral("会员编号"), QStringLiteral("余额") }, { 100, 80 });
    QCOMPARE(list.selectedRow(), -1);
    QSignalSpy rowChanged(&list, &ListView::currentRowChanged);
    QCOMPARE(list.appendRow(), 0);
    QCOMPARE(list.appendRow(), 1);
    list.setListCell(1, 1, QStringLiteral("12.5"));
    list.setListCell(5, 1, QStringLiteral("ignored"));
    QCOMPARE(list.getListCell(1, 1), QStringLiteral("12.5"));
    QCOMPARE(list.getListCell(1, 0), QString());
    QCOMPARE(list.getListCell(9, 9), QString());
    list.setCurrentItem(list.topLevelItem(1));
    QCOMPARE(list.selectedRow(), 1);
    QCOMPARE(rowChanged.last().at(0).toInt(), 1);
    list.clearRows();
    QCOMPARE(list.rowCount(), 0);
    QCOMPARE(list.selectedRow(), -1);
}

void TestWindows::statusBarParts()
{
    PartStatusBar bar;
    bar.setObjectName(QStringLiteral("状态条1"));
    bar.setParts({ 70, 50, -1 });
    bar.setStatusText(1, QStringLiteral("3"));
    bar.setStatusText(7, QStringLiteral("nowhere"));
    QCOMPARE(bar.statusText(1), QStringLiteral("3"));
    QCOMPARE(bar.statusText(7), QString());
    QCOMPARE(bar.part(0)->width(), 70);
    QCOMPARE(bar.part(1)->objectName(), QStringLiteral("状态条1_1"));
}

void TestWindows::copiedButtonsKeepTheTemplate()
{
    QWidget window;
    auto* tmpl = new QPushButton(QStringLiteral("1号机开始"), &window);
    tmpl->setGeometry(633, 46, 70, 20);
    QFont bold = tmpl->font();
    bold.setBold(true);
    tmpl->setFont(bold);
    setTag(tmpl, QStringLiteral("t"));
    QPushButton* copies[2];
    for (int i = 0; i < 2; ++i)
        copies[i] = copyControl(tmpl);
    QCOMPARE(copies[0]->geometry(), tmpl->geometry());
    QCOMPARE(copies[0]->text(), QStringLiteral("1号机开始"));
    QVERIFY(copies[0]->font().bold());
    QCOMPARE(copies[0]->parentWidget(), &window);
    QCOMPARE(tagOf(copies[1]), QStringLiteral("t"));
}

void TestWindows::nonModalWindowsOpenOnce()
{
    QWidget console;
    QPointer<QWidget> slot;
    int made = 0;
    auto make = [&] {
        ++made;
        return new QWidget;
    };
    QWidget* first = showOnce(slot, &console, make);
    QWidget* second = showOnce(slot, &console, make);
    QCOMPARE(first, second);
    QCOMPARE(made, 1);
    QVERIFY(first->isVisible());
    QCOMPARE(first->parentWidget(), &console);
    first->close(); // destroyed on close
    QTRY_VERIFY(slot.isNull());
    showOnce(slot, &console, make);
    QCOMPARE(made, 2);
}

void TestWindows::modalWindowsBlockUntilClosed()
{
    QWidget parent;
    parent.show();
    auto* window = new QWidget;
    bool sawModal = false;
    whenModalShown([&](QWidget* modal) {
        sawModal = modal == window;
        closeWindow(modal);
    });
    QVERIFY(loadWindow(window, &parent, true));
    QVERIFY(sawModal);
    QVERIFY(!window->isVisible());
    delete window;
}

void TestWindows::datePickerOpensOnNow()
{
    TestClock clock(QDateTime(QDate(2026, 12, 7), QTime(14, 5, 9)));
    DatePicker picker;
    QCOMPARE(picker.value(), makeDate(2026, 12, 7, 14, 5, 9));
    picker.setValue(makeDate(2013, 7, 5));
    QCOMPARE(picker.date(), QDate(2013, 7, 5));
}

void TestWindows::dateColumnsShowDays()
{
    EGridModel g;
    g.setGridColumnCount(2);
    g.setGridRowCount(2);
    g.setColumnType(1, EGridModel::DateColumn);
    g.setCell(1, 1, makeDate(2013, 7, 5, 10, 0, 0).days);
    QCOMPARE(g.displayText(1, 1), QStringLiteral("2013-07-05"));
    g.setCell(1, 1, QStringLiteral("昨天"));
    QCOMPARE(g.displayText(1, 1), QStringLiteral("昨天"));
}

QTEST_MAIN(TestWindows)
#include "testwindows.moc"
