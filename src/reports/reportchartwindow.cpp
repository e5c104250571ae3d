#include "reportchartwindow.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QValueAxis>
#include <QVBoxLayout>

#include <algorithm>

ReportChartWindow::ReportChartWindow(const ChartData& data, QWidget* parent)
    : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("图表窗口"));
    setWindowTitle(QStringLiteral("业绩图表"));
    setAttribute(Qt::WA_DeleteOnClose);
    auto* machine = new QBarSet(QStringLiteral("上机收入"));
    auto* goods = new QBarSet(QStringLiteral("商品销售收入"));
    double highest = 0.0;
    double lowest = 0.0; // a refund can make a day negative
    for (int i = 0; i < data.labels.size(); ++i) {
        machine->append(data.machine.value(i));
        goods->append(data.goods.value(i));
        highest = std::max({ highest, data.machine.value(i), data.goods.value(i) });
        lowest = std::min({ lowest, data.machine.value(i), data.goods.value(i) });
    }
    auto* series = new QBarSeries;
    series->append(machine);
    series->append(goods);
    auto* chart = new QChart;
    chart->addSeries(series);
    chart->setTitle(data.title);
    auto* axisX = new QBarCategoryAxis;
    axisX->append(data.labels);
    chart->addAxis(axisX, Qt::AlignBottom);
    series->attachAxis(axisX);
    auto* axisY = new QValueAxis;
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

QWidget* ChartPlugin::makeChartWindow(const ChartData& data, QWidget* parent)
{
    return new ReportChartWindow(data, parent);
}
