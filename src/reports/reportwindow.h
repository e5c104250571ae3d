#pragma once

#include "store/income.h"

#include <QPointer>
#include <QVector>
#include <QWidget>

#include <memory>

class Database;
class EGrid;
class RecordSet;
namespace Ui {
class ReportWindow;
}

// The performance report: machine and goods income per day over a chosen range, with the
// total row, and the way into the detail of one day.
class ReportWindow : public QWidget {
    Q_OBJECT
public:
    ReportWindow(Database& db, RecordSet& rs, QWidget* parent = nullptr);
    ~ReportWindow() override;

    EGrid* grid() const;

    // 按钮_更新: the days of the range between the two pickers.
    void runReport();
    // 按钮_明细 or a double-click: the detail of the day in the current row, modal over the
    // console (this window's parent).
    void openDailyDetail();
    // 按钮_导出: the days shown, as a CSV file.
    void exportReport();
    // 按钮_图表: the days shown as bars, in a window of its own (returned; null, with the
    // reason said, when the charts cannot be loaded).
    QWidget* openChart();
    // The grid row the last openDailyDetail took (-1: the grid had no current row).
    int reportSelectedRow() const { return m_reportSelectedRow; }

private:
    std::unique_ptr<Ui::ReportWindow> m_ui;
    Database& m_db;
    RecordSet& m_rs;
    int m_reportSelectedRow = -1;
    QVector<DayIncome> m_days; // as the grid shows them
    DateTime m_shownFrom, m_shownTo; // the range they were read for
    QPointer<QWidget> m_chart;
};
