#pragma once

#include <QString>
#include <QStringList>
#include <QVector>
#include <QtPlugin>

class QWidget;

// What the chart of the report shows: a label and two bars a day.
struct ChartData {
    QString title;
    QStringList labels;
    QVector<double> machine; // 上机收入
    QVector<double> goods; // 商品销售收入
};

// The chart window is made by a plugin of the program's own (langtuo-charts), which alone
// carries Qt Charts and its OpenGL libraries: the counter loads them when a chart first opens.
class ChartMaker {
public:
    virtual ~ChartMaker() = default;
    // 图表: a window of its own over `parent`, deleted when closed.
    virtual QWidget* makeChartWindow(const ChartData& data, QWidget* parent) = 0;
};

#define LANGTUO_CHART_MAKER_IID "cn.langtuo.Counter.ChartMaker/1"
Q_DECLARE_INTERFACE(ChartMaker, LANGTUO_CHART_MAKER_IID)
