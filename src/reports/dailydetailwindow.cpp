#include "dailydetailwindow.h"

#include "widgets/egrid.h"
#include "widgets/windows.h"
#include "reports/dailydetail.h"
#include "ui_dailydetailwindow.h"

DailyDetailWindow::DailyDetailWindow(
    [[maybe_unused]] Database& db, RecordSet& rs, const QString& dayText, QWidget* parent)
    : QDialog(parent)
    , m_ui(std::make_unique<Ui::DailyDetailWindow>())
{
    m_ui->setupUi(this);
    EGrid* g = grid();
    setupDetailGrid(g->cells());
    layOutWindow(this, g);
    g->setRowSelection(true);
    // A list of bookings to read, not to change.
    g->setEditTriggers(QAbstractItemView::NoEditTriggers);
    fillDailyDetail(rs, g->cells(), dayFromText(dayText));
}

DailyDetailWindow::~DailyDetailWindow() = default;

EGrid* DailyDetailWindow::grid() const { return m_ui->高级表格1; }
