#pragma once

#include "counterstate.h"

#include <QHash>

class Database;

// The plans the zones use now, as the store holds their newest versions: a zone whose plan is
// off, or whose stored plan does not pass the checks, bills by the rate box.
bool readZonePlans(Database& db, QHash<QString, PlanRef>& plans, QString* error);
