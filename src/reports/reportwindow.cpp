#include "reportwindow.h"

#include "widgets/egrid.h"
#include "common/seams.h"
#include "widgets/windows.h"
#include "reports/dailydetailwindow.h"
#include "reports/incomereport.h"
#include "reports/chartmaker.h"
#include "common/csv.h"
#include "ui_reportwindow.h"

ReportWindow::ReportWindow(Database& db, RecordSet& rs, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , m_ui(std::make_unique<Ui::ReportWindow>())
    , m_db(db)
    , m_rs(rs)
{
    m_ui->setupUi(this);
    EGrid* g = grid();
    setupReportGrid(g->cells());
    layOutWindow(this, g);
    g->setRowSelection(true);
    // A double-click opens the day's detail; an editor left open behind it would let the
    // operator change figures that only the bookings decide.
    g->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_ui->日期框_开始->setValue(DateTime(m_ui->日期框_结束->value().days - 6.0));

    connect(m_ui->按钮_更新, &QPushButton::clicked, this, &ReportWindow::runReport);
    connect(m_ui->按钮_明细, &QPushButton::clicked, this, &ReportWindow::openDailyDetail);
    connect(g, &EGrid::cellDoubleClicked, this, &ReportWindow::openDailyDetail);
    connect(m_ui->按钮_导出, &QPushButton::clicked, this, &ReportWindow::exportReport);
    connect(m_ui->按钮_图表, &QPushButton::clicked, this, &ReportWindow::openChart);

    runReport();
}

ReportWindow::~ReportWindow() = default;

EGrid* ReportWindow::grid() const { return m_ui->高级表格1; }

void ReportWindow::runReport()
{
    m_shownFrom = m_ui->日期框_开始->value();
    m_shownTo = m_ui->日期框_结束->value();
    fillReport(m_db, m_rs, grid()->cells(), m_shownFrom, m_shownTo, &m_days);
}

void ReportWindow::exportReport()
{
    const QString path = seams::chooseSaveFile(QStringLiteral("导出业绩"),
        QStringLiteral("业绩_") + csvDate(m_shownFrom) + QStringLiteral("_") + csvDate(m_shownTo)
            + QStringLiteral(".csv"));
    if (path.isEmpty())
        return;
    QString error;
    if (!saveWholeFile(path, reportCsv(m_days), &error))
        showStoreError(error);
}

QWidget* ReportWindow::openChart()
{
    QString error;
    auto* maker = qobject_cast<ChartMaker*>(seams::loadPlugin(QStringLiteral("langtuo-charts"), LANGTUO_CHART_MAKER_IID, &error));
    if (!maker) {
        messageBox(QStringLiteral("图表组件无法加载：") + error, MbOk | MbExclamation, QStringLiteral("图表"));
        return nullptr;
    }
    // A chart of other days would not be what the grid shows: it is made anew each time.
    if (m_chart)
        m_chart->close();
    m_chart = maker->makeChartWindow(chartDataOf(m_days), this);
    m_chart->show();
    return m_chart;
}

void ReportWindow::openDailyDetail()
{
    const EGridModel& cells = grid()->cells();
    m_reportSelectedRow = cells.getCurrentRow();
    // The title row names no day either.
    if (m_reportSelectedRow <= 0 || m_reportSelectedRow == cells.gridRowCount() - 1) {
        messageBox(QStringLiteral("请选择日期行！"), MbOk);
        return;
    }
    QWidget* console = parentWidget();
    DailyDetailWindow detail(m_db, m_rs, cells.getCell(m_reportSelectedRow, ReportColumn::Day), console);
    loadWindow(&detail, console, true);
    // Closing a modal window gives the focus back to its parent, the console, which would
    // then cover the report the operator was working in.
    raise();
    activateWindow();
}
