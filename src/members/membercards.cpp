#include "membercards.h"

#include "common/values.h"
#include "store/membertable.h"

#include <QRegularExpression>

#include <cmath>

namespace {

CardSaveOutcome refused(const QString& why)
{
    return { CardSaveOutcome::Refused, why };
}

CardSaveOutcome storeFailed(const QString& why)
{
    return { CardSaveOutcome::StoreFailed, why };
}

} // namespace

bool parseTopUpAmount(const QString& typed, double& amount)
{
    static const QRegularExpression plainNumber(QStringLiteral(R"(^[+-]?([0-9]+(\.[0-9]*)?|\.[0-9]+)$)"));
    const QString text = foldWide(typed).trimmed();
    if (!plainNumber.match(text).hasMatch())
        return false;
    const double value = toNumber(text);
    if (!std::isfinite(float(value))) // the face-value question compares it as a single
        return false;
    amount = value;
    return true;
}

QString topUpRefusal(const QString& typed, double& amount)
{
    if (!parseTopUpAmount(typed, amount))
        return QStringLiteral("充值金额必须是数字！");
    if (!isMoneyInRange(amount))
        return moneyRangeMessage();
    amount = toCents(amount);
    if (amount <= 0.0)
        return QStringLiteral("充值金额必须大于零！");
    return QString();
}

bool topUpDiffersFromFace(float amount, double face)
{
    return isNonZero(double(amount) - face);
}

QString duplicateCardMessage()
{
    return QStringLiteral("会员编号已存在！");
}


CardSaveOutcome saveCard(RecordSet& rs, const CardEntry& entry)
{
    const bool renumbered = entry.isNew || entry.cardNo != entry.pickedCardNo;
    if (renumbered) {
        const int holders = cardsNumbered(rs, entry.cardNo);
        if (holders < 0)
            return storeFailed(QString());
        if (holders > 0)
            return refused(duplicateCardMessage());
    }
    // A card starts with what was paid for it: a negative face value would start it in debt.
    if (toInteger(entry.faceText) < 0)
        return refused(negativeAmountMessage(QStringLiteral("面值")));
    // The face value box takes whole numbers; a listed 12.5 is saved back as 12.
    QString error;
    switch (writeCard(rs, entry.isNew, entry.pickedCardNo, entry.cardNo, toInteger(entry.faceText), &error,
        entry.payment)) {
    case CardWrite::Written:
        return {};
    case CardWrite::Missing:
        return refused(missingCardMessage(entry.pickedCardNo));
    case CardWrite::Failed:
        break;
    }
    return storeFailed(error);
}

QString topUpBonusRefusal(const QVector<QPair<QString, QString>>& typed, QVector<TopUpBonus>& offers)
{
    offers.clear();
    for (const auto& [thresholdText, bonusText] : typed) {
        const QString threshold = foldWide(thresholdText).trimmed();
        const QString bonus = foldWide(bonusText).trimmed();
        if (threshold.isEmpty() && bonus.isEmpty())
            continue;
        double t = 0.0;
        double b = 0.0;
        if (!parseTopUpAmount(threshold, t) || !parseTopUpAmount(bonus, b) || toCents(t) <= 0.0 || toCents(b) <= 0.0)
            return QStringLiteral("满和送都必须是大于零的金额！");
        if (!isMoneyInRange(t) || !isMoneyInRange(b))
            return moneyRangeMessage();
        for (const TopUpBonus& offer : offers) {
            if (offer.threshold == toCents(t))
                return QStringLiteral("满的金额不能重复！");
        }
        offers.append({ toCents(t), toCents(b) });
    }
    return QString();
}

QString bonusQuestion(bool newCard, double amount, double bonus, double balanceAfter)
{
    return (newCard ? QStringLiteral("发卡") : QStringLiteral("充值")) + toText(amount) + QStringLiteral("元，赠送")
        + toText(bonus) + QStringLiteral("元，卡内余额将为") + toText(balanceAfter) + QStringLiteral("元，是否继续？");
}
