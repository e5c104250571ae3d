#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVector>

// A zone's price plan: rates by the time of day, the billing unit, a minimum, a grace, caps,
// the member discount and packages; and the bill of one usage under it. Every amount is a
// whole number of cents (rates and prices as typed, to the cent) and every sum is exact: a
// unit of ¥4.50 an hour over 7 minutes is 52.5 cents, kept as such until the one rounding.
// Nothing here uses the machines' single precision.

struct PlanBand {
    int start = 0; // minute of the day, 0..1439
    int end = 0; // half-open; before `start` when the band wraps past midnight, equal for all day
    qint64 rateCents = 0; // 每小时
    qint64 capCents = -1; // 封顶 of one unbroken stretch in the band; -1 for none
};

struct PlanPackage {
    QString name;
    int start = -1; // a window package (包夜 22:00–08:00): minutes of the day; -1 otherwise
    int end = -1;
    int minutes = 0; // a duration package (3 小时); 0 for a window package
    qint64 priceCents = 0;
};

struct PricePlan {
    QVector<PlanBand> bands;
    int unitMinutes = 1; // 计费单位, 1..60
    int minimumMinutes = 0; // 起步分钟, 0..600
    int graceMinutes = 0; // 免费分钟, 0..60
    int discountTenths = 100; // 会员折扣 in tenths of 折: 100 pays all, 85 pays 85 %
    QVector<PlanPackage> packages;
};

// The plan as the owner types it in 计费方案: each band's 开始, 结束 (HH:MM), 每小时 and 封顶
// (empty for none); 计费单位, 起步分钟, 免费分钟 and 会员折扣; each package's 名称, 开始, 结束, 时长
// and 价格.
struct TypedPlan {
    QVector<QStringList> bands; // 开始, 结束, 每小时, 封顶
    QString unit, minimum, grace, discount;
    QVector<QStringList> packages; // 名称, 开始, 结束, 时长, 价格
};

// Why the typed plan cannot be stored (the first fault, in the operator's words), or the empty
// text with `plan` filled in.
QString planRefusal(const TypedPlan& typed, PricePlan& plan);

// A stretch of a usage that a package sold to it covers: minutes from the usage's start.
struct CoveredStretch {
    int from = 0;
    int to = 0;
    qint64 priceCents = 0;
    QString name;
};

// What a package sold at `soldAt` to a usage that started at `usageStart` covers, in minutes
// from the usage's start: a window package from the later of the sale and its window's next
// start to that window's end, a duration package from the sale for its minutes.
CoveredStretch coveredBy(const PlanPackage& package, const QDateTime& usageStart, const QDateTime& soldAt);

// One line of a bill, as the checkout explains it: a run of units in one band, a package or
// the discount.
struct BillLine {
    QString text;
    qint64 sixtiethCents = 0; // exact: a unit of a rate per hour costs rate × minutes / 60
};

struct PlanBill {
    qint64 meteredCents = 0; // rounded half up once, after caps
    qint64 discountedCents = 0; // with the member discount when settled by card, else the same
    qint64 packageCents = 0;
    qint64 totalCents = 0;
    QVector<BillLine> lines;
};

// The bill of a usage that started `startMinuteOfDay` and has lasted `minutes` whole minutes,
// with the packages sold to it; `byCard` takes the member discount off the metered part. The
// tick, which needs only the sum, asks for no lines.
PlanBill billOf(const PricePlan& plan, int startMinuteOfDay, int minutes, const QVector<CoveredStretch>& covered,
    bool byCard, bool withLines = true);

// "08:00" as minutes of the day; -1 for anything else.
int parseClock(const QString& text);
QString clockText(int minuteOfDay);
