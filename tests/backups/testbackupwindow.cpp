#include "app/consolewindow.h"
#include "backups/backuprunner.h"
#include "backups/backupwindow.h"
#include "common/seams.h"
#include "store/backup.h"
#include "store/database.h"
#include "support/guisupport.h"

#include <QDialog>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>

namespace {

QString s(const char16_t* t) { return QString::fromUtf16(t); }

} // namespace

class TestBackupWindow : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void copiesAtStartAndAfterAHandover();
    void windowListsAndCopies();
    void restoreRefusedWhileAMachineTimes();
    void restoreFromTheWindow();

private:
    int copies() const { return int(listBackups(m_dir->file(QStringLiteral("backup"))).size()); }
    // Opens 备份 from the console and runs `act` on it before it closes.
    void inBackupWindow(ConsoleWindow& console, std::function<void(QDialog*)> act)
    {
        whenModalShown([act](QWidget* modal) {
            auto* dialog = qobject_cast<QDialog*>(modal);
            act(dialog);
            if (dialog->isVisible())
                dialog->reject();
        });
        QTest::mouseClick(console.findChild<QPushButton*>(s(u"按钮_备份")), Qt::LeftButton);
    }

    std::unique_ptr<TestProgramDir> m_dir;
    std::unique_ptr<ScriptedResponder> m_responder;
    std::unique_ptr<TestClock> m_clock;
};

void TestBackupWindow::init()
{
    m_dir = std::make_unique<TestProgramDir>(true);
    m_responder = std::make_unique<ScriptedResponder>();
    m_clock = std::make_unique<TestClock>(QDateTime(QDate(2026, 12, 8), QTime(9, 0, 0)));
}

void TestBackupWindow::cleanup()
{
    m_clock.reset();
    m_responder.reset();
    m_dir.reset();
}

void TestBackupWindow::copiesAtStartAndAfterAHandover()
{
    auto console = makeConsole();
    QTRY_COMPARE(copies(), 1);
    QTRY_VERIFY(!console->backups().isRunning());
    QCOMPARE(console->findChild<QLabel*>(s(u"标签_备份"))->text(), QString());
    m_clock->advance(60);
    m_responder->answerNext(AnswerYes);
    whenModalShown([](QWidget* modal) {
        QLineEdit* counted = modal->findChild<QLineEdit*>(s(u"编辑框_实点现金"));
        counted->setText(QStringLiteral("0"));
        emit counted->editingFinished();
        modal->findChild<QPushButton*>(s(u"按钮_确认交班"))->click();
        qobject_cast<QDialog*>(modal)->reject();
    });
    console->openShiftWindow();
    QTRY_COMPARE(copies(), 2);
    // A day without a copy is said in red on the strip.
    QTRY_VERIFY(!console->backups().isRunning());
    m_clock->advance(25 * 3600);
    QVERIFY(console->backups().isOverdue());
    console->tickSecond();
    QTest::mouseClick(console->machineButton(1), Qt::LeftButton); // any change of the console's
    inBackupWindow(*console, [](QDialog*) { });
    QCOMPARE(console->findChild<QLabel*>(s(u"标签_备份"))->text(), s(u"备份已超过24小时！"));
}

void TestBackupWindow::windowListsAndCopies()
{
    BackupRunner runner(m_dir->databasePath(), m_dir->file(QStringLiteral("backup")));
    BackupWindow window(runner, QString());
    window.show();
    QCOMPARE(window.windowTitle(), s(u"备份"));
    QCOMPARE(window.findChild<QLabel*>(s(u"标签_最近备份"))->text(), s(u"还没有备份。"));
    QSignalSpy done(&runner, &BackupRunner::finished);
    window.findChild<QPushButton*>(s(u"按钮_立即备份"))->click();
    QVERIFY(done.wait(10000));
    auto* list = window.findChild<QTreeWidget*>(s(u"列表框_备份"));
    QCOMPARE(list->topLevelItemCount(), 1);
    QCOMPARE(list->topLevelItem(0)->text(0), QStringLiteral("2026-12-08 09:00:00"));
    QCOMPARE(list->topLevelItem(0)->text(2), s(u"正常"));
    QVERIFY(window.findChild<QLabel*>(s(u"标签_最近备份"))->text().startsWith(s(u"最近一次备份：2026-12-08 09:00:00（0分钟前）")));
    // A second folder that is not there is refused where it is typed.
    QLineEdit* second = window.findChild<QLineEdit*>(s(u"编辑框_第二目录"));
    second->setText(m_dir->file(QStringLiteral("usb")));
    emit second->editingFinished();
    QCOMPARE(m_responder->boxes.value(0).text.left(5), s(u"找不到目录"));
    QCOMPARE(runner.secondFolder(), QString());
    QVERIFY(QDir().mkpath(m_dir->file(QStringLiteral("usb"))));
    second->setText(m_dir->file(QStringLiteral("usb")));
    emit second->editingFinished();
    QCOMPARE(runner.secondFolder(), m_dir->file(QStringLiteral("usb")));
}

void TestBackupWindow::restoreRefusedWhileAMachineTimes()
{
    auto console = makeConsole();
    QTRY_COMPARE(copies(), 1);
    QTRY_VERIFY(!console->backups().isRunning());
    QTest::mouseClick(console->machineButton(1), Qt::LeftButton);
    bool stayed = false;
    inBackupWindow(*console, [&](QDialog* window) {
        auto* list = window->findChild<QTreeWidget*>(s(u"列表框_备份"));
        list->setCurrentItem(list->topLevelItem(0));
        window->findChild<QPushButton*>(s(u"按钮_恢复"))->click();
        stayed = window->isVisible();
    });
    QVERIFY(stayed);
    QCOMPARE(m_responder->boxes.last().text, s(u"有机器正在计时或等待结帐，不能恢复备份。请全部结帐后再恢复。"));
}

void TestBackupWindow::restoreFromTheWindow()
{
    auto console = makeConsole();
    QTRY_COMPARE(copies(), 1);
    QTRY_VERIFY(!console->backups().isRunning());
    QVERIFY(console->database().execute(s(u"insert into 商品表 values ('雪碧', 3)")));
    m_clock->advance(60);
    m_responder->answerNext(AnswerYes);
    inBackupWindow(*console, [](QDialog* window) {
        auto* list = window->findChild<QTreeWidget*>(s(u"列表框_备份"));
        list->setCurrentItem(list->topLevelItem(0));
        window->findChild<QPushButton*>(s(u"按钮_恢复"))->click();
    });
    QCOMPARE(m_responder->boxes.value(0).title, s(u"恢复确认"));
    QVERIFY(m_responder->boxes.value(1).text.startsWith(s(u"已恢复备份date-20261208-090000.mdb")));
    QCOMPARE(queryValue(m_dir->databasePath(), s(u"select count(*) from 商品表 where 商品名称='雪碧'")).toInt(), 0);
    QVERIFY(QFile::exists(m_dir->file(QStringLiteral("backup/restore-safety-20261208-090100.mdb"))));
    QVERIFY(console->database().execute(s(u"insert into 商品表 values ('红茶', 3)"))); // the store works on
}

QTEST_MAIN(TestBackupWindow)
#include "testbackupwindow.moc"
