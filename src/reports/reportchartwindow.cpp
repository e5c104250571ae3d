#include "reportchartwindow.h"

#include "common/csv.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QValueAxis>
#include <QVBoxLayout>

#include <algorithm>

ReportChartWindow::ReportChartWindow(const QVector<DayIncome>& days, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , m_machine(new QBarSet(QStringLiteral("上机收入")))
    , m_goods(new QBarSet(QStringLiteral("商品销售收入")))
{
    setObjectName(QStringLiteral("图表窗口"));
    setWindowTitle(QStringLiteral("业绩图表"));
    setAttribute(Qt::WA_DeleteOnClose);
    // Days of one year by month and day; over a year's end each keeps its year, so no two
    // bars share a label.
    const bool oneYear = days.isEmpty() || csvDate(days.first().day).left(4) == csvDate(days.last().day).left(4);
    double highest = 0.0;
    double lowest = 0.0; // a refund can make a day negative
    for (const DayIncome& d : days) {
        m_machine->append(d.machine);
        m_goods->append(d.goods);
        m_labels.append(oneYear ? csvDate(d.day).mid(5) : csvDate(d.day));
        highest = std::max({ highest, d.machine, d.goods });
        lowest = std::min({ lowest, d.machine, d.goods });
    }
    auto* series = new QBarSeries;
    series->append(m_machine);
    series->append(m_goods);
    auto* chart = new QChart;
    chart->addSeries(series);
    chart->setTitle(days.isEmpty() ? QStringLiteral("所选日期没有收入")
                                   : csvDate(days.first().day) + QStringLiteral(" 至 ") + csvDate(days.last().day));
    auto* axisX = new QBarCategoryAxis;
    axisX->append(m_labels);
    chart->addAxis(axisX, Qt::AlignBottom);
    series->attachAxis(axisX);
    auto* axisY = new QValueAxis;
    m_valueAxis = axisY;
    axisY->setRange(lowest * 1.1, highest > 0.0 ? highest * 1.1 : 1.0);
    axisY->applyNiceNumbers();
    // As many decimals as the steps need, so that no two labels read alike; a few cents get
    // fewer ticks rather than steps below a cent.
    const double range = axisY->max() - axisY->min();
    if (range / std::max(1, axisY->tickCount() - 1) < 0.01)
        axisY->setTickCount(std::max(2, int(range / 0.01) + 1));
    const double step = range / std::max(1, axisY->tickCount() - 1);
    axisY->setLabelFormat(step >= 1.0 ? QStringLiteral("%.0f") : step >= 0.1 ? QStringLiteral("%.1f") : QStringLiteral("%.2f"));
    // Without income there is no scale to read: the title says so.
    axisY->setVisible(highest > 0.0 || lowest < 0.0);
    chart->addAxis(axisY, Qt::AlignLeft);
    series->attachAxis(axisY);
    chart->legend()->setAlignment(Qt::AlignBottom);
    auto* view = new QChartView(chart, this);
    view->setObjectName(QStringLiteral("图表_业绩"));
    view->setAccessibleName(QStringLiteral("业绩图表"));
    view->setRenderHint(QPainter::Antialiasing);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view);
    resize(640, 400);
    move(80, 80);
}
