#include "checkoutwindow.h"

#include "checkout/settlement.h"
#include "counter/counter.h"
#include "common/seams.h"
#include "widgets/inputfilter.h"
#include "common/values.h"
#include "widgets/windows.h"
#include "store/database.h"
#include "store/recordset.h"
#include "store/membertable.h"
#include "ui_billwindow.h"
#include "ui_checkoutwindow.h"

CheckoutWindow::CheckoutWindow(Database& db, RecordSet& rs, Counter& counter, const MachineBill& bill, QWidget* parent)
    : QDialog(parent)
    , m_ui(std::make_unique<Ui::CheckoutWindow>())
    , m_db(db)
    , m_rs(rs)
    , m_counter(counter)
    , m_bill(bill)
{
    m_ui->setupUi(this);
    QFont song(QStringLiteral("宋体"));
    song.setFamilies({ QStringLiteral("宋体"), QStringLiteral("SimSun"), QStringLiteral("WenQuanYi Zen Hei") });
    song.setPixelSize(14);
    for (QWidget* w : std::initializer_list<QWidget*> { m_ui->标签1, m_ui->标签2, m_ui->标签3, m_ui->标签4, m_ui->标签5,
             m_ui->标签6, m_ui->编辑框_上机费, m_ui->编辑框_商品销售, m_ui->编辑框_押金, m_ui->编辑框_应收, m_ui->编辑框_实收,
             m_ui->编辑框_余额, m_ui->选择框1, m_ui->标签_支付方式, m_ui->组合框_支付方式, m_ui->标签_单号, m_ui->编辑框_单号 })
        w->setFont(song);
    layOutWindow(this);
    InputFilter::attach(m_ui->编辑框_实收, InputFilter::Decimal);

    setWindowTitle(toText(m_bill.machineNo) + QStringLiteral("号机结帐"));

    QVector<MemberCard> cards;
    readCards(m_rs, cards);
    for (const MemberCard& card : cards)
        addComboItem(m_ui->组合框1, card.cardNo);
    m_ui->组合框1->setCurrentIndex(-1);

    m_ui->编辑框_上机费->setText(m_bill.feeText);
    m_ui->编辑框_押金->setText(m_bill.depositText);
    m_ui->编辑框_商品销售->setText(m_bill.goodsText);
    const QString receivable = toText(receivableOf(m_bill.feeText, m_bill.goodsText, m_bill.depositText));
    m_ui->编辑框_应收->setText(receivable);
    m_ui->编辑框_实收->setText(receivable);
    ::setFocus(m_ui->编辑框_实收);
    m_ui->编辑框_实收->selectAll();
    // A card is picked on purpose only: the wheel passing over the list must not charge one.
    m_ui->组合框1->setFocusPolicy(Qt::StrongFocus);
    m_ui->组合框1->installEventFilter(this);

    connect(m_ui->组合框1, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index >= 0)
            pickCard();
    });
    connect(m_ui->按钮_确定, &QPushButton::clicked, this, &CheckoutWindow::settle);
    if (m_bill.planned) {
        // A card takes the member discount off the plan's metered part.
        m_ui->按钮_计费明细->setVisible(true);
        connect(m_ui->按钮_计费明细, &QPushButton::clicked, this, &CheckoutWindow::showBill);
        connect(m_ui->选择框1, &QCheckBox::toggled, this, &CheckoutWindow::showFee);
        connect(m_ui->组合框1, &QComboBox::currentIndexChanged, this, &CheckoutWindow::showFee);
    }
}

bool CheckoutWindow::memberDiscount() const
{
    // A member is one whose card is picked and read: the box alone is no card.
    return m_bill.planned && m_ui->选择框1->isChecked() && m_ui->组合框1->currentIndex() >= 0
        && !m_ui->编辑框_余额->text().isEmpty();
}

QString CheckoutWindow::feeText() const { return memberDiscount() ? m_bill.cardFeeText : m_bill.feeText; }

QStringList CheckoutWindow::billLines() const { return memberDiscount() ? m_bill.cardLines : m_bill.lines; }

void CheckoutWindow::showFee()
{
    if (m_ui->编辑框_上机费->text() == feeText())
        return;
    m_ui->编辑框_上机费->setText(feeText());
    const QString receivable = toText(receivableOf(feeText(), m_bill.goodsText, m_bill.depositText));
    m_ui->编辑框_应收->setText(receivable);
    m_ui->编辑框_实收->setText(receivable);
}

QDialog* CheckoutWindow::showBill()
{
    auto* window = new QDialog(this);
    window->setAttribute(Qt::WA_DeleteOnClose);
    Ui::BillWindow ui;
    ui.setupUi(window);
    layOutDialog(window, this);
    window->setWindowTitle(toText(m_bill.machineNo) + QStringLiteral("号机计费明细"));
    ui.列表框_计费明细->addItems(billLines());
    loadWindow(window, this, true);
    return window;
}

CheckoutWindow::~CheckoutWindow() = default;

bool CheckoutWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_ui->组合框1 && event->type() == QEvent::Wheel && !m_ui->组合框1->hasFocus()) {
        event->ignore();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void CheckoutWindow::pickCard()
{
    const bool wasChecked = m_ui->选择框1->isChecked();
    if (!wasChecked)
        m_ui->选择框1->setChecked(true);
    const QString card = getComboItem(m_ui->组合框1, m_ui->组合框1->currentIndex());
    double balance = 0.0;
    const BalanceRead got = readCardBalance(m_rs, card, balance);
    if (got == BalanceRead::Missing) // no such card any more: the store has nothing to show for it
        showStoreError(missingCardMessage(card));
    const bool read = got == BalanceRead::Read;
    if (!read) {
        // A balance that could not be read is no balance of 0: charging it would ask the whole
        // bill in cash and leave the card's funds untouched.
        QSignalBlocker quiet(m_ui->组合框1);
        m_ui->组合框1->setCurrentIndex(-1);
        m_ui->选择框1->setChecked(wasChecked);
        m_ui->编辑框_余额->clear();
        return;
    }
    m_ui->编辑框_余额->setText(toText(balance));
}

void CheckoutWindow::settle()
{
    CheckoutInput in;
    in.machineNo = m_bill.machineNo;
    in.feeText = feeText();
    in.billText = billLines().join(QStringLiteral("；"));
    in.goodsText = m_bill.goodsText;
    in.depositText = m_bill.depositText;
    in.receivedText = m_ui->编辑框_实收->text();
    in.useCard = m_ui->选择框1->isChecked();
    in.cardNo = getComboItem(m_ui->组合框1, m_ui->组合框1->currentIndex());
    in.balanceText = m_ui->编辑框_余额->text();
    in.method = m_ui->组合框_支付方式->currentText();
    in.reference = paymentReference(m_ui->编辑框_单号->text());
    if (!checkoutAmountsInRange(in)) {
        messageBox(moneyRangeMessage(), MbOk | MbExclamation, QStringLiteral("实收"));
        return;
    }
    const QString refusal = checkoutPaymentRefusal(in);
    if (!refusal.isEmpty()) {
        messageBox(refusal, MbOk | MbExclamation, QStringLiteral("支付方式"));
        return;
    }
    const float income = machineIncomeOf(in.receivedText, in.depositText, in.goodsText);
    if (in.useCard && isNonZero(income)) {
        const CardCharge card = cardChargeOf(bookedIncomeOf(in.receivedText, in.depositText, in.goodsText),
            in.goodsText, in.balanceText);
        if (card.shortOfFunds)
            messageBox(shortfallMessage(card, in.method, paidBesidesCard(in, card)), MbOk,
                QStringLiteral("余额不足"));
    }
    QString error;
    const bool settled = settleOnCounter(m_counter, m_db, m_rs, in, &error);
    if (!settled) {
        showStoreError(error);
        return;
    }
    closeWindow(this);
}
