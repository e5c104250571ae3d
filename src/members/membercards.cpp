#include "membercards.h"

#include "common/values.h"
#include "store/database.h"
#include "store/recordset.h"
#include "store/sqltext.h"

#include <QRegularExpression>

#include <cmath>

namespace {

const QString kTable = QStringLiteral("会员表");

// How many cards carry the number; -1 when the table could not be read (the store has said why).
int cardsNumbered(RecordSet& rs, const QString& cardNo)
{
    if (!rs.openQuery(cardQuery(cardNo)))
        return -1;
    const int n = rs.recordCount();
    rs.closeSet();
    return n;
}

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

bool topUpDiffersFromFace(float amount, double face)
{
    return isNonZero(double(amount) - face);
}

QString topUpStatement(double amount, const QString& cardNo)
{
    return QStringLiteral("update 会员表 set 余额=round(余额+") + toText(amount)
        + QStringLiteral(",4) where 会员编号=") + sqlText(cardNo);
}

QString clearStatement(const QString& cardNo)
{
    return QStringLiteral("update 会员表 set 余额=0 ,使用额=0 where 会员编号=") + sqlText(cardNo);
}

QString deleteStatement(const QString& cardNo)
{
    return QStringLiteral("delete from 会员表 where 会员编号=") + sqlText(cardNo);
}

QString cardQuery(const QString& cardNo)
{
    return QStringLiteral("select * from 会员表 where 会员编号=") + sqlText(cardNo);
}

QString duplicateCardMessage()
{
    return QStringLiteral("会员编号已存在！");
}

QString missingCardMessage(const QString& cardNo)
{
    return QStringLiteral("找不到会员编号：") + cardNo + QStringLiteral("的记录！");
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

    if (entry.isNew) {
        if (!rs.openTable(kTable))
            return storeFailed(QString());
        if (!rs.addRecord()) {
            rs.closeSet();
            return storeFailed(rs.lastError());
        }
    } else {
        if (!rs.openQuery(cardQuery(entry.pickedCardNo)))
            return storeFailed(QString());
        if (rs.recordCount() < 1) {
            rs.closeSet();
            return refused(missingCardMessage(entry.pickedCardNo));
        }
    }

    // The face value box takes whole numbers; a listed 12.5 is saved back as 12.
    const double face = toInteger(entry.faceText);
    const bool written = rs.writeText(u"会员编号", entry.cardNo) && rs.writeNumber(u"面值", face)
        && rs.writeNumber(u"余额", face);
    const bool stored = written && rs.saveRecord();
    const QString why = rs.lastError();
    rs.closeSet();
    if (!stored)
        return storeFailed(why.isEmpty() ? QStringLiteral("会员卡未能保存！") : why);
    return {};
}
