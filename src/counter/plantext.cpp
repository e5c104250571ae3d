#include "plantext.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>

namespace {

QJsonArray rowsJson(const QVector<QStringList>& rows)
{
    QJsonArray out;
    for (const QStringList& row : rows)
        out.append(QJsonArray::fromStringList(row));
    return out;
}

QVector<QStringList> rowsOf(const QJsonValue& value, int columns)
{
    QVector<QStringList> rows;
    for (const QJsonValue& row : value.toArray()) {
        QStringList cells;
        const QJsonArray array = row.toArray();
        for (int c = 0; c < columns; ++c)
            cells.append(array.at(c).toString());
        rows.append(cells);
    }
    return rows;
}

QString bandEndText(int start, int end) { return end == 0 || end == start ? QStringLiteral("24:00") : clockText(end); }

} // namespace

QString centsText(qint64 cents) { return formatFixed(double(cents) / 100.0, 2); }

TypedPlan typedOf(const PricePlan& plan)
{
    TypedPlan t;
    for (const PlanBand& b : plan.bands)
        t.bands.append({ clockText(b.start), bandEndText(b.start, b.end), centsText(b.rateCents),
            b.capCents >= 0 ? centsText(b.capCents) : QString() });
    t.unit = QString::number(plan.unitMinutes);
    t.minimum = QString::number(plan.minimumMinutes);
    t.grace = QString::number(plan.graceMinutes);
    t.discount = formatFixed(plan.discountTenths / 10.0, plan.discountTenths % 10 ? 1 : 0);
    for (const PlanPackage& p : plan.packages) {
        const bool window = p.start >= 0;
        t.packages.append({ p.name, window ? clockText(p.start) : QString(), window ? bandEndText(p.start, p.end) : QString(),
            window ? QString() : QString::number(p.minutes), centsText(p.priceCents) });
    }
    return t;
}

QString typedPlanText(const TypedPlan& typed)
{
    QJsonObject o;
    o.insert(QStringLiteral("时段"), rowsJson(typed.bands));
    o.insert(QStringLiteral("计费单位"), typed.unit);
    o.insert(QStringLiteral("起步分钟"), typed.minimum);
    o.insert(QStringLiteral("免费分钟"), typed.grace);
    o.insert(QStringLiteral("会员折扣"), typed.discount);
    o.insert(QStringLiteral("套餐"), rowsJson(typed.packages));
    return QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact));
}

TypedPlan typedPlanOf(const QString& text)
{
    const QJsonObject o = QJsonDocument::fromJson(text.toUtf8()).object();
    TypedPlan t;
    t.bands = rowsOf(o.value(QStringLiteral("时段")), 4);
    t.unit = o.value(QStringLiteral("计费单位")).toString();
    t.minimum = o.value(QStringLiteral("起步分钟")).toString();
    t.grace = o.value(QStringLiteral("免费分钟")).toString();
    t.discount = o.value(QStringLiteral("会员折扣")).toString();
    t.packages = rowsOf(o.value(QStringLiteral("套餐")), 5);
    return t;
}

QString packageText(const PlanPackage& p)
{
    return p.start >= 0 ? p.name + QStringLiteral(" ") + clockText(p.start) + QStringLiteral("-") + bandEndText(p.start, p.end)
                        : p.name + QStringLiteral(" ") + QString::number(p.minutes) + QStringLiteral("分钟");
}

QString describePlan(const PricePlan& plan)
{
    QStringList parts;
    for (const PlanBand& b : plan.bands)
        parts.append(clockText(b.start) + QStringLiteral("-") + bandEndText(b.start, b.end) + QStringLiteral(" 每小时")
            + centsText(b.rateCents) + QStringLiteral("元")
            + (b.capCents >= 0 ? QStringLiteral(" 封顶") + centsText(b.capCents) + QStringLiteral("元") : QString()));
    const TypedPlan t = typedOf(plan);
    parts.append(QStringLiteral("计费单位") + t.unit + QStringLiteral("分钟，起步") + t.minimum + QStringLiteral("分钟，免费")
        + t.grace + QStringLiteral("分钟，会员") + t.discount + QStringLiteral("折"));
    QStringList packages;
    for (const PlanPackage& p : plan.packages)
        packages.append(packageText(p) + QStringLiteral(" ") + centsText(p.priceCents) + QStringLiteral("元"));
    if (!packages.isEmpty())
        parts.append(QStringLiteral("套餐：") + packages.join(QStringLiteral("、")));
    return parts.join(QStringLiteral("；"));
}

qint64 bandRateAt(const PricePlan& plan, int minuteOfDay)
{
    minuteOfDay = (minuteOfDay % 1440 + 1440) % 1440;
    for (const PlanBand& b : plan.bands) {
        const bool in = b.start == b.end || (b.start < b.end ? minuteOfDay >= b.start && minuteOfDay < b.end
                                                             : minuteOfDay >= b.start || minuteOfDay < b.end);
        if (in)
            return b.rateCents;
    }
    return 0;
}

QString soldPackagesText(const QVector<SoldPackage>& sold)
{
    if (sold.isEmpty())
        return QString();
    QJsonArray out;
    for (const SoldPackage& s : sold) {
        QJsonObject o;
        o.insert(QStringLiteral("名称"), s.package.name);
        o.insert(QStringLiteral("开始"), s.package.start);
        o.insert(QStringLiteral("结束"), s.package.end);
        o.insert(QStringLiteral("时长"), s.package.minutes);
        o.insert(QStringLiteral("价格"), double(s.package.priceCents));
        o.insert(QStringLiteral("售出"), s.soldAt.days);
        out.append(o);
    }
    return QString::fromUtf8(QJsonDocument(out).toJson(QJsonDocument::Compact));
}

bool soldPackagesOf(const QString& text, QVector<SoldPackage>& sold)
{
    sold.clear();
    if (text.isEmpty())
        return true;
    QJsonParseError parsed;
    const QJsonDocument doc = QJsonDocument::fromJson(text.toUtf8(), &parsed);
    if (parsed.error != QJsonParseError::NoError || !doc.isArray())
        return false;
    for (const QJsonValue& v : doc.array()) {
        const QJsonObject o = v.toObject();
        SoldPackage s;
        s.package.name = o.value(QStringLiteral("名称")).toString();
        s.package.start = o.value(QStringLiteral("开始")).toInt(-2);
        s.package.end = o.value(QStringLiteral("结束")).toInt(-2);
        s.package.minutes = o.value(QStringLiteral("时长")).toInt(-1);
        const double price = o.value(QStringLiteral("价格")).toDouble(-1);
        s.soldAt = DateTime(o.value(QStringLiteral("售出")).toDouble(0));
        const bool window = s.package.start >= 0 && s.package.start < 1440 && s.package.end >= 0 && s.package.end < 1440
            && s.package.start != s.package.end && s.package.minutes == 0;
        const bool duration = s.package.start == -1 && s.package.end == -1 && s.package.minutes >= 1
            && s.package.minutes <= 1440;
        // Only what the program wrote prices a bill: anything else and the whole text is refused.
        if (s.package.name.isEmpty() || !(window || duration) || !(price >= 0 && price <= 9999999 && price == std::floor(price))
            || !std::isfinite(s.soldAt.days) || s.soldAt.days <= 0) {
            sold.clear();
            return false;
        }
        s.package.priceCents = qint64(price);
        sold.append(s);
    }
    return true;
}

QVector<CoveredStretch> coverOf(const QVector<SoldPackage>& sold, DateTime usageStart)
{
    QVector<CoveredStretch> out;
    for (const SoldPackage& s : sold)
        out.append(coveredBy(s.package, usageStart.toQDateTime(), s.soldAt.toQDateTime()));
    return out;
}

QStringList billLineTexts(const PlanBill& bill)
{
    QStringList out;
    for (const BillLine& line : bill.lines) {
        // A line may be a fraction of a cent; the bill rounds once, on its sum.
        const double cents = double(line.sixtiethCents) / 60.0;
        out.append(line.text + QStringLiteral("：") + formatFixed(cents / 100.0, std::fmod(cents, 1.0) == 0.0 ? 2 : 3)
            + QStringLiteral("元"));
    }
    out.append(QStringLiteral("合计：") + centsText(bill.totalCents) + QStringLiteral("元"));
    return out;
}
