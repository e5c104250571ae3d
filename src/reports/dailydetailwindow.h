#pragma once

#include "store/income.h"

#include <QDialog>
#include <QVector>

#include <memory>

class Database;
class EGrid;
class RecordSet;
namespace Ui {
class DailyDetailWindow;
}

// Every booking of one day, with the day's total; filled once while it is created.
class DailyDetailWindow : public QDialog {
    Q_OBJECT
public:
    // dayText: the day as the report shows it, such as 2013年7月5日.
    DailyDetailWindow(Database& db, RecordSet& rs, const QString& dayText, QWidget* parent = nullptr);
    ~DailyDetailWindow() override;

    EGrid* grid() const;
    // 按钮_导出: the day's bookings as a CSV file.
    void exportDay();

private:
    std::unique_ptr<Ui::DailyDetailWindow> m_ui;
    DateTime m_day;
    QVector<IncomeRow> m_rows; // as the grid shows them
};
