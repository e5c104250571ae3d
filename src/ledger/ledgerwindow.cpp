#include "ledgerwindow.h"

#include "common/csv.h"
#include "common/seams.h"
#include "common/values.h"
#include "ledger/ledgerview.h"
#include "widgets/egrid.h"
#include "widgets/windows.h"
#include "ui_ledgerwindow.h"

#include <QCoreApplication>
#include <QPointer>

LedgerWindow::LedgerWindow(Database& db, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , m_ui(std::make_unique<Ui::LedgerWindow>())
    , m_db(db)
{
    m_ui->setupUi(this);
    EGrid* g = grid();
    setupLedgerGrid(g->cells());
    layOutWindow(this, g);
    g->setRowSelection(true);
    g->setEditTriggers(QAbstractItemView::NoEditTriggers); // a record, not a form
    const DateTime today(std::floor(now().days));
    m_ui->日期框_开始->setValue(today);
    m_ui->日期框_结束->setValue(today);
    addComboItem(m_ui->组合框_操作员, QStringLiteral("全部"));
    for (const QString& name : operatorNames(m_db))
        addComboItem(m_ui->组合框_操作员, name);
    m_ui->组合框_操作员->setCurrentIndex(0);
    addComboItem(m_ui->组合框_类型, QStringLiteral("全部"));
    for (const QString& kind : ledgerKinds())
        addComboItem(m_ui->组合框_类型, kind);
    m_ui->组合框_类型->setCurrentIndex(0);
    m_ui->进度条_核对->setRange(0, 100);

    connect(m_ui->按钮_查询, &QPushButton::clicked, this, &LedgerWindow::showRows);
    connect(m_ui->按钮_核对, &QPushButton::clicked, this, &LedgerWindow::checkChain);
    connect(m_ui->按钮_导出, &QPushButton::clicked, this, &LedgerWindow::exportRows);
    showRows();
}

LedgerWindow::~LedgerWindow() = default;

EGrid* LedgerWindow::grid() const { return m_ui->高级表格1; }

void LedgerWindow::showRows()
{
    const auto filter = [](const QComboBox* box) { return box->currentIndex() > 0 ? box->currentText() : QString(); };
    QString error;
    if (!readLedger(m_db, m_ui->日期框_开始->value(), m_ui->日期框_结束->value(), filter(m_ui->组合框_操作员),
            filter(m_ui->组合框_类型), m_rows, &error))
        showStoreError(error.isEmpty() ? QStringLiteral("操作记录无法读取！") : error);
    const LedgerSums sums = fillLedgerGrid(grid()->cells(), m_rows);
    m_ui->标签_现金合计->setText(QStringLiteral("现金合计：") + formatFixed(sums.cash, 2));
    m_ui->标签_卡额合计->setText(QStringLiteral("卡额合计：") + formatFixed(sums.card, 2));
}

void LedgerWindow::checkChain()
{
    m_ui->进度条_核对->setValue(0);
    // The window may be closed while the check runs (the close reaches it between the rows):
    // the check then stops and nothing of the window is touched again.
    QPointer<LedgerWindow> alive(this);
    const LedgerCheck check = checkLedger(m_db, [this, alive](qint64 done, qint64 total) {
        if (!alive || !isVisible())
            return false;
        m_ui->进度条_核对->setValue(total > 0 ? int(done * 100 / total) : 100);
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        return alive && isVisible();
    });
    if (!alive || !isVisible())
        return;
    m_ui->进度条_核对->setValue(100);
    m_ui->标签_校验->setText(QStringLiteral("最新校验：") + hashHead(check.newestHash));
    messageBox(ledgerCheckMessage(check), check.readable && check.firstBroken == 0 ? MbInformation : MbExclamation,
        QStringLiteral("核对"));
}

void LedgerWindow::exportRows()
{
    const QString path = seams::chooseSaveFile(QStringLiteral("导出操作记录"), QStringLiteral("操作记录.csv"));
    if (path.isEmpty())
        return;
    QString error;
    if (!saveWholeFile(path, ledgerCsv(m_rows), &error))
        showStoreError(error);
}
