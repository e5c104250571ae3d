#include "checkout/settlement.h"
#include "common/egridmodel.h"
#include "counter/consolegrid.h"
#include "counter/counter.h"
#include "members/membercards.h"
#include "store/goodstable.h"
#include "store/income.h"
#include "ledger/ledgerview.h"
#include "store/ledgertable.h"
#include "store/membertable.h"
#include "support/counterfixture.h"

#include <QtTest>

namespace {

QString s(const char16_t* t) { return QString::fromUtf16(t); }

const QDateTime kNoon(QDate(2026, 12, 8), QTime(12, 0, 0));

} // namespace

class TestLedger : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void everyEventWritesItsRow_data();
    void everyEventWritesItsRow();
    void rowAndChangeGoTogether();
    void tamperingIsFound_data();
    void tamperingIsFound();
    void anotherProgramsRowIsNeverChainedOver();

private:
    // The newest row as "kind|machine|card|goods|amount|cash|card amount|before|after".
    QString newest();
    int rows() { return queryValue(m_store->dir.databasePath(), s(u"select count(*) from 操作记录")).toInt(); }
    void event(const QString& kind);

    std::unique_ptr<CounterFixture> m_f;
    // Its parts, by the names the tests use.
    TestClock* m_clock = nullptr;
    StoreFixture* m_store = nullptr;
    EGridModel* m_grid = nullptr;
    Counter* m_counter = nullptr;
};

void TestLedger::init()
{
    m_f = std::make_unique<CounterFixture>(kNoon);
    m_clock = &m_f->clock;
    m_store = &m_f->store;
    m_grid = &m_f->grid;
    m_counter = &m_f->counter;
    QVERIFY(runSql(m_store->dir.databasePath(),
        { s(u"insert into 会员表 values ('A1', 100, 0, 30)"), s(u"insert into 商品表 values ('可乐', 2.5)") }));
}

void TestLedger::cleanup()
{
    m_f.reset();
}

QString TestLedger::newest()
{
    return queryValue(m_store->dir.databasePath(),
        s(u"select 类型||'|'||机号||'|'||会员编号||'|'||商品名称||'|'||printf('%g',金额)||'|'||printf('%g',现金)||'|'||"
          u"printf('%g',卡额)||'|'||之前||'|'||之后 from 操作记录 order by 序号 desc limit 1"))
        .toString();
}

// Machine 3 has been timing for 30 minutes at 4 an hour, with a deposit of 20, when the event
// under test happens.
void TestLedger::event(const QString& kind)
{
    QString error;
    const auto nothing = [](QString*) { return true; };
    if (kind == u"改定时") {
        m_grid->commitEdit(3, ConsoleColumn::FixedTime, QStringLiteral("60"));
        m_counter->acceptTyped(3, ConsoleColumn::FixedTime);
    } else if (kind == u"商品挂帐" || kind == u"商品现款") {
        QVERIFY(m_counter->bookGoods(3, kind == u"商品挂帐", QStringLiteral("7.5"), nothing, &error, s(u"可乐")));
    } else if (kind == u"停止") {
        m_counter->stop(3, QStringLiteral("12时30分0秒"));
    } else if (kind == u"结帐") {
        const MachineBill bill = m_counter->stop(3, QStringLiteral("12时30分0秒"));
        CheckoutInput in { 3, bill.feeText, bill.goodsText, bill.depositText, QStringLiteral("-18"), true,
            QStringLiteral("A1"), QStringLiteral("30"), {}, {} };
        QVERIFY(settleOnCounter(*m_counter, m_store->db, m_store->rs, in, &error));
    } else if (kind == u"发卡" || kind == u"保存会员卡") {
        const bool isNew = kind == u"发卡";
        QCOMPARE(saveCard(m_store->rs,
                     { isNew ? QStringLiteral("B2") : QStringLiteral("A1"), QStringLiteral("50"),
                         isNew ? QString() : QStringLiteral("A1"), isNew, {} })
                     .result,
            CardSaveOutcome::Saved);
    } else if (kind == u"充值") {
        QVERIFY(topUpCard(m_store->db, QStringLiteral("A1"), 50, &error));
    } else if (kind == u"清零") {
        QVERIFY(clearCard(m_store->db, QStringLiteral("A1"), &error));
    } else if (kind == u"删除会员卡") {
        QVERIFY(deleteCard(m_store->db, QStringLiteral("A1"), &error));
    } else if (kind == u"新增商品") {
        QVERIFY(addGoods(m_store->rs, { s(u"雪碧"), 3.0f }, &error));
    } else if (kind == u"修改商品") {
        QVERIFY(changeGoods(m_store->rs, s(u"可乐"), { s(u"可乐"), 3.0f }, &error));
    } else if (kind == u"删除商品") {
        QVERIFY(deleteGoods(m_store->db, s(u"可乐"), &error));
    } else if (kind == u"放弃结帐") {
        m_counter->stop(3, QStringLiteral("12时30分0秒"));
        m_counter->endUsage(3);
    } else if (kind == u"恢复上机") {
        m_counter->settleInterruption(false, DateTime::fromQDateTime(kNoon.addSecs(-60)));
    }
}

void TestLedger::everyEventWritesItsRow_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("row");
    QTest::newRow("start") << "开始" << s(u"开始|3|||4|0|0||");
    QTest::newRow("deposit") << "改押金" << s(u"改押金|3|||20|20|0|0.0|20.0");
    QTest::newRow("fixed time") << "改定时" << s(u"改定时|3|||0|0|0|0|60");
    QTest::newRow("goods on account") << "商品挂帐" << s(u"商品挂帐|3||可乐|7.5|0|0|0.0|7.5");
    QTest::newRow("goods for cash") << "商品现款" << s(u"商品现款|3||可乐|7.5|7.5|0||");
    QTest::newRow("stop") << "停止" << s(u"停止|3|||2|0|0||");
    // 实收 -18 with the deposit of 20 back: income 2, all of it from the card; cash out 20.
    QTest::newRow("checkout") << "结帐" << s(u"结帐|3|A1||2|-20|-2|20|0");
    QTest::newRow("new card") << "发卡" << s(u"发卡|0|B2||50|50|50||50");
    QTest::newRow("card saved again") << "保存会员卡" << s(u"保存会员卡|0|A1||50|0|20|30|50");
    QTest::newRow("top-up") << "充值" << s(u"充值|0|A1||50|50|50|30|80");
    QTest::newRow("card cleared") << "清零" << s(u"清零|0|A1||0|0|-30|30|0");
    QTest::newRow("card deleted") << "删除会员卡" << s(u"删除会员卡|0|A1||0|0|-30|30|");
    QTest::newRow("goods added") << "新增商品" << s(u"新增商品|0||雪碧|3|0|0||3");
    QTest::newRow("goods changed") << "修改商品" << s(u"修改商品|0||可乐|3|0|0|可乐 2.5|可乐 3");
    QTest::newRow("goods deleted") << "删除商品" << s(u"删除商品|0||可乐|0|0|0|可乐 2.5|");
    QTest::newRow("restored") << "恢复上机" << s(u"恢复上机|0|||0|0|0||不计费");
    QTest::newRow("checkout closed unsettled") << "放弃结帐" << s(u"放弃结帐|3|||2|0|0||");
}

void TestLedger::everyEventWritesItsRow()
{
    QFETCH(QString, kind);
    QFETCH(QString, row);
    m_counter->start(3, QStringLiteral("11时30分0秒"), QStringLiteral("4"));
    if (kind != u"开始") {
        m_clock->advance(30 * 60);
        m_grid->setCell(3, ConsoleColumn::Minutes, 30);
        m_grid->commitEdit(3, ConsoleColumn::Deposit, QStringLiteral("20"));
        m_counter->acceptTyped(3, ConsoleColumn::Deposit);
    }
    const int before = rows();
    event(kind);
    QCOMPARE(rows(), kind == u"开始" || kind == u"改押金" ? before : before + (kind == u"结帐" || kind == u"放弃结帐" ? 2 : 1));
    QCOMPARE(newest(), row);
    QVERIFY(checkLedger(m_store->db).firstBroken == 0);
}

void TestLedger::rowAndChangeGoTogether()
{
    m_counter->start(3, QStringLiteral("11时30分0秒"), QStringLiteral("4"));
    const QString path = m_store->dir.databasePath();
    // A ledger that cannot be written keeps the top-up from the card.
    QVERIFY(runSql(path, { s(u"create trigger 满 before insert on 操作记录 begin select raise(abort, '操作记录已满'); end") }));
    QString error;
    QVERIFY(!topUpCard(m_store->db, QStringLiteral("A1"), 50, &error));
    QVERIFY(error.contains(s(u"操作记录已满")));
    QCOMPARE(queryValue(path, s(u"select 余额 from 会员表")).toDouble(), 30.0);
    QVERIFY(!addGoods(m_store->rs, { s(u"雪碧"), 3.0f }, &error));
    QCOMPARE(queryValue(path, s(u"select count(*) from 商品表")).toInt(), 1);
    QVERIFY(runSql(path, { s(u"drop trigger 满") }));
    // A card gone meanwhile is no top-up, and leaves no row claiming one.
    const int beforeGone = rows();
    QVERIFY(!topUpCard(m_store->db, QStringLiteral("没有的卡"), 50, &error));
    QVERIFY(error.contains(QStringLiteral("没有的卡")));
    QCOMPARE(rows(), beforeGone);
    // A booking that fails leaves no ledger row either.
    const int before = rows();
    QVERIFY(runSql(path, { s(u"create trigger 只读 before insert on 收入记录 begin select raise(abort, '只读'); end") }));
    CheckoutInput in { 3, QStringLiteral("12.5"), QString(), QString(), QStringLiteral("12.5"), false, QString(), QString(), {}, {} };
    QCOMPARE(settleCheckout(m_store->db, m_store->rs, in).result, SettleResult::Failed);
    QCOMPARE(rows(), before);
    // And the ledger refuses to be changed by the program's own connection.
    QVERIFY(!m_store->db.execute(s(u"delete from 操作记录")));
    QVERIFY(!m_store->db.execute(s(u"update 操作记录 set 金额=0")));
    QCOMPARE(rows(), before);
}

void TestLedger::tamperingIsFound_data()
{
    QTest::addColumn<int>("rows");
    QTest::addColumn<QStringList>("tamper");
    QTest::addColumn<int>("firstBroken");
    const QString unlock = s(u"drop trigger 操作记录_不改");
    const QString unlockDelete = s(u"drop trigger 操作记录_不删");
    QTest::newRow("untouched") << 5 << QStringList() << 0;
    QTest::newRow("untouched, with rows of every kind of field") << 8 << QStringList() << 0;
    QTest::newRow("an amount changed") << 5 << QStringList { unlock, s(u"update 操作记录 set 现金=0 where 序号=3") } << 3;
    QTest::newRow("a number made text") << 5 << QStringList { unlock, s(u"update 操作记录 set 现金='10x' where 序号=2") }
                                        << 2;
    QTest::newRow("a row removed") << 5 << QStringList { unlockDelete, s(u"delete from 操作记录 where 序号=2") } << 2;
    QTest::newRow("a row put in") << 5 << QStringList { unlock,
        s(u"update 操作记录 set 序号=-(序号+1) where 序号>=4"), s(u"update 操作记录 set 序号=-序号 where 序号<0"),
        s(u"insert into 操作记录 (序号, 时间, 类型, 校验) values (4, '2026-12-08 12:00:00', '充值', 'x')") }
                                  << 4;
    QTest::newRow("a row put in before the first") << 5 << QStringList {
        s(u"insert into 操作记录 (序号, 时间, 类型, 校验) values (0, '2026-12-08 12:00:00', '充值', 'x')") } << 1;
    QTest::newRow("the newest row's hash made up") << 5 << QStringList { unlock,
        s(u"update 操作记录 set 说明='改过', 校验='0' where 序号=(select max(序号) from 操作记录)") }
                                                   << 5;
    // Long enough for its later half to be checked in a thread of its own.
    QTest::newRow("long, untouched") << 20002 << QStringList() << 0;
    QTest::newRow("long, a row of the later half changed")
        << 20002 << QStringList { unlock, s(u"update 操作记录 set 卡额=1 where 序号=15000") } << 15000;
    QTest::newRow("long, a row of the first half removed")
        << 20002 << QStringList { unlockDelete, s(u"delete from 操作记录 where 序号=100") } << 100;
    QTest::newRow("long, the row where the halves meet changed")
        << 20002 << QStringList { unlock, s(u"update 操作记录 set 说明='x' where 序号=10001") } << 10001;
    // The chain still holds: only the head the program knows tells (firstBroken -n: n removed).
    QTest::newRow("the newest rows removed") << 5 << QStringList { unlockDelete, s(u"delete from 操作记录 where 序号>3") }
                                             << -2;
}

void TestLedger::tamperingIsFound()
{
    QFETCH(int, rows);
    QFETCH(QStringList, tamper);
    QFETCH(int, firstBroken);
    if (QByteArray(QTest::currentDataTag()) == "a number made text")
        FILE_ONLY_TEST(); // a server's money column holds only numbers
    QString error;
    {
        Transaction all(m_store->db);
        for (int i = 0; i < rows; ++i) {
            LedgerEntry e = ledgerEntry(m_store->db, QStringLiteral("充值"));
            e.cardNo = QStringLiteral("A1");
            e.amount = e.cash = e.card = 10.25 + i;
            // Stored as hashed: half a character, as the engine keeps it; a payment's fields.
            if (i == 5)
                e.detail = QString(QChar(0xD83D)) + s(u"半个字");
            if (i == 6)
                putPayment(e, 3.5, s(u"微信"), s(u"4200001"));
            QVERIFY(i < 5 ? topUpCard(m_store->db, QStringLiteral("A1"), 10, &error)
                          : appendLedger(m_store->db, e, &error));
        }
        QVERIFY(all.commit());
    }
    QVERIFY(rememberLedgerHead(m_store->db));
    QVERIFY(tamper.isEmpty() || runSql(m_store->dir.databasePath(), tamper));
    qint64 reported = 0;
    const LedgerCheck check = checkLedger(m_store->db, [&](qint64 done, qint64) {
        reported = done;
        return true;
    });
    QVERIFY(check.readable);
    QCOMPARE(check.firstBroken, qint64(std::max(firstBroken, 0)));
    QCOMPARE(check.removedAtEnd, qint64(std::max(-firstBroken, 0)));
    if (firstBroken < 0)
        QCOMPARE(ledgerCheckMessage(check), QStringLiteral("最后%1条记录被删除！").arg(-firstBroken));
    QCOMPARE(reported, check.rows);
    QCOMPARE(check.rows, queryValue(m_store->dir.databasePath(), s(u"select count(*) from 操作记录")).toLongLong());
    QCOMPARE(check.newestHash,
        queryValue(m_store->dir.databasePath(), s(u"select 校验 from 操作记录 order by 序号 desc limit 1")).toString());
}

void TestLedger::anotherProgramsRowIsNeverChainedOver()
{
    // The head each connection keeps in memory is taken only while nobody else has written.
    Database other;
    QVERIFY(openTestStore(other, m_store->dir));
    QString error;
    for (Database* db : { &m_store->db, &m_store->db, &other, &m_store->db, &other, &other, &m_store->db }) {
        Transaction transaction(*db);
        QVERIFY(appendLedger(*db, ledgerEntry(*db, QStringLiteral("登录")), &error));
        QVERIFY2(transaction.commit(), qPrintable(transaction.error()));
    }
    const LedgerCheck check = checkLedger(m_store->db);
    QCOMPARE(check.rows, 7);
    QCOMPARE(check.firstBroken, 0);
}

QTEST_MAIN(TestLedger)
#include "testledger.moc"
