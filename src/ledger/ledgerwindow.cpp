#include "ledgerwindow.h"

#include "common/csv.h"
#include "common/seams.h"
#include "common/values.h"
#include "ledger/ledgerview.h"
#include "store/database.h"
#include "widgets/egrid.h"
#include "widgets/windows.h"
#include "ui_ledgerwindow.h"

#include <QHideEvent>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <atomic>

struct LedgerWindow::Check {
    std::atomic<qint64> done { 0 };
    std::atomic<qint64> total { 0 };
    std::atomic<bool> stop { false };
    LedgerCheck result;
};

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
    addComboItem(m_ui->组合框_支付方式, QStringLiteral("全部"));
    for (const QString& method : paymentMethods())
        addComboItem(m_ui->组合框_支付方式, method);
    m_ui->组合框_支付方式->setCurrentIndex(0);
    m_ui->进度条_核对->setRange(0, 100);
    m_progress = new QTimer(this);
    m_progress->setInterval(100);
    connect(m_progress, &QTimer::timeout, this, [this] {
        const qint64 total = m_check->total;
        m_ui->进度条_核对->setValue(total > 0 ? int(std::min<qint64>(m_check->done, total) * 100 / total) : 0);
    });

    connect(m_ui->按钮_查询, &QPushButton::clicked, this, &LedgerWindow::showRows);
    connect(m_ui->按钮_核对, &QPushButton::clicked, this, &LedgerWindow::checkChain);
    connect(m_ui->按钮_导出, &QPushButton::clicked, this, &LedgerWindow::exportRows);
    showRows();
}

LedgerWindow::~LedgerWindow()
{
    if (m_checker) {
        m_check->stop = true;
        m_checker->wait();
        delete m_checker;
    }
}

EGrid* LedgerWindow::grid() const { return m_ui->高级表格1; }

void LedgerWindow::showRows()
{
    const auto filter = [](const QComboBox* box) { return box->currentIndex() > 0 ? box->currentText() : QString(); };
    QString error;
    if (!readLedger(m_db, m_ui->日期框_开始->value(), m_ui->日期框_结束->value(), filter(m_ui->组合框_操作员),
            filter(m_ui->组合框_类型), m_rows, &error, filter(m_ui->组合框_支付方式)))
        showStoreError(error.isEmpty() ? QStringLiteral("操作记录无法读取！") : error);
    const LedgerSums sums = fillLedgerGrid(grid()->cells(), m_rows);
    m_ui->标签_现金合计->setText(QStringLiteral("现金合计：") + formatFixed(sums.cash, 2));
    m_ui->标签_卡额合计->setText(QStringLiteral("卡额合计：") + formatFixed(sums.card, 2));
}

void LedgerWindow::checkChain()
{
    if (m_checker) {
        m_check->stop = true;
        return;
    }
    if (!m_db.ensureOpen()) {
        messageBox(ledgerCheckMessage(LedgerCheck()), MbExclamation, QStringLiteral("核对"));
        return;
    }
    m_ui->进度条_核对->setValue(0);
    m_ui->按钮_核对->setText(QStringLiteral("停止核对"));
    auto check = std::make_shared<Check>();
    m_check = check;
    const LedgerPlace place = ledgerPlace(m_db);
    m_checker = QThread::create([check, place] {
        check->result = checkLedgerAt(place, [check](qint64 done, qint64 total) {
            check->done = done;
            check->total = total;
            return !check->stop;
        });
    });
    connect(m_checker, &QThread::finished, this, &LedgerWindow::checkDone);
    m_checker->start();
    m_progress->start();
}

bool LedgerWindow::lastCheckStopped() const { return m_check && !m_check->result.readable; }

void LedgerWindow::stopChecking()
{
    if (!m_checker)
        return;
    m_check->stop = true;
    m_checker->wait();
    checkDone();
}

void LedgerWindow::hideEvent(QHideEvent* event)
{
    // Closed, the window stops its check: nobody would read the answer. Minimised, it goes on.
    if (!event->spontaneous())
        stopChecking();
    QWidget::hideEvent(event);
}

void LedgerWindow::checkDone()
{
    if (!m_checker)
        return;
    m_checker->wait();
    delete m_checker;
    m_checker = nullptr;
    m_progress->stop();
    m_ui->按钮_核对->setText(QStringLiteral("核对"));
    if (m_check->stop)
        return;
    LedgerCheck check = m_check->result;
    compareWithKnownHead(m_db, check);
    m_ui->进度条_核对->setValue(100);
    m_ui->标签_校验->setText(QStringLiteral("最新校验：") + hashHead(check.newestHash));
    messageBox(ledgerCheckMessage(check), check.readable && check.firstBroken == 0 && check.removedAtEnd == 0 ? MbInformation : MbExclamation,
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
