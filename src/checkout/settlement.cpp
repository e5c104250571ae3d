#include "settlement.h"

#include "common/seams.h"
#include "common/values.h"
#include "store/database.h"
#include "store/income.h"
#include "store/sqltext.h"

float receivableOf(const QString& feeText, const QString& goodsText, const QString& depositText)
{
    return float(toNumber(feeText) + toNumber(goodsText) - toNumber(depositText));
}

float machineIncomeOf(const QString& receivedText, const QString& depositText, const QString& goodsText)
{
    return float(toNumber(receivedText) + toNumber(depositText) - toNumber(goodsText));
}

CardCharge cardChargeOf(float machineIncome, const QString& goodsText, const QString& balanceText)
{
    CardCharge c;
    c.charge = float(double(machineIncome) + toNumber(goodsText));
    const float balance = float(toNumber(balanceText));
    if (c.charge > balance) {
        c.shortOfFunds = true;
        c.shortfallText = toText(double(c.charge) - double(balance));
        c.charge = balance;
    }
    return c;
}

QString cardDebitStatement(float charge, const QString& cardNo)
{
    // Rounded to the money column's four decimals, so exact charges leave exactly nothing.
    return QStringLiteral("update 会员表 set 余额=round(余额-") + toText(charge) + QStringLiteral(",4) where 会员编号=")
        + sqlText(cardNo);
}

QString shortfallMessage(const CardCharge& charge)
{
    return QStringLiteral("会员卡余额不足，需补交现金") + charge.shortfallText + QStringLiteral("元！");
}

SettleOutcome settleCheckout(Database& db, RecordSet& rs, const CheckoutInput& in)
{
    SettleOutcome out;
    const float income = machineIncomeOf(in.receivedText, in.depositText, in.goodsText);
    if (!isNonZero(income))
        return out;

    out.result = SettleResult::Failed;
    Transaction transaction(db);
    if (!transaction.isActive()) {
        out.errorText = transaction.error();
        return out;
    }
    const IncomeRow row { now(), in.machineNo, QStringLiteral("上机收入"), QStringLiteral("上机收入"), double(income) };
    if (!writeIncomeRows(rs, { row }, &out.errorText))
        return out;
    if (in.useCard) {
        const CardCharge card = cardChargeOf(income, in.goodsText, in.balanceText);
        if (!db.execute(cardDebitStatement(card.charge, in.cardNo))) {
            out.errorText = db.lastError();
            return out;
        }
    }
    if (!transaction.commit()) {
        out.errorText = transaction.error();
        return out;
    }
    out.result = SettleResult::Booked;
    out.bookedText = toText(income);
    return out;
}
