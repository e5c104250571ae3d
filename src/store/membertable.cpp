#include "membertable.h"

#include "common/values.h"
#include "database.h"
#include "recordset.h"
#include "sqltext.h"

namespace {

const QString kTable = QStringLiteral("会员表");

bool run(Database& db, const QString& statement, QString* error)
{
    if (db.execute(statement))
        return true;
    if (error)
        *error = db.lastError().isEmpty() ? QStringLiteral("会员卡未能更改！") : db.lastError();
    return false;
}

} // namespace

bool readCards(RecordSet& rs, QVector<MemberCard>& cards)
{
    cards.clear();
    if (!rs.openTable(kTable))
        return false;
    const int n = rs.recordCount();
    for (int i = 0; i < n; ++i) {
        MemberCard card;
        rs.readText(u"会员编号", card.cardNo);
        rs.readNumber(u"面值", card.face);
        rs.readNumber(u"使用额", card.used);
        rs.readNumber(u"余额", card.balance);
        cards.append(card);
        rs.moveNext();
    }
    rs.closeSet();
    return true;
}

BalanceRead readCardBalance(RecordSet& rs, const QString& cardNo, double& balance)
{
    balance = 0.0;
    if (!rs.openQuery(cardQuery(cardNo)))
        return BalanceRead::Failed;
    // The set is left open, as the card pick has always left it: the next open closes it.
    return rs.readNumber(u"余额", balance) ? BalanceRead::Read : BalanceRead::Missing;
}

int cardsNumbered(RecordSet& rs, const QString& cardNo)
{
    if (!rs.openQuery(cardQuery(cardNo)))
        return -1;
    const int n = rs.recordCount();
    rs.closeSet();
    return n;
}

CardWrite writeCard(RecordSet& rs, bool isNew, const QString& listedNo, const QString& cardNo, double face, QString* error)
{
    if (error)
        error->clear();
    if (isNew) {
        if (!rs.openTable(kTable))
            return CardWrite::Failed;
        if (!rs.addRecord()) {
            if (error)
                *error = rs.lastError();
            rs.closeSet();
            return CardWrite::Failed;
        }
    } else {
        if (!rs.openQuery(cardQuery(listedNo)))
            return CardWrite::Failed;
        if (rs.recordCount() < 1) {
            rs.closeSet();
            return CardWrite::Missing;
        }
    }
    const bool stored = rs.writeText(u"会员编号", cardNo) && rs.writeNumber(u"面值", face)
        && rs.writeNumber(u"余额", face) && rs.saveRecord();
    if (!stored && error)
        *error = rs.lastError().isEmpty() ? QStringLiteral("会员卡未能保存！") : rs.lastError();
    rs.closeSet();
    return stored ? CardWrite::Written : CardWrite::Failed;
}

bool topUpCard(Database& db, const QString& cardNo, double amount, QString* error)
{
    return run(db, topUpStatement(amount, cardNo), error);
}

bool clearCard(Database& db, const QString& cardNo, QString* error)
{
    return run(db, clearStatement(cardNo), error);
}

bool deleteCard(Database& db, const QString& cardNo, QString* error)
{
    return run(db, deleteStatement(cardNo), error);
}

bool debitCard(Database& db, const QString& cardNo, double debit, QString* error)
{
    return run(db, cardDebitStatement(debit, cardNo), error);
}

QString topUpStatement(double amount, const QString& cardNo)
{
    return QStringLiteral("update 会员表 set 余额=round(余额+") + toText(amount)
        + QStringLiteral(",4) where 会员编号=") + sqlText(cardNo);
}

QString clearStatement(const QString& cardNo)
{
    return QStringLiteral("update 会员表 set 余额=0 ,使用额=0 where 会员编号=") + sqlText(cardNo);
}

QString deleteStatement(const QString& cardNo)
{
    return QStringLiteral("delete from 会员表 where 会员编号=") + sqlText(cardNo);
}

QString cardQuery(const QString& cardNo)
{
    return QStringLiteral("select * from 会员表 where 会员编号=") + sqlText(cardNo);
}

QString cardDebitStatement(double debit, const QString& cardNo)
{
    // Rounded to the money column's four decimals, so exact charges leave exactly nothing.
    return QStringLiteral("update 会员表 set 余额=round(余额-") + toText(debit) + QStringLiteral(",4) where 会员编号=")
        + sqlText(cardNo);
}

QString missingCardMessage(const QString& cardNo)
{
    return QStringLiteral("找不到会员编号：") + cardNo + QStringLiteral("的记录！");
}
