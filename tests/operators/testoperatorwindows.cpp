#include "common/seams.h"
#include "goods/goodswindow.h"
#include "members/memberwindow.h"
#include "operators/authorisewindow.h"
#include "operators/loginwindow.h"
#include "operators/operatorwindow.h"
#include "store/operatortable.h"
#include "support/guisupport.h"
#include "widgets/listview.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QtTest>

namespace {

QString s(const char16_t* t) { return QString::fromUtf16(t); }

template <typename T> T* child(QWidget* w, const char16_t* name)
{
    T* c = w->findChild<T*>(s(name));
    if (!c)
        qFatal("no control %s", qPrintable(s(name)));
    return c;
}

void click(QWidget* w, const char16_t* button) { QTest::mouseClick(child<QPushButton>(w, button), Qt::LeftButton); }

void type(QWidget* w, const char16_t* box, const QString& text)
{
    // Chinese cannot be typed key by key here; the windows read the boxes when a button is
    // pressed, so the text is set as typing would leave it.
    child<QLineEdit>(w, box)->setText(text);
}

QStringList items(QComboBox* box)
{
    QStringList all;
    for (int i = 0; i < box->count(); ++i)
        all << box->itemText(i);
    return all;
}

} // namespace

class TestOperatorWindows : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void loginAsksForAnEnabledOperator();
    void ownerAuthorises();
    void managingOperators();
    void cashierNeedsTheOwner_data();
    void cashierNeedsTheOwner();

private:
    QString rows(const QString& columns)
    {
        return queryValue(m_store->dir.databasePath(),
            s(u"select group_concat(v, ';') from (select %1 as v from 操作记录 where 序号>%2 order by 序号)")
                .arg(columns)
                .arg(m_before))
            .toString();
    }
    void addOperators();

    std::unique_ptr<StoreFixture> m_store;
    int m_before = 0; // ledger rows written by the set-up
};

void TestOperatorWindows::init()
{
    m_store = std::make_unique<StoreFixture>();
    m_before = 0;
}

void TestOperatorWindows::cleanup() { m_store.reset(); }

void TestOperatorWindows::addOperators()
{
    QString why;
    for (const auto& [name, role, password] : { std::tuple { u"老板", u"店长", u"1234" },
             std::tuple { u"小王", u"收银员", u"wang" }, std::tuple { u"老李", u"收银员", u"li" },
             std::tuple { u"老板娘", u"店长", u"5678" } }) {
        QVERIFY2(addOperator(m_store->db, s(name), s(role), s(password), &why), qPrintable(why));
    }
    QVERIFY(setOperatorEnabled(m_store->db, s(u"老李"), false, &why));
    m_before = queryValue(m_store->dir.databasePath(), s(u"select count(*) from 操作记录")).toInt();
}

void TestOperatorWindows::loginAsksForAnEnabledOperator()
{
    addOperators();
    LoginWindow login(m_store->db);
    login.show();
    QCOMPARE(login.windowTitle(), s(u"登录"));
    QComboBox* who = child<QComboBox>(&login, u"组合框_操作员");
    QCOMPARE(items(who), QStringList({ s(u"老板"), s(u"小王"), s(u"老板娘") }));
    QCOMPARE(who->accessibleName(), s(u"操作员"));
    QCOMPARE(child<QLineEdit>(&login, u"编辑框_密码")->accessibleName(), s(u"密码"));
    QCOMPARE(child<QLineEdit>(&login, u"编辑框_密码")->echoMode(), QLineEdit::Password);
    who->setCurrentText(s(u"小王"));
    type(&login, u"编辑框_密码", s(u"wrong"));
    click(&login, u"按钮_确定");
    QCOMPARE(m_store->responder.boxes.size(), 1);
    QCOMPARE(m_store->responder.boxes[0].text, s(u"密码错误！还可以再试4次。"));
    QVERIFY(login.isVisible());
    QVERIFY(child<QLineEdit>(&login, u"编辑框_密码")->text().isEmpty());
    type(&login, u"编辑框_密码", s(u"wang"));
    click(&login, u"按钮_确定");
    QCOMPARE(login.result(), int(QDialog::Accepted));
    QCOMPARE(login.operatorName(), s(u"小王"));
    QCOMPARE(login.role(), s(u"收银员"));
    QCOMPARE(rows(s(u"类型||':'||操作员")), s(u"登录失败:小王;登录:小王"));

    LoginWindow again(m_store->db);
    again.show();
    click(&again, u"按钮_退出");
    QCOMPARE(again.result(), int(QDialog::Rejected));
}

void TestOperatorWindows::ownerAuthorises()
{
    addOperators();
    m_store->db.setOperatorName(s(u"小王"));
    AuthoriseWindow ask(m_store->db, OwnerAction::DeleteCard);
    ask.show();
    QCOMPARE(ask.windowTitle(), s(u"店长授权"));
    QCOMPARE(child<QLabel>(&ask, u"标签_提示")->text(), s(u"需要店长授权"));
    QCOMPARE(child<QLabel>(&ask, u"标签_事项")->text(), s(u"删除会员卡"));
    QComboBox* owner = child<QComboBox>(&ask, u"组合框_店长");
    QCOMPARE(owner->accessibleName(), s(u"店长"));
    QCOMPARE(items(owner), QStringList({ s(u"老板"), s(u"老板娘") }));
    owner->setCurrentText(s(u"老板娘"));
    type(&ask, u"编辑框_密码", s(u"1234")); // the other owner's
    click(&ask, u"按钮_确定");
    QVERIFY(ask.isVisible());
    type(&ask, u"编辑框_密码", s(u"5678"));
    click(&ask, u"按钮_确定");
    QCOMPARE(ask.result(), int(QDialog::Accepted));
    QCOMPARE(ask.owner(), s(u"老板娘"));
    QCOMPARE(rows(s(u"类型||':'||操作员||':'||授权店长||':'||说明")),
        s(u"授权失败:小王:老板娘:删除会员卡;授权:小王:老板娘:删除会员卡"));
}

void TestOperatorWindows::managingOperators()
{
    OperatorWindow window(m_store->db, QString());
    window.show();
    QCOMPARE(window.windowTitle(), s(u"操作员管理"));
    auto* list = child<QTreeWidget>(&window, u"列表框_操作员");
    QComboBox* role = child<QComboBox>(&window, u"组合框_角色");
    QCOMPARE(items(role), QStringList({ s(u"店长"), s(u"收银员") }));
    QVERIFY(!role->isEnabled()); // the first one is the owner
    type(&window, u"编辑框_姓名", s(u"老板"));
    type(&window, u"编辑框_密码", s(u"1234"));
    type(&window, u"编辑框_确认密码", s(u"1235"));
    click(&window, u"按钮_新增");
    QCOMPARE(m_store->responder.boxes.value(0).text, s(u"两次输入的密码不一致！"));
    QCOMPARE(list->topLevelItemCount(), 0);
    type(&window, u"编辑框_确认密码", s(u"1234"));
    click(&window, u"按钮_新增");
    QCOMPARE(window.firstOwner(), s(u"老板"));
    QVERIFY(role->isEnabled());
    type(&window, u"编辑框_姓名", s(u"小王"));
    type(&window, u"编辑框_密码", s(u"wang"));
    type(&window, u"编辑框_确认密码", s(u"wang"));
    role->setCurrentText(s(u"收银员"));
    click(&window, u"按钮_新增");
    QCOMPARE(list->topLevelItemCount(), 2);
    QCOMPARE(list->topLevelItem(1)->text(0) + u' ' + list->topLevelItem(1)->text(1) + u' ' + list->topLevelItem(1)->text(2),
        s(u"小王 收银员 启用"));

    // The only owner can be neither disabled nor made a cashier.
    list->setCurrentItem(list->topLevelItem(0));
    role->setCurrentText(s(u"收银员"));
    click(&window, u"按钮_保存");
    QCOMPARE(m_store->responder.boxes.last().text, s(u"至少要保留一个启用的店长！"));
    click(&window, u"按钮_停用");
    QCOMPARE(m_store->responder.boxes.last().text, s(u"至少要保留一个启用的店长！"));
    // A new password for the cashier, who then logs in with it; then disabled and enabled.
    list->setCurrentItem(list->topLevelItem(1));
    type(&window, u"编辑框_密码", s(u"new"));
    type(&window, u"编辑框_确认密码", s(u"new"));
    click(&window, u"按钮_保存");
    QCOMPARE(checkPassword(m_store->db, s(u"小王"), s(u"new"), ledgerEntry(m_store->db, s(u"登录")), false).result,
        PasswordOutcome::Right);
    list->setCurrentItem(list->topLevelItem(1));
    click(&window, u"按钮_停用");
    QCOMPARE(list->topLevelItem(1)->text(2), s(u"停用"));
    list->setCurrentItem(list->topLevelItem(1));
    QCOMPARE(child<QPushButton>(&window, u"按钮_停用")->text(), s(u"启用"));
    click(&window, u"按钮_停用");
    QCOMPARE(list->topLevelItem(1)->text(2), s(u"启用"));
    QCOMPARE(rows(s(u"类型||':'||ifnull(之前,'')||':'||ifnull(之后,'')||':'||说明")),
        s(u"新增操作员::店长:老板;新增操作员::收银员:小王;修改操作员:收银员:收银员:小王，改密码;登录:::;停用操作员:::小王;"
          u"启用操作员:::小王"));

    OperatorWindow asWang(m_store->db, s(u"小王"));
    auto* wangList = child<QTreeWidget>(&asWang, u"列表框_操作员");
    wangList->setCurrentItem(wangList->topLevelItem(1));
    click(&asWang, u"按钮_停用");
    QCOMPARE(m_store->responder.boxes.last().text, s(u"不能停用正在使用的操作员！"));

    // A cashier an owner let in manages cashiers, never themself or an owner.
    OperatorWindow letIn(m_store->db, s(u"小王"), false);
    auto* letInList = child<QTreeWidget>(&letIn, u"列表框_操作员");
    for (int row : { 1, 0 }) {
        letInList->setCurrentItem(letInList->topLevelItem(row));
        child<QComboBox>(&letIn, u"组合框_角色")->setCurrentText(s(u"店长"));
        type(&letIn, u"编辑框_密码", s(u"mine"));
        type(&letIn, u"编辑框_确认密码", s(u"mine"));
        click(&letIn, u"按钮_保存");
        QCOMPARE(m_store->responder.boxes.last().text, s(u"经店长授权只能管理收银员，不能修改自己或店长。"));
    }
    QCOMPARE(checkPassword(m_store->db, s(u"老板"), s(u"1234"), ledgerEntry(m_store->db, s(u"登录")), false).result,
        PasswordOutcome::Right);
}

// Each owner-only action of the card and goods windows, tried by a cashier: refused while no
// owner allows it, done once one does, and its row names both.
void TestOperatorWindows::cashierNeedsTheOwner_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("after");
    QTest::newRow("save a card") << s(u"会员:按钮_保存") << s(u"保存会员卡") << s(u"A1|100|60") << s(u"A1|80|80");
    QTest::newRow("clear a card") << s(u"会员:按钮_清零") << s(u"清零") << s(u"A1|100|60") << s(u"A1|100|0");
    QTest::newRow("delete a card") << s(u"会员:按钮_删除") << s(u"删除会员卡") << s(u"A1|100|60") << QString();
    QTest::newRow("change goods") << s(u"商品:按钮_保存") << s(u"修改商品") << s(u"可乐|2.5") << s(u"可乐|3");
    QTest::newRow("delete goods") << s(u"商品:按钮_删除") << s(u"删除商品") << s(u"可乐|2.5") << QString();
}

void TestOperatorWindows::cashierNeedsTheOwner()
{
    QFETCH(QString, button);
    QFETCH(QString, kind);
    QFETCH(QString, before);
    QFETCH(QString, after);
    addOperators();
    QVERIFY(runSql(m_store->dir.databasePath(),
        { s(u"insert into 会员表 values ('A1', 100, 40, 60)"), s(u"insert into 商品表 values ('可乐', 2.5)") }));
    const bool members = button.startsWith(s(u"会员"));
    const QString table = members ? s(u"select group_concat(会员编号||'|'||printf('%g',面值)||'|'||printf('%g',余额)) from 会员表")
                                  : s(u"select group_concat(商品名称||'|'||printf('%g',单价)) from 商品表");
    Rights rights(&m_store->db);
    rights.setOperator(s(u"小王"), cashierRole());
    QString owner;
    QVector<OwnerAction> asked;
    rights.setOwnerAsker([&](OwnerAction action) {
        asked.append(action);
        return owner;
    });
    std::unique_ptr<QWidget> window;
    if (members)
        window = std::make_unique<MemberWindow>(m_store->db, m_store->rs, nullptr, rights);
    else
        window = std::make_unique<GoodsWindow>(m_store->db, m_store->rs, nullptr, rights);
    window->show();
    auto* list = window->findChild<ListView*>(s(u"超级列表框1"));
    const auto tryIt = [&] {
        list->setCurrentItem(list->topLevelItem(0));
        if (kind == u"保存会员卡")
            type(window.get(), u"编辑框_面值", s(u"80"));
        if (kind == u"修改商品")
            type(window.get(), u"编辑框_单价", s(u"3"));
        m_store->responder.answerNext(AnswerYes);
        click(window.get(), reinterpret_cast<const char16_t*>(button.mid(3).utf16()));
    };
    tryIt();
    QCOMPARE(asked.size(), 1);
    QCOMPARE(queryValue(m_store->dir.databasePath(), table).toString(), before);
    QCOMPARE(rows(s(u"类型")), QString());
    owner = s(u"老板娘");
    tryIt();
    QCOMPARE(asked.size(), 2);
    QCOMPARE(queryValue(m_store->dir.databasePath(), table).toString(), after);
    QCOMPARE(rows(s(u"类型||':'||操作员||':'||授权店长")), kind + s(u":小王:老板娘"));
    QCOMPARE(m_store->db.authorisedBy(), QString());
}

QTEST_MAIN(TestOperatorWindows)
#include "testoperatorwindows.moc"
