#include "widgets/datepicker.h"
#include "widgets/egrid.h"
#include "reports/dailydetailwindow.h"
#include "reports/reportwindow.h"
#include "reportsupport.h"
#include "support/guisupport.h"

#include <QPushButton>
#include <QApplication>
#include <QtTest>

using namespace Qt::StringLiterals;

class TestReportWindow : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void opensOnTheLastSevenDays();
    void detailNeedsADayRow_data();
    void detailNeedsADayRow();
    void detailOpensModallyOverTheConsole();

private:
    template <typename T>
    T* unit(const char* name)
    {
        return m_report->findChild<T*>(QString::fromUtf8(name));
    }
    // Opens the detail of the row with a double-click or with 明细; gives the rows it showed.
    QStringList detailOf(int row, bool doubleClick);

    std::unique_ptr<ReportFixture> m_f;
    std::unique_ptr<TestClock> m_clock;
    std::unique_ptr<QWidget> m_console;
    ReportWindow* m_report = nullptr;
};

void TestReportWindow::init()
{
    m_f = std::make_unique<ReportFixture>();
    m_clock = std::make_unique<TestClock>(QDateTime(QDate(2026, 7, 10), QTime(9, 30)));
    QVERIFY(m_f->book(
        texts({ "3 上机收入 1", "4 上机收入 12.5 3", "4 商品销售 3 3", "4 商品销售 4.5 5", "10 商品销售 2 8", "11 上机收入 6" })));
    m_console = std::make_unique<QWidget>();
    m_console->show();
    m_report = new ReportWindow(m_f->db, m_f->rs, m_console.get());
    m_report->show();
}

void TestReportWindow::cleanup()
{
    m_console.reset(); // takes the report with it
    m_clock.reset();
    m_f.reset();
}

void TestReportWindow::opensOnTheLastSevenDays()
{
    QCOMPARE(m_report->windowTitle(), u"业绩"_s);
    QCOMPARE(QRect(m_report->pos(), m_report->size()), QRect(50, 50, 480, 297));
    QCOMPARE(unit<DatePicker>("日期框_开始")->value().toQDateTime(), QDateTime(QDate(2026, 7, 4), QTime(9, 30)));
    const EGridModel& cells = unit<EGrid>("高级表格1")->cells();
    QCOMPARE(resultRows(cells),
        texts({ "1|2026年7月4日|12.50|7.50|20.00", "2|2026年7月10日|0.00|2.00|2.00", "|合计|12.50|9.50|22.00" }));

    unit<DatePicker>("日期框_开始")->setValue(makeDate(2026, 7, 11));
    unit<DatePicker>("日期框_结束")->setValue(makeDate(2026, 7, 11, 8));
    QTest::mouseClick(unit<QPushButton>("按钮_更新"), Qt::LeftButton);
    QCOMPARE(resultRows(cells), texts({ "1|2026年7月11日|6.00|0.00|6.00", "|合计|6.00|0.00|6.00" }));
    QVERIFY(m_f->responder.boxes.isEmpty());
}

void TestReportWindow::detailNeedsADayRow_data()
{
    QTest::addColumn<int>("row");
    QTest::newRow("no current row") << -1;
    QTest::newRow("total row") << 3;
    QTest::newRow("title row") << 0;
}

void TestReportWindow::detailNeedsADayRow()
{
    QFETCH(int, row);
    EGrid* grid = unit<EGrid>("高级表格1");
    if (row >= 0)
        grid->cells().setCurrentCell(row, 1);
    QTest::mouseClick(unit<QPushButton>("按钮_明细"), Qt::LeftButton); // would block if a detail opened
    QCOMPARE(m_report->reportSelectedRow(), row);
    QCOMPARE(m_f->responder.boxes.size(), 1);
    QCOMPARE(m_f->responder.boxes[0].text, u"请选择日期行！"_s);
    QCOMPARE(m_f->responder.boxes[0].style, 0);
}

QStringList TestReportWindow::detailOf(int row, bool doubleClick)
{
    EGrid* grid = unit<EGrid>("高级表格1");
    QStringList rows;
    bool overConsole = false;
    whenModalShown([&](QWidget* modal) {
        auto* detail = qobject_cast<DailyDetailWindow*>(modal);
        if (!detail)
            return;
        overConsole = detail->isModal() && detail->parentWidget() == m_console.get() && detail->windowTitle() == u"每日明细"_s
            && QRect(detail->pos(), detail->size()) == QRect(50, 50, 421, 492);
        rows = resultRows(detail->grid()->cells());
        detail->reject();
    });
    if (doubleClick) {
        const QRect cell = grid->visualRect(grid->model()->index(row, 2));
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell.center()); // a double-click's first press
        QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
    } else {
        grid->cells().setCurrentCell(row, 0);
        QTest::mouseClick(unit<QPushButton>("按钮_明细"), Qt::LeftButton);
    }
    // The call returns once the modal detail has closed.
    return overConsole ? rows : QStringList { u"not over the console"_s };
}

void TestReportWindow::detailOpensModallyOverTheConsole()
{
    QCOMPARE(detailOf(1, false),
        texts({ "1|3|上机收入|上机收入|12.50", "2|3|商品销售|可乐|3.00", "3|5|商品销售|可乐|4.50", "|合计|||20.00" }));
    QCOMPARE(m_report->reportSelectedRow(), 1);
    // The report stays above the console, so the next double-click lands in it again.
    QTRY_COMPARE(QApplication::activeWindow(), m_report);
    QCOMPARE(detailOf(2, true), texts({ "1|8|商品销售|可乐|2.00", "|合计|||2.00" }));
    QCOMPARE(m_report->reportSelectedRow(), 2);
    QTRY_COMPARE(QApplication::activeWindow(), m_report);
    QVERIFY(m_f->responder.boxes.isEmpty());
}

QTEST_MAIN(TestReportWindow)
#include "testreportwindow.moc"
