#include "zoneplans.h"

#include "store/plantable.h"

bool readZonePlans(Database& db, QHash<QString, PlanRef>& plans, QString* error)
{
    QVector<StoredPlan> stored;
    if (!readPlans(db, stored, error))
        return false;
    plans.clear();
    for (const StoredPlan& s : std::as_const(stored)) {
        PricePlan plan;
        if (s.enabled && planRefusal(typedPlanOf(s.text), plan).isEmpty())
            plans.insert(s.zone, std::make_shared<const ZonePlan>(ZonePlan { s.version, plan }));
    }
    return true;
}
