#include "consolewindow.h"

#include "checkout/checkoutwindow.h"
#include "clients/clientservice.h"
#include "common/seams.h"
#include "common/values.h"
#include "counter/consolegrid.h"
#include "goods/salewindow.h"
#include "ledger/ledgerwindow.h"
#include "machinecolumn.h"
#include "members/memberwindow.h"
#include "operators/authorisewindow.h"
#include "operators/loginwindow.h"
#include "reports/reportwindow.h"
#include "session.h"
#include "shifts/openshiftwindow.h"
#include "ui_consolewindow.h"
#include "widgets/egrid.h"
#include "widgets/windows.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QTextBrowser>
#include <QTimer>
#include <QUrl>

namespace {

// A key that would change a box's text; Tab, Enter and shortcuts pass on.
bool typesIntoABox(QEvent* event)
{
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return false;
    if (key->key() == Qt::Key_Backspace || key->key() == Qt::Key_Delete)
        return true;
    return !key->text().isEmpty() && key->text().at(0).isPrint();
}

} // namespace

ConsoleWindow::ConsoleWindow(QWidget* parent)
    : QMainWindow(parent)
    , m_ui(std::make_unique<Ui::ConsoleWindow>())
    , m_timer(new QTimer(this))
{
    m_ui->setupUi(this);
    m_timer->setObjectName(QStringLiteral("时钟_秒"));
    m_ui->状态条1->setParts({ 70, 50, 95, 50, 45, -1 });
    m_ui->状态条1->setStatusText(0, QStringLiteral(" 上机台数："));
    m_ui->状态条1->setStatusText(2, QStringLiteral(" 实时金额合计："));
    m_ui->状态条1->setStatusText(4, QStringLiteral(" 提醒："));
    m_ui->标签_现在时间->clear();

    // The start-up sequence, in its order: the grid of the default machines, then the session,
    // which may list others and put back the usages a crash left.
    setupGrid(grid()->cells(), CounterState().machines);
    layOutWindow(this, grid());
    grid()->setRowSelection(false);
    m_session = new Session(grid()->cells(), this);
    m_ui->编辑框_计费->setText(m_session->startRate());
    m_machines = new MachineColumn(grid(), m_ui->按钮1号机开始, m_session->state(), this);
    connect(m_machines, &MachineColumn::clicked, this, &ConsoleWindow::toggleMachine);
    showRestored();
    showBackupAge();
    connect(m_session, &Session::backupStateChanged, this, &ConsoleWindow::showBackupAge);
    m_clientsOnline = new QLabel(m_ui->状态条1);
    m_clientsOnline->setObjectName(QStringLiteral("标签_客户机在线"));
    m_ui->状态条1->addPermanentWidget(m_clientsOnline);
    showClients();
    connect(&m_session->clients(), &ClientService::clientsChanged, this, &ConsoleWindow::showClients);
    connect(m_session, &Session::operatorChanged, this, &ConsoleWindow::showOperator);
    connect(m_session, &Session::machinesChanged, this, &ConsoleWindow::showMachines);
    m_session->setLogIn([this] { return logIn(); });
    m_session->setFloatAsker([this](double offered) {
        OpenShiftWindow window(offered, this);
        loadWindow(&window, this, true);
        return window.openingFloat();
    });
    m_session->rights().setOwnerAsker([this](OwnerAction action) {
        AuthoriseWindow ask(database(), action, QApplication::activeWindow() ? QApplication::activeWindow() : this);
        return loadWindow(&ask, ask.parentWidget(), true) && ask.result() == QDialog::Accepted ? ask.owner()
                                                                                                : QString();
    });

    connect(m_ui->编辑框_计费, &QLineEdit::editingFinished, this, &ConsoleWindow::checkRate);
    connect(&grid()->cells(), &EGridModel::cellEdited, this, &ConsoleWindow::acceptTypedCell);
    connect(m_ui->按钮_帮助, &QPushButton::clicked, this, &ConsoleWindow::openHelp);
    m_ui->按钮_帮助->setToolTip(QStringLiteral("数据文件在：") + QDir::toNativeSeparators(seams::dataDir()));
    connect(m_ui->按钮_会员, &QPushButton::clicked, this, &ConsoleWindow::openMembers);
    connect(m_ui->按钮_销售, &QPushButton::clicked, this, &ConsoleWindow::openSale);
    connect(m_ui->按钮_业绩, &QPushButton::clicked, this, &ConsoleWindow::openReport);
    connect(m_ui->按钮_记录, &QPushButton::clicked, this, &ConsoleWindow::openLedger);
    connect(m_ui->按钮_交班, &QPushButton::clicked, this, &ConsoleWindow::openShiftWindow);
    connect(m_ui->按钮_备份, &QPushButton::clicked, this, &ConsoleWindow::openBackups);
    connect(m_ui->按钮_机器, &QPushButton::clicked, this, &ConsoleWindow::openMachines);
    connect(m_ui->按钮_计费, &QPushButton::clicked, this, &ConsoleWindow::openPlans);
    connect(m_ui->按钮_套餐, &QPushButton::clicked, this, &ConsoleWindow::openPackages);
    connect(m_ui->按钮_客户机, &QPushButton::clicked, this, &ConsoleWindow::openClients);
    m_ui->按钮_交班->setEnabled(true);

    auto* operatorMenu = new QMenu(m_ui->按钮_操作员);
    QAction* switching = operatorMenu->addAction(QStringLiteral("切换操作员"), this, &ConsoleWindow::switchOperator);
    switching->setObjectName(QStringLiteral("菜单_切换操作员"));
    operatorMenu->addAction(QStringLiteral("操作员管理"), this, &ConsoleWindow::openOperators)
        ->setObjectName(QStringLiteral("菜单_操作员管理"));
    connect(operatorMenu, &QMenu::aboutToShow, this, [this, switching] {
        switching->setEnabled(rights().operatorsDefined());
    });
    m_ui->按钮_操作员->setMenu(operatorMenu);
    m_ui->按钮_操作员->setEnabled(true);
    m_ui->编辑框_计费->installEventFilter(this);

    connect(m_timer, &QTimer::timeout, this, &ConsoleWindow::tickSecond);
    m_timer->start(1000);
    QTimer::singleShot(0, this, &ConsoleWindow::afterStart);
}

ConsoleWindow::~ConsoleWindow()
{
    // The windows it opened borrow the session's rights and store: they go first.
    delete m_memberWindow;
    delete m_saleWindow;
    delete m_reportWindow;
    delete m_ledgerWindow;
    delete m_session;
}

EGrid* ConsoleWindow::grid() const { return m_ui->高级表格1; }
Database& ConsoleWindow::database() const { return m_session->database(); }
RecordSet& ConsoleWindow::recordSet() const { return m_session->recordSet(); }
const CounterState& ConsoleWindow::state() const { return m_session->state(); }
const Rights& ConsoleWindow::rights() const { return m_session->rights(); }
BackupRunner& ConsoleWindow::backups() const { return m_session->backups(); }
QPushButton* ConsoleWindow::machineButton(int n) const { return m_machines->button(n); }

void ConsoleWindow::showMachines()
{
    m_machines->rebuild([this](int n) { return m_session->counter().isTiming(n); });
    if (m_saleWindow)
        m_saleWindow->showMachines();
    showRunningCount();
}

void ConsoleWindow::showRunningCount()
{
    setStatusText(StatusPart::RunningCount, toText(m_session->state().runningCount));
}

void ConsoleWindow::toggleMachine(QPushButton* source)
{
    if (!source)
        return;
    const int n = toInteger(tagOf(source));
    if (!state().isListed(n))
        return;
    Counter& counter = m_session->counter();
    // The machine's state decides, and the caption is made to agree with it.
    const bool starting = !counter.isTiming(n);
    MachineColumn::showState(source, n, starting);
    if (starting) {
        counter.start(n, clockText(), m_ui->编辑框_计费->text());
        showRunningCount();
        m_session->sayIfUnprotected();
        return;
    }
    const MachineBill bill = counter.stop(n, clockText());
    m_session->sayIfUnprotected();
    settle(bill);
    showRunningCount();
}

void ConsoleWindow::settle(const MachineBill& bill)
{
    CheckoutWindow checkout(database(), recordSet(), m_session->counter(), bill, this);
    loadWindow(&checkout, this, true);
    m_session->counter().endUsage(bill.machineNo);
}

void ConsoleWindow::tickSecond()
{
    // A set clock is asked about before the tick bills by it; a jump while the question is open
    // is added to it.
    if (const qint64 jump = m_session->clockJump()) {
        m_clockJump += jump;
        if (!m_askingClock) {
            m_askingClock = true;
            QTimer::singleShot(0, this, &ConsoleWindow::askAboutClock);
        }
    }
    if (m_askingClock)
        return;
    ::tickSecond(m_session->state(), grid()->cells(), *this);
    m_session->counter().keepAlive();
    // Whatever change the store missed (goods on account from the sale window among them) is
    // said within a second.
    if (!m_session->counter().isProtected())
        QTimer::singleShot(0, m_session, &Session::sayIfUnprotected);
}

void ConsoleWindow::showRestored()
{
    // Captions as the usages found say, and a button for a machine listed again for its bill.
    showMachines();
    if (m_session->hasRestoredTiming())
        tickSecond(); // the minutes, amounts, countdowns and balances since the original start
}

void ConsoleWindow::afterStart()
{
    if (m_session->settleOperators())
        askAboutRestore();
}

bool ConsoleWindow::logIn()
{
    m_session->loggedOut();
    for (;;) {
        LoginWindow login(database(), this);
        loadWindow(&login, this, true);
        if (login.result() == QDialog::Accepted) {
            m_session->loggedIn(login.operatorName(), login.role());
            return true;
        }
        // 退出: the console's own close decides, machines timing keep it open.
        if (close())
            return false;
    }
}

void ConsoleWindow::showBackupAge()
{
    m_ui->标签_备份->setText(m_session->backupWarning());
    m_ui->标签_备份->setStyleSheet(QStringLiteral("color: red;"));
}

bool ConsoleWindow::restoreDatabase(const QString& copyPath)
{
    // The windows open on the old file would show what is no longer there.
    const auto closeWindows = [this] {
        for (QWidget* w : { static_cast<QWidget*>(m_memberWindow), static_cast<QWidget*>(m_saleWindow),
                 static_cast<QWidget*>(m_reportWindow), static_cast<QWidget*>(m_ledgerWindow) }) {
            if (w)
                w->close();
        }
    };
    if (!m_session->restoreDatabase(copyPath, closeWindows))
        return false;
    showRestored();
    askAboutRestore();
    return true;
}

void ConsoleWindow::showOperator(const QString& name, const QString& role)
{
    m_ui->标签_操作员->setText(QStringLiteral("操作员：") + name);
    m_ui->标签_操作员->setToolTip(role);
    m_ratePermit.reset();
    m_ui->编辑框_计费->setReadOnly(!rights().actsAsOwner());
}

void ConsoleWindow::askToChangeRate()
{
    // Keys typed while the question is on its way ask nothing more.
    if (m_ratePermit || !m_ui->编辑框_计费->isReadOnly())
        return;
    OwnerPermit permit = m_session->rights().permit(OwnerAction::ChangeRate);
    if (!permit)
        return;
    m_ratePermit = std::move(permit);
    m_ui->编辑框_计费->setReadOnly(false);
    ::setFocus(m_ui->编辑框_计费);
}

bool ConsoleWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_ui->编辑框_计费 && m_ui->编辑框_计费->isReadOnly()
        && (event->type() == QEvent::MouseButtonDblClick || (event->type() == QEvent::KeyPress && typesIntoABox(event)))) {
        // Asked after the event: the box would otherwise get a key it no longer expects.
        QTimer::singleShot(0, this, &ConsoleWindow::askToChangeRate);
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void ConsoleWindow::askAboutRestore()
{
    const std::optional<RestoredUsages> restored = m_session->takeRestored();
    if (!restored)
        return;
    const RestoredUsages& found = *restored;
    if (!found.readError.isEmpty())
        messageBox(QStringLiteral("上机记录无法读取，未能恢复上次的计时：") + found.readError, MbOk | MbExclamation,
            QStringLiteral("恢复上机"));
    if (!found.skipped.isEmpty())
        messageBox(QStringLiteral("上机记录中有无法恢复的记录（机号：") + found.skipped.join(QStringLiteral("、"))
                + QStringLiteral("），已跳过。"),
            MbOk | MbExclamation, QStringLiteral("恢复上机"));
    if (!found.timing.isEmpty()) {
        const DateTime back = now();
        const int answer = messageBox(restoreQuestion(found, back), MbYesNo | MbExclamation,
            QStringLiteral("恢复上机"));
        m_session->settleInterruption(answer == AnswerYes, found, back);
        tickSecond();
    }
    for (const MachineBill& bill : found.awaitingCheckout)
        settle(bill);
    showRunningCount();
    m_session->sayIfUnprotected();
}

void ConsoleWindow::checkRate()
{
    QLineEdit* box = m_ui->编辑框_计费;
    if (!m_session->acceptRate(box->text())) {
        box->setText(m_session->acceptedRate());
        messageBox(moneyRangeMessage(), MbOk | MbExclamation, QStringLiteral("计费单价"));
        return;
    }
    // An owner's allowance covers this one change.
    if (m_ratePermit) {
        m_ratePermit.reset();
        box->setReadOnly(!rights().actsAsOwner());
    }
}

void ConsoleWindow::acceptTypedCell(int row, int column)
{
    QString why;
    if (m_session->acceptTyped(row, column, &why)) {
        QTimer::singleShot(0, m_session, &Session::sayIfUnprotected);
        return;
    }
    // Told after the grid has closed its editor, which a box shown from inside the edit would
    // leave to be deleted under the grid.
    QTimer::singleShot(0, this, [why] { messageBox(why, MbOk | MbExclamation, QStringLiteral("押金")); });
}

QString ConsoleWindow::clockText() const { return m_ui->标签_现在时间->text(); }

void ConsoleWindow::setClockText(const QString& text) { m_ui->标签_现在时间->setText(text); }

void ConsoleWindow::setStatusText(int part, const QString& text) { m_ui->状态条1->setStatusText(part, text); }

QString ConsoleWindow::statusText(int part) const { return m_ui->状态条1->statusText(part); }

void ConsoleWindow::closeEvent(QCloseEvent* event)
{
    if (!m_session->close(m_ui->编辑框_计费->text())) {
        event->ignore();
        return;
    }
    event->accept();
    emit closed();
}

MemberWindow* ConsoleWindow::openMembers()
{
    return showOnce(m_memberWindow, this,
        [this] { return new MemberWindow(database(), recordSet(), this, m_session->rights()); });
}

SaleWindow* ConsoleWindow::openSale()
{
    return showOnce(m_saleWindow, this,
        [this] { return new SaleWindow(database(), recordSet(), m_session->counter(), this, m_session->rights()); });
}

LedgerWindow* ConsoleWindow::openLedger()
{
    return showOnce(m_ledgerWindow, this, [this] { return new LedgerWindow(database(), this); });
}

ReportWindow* ConsoleWindow::openReport()
{
    return showOnce(m_reportWindow, this, [this] { return new ReportWindow(database(), recordSet(), this); });
}

QWidget* ConsoleWindow::openHelp()
{
    const QString page = seams::sharedFile(QStringLiteral("help/index.html"));
    if (seams::openInBrowser(page))
        return nullptr;
    // No browser to start (a bare counter PC): the guide is shown by the program itself.
    return showOnce(m_helpWindow, this, [this, page] {
        auto* guide = new QTextBrowser(this);
        guide->setWindowFlag(Qt::Window);
        guide->setObjectName(QStringLiteral("帮助窗口"));
        guide->setWindowTitle(QStringLiteral("使用说明"));
        guide->setAccessibleName(QStringLiteral("使用说明"));
        guide->setOpenExternalLinks(false);
        if (QFile::exists(page))
            guide->setSource(QUrl::fromLocalFile(page));
        else
            guide->setPlainText(QStringLiteral("找不到使用说明：") + QDir::toNativeSeparators(page));
        guide->resize(720, 560);
        guide->move(50, 50);
        return guide;
    });
}
