#include "settlement.h"

#include "common/seams.h"
#include "common/values.h"
#include "store/database.h"
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
    return QStringLiteral("update 会员表 set 余额=余额-") + toText(charge) + QStringLiteral(" where 会员编号=")
        + sqlText(cardNo);
}

namespace {

void showFailure(const QString& text) { messageBox(text, 0x10, QStringLiteral("错误")); }

} // namespace

SettleOutcome settleCheckout(Database& db, RecordSet& rs, const CheckoutInput& in)
{
    SettleOutcome out;
    const float income = machineIncomeOf(in.receivedText, in.depositText, in.goodsText);
    if (!isNonZero(income))
        return out;

    out.result = SettleResult::Failed;
    if (!db.beginTransaction()) {
        showFailure(db.lastError());
        return out;
    }
    // A failed open has already shown the engine's text.
    if (!rs.openTable(QStringLiteral("收入记录"))) {
        db.rollbackTransaction();
        return out;
    }
    const bool written = rs.addRecord() && rs.writeDate(u"日期", now(), 1) && rs.writeInteger(u"机号", in.machineNo)
        && rs.writeText(u"收入类型", QStringLiteral("上机收入")) && rs.writeText(u"收入名称", QStringLiteral("上机收入"))
        && rs.writeNumber(u"收入金额", double(income)) && rs.saveRecord();
    const QString writeError = rs.lastError();
    rs.closeSet();
    if (!written) {
        db.rollbackTransaction();
        showFailure(writeError.isEmpty() ? QStringLiteral("收入记录未能写入。") : writeError);
        return out;
    }

    if (in.useCard) {
        const CardCharge card = cardChargeOf(income, in.goodsText, in.balanceText);
        if (card.shortOfFunds) {
            messageBox(QStringLiteral("会员卡余额不足，需补交现金") + card.shortfallText + QStringLiteral("元！"), 0,
                QStringLiteral("余额不足"));
        }
        if (!db.execute(cardDebitStatement(card.charge, in.cardNo))) {
            const QString error = db.lastError();
            db.rollbackTransaction();
            showFailure(error);
            return out;
        }
    }
    if (!db.commitTransaction()) {
        const QString error = db.lastError();
        db.rollbackTransaction();
        showFailure(error);
        return out;
    }
    out.result = SettleResult::Booked;
    out.bookedText = toText(income);
    return out;
}
