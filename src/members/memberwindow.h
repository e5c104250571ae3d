#pragma once

#include "counter/rights.h"
#include "store/membertable.h"

#include <QWidget>

#include <memory>

class Database;
class RecordSet;
namespace Ui {
class MemberWindow;
}

// Manages the prepaid member cards: lists every card with its face value, used amount and
// balance, and adds, saves, deletes, clears and tops up cards. Not modal, so timing and
// checkouts go on while it is open.
class MemberWindow : public QWidget {
    Q_OBJECT
public:
    // Saving an existing card, clearing and deleting one are the owner's: `rights` says who
    // works the counter.
    MemberWindow(Database& db, RecordSet& rs, QWidget* parent = nullptr, const Rights& rights = Rights::everyone());
    ~MemberWindow() override;

    // True while the entry boxes describe a new card that 保存 appends.
    bool memberIsNew() const { return m_memberIsNew; }

    // Existing card: the top-up may be typed and the face value is fixed; new card: the other
    // way round.
    void setMemberFormMode(bool existingCard);
    // Refills the list of cards; no row is selected afterwards.
    void refreshMemberList();

    // The list's current row changed: the selected card goes into the entry boxes.
    void pickCard();
    void newCard(); // 按钮_新增
    void saveCard(); // 按钮_保存
    void deleteCard(); // 按钮_删除
    void clearCard(); // 按钮_清零
    void topUpCard(); // 按钮_充值
    void openBonuses(); // 按钮_充值赠送, the owner's

private:
    // Runs a statement on a card; a refusal of the store is shown, never passed over.
    // The card number of the selected row; false after asking the operator to pick one.
    bool selectedCardNo(const QString& pleasePick, QString& cardNo);
    // The method and reference typed for a payment; false, after saying why, when they are
    // refused. Asked before anything is confirmed.
    bool typedPayment(CardPayment& payment);
    // The bonus a payment of `amount` gets, once the operator has confirmed it; false when it
    // is not confirmed or the offers cannot be read.
    bool bonusConfirmed(bool newCard, double amount, const QString& cardNo, CardPayment& payment);
    // After a payment is booked the next one starts in cash, with no reference.
    void paymentTaken();

    std::unique_ptr<Ui::MemberWindow> m_ui;
    Database& m_db;
    RecordSet& m_rs;
    const Rights& m_rights;
    bool m_memberIsNew = true;
};
