#pragma once

#include <QDialog>

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

private:
    std::unique_ptr<Ui::DailyDetailWindow> m_ui;
};
