#include "membertable.h"

#include "common/values.h"
#include "database.h"
#include "recordset.h"
#include "ledgertable.h"
#include "sqltext.h"

#include <QSqlQuery>

#include <QSqlError>

#include <algorithm>
#include <functional>

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

// A statement that must change a card: one that finds none is a card gone meanwhile, and
// neither the change nor its ledger row may be claimed.
bool runOnCard(Database& db, const QString& statement, const QString& cardNo, QString* error)
{
    if (!run(db, statement, error))
        return false;
    if (db.rowsAffected() > 0)
        return true;
    if (error)
        *error = missingCardMessage(cardNo);
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

namespace {

// The balance of a card as stored now; the empty text when there is no such card.
QString storedBalance(Database& db, const QString& cardNo)
{
    QSqlQuery q(db.connection());
    q.prepare(QStringLiteral("select 余额 from 会员表 where 会员编号=?"));
    q.addBindValue(cardNo);
    return q.exec() && q.next() ? toText(q.value(0).toDouble()) : QString();
}

// One change of one card with its ledger row, which names the balance before and after it
// (before: of the card as listed, which a save may renumber) and what the card gained.
bool changeCard(Database& db, const QString& cardNo, LedgerEntry entry, const std::function<bool(QString*)>& change,
    QString* error, const QString& listedNo = QString(), bool cardTakesBalance = false)
{
    entry.cardNo = cardNo;
    return changeWithLedger(
        db, entry,
        [&](LedgerEntry& row, QString* why) {
            row.before = storedBalance(db, listedNo.isNull() ? cardNo : listedNo);
            if (!change(why))
                return false;
            row.after = storedBalance(db, cardNo);
            if (cardTakesBalance)
                row.card = toNumber(row.after) - toNumber(row.before);
            return true;
        },
        error);
}

} // namespace

CardWrite writeCard(RecordSet& rs, bool isNew, const QString& listedNo, const QString& cardNo, double face, QString* error,
    const CardPayment& payment)
{
    if (error)
        error->clear();
    Database* db = rs.database();
    if (!db || !db->ensureOpen()) {
        // The record set says why, as it always has.
        rs.openTable(kTable);
        return CardWrite::Failed;
    }
    CardWrite result = CardWrite::Failed;
    LedgerEntry entry = ledgerEntry(*db, isNew ? QStringLiteral("发卡") : QStringLiteral("保存会员卡"));
    entry.amount = face;
    // A new card is paid for, a bonus put on it beside; a card saved again is set back to its
    // face value, its bonus gone and nothing paid back.
    if (isNew) {
        putPayment(entry, face, payment.method, payment.reference);
        entry.bonus = payment.bonus;
    }
    const double balance = isNew ? toCents(face + payment.bonus) : face;
    entry.detail = isNew ? QString() : QStringLiteral("原编号") + listedNo;
    const bool changed = changeCard(*db, cardNo, entry, [&](QString* why) {
        if (isNew) {
            if (!rs.openTable(kTable))
                return false;
            if (!rs.addRecord()) {
                if (why)
                    *why = rs.lastError();
                rs.closeSet();
                return false;
            }
        } else {
            if (!rs.openQuery(cardQuery(listedNo)))
                return false;
            if (rs.recordCount() < 1) {
                rs.closeSet();
                result = CardWrite::Missing;
                return false;
            }
        }
        const bool stored = rs.writeText(u"会员编号", cardNo) && rs.writeNumber(u"面值", face)
            && rs.writeNumber(u"余额", balance) && rs.saveRecord();
        if (!stored && why)
            *why = rs.lastError().isEmpty() ? QStringLiteral("会员卡未能保存！") : rs.lastError();
        rs.closeSet();
        if (stored)
            result = CardWrite::Written;
        return stored;
    }, error, isNew ? QString() : listedNo, true);
    if (changed)
        return CardWrite::Written;
    return result == CardWrite::Missing ? CardWrite::Missing : CardWrite::Failed;
}

bool topUpCard(Database& db, const QString& cardNo, double amount, QString* error, const CardPayment& payment)
{
    LedgerEntry entry = ledgerEntry(db, QStringLiteral("充值"));
    entry.amount = amount;
    putPayment(entry, amount, payment.method, payment.reference);
    entry.bonus = payment.bonus;
    // The card gets the bonus beside the payment; the drawer and the income only the payment.
    const double onCard = toCents(amount + payment.bonus);
    entry.card = onCard;
    return changeCard(
        db, cardNo, entry, [&](QString* why) { return runOnCard(db, topUpStatement(onCard, cardNo), cardNo, why); },
        error);
}

bool readTopUpBonuses(Database& db, QVector<TopUpBonus>& offers, QString* error)
{
    offers.clear();
    if (!db.ensureOpen()) {
        if (error)
            *error = db.lastError();
        return false;
    }
    QSqlQuery q(db.connection());
    if (!q.exec(QStringLiteral("select 满, 送 from 充值赠送 order by 满"))) {
        if (error)
            *error = errorText(q.lastError());
        return false;
    }
    while (q.next())
        offers.append({ q.value(0).toDouble(), q.value(1).toDouble() });
    return true;
}

bool saveTopUpBonuses(Database& db, const QVector<TopUpBonus>& offers, QString* error)
{
    QVector<TopUpBonus> before;
    if (!readTopUpBonuses(db, before, error))
        return false;
    LedgerEntry entry = ledgerEntry(db, QStringLiteral("充值赠送"));
    entry.before = topUpBonusesText(before);
    entry.after = topUpBonusesText(offers);
    return changeWithLedger(
        db, entry,
        [&](LedgerEntry&, QString* why) {
            if (!db.run(QStringLiteral("delete from 充值赠送"), {})) {
                if (why)
                    *why = db.lastError();
                return false;
            }
            for (const TopUpBonus& offer : offers) {
                if (!db.run(QStringLiteral("insert into 充值赠送 (满, 送) values (?, ?)"),
                        { toCents(offer.threshold), toCents(offer.bonus) })) {
                    if (why)
                        *why = db.lastError();
                    return false;
                }
            }
            return true;
        },
        error);
}

double bonusFor(const QVector<TopUpBonus>& offers, double amount)
{
    double bonus = 0.0;
    double reached = 0.0;
    for (const TopUpBonus& offer : offers) {
        if (toCents(amount) >= toCents(offer.threshold) && offer.threshold > reached) {
            reached = offer.threshold;
            bonus = offer.bonus;
        }
    }
    return toCents(bonus);
}

QString topUpBonusesText(const QVector<TopUpBonus>& offers)
{
    QVector<TopUpBonus> sorted = offers;
    std::sort(sorted.begin(), sorted.end(), [](const TopUpBonus& a, const TopUpBonus& b) { return a.threshold < b.threshold; });
    QStringList parts;
    for (const TopUpBonus& offer : sorted)
        parts.append(toText(offer.threshold) + QStringLiteral("送") + toText(offer.bonus));
    return parts.join(QStringLiteral("；"));
}

bool clearCard(Database& db, const QString& cardNo, QString* error)
{
    LedgerEntry entry = ledgerEntry(db, QStringLiteral("清零"));
    return changeCard(
        db, cardNo, entry, [&](QString* why) { return runOnCard(db, clearStatement(cardNo), cardNo, why); }, error,
        QString(), true);
}

bool deleteCard(Database& db, const QString& cardNo, QString* error)
{
    LedgerEntry entry = ledgerEntry(db, QStringLiteral("删除会员卡"));
    return changeCard(
        db, cardNo, entry, [&](QString* why) { return runOnCard(db, deleteStatement(cardNo), cardNo, why); }, error,
        QString(), true);
}

bool debitCard(Database& db, const QString& cardNo, double debit, QString* error)
{
    // Nothing to take matches no card by design (a card ticked but none picked); a debit that
    // finds no card must not be booked as paid.
    return debit == 0.0 ? run(db, cardDebitStatement(debit, cardNo), error)
                        : runOnCard(db, cardDebitStatement(debit, cardNo), cardNo, error);
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
