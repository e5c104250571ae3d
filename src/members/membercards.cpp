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
    switch (writeCard(rs, entry.isNew, entry.pickedCardNo, entry.cardNo, toInteger(entry.faceText), &error)) {
    case CardWrite::Written:
        return {};
    case CardWrite::Missing:
        return refused(missingCardMessage(entry.pickedCardNo));
    case CardWrite::Failed:
        break;
    }
    return storeFailed(error);
}
