#include "consolewindow.h"

#include "backups/backuprunner.h"
#include "backups/backupwindow.h"
#include "checkout/checkoutwindow.h"
#include "widgets/egrid.h"
#include "common/seams.h"
#include "common/values.h"
#include "widgets/windows.h"
#include "counter/consolegrid.h"
#include "counter/counter.h"
#include "goods/salewindow.h"
#include "ledger/ledgerwindow.h"
#include "machines/machinewindow.h"
#include "members/memberwindow.h"
#include "operators/authorisewindow.h"
#include "operators/loginwindow.h"
#include "operators/operatorwindow.h"
#include "reports/reportwindow.h"
#include "shifts/openshiftwindow.h"
#include "shifts/shiftwindow.h"
#include "store/database.h"
#include "store/recordset.h"
#include "store/inifile.h"
#include "store/machinetable.h"
#include "store/operatortable.h"
#include "store/schema.h"
#include "store/shifttable.h"
#include "ui_consolewindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QFile>
#include <QTextBrowser>
#include <QScrollBar>
#include <QTimer>
#include <QUrl>

namespace {

const QString kSection = QStringLiteral("set");
const QString kRateKey = QStringLiteral("小时价");
const QString kDefaultRate = QStringLiteral("4.0");
const QString kSecondFolderKey = QStringLiteral("备份目录2");

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

IniFile settingsFile() { return IniFile(seams::dataFile(QStringLiteral("jishi.ini"))); }

} // namespace

ConsoleWindow::ConsoleWindow(QWidget* parent)
    : QMainWindow(parent)
    , m_ui(std::make_unique<Ui::ConsoleWindow>())
    , m_timer(new QTimer(this))
    , m_db(new Database(this))
    , m_rs(new RecordSet(this))
    , m_rights(m_db)
{
    m_ui->setupUi(this);
    m_timer->setObjectName(QStringLiteral("时钟_秒"));
    m_ui->状态条1->setParts({ 70, 50, 95, 50, 45, -1 });
    m_ui->状态条1->setStatusText(0, QStringLiteral(" 上机台数："));
    m_ui->状态条1->setStatusText(2, QStringLiteral(" 实时金额合计："));
    m_ui->状态条1->setStatusText(4, QStringLiteral(" 提醒："));
    m_ui->标签_现在时间->clear();

    // The start-up sequence, in its order.
    setupGrid(grid()->cells(), m_state.machines);
    m_counter = std::make_unique<Counter>(m_state, grid()->cells(), m_db);
    layOutWindow(this, grid());
    grid()->setRowSelection(false);

    // Nothing of the program in its data directory yet: an installed program's first start.
    const bool firstStart = !QFileInfo::exists(seams::dataFile(QStringLiteral("jishi.ini")))
        && !QFileInfo::exists(seams::dataFile(QStringLiteral("date.mdb")))
        && !QFileInfo::exists(seams::dataFile(QStringLiteral("backup")));
    const IniFile settings = settingsFile();
    if (!settings.exists())
        settings.write(kSection, kRateKey, kDefaultRate);
    m_state.hourlyRate = hourlyRateOf(settings.read(kSection, kRateKey, kDefaultRate));
    m_ui->编辑框_计费->setText(toText(m_state.hourlyRate));

    m_state.runningCount = 0;
    createMachineButtons();

    const QString databasePath = seams::dataFile(QStringLiteral("date.mdb"));
    // Installed, the program makes its own file in the user's data directory at its first
    // start (nothing of it there yet); a file gone later is an outage, as beside a portable
    // program, not a fresh empty store.
    if (!seams::isPortable() && firstStart) {
        QString why;
        createDatabase(databasePath, &why);
    }
    const QString mismatch = sqliteLibraryMismatch();
    if (!mismatch.isEmpty())
        messageBox(mismatch, MbExclamation, QStringLiteral("数据库"));
    if (!m_db->openDatabase(databasePath)) {
        // Said at once: the operator would otherwise time machines all day and learn at the
        // first checkout that nothing can be booked. Timing goes on regardless.
        messageBox(databaseOutageMessage(databasePath, m_db->openFailure(), m_db->lastError()), MbExclamation,
            QStringLiteral("数据库"));
    }
    m_rs->bind(m_db);
    // With no operator the shift opens silently, so the start is as it always was; with
    // operators, it opens after the login.
    ensureShift(false);
    loadMachines();
    m_backups = new BackupRunner(databasePath, seams::dataFile(QStringLiteral("backup")), this);
    // Written to the settings only once set, so the file stays as it always was without one.
    m_backups->setSecondFolder(settings.read(kSection, kSecondFolderKey, QString()));
    m_backups->setConnection(m_db);
    connect(m_backups, &BackupRunner::finished, this, &ConsoleWindow::backupDone);
    if (m_db->isOpen())
        startBackup();
    auto* backupClock = new QTimer(this);
    connect(backupClock, &QTimer::timeout, this, [this] {
        if (m_backups->isOverdue())
            startBackup();
    });
    backupClock->start(10 * 60 * 1000);
    restoreUsages();

    m_acceptedRate = m_ui->编辑框_计费->text();
    // The rate lives in jishi.ini, which anyone may edit between two runs: a rate other than
    // the last one the program set is written down, so the ledger shows it came from outside.
    QString lastRate;
    if (readLastRate(*m_db, lastRate) && !lastRate.isEmpty()
        && hourlyRateOf(lastRate) != m_state.hourlyRate) {
        LedgerEntry entry = ledgerEntry(*m_db, QStringLiteral("改单价"));
        entry.before = lastRate;
        entry.after = m_acceptedRate;
        entry.detail = QStringLiteral("启动时发现jishi.ini中的单价与程序上次设定的不同");
        m_counter->record(entry);
    }
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
    m_ui->按钮_交班->setEnabled(true);

    auto* operatorMenu = new QMenu(m_ui->按钮_操作员);
    QAction* switching = operatorMenu->addAction(QStringLiteral("切换操作员"), this, &ConsoleWindow::switchOperator);
    switching->setObjectName(QStringLiteral("菜单_切换操作员"));
    operatorMenu->addAction(QStringLiteral("操作员管理"), this, &ConsoleWindow::openOperators)
        ->setObjectName(QStringLiteral("菜单_操作员管理"));
    connect(operatorMenu, &QMenu::aboutToShow, this, [this, switching] {
        switching->setEnabled(m_rights.operatorsDefined());
    });
    m_ui->按钮_操作员->setMenu(operatorMenu);
    m_ui->按钮_操作员->setEnabled(true);
    m_ui->编辑框_计费->installEventFilter(this);
    grid()->installEventFilter(this);
    m_rights.setOwnerAsker([this](OwnerAction action) {
        AuthoriseWindow ask(*m_db, action, QApplication::activeWindow() ? QApplication::activeWindow() : this);
        return loadWindow(&ask, ask.parentWidget(), true) && ask.result() == QDialog::Accepted ? ask.owner()
                                                                                                : QString();
    });

    connect(m_timer, &QTimer::timeout, this, &ConsoleWindow::tickSecond);
    m_timer->start(1000);
    QTimer::singleShot(0, this, &ConsoleWindow::afterStart);
}

ConsoleWindow::~ConsoleWindow()
{
    // The windows it opened borrow its rights and store: they go first.
    delete m_memberWindow;
    delete m_saleWindow;
    delete m_reportWindow;
    delete m_ledgerWindow;
    m_db->closeDatabase();
}

EGrid* ConsoleWindow::grid() const { return m_ui->高级表格1; }

void ConsoleWindow::createMachineButtons()
{
    QPushButton* tmpl = m_ui->按钮1号机开始;
    if (!m_buttonStrip) {
        // The strip covers the grid's height beside it: a long list of buttons scrolls inside
        // it with the grid, each button staying beside its machine's row.
        m_buttonStrip = new QWidget(tmpl->parentWidget());
        m_buttonStrip->setObjectName(QStringLiteral("机器按钮栏"));
        m_buttonStrip->setGeometry(tmpl->x(), grid()->y(), tmpl->width(), grid()->height());
        m_buttonColumn = new QWidget(m_buttonStrip);
        m_buttonStrip->installEventFilter(this);
        m_buttonStrip->show();
        connect(grid()->verticalScrollBar(), &QScrollBar::valueChanged, this, &ConsoleWindow::followGridScroll);
    }
    for (QPushButton* b : std::as_const(machineButtons))
        delete b;
    machineButtons.clear();
    const int step = tmpl->height() + 4;
    int i = 0;
    for (const MachineSlot& m : std::as_const(m_state.machines)) {
        ++i;
        QPushButton* b = copyControl(tmpl);
        b->setParent(m_buttonColumn);
        b->setObjectName(tmpl->objectName() + QStringLiteral("_%1").arg(m.number));
        b->move(0, tmpl->y() - grid()->y() + i * step);
        const bool timing = m_counter->isTiming(m.number);
        b->setText(toText(m.number) + (timing ? QStringLiteral("号停止") : QStringLiteral("号开始")));
        QFont font = b->font();
        font.setBold(timing);
        b->setFont(font);
        if (!m.name.isEmpty())
            b->setAccessibleDescription(m.name);
        setTag(b, toText(m.number));
        b->setVisible(true);
        b->installEventFilter(this);
        connect(b, &QPushButton::clicked, this, [this, b] { toggleMachine(b); });
        machineButtons.insert(m.number, b);
    }
    m_buttonColumn->setGeometry(0, 0, tmpl->width(), tmpl->y() - grid()->y() + (i + 1) * step);
    followGridScroll(grid()->verticalScrollBar()->value());
    tmpl->setVisible(false);
}

QPushButton* ConsoleWindow::machineButton(int n) const { return machineButtons.value(n); }

void ConsoleWindow::followGridScroll(int firstRow)
{
    m_buttonColumn->move(0, -firstRow * grid()->rowHeight(0));
}

void ConsoleWindow::showMachines(const QVector<MachineSlot>& machines)
{
    m_counter->setMachines(machines);
    createMachineButtons();
    setStatusText(StatusPart::RunningCount, toText(m_state.runningCount));
}

void ConsoleWindow::loadMachines()
{
    MachineSetup setup;
    QString error;
    // A store that cannot be read has been said; the machines shown stay.
    if (!readMachines(*m_db, setup, &error))
        return;
    QHash<QString, QColor> colours;
    for (const ZoneInfo& zone : std::as_const(setup.zones)) {
        if (!zone.colour.isEmpty())
            colours.insert(zone.name, QColor(zone.colour));
    }
    QVector<MachineSlot> listed;
    for (const MachineInfo& m : std::as_const(setup.machines)) {
        const QString zone = m.zone.isEmpty() ? defaultZoneName() : m.zone;
        listed.append(MachineSlot { m.number, m.name, zone, colours.value(zone) });
    }
    const bool same = std::equal(listed.cbegin(), listed.cend(), m_state.machines.cbegin(), m_state.machines.cend(),
        [](const MachineSlot& a, const MachineSlot& b) {
            return a.number == b.number && a.name == b.name && a.colour == b.colour;
        });
    if (!same)
        showMachines(listed);
}

void ConsoleWindow::openMachines()
{
    const OwnerPermit permit = m_rights.permit(OwnerAction::ManageMachines);
    if (!permit)
        return;
    MachineWindow window(*m_db, [this](int n) { return m_counter->isOpen(n); }, this);
    loadWindow(&window, this, true);
    if (window.changed())
        loadMachines();
}

bool ConsoleWindow::findTypedMachine(QKeyEvent* key)
{
    const EGridModel& cells = grid()->cells();
    const int row = cells.getCurrentRow();
    const int column = cells.getCurrentColumn() < 0 ? 0 : cells.getCurrentColumn();
    // In 定时 and 押金 digits are the cell's own.
    if (key->text().size() != 1 || !key->text().at(0).isDigit() || (row >= 1 && !cells.isReadOnly(row, column)))
        return false;
    const qint64 moment = qint64(now().days * 86400000.0);
    if (moment - m_typedAt > 1500 || m_typedNumber.size() >= 3)
        m_typedNumber.clear();
    m_typedAt = moment;
    m_typedNumber += key->text();
    const int found = m_state.rowOf(toInteger(m_typedNumber));
    if (found > 0) {
        grid()->cells().setCurrentCell(found, column);
        grid()->scrollTo(grid()->model()->index(found, column));
    }
    return true;
}

void ConsoleWindow::toggleMachine(QPushButton* source)
{
    if (!source)
        return;
    const int n = toInteger(tagOf(source));
    if (!m_state.isListed(n))
        return;
    QFont font = source->font();
    // The machine's state decides, and the caption is made to agree with it.
    if (!m_counter->isTiming(n)) {
        source->setText(toText(n) + QStringLiteral("号停止"));
        font.setBold(true);
        source->setFont(font);
        m_counter->start(n, clockText(), m_ui->编辑框_计费->text());
        setStatusText(StatusPart::RunningCount, toText(m_state.runningCount));
        sayIfUnprotected();
        return;
    }
    source->setText(toText(n) + QStringLiteral("号开始"));
    font.setBold(false);
    source->setFont(font);
    const MachineBill bill = m_counter->stop(n, clockText());
    sayIfUnprotected();
    settle(bill);
    setStatusText(StatusPart::RunningCount, toText(m_state.runningCount));
}

void ConsoleWindow::settle(const MachineBill& bill)
{
    CheckoutWindow checkout(*m_db, *m_rs, *m_counter, bill, this);
    loadWindow(&checkout, this, true);
    m_counter->endUsage(bill.machineNo);
}

void ConsoleWindow::tickSecond()
{
    ::tickSecond(m_state, grid()->cells(), *this);
    m_counter->keepAlive();
    // Whatever change the store missed (goods on account from the sale window among them) is
    // said within a second.
    if (!m_counter->isProtected() && !m_unprotectedSaid)
        QTimer::singleShot(0, this, &ConsoleWindow::sayIfUnprotected);
}

void ConsoleWindow::sayIfUnprotected()
{
    // Said once when protection is lost, and again only after it has come back.
    if (m_counter->isProtected()) {
        m_unprotectedSaid = false;
        return;
    }
    if (m_unprotectedSaid)
        return;
    m_unprotectedSaid = true;
    messageBox(QStringLiteral("上机记录无法写入数据库：") + m_counter->unprotectedText()
            + QStringLiteral("的计时只保存在内存中，程序意外退出或断电后将无法恢复。\n")
            + (m_db->lastError().isEmpty() ? QString() : QStringLiteral("原因：") + m_db->lastError()),
        MbOk | MbExclamation, QStringLiteral("上机记录"));
}

void ConsoleWindow::restoreUsages()
{
    const RestoredUsages found = m_counter->restore();
    // Captions as the usages found say, and a button for a machine listed again for its bill.
    createMachineButtons();
    setStatusText(StatusPart::RunningCount, toText(m_state.runningCount));
    if (found.isEmpty() && found.skipped.isEmpty() && found.readError.isEmpty())
        return;
    if (!found.timing.isEmpty())
        tickSecond(); // the minutes, amounts, countdowns and balances since the original start
    // Asked once the console is on the screen, after the login, before anything else is done.
    m_restored = found;
}

bool ConsoleWindow::settleOperators()
{
    QVector<OperatorRecord> operators;
    QString error;
    if (!readOperators(*m_db, operators, &error)) {
        // Not known is not none: owner rights wait until the operators can be read.
        m_rights.setOperator(QString(), QString());
        m_rights.setUnknown(true, [this] {
            QVector<OperatorRecord> found;
            QString why;
            if (!readOperators(*m_db, found, &why)) {
                messageBox(QStringLiteral("操作员无法读取，店长权限的操作暂时不能进行：") + why, MbOk | MbExclamation,
                    QStringLiteral("操作员"));
                return;
            }
            m_rights.setUnknown(false);
            if (!found.isEmpty())
                logIn();
            else
                showOperator(QString(), QString());
        });
        showOperator(QString(), QString());
        return true;
    }
    m_rights.setUnknown(false);
    if (operators.isEmpty()) {
        m_rights.setOperator(QString(), QString());
        showOperator(QString(), QString());
        return true;
    }
    return logIn();
}

void ConsoleWindow::afterStart()
{
    if (!settleOperators())
        return;
    if (m_restored) {
        const RestoredUsages found = *m_restored;
        m_restored.reset();
        askAboutRestore(found);
    }
}

bool ConsoleWindow::logIn()
{
    showOperator(QString(), QString());
    m_rights.setOperator(QString(), QString());
    for (;;) {
        LoginWindow login(*m_db, this);
        loadWindow(&login, this, true);
        if (login.result() == QDialog::Accepted) {
            m_rights.setOperator(login.operatorName(), login.role());
            showOperator(login.operatorName(), login.role());
            ensureShift(true);
            return true;
        }
        // 退出: the console's own close decides, machines timing keep it open.
        if (close())
            return false;
    }
}

void ConsoleWindow::ensureShift(bool ask)
{
    ShiftRecord shift;
    bool found = false;
    QString error;
    // Without the store no shift can be had; the rows written meanwhile carry none.
    if (!readOpenShift(*m_db, shift, found, &error))
        return;
    if (found) {
        m_db->setShift(shift.number);
        return;
    }
    // Operators defined but nobody logged in yet: the shift waits for the login.
    if (!ask && !m_rights.operatorsDefined()) {
        QVector<OperatorRecord> operators;
        if (readOperators(*m_db, operators, &error) && !operators.isEmpty())
            return;
    }
    double opening = floatLeftInTheDrawer(*m_db);
    if (ask) {
        OpenShiftWindow window(opening, this);
        loadWindow(&window, this, true);
        opening = window.openingFloat();
    }
    if (!openShift(*m_db, opening, shift, &error) && ask)
        showStoreError(error);
}

double ConsoleWindow::depositsHeld() const
{
    double held = 0.0;
    for (const MachineSlot& m : m_state.machines) {
        if (m_counter->isTiming(m.number))
            held += toNumber(m_counter->usageOf(m.number).depositText);
    }
    return held;
}

void ConsoleWindow::openShiftWindow()
{
    // Every cash movement of the shift must be in the store before it is counted against it.
    if (!m_counter->flushEnded() || !m_counter->isProtected()) {
        messageBox(QStringLiteral("还有操作没有写入数据库（") + m_counter->unprotectedText()
                + QStringLiteral("），交班的数字会不全。请排除数据库的问题后再交班。"),
            MbOk | MbExclamation, QStringLiteral("交班"));
        return;
    }
    ensureShift(m_rights.operatorsDefined());
    ShiftWindow window(*m_db, depositsHeld(), !m_rights.operatorsDefined(), this);
    loadWindow(&window, this, true);
    if (!window.handedOver())
        return;
    rememberLedgerHead(*m_db);
    startBackup();
    // Machines go on timing; the next shift takes over their checkouts.
    if (m_rights.operatorsDefined()) {
        m_rights.setOperator(QString(), QString());
        logIn();
        return;
    }
    ensureShift(false);
}

void ConsoleWindow::startBackup()
{
    m_backups->start();
    showBackupAge();
}

void ConsoleWindow::backupDone(const BackupOutcome& outcome)
{
    showBackupAge();
    if (outcome.ok)
        rememberLedgerHead(*m_db);
    if (!outcome.ok) {
        messageBox(QStringLiteral("数据库备份失败：") + outcome.error + QStringLiteral("\n计时和记账不受影响。"),
            MbOk | MbExclamation, QStringLiteral("备份"));
        return;
    }
    // A second folder gone (a drive taken out) is said once, not at every copy.
    if (outcome.secondError.isEmpty()) {
        m_secondFolderMissingSaid = false;
    } else if (!m_secondFolderMissingSaid) {
        m_secondFolderMissingSaid = true;
        messageBox(QStringLiteral("第二备份目录没有备份：") + outcome.secondError, MbOk | MbExclamation,
            QStringLiteral("备份"));
    }
}

void ConsoleWindow::showBackupAge()
{
    BackupFile newest;
    const bool any = m_backups->newestCopy(newest);
    QLabel* label = m_ui->标签_备份;
    if (m_backups->isRunning() && !any) {
        label->clear();
        return;
    }
    label->setText(!m_backups->isOverdue() ? QString()
            : any                          ? QStringLiteral("备份已超过24小时！")
                                           : QStringLiteral("还没有数据库备份！"));
    label->setStyleSheet(QStringLiteral("color: red;"));
}

void ConsoleWindow::openBackups()
{
    const QString busy = m_counter->hasOpenUsage()
        ? QStringLiteral("有机器正在计时或等待结帐，不能恢复备份。请全部结帐后再恢复。")
        : QString();
    const QString second = m_backups->secondFolder();
    BackupWindow window(*m_backups, busy, this);
    loadWindow(&window, this, true);
    if (m_backups->secondFolder() != second)
        settingsFile().write(kSection, kSecondFolderKey, m_backups->secondFolder());
    showBackupAge();
    if (!window.restorePath().isEmpty())
        restoreDatabase(window.restorePath());
}

bool ConsoleWindow::restoreDatabase(const QString& copyPath)
{
    // What the store has not taken yet would go into the restored file: it goes in now, or no
    // restore is made.
    if (!m_counter->flushEnded() || !m_counter->isProtected()) {
        messageBox(QStringLiteral("还有操作没有写入数据库（") + m_counter->unprotectedText()
                + QStringLiteral("），请排除数据库的问题后再恢复。"),
            MbOk | MbExclamation, QStringLiteral("恢复"));
        return false;
    }
    if (m_counter->hasOpenUsage()) {
        messageBox(QStringLiteral("有机器正在计时或等待结帐，不能恢复备份。请全部结帐后再恢复。"), MbOk | MbExclamation,
            QStringLiteral("恢复"));
        return false;
    }
    RestoreOutcome out;
    {
        const OwnerPermit permit = m_rights.permit(OwnerAction::Restore);
        if (!permit)
            return false;
        m_backups->wait();
        // The windows open on the old file would show what is no longer there.
        for (QWidget* w : { static_cast<QWidget*>(m_memberWindow), static_cast<QWidget*>(m_saleWindow),
                 static_cast<QWidget*>(m_reportWindow), static_cast<QWidget*>(m_ledgerWindow) }) {
            if (w)
                w->close();
        }
        out = restoreBackup(*m_db, seams::dataFile(QStringLiteral("date.mdb")), copyPath, m_backups->folder(), now());
    }
    if (!out.ok) {
        showStoreError(QStringLiteral("恢复失败，数据库保持原样：") + out.error);
        return false;
    }
    messageBox(QStringLiteral("已恢复备份") + QFileInfo(copyPath).fileName() + QStringLiteral("。")
            + (out.safetyCopy.isEmpty() ? QString()
                                        : QStringLiteral("原来的数据库已另存为") + QDir::toNativeSeparators(out.safetyCopy)
                       + QStringLiteral("。"))
            + (out.error.isEmpty() ? QString() : u'\n' + out.error),
        MbOk | (out.error.isEmpty() ? MbInformation : MbExclamation), QStringLiteral("恢复"));
    // The console starts afresh on the restored file: its operators, its shift, its usages.
    rememberLedgerHead(*m_db, true);
    m_db->setShift(0);
    if (!settleOperators())
        return true;
    ensureShift(false);
    restoreUsages();
    if (m_restored) {
        const RestoredUsages found = *m_restored;
        m_restored.reset();
        askAboutRestore(found);
    }
    showBackupAge();
    return true;
}

void ConsoleWindow::switchOperator()
{
    if (!m_rights.operatorsDefined())
        return;
    m_counter->record(ledgerEntry(*m_db, QStringLiteral("退出登录")));
    logIn();
}

void ConsoleWindow::openOperators()
{
    const OwnerPermit permit = m_rights.permit(OwnerAction::ManageOperators);
    if (!permit)
        return;
    OperatorWindow window(*m_db, m_rights.operatorName(), m_rights.actsAsOwner(), this);
    loadWindow(&window, this, true);
    if (!window.firstOwner().isEmpty() && !m_rights.operatorsDefined()) {
        // Whoever made the first owner has just typed the owner's password.
        LedgerEntry entry = ledgerEntry(*m_db, QStringLiteral("登录"));
        entry.operatorName = window.firstOwner();
        m_counter->record(entry);
        m_rights.setOperator(window.firstOwner(), ownerRole());
        showOperator(window.firstOwner(), ownerRole());
        return;
    }
    // The operator at the counter may have changed their own role.
    QVector<OperatorRecord> operators;
    QString error;
    if (!m_rights.operatorsDefined() || !readOperators(*m_db, operators, &error))
        return;
    for (const OperatorRecord& op : std::as_const(operators)) {
        if (op.name == m_rights.operatorName()) {
            m_rights.setOperator(op.name, op.role);
            showOperator(op.name, op.role);
        }
    }
}

void ConsoleWindow::showOperator(const QString& name, const QString& role)
{
    m_ui->标签_操作员->setText(QStringLiteral("操作员：") + name);
    m_ui->标签_操作员->setToolTip(role);
    m_ratePermit.reset();
    m_ui->编辑框_计费->setReadOnly(!m_rights.actsAsOwner());
}

void ConsoleWindow::askToChangeRate()
{
    // Keys typed while the question is on its way ask nothing more.
    if (m_ratePermit || !m_ui->编辑框_计费->isReadOnly())
        return;
    OwnerPermit permit = m_rights.permit(OwnerAction::ChangeRate);
    if (!permit)
        return;
    m_ratePermit = std::move(permit);
    m_ui->编辑框_计费->setReadOnly(false);
    ::setFocus(m_ui->编辑框_计费);
}

bool ConsoleWindow::eventFilter(QObject* watched, QEvent* event)
{
    // The wheel over the buttons scrolls the grid, which the buttons follow.
    if (event->type() == QEvent::Wheel && (watched == m_buttonStrip || watched->parent() == m_buttonColumn)) {
        QCoreApplication::sendEvent(grid()->verticalScrollBar(), event);
        return true;
    }
    if (watched == grid() && event->type() == QEvent::KeyPress && findTypedMachine(static_cast<QKeyEvent*>(event)))
        return true;
    if (watched == m_ui->编辑框_计费 && m_ui->编辑框_计费->isReadOnly()
        && (event->type() == QEvent::MouseButtonDblClick || (event->type() == QEvent::KeyPress && typesIntoABox(event)))) {
        // Asked after the event: the box would otherwise get a key it no longer expects.
        QTimer::singleShot(0, this, &ConsoleWindow::askToChangeRate);
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void ConsoleWindow::askAboutRestore(const RestoredUsages& found)
{
    if (!found.readError.isEmpty())
        messageBox(QStringLiteral("上机记录无法读取，未能恢复上次的计时：") + found.readError, MbOk | MbExclamation,
            QStringLiteral("恢复上机"));
    if (!found.skipped.isEmpty())
        messageBox(QStringLiteral("上机记录中有无法恢复的记录（机号：") + found.skipped.join(QStringLiteral("、"))
                + QStringLiteral("），已跳过。"),
            MbOk | MbExclamation, QStringLiteral("恢复上机"));
    if (!found.timing.isEmpty()) {
        QString text = QStringLiteral("程序上次没有正常退出，以下机器已恢复计时：\n");
        for (const UsageRow& row : found.timing)
            text += toText(row.machineNo) + QStringLiteral("号机  上机时间 ") + row.clockText + QStringLiteral("  押金 ")
                + (row.depositText.isEmpty() ? QStringLiteral("0") : row.depositText) + u'\n';
        for (const MachineBill& bill : found.awaitingCheckout)
            text += toText(bill.machineNo) + QStringLiteral("号机已停止，尚未结帐，将重新打开结帐窗口。\n");
        const DateTime back = now();
        text += QStringLiteral("程序最后运行于")
            + (found.lastSeenKnown ? timeToText(found.lastSeen, 1) : QStringLiteral("（不详）"))
            + QStringLiteral("，于") + timeToText(back, 1) + QStringLiteral("重新启动。\n中断期间是否计费？");
        const bool charged
            = messageBox(text, MbYesNo | MbExclamation, QStringLiteral("恢复上机")) == AnswerYes;
        m_counter->settleInterruption(charged, found.lastSeenKnown ? found.lastSeen : back);
        tickSecond();
    }
    for (const MachineBill& bill : found.awaitingCheckout)
        settle(bill);
    setStatusText(StatusPart::RunningCount, toText(m_state.runningCount));
    sayIfUnprotected();
}

void ConsoleWindow::checkRate()
{
    QLineEdit* box = m_ui->编辑框_计费;
    if (isMoneyText(box->text())) {
        if (box->text() != m_acceptedRate) {
            LedgerEntry entry = ledgerEntry(*m_db, QStringLiteral("改单价"));
            entry.before = m_acceptedRate;
            entry.after = box->text();
            m_counter->record(entry);
        }
        m_acceptedRate = box->text();
        // An owner's allowance covers this one change.
        if (m_ratePermit) {
            m_ratePermit.reset();
            box->setReadOnly(!m_rights.actsAsOwner());
        }
        return;
    }
    box->setText(m_acceptedRate);
    messageBox(moneyRangeMessage(), MbOk | MbExclamation, QStringLiteral("计费单价"));
}

void ConsoleWindow::acceptTypedCell(int row, int column)
{
    QString why;
    if (m_counter->acceptTyped(m_state.machineAt(row), column, &why)) {
        QTimer::singleShot(0, this, &ConsoleWindow::sayIfUnprotected);
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
    if (m_state.firstTimingMachine() != 0) {
        messageBox(QStringLiteral("尚有机器在计时！请停止计时后再退出"), MbExclamation, QStringLiteral("退出确认"));
        event->ignore();
        return;
    }
    if (!m_counter->flushEnded()) {
        messageBox(QStringLiteral("上机记录未能清除（") + m_counter->unprotectedText()
                + QStringLiteral("）：下次启动时这些机器会作为未结束的上机出现，请按实际情况处理。"),
            MbOk | MbExclamation, QStringLiteral("上机记录"));
    }
    settingsFile().write(kSection, kRateKey, m_ui->编辑框_计费->text());
    m_backups->wait();
    if (m_rights.operatorsDefined()) {
        m_counter->record(ledgerEntry(*m_db, QStringLiteral("退出登录")));
        m_rights.setOperator(QString(), QString());
    }
    rememberLedgerHead(*m_db);
    event->accept();
    emit closed();
}

MemberWindow* ConsoleWindow::openMembers()
{
    return showOnce(m_memberWindow, this, [this] { return new MemberWindow(*m_db, *m_rs, this, m_rights); });
}

SaleWindow* ConsoleWindow::openSale()
{
    return showOnce(m_saleWindow, this,
        [this] {
            return new SaleWindow(*m_db, *m_rs, *m_counter, this, m_rights);
        });
}

LedgerWindow* ConsoleWindow::openLedger()
{
    return showOnce(m_ledgerWindow, this, [this] { return new LedgerWindow(*m_db, this); });
}

ReportWindow* ConsoleWindow::openReport()
{
    return showOnce(m_reportWindow, this, [this] { return new ReportWindow(*m_db, *m_rs, this); });
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
