#include "memberwindow.h"

#include "widgets/inputfilter.h"
#include "widgets/listview.h"
#include "common/seams.h"
#include "common/values.h"
#include "widgets/windows.h"
#include "members/membercards.h"
#include "store/database.h"
#include "store/membertable.h"
#include "store/recordset.h"
#include "members/topupbonuswindow.h"
#include "store/ledgertable.h"
#include "ui_memberwindow.h"

MemberWindow::MemberWindow(Database& db, RecordSet& rs, QWidget* parent, const Rights& rights)
    : QWidget(parent, Qt::Window)
    , m_ui(std::make_unique<Ui::MemberWindow>())
    , m_db(db)
    , m_rs(rs)
    , m_rights(rights)
{
    m_ui->setupUi(this);
    layOutWindow(this);
    m_ui->超级列表框1->setColumns({ QStringLiteral(" 编号"), QStringLiteral("面值    "),
                                      QStringLiteral("已用    "), QStringLiteral("余额    ") },
        { 50, 70, 70, 70 }, { Qt::AlignLeft, Qt::AlignHCenter, Qt::AlignHCenter, Qt::AlignHCenter });
    InputFilter::attach(m_ui->编辑框_面值, InputFilter::WholeNumber);

    connect(m_ui->超级列表框1, &ListView::currentRowChanged, this, &MemberWindow::pickCard);
    connect(m_ui->按钮_新增, &QPushButton::clicked, this, &MemberWindow::newCard);
    // Another counter debited or topped up a card: its balance here is read again.
    connect(&m_db, &Database::changedElsewhere, this,
        [this] { m_ui->超级列表框1->refillKeepingPick(0, [this] { refreshMemberList(); }); });
    connect(m_ui->按钮_保存, &QPushButton::clicked, this, &MemberWindow::saveCard);
    connect(m_ui->按钮_删除, &QPushButton::clicked, this, &MemberWindow::deleteCard);
    connect(m_ui->按钮_清零, &QPushButton::clicked, this, &MemberWindow::clearCard);
    connect(m_ui->按钮_充值, &QPushButton::clicked, this, &MemberWindow::topUpCard);
    connect(m_ui->按钮_充值赠送, &QPushButton::clicked, this, &MemberWindow::openBonuses);

    m_memberIsNew = true;
    setMemberFormMode(false);
    refreshMemberList();
}

MemberWindow::~MemberWindow() = default;

void MemberWindow::setMemberFormMode(bool existingCard)
{
    m_ui->编辑框_充值金额->setEnabled(existingCard);
    m_ui->按钮_充值->setEnabled(existingCard);
    m_ui->编辑框_面值->setEnabled(!existingCard);
    if (!existingCard)
        m_ui->编辑框_充值金额->clear();
}

void MemberWindow::refreshMemberList()
{
    ListView* list = m_ui->超级列表框1;
    list->clearRows();
    QVector<MemberCard> cards;
    readCards(m_rs, cards);
    for (const MemberCard& card : cards) {
        const int row = list->appendRow();
        list->setListCell(row, 0, card.cardNo);
        list->setListCell(row, 1, toText(card.face));
        list->setListCell(row, 2, toText(card.used));
        list->setListCell(row, 3, toText(card.balance));
    }
}

void MemberWindow::pickCard()
{
    const int r = m_ui->超级列表框1->selectedRow();
    m_ui->编辑框_会员编号->setText(m_ui->超级列表框1->getListCell(r, 0));
    m_ui->编辑框_面值->setText(m_ui->超级列表框1->getListCell(r, 1));
    setMemberFormMode(true);
    m_memberIsNew = false;
}

void MemberWindow::newCard()
{
    m_memberIsNew = true;
    m_ui->编辑框_会员编号->clear();
    m_ui->编辑框_面值->clear();
    setMemberFormMode(false);
}

void MemberWindow::saveCard()
{
    const QString cardNo = m_ui->编辑框_会员编号->text();
    const QString faceText = m_ui->编辑框_面值->text();
    if (cardNo.isEmpty() || faceText.isEmpty()) {
        messageBox(QStringLiteral("请输入会员编号和面值！"));
        return;
    }
    if (!isStorableText(cardNo)) {
        messageBox(unstorableTextMessage());
        return;
    }
    if (!isMoneyText(faceText)) {
        messageBox(moneyRangeMessage());
        return;
    }
    const int r = m_ui->超级列表框1->selectedRow();
    // After a refresh the list has no selection: there is no card to rewrite.
    if (!m_memberIsNew && r == -1) {
        messageBox(QStringLiteral("请选择要保存的会员编号！"));
        return;
    }
    CardEntry entry;
    entry.cardNo = cardNo;
    entry.faceText = faceText;
    entry.isNew = m_memberIsNew;
    if (!m_memberIsNew)
        entry.pickedCardNo = m_ui->超级列表框1->getListCell(r, 0);
    if (m_memberIsNew) {
        // Refused before the bonus is asked: a number in use, a payment that cannot be taken.
        if (!typedPayment(entry.payment))
            return;
        if (cardsNumbered(m_rs, cardNo) > 0) {
            messageBox(duplicateCardMessage());
            return;
        }
        if (!bonusConfirmed(true, toInteger(faceText), cardNo, entry.payment))
            return;
    }
    // Saving an existing card sets its balance back to the face value: the owner's to allow.
    const OwnerPermit permit = m_memberIsNew ? OwnerPermit(nullptr, QString()) : m_rights.permit(OwnerAction::SaveCard);
    if (!permit)
        return;
    const CardSaveOutcome out = ::saveCard(m_rs, entry);
    if (out.result == CardSaveOutcome::Refused) {
        messageBox(out.errorText);
        return;
    }
    if (out.result == CardSaveOutcome::StoreFailed) {
        showStoreError(out.errorText);
        return;
    }
    if (m_memberIsNew)
        paymentTaken();
    refreshMemberList();
}

void MemberWindow::deleteCard()
{
    QString cardNo;
    if (!selectedCardNo(QStringLiteral("请选择要删除的会员编号！"), cardNo))
        return;
    if (messageBox(QStringLiteral("这会将删除会员编号：") + cardNo + QStringLiteral("的记录，是否继续？"),
            MbYesNo, QStringLiteral("删除确认"))
        != AnswerYes)
        return;
    const OwnerPermit permit = m_rights.permit(OwnerAction::DeleteCard);
    if (!permit)
        return;
    QString error;
    if (!::deleteCard(m_db, cardNo, &error))
        showStoreError(error);
    refreshMemberList();
}

void MemberWindow::clearCard()
{
    QString cardNo;
    if (!selectedCardNo(QStringLiteral("请选择要清零的会员编号！"), cardNo))
        return;
    if (messageBox(QStringLiteral("这会将") + cardNo + QStringLiteral("余额清为零！是否继续？"), MbYesNo,
            QStringLiteral("清零确认"))
        != AnswerYes)
        return;
    const OwnerPermit permit = m_rights.permit(OwnerAction::ClearCard);
    if (!permit)
        return;
    QString error;
    if (!::clearCard(m_db, cardNo, &error))
        showStoreError(error);
    refreshMemberList();
}

void MemberWindow::topUpCard()
{
    QString cardNo;
    if (!selectedCardNo(QStringLiteral("请选择要充值的会员编号！"), cardNo))
        return;
    double amount = 0.0;
    const QString refusal = topUpRefusal(m_ui->编辑框_充值金额->text(), amount);
    if (!refusal.isEmpty()) {
        messageBox(refusal);
        return;
    }
    CardPayment payment;
    if (!typedPayment(payment))
        return;
    const double face = toNumber(m_ui->编辑框_面值->text());
    if (topUpDiffersFromFace(float(amount), face)
        && messageBox(QStringLiteral("充值金额与会员卡面值金额不相符，是否继续充值？"), MbYesNo,
               QStringLiteral("充值金额确认"))
            != AnswerYes)
        return;
    if (!bonusConfirmed(false, amount, cardNo, payment))
        return;
    QString error;
    if (::topUpCard(m_db, cardNo, amount, &error, payment))
        paymentTaken();
    else
        showStoreError(error);
    refreshMemberList();
}

bool MemberWindow::typedPayment(CardPayment& payment)
{
    payment.method = m_ui->组合框_支付方式->currentText();
    payment.reference = paymentReference(m_ui->编辑框_单号->text());
    const QString refusal = paymentRefusal(payment.method, payment.reference);
    if (refusal.isEmpty())
        return true;
    messageBox(refusal, MbOk | MbExclamation, QStringLiteral("支付方式"));
    return false;
}

bool MemberWindow::bonusConfirmed(bool newCard, double amount, const QString& cardNo, CardPayment& payment)
{
    QVector<TopUpBonus> offers;
    QString error;
    if (!readTopUpBonuses(m_db, offers, &error)) {
        showStoreError(error);
        return false;
    }
    payment.bonus = bonusFor(offers, amount);
    if (payment.bonus <= 0.0)
        return true;
    // The balance is read only to tell what the card will hold; the record set says why it
    // could not be.
    double balance = 0.0;
    if (!newCard && readCardBalance(m_rs, cardNo, balance) == BalanceRead::Failed)
        return false;
    return messageBox(bonusQuestion(newCard, amount, payment.bonus, toCents(balance + amount + payment.bonus)),
               MbYesNo, QStringLiteral("充值赠送确认"))
        == AnswerYes;
}

void MemberWindow::paymentTaken()
{
    m_ui->组合框_支付方式->setCurrentIndex(0);
    m_ui->编辑框_单号->clear();
}

void MemberWindow::openBonuses()
{
    const OwnerPermit permit = m_rights.permit(OwnerAction::ManageBonuses);
    if (!permit)
        return;
    TopUpBonusWindow window(m_db, this);
    loadWindow(&window, this, true);
}

bool MemberWindow::selectedCardNo(const QString& pleasePick, QString& cardNo)
{
    const int r = m_ui->超级列表框1->selectedRow();
    if (r == -1) {
        messageBox(pleasePick);
        return false;
    }
    cardNo = m_ui->超级列表框1->getListCell(r, 0);
    return true;
}
