#pragma once

#include "reports/chartmaker.h"

#include <QObject>
#include <QWidget>

// 图表: machine and goods income of each day the report shows, as bars side by side, in a
// window of its own; the figures are the report's own.
class ReportChartWindow : public QWidget {
    Q_OBJECT
public:
    explicit ReportChartWindow(const ChartData& data, QWidget* parent = nullptr);
};

// The plugin's one object, which the report window asks for the chart.
class ChartPlugin : public QObject, public ChartMaker {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID LANGTUO_CHART_MAKER_IID)
    Q_INTERFACES(ChartMaker)
public:
    QWidget* makeChartWindow(const ChartData& data, QWidget* parent) override;
};
