#pragma once

#include "priceplan.h"

#include "common/values.h"

#include <QString>
#include <QVector>

// A price plan and the packages sold to a usage as the store keeps them, and as the ledger
// and the checkout say them to people.

// The plan as the owner would type it again: times as HH:MM (a band ending at midnight ends at
// 24:00), amounts with two decimals, the discount in 折.
TypedPlan typedOf(const PricePlan& plan);

// The typed plan as stored text, and back. Text that is no plan of this program's gives an
// empty plan (no bands), which the checks refuse.
QString typedPlanText(const TypedPlan& typed);
TypedPlan typedPlanOf(const QString& text);

// "08:00-18:00 每小时5.00元；…；计费单位15分钟，起步30分钟，免费3分钟，会员10折；套餐：包夜 22:00-08:00 20.00元"
QString describePlan(const PricePlan& plan);

// The hourly rate of the band a minute of the day falls in, in cents.
qint64 bandRateAt(const PricePlan& plan, int minuteOfDay);

// A package sold to a usage: what it was and when, so its cover is worked out again after a
// crash exactly as at the sale.
struct SoldPackage {
    PlanPackage package;
    DateTime soldAt;
};

QString soldPackagesText(const QVector<SoldPackage>& sold);
// False when the text is not what soldPackagesText wrote; `sold` is then empty.
bool soldPackagesOf(const QString& text, QVector<SoldPackage>& sold);

// What the packages sold to a usage that started at `usageStart` cover of it.
QVector<CoveredStretch> coverOf(const QVector<SoldPackage>& sold, DateTime usageStart);

// "包夜 22:00-08:00" or "3小时 180分钟": the package as the counter lists it.
QString packageText(const PlanPackage& package);
// Money in cents as the program writes it: "9.50".
QString centsText(qint64 cents);

// The bill's lines as the checkout lists them, each with its amount, and the total last.
QStringList billLineTexts(const PlanBill& bill);
