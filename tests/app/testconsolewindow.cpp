#include "app/consolewindow.h"
#include "app/session.h"
#include "clients/clientservice.h"
#include "widgets/egrid.h"
#include "common/seams.h"
#include "counter/consolegrid.h"
#include "counter/counter.h"
#include "ledger/ledgerwindow.h"
#include "store/database.h"
#include "store/operatortable.h"
#include "backups/backuprunner.h"
#include "store/backup.h"
#include "support/guisupport.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTimer>
#include <QTextBrowser>
#include <QTreeWidget>
#include <QTcpServer>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

const QDateTime kMorning(QDate(2026, 12, 7), QTime(10, 0, 30));


} // namespace

// Receives the help page's address instead of a browser.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl& url) { urls.append(url); }
};

int listBackupsIn(const QString& folder) { return int(listBackups(folder).size()); }

class TestConsoleWindow : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void firstStartInAnEmptyDirectory();
    void machinesAddedWhileOneTimes();
    void machineTakenOutAboveOnesThatTime();
    void twoHundredUsagesComeBack();
    void rateIsWrittenBackAsTyped_data();
    void rateIsWrittenBackAsTyped();
    void startingAMachine();
    void startBeforeTheFirstTickHasNoStartTime();
    void ticksShowMinutesRemindersAndTotal();
    void closeIsRefusedWhileAMachineIsTiming();
    void stopOpensCheckoutModallyWhileTheClockRuns();
    void helpOpensTheLocalGuide();
    void helpWithoutABrowserShowsTheGuide();
    void typedAmountsBeyondASingleAreRefused();
    void stripUnderTheGrid();
    void operatorsLogInAtStart();
    void handoverWithoutOperators();
    void installedLayoutKeepsFilesInTheDataDirectory();
    void rateEditedOutsideIsWrittenDown();
    void buttonWindowsOpenOnceBesideTheConsole();
    void databaseOutageIsSaidAtOnceAndEndsWhenPutRight_data();
    void usagesComeBackAfterACrash_data();
    void usagesComeBackAfterACrash();
    void aBillBeingSettledComesBack();
    void damagedUsagesAreSkipped();
    void databaseOutageIsSaidAtOnceAndEndsWhenPutRight();
    void ownerActionAfterAnOutageAtStart_data();
    void ownerActionAfterAnOutageAtStart();

private:

    std::unique_ptr<TestProgramDir> m_dir;
    std::unique_ptr<ScriptedResponder> m_responder;
    std::unique_ptr<TestClock> m_clock;
};

void TestConsoleWindow::init()
{
    m_dir = std::make_unique<TestProgramDir>(true);
    m_responder = std::make_unique<ScriptedResponder>();
    m_clock = std::make_unique<TestClock>(kMorning);
}

void TestConsoleWindow::cleanup()
{
    m_clock.reset();
    m_responder.reset();
    m_dir.reset();
}

void TestConsoleWindow::firstStartInAnEmptyDirectory()
{
    TestProgramDir empty(false);
    auto console = makeConsole();
    QCOMPARE(console->windowTitle(), QStringLiteral("朗拓管家 1.8"));
    QCOMPARE(fileBytes(empty.file(QStringLiteral("jishi.ini"))), QByteArray("[set]\r\n\xD0\xA1\xCA\xB1\xBC\xDB=4.0\r\n"));
    QCOMPARE(console->findChild<QLineEdit*>(QStringLiteral("编辑框_计费"))->text(), QStringLiteral("4"));
    int lastTop = 0;
    for (int n = 1; n <= 15; ++n) {
        QPushButton* b = console->machineButton(n);
        QCOMPARE(b->text(), QString::number(n) + QStringLiteral("号开始"));
        QVERIFY(b->isVisible());
        QCOMPARE(QRect(b->mapTo(console.get(), QPoint(0, 0)), b->size()), QRect(633, 46 + 24 * n, 70, 20));
        QVERIFY(b->y() > lastTop);
        lastTop = b->y();
    }
    QVERIFY(console->findChild<QPushButton*>(QStringLiteral("按钮1号机开始"))->isHidden());
    QCOMPARE(console->statusText(0), QStringLiteral(" 上机台数："));
    QCOMPARE(console->statusText(2), QStringLiteral(" 实时金额合计："));
    QCOMPARE(console->statusText(4), QStringLiteral(" 提醒："));
    QCOMPARE(console->grid()->cells().getCell(15, 0), QStringLiteral("15号"));
    QVERIFY(console->findChild<QTimer*>(QStringLiteral("时钟_秒")));
    // Without date.mdb the console still starts, and says so; nothing is created.
    QVERIFY(!console->database().isOpen());
    QCOMPARE(m_responder->boxes.size(), 1);
    QVERIFY(!QFile::exists(empty.databasePath()));
}

void TestConsoleWindow::rateIsWrittenBackAsTyped_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shownNextTime");
    QTest::newRow("5") << "5" << "5";
    QTest::newRow("5.5") << "5.5" << "5.5";
    QTest::newRow("4.50") << "4.50" << "4.5";
    QTest::newRow("empty") << "" << "0";
    QTest::newRow("abc") << "abc" << "0";
    QTest::newRow("too large for a single") << "1e39" << "0";
}

void TestConsoleWindow::rateIsWrittenBackAsTyped()
{
    QFETCH(QString, typed);
    QFETCH(QString, shownNextTime);
    {
        auto console = makeConsole();
        QVERIFY(console->database().isOpen());
        console->findChild<QLineEdit*>(QStringLiteral("编辑框_计费"))->setText(typed);
        QSignalSpy closed(console.get(), &ConsoleWindow::closed);
        QVERIFY(console->close());
        QCOMPARE(closed.count(), 1);
    }
    auto again = makeConsole();
    QCOMPARE(again->findChild<QLineEdit*>(QStringLiteral("编辑框_计费"))->text(), shownNextTime);
    QVERIFY(m_responder->boxes.isEmpty());
}

void TestConsoleWindow::startingAMachine()
{
    auto console = makeConsole();
    console->tickSecond();
    QPushButton* b = console->machineButton(3);
    QTest::mouseClick(b, Qt::LeftButton);
    QCOMPARE(b->text(), QStringLiteral("3号停止"));
    QVERIFY(b->font().bold());
    QVERIFY(!console->machineButton(4)->font().bold());
    const EGridModel& cells = console->grid()->cells();
    const QStringList row { QStringLiteral("10时0分30秒"), QString(), QStringLiteral("0"), QStringLiteral("0.067"),
        QStringLiteral("0.0"), QStringLiteral("0"), QStringLiteral("0"), QStringLiteral("0.0"), QStringLiteral("0.0"),
        QStringLiteral("0.0") };
    for (int c = 1; c <= 10; ++c)
        QCOMPARE(cells.getCell(3, c), row[c - 1]);
    QCOMPARE(cells.cellColour(3, 0), QColor(255, 0, 0));
    QCOMPARE(console->grid()->currentIndex().row(), 3);
    QCOMPARE(console->statusText(1), QStringLiteral("1"));
    QCOMPARE(console->state().machineTable[3].state, 1);
    QCOMPARE(console->state().machineTable[3].perMinutePrice, float(4.0 / 60.0));
    // A changed rate applies only to machines started afterwards.
    console->findChild<QLineEdit*>(QStringLiteral("编辑框_计费"))->setText(QStringLiteral("6"));
    QTest::mouseClick(console->machineButton(4), Qt::LeftButton);
    QCOMPARE(cells.getCell(4, 4), QStringLiteral("0.100"));
    QCOMPARE(console->state().machineTable[3].perMinutePrice, float(4.0 / 60.0));
    QCOMPARE(console->statusText(1), QStringLiteral("2"));
}

void TestConsoleWindow::startBeforeTheFirstTickHasNoStartTime()
{
    auto console = makeConsole();
    QTest::mouseClick(console->machineButton(1), Qt::LeftButton);
    QCOMPARE(console->grid()->cells().getCell(1, 1), QString());
    QCOMPARE(console->grid()->cells().getCell(1, 3), QStringLiteral("0"));
}

void TestConsoleWindow::ticksShowMinutesRemindersAndTotal()
{
    auto console = makeConsole();
    auto* clock = console->findChild<QLabel*>(QStringLiteral("标签_现在时间"));
    EGridModel& cells = console->grid()->cells();
    QTest::mouseClick(console->machineButton(2), Qt::LeftButton);
    QTest::mouseClick(console->machineButton(5), Qt::LeftButton);
    cells.commitEdit(2, 8, QStringLiteral("10"));
    m_clock->advance(59);
    console->tickSecond();
    QCOMPARE(clock->text(), QStringLiteral("10时1分29秒"));
    QCOMPARE(cells.getCell(2, 3), QStringLiteral("0"));
    m_clock->advance(148 * 60 - 59);
    console->tickSecond();
    QCOMPARE(cells.getCell(2, 5), QStringLiteral("9.9"));
    QCOMPARE(cells.getCell(2, 10), QStringLiteral("0.1"));
    QCOMPARE(console->statusText(3), QStringLiteral("19.8"));
    QCOMPARE(m_responder->beeps, 0);
    m_clock->advance(60);
    console->tickSecond();
    QCOMPARE(cells.getCell(2, 10), QStringLiteral("0.0"));
    QCOMPARE(console->statusText(5), QStringLiteral("2号机计费时间已到！"));
    QCOMPARE(m_responder->beeps, 1);
    cells.commitEdit(5, 6, QStringLiteral("60"));
    for (int i = 0; i < 9; ++i) {
        m_clock->advance(1);
        console->tickSecond();
    }
    // Two calls a tick (machine 2's deposit, machine 5's time) meet the counter at 1…18: beeps at 5, 10, 15.
    QCOMPARE(m_responder->beeps, 4);
    QCOMPARE(console->state().reminderCounter, 19);
    QCOMPARE(console->statusText(5), QStringLiteral("2号机计费时间已到！"));
    QCOMPARE(cells.getCell(5, 7), QStringLiteral("-89"));
}

void TestConsoleWindow::closeIsRefusedWhileAMachineIsTiming()
{
    auto console = makeConsole();
    const QByteArray before = fileBytes(m_dir->file(QStringLiteral("jishi.ini")));
    QTest::mouseClick(console->machineButton(7), Qt::LeftButton);
    console->findChild<QLineEdit*>(QStringLiteral("编辑框_计费"))->setText(QStringLiteral("9"));
    QSignalSpy closed(console.get(), &ConsoleWindow::closed);
    QVERIFY(!console->close());
    QVERIFY(console->isVisible());
    QCOMPARE(closed.count(), 0);
    QCOMPARE(m_responder->boxes.size(), 1);
    QCOMPARE(m_responder->boxes[0].text, QStringLiteral("尚有机器在计时！请停止计时后再退出"));
    QCOMPARE(m_responder->boxes[0].title, QStringLiteral("退出确认"));
    QCOMPARE(m_responder->boxes[0].style, 0x30);
    QCOMPARE(fileBytes(m_dir->file(QStringLiteral("jishi.ini"))), before);
}

void TestConsoleWindow::stopOpensCheckoutModallyWhileTheClockRuns()
{
    auto console = makeConsole();
    QTest::mouseClick(console->machineButton(3), Qt::LeftButton);
    QTest::mouseClick(console->machineButton(4), Qt::LeftButton);
    QCOMPARE(console->statusText(1), QStringLiteral("2"));
    m_clock->advance(30 * 60);
    console->tickSecond();
    auto* clock = console->findChild<QLabel*>(QStringLiteral("标签_现在时间"));
    console->clockTimer()->start(20); // the real timer, quickened
    QString title, fee, countWhileOpen, clockSeen;
    whenModalShown([&](QWidget* modal) {
        title = modal->windowTitle();
        fee = modal->findChild<QLineEdit*>(QStringLiteral("编辑框_上机费"))->text();
        countWhileOpen = console->statusText(1);
        m_clock->advance(5);
        QTRY_COMPARE(clock->text(), QStringLiteral("10时30分35秒"));
        clockSeen = clock->text();
        qobject_cast<QDialog*>(modal)->reject();
    });
    QTest::mouseClick(console->machineButton(3), Qt::LeftButton); // returns when checkout has closed
    console->clockTimer()->stop();
    QCOMPARE(title, QStringLiteral("3号机结帐"));
    QCOMPARE(fee, QStringLiteral("2.0"));
    QCOMPARE(countWhileOpen, QStringLiteral("2"));
    QCOMPARE(clockSeen, QStringLiteral("10时30分35秒"));
    QCOMPARE(console->statusText(1), QStringLiteral("1"));
    QCOMPARE(console->machineButton(3)->text(), QStringLiteral("3号开始"));
    QVERIFY(!console->machineButton(3)->font().bold());
    QCOMPARE(console->grid()->cells().cellColour(3, 0), QColor(0, 0, 0));
    // Closed without confirming: nothing booked, the row keeps its values.
    QCOMPARE(queryValue(m_dir->databasePath(), QStringLiteral("select count(*) from 收入记录")).toInt(), 0);
    QCOMPARE(console->grid()->cells().getCell(3, 5), QStringLiteral("2.0"));
    QCOMPARE(console->grid()->cells().getCell(3, 2), QStringLiteral("10时30分30秒"));
}

void TestConsoleWindow::helpOpensTheLocalGuide()
{
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &catcher, "open");
    auto console = makeConsole();
    QTest::mouseClick(console->findChild<QPushButton*>(QStringLiteral("按钮_帮助")), Qt::LeftButton);
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    QCOMPARE(catcher.urls.size(), 1);
    QCOMPARE(catcher.urls[0], QUrl::fromLocalFile(m_dir->file(QStringLiteral("help/index.html"))));
}

void TestConsoleWindow::helpWithoutABrowserShowsTheGuide()
{
    QDir(m_dir->path()).mkpath(QStringLiteral("help"));
    QFile page(m_dir->file(QStringLiteral("help/index.html")));
    QVERIFY(page.open(QIODevice::WriteOnly));
    page.write(QStringLiteral("<html><body><h1>计费单价</h1></body></html>").toUtf8());
    page.close();
    seams::setUrlOpener([](const QString&) { return false; });
    auto console = makeConsole();
    QTest::mouseClick(console->findChild<QPushButton*>(QStringLiteral("按钮_帮助")), Qt::LeftButton);
    seams::setUrlOpener({});
    auto* guide = console->findChild<QTextBrowser*>(QStringLiteral("帮助窗口"));
    QVERIFY(guide);
    QVERIFY(guide->isVisible() && guide->isWindow());
    QCOMPARE(guide->windowTitle(), QStringLiteral("使用说明"));
    QVERIFY(guide->toPlainText().contains(QStringLiteral("计费单价")));
    QVERIFY(m_responder->boxes.isEmpty());
}

void TestConsoleWindow::typedAmountsBeyondASingleAreRefused()
{
    auto console = makeConsole();
    auto* rate = console->findChild<QLineEdit*>(QStringLiteral("编辑框_计费"));
    rate->setText(QStringLiteral("100000"));
    QTest::keyClick(rate, Qt::Key_Return);
    QCOMPARE(rate->text(), QStringLiteral("4")); // the last rate it could carry
    QCOMPARE(m_responder->boxes.size(), 1);
    QCOMPARE(m_responder->boxes[0].text, QStringLiteral("金额必须在-99999.99到99999.99之间！"));
    EGridModel& cells = console->grid()->cells();
    QTest::mouseClick(console->machineButton(3), Qt::LeftButton);
    cells.commitEdit(3, ConsoleColumn::Deposit, QString(40, u'9'));
    QCOMPARE(toNumber(cells.getCell(3, ConsoleColumn::Deposit)), 0.0);
    QTRY_COMPARE(m_responder->boxes.size(), 2); // once the editor is gone
    QCOMPARE(m_responder->boxes[1].text, QStringLiteral("金额必须在-99999.99到99999.99之间！"));
    cells.commitEdit(3, ConsoleColumn::Deposit, QStringLiteral("99999.9"));
    QCOMPARE(cells.getCell(3, ConsoleColumn::Deposit), QStringLiteral("99999.9"));
    console->tickSecond();
    QVERIFY(!cells.getCell(3, ConsoleColumn::Balance).contains(QStringLiteral("inf")));
}

void TestConsoleWindow::stripUnderTheGrid()
{
    auto console = makeConsole();
    const QRect grid = console->grid()->geometry();
    int left = -1;
    for (const auto& [name, text, enabled] : { std::tuple { "按钮_交班", "交班", true },
             std::tuple { "按钮_记录", "记录", true }, std::tuple { "按钮_备份", "备份", true },
             std::tuple { "按钮_操作员", "操作员", true }, std::tuple { "按钮_机器", "机器", true },
             std::tuple { "按钮_计费", "计费", true }, std::tuple { "按钮_套餐", "套餐", true },
             std::tuple { "按钮_客户机", "客户机", true } }) {
        auto* b = console->findChild<QPushButton*>(QString::fromUtf8(name));
        QVERIFY(b);
        QCOMPARE(b->text(), QString::fromUtf8(text));
        QCOMPARE(b->isEnabled(), enabled);
        QCOMPARE(b->geometry().top(), 436);
        QCOMPARE(b->height(), 22);
        QVERIFY(b->x() > left && b->geometry().top() > grid.bottom());
        left = b->geometry().right();
    }
    // Client PCs are off until the owner turns them on: the counter listens on no port, and the
    // status bar is as without them.
    QVERIFY(!console->session().clients().hub());
    auto* online = console->findChild<QLabel*>(QStringLiteral("标签_客户机在线"));
    QVERIFY(online && online->isHidden());
    quint16 port = 0;
    {
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
        port = probe.serverPort();
    }
    QCOMPARE(console->session().clients().configure(true, port), QString());
    QVERIFY(!online->isHidden());
    QCOMPARE(online->accessibleName(), QStringLiteral("客户机在线：0台"));
    QCOMPARE(console->session().clients().configure(false, port), QString());
    QVERIFY(online->isHidden());
    auto* who = console->findChild<QLabel*>(QStringLiteral("标签_操作员"));
    QCOMPARE(who->text(), QStringLiteral("操作员：")); // no operator defined
    QVERIFY(who->x() > left);
    QVERIFY(console->findChild<QWidget*>(QStringLiteral("状态条1"))->geometry().top() > who->geometry().bottom());
    QTest::mouseClick(console->findChild<QPushButton*>(QStringLiteral("按钮_记录")), Qt::LeftButton);
    QCOMPARE(console->openLedger()->windowTitle(), QStringLiteral("操作记录"));
    QCOMPARE(console->findChildren<LedgerWindow*>().size(), 1);
}

void TestConsoleWindow::operatorsLogInAtStart()
{
    {
        Database db;
        QVERIFY(db.openDatabase(m_dir->databasePath()));
        QString why;
        QVERIFY(addOperator(db, QStringLiteral("老板"), ownerRole(), QStringLiteral("1234"), &why));
        QVERIFY(addOperator(db, QStringLiteral("小王"), cashierRole(), QStringLiteral("wang"), &why));
    }
    const auto logInAs = [](const QString& name, const QString& password, bool opensShift) {
        whenModalShown([name, password, opensShift](QWidget* modal) {
            QCOMPARE(modal->windowTitle(), QStringLiteral("登录"));
            modal->findChild<QComboBox*>(QStringLiteral("组合框_操作员"))->setCurrentText(name);
            modal->findChild<QLineEdit*>(QStringLiteral("编辑框_密码"))->setText(password);
            if (opensShift) {
                // No shift is open: the float is asked after the login, what the last left offered.
                whenModalShown([](QWidget* open) {
                    QCOMPARE(open->windowTitle(), QStringLiteral("开班"));
                    QCOMPARE(open->findChild<QLineEdit*>(QStringLiteral("编辑框_备用金"))->text(),
                        QStringLiteral("0.00"));
                    open->findChild<QLineEdit*>(QStringLiteral("编辑框_备用金"))->setText(QStringLiteral("200"));
                    open->findChild<QPushButton*>(QStringLiteral("按钮_确定"))->click();
                });
            }
            modal->findChild<QPushButton*>(QStringLiteral("按钮_确定"))->click();
        });
    };
    logInAs(QStringLiteral("小王"), QStringLiteral("wang"), true);
    auto console = makeConsole();
    auto* who = console->findChild<QLabel*>(QStringLiteral("标签_操作员"));
    QTRY_COMPARE(who->text(), QStringLiteral("操作员：小王"));
    // A cashier's key in the rate box asks an owner; allowed, the one change is made.
    auto* rate = console->findChild<QLineEdit*>(QStringLiteral("编辑框_计费"));
    QVERIFY(rate->isReadOnly());
    whenModalShown([](QWidget* modal) {
        QCOMPARE(modal->windowTitle(), QStringLiteral("店长授权"));
        modal->findChild<QLineEdit*>(QStringLiteral("编辑框_密码"))->setText(QStringLiteral("1234"));
        modal->findChild<QPushButton*>(QStringLiteral("按钮_确定"))->click();
    });
    QTest::keyClick(rate, Qt::Key_5);
    QTRY_VERIFY(!rate->isReadOnly());
    rate->setText(QStringLiteral("5"));
    emit rate->editingFinished();
    QVERIFY(rate->isReadOnly());
    // 切换操作员: the cashier logs out, the owner logs in and may type the rate.
    logInAs(QStringLiteral("老板"), QStringLiteral("1234"), false);
    console->switchOperator();
    QCOMPARE(who->text(), QStringLiteral("操作员：老板"));
    QVERIFY(!rate->isReadOnly());
    QCOMPARE(queryValue(m_dir->databasePath(),
                 QStringLiteral("select group_concat(v, ';') from (select 类型||':'||操作员||':'||授权店长||':'||之后 "
                                "as v from 操作记录 where 序号>2 order by 序号)"))
                 .toString(),
        QStringLiteral("登录:小王::;开班:小王::200.00;授权:小王:老板:;改单价:小王:老板:5;退出登录:小王::;登录:老板::"));
    QCOMPARE(queryValue(m_dir->databasePath(), QStringLiteral("select 操作员||':'||备用金 from 班次")).toString(),
        QStringLiteral("小王:200"));
    // 退出 at the login closes the console when nothing is timing.
    QSignalSpy closed(console.get(), &ConsoleWindow::closed);
    whenModalShown([](QWidget* modal) { modal->findChild<QPushButton*>(QStringLiteral("按钮_退出"))->click(); });
    QVERIFY(!console->logIn());
    QCOMPARE(closed.size(), 1);
}

void TestConsoleWindow::handoverWithoutOperators()
{
    auto console = makeConsole();
    QTest::qWait(0); // what the console does once it shows
    const QString path = m_dir->databasePath();
    QCOMPARE(queryValue(path, QStringLiteral("select count(*)||':'||备用金 from 班次 where 结束时间 is null")).toString(),
        QStringLiteral("1:0"));
    QVERIFY(m_responder->boxes.isEmpty()); // opened silently
    EGridModel& cells = console->grid()->cells();
    QTest::mouseClick(console->machineButton(2), Qt::LeftButton);
    cells.commitEdit(2, ConsoleColumn::Deposit, QStringLiteral("20"));
    m_responder->answerNext(AnswerYes);
    whenModalShown([](QWidget* modal) {
        QCOMPARE(modal->windowTitle(), QStringLiteral("交班"));
        QLineEdit* counted = modal->findChild<QLineEdit*>(QStringLiteral("编辑框_实点现金"));
        QCOMPARE(modal->findChild<QLineEdit*>(QStringLiteral("编辑框_在用押金"))->text(), QStringLiteral("20.00"));
        counted->setText(QStringLiteral("20"));
        emit counted->editingFinished();
        modal->findChild<QLineEdit*>(QStringLiteral("编辑框_留存备用金"))->setText(QStringLiteral("20"));
        modal->findChild<QPushButton*>(QStringLiteral("按钮_确认交班"))->click();
        qobject_cast<QDialog*>(modal)->reject();
    });
    QTest::mouseClick(console->findChild<QPushButton*>(QStringLiteral("按钮_交班")), Qt::LeftButton);
    // The next shift opens at once with what was left; machine 2 times on into it.
    QCOMPARE(queryValue(path, QStringLiteral("select group_concat(编号||':'||备用金||':'||ifnull(实点现金,'-')) from 班次"))
                 .toString(),
        QStringLiteral("1:0:20,2:20:-"));
    QCOMPARE(console->state().firstTimingMachine(), 2);
    QCOMPARE(console->database().shift(), 2);
}

void TestConsoleWindow::installedLayoutKeepsFilesInTheDataDirectory()
{
    // As the package installs it: the program in bin/, read-only, its guide in share/langtuo/.
    QTemporaryDir root;
    const QString bin = root.filePath(QStringLiteral("usr/bin"));
    QVERIFY(QDir().mkpath(bin) && QDir().mkpath(root.filePath(QStringLiteral("usr/share/langtuo/help"))));
    QFile guide(root.filePath(QStringLiteral("usr/share/langtuo/help/index.html")));
    QVERIFY(guide.open(QIODevice::WriteOnly));
    guide.close();
    QVERIFY(QFile::setPermissions(bin, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther));
    const QByteArray oldHome = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", root.filePath(QStringLiteral("home/.local/share")).toUtf8());
    const QString oldName = QCoreApplication::applicationName();
    QCoreApplication::setApplicationName(QStringLiteral("langtuo"));
    seams::setProgramDir(bin);
    const QString data = root.filePath(QStringLiteral("home/.local/share/langtuo"));
    {
        auto console = makeConsole();
        QTest::qWait(0);
        QCOMPARE(QDir(seams::dataDir()).absolutePath(), QDir(data).absolutePath());
        QVERIFY(console->database().isOpen()); // made from the schema at start
        QTRY_VERIFY(!console->backups().isRunning());
        QCOMPARE(seams::sharedFile(QStringLiteral("help/index.html")),
            QDir::cleanPath(root.filePath(QStringLiteral("usr/share/langtuo/help/index.html"))));
        console->close();
    }
    QVERIFY(QFile::exists(data + QStringLiteral("/date.mdb")));
    QVERIFY(QFile::exists(data + QStringLiteral("/jishi.ini")));
    QCOMPARE(listBackupsIn(data + QStringLiteral("/backup")), 1);
    QCOMPARE(QDir(bin).entryList(QDir::Files | QDir::NoDotAndDotDot), QStringList());
    // Gone later, the file is an outage, not a fresh empty store.
    QVERIFY(QFile::remove(data + QStringLiteral("/date.mdb")));
    {
        auto console = makeConsole();
        QVERIFY(!console->database().isOpen());
        QVERIFY(m_responder->boxes.value(0).text.contains(QStringLiteral("date.mdb")));
        console->close();
    }
    QVERIFY(!QFile::exists(data + QStringLiteral("/date.mdb")));
    seams::setProgramDir(m_dir->path());
    QCoreApplication::setApplicationName(oldName);
    qputenv("XDG_DATA_HOME", oldHome);
    QFile::setPermissions(bin, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

void TestConsoleWindow::rateEditedOutsideIsWrittenDown()
{
    const QString newest = QStringLiteral("select 之前||'>'||之后 from 操作记录 where 类型='改单价' order by 序号 desc");
    const auto editIni = [this](const QByteArray& rate) {
        QFile ini(m_dir->file(QStringLiteral("jishi.ini")));
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write("[set]\r\n\xD0\xA1\xCA\xB1\xBC\xDB=" + rate + "\r\n");
    };
    {
        // Only a start has used the rate so far: a first edit outside is written down too.
        auto console = makeConsole();
        QTest::mouseClick(console->machineButton(1), Qt::LeftButton);
        whenModalShown([](QWidget* modal) { qobject_cast<QDialog*>(modal)->reject(); });
        QTest::mouseClick(console->machineButton(1), Qt::LeftButton);
        console->close();
    }
    editIni("3.5");
    { auto console = makeConsole(); }
    QCOMPARE(queryValue(m_dir->databasePath(), newest).toString(), QStringLiteral("4>3.5"));
    {
        auto console = makeConsole();
        auto* rate = console->findChild<QLineEdit*>(QStringLiteral("编辑框_计费"));
        rate->setText(QStringLiteral("5"));
        emit rate->editingFinished();
        console->close();
    }
    QCOMPARE(queryValue(m_dir->databasePath(), newest).toString(), QStringLiteral("3.5>5"));
    // Unchanged since, nothing is added; edited in jishi.ini, the start says so.
    { auto console = makeConsole(); }
    QCOMPARE(queryValue(m_dir->databasePath(), QStringLiteral("select count(*) from 操作记录 where 类型='改单价'")).toInt(), 2);
    editIni("2");
    { auto console = makeConsole(); }
    QCOMPARE(queryValue(m_dir->databasePath(), newest).toString(), QStringLiteral("5>2"));
}

void TestConsoleWindow::buttonWindowsOpenOnceBesideTheConsole()
{
    auto console = makeConsole();
    const QStringList buttons { QStringLiteral("按钮_会员"), QStringLiteral("按钮_销售"), QStringLiteral("按钮_业绩") };
    const QStringList captions { QStringLiteral("会员管理"), QStringLiteral("商品销售"), QStringLiteral("业绩") };
    QList<QWidget*> opened;
    for (const QString& name : buttons) {
        auto* button = console->findChild<QPushButton*>(name);
        QTest::mouseClick(button, Qt::LeftButton);
        QWidget* window = nullptr;
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (w->isVisible() && w != console.get() && !opened.contains(w))
                window = w;
        }
        QVERIFY(window);
        QCOMPARE(window->windowTitle(), captions[opened.size()]);
        QVERIFY(!window->isModal());
        QCOMPARE(window->parentWidget(), console.get());
        QCOMPARE(window->pos(), QPoint(50, 50));
        opened.append(window);
        QTest::mouseClick(button, Qt::LeftButton); // asking again raises the same window
    }
    int visible = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
        visible += w->isVisible() && w != console.get() ? 1 : 0;
    QCOMPARE(visible, buttons.size());
    // The console stays usable meanwhile.
    QTest::mouseClick(console->machineButton(1), Qt::LeftButton);
    QCOMPARE(console->machineButton(1)->text(), QStringLiteral("1号停止"));
}

void TestConsoleWindow::usagesComeBackAfterACrash_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<QString>("minutes"); // of machine 3 once back, ten minutes after the crash
    QTest::newRow("the gap is charged") << int(AnswerYes) << "40";
    QTest::newRow("the gap is not charged") << int(AnswerNo) << "30";
}

void TestConsoleWindow::usagesComeBackAfterACrash()
{
    QFETCH(int, answer);
    QFETCH(QString, minutes);
    {
        auto console = makeConsole();
        console->tickSecond();
        QTest::mouseClick(console->machineButton(3), Qt::LeftButton);
        console->grid()->cells().commitEdit(3, ConsoleColumn::Deposit, QStringLiteral("20"));
        console->grid()->cells().commitEdit(3, ConsoleColumn::FixedTime, QStringLiteral("90"));
        console->findChild<QLineEdit*>(QStringLiteral("编辑框_计费"))->setText(QStringLiteral("6"));
        QTest::mouseClick(console->machineButton(5), Qt::LeftButton);
        m_clock->advance(30 * 60);
        console->tickSecond();
        // Killed here: the window goes without its close, nothing is settled.
    }
    m_clock->advance(10 * 60);
    m_responder->answerNext(answer);
    // Until it is answered, the moment the program was last seen stays where the crash left it.
    QVariant seenWhileAsked;
    m_responder->onBox = [&](const ScriptedResponder::Box&) {
        seenWhileAsked = queryValue(m_dir->databasePath(), QStringLiteral("select 时间 from 运行记录"));
    };
    auto console = makeConsole();
    EGridModel& cells = console->grid()->cells();
    // The console comes up with the machines timing again, before anything is asked.
    QCOMPARE(console->machineButton(3)->text(), QStringLiteral("3号停止"));
    QVERIFY(console->machineButton(3)->font().bold());
    QCOMPARE(console->machineButton(5)->text(), QStringLiteral("5号停止"));
    QCOMPARE(console->machineButton(4)->text(), QStringLiteral("4号开始"));
    QCOMPARE(cells.getCell(3, ConsoleColumn::StartTime), QStringLiteral("10时0分30秒"));
    QCOMPARE(cells.getCell(3, ConsoleColumn::MinutePrice), QStringLiteral("0.067")); // not today's rate
    QCOMPARE(cells.getCell(5, ConsoleColumn::MinutePrice), QStringLiteral("0.100"));
    QCOMPARE(cells.getCell(3, ConsoleColumn::Deposit), QStringLiteral("20.0"));
    QCOMPARE(cells.getCell(3, ConsoleColumn::FixedTime), QStringLiteral("90"));
    QCOMPARE(cells.cellColour(3, ConsoleColumn::Label), QColor(255, 0, 0));
    QCOMPARE(console->statusText(1), QStringLiteral("2"));
    QTRY_COMPARE(m_responder->boxes.size(), 1);
    const auto box = m_responder->boxes[0];
    QCOMPARE(box.title, QStringLiteral("恢复上机"));
    QCOMPARE(box.style, int(MbYesNo | MbExclamation));
    QVERIFY(box.text.contains(QStringLiteral("3号机  上机时间 10时0分30秒  押金 20.0")));
    QVERIFY(box.text.contains(QStringLiteral("5号机")));
    QVERIFY(box.text.contains(QStringLiteral("10时30分30秒"))); // last seen
    QVERIFY(box.text.contains(QStringLiteral("10时40分30秒"))); // back
    QVERIFY(box.text.endsWith(QStringLiteral("中断期间是否计费？")));
    QCOMPARE(cells.getCell(3, ConsoleColumn::Minutes), minutes);
    QCOMPARE(cells.getCell(3, ConsoleColumn::Countdown), toText(90 - minutes.toInt()));
    QCOMPARE(timeToText(DateTime(seenWhileAsked.toDouble()), 3), QStringLiteral("10时30分30秒"));
    m_responder->onBox = nullptr;
    // Killed again at once: the gap already answered is not charged or refunded twice.
    console.reset();
    m_responder->answerNext(AnswerNo);
    auto again = makeConsole();
    QTRY_COMPARE(m_responder->boxes.size(), 2);
    QCOMPARE(again->grid()->cells().getCell(3, ConsoleColumn::Minutes), minutes);
}

void TestConsoleWindow::aBillBeingSettledComesBack()
{
    {
        auto console = makeConsole();
        console->tickSecond();
        QTest::mouseClick(console->machineButton(4), Qt::LeftButton);
        m_clock->advance(30 * 60);
        console->tickSecond();
        // Stopped, and killed while its checkout is open.
        Counter(const_cast<CounterState&>(console->state()), console->grid()->cells(), &console->database())
            .stop(4, QStringLiteral("10时30分30秒"));
    }
    m_clock->advance(5 * 60);
    QString fee, title;
    whenModalShown([&](QWidget* checkout) {
        title = checkout->windowTitle();
        fee = checkout->findChild<QLineEdit*>(QStringLiteral("编辑框_上机费"))->text();
        qobject_cast<QDialog*>(checkout)->reject(); // closed without 确定: nothing is booked
    });
    auto console = makeConsole();
    QTRY_COMPARE(title, QStringLiteral("4号机结帐"));
    QCOMPARE(fee, QStringLiteral("2.0"));
    QCOMPARE(console->machineButton(4)->text(), QStringLiteral("4号开始"));
    QCOMPARE(console->statusText(1), QStringLiteral("0"));
    QVERIFY(m_responder->boxes.isEmpty()); // nothing timing: no question on the gap
    QCOMPARE(queryValue(m_dir->databasePath(), QStringLiteral("select count(*) from 收入记录")).toInt(), 0);
    QCOMPARE(queryValue(m_dir->databasePath(), QStringLiteral("select count(*) from 上机记录")).toInt(), 0);
}

void TestConsoleWindow::machinesAddedWhileOneTimes()
{
    auto console = makeConsole();
    console->toggleMachine(console->machineButton(3));
    const QString started = console->grid()->cells().getCell(3, ConsoleColumn::StartTime);
    whenModalShown([](QWidget* window) {
        QCOMPARE(window->windowTitle(), QStringLiteral("机器设置"));
        window->findChild<QLineEdit*>(QStringLiteral("编辑框_从"))->setText(QStringLiteral("16"));
        window->findChild<QLineEdit*>(QStringLiteral("编辑框_到"))->setText(QStringLiteral("40"));
        window->findChild<QPushButton*>(QStringLiteral("按钮_添加"))->click();
        qobject_cast<QDialog*>(window)->accept();
    });
    console->findChild<QPushButton*>(QStringLiteral("按钮_机器"))->click();
    const EGridModel& cells = console->grid()->cells();
    QCOMPARE(cells.gridRowCount(), 41);
    QCOMPARE(cells.getCell(40, ConsoleColumn::Label), QStringLiteral("40号"));
    QCOMPARE(cells.getCell(3, ConsoleColumn::StartTime), started);
    QVERIFY(console->state().machineTable[3].state == 1);
    QCOMPARE(console->machineButton(3)->text(), QStringLiteral("3号停止"));
    QCOMPARE(console->machineButton(40)->text(), QStringLiteral("40号开始"));
    QCOMPARE(console->statusText(1), QStringLiteral("1"));
    QCOMPARE(queryValue(m_dir->databasePath(), QStringLiteral("select count(*) from 操作记录 where 类型='机器'")).toInt(), 1);

    // Scrolled to the end at once, every button shown stands beside its own row, as a screen
    // reader finds it; and soon every machine has its button.
    console->show();
    console->grid()->verticalScrollBar()->setValue(console->grid()->verticalScrollBar()->maximum());
    QVERIFY(QTest::qWaitForWindowExposed(console.get()));
    for (int n : { 30, 40 }) {
        const QRect row = console->grid()->visualRect(console->grid()->model()->index(n, 0));
        const int rowMiddle = console->grid()->viewport()->mapTo(console.get(), row.center()).y();
        auto* b = console->findChild<QPushButton*>(QStringLiteral("按钮1号机开始_%1").arg(n));
        QVERIFY(b && b->isVisible());
        const int buttonMiddle = b->mapTo(console.get(), b->rect().center()).y();
        QVERIFY2(std::abs(buttonMiddle - rowMiddle) <= 6, qPrintable(QString::number(buttonMiddle - rowMiddle)));
    }
    QTRY_COMPARE(console->findChildren<QPushButton*>(QRegularExpression(u"^按钮1号机开始_\\d+$"_s)).size(), 40);
}

void TestConsoleWindow::machineTakenOutAboveOnesThatTime()
{
    auto console = makeConsole();
    EGridModel& cells = console->grid()->cells();
    console->tickSecond();
    console->toggleMachine(console->machineButton(3));
    cells.commitEdit(3, ConsoleColumn::Deposit, QStringLiteral("50"));
    console->toggleMachine(console->machineButton(5));
    cells.commitEdit(5, ConsoleColumn::Deposit, QStringLiteral("0"));
    const QString started = cells.getCell(3, ConsoleColumn::StartTime);
    const QString zero = cells.getCell(5, ConsoleColumn::Deposit);
    cells.setCurrentCell(7, ConsoleColumn::Deposit);
    whenModalShown([](QWidget* window) {
        auto* list = window->findChild<QTreeWidget*>(QStringLiteral("超级列表框1"));
        list->clearSelection();
        list->findItems(QStringLiteral("2"), Qt::MatchExactly).value(0)->setSelected(true);
        window->findChild<QPushButton*>(QStringLiteral("按钮_删除"))->click();
        qobject_cast<QDialog*>(window)->accept();
    });
    console->findChild<QPushButton*>(QStringLiteral("按钮_机器"))->click();
    QCOMPARE(cells.gridRowCount(), 15);
    // Each usage moved up with its machine; the rows they left hold nothing of them.
    const QList<QStringList> rows { { u"3号"_s, started, u"50.0"_s }, { u"4号"_s, {}, {} }, { u"5号"_s, started, zero },
        { u"6号"_s, {}, {} } };
    for (int i = 0; i < rows.size(); ++i) {
        QCOMPARE(cells.getCell(2 + i, ConsoleColumn::Label), rows[i][0]);
        QCOMPARE(cells.getCell(2 + i, ConsoleColumn::StartTime), rows[i][1]);
        QCOMPARE(cells.getCell(2 + i, ConsoleColumn::Deposit), rows[i][2]);
        QCOMPARE(cells.cellColour(2 + i, ConsoleColumn::Label) == QColor(255, 0, 0), !rows[i][1].isEmpty());
    }
    QCOMPARE(cells.getCurrentRow(), 6); // still machine 7
    // Machine 5's bill holds its own deposit of nothing, not machine 3's.
    QString deposit;
    whenModalShown([&](QWidget* modal) {
        deposit = modal->findChild<QLineEdit*>(QStringLiteral("编辑框_押金"))->text();
        qobject_cast<QDialog*>(modal)->reject();
    });
    console->toggleMachine(console->machineButton(5));
    QCOMPARE(toNumber(deposit), 0.0);
}

void TestConsoleWindow::twoHundredUsagesComeBack()
{
    const QString start = QString::number(DateTime::fromQDateTime(kMorning.addSecs(-3600)).days, 'f', 10);
    QVERIFY(runSql(m_dir->databasePath(),
        { QStringLiteral("with recursive n(i) as (select 16 union all select i + 1 from n where i < 200) "
                         "insert into 机器 (机号, 区域) select i, '大厅' from n"),
            QStringLiteral("with recursive n(i) as (select 1 union all select i + 1 from n where i < 200) "
                           "insert into 上机记录 (机号, 上机时间, 分钟价, 上机钟点, 押金) select i, %1, 0.1, "
                           "'9时0分0秒', i from n")
                .arg(start) }));
    m_responder->answerNext(AnswerYes);
    auto console = makeConsole();
    QTRY_COMPARE(m_responder->boxes.size(), 1);
    QCOMPARE(m_responder->boxes[0].text.count(QStringLiteral("号机  上机时间 9时0分0秒")), 200);
    QVERIFY(m_responder->boxes[0].text.contains(QStringLiteral("200号机  上机时间 9时0分0秒  押金 200")));
    QCOMPARE(console->statusText(1), QStringLiteral("200"));
    const EGridModel& cells = console->grid()->cells();
    QCOMPARE(cells.gridRowCount(), 201);
    for (int n : { 1, 16, 200 }) {
        QCOMPARE(cells.getCell(n, ConsoleColumn::Label), QStringLiteral("%1号").arg(n));
        QCOMPARE(cells.getCell(n, ConsoleColumn::Minutes), QStringLiteral("60"));
        QCOMPARE(toNumber(cells.getCell(n, ConsoleColumn::Deposit)), double(n));
        QCOMPARE(console->machineButton(n)->text(), QStringLiteral("%1号停止").arg(n));
    }
    // 实时金额合计: 200 machines at 6.0 each.
    QCOMPARE(console->statusText(3), QStringLiteral("1200"));
}

void TestConsoleWindow::damagedUsagesAreSkipped()
{
    QVERIFY(runSql(m_dir->databasePath(),
        { QStringLiteral("insert into 上机记录 (机号, 上机时间, 分钟价, 上机钟点) values (3, %1, 0.1, '9时0分0秒')")
                .arg(DateTime::fromQDateTime(kMorning.addSecs(-3600)).days, 0, 'f', 10),
            QStringLiteral("insert into 上机记录 (机号, 上机时间, 分钟价) values (6, 'abc', 0.1)"),
            QStringLiteral("insert into 上机记录 (机号, 上机时间, 分钟价) values (999, 46000.5, 0.1)"),
            // A machine no longer listed still has its bill: it is shown, below the others.
            QStringLiteral("insert into 上机记录 (机号, 上机时间, 分钟价, 上机钟点) values (40, %1, 0.1, '9时0分0秒')")
                .arg(DateTime::fromQDateTime(kMorning.addSecs(-600)).days, 0, 'f', 10) }));
    m_responder->answerNext(AnswerYes);
    auto console = makeConsole();
    QTRY_COMPARE(m_responder->boxes.size(), 2);
    QCOMPARE(m_responder->boxes[0].text, QStringLiteral("上机记录中有无法恢复的记录（机号：6、999），已跳过。"));
    QVERIFY(m_responder->boxes[1].text.contains(QStringLiteral("3号机  上机时间 9时0分0秒")));
    QVERIFY(m_responder->boxes[1].text.contains(QStringLiteral("40号机  上机时间 9时0分0秒")));
    QCOMPARE(console->grid()->cells().getCell(16, ConsoleColumn::Label), QStringLiteral("40号"));
    QCOMPARE(console->grid()->cells().getCell(16, ConsoleColumn::Minutes), QStringLiteral("10"));
    QCOMPARE(console->machineButton(40)->text(), QStringLiteral("40号停止"));
    QCOMPARE(console->grid()->cells().getCell(3, ConsoleColumn::Minutes), QStringLiteral("60"));
    QCOMPARE(console->grid()->cells().getCell(3, ConsoleColumn::Amount), QStringLiteral("6.0"));
    QCOMPARE(console->machineButton(6)->text(), QStringLiteral("6号开始"));

    // Its bill settles and is booked under its own number.
    whenModalShown([](QWidget* modal) {
        QCOMPARE(modal->windowTitle(), QStringLiteral("40号机结帐"));
        modal->findChild<QPushButton*>(QStringLiteral("按钮_确定"))->click();
    });
    console->toggleMachine(console->machineButton(40));
    QCOMPARE(queryValue(m_dir->databasePath(), QStringLiteral("select group_concat(机号 || ':' || 收入金额) from 收入记录"))
                 .toString(),
        QStringLiteral("40:1"));
    QCOMPARE(queryValue(m_dir->databasePath(), QStringLiteral("select count(*) from 操作记录 where 类型='结帐' and 机号=40"))
                 .toInt(),
        1);
}

void TestConsoleWindow::databaseOutageIsSaidAtOnceAndEndsWhenPutRight_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("cause");
    QTest::newRow("missing") << "missing" << "文件不存在";
    QTest::newRow("not a database") << "junk" << "文件不是数据库或已损坏";
    QTest::newRow("locked") << "locked" << "文件被其他程序锁定";
}

void TestConsoleWindow::databaseOutageIsSaidAtOnceAndEndsWhenPutRight()
{
    QFETCH(QString, fault);
    QFETCH(QString, cause);
    const QString path = m_dir->databasePath();
    const QString aside = path + QStringLiteral(".aside");
    QVERIFY(QFile::rename(path, aside));
    if (fault == u"junk") {
        QFile junk(path);
        QVERIFY(junk.open(QIODevice::WriteOnly));
        junk.write(QByteArray(4096, 'x'));
    } else if (fault == u"locked") {
        QVERIFY(QFile::copy(aside, path));
    }
    const QString locker = QStringLiteral("locker");
    {
        QSqlDatabase other = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), locker);
        other.setDatabaseName(path);
        QSqlQuery lock(other);
        if (fault == u"locked") {
            QVERIFY(other.open());
            QVERIFY(lock.exec(QStringLiteral("BEGIN EXCLUSIVE")));
            QVERIFY(lock.exec(QStringLiteral("insert into 商品表 values ('x', 1)")));
        }
        auto console = makeConsole();
        QCOMPARE(m_responder->boxes.size(), 1);
        const auto box = m_responder->boxes[0];
        QVERIFY(box.text.contains(QDir::toNativeSeparators(path)));
        QVERIFY(box.text.contains(cause));
        QVERIFY(box.text.contains(QStringLiteral("在修复之前无法记帐")));
        QCOMPARE(box.style, 0x30);
        QCOMPARE(box.title, QStringLiteral("数据库"));

        // Machines are timed all the same.
        QTest::mouseClick(console->machineButton(2), Qt::LeftButton);
        m_clock->advance(30 * 60);
        console->tickSecond();
        QCOMPARE(console->grid()->cells().getCell(2, 5), QStringLiteral("2.0"));
        // Said once: this usage lives in memory only.
        QCOMPARE(m_responder->boxes.size(), 2);
        QCOMPARE(m_responder->boxes[1].title, QStringLiteral("上机记录"));
        QVERIFY(m_responder->boxes[1].text.contains(QStringLiteral("2号")));

        // The cause goes away; the next checkout opens the file again and books.
        if (fault == u"locked") {
            QVERIFY(lock.exec(QStringLiteral("ROLLBACK")));
            lock = QSqlQuery();
            other.close();
        } else {
            QVERIFY(QFile::remove(path) || fault == u"missing");
            QVERIFY(QFile::copy(aside, path));
        }
        whenModalShown([](QWidget* modal) {
            modal->findChild<QPushButton*>(QStringLiteral("按钮_确定"))->click();
            if (modal->isVisible()) // settling failed: close it, so the checks below tell why
                qobject_cast<QDialog*>(modal)->reject();
        });
        QTest::mouseClick(console->machineButton(2), Qt::LeftButton);
        QCOMPARE(m_responder->boxes.size(), 2); // the checkout booked without a word
        QVERIFY(console->database().isOpen());
        QCOMPARE(queryValue(path, QStringLiteral("select count(*) from 收入记录")).toInt(), 1);
    }
    QSqlDatabase::removeDatabase(locker);
}

void TestConsoleWindow::ownerActionAfterAnOutageAtStart_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<bool>("operators");
    for (const char* action : { "rate", "operators", "restore" }) {
        const QString name = QString::fromLatin1(action);
        QTest::newRow(qPrintable(name + QStringLiteral(", nobody defined"))) << name << false;
        QTest::newRow(qPrintable(name + QStringLiteral(", an owner defined"))) << name << true;
    }
}

void TestConsoleWindow::ownerActionAfterAnOutageAtStart()
{
    QFETCH(QString, action);
    QFETCH(bool, operators);
    const QString path = m_dir->databasePath();
    if (operators) {
        Database db;
        QVERIFY(db.openDatabase(path));
        QString why;
        QVERIFY(addOperator(db, QStringLiteral("老板"), ownerRole(), QStringLiteral("1234"), &why));
    }
    const QString aside = path + QStringLiteral(".aside");
    QVERIFY(QFile::rename(path, aside));
    auto console = makeConsole();
    QTest::qWait(0);
    QVERIFY(console->rights().isUnknown() || !operators);
    QVERIFY(QFile::rename(aside, path));
    // The file is back: the first owner-only action finds out who may act, which asks for the
    // login when operators exist.
    bool loggedIn = false;
    // Each login opens a shift, whose offered float will do; a restore starts afresh and asks
    // for both again.
    std::function<void(int)> logInAsOwner = [&](int rounds) {
        whenModalShown([&, rounds](QWidget* modal) {
            QCOMPARE(modal->windowTitle(), QStringLiteral("登录"));
            modal->findChild<QComboBox*>(QStringLiteral("组合框_操作员"))->setCurrentText(QStringLiteral("老板"));
            modal->findChild<QLineEdit*>(QStringLiteral("编辑框_密码"))->setText(QStringLiteral("1234"));
            loggedIn = true;
            whenModalShown([&, rounds](QWidget* next) {
                QCOMPARE(next->windowTitle(), QStringLiteral("开班"));
                if (rounds > 1)
                    logInAsOwner(rounds - 1);
                next->findChild<QPushButton*>(QStringLiteral("按钮_确定"))->click();
            });
            modal->findChild<QPushButton*>(QStringLiteral("按钮_确定"))->click();
        });
    };
    if (operators)
        logInAsOwner(action == u"restore" ? 2 : 1);
    auto* rate = console->findChild<QLineEdit*>(QStringLiteral("编辑框_计费"));
    if (action == u"rate") {
        QTest::keyClick(rate, Qt::Key_5);
        QTRY_VERIFY(!rate->isReadOnly());
    } else if (action == u"operators") {
        bool shown = false;
        const auto closeIt = [&shown](QWidget* modal) {
            shown = modal->windowTitle() == QStringLiteral("操作员管理");
            qobject_cast<QDialog*>(modal)->reject();
        };
        if (operators)
            QTimer::singleShot(0, [&] { QTRY_VERIFY(loggedIn); whenModalShown(closeIt); });
        else
            whenModalShown(closeIt);
        console->openOperators();
        QTRY_VERIFY(shown);
    } else {
        const QString copy = m_dir->file(QStringLiteral("copy.mdb"));
        QVERIFY(QFile::copy(path, copy));
        QVERIFY(console->restoreDatabase(copy));
    }
    QCOMPARE(loggedIn, operators);
    QVERIFY(!console->rights().isUnknown());
    QCOMPARE(console->findChild<QLabel*>(QStringLiteral("标签_操作员"))->text(),
        operators ? QStringLiteral("操作员：老板") : QStringLiteral("操作员："));
}

QTEST_MAIN(TestConsoleWindow)
#include "testconsolewindow.moc"
