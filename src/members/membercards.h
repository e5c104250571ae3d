#pragma once

#include "store/membertable.h"

#include <QString>
#include <QVector>

class RecordSet;

// The rules of the member cards: the top-up amount, and storing the entries of the member
// window as a card.

// The typed top-up amount as a number: full-width characters folded, blanks around it
// trimmed, and then nothing but a decimal number (sign, digits, point and digits). False for
// anything else, so no typed text ever reaches a statement.
bool parseTopUpAmount(const QString& typed, double& amount);

// Why a typed top-up cannot be booked (empty when it can), and its amount to the cent: a
// number within what the program carries, and more than zero, since taking money off a card is
// 清零's and the owner's.
QString topUpRefusal(const QString& typed, double& amount);

// Whether a top-up differs from the card's face value enough to ask the operator first.
bool topUpDiffersFromFace(float amount, double face);

// What the member window's entry boxes ask 保存 to store.
struct CardEntry {
    QString cardNo;
    QString faceText;
    // The number of the card being rewritten, as listed; empty for a new card.
    QString pickedCardNo;
    bool isNew = true;
    CardPayment payment; // a new card's
};

struct CardSaveOutcome {
    enum Result {
        Saved,
        Refused, // the entries break a rule; errorText tells the operator which
        StoreFailed // the store could not do it; errorText is its own, empty when it has shown it
    };
    Result result = Saved;
    QString errorText;
};

// Stores a new card, or rewrites the picked one: number, face value, and the balance set back
// to the face value. A number that another card carries already is refused before anything is
// written.
CardSaveOutcome saveCard(RecordSet& rs, const CardEntry& entry);

// The operator's texts that the rules give back.
QString duplicateCardMessage();

// The offers typed into the 充值赠送 table, as (满, 送) texts; rows left empty are dropped.
// Why they cannot be stored (empty when they can), with the offers to the cent.
QString topUpBonusRefusal(const QVector<QPair<QString, QString>>& typed, QVector<TopUpBonus>& offers);

// What the operator confirms before a payment gets a bonus.
QString bonusQuestion(bool newCard, double amount, double bonus, double balanceAfter);
