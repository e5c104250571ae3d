#include "settlement.h"

#include "common/seams.h"
#include "common/values.h"
#include "counter/counter.h"
#include "store/database.h"
#include "store/recordset.h"
#include "store/income.h"
#include "store/ledgertable.h"
#include "store/membertable.h"

#include <algorithm>
#include <cmath>

float receivableOf(const QString& feeText, const QString& goodsText, const QString& depositText)
{
    return float(toNumber(feeText) + toNumber(goodsText) - toNumber(depositText));
}

float machineIncomeOf(const QString& receivedText, const QString& depositText, const QString& goodsText)
{
    return float(toNumber(receivedText) + toNumber(depositText) - toNumber(goodsText));
}

double bookedIncomeOf(const QString& receivedText, const QString& depositText, const QString& goodsText)
{
    return toCents(toNumber(receivedText) + toNumber(depositText) - toNumber(goodsText));
}

CardCharge cardChargeOf(double bookedIncome, const QString& goodsText, const QString& balanceText)
{
    CardCharge c;
    // Whether the card is short, and by what, is decided in single precision as the operator
    // has always been told; what it is debited is the booking's own amount, to the cent.
    const float charge = float(double(float(bookedIncome)) + toNumber(goodsText));
    const double stored = toNumber(balanceText);
    const float balance = float(stored);
    c.debit = toCents(bookedIncome + toNumber(goodsText));
    if (charge > balance) {
        c.shortOfFunds = true;
        c.shortfallText = toText(double(charge) - double(balance));
        c.debit = stored;
    }
    // Never more than the card holds.
    c.debit = std::min(c.debit, std::max(stored, 0.0));
    return c;
}

QString shortfallMessage(const CardCharge& charge, const QString& method, double methodAmount)
{
    if (isCashMethod(method))
        return QStringLiteral("会员卡余额不足，需补交现金") + charge.shortfallText + QStringLiteral("元！");
    return QStringLiteral("会员卡余额不足，需补交") + method + formatFixed(methodAmount, 2) + QStringLiteral("元！");
}

namespace {

// What the card is debited, as the settlement books it.
CardCharge chargeOf(const CheckoutInput& in, float income)
{
    return in.useCard && isNonZero(income)
        ? cardChargeOf(bookedIncomeOf(in.receivedText, in.depositText, in.goodsText), in.goodsText, in.balanceText)
        : CardCharge();
}

} // namespace

double paidBesidesCard(const CheckoutInput& in, const CardCharge& card)
{
    return toCents(toNumber(in.receivedText) - card.debit);
}

QString checkoutPaymentRefusal(const CheckoutInput& in)
{
    const QString refusal = paymentRefusal(in.method, in.reference);
    if (!refusal.isEmpty() || isCashMethod(in.method))
        return refusal;
    const double receivable = toCents(double(receivableOf(in.feeText, in.goodsText, in.depositText)));
    if (toCents(toNumber(in.receivedText)) != receivable)
        return QStringLiteral("非现金支付不能找零，实收必须等于应收！");
    const CardCharge card = chargeOf(in, machineIncomeOf(in.receivedText, in.depositText, in.goodsText));
    if (paidBesidesCard(in, card) <= 0.0)
        return QStringLiteral("没有要收的款，请选择现金！");
    return QString();
}

bool checkoutAmountsInRange(const CheckoutInput& in)
{
    const float income = machineIncomeOf(in.receivedText, in.depositText, in.goodsText);
    return isMoneyText(in.receivedText) && isMoneyInRange(double(income))
        && isMoneyInRange(double(income) + toNumber(in.goodsText));
}

SettleOutcome settleCheckout(Database& db, RecordSet& rs, const CheckoutInput& in)
{
    SettleOutcome out;
    if (!checkoutAmountsInRange(in)) {
        out.result = SettleResult::Failed;
        out.errorText = moneyRangeMessage();
        return out;
    }
    const float income = machineIncomeOf(in.receivedText, in.depositText, in.goodsText);
    const bool books = isNonZero(income);
    // Booked as typed, to the cent: the single decides only the figure the grid shows.
    const double booked = books ? bookedIncomeOf(in.receivedText, in.depositText, in.goodsText) : 0.0;
    const CardCharge card = chargeOf(in, income);
    out.errorText = checkoutPaymentRefusal(in);
    if (!out.errorText.isEmpty()) {
        out.result = SettleResult::Failed;
        return out;
    }

    // What the drawer and the card see of it, for the ledger: cash is 实收 less what the card
    // was debited.
    LedgerEntry entry = ledgerEntry(db, QStringLiteral("结帐"));
    entry.machineNo = in.machineNo;
    entry.amount = booked;
    const double paid = paidBesidesCard(in, card);
    putPayment(entry, paid, in.method, in.reference);
    entry.card = -card.debit;
    entry.cardNo = in.useCard && books ? in.cardNo : QString();
    // The deposit set off and the goods on account paid, as the figures of a shift read them.
    entry.before = toText(toNumber(in.depositText));
    entry.after = toText(toNumber(in.goodsText));
    entry.detail = QStringLiteral("应收") + toText(receivableOf(in.feeText, in.goodsText, in.depositText))
        + QStringLiteral("，实收") + in.receivedText + QStringLiteral("，上机收入") + toText(books ? income : 0.0f);
    if (in.useCard && books) {
        entry.detail += QStringLiteral("，会员卡扣") + toText(card.debit);
        if (card.shortOfFunds)
            entry.detail += isCashMethod(in.method) ? QStringLiteral("，补交现金") + card.shortfallText
                                                    : QStringLiteral("，补交") + in.method + formatFixed(paid, 2);
    }
    if (!in.billText.isEmpty())
        entry.detail += QStringLiteral("，计费明细：") + in.billText;

    Transaction transaction(db);
    if (!books) {
        // Nothing to book, but the cash changed hands: the ledger says so, now or once the
        // store takes writes again.
        if (!transaction.isActive()) {
            out.unwrittenLedger = entry;
        } else if (!appendLedger(db, entry, &out.errorText) || !transaction.commit()) {
            out.result = SettleResult::Failed; // its cause said, not only that a part failed
            if (out.errorText.isEmpty())
                out.errorText = transaction.error();
        }
        return out;
    }
    out.result = SettleResult::Failed;
    if (!transaction.isActive()) {
        out.errorText = transaction.error();
        return out;
    }
    const IncomeRow row { now(), in.machineNo, QStringLiteral("上机收入"), QStringLiteral("上机收入"), booked };
    if (!writeIncomeRows(rs, { row }, &out.errorText))
        return out;
    if (in.useCard && !debitCard(db, in.cardNo, card.debit, &out.errorText))
        return out;
    if (!appendLedger(db, entry, &out.errorText))
        return out;
    if (!transaction.commit()) {
        out.errorText = transaction.error();
        return out;
    }
    out.result = SettleResult::Booked;
    out.bookedText = toText(income);
    return out;
}

bool settleOnCounter(Counter& counter, Database& db, RecordSet& rs, const CheckoutInput& in, QString* error)
{
    std::optional<LedgerEntry> unwritten;
    const bool settled = counter.bookCheckout(
        in.machineNo,
        [&](QString* booked, QString* why) {
            const SettleOutcome out = settleCheckout(db, rs, in);
            *booked = out.bookedText;
            *why = out.errorText;
            unwritten = out.unwrittenLedger;
            return out.result != SettleResult::Failed;
        },
        error);
    if (settled && unwritten)
        counter.defer(*unwritten);
    return settled;
}
