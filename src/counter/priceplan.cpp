#include "priceplan.h"

#include "common/values.h"

#include <QRegularExpression>

#include <algorithm>

namespace {

constexpr int kDay = 24 * 60;
constexpr qint64 kMoneyLimitCents = 9999999; // 99999.99, the program's money limit

// A typed amount as whole cents: digits with at most two decimals, full-width folded; -1 for
// anything else, a negative amount included.
qint64 parseCents(const QString& typed)
{
    static const QRegularExpression money(QStringLiteral(R"(^([0-9]{1,7})(?:\.([0-9]{0,2}))?$)"));
    const QRegularExpressionMatch m = money.match(foldWide(typed).trimmed());
    if (!m.hasMatch())
        return -1;
    const QString fraction = m.captured(2).leftJustified(2, u'0');
    return m.captured(1).toLongLong() * 100 + fraction.toLongLong();
}

// A typed whole number within [low, high]; -1 for anything else.
int parseWhole(const QString& typed, int low, int high)
{
    bool ok = false;
    const int v = foldWide(typed).trimmed().toInt(&ok);
    return ok && v >= low && v <= high ? v : -1;
}

// Which band a minute of the day falls in (the plan covers the day exactly once).
int bandAt(const PricePlan& plan, int minuteOfDay)
{
    for (int i = 0; i < plan.bands.size(); ++i) {
        const PlanBand& b = plan.bands[i];
        const bool in = b.start == b.end || (b.start < b.end ? minuteOfDay >= b.start && minuteOfDay < b.end
                                                             : minuteOfDay >= b.start || minuteOfDay < b.end);
        if (in)
            return i;
    }
    return -1;
}

QString yuan(qint64 cents) { return QStringLiteral("¥") + formatFixed(double(cents) / 100.0, 2); }

qint64 halfUp(qint64 numerator, qint64 denominator) { return (numerator + denominator / 2) / denominator; }

} // namespace

int parseClock(const QString& text)
{
    // 24:00 is how an owner ends a band at midnight: the same minute as 00:00.
    static const QRegularExpression clock(QStringLiteral(R"(^(?:([01][0-9]|2[0-3]):([0-5][0-9])|24:00)$)"));
    const QRegularExpressionMatch m = clock.match(foldWide(text).trimmed());
    if (!m.hasMatch())
        return -1;
    return m.captured(1).isEmpty() ? 0 : m.captured(1).toInt() * 60 + m.captured(2).toInt();
}

QString clockText(int minuteOfDay)
{
    return QString::asprintf("%02d:%02d", minuteOfDay / 60 % 24, minuteOfDay % 60);
}

QString planRefusal(const TypedPlan& typed, PricePlan& plan)
{
    const QString badTime = QStringLiteral("时间必须写成HH:MM，例如08:00！");
    const QString badMoney = QStringLiteral("金额必须在0到99999.99之间，最多两位小数！");
    PricePlan p;
    QVector<int> covered(kDay, 0);
    for (const QStringList& row : typed.bands) {
        PlanBand band;
        band.start = parseClock(row.value(0));
        band.end = parseClock(row.value(1));
        if (band.start < 0 || band.end < 0)
            return badTime;
        band.rateCents = parseCents(row.value(2));
        const QString cap = row.value(3).trimmed();
        band.capCents = cap.isEmpty() ? -1 : parseCents(cap);
        if (band.rateCents < 0 || band.rateCents > kMoneyLimitCents
            || (!cap.isEmpty() && (band.capCents <= 0 || band.capCents > kMoneyLimitCents)))
            return badMoney;
        const int length = band.start == band.end ? kDay : (band.end - band.start + kDay) % kDay;
        for (int m = 0; m < length; ++m)
            ++covered[(band.start + m) % kDay];
        p.bands.append(band);
    }
    if (std::any_of(covered.begin(), covered.end(), [](int n) { return n != 1; }))
        return QStringLiteral("时段必须连续覆盖全天，且不能重叠！");
    p.unitMinutes = parseWhole(typed.unit, 1, 60);
    if (p.unitMinutes < 0)
        return QStringLiteral("计费单位必须在1到60分钟之间！");
    p.minimumMinutes = parseWhole(typed.minimum, 0, 600);
    if (p.minimumMinutes < 0)
        return QStringLiteral("起步分钟必须在0到600之间！");
    p.graceMinutes = parseWhole(typed.grace, 0, 60);
    if (p.graceMinutes < 0)
        return QStringLiteral("免费分钟必须在0到60之间！");
    // 折 to one decimal, as the counter says it: 8.5 is 85 %.
    static const QRegularExpression tenths(QStringLiteral(R"(^([0-9]{1,2})(?:\.([0-9]))?$)"));
    const QRegularExpressionMatch d = tenths.match(foldWide(typed.discount).trimmed());
    p.discountTenths = d.hasMatch() ? d.captured(1).toInt() * 10 + d.captured(2).toInt() : -1;
    if (p.discountTenths < 10 || p.discountTenths > 100)
        return QStringLiteral("会员折扣必须在1到10折之间！");
    for (const QStringList& row : typed.packages) {
        PlanPackage package;
        package.name = row.value(0).trimmed();
        if (package.name.isEmpty() || !isStorableText(package.name))
            return QStringLiteral("请输入套餐名称！");
        if (std::any_of(p.packages.begin(), p.packages.end(), [&](const PlanPackage& o) { return o.name == package.name; }))
            return QStringLiteral("套餐名称不能重复！");
        const bool window = !row.value(1).trimmed().isEmpty() || !row.value(2).trimmed().isEmpty();
        const bool duration = !row.value(3).trimmed().isEmpty();
        if (window == duration)
            return QStringLiteral("套餐必须有开始和结束时间或者时长，二者只能有一个！");
        if (window) {
            package.start = parseClock(row.value(1));
            package.end = parseClock(row.value(2));
            if (package.start < 0 || package.end < 0)
                return badTime;
            if (package.start == package.end)
                return QStringLiteral("套餐的开始和结束时间不能相同！");
        } else {
            package.minutes = parseWhole(row.value(3), 1, kDay);
            if (package.minutes < 0)
                return QStringLiteral("套餐时长必须在1到1440分钟之间！");
        }
        package.priceCents = parseCents(row.value(4));
        if (package.priceCents < 0 || package.priceCents > kMoneyLimitCents)
            return badMoney;
        p.packages.append(package);
    }
    plan = p;
    return QString();
}

CoveredStretch coveredBy(const PlanPackage& package, const QDateTime& usageStart, const QDateTime& soldAt)
{
    CoveredStretch c;
    c.name = package.name;
    c.priceCents = package.priceCents;
    const qint64 soldMinute = usageStart.secsTo(soldAt) / 60;
    if (package.start < 0) {
        c.from = int(soldMinute);
        c.to = int(soldMinute + package.minutes);
        return c;
    }
    // The window the sale falls in, or else the next one: 包夜 22:00–08:00 sold at 01:00 covers
    // until 08:00, sold at 21:30 from 22:00.
    const int minuteOfDay = soldAt.time().hour() * 60 + soldAt.time().minute();
    const int length = (package.end - package.start + kDay) % kDay;
    const int sinceStart = (minuteOfDay - package.start + kDay) % kDay;
    const int wait = sinceStart < length ? 0 : kDay - sinceStart;
    const int left = sinceStart < length ? length - sinceStart : length;
    c.from = int(soldMinute + wait);
    c.to = c.from + left;
    return c;
}

PlanBill billOf(const PricePlan& plan, int startMinuteOfDay, int minutes, const QVector<CoveredStretch>& covered,
    bool byCard, bool withLines)
{
    PlanBill bill;
    startMinuteOfDay = (startMinuteOfDay % kDay + kDay) % kDay;
    // What no package covers, in order: the metered stretches.
    QVector<CoveredStretch> packages = covered;
    std::sort(packages.begin(), packages.end(), [](const CoveredStretch& a, const CoveredStretch& b) { return a.from < b.from; });
    QVector<std::pair<int, int>> stretches;
    int at = 0;
    for (const CoveredStretch& package : packages) {
        if (package.from > at)
            stretches.append({ at, std::min(package.from, minutes) });
        at = std::max(at, package.to);
        bill.packageCents += package.priceCents;
        if (withLines)
            bill.lines.append({ package.name + QStringLiteral(" ") + yuan(package.priceCents), package.priceCents * 60 });
    }
    if (at < minutes)
        stretches.append({ at, minutes });
    const int unit = std::max(1, plan.unitMinutes);
    qint64 sixtieths = 0;
    for (const auto& [from, to] : stretches) {
        const int length = to - from;
        if (length <= 0 || length <= plan.graceMinutes)
            continue;
        int units = (length + unit - 1) / unit;
        if (covered.isEmpty())
            units = std::max(units, (plan.minimumMinutes + unit - 1) / unit);
        // Runs of units that start in one band, each priced whole at it; a cap holds a run.
        for (int k = 0; k < units;) {
            const int band = bandAt(plan, (startMinuteOfDay + from + k * unit) % kDay);
            Q_ASSERT(band >= 0); // a stored plan covers the day
            const PlanBand& b = plan.bands.value(band);
            // The units that start before the band ends: found by arithmetic, as the tick prices
            // every timing machine each minute.
            const int minute = (startMinuteOfDay + from + k * unit) % kDay;
            const int left = b.start == b.end ? units * unit : (b.end - minute + kDay) % kDay;
            const int run = std::max(1, std::min(units - k, (left + unit - 1) / unit));
            qint64 cost = qint64(run) * b.rateCents * unit;
            const bool capped = b.capCents >= 0 && cost > b.capCents * 60;
            if (capped)
                cost = b.capCents * 60;
            sixtieths += cost;
            if (withLines)
                bill.lines.append({ clockText(startMinuteOfDay + from + k * unit) + QStringLiteral("起 ") + QString::number(run)
                    + QStringLiteral("×") + QString::number(unit) + QStringLiteral("分钟 每小时") + yuan(b.rateCents)
                    + (capped ? QStringLiteral(" 封顶") + yuan(b.capCents) : QString()),
                cost });
            k += run;
        }
    }
    bill.meteredCents = halfUp(sixtieths, 60);
    bill.discountedCents = byCard ? halfUp(bill.meteredCents * plan.discountTenths, 100) : bill.meteredCents;
    if (withLines && bill.discountedCents != bill.meteredCents)
        bill.lines.append({ QStringLiteral("会员") + formatFixed(plan.discountTenths / 10.0, plan.discountTenths % 10 ? 1 : 0)
                + QStringLiteral("折"),
            -(bill.meteredCents - bill.discountedCents) * 60 });
    bill.totalCents = bill.discountedCents + bill.packageCents;
    return bill;
}
