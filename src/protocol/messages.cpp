#include "messages.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

namespace {

constexpr qint64 kMaxSeconds = 10LL * 24 * 3600; // ten days: no usage lasts longer

bool wholeSeconds(const QJsonValue& v, qint64 low, qint64& out)
{
    if (!v.isDouble())
        return false;
    const double d = v.toDouble();
    if (d != double(qint64(d)) || d < double(low) || d > double(kMaxSeconds))
        return false;
    out = qint64(d);
    return true;
}

} // namespace

QByteArray stateMessage(const MachineState& s)
{
    QJsonObject o;
    o.insert(QStringLiteral("允许"), s.allowed);
    o.insert(QStringLiteral("计时"), s.timing);
    o.insert(QStringLiteral("已用"), double(s.usedSeconds));
    o.insert(QStringLiteral("金额"), s.amount);
    o.insert(QStringLiteral("剩余"), double(s.leftSeconds));
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

bool readState(const QByteArray& message, MachineState& state)
{
    static const QRegularExpression money(QStringLiteral(R"(^-?[0-9]{1,6}(\.[0-9]{1,2})?$)"));
    QJsonParseError parsed;
    const QJsonDocument doc = QJsonDocument::fromJson(message, &parsed);
    if (parsed.error != QJsonParseError::NoError || !doc.isObject())
        return false;
    const QJsonObject o = doc.object();
    if (o.size() != 5 || !o.value(QStringLiteral("允许")).isBool() || !o.value(QStringLiteral("计时")).isBool()
        || !o.value(QStringLiteral("金额")).isString())
        return false;
    MachineState s;
    s.allowed = o.value(QStringLiteral("允许")).toBool();
    s.timing = o.value(QStringLiteral("计时")).toBool();
    s.amount = o.value(QStringLiteral("金额")).toString();
    if (!wholeSeconds(o.value(QStringLiteral("已用")), 0, s.usedSeconds)
        || !wholeSeconds(o.value(QStringLiteral("剩余")), -1, s.leftSeconds)
        || !(s.amount.isEmpty() || money.match(s.amount).hasMatch()))
        return false;
    state = s;
    return true;
}

QByteArray presentMessage() { return QByteArrayLiteral("{\"在\":true}"); }

bool isPresent(const QByteArray& message) { return message == presentMessage(); }
