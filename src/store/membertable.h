#pragma once

#include <QString>
#include <QVector>

class Database;
class RecordSet;

// 会员表, the prepaid member cards: every statement the program runs on it. Reads and writes
// return false on failure; `error` then holds the engine's text, or stays empty when the store
// has shown its own message (a record set that could not be opened).

struct MemberCard {
    QString cardNo;
    double face = 0.0;
    double used = 0.0;
    double balance = 0.0;
};

// A payment onto a card: how it was paid and the bonus the card gets beside it.
struct CardPayment {
    QString method; // empty or 现金: cash
    QString reference;
    double bonus = 0.0;
};

// Every card in the table's record order.
bool readCards(RecordSet& rs, QVector<MemberCard>& cards);

// The balance of one card.
enum class BalanceRead { Read, Missing, Failed };
BalanceRead readCardBalance(RecordSet& rs, const QString& cardNo, double& balance);

// How many cards carry the number; -1 when the table could not be read.
int cardsNumbered(RecordSet& rs, const QString& cardNo);

// A new card, or else the card listed as `listedNo` rewritten: number, face value and the balance
// set back to the face value. Missing is the listed card gone meanwhile.
enum class CardWrite { Written, Missing, Failed };
// A new card's balance is its face value and the payment's bonus.
CardWrite writeCard(RecordSet& rs, bool isNew, const QString& listedNo, const QString& cardNo, double face, QString* error,
    const CardPayment& payment = CardPayment());

// 充值赠送: a top-up (or a new card's face value) of at least `threshold` gets `bonus` on the
// card; the highest threshold reached applies.
struct TopUpBonus {
    double threshold = 0.0;
    double bonus = 0.0;
};
bool readTopUpBonuses(Database& db, QVector<TopUpBonus>& offers, QString* error);
// The offers replaced by these, with a 充值赠送 ledger row naming them before and after.
bool saveTopUpBonuses(Database& db, const QVector<TopUpBonus>& offers, QString* error);
double bonusFor(const QVector<TopUpBonus>& offers, double amount);
// "100送20；200送50", in order of the threshold.
QString topUpBonusesText(const QVector<TopUpBonus>& offers);

bool topUpCard(Database& db, const QString& cardNo, double amount, QString* error,
    const CardPayment& payment = CardPayment());
bool clearCard(Database& db, const QString& cardNo, QString* error);
bool deleteCard(Database& db, const QString& cardNo, QString* error);
// Inside the caller's transaction: the checkout books the income and debits the card together.
bool debitCard(Database& db, const QString& cardNo, double debit, QString* error);

// What the operator is told of a card that is no longer there.
QString missingCardMessage(const QString& cardNo);

// The statements, as the engine receives them before translation.
// The amount goes in as the typed number's own text ("%.13g"): a single's six digits would turn
// a top-up of 1234567 into 1234570. Money columns keep four decimals, so repeated top-ups and
// debits add up exactly.
QString topUpStatement(double amount, const QString& cardNo);
QString clearStatement(const QString& cardNo);
QString deleteStatement(const QString& cardNo);
QString cardQuery(const QString& cardNo);
QString cardDebitStatement(double debit, const QString& cardNo);
