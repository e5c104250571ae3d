#include "dailydetailwindow.h"

#include "widgets/egrid.h"
#include "widgets/windows.h"
#include "reports/dailydetail.h"
#include "ui_dailydetailwindow.h"
#include "common/csv.h"
#include "common/seams.h"

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
    m_day = dayFromText(dayText);
    fillDailyDetail(rs, g->cells(), m_day, &m_rows);
    connect(m_ui->按钮_导出, &QPushButton::clicked, this, &DailyDetailWindow::exportDay);
}

void DailyDetailWindow::exportDay()
{
    const QString path
        = seams::chooseSaveFile(QStringLiteral("导出每日明细"), QStringLiteral("明细_") + csvDate(m_day) + QStringLiteral(".csv"));
    if (path.isEmpty())
        return;
    QString error;
    if (!saveWholeFile(path, dailyDetailCsv(m_rows), &error))
        showStoreError(error);
}

DailyDetailWindow::~DailyDetailWindow() = default;

EGrid* DailyDetailWindow::grid() const { return m_ui->高级表格1; }
