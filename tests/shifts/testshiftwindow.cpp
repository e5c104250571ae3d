#include "common/seams.h"
#include "shifts/shiftwindow.h"
#include "store/membertable.h"
#include "store/shifttable.h"
#include "support/guisupport.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QtTest>

namespace {

QString s(const char16_t* t) { return QString::fromUtf16(t); }

} // namespace

class TestShiftWindow : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void blindCountAndHandover();
    void floatCorrectedWithoutOperators();
    void slipPrintedAndExported();
    void otherMethodsShowBelowTheButtons();

private:
    QLineEdit* box(QWidget* w, const char16_t* name)
    {
        return w->findChild<QLineEdit*>(QStringLiteral("编辑框_") + s(name));
    }
    void click(QWidget* w, const char16_t* name)
    {
        QTest::mouseClick(w->findChild<QPushButton*>(QStringLiteral("按钮_") + s(name)), Qt::LeftButton);
    }
    void count(QWidget* w, const QString& text)
    {
        box(w, u"实点现金")->setText(text);
        emit box(w, u"实点现金")->editingFinished();
    }
    // A shift of float 200 with a top-up of 50 in cash and another of 1.25.
    void openAShift();

    std::unique_ptr<TestClock> m_clock;
    std::unique_ptr<StoreFixture> m_store;
};

void TestShiftWindow::init()
{
    useBuiltPlugins();
    m_clock = std::make_unique<TestClock>(QDateTime(QDate(2026, 12, 8), QTime(8, 0, 0)));
    m_store = std::make_unique<StoreFixture>();
}

void TestShiftWindow::cleanup()
{
    m_store.reset();
    m_clock.reset();
}

void TestShiftWindow::openAShift()
{
    QVERIFY(runSql(m_store->dir.databasePath(), { s(u"insert into 会员表 values ('A1', 100, 0, 100)") }));
    ShiftRecord shift;
    QString error;
    QVERIFY(openShift(m_store->db, 200, shift, &error));
    QVERIFY(topUpCard(m_store->db, QStringLiteral("A1"), 50, &error));
    QVERIFY(topUpCard(m_store->db, QStringLiteral("A1"), 1.25, &error));
    m_clock->advance(8 * 3600);
}

void TestShiftWindow::blindCountAndHandover()
{
    openAShift();
    ShiftWindow window(m_store->db, 30, false);
    window.show();
    QCOMPARE(window.windowTitle(), s(u"交班"));
    QCOMPARE(window.height(), 356); // cash alone: as the handover always was
    QVERIFY(!box(&window, u"微信")->isVisible());
    QCOMPARE(window.findChild<QLabel*>(s(u"标签_班次"))->text(), s(u"第1班　操作员："));
    QCOMPARE(window.findChild<QLabel*>(s(u"标签_时间"))->text(), s(u"2026-12-08 08:00 至 2026-12-08 16:00"));
    for (const auto& [name, text] : { std::pair { u"备用金", u"200.00" }, { u"充值", u"51.25" }, { u"在用押金", u"30.00" },
             { u"上机现金", u"0.00" }, { u"应有现金", u"" }, { u"差额", u"" } }) {
        QCOMPARE(box(&window, name)->text(), s(text));
        QCOMPARE(box(&window, name)->accessibleName(), s(name));
        QVERIFY(box(&window, name)->isReadOnly());
    }
    click(&window, u"确认交班");
    QCOMPARE(m_store->responder.boxes.value(0).text, s(u"请先输入实点现金！"));
    count(&window, s(u"两百"));
    QTRY_COMPARE(m_store->responder.boxes.size(), 2);
    QCOMPARE(m_store->responder.boxes[1].text, s(u"请输入实点现金金额！"));
    QCOMPARE(box(&window, u"应有现金")->text(), QString());

    // Counted: the expected figure shows, the count stands, and a difference needs a note.
    count(&window, QStringLiteral("250"));
    QCOMPARE(box(&window, u"应有现金")->text(), QStringLiteral("251.25"));
    QCOMPARE(box(&window, u"差额")->text(), QStringLiteral("-1.25"));
    QCOMPARE(window.findChild<QLabel*>(s(u"标签_长短款"))->text(), s(u"短款"));
    QVERIFY(box(&window, u"差额")->styleSheet().contains(QStringLiteral("red")));
    QVERIFY(box(&window, u"实点现金")->isReadOnly());
    QCOMPARE(box(&window, u"留存备用金")->text(), QStringLiteral("200.00"));
    {
        // Closed without the handover and opened again, the count stands as first made.
        ShiftWindow again(m_store->db, 30, true);
        QCOMPARE(box(&again, u"实点现金")->text(), QStringLiteral("250.00"));
        QVERIFY(box(&again, u"实点现金")->isReadOnly());
        QVERIFY(box(&again, u"备用金")->isReadOnly());
        QCOMPARE(box(&again, u"差额")->text(), QStringLiteral("-1.25"));
    }
    click(&window, u"确认交班");
    QCOMPARE(m_store->responder.boxes.last().text, s(u"有短款，请在备注中说明原因！"));
    window.findChild<QLineEdit*>(s(u"编辑框_备注"))->setText(s(u"少找一元二角五"));
    m_store->responder.answerNext(AnswerYes);
    click(&window, u"确认交班");
    QVERIFY(window.handedOver());
    QCOMPARE(window.leftFloat(), 200.0);
    QVERIFY(!window.findChild<QPushButton*>(s(u"按钮_确认交班"))->isEnabled());
    auto* history = window.findChild<QTreeWidget*>(s(u"列表框_历史"));
    QCOMPARE(history->topLevelItemCount(), 1);
    QCOMPARE(history->currentItem(), history->topLevelItem(0));
    QStringList shown;
    for (int c = 0; c < history->columnCount(); ++c)
        shown << history->topLevelItem(0)->text(c);
    QCOMPARE(shown.join(u'|'), s(u"1||12-08 08:00|12-08 16:00|251.25|250.00|-1.25"));
    QCOMPARE(queryValue(m_store->dir.databasePath(), s(u"select 类型||':'||之前||':'||之后||':'||说明 from 操作记录 "
                                                         u"order by 序号 desc limit 1"))
                 .toString(),
        s(u"交班:251.25:250.00:差额-1.25，留存备用金200.00，少找一元二角五"));
}

void TestShiftWindow::floatCorrectedWithoutOperators()
{
    openAShift();
    {
        ShiftWindow withOperators(m_store->db, 0, false);
        QVERIFY(box(&withOperators, u"备用金")->isReadOnly());
    }
    ShiftWindow window(m_store->db, 0, true);
    QLineEdit* opening = box(&window, u"备用金");
    QVERIFY(!opening->isReadOnly());
    opening->setText(QStringLiteral("-5"));
    emit opening->editingFinished();
    QCOMPARE(opening->text(), QStringLiteral("200.00"));
    opening->setText(QStringLiteral("180"));
    emit opening->editingFinished();
    count(&window, QStringLiteral("231.25"));
    QCOMPARE(box(&window, u"差额")->text(), QStringLiteral("0.00"));
    QCOMPARE(window.findChild<QLabel*>(s(u"标签_长短款"))->text(), QString());
    QCOMPARE(queryValue(m_store->dir.databasePath(), s(u"select 备用金 from 班次")).toDouble(), 180.0);
    QCOMPARE(queryValue(m_store->dir.databasePath(),
                 s(u"select 之前||'>'||之后 from 操作记录 where 类型='改备用金'"))
                 .toString(),
        QStringLiteral("200.00>180.00"));
}

void TestShiftWindow::slipPrintedAndExported()
{
    openAShift();
    ShiftRecord shift;
    bool found = false;
    QString error;
    QVERIFY(readOpenShift(m_store->db, shift, found, &error));
    shift.expected = 251.25;
    shift.counted = 251.25;
    shift.note = s(u"无");
    shift.leftFloat = 100;
    QVERIFY(closeShift(m_store->db, shift, &error));
    ShiftWindow window(m_store->db, 0, true);
    QCOMPARE(window.findChild<QLabel*>(s(u"标签_班次"))->text(), s(u"没有未交班的班次"));
    auto* history = window.findChild<QTreeWidget*>(s(u"列表框_历史"));
    history->setCurrentItem(history->topLevelItem(0));
    QStringList asked;
    const QString csv = m_store->dir.file(QStringLiteral("slip.csv"));
    const QString pdf = m_store->dir.file(QStringLiteral("slip.pdf"));
    seams::setSaveFileChooser([&](const QString& title, const QString& suggested) {
        asked << title + u':' + suggested;
        return suggested.endsWith(QStringLiteral(".csv")) ? csv : pdf;
    });
    click(&window, u"导出");
    click(&window, u"打印"); // no printer here: the slip becomes a PDF
    seams::setSaveFileChooser({});
    QVERIFY(m_store->responder.boxes.isEmpty()); // the printing plugin loaded, and nothing failed
    QCOMPARE(asked, QStringList({ s(u"导出交班单:交班单_第1班.csv"), s(u"保存交班单:交班单_第1班.pdf") }));
    QFile csvFile(csv);
    QVERIFY(csvFile.open(QIODevice::ReadOnly));
    const QByteArray bytes = csvFile.readAll();
    QVERIFY(bytes.startsWith("\xEF\xBB\xBF"));
    QVERIFY(bytes.contains(s(u"留存备用金,100.00\r\n").toUtf8()));
    QFile pdfFile(pdf);
    QVERIFY(pdfFile.open(QIODevice::ReadOnly));
    QVERIFY(pdfFile.read(5) == "%PDF-");
    QVERIFY(!QFile::exists(pdf + QStringLiteral(".part")));
}

void TestShiftWindow::otherMethodsShowBelowTheButtons()
{
    openAShift();
    QString error;
    QVERIFY(topUpCard(m_store->db, QStringLiteral("A1"), 100, &error, { s(u"微信"), QStringLiteral("9"), 20 }));
    ShiftWindow window(m_store->db, 0, false);
    window.show();
    QCOMPARE(window.height(), 384);
    for (const auto& [name, text] : { std::pair { u"充值", u"51.25" }, { u"微信", u"100.00" }, { u"支付宝", u"0.00" },
             { u"银行卡", u"0.00" }, { u"赠送", u"20.00" } }) {
        QVERIFY(box(&window, name)->isVisible());
        QCOMPARE(box(&window, name)->text(), s(text));
        QCOMPARE(box(&window, name)->accessibleName(), s(name));
        QVERIFY(box(&window, name)->isReadOnly());
    }
    count(&window, QStringLiteral("251.25"));
    QCOMPARE(box(&window, u"应有现金")->text(), QStringLiteral("251.25")); // the drawer holds no scanned payment
}

QTEST_MAIN(TestShiftWindow)
#include "testshiftwindow.moc"
