#include "common/csv.h"
#include "common/seams.h"
#include "reports/dailydetailwindow.h"
#include "reports/chartmaker.h"
#include "reports/incomereport.h"
#include "reports/reportwindow.h"
#include "reportsupport.h"
#include "support/guisupport.h"
#include "widgets/datepicker.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QFile>
#include <QPushButton>
#include <QtTest>
#include <QValueAxis>

namespace {

QString s(const char16_t* t) { return QString::fromUtf16(t); }

// The chart a chart window shows, read through Qt Charts as any other program would.
QChart* chartOf(QWidget* window)
{
    auto* view = window ? window->findChild<QChartView*>(QStringLiteral("图表_业绩")) : nullptr;
    return view ? view->chart() : nullptr;
}

QList<QBarSet*> barsOf(QChart* chart)
{
    auto* series = chart ? qobject_cast<QBarSeries*>(chart->series().value(0)) : nullptr;
    return series ? series->barSets() : QList<QBarSet*>();
}

} // namespace

class TestReportExport : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void exportsAreSpreadsheetText_data();
    void exportsAreSpreadsheetText();
    void failedWriteLeavesNoFile();
    void chartShowsTheReportsFigures();
    void chartAxisLabelsReadApart_data();
    void chartAxisLabelsReadApart();

private:
    QString m_saveTo;
    std::unique_ptr<ReportFixture> m_f;
    std::unique_ptr<TestClock> m_clock;
    std::unique_ptr<QWidget> m_console;
    ReportWindow* m_report = nullptr;
};

void TestReportExport::init()
{
    useBuiltPlugins();
    m_f = std::make_unique<ReportFixture>();
    m_clock = std::make_unique<TestClock>(QDateTime(QDate(2026, 7, 10), QTime(9, 30)));
    QVERIFY(m_f->book(texts({ "4 上机收入 12.5 3", "4 商品销售 3 3", "5 上机收入 -2 7" })));
    QVERIFY(runSql(m_f->dir.databasePath(),
        { s(u"insert into 收入记录 values ('2026-07-04 00:00:00', 5, '商品销售', '薯片\"大\",原味', 4.5)"),
            s(u"insert into 收入记录 values ('2026-07-04 00:00:00', 6, '商品销售', '=1+1', 0)"),
            s(u"insert into 收入记录 values ('2026-07-04 00:00:00', 6, '商品销售', '-1+1', 0)"),
            s(u"insert into 收入记录 values ('2026-07-04 00:00:00', 6, '商品销售', char(9) || 'x', 0)") }));
    m_console = std::make_unique<QWidget>();
    m_report = new ReportWindow(m_f->db, m_f->rs, m_console.get());
    m_report->show();
    m_saveTo = m_f->dir.file(QStringLiteral("out.csv"));
    seams::setSaveFileChooser([this](const QString&, const QString&) { return m_saveTo; });
}

void TestReportExport::cleanup()
{
    seams::setSaveFileChooser({});
    m_console.reset();
    m_clock.reset();
    m_f.reset();
}

void TestReportExport::exportsAreSpreadsheetText_data()
{
    QTest::addColumn<bool>("detail");
    QTest::addColumn<QString>("expected");
    QTest::newRow("report") << false
                            << s(u"\uFEFF日期,上机收入,商品销售收入,收入合计\r\n2026-07-04,12.50,7.50,20.00\r\n"
                                 u"2026-07-05,-2.00,0.00,-2.00\r\n");
    QTest::newRow("a day's detail") << true
                                    << s(u"\uFEFF日期,机号,类型,名称,金额\r\n2026-07-04,3,上机收入,上机收入,12.50\r\n"
                                         u"2026-07-04,3,商品销售,可乐,3.00\r\n"
                                         u"2026-07-04,5,商品销售,\"薯片\"\"大\"\",原味\",4.50\r\n2026-07-04,6,商品销售,'=1+1,0.00\r\n"
                                         u"2026-07-04,6,商品销售,'-1+1,0.00\r\n2026-07-04,6,商品销售,'\tx,0.00\r\n");
}

void TestReportExport::exportsAreSpreadsheetText()
{
    QFETCH(bool, detail);
    QFETCH(QString, expected);
    if (detail) {
        DailyDetailWindow day(m_f->db, m_f->rs, s(u"2026年7月4日"));
        QTest::mouseClick(day.findChild<QPushButton*>(s(u"按钮_导出")), Qt::LeftButton);
    } else {
        QTest::mouseClick(m_report->findChild<QPushButton*>(s(u"按钮_导出")), Qt::LeftButton);
    }
    QCOMPARE(QString::fromUtf8(fileBytes(m_saveTo)), expected);
    QVERIFY(fileBytes(m_saveTo).startsWith("\xEF\xBB\xBF"));
}

void TestReportExport::failedWriteLeavesNoFile()
{
    m_saveTo = m_f->dir.file(QStringLiteral("gone/out.csv"));
    QTest::mouseClick(m_report->findChild<QPushButton*>(s(u"按钮_导出")), Qt::LeftButton);
    QCOMPARE(m_f->responder.boxes.size(), 1);
    QVERIFY(!m_f->responder.boxes[0].text.isEmpty());
    QVERIFY(!QFile::exists(m_saveTo));
}

void TestReportExport::chartShowsTheReportsFigures()
{
    m_report->findChild<DatePicker*>(s(u"日期框_开始"))->setValue(makeDate(2026, 7, 1));
    m_report->runReport();
    QTest::mouseClick(m_report->findChild<QPushButton*>(s(u"按钮_图表")), Qt::LeftButton);
    QWidget* window = m_report->findChild<QWidget*>(s(u"图表窗口"));
    QVERIFY(window && window->isVisible());
    QVERIFY(m_f->responder.boxes.isEmpty());
    QCOMPARE(window->windowTitle(), s(u"业绩图表"));
    QChart* chart = chartOf(window);
    QVERIFY(chart);
    auto* days = qobject_cast<QBarCategoryAxis*>(chart->axes(Qt::Horizontal).value(0));
    QVERIFY(days);
    QCOMPARE(days->categories(), QStringList({ QStringLiteral("07-04"), QStringLiteral("07-05") }));
    const QList<QBarSet*> bars = barsOf(chart);
    QCOMPARE(bars.size(), 2);
    QCOMPARE(bars[0]->label(), s(u"上机收入"));
    QCOMPARE(bars[0]->count(), 2);
    QCOMPARE(bars[0]->at(0), 12.5);
    QCOMPARE(bars[0]->at(1), -2.0);
    QCOMPARE(bars[1]->at(0), 7.5);
    QCOMPARE(bars[1]->at(1), 0.0);
}

void TestReportExport::chartAxisLabelsReadApart_data()
{
    QTest::addColumn<QVector<double>>("machine");
    QTest::addColumn<bool>("axisShown");
    QTest::newRow("no income") << QVector<double>() << false;
    QTest::newRow("all zero") << QVector<double>({ 0.0 }) << false;
    QTest::newRow("two yuan") << QVector<double>({ 2.0 }) << true;
    QTest::newRow("thirty cents") << QVector<double>({ 0.3 }) << true;
    QTest::newRow("two cents") << QVector<double>({ 0.02 }) << true;
    QTest::newRow("a refund") << QVector<double>({ -0.5, 3.0 }) << true;
}

void TestReportExport::chartAxisLabelsReadApart()
{
    QFETCH(QVector<double>, machine);
    QFETCH(bool, axisShown);
    QVector<DayIncome> days;
    for (double m : machine)
        days.append({ makeDate(2026, 7, 1 + int(days.size())), m, 0.0 });
    QString error;
    auto* maker = qobject_cast<ChartMaker*>(seams::loadPlugin(QStringLiteral("langtuo-charts"), LANGTUO_CHART_MAKER_IID, &error));
    QVERIFY2(maker, qPrintable(error));
    std::unique_ptr<QWidget> window(maker->makeChartWindow(chartDataOf(days), nullptr));
    QChart* chart = chartOf(window.get());
    QVERIFY(chart);
    QCOMPARE(chart->title(), days.isEmpty() ? s(u"所选日期没有收入") : s(u"2026-07-01 至 ") + csvDate(days.last().day));
    auto* axis = qobject_cast<QValueAxis*>(chart->axes(Qt::Vertical).value(0));
    QVERIFY(axis);
    QCOMPARE(axis->isVisible(), axisShown);
    if (!axisShown)
        return;
    QStringList labels;
    const double step = (axis->max() - axis->min()) / (axis->tickCount() - 1);
    for (int i = 0; i < axis->tickCount(); ++i)
        labels.append(QString::asprintf(axis->labelFormat().toLatin1().constData(), axis->min() + i * step));
    QCOMPARE(QSet<QString>(labels.begin(), labels.end()).size(), labels.size());
}

QTEST_MAIN(TestReportExport)
#include "testreportexport.moc"
