#pragma once

#include <QString>
#include <QVector>

class Database;

// 计费方案: each zone's price plan, one row per saved version. A version is never changed, so a
// usage priced by it bills the same to its end; the plan itself is text the counter reads.

struct StoredPlan {
    int version = 0;
    QString zone;
    bool enabled = false; // off: the zone bills by the rate box
    QString text;
};

// The newest version of each zone's plan, zones in the order their first plan was saved.
bool readPlans(Database& db, QVector<StoredPlan>& plans, QString* error);
// One version, for a usage that started on it; false when it is not in the file.
bool readPlanVersion(Database& db, int version, StoredPlan& plan, QString* error);
// A new version of plan.zone's plan with its ledger row (计费方案: the zone, the plan before and
// after as people read them), both or neither; plan.version is set to the one written.
bool savePlan(Database& db, StoredPlan& plan, const QString& beforeText, const QString& afterText, QString* error);
