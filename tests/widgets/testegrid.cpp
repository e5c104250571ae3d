#include "counter/consolegrid.h"
#include "counter/counterstate.h"
#include "widgets/egrid.h"
#include "support/testsupport.h"

#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QSignalSpy>
#include <QtTest>

class TestEgrid : public QObject {
    Q_OBJECT
private slots:
    void init();
    void typingIntoMoneyCellsFollowsTheKeyFilter_data();
    void typingIntoMoneyCellsFollowsTheKeyFilter();
    void readOnlyCellsTakeNoTyping();
    void dropDownPicksRaiseListItemChosenOncePerText();
    void onePickIsOneChoiceAndOneChange_data();
    void onePickIsOneChoiceAndOneChange();
    void cursorAndDoubleClick();
    void layoutFollowsTheModel();

private:
    QLineEdit* typeInto(EGrid& grid, int row, int column, const QString& keys);
    std::unique_ptr<EGrid> m_grid;
};

void TestEgrid::init()
{
    m_grid = std::make_unique<EGrid>();
    setupGrid(m_grid->cells(), kMachines);
    m_grid->resize(630, 392);
    m_grid->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_grid.get()));
}

QLineEdit* TestEgrid::typeInto(EGrid& grid, int row, int column, const QString& keys)
{
    grid.setCurrentIndex(grid.model()->index(row, column));
    grid.setFocus();
    QTest::keyClicks(&grid, keys.left(1));
    auto* edit = grid.findChild<QLineEdit*>();
    if (edit && keys.size() > 1)
        QTest::keyClicks(edit, keys.mid(1));
    return edit;
}

void TestEgrid::typingIntoMoneyCellsFollowsTheKeyFilter_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<int>("beeps");
    QTest::newRow("deposit 50") << 8 << "50" << "50.0" << 0;
    QTest::newRow("fixed time 30") << 6 << "30" << "30" << 0;
    QTest::newRow("letters refused") << 8 << "5a0b" << "50.0" << 2;
    QTest::newRow("second point ignored") << 8 << "1.2.6" << "1.3" << 0;
    QTest::newRow("minus only first") << 8 << "-5-" << "-5.0" << 1;
}

void TestEgrid::typingIntoMoneyCellsFollowsTheKeyFilter()
{
    QFETCH(int, column);
    QFETCH(QString, keys);
    QFETCH(QString, stored);
    QFETCH(int, beeps);
    ScriptedResponder responder;
    QSignalSpy changed(m_grid.get(), &EGrid::cellChanged);
    QLineEdit* edit = typeInto(*m_grid, 3, column, keys);
    QVERIFY(edit);
    QTest::keyClick(edit, Qt::Key_Return);
    QTRY_COMPARE(m_grid->cells().getCell(3, column), stored);
    QCOMPARE(responder.beeps, beeps);
    QCOMPARE(changed.count(), 1);
    if (column == 8)
        QCOMPARE(m_grid->model()->index(3, 8).data().toString(), QStringLiteral("￥") + stored);
}

void TestEgrid::readOnlyCellsTakeNoTyping()
{
    QSignalSpy changed(m_grid.get(), &EGrid::cellChanged);
    QVERIFY(!typeInto(*m_grid, 3, 5, QStringLiteral("9")));
    QVERIFY(!typeInto(*m_grid, 0, 8, QStringLiteral("9")));
    QCOMPARE(m_grid->cells().getCell(3, 5), QString());
    QCOMPARE(changed.count(), 0);
}

void TestEgrid::dropDownPicksRaiseListItemChosenOncePerText()
{
    EGridModel& cells = m_grid->cells();
    cells.setColumnType(1, EGridModel::PickColumn);
    cells.setReadOnly(2, 1, 2, 1, false);
    cells.addItem(1, QStringLiteral("可乐"));
    cells.addItem(1, QStringLiteral("雪碧"));
    QSignalSpy chosen(m_grid.get(), &EGrid::listItemChosen);
    for (int pick : { 1, 1, 0 }) {
        const QModelIndex index = m_grid->model()->index(2, 1);
        m_grid->setCurrentIndex(index);
        m_grid->edit(index);
        auto* box = m_grid->findChild<QComboBox*>();
        QVERIFY(box);
        QVERIFY(!box->isEditable());
        QCOMPARE(box->count(), 2);
        box->setCurrentIndex(pick);
        emit box->activated(pick);
        QCOMPARE(cells.getCell(2, 1), box->itemText(pick));
        m_grid->closePersistentEditor(index);
        m_grid->setFocus();
        QTest::keyClick(box, Qt::Key_Return);
        QTRY_VERIFY(!m_grid->findChild<QComboBox*>());
    }
    QCOMPARE(chosen.count(), 2);
    QCOMPARE(chosen.at(0).at(2).toString(), QStringLiteral("雪碧"));
    QCOMPARE(chosen.at(1).at(2).toString(), QStringLiteral("可乐"));
}

void TestEgrid::onePickIsOneChoiceAndOneChange_data()
{
    QTest::addColumn<bool>("typed");
    QTest::addColumn<QString>("text");
    QTest::newRow("picked from the list") << false << QStringLiteral("雪碧");
    QTest::newRow("an item's name typed") << true << QStringLiteral("雪碧");
    QTest::newRow("another name typed") << true << QStringLiteral("芬达");
}

void TestEgrid::onePickIsOneChoiceAndOneChange()
{
    QFETCH(bool, typed);
    QFETCH(QString, text);
    EGridModel& cells = m_grid->cells();
    cells.setColumnType(1, EGridModel::DropDownColumn);
    cells.setReadOnly(2, 1, 2, 1, false);
    cells.addItem(1, QStringLiteral("可乐"));
    cells.addItem(1, QStringLiteral("雪碧"));
    QStringList events;
    connect(m_grid.get(), &EGrid::listItemChosen, this, [&](int row, int column, const QString& t) {
        events << QStringLiteral("chosen %1 %2 %3").arg(row).arg(column).arg(t);
    });
    // When the choice is announced the cell already holds it; the change follows the choice.
    connect(m_grid.get(), &EGrid::cellChanged, this,
        [&] { events << QStringLiteral("changed ") + cells.getCell(2, 1); });
    const QModelIndex index = m_grid->model()->index(2, 1);
    m_grid->setCurrentIndex(index);
    m_grid->edit(index);
    auto* box = m_grid->findChild<QComboBox*>();
    QVERIFY(box);
    if (typed) {
        box->lineEdit()->setText(text); // as an input method enters it
        QTest::keyClick(box->lineEdit(), Qt::Key_Return);
    } else {
        box->showPopup();
        QTRY_VERIFY(box->view()->isVisible());
        box->view()->setCurrentIndex(box->model()->index(1, 0));
        QTest::keyClick(box->view(), Qt::Key_Return);
    }
    // Leaving the cell afterwards stores nothing more.
    QTest::mouseClick(
        m_grid->viewport(), Qt::LeftButton, {}, m_grid->visualRect(m_grid->model()->index(5, 6)).center());
    QTRY_VERIFY(!m_grid->findChild<QComboBox*>());
    QCOMPARE(cells.getCell(2, 1), text);
    const QString changed = QStringLiteral("changed ") + text;
    const QStringList expected
        = typed ? QStringList { changed } : QStringList { QStringLiteral("chosen 2 1 ") + text, changed };
    QCOMPARE(events, expected);
    // Editing the cell again starts from its text, listed or not.
    m_grid->edit(index);
    box = m_grid->findChild<QComboBox*>();
    QVERIFY(box);
    QCOMPARE(box->currentText(), text);
}

void TestEgrid::cursorAndDoubleClick()
{
    m_grid->cells().setCurrentCell(7, 2);
    QCOMPARE(m_grid->currentIndex(), m_grid->model()->index(7, 2));
    QCOMPARE(m_grid->selectionBehavior(), QAbstractItemView::SelectItems);
    const QRect cell = m_grid->visualRect(m_grid->model()->index(4, 3));
    QTest::mouseClick(m_grid->viewport(), Qt::LeftButton, {}, cell.center());
    QCOMPARE(m_grid->cells().getCurrentRow(), 4);
    QCOMPARE(m_grid->cells().getCurrentColumn(), 3);
    QSignalSpy doubleClicks(m_grid.get(), &EGrid::cellDoubleClicked);
    QTest::mouseDClick(m_grid->viewport(), Qt::LeftButton, {}, cell.center());
    QCOMPARE(doubleClicks.count(), 1);
}

void TestEgrid::layoutFollowsTheModel()
{
    m_grid->setRowHeight(24);
    QCOMPARE(m_grid->columnWidth(0), 40);
    QCOMPARE(m_grid->columnWidth(1), 90);
    QCOMPARE(m_grid->columnWidth(6), 35);
    QCOMPARE(m_grid->rowHeight(15), 24);
    QVERIFY(m_grid->horizontalHeader()->isHidden());
    QCOMPARE(m_grid->model()->index(0, 3).data().toString(), QStringLiteral("计时(分)"));
    QCOMPARE(m_grid->model()->index(9, 0).data(Qt::AccessibleTextRole).toString(), QStringLiteral("9号"));
}

QTEST_MAIN(TestEgrid)
#include "testegrid.moc"
