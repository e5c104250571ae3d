#include "app/consolewindow.h"
#include "app/session.h"
#include "common/seams.h"
#include "counter/consolegrid.h"
#include "counter/plantext.h"
#include "counter/zoneplans.h"
#include "plans/planwindow.h"
#include "store/plantable.h"
#include "support/guisupport.h"
#include "widgets/egrid.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>
#include <QtTest>

using namespace Qt::StringLiterals;
namespace Col = ConsoleColumn;

namespace {

void fill(QTableWidget* table, const QVector<QStringList>& rows)
{
    table->setRowCount(0);
    for (const QStringList& row : rows) {
        const int r = table->rowCount();
        table->insertRow(r);
        for (int c = 0; c < row.size(); ++c)
            table->setItem(r, c, new QTableWidgetItem(row[c]));
    }
}

// Types the plan into an open 计费方案 as the owner would.
void type(QWidget* window, const TypedPlan& t, bool on = true)
{
    window->findChild<QCheckBox*>(QStringLiteral("选择框_使用计费方案"))->setChecked(on);
    fill(window->findChild<QTableWidget*>(QStringLiteral("表格_时段")), t.bands);
    fill(window->findChild<QTableWidget*>(QStringLiteral("表格_套餐")), t.packages);
    window->findChild<QLineEdit*>(QStringLiteral("编辑框_计费单位"))->setText(t.unit);
    window->findChild<QLineEdit*>(QStringLiteral("编辑框_起步分钟"))->setText(t.minimum);
    window->findChild<QLineEdit*>(QStringLiteral("编辑框_免费分钟"))->setText(t.grace);
    window->findChild<QLineEdit*>(QStringLiteral("编辑框_会员折扣"))->setText(t.discount);
}

void click(QWidget* window, const QString& name)
{
    QTest::mouseClick(window->findChild<QPushButton*>(name), Qt::LeftButton);
}

void savePlanOf(Database& db, const TypedPlan& t)
{
    StoredPlan plan { 0, QStringLiteral("大厅"), true, typedPlanText(t) };
    QVERIFY(savePlan(db, plan, QString(), QString(), nullptr));
}

QString lastLedger(const QString& path, const QString& kind, const QString& column)
{
    return queryValue(path, QStringLiteral("select %1 from 操作记录 where 类型='%2' order by 序号 desc limit 1").arg(column, kind))
        .toString();
}

} // namespace

class TestPlans : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void aPlannedUsageFromStartToCheckout();
    void aRefusedPlanKeepsWhatWasTyped();
    void aPackageSoldAndACrash();
    void aUsageWhosePlanIsLostIsSaid();
    void aSetClockBillsAPackageAsARestoreWould();
    void aClockThatJumps_data();
    void aClockThatJumps();

private:
    // Time that passes, by both clocks.
    void advance(qint64 seconds)
    {
        m_clock->advance(seconds);
        m_monotonic += seconds * 1000;
    }
    std::unique_ptr<TestProgramDir> m_dir;
    std::unique_ptr<ScriptedResponder> m_responder;
    std::unique_ptr<TestClock> m_clock;
    qint64 m_monotonic = 0;
};

void TestPlans::init()
{
    m_dir = std::make_unique<TestProgramDir>(true);
    m_responder = std::make_unique<ScriptedResponder>();
    m_clock = std::make_unique<TestClock>(QDateTime(QDate(2026, 12, 9), QTime(17, 10, 0)));
    m_monotonic = 0;
    seams::setMonotonicClock([this] { return m_monotonic; });
}

void TestPlans::cleanup()
{
    seams::setMonotonicClock({});
    m_clock.reset();
    m_responder.reset();
    m_dir.reset();
}

void TestPlans::aPlannedUsageFromStartToCheckout()
{
    auto console = makeConsole();
    whenModalShown([&](QWidget* window) {
        type(window, examplePricePlan());
        click(window, u"按钮_保存"_s);
        qobject_cast<QDialog*>(window)->reject();
    });
    click(console.get(), u"按钮_计费"_s);
    QVERIFY2(m_responder->boxes.isEmpty(), m_responder->boxes.isEmpty() ? "" : qPrintable(m_responder->boxes[0].text));
    QCOMPARE(lastLedger(m_dir->databasePath(), u"计费方案"_s, u"之后"_s),
        QStringLiteral("08:00-18:00 每小时5.00元；18:00-23:00 每小时6.00元；23:00-08:00 每小时4.00元 封顶24.00元；"
                       "计费单位15分钟，起步30分钟，免费3分钟，会员8.5折；套餐：包夜 22:00-08:00 30.00元、3小时 180分钟 12.00元"));

    EGridModel& cells = console->grid()->cells();
    QTest::mouseClick(console->machineButton(3), Qt::LeftButton);
    QCOMPARE(cells.getCell(3, Col::MinutePrice), QStringLiteral("0.083"));
    QCOMPARE(cells.getCell(3, Col::Amount), QStringLiteral("0.00"));
    // 17:10 to 18:52: four units at ¥5, three at ¥6.
    advance(102 * 60);
    console->tickSecond();
    QCOMPARE(cells.getCell(3, Col::MinutePrice), QStringLiteral("0.100"));
    QCOMPARE(cells.getCell(3, Col::Amount), QStringLiteral("9.50"));

    // A plan edited meanwhile prices the next usage, never the running one.
    TypedPlan dearer = examplePricePlan();
    dearer.bands = { { u"00:00"_s, u"24:00"_s, u"12"_s, u""_s } };
    savePlanOf(console->database(), dearer);
    console->session().loadPlans();
    QTest::mouseClick(console->machineButton(4), Qt::LeftButton);
    QCOMPARE(cells.getCell(4, Col::MinutePrice), QStringLiteral("0.200"));
    advance(1);
    console->tickSecond();
    QCOMPARE(cells.getCell(3, Col::Amount), QStringLiteral("9.50"));
    QCOMPARE(queryValue(m_dir->databasePath(), u"select 方案版本 from 上机记录 where 机号=3"_s).toInt(), 1);

    QStringList cashFee, cardFee, lines;
    whenModalShown([&](QWidget* checkout) {
        auto* fee = checkout->findChild<QLineEdit*>(QStringLiteral("编辑框_上机费"));
        auto* receivable = checkout->findChild<QLineEdit*>(QStringLiteral("编辑框_应收"));
        auto* card = checkout->findChild<QCheckBox*>(QStringLiteral("选择框1"));
        cashFee << fee->text() << receivable->text();
        card->setChecked(true); // the box alone is no member
        cashFee << fee->text();
        checkout->findChild<QComboBox*>(QStringLiteral("组合框1"))->setCurrentIndex(0);
        cardFee << fee->text() << receivable->text();
        card->setChecked(false);
        whenModalShown([&](QWidget* bill) {
            auto* list = bill->findChild<QListWidget*>(QStringLiteral("列表框_计费明细"));
            for (int i = 0; i < list->count(); ++i)
                lines << list->item(i)->text();
            qobject_cast<QDialog*>(bill)->accept();
        });
        click(checkout, u"按钮_计费明细"_s);
        click(checkout, u"按钮_确定"_s);
    });
    QVERIFY(runSql(m_dir->databasePath(), { u"insert into 会员表 values ('8001', 100, 0, 100)"_s }));
    QTest::mouseClick(console->machineButton(3), Qt::LeftButton);
    QCOMPARE(cashFee, QStringList({ u"9.50"_s, u"9.5"_s, u"9.50"_s }));
    QCOMPARE(cardFee, QStringList({ u"8.08"_s, u"8.08"_s })); // 8.075 rounded half up once
    QCOMPARE(lines,
        QStringList({ u"17:10起 4×15分钟 每小时¥5.00：5.00元"_s, u"18:10起 3×15分钟 每小时¥6.00：4.50元"_s, u"合计：9.50元"_s }));
    QCOMPARE(queryValue(m_dir->databasePath(), u"select sum(收入金额) from 收入记录"_s).toDouble(), 9.5);
    QVERIFY(lastLedger(m_dir->databasePath(), u"结帐"_s, u"说明"_s)
                .endsWith(QStringLiteral("，计费明细：17:10起 4×15分钟 每小时¥5.00：5.00元；18:10起 3×15分钟 每小时¥6.00："
                                         "4.50元；合计：9.50元")));
}

void TestPlans::aRefusedPlanKeepsWhatWasTyped()
{
    Database db;
    QVERIFY(openTestStore(db, *m_dir));
    PlanWindow window(db, QStringLiteral("4"));
    TypedPlan overlapping = examplePricePlan();
    overlapping.bands[1][0] = QStringLiteral("17:00");
    type(&window, overlapping);
    click(&window, u"按钮_保存"_s);
    QCOMPARE(m_responder->boxes.size(), 1);
    QCOMPARE(m_responder->boxes[0].text, QStringLiteral("时段必须连续覆盖全天，且不能重叠！"));
    QCOMPARE(queryValue(m_dir->databasePath(), u"select count(*) from 计费方案"_s).toInt(), 0);
    QCOMPARE(window.typed().bands, overlapping.bands);
    // Closing with the plan unsaved is asked; 否 keeps the window and what is in it.
    m_responder->answerNext(AnswerNo);
    window.show();
    window.reject();
    QVERIFY(window.isVisible());
    QCOMPARE(m_responder->boxes.last().text, QStringLiteral("计费方案还没有保存，是否放弃修改？"));
    // Off, a half-typed plan may wait: stored, and the zone bills by the rate box.
    type(&window, overlapping, false);
    click(&window, u"按钮_保存"_s);
    QCOMPARE(queryValue(m_dir->databasePath(), u"select count(*) from 计费方案 where 启用=0"_s).toInt(), 1);
    QCOMPARE(lastLedger(m_dir->databasePath(), u"计费方案"_s, u"之后"_s), QStringLiteral("不用计费方案"));
    QHash<QString, PlanRef> plans;
    QVERIFY(readZonePlans(db, plans, nullptr));
    QVERIFY(plans.isEmpty());
}

void TestPlans::aPackageSoldAndACrash()
{
    m_clock->set(QDateTime(QDate(2026, 12, 9), QTime(21, 0, 0)));
    {
        auto console = makeConsole();
        savePlanOf(console->database(), examplePricePlan());
        console->session().loadPlans();
        QTest::mouseClick(console->machineButton(5), Qt::LeftButton);
        advance(30 * 60);
        console->tickSecond();
        QStringList machines;
        QString price;
        whenModalShown([&](QWidget* window) {
            auto* machine = window->findChild<QComboBox*>(QStringLiteral("组合框_机号"));
            for (int i = 0; i < machine->count(); ++i)
                machines << machine->itemText(i);
            price = window->findChild<QLineEdit*>(QStringLiteral("编辑框_价格"))->text();
            click(window, u"按钮_确定"_s);
        });
        click(console.get(), u"按钮_套餐"_s);
        QCOMPARE(machines, QStringList({ u"5号"_s }));
        QCOMPARE(price, QStringLiteral("30.00"));
        QCOMPARE(console->grid()->cells().cellDescription(5, Col::Label), QStringLiteral("套餐：包夜 22:00-08:00"));
        QCOMPARE(lastLedger(m_dir->databasePath(), u"套餐"_s, u"金额"_s).toDouble(), 30.0);
        // 3 hours bought at 21:30 would overlap the night already bought.
        QString error;
        QVERIFY(!console->session().counter().sellPackage(5, QStringLiteral("3小时"), &error));
        QCOMPARE(error, QStringLiteral("这段时间已有套餐，不能重复购买！"));
        advance(11 * 3600 + 30 * 60); // 09:00 the next morning
        console->tickSecond();
        // 21:00–22:00 at ¥6 and 08:00–09:00 at ¥5 metered, the night ¥30.
        QCOMPARE(console->grid()->cells().getCell(5, Col::Amount), QStringLiteral("41.00"));
        // Killed here.
    }
    m_responder->answerNext(AnswerYes);
    auto console = makeConsole();
    QTRY_COMPARE(m_responder->boxes.size(), 1);
    console->tickSecond();
    QCOMPARE(console->grid()->cells().getCell(5, Col::Amount), QStringLiteral("41.00"));
    QCOMPARE(console->grid()->cells().cellDescription(5, Col::Label), QStringLiteral("套餐：包夜 22:00-08:00"));
}

void TestPlans::aUsageWhosePlanIsLostIsSaid()
{
    m_clock->set(QDateTime(QDate(2026, 12, 9), QTime(21, 0, 0)));
    {
        auto console = makeConsole();
        savePlanOf(console->database(), examplePricePlan());
        console->session().loadPlans();
        QTest::mouseClick(console->machineButton(5), Qt::LeftButton);
    }
    QVERIFY(runSql(m_dir->databasePath(), { u"update 上机记录 set 方案版本=99"_s }));
    advance(20 * 60);
    m_responder->answerNext(AnswerYes);
    auto console = makeConsole();
    QTRY_COMPARE(m_responder->boxes.size(), 1);
    QVERIFY(m_responder->boxes[0].text.contains(u"5号机的计费方案无法读取，按上机时的分钟价计费。"_s));
    console->tickSecond();
    // Still timing and billed: ¥6 an hour, the evening band's price when it started.
    QCOMPARE(console->grid()->cells().getCell(5, Col::MinutePrice), u"0.100"_s);
    QCOMPARE(console->grid()->cells().getCell(5, Col::Amount), u"2.0"_s);
}

void TestPlans::aSetClockBillsAPackageAsARestoreWould()
{
    m_clock->set(QDateTime(QDate(2026, 12, 9), QTime(21, 0, 0)));
    QString before;
    {
        auto console = makeConsole();
        savePlanOf(console->database(), examplePricePlan());
        console->session().loadPlans();
        QTest::mouseClick(console->machineButton(5), Qt::LeftButton);
        console->tickSecond();
        advance(30 * 60);
        QVERIFY(console->session().counter().sellPackage(5, u"包夜"_s, nullptr));
        advance(60 * 60);
        m_clock->advance(3 * 3600); // set forward; 是: the time that passed
        m_responder->answerNext(AnswerYes);
        console->tickSecond();
        QTRY_COMPARE(m_responder->boxes.size(), 1);
        console->tickSecond();
        before = console->grid()->cells().getCell(5, Col::Amount);
        QVERIFY(!before.isEmpty());
    }
    m_responder->answerNext(AnswerYes);
    auto console = makeConsole();
    QTRY_COMPARE(m_responder->boxes.size(), 2);
    console->tickSecond();
    QCOMPARE(console->grid()->cells().getCell(5, Col::Amount), before);
}

void TestPlans::aClockThatJumps_data()
{
    QTest::addColumn<int>("jumpMinutes");
    QTest::addColumn<int>("answer");
    QTest::addColumn<QString>("minutes"); // after 30 minutes that really passed
    QTest::addColumn<QString>("said");
    QTest::newRow("forward, the time that passed") << 60 << int(AnswerYes) << u"30"_s << u"系统时间被改动：向前调了1小时0分钟"_s;
    QTest::newRow("forward, the clock is right") << 60 << int(AnswerNo) << u"90"_s << u"系统时间被改动：向前调了1小时0分钟"_s;
    QTest::newRow("back, the time that passed") << -20 << int(AnswerYes) << u"30"_s << u"系统时间被改动：向后调了20分钟"_s;
    QTest::newRow("back, the clock is right") << -20 << int(AnswerNo) << u"10"_s << u"系统时间被改动：向后调了20分钟"_s;
}

void TestPlans::aClockThatJumps()
{
    QFETCH(int, jumpMinutes);
    QFETCH(int, answer);
    QFETCH(QString, minutes);
    QFETCH(QString, said);
    auto console = makeConsole();
    QTest::mouseClick(console->machineButton(2), Qt::LeftButton);
    console->tickSecond();
    advance(30 * 60);
    console->tickSecond();
    QVERIFY(m_responder->boxes.isEmpty());
    m_clock->advance(jumpMinutes * 60);
    m_responder->answerNext(answer);
    console->tickSecond();
    QTRY_COMPARE(m_responder->boxes.size(), 1);
    QCOMPARE(m_responder->boxes[0].title, QStringLiteral("系统时间被改动"));
    QVERIFY(m_responder->boxes[0].text.startsWith(said));
    console->tickSecond();
    QCOMPARE(console->grid()->cells().getCell(2, Col::Minutes), minutes);
    QCOMPARE(m_responder->boxes.size(), 1); // said once
    QVERIFY(lastLedger(m_dir->databasePath(), u"时间跳变"_s, u"说明"_s).startsWith(said));
    // The start written with it: a crash now restores the same minutes.
    const double start = queryValue(m_dir->databasePath(), u"select 上机时间 from 上机记录 where 机号=2"_s).toDouble();
    QCOMPARE(toInteger(timeInterval(now(), DateTime(start), 7)), minutes.toInt());
}

QTEST_MAIN(TestPlans)
#include "testplans.moc"
