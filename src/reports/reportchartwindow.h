#pragma once

#include "store/income.h"

#include <QVector>
#include <QWidget>

class QBarSet;
class QValueAxis;

// 图表: machine and goods income of each day the report shows, as bars side by side, in a
// window of its own; the figures are the report's own.
class ReportChartWindow : public QWidget {
    Q_OBJECT
public:
    explicit ReportChartWindow(const QVector<DayIncome>& days, QWidget* parent = nullptr);

    QBarSet* machineBars() const { return m_machine; }
    QBarSet* goodsBars() const { return m_goods; }
    QStringList dayLabels() const { return m_labels; }
    QValueAxis* valueAxis() const { return m_valueAxis; }

private:
    QBarSet* m_machine;
    QBarSet* m_goods;
    QStringList m_labels;
    QValueAxis* m_valueAxis = nullptr;
};
