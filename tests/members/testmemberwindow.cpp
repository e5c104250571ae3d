#include "widgets/listview.h"
#include "common/seams.h"
#include "members/memberwindow.h"
#include "members/topupbonuswindow.h"
#include "store/database.h"
#include "support/guisupport.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QComboBox>
#include <QPushButton>
#include <QTableWidget>
#include <QtTest>

namespace {

QString s(const char16_t* t)
{
    return QString::fromUtf16(t);
}

const char16_t* kThreeCards = u"1001|100|0|30;O'Brien|100|5|30;O|50|0|50";

} // namespace

class TestMemberWindow : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void newCardIsListed();
    void formFollowsThePick();
    void buttons_data();
    void buttons();
    void storeRefusalIsShown();
    void bonusIsAskedAndPutOnTheCard_data();
    void bonusIsAskedAndPutOnTheCard();
    void bonusOffersAreEdited();

private:
    void open(const QStringList& cards);
    QLineEdit* box(const char16_t* name) { return m_window->findChild<QLineEdit*>(s(name)); }
    void click(const QString& button)
    {
        QTest::mouseClick(m_window->findChild<QPushButton*>(button), Qt::LeftButton);
    }
    ListView* list() { return m_window->findChild<ListView*>(s(u"超级列表框1")); }
    // A row made current the way the keyboard does it: selected first.
    void pick(const QString& cardNo)
    {
        list()->setCurrentItem(list()->findItems(cardNo, Qt::MatchExactly).value(0));
    }
    // Every card in record order as number|face|used|balance, read past the window.
    QString cards()
    {
        return queryValue(m_store->dir.databasePath(),
            s(u"select group_concat(c, ';') from (select 会员编号 || '|' || printf('%g', ifnull(面值, 0)) || "
              u"'|' || "
              u"printf('%g', ifnull(使用额, 0)) || '|' || printf('%g', ifnull(余额, 0)) as c from 会员表 "
              u"order by rowid) as cards"))
            .toString();
    }

    std::unique_ptr<StoreFixture> m_store;
    std::unique_ptr<MemberWindow> m_window;
};

void TestMemberWindow::init()
{
    m_store = std::make_unique<StoreFixture>();
}

void TestMemberWindow::cleanup()
{
    m_window.reset();
    m_store.reset();
}

void TestMemberWindow::open(const QStringList& cards)
{
    QStringList inserts;
    for (const QString& values : cards)
        inserts << s(u"insert into 会员表 values (") + values + u')';
    QVERIFY(runSql(m_store->dir.databasePath(), inserts));
    m_window = std::make_unique<MemberWindow>(m_store->db, m_store->rs);
    m_window->show();
}

void TestMemberWindow::newCardIsListed()
{
    open({});
    QCOMPARE(m_window->windowTitle(), s(u"会员管理"));
    const QStringList titles { s(u" 编号"), s(u"面值    "), s(u"已用    "), s(u"余额    ") };
    for (int c = 0; c < titles.size(); ++c) {
        QCOMPARE(list()->headerItem()->text(c), titles[c]);
        QCOMPARE(list()->header()->sectionSize(c), c == 0 ? 50 : 70);
        QCOMPARE(list()->headerItem()->textAlignment(c) & Qt::AlignHorizontal_Mask,
            int(c == 0 ? Qt::AlignLeft : Qt::AlignHCenter));
    }
    box(u"编辑框_会员编号")->setText(QStringLiteral("1001"));
    QTest::keyClicks(box(u"编辑框_面值"), QStringLiteral("1a0.0")); // whole numbers only
    click(s(u"按钮_保存"));
    QVERIFY(m_store->responder.boxes.isEmpty());
    QStringList row;
    for (int c = 0; c < 4; ++c)
        row << list()->getListCell(0, c);
    QCOMPARE(row.join(u'|'), QStringLiteral("1001|100|0|100"));
    QCOMPARE(list()->rowCount(), 1);
}

void TestMemberWindow::formFollowsThePick()
{
    open({ s(u"'1001', 100, 0, 30"), s(u"'2002', 12.5, 0, 12.5") });
    QLineEdit* topUp = box(u"编辑框_充值金额");
    QPushButton* topUpButton = m_window->findChild<QPushButton*>(s(u"按钮_充值"));
    QVERIFY(!topUp->isEnabled() && !topUpButton->isEnabled() && box(u"编辑框_面值")->isEnabled());
    // The list taking the focus picks no card: the window stays in new-card mode.
    m_window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    list()->setFocus(Qt::TabFocusReason);
    QVERIFY(list()->hasFocus());
    QVERIFY(m_window->memberIsNew() && box(u"编辑框_面值")->isEnabled() && !topUp->isEnabled());
    QTest::keyClick(list(), Qt::Key_Down); // the keyboard starts at the first card
    QCOMPARE(box(u"编辑框_会员编号")->text(), QStringLiteral("1001"));
    QVERIFY(!m_window->memberIsNew());
    // A click selects the row before the window reads the selection.
    QTest::mouseClick(
        list()->viewport(), Qt::LeftButton, {}, list()->visualItemRect(list()->topLevelItem(1)).center());
    QCOMPARE(box(u"编辑框_会员编号")->text(), QStringLiteral("2002"));
    QCOMPARE(box(u"编辑框_面值")->text(), QStringLiteral("12.5"));
    QVERIFY(topUp->isEnabled() && topUpButton->isEnabled() && !box(u"编辑框_面值")->isEnabled());
    QVERIFY(!m_window->memberIsNew());
    QCOMPARE(list()->palette().color(QPalette::Inactive, QPalette::Highlight),
        list()->palette().color(QPalette::Active, QPalette::Highlight)); // the pick stays marked
    topUp->setText(QStringLiteral("50"));
    click(s(u"按钮_新增"));
    QVERIFY(m_window->memberIsNew());
    QVERIFY(box(u"编辑框_会员编号")->text().isEmpty() && box(u"编辑框_面值")->text().isEmpty());
    QVERIFY(topUp->text().isEmpty() && !topUp->isEnabled() && box(u"编辑框_面值")->isEnabled());
}

void TestMemberWindow::buttons_data()
{
    QTest::addColumn<QString>("card"); // picked first; empty: 新增 and face value 80
    QTest::addColumn<QString>("number"); // typed over the number box; null: kept
    QTest::addColumn<QString>("topUp");
    QTest::addColumn<bool>("refresh"); // the list refilled before the click
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("answer");
    QTest::addColumn<QString>("shown"); // title|style|text of the one box; empty: none
    QTest::addColumn<QString>("after"); // the cards afterwards; null: unchanged
    const QString ask = s(u"充值金额确认|4|充值金额与会员卡面值金额不相符，是否继续充值？");
    const QString nan = s(u"信息：|0|充值金额必须是数字！");
    const QString dup = s(u"信息：|0|会员编号已存在！");
    const QString clear = s(u"清零确认|4|这会将O'Brien余额清为零！是否继续？");
    const QString del = s(u"删除确认|4|这会将删除会员编号：O'Brien的记录，是否继续？");
    const QString no;
    const auto row = [](const char* name) -> QTestData& { return QTest::newRow(name); };
    row("face value") << "1001" << no << "100" << false << "按钮_充值" << 0 << ""
                      << "1001|100|0|130;O'Brien|100|5|30;O|50|0|50";
    row("other, no") << "1001" << no << "50" << false << "按钮_充值" << int(AnswerNo) << ask << no;
    row("other, yes") << "1001" << no << "50" << false << "按钮_充值" << int(AnswerYes) << ask
                      << "1001|100|0|80;O'Brien|100|5|30;O|50|0|50";
    row("apostrophe") << "O'Brien" << no << "100" << false << "按钮_充值" << 0 << ""
                      << "1001|100|0|30;O'Brien|100|5|130;O|50|0|50";
    row("second column") << "1001" << no << "5,面值=0" << false << "按钮_充值" << 0 << nan << no;
    row("where clause") << "1001" << no << "5 where 1=1 or 会员编号=" << false << "按钮_充值" << 0 << nan
                        << no;
    row("empty amount") << "1001" << no << "" << false << "按钮_充值" << 0 << nan << no;
    row("clear, no") << "O'Brien" << no << "" << false << "按钮_清零" << int(AnswerNo) << clear << no;
    row("clear, yes") << "O'Brien" << no << "" << false << "按钮_清零" << int(AnswerYes) << clear
                      << "1001|100|0|30;O'Brien|100|0|0;O|50|0|50";
    row("delete, no") << "O'Brien" << no << "" << false << "按钮_删除" << int(AnswerNo) << del << no;
    row("delete, yes") << "O'Brien" << no << "" << false << "按钮_删除" << int(AnswerYes) << del
                       << "1001|100|0|30;O|50|0|50";
    row("save resets") << "1001" << no << "" << false << "按钮_保存" << 0 << ""
                       << "1001|100|0|100;O'Brien|100|5|30;O|50|0|50";
    row("renumber") << "O"
                    << "0"
                    << "" << false << "按钮_保存" << 0 << ""
                    << "1001|100|0|30;O'Brien|100|5|30;0|50|0|50";
    row("renumber onto") << "O"
                         << "1001"
                         << "" << false << "按钮_保存" << 0 << dup << no;
    row("new duplicate") << ""
                         << "O'Brien"
                         << "" << false << "按钮_保存" << 0 << dup << no;
    row("new, no number") << "" << no << "" << false << "按钮_保存" << 0 << "信息：|0|请输入会员编号和面值！"
                          << no;
    row("save, no pick") << "1001" << no << "" << true << "按钮_保存" << 0
                         << "信息：|0|请选择要保存的会员编号！" << no;
    row("delete, no pick") << "1001" << no << "" << true << "按钮_删除" << 0
                           << "信息：|0|请选择要删除的会员编号！" << no;
    row("clear, no pick") << "1001" << no << "" << true << "按钮_清零" << 0
                          << "信息：|0|请选择要清零的会员编号！" << no;
    row("top-up too large") << "1001" << no << "100000" << false << "按钮_充值" << 0
                            << s(u"信息：|0|金额必须在-99999.99到99999.99之间！") << no;
    row("half a character") << "" << QString(QChar(0xD800)) + u'1' << "" << false << "按钮_保存" << 0
                            << s(u"信息：|0|输入的文字含有无法保存的字符，请重新输入！") << no;
    row("top-up, no pick") << "1001" << no << "100" << true << "按钮_充值" << 0
                           << "信息：|0|请选择要充值的会员编号！" << no;
}

void TestMemberWindow::buttons()
{
    QFETCH(QString, card);
    QFETCH(QString, number);
    QFETCH(QString, topUp);
    QFETCH(bool, refresh);
    QFETCH(QString, button);
    QFETCH(int, answer);
    QFETCH(QString, shown);
    QFETCH(QString, after);
    open({ s(u"'1001', 100, 0, 30"), s(u"'O''Brien', 100, 5, 30"), s(u"'O', 50, 0, 50") });
    if (card.isEmpty()) {
        click(s(u"按钮_新增"));
        box(u"编辑框_面值")->setText(QStringLiteral("80"));
    }
    pick(card);
    if (!number.isNull())
        box(u"编辑框_会员编号")->setText(number);
    box(u"编辑框_充值金额")->setText(topUp);
    if (refresh)
        m_window->refreshMemberList(); // drops the selection, keeps the entries
    if (answer)
        m_store->responder.answerNext(answer);
    click(button);
    QStringList boxes;
    for (const auto& b : m_store->responder.boxes)
        boxes << b.title + u'|' + toText(b.style) + u'|' + b.text;
    QCOMPARE(boxes, shown.isEmpty() ? QStringList() : QStringList { shown });
    QCOMPARE(cards(), after.isNull() ? s(kThreeCards) : after);
}

void TestMemberWindow::storeRefusalIsShown()
{
    QVERIFY(runSql(m_store->dir.databasePath(),
        { s(u"create trigger 冻结 before update on 会员表 begin select raise(abort, '会员表已冻结'); "
            u"end") }));
    open({ s(u"'1001', 100, 0, 30") });
    pick(QStringLiteral("1001"));
    m_window->saveCard();
    QCOMPARE(m_store->responder.boxes.size(), 1);
    QVERIFY(m_store->responder.boxes[0].text.contains(s(u"会员表已冻结")));
    QCOMPARE(box(u"编辑框_会员编号")->text(), QStringLiteral("1001"));
    QCOMPARE(list()->selectedRow(), 0); // nothing was stored, so the pick stands
    QCOMPARE(cards(), QStringLiteral("1001|100|0|30"));
}

void TestMemberWindow::bonusIsAskedAndPutOnTheCard_data()
{
    QTest::addColumn<QString>("card"); // empty: a new card 2002 of the amount
    QTest::addColumn<int>("amount");
    QTest::addColumn<QString>("method");
    QTest::addColumn<QVector<int>>("answers");
    QTest::addColumn<QStringList>("shown"); // title|text of each box
    QTest::addColumn<QString>("after");
    QTest::addColumn<QString>("ledger"); // 现金/收款/赠送/支付方式 of the payment's row; empty: none
    const int yes = AnswerYes;
    QTest::newRow("top-up reaching 100") << "1001" << 100 << s(u"现金") << QVector<int> { yes }
                                         << QStringList { s(u"充值赠送确认|充值100元，赠送20元，卡内余额将为150元，是否继续？") }
                                         << "1001|100|0|150" << s(u"100/0/20/现金");
    QTest::newRow("declined") << "1001" << 100 << s(u"现金") << QVector<int> { int(AnswerNo) }
                              << QStringList { s(u"充值赠送确认|充值100元，赠送20元，卡内余额将为150元，是否继续？") }
                              << "1001|100|0|30" << "";
    QTest::newRow("the highest reached") << "1001" << 250 << s(u"支付宝") << QVector<int> { yes, yes }
                                         << QStringList { s(u"充值金额确认|充值金额与会员卡面值金额不相符，是否继续充值？"),
                                                s(u"充值赠送确认|充值250元，赠送50元，卡内余额将为330元，是否继续？") }
                                         << "1001|100|0|330" << s(u"0/250/50/支付宝");
    QTest::newRow("a new card") << "" << 200 << s(u"微信") << QVector<int> { yes }
                                << QStringList { s(u"充值赠送确认|发卡200元，赠送50元，卡内余额将为250元，是否继续？") }
                                << "1001|100|0|30;2002|200|0|250" << s(u"0/200/50/微信");
    // Refused before anything is asked.
    QTest::newRow("a new card numbered as another") << "" << 300 << s(u"微信") << QVector<int>()
                                                    << QStringList { s(u"信息：|会员编号已存在！") } << "1001|100|0|30"
                                                    << "";
}

void TestMemberWindow::bonusIsAskedAndPutOnTheCard()
{
    QFETCH(QString, card);
    QFETCH(int, amount);
    QFETCH(QString, method);
    QFETCH(QVector<int>, answers);
    QFETCH(QStringList, shown);
    QFETCH(QString, after);
    QFETCH(QString, ledger);
    QVERIFY(runSql(m_store->dir.databasePath(), { s(u"insert into 充值赠送 values (100, 20), (200, 50)") }));
    open({ s(u"'1001', 100, 0, 30") });
    if (card.isEmpty()) {
        click(s(u"按钮_新增"));
        box(u"编辑框_会员编号")->setText(amount == 300 ? QStringLiteral("1001") : QStringLiteral("2002"));
        box(u"编辑框_面值")->setText(toText(amount));
    } else {
        pick(card);
        box(u"编辑框_充值金额")->setText(toText(amount));
    }
    auto* methods = m_window->findChild<QComboBox*>(s(u"组合框_支付方式"));
    methods->setCurrentText(method);
    box(u"编辑框_单号")->setText(QStringLiteral("7"));
    for (int answer : answers)
        m_store->responder.answerNext(answer);
    click(card.isEmpty() ? s(u"按钮_保存") : s(u"按钮_充值"));
    QStringList boxes;
    for (const auto& b : m_store->responder.boxes)
        boxes << b.title + u'|' + b.text;
    QCOMPARE(boxes, shown);
    QCOMPARE(cards(), after);
    QCOMPARE(queryValue(m_store->dir.databasePath(),
                 s(u"select 现金 || '/' || 收款 || '/' || 赠送 || '/' || 支付方式 from 操作记录 where 类型 in ('充值', '发卡')"))
                 .toString(),
        ledger);
    // Booked, the next customer starts in cash; not booked, the choice stands.
    QCOMPARE(methods->currentText(), ledger.isEmpty() ? method : s(u"现金"));
    QCOMPARE(box(u"编辑框_单号")->text(), ledger.isEmpty() ? QStringLiteral("7") : QString());
}

// The table is stored whole or refused as typed; each change is a ledger row.
void TestMemberWindow::bonusOffersAreEdited()
{
    TopUpBonusWindow window(m_store->db);
    window.show();
    QCOMPARE(window.windowTitle(), s(u"充值赠送"));
    auto* table = window.findChild<QTableWidget*>(s(u"表格_充值赠送"));
    QCOMPARE(table->accessibleName(), s(u"充值赠送"));
    QCOMPARE(table->horizontalHeaderItem(0)->text() + table->horizontalHeaderItem(1)->text(), s(u"满送"));
    const auto fill = [&](const QStringList& cells) {
        table->setRowCount(0);
        for (int i = 0; i + 1 < cells.size(); i += 2) {
            window.addRow();
            table->item(table->rowCount() - 1, 0)->setText(cells[i]);
            table->item(table->rowCount() - 1, 1)->setText(cells[i + 1]);
        }
    };
    const QString path = m_store->dir.databasePath();
    for (const auto& [cells, refusal] : { std::pair { QStringList { QStringLiteral("100"), QStringLiteral("0") },
                                              s(u"满和送都必须是大于零的金额！") },
             std::pair { QStringList { QStringLiteral("100"), QStringLiteral("20"), QStringLiteral("100.00"),
                             QStringLiteral("30") },
                 s(u"满的金额不能重复！") },
             std::pair { QStringList { QStringLiteral("abc"), QStringLiteral("20") }, s(u"满和送都必须是大于零的金额！") } }) {
        fill(cells);
        m_store->responder.boxes.clear();
        QVERIFY(!window.save());
        QCOMPARE(m_store->responder.boxes.value(0).text, refusal);
        QCOMPARE(table->rowCount(), cells.size() / 2); // kept as typed
    }
    QCOMPARE(queryValue(path, s(u"select count(*) from 充值赠送")).toInt(), 0);
    fill({ QStringLiteral("200"), QStringLiteral("50"), QString(), QString(), QStringLiteral("100"), QStringLiteral("20") });
    QVERIFY(window.save());
    QCOMPARE(table->rowCount(), 2); // the empty row dropped, in order of 满
    QCOMPARE(table->item(0, 0)->text(), QStringLiteral("100"));
    QCOMPARE(queryValue(path, s(u"select 之前 || '>' || 之后 from 操作记录 where 类型='充值赠送'")).toString(),
        s(u">100送20；200送50"));
}

QTEST_MAIN(TestMemberWindow)
#include "testmemberwindow.moc"
