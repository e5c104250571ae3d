#include "machinetable.h"

#include "common/values.h"
#include "database.h"
#include "ledgertable.h"
#include "sqltext.h"

#include <QHash>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>

#include <algorithm>
#include <functional>

namespace {

constexpr int kDefaultMachines = 15;

bool failWith(QString* error, const QString& text)
{
    if (error)
        *error = text;
    return false;
}

bool readError(Database& db, const QSqlQuery& q, QString* error)
{
    return failWith(error, db.isOpen() ? errorText(q.lastError()) : db.lastError());
}

// The program upgrades every file it opens, so a missing table means a damaged file, which no
// change should try to repair on its own.
QString missingTableText() { return QStringLiteral("数据库中没有机器表，文件可能已损坏，请从备份恢复！"); }

bool hasMachineTable(Database& db, bool& present, QString* error)
{
    QSqlQuery q(db.connection());
    if (!db.isOpen())
        return readError(db, q, error);
    present = db.hasTable(QStringLiteral("机器"));
    return true;
}

const ZoneInfo* findZone(const MachineSetup& setup, const QString& name)
{
    for (const ZoneInfo& zone : setup.zones) {
        if (zone.name == name)
            return &zone;
    }
    return nullptr;
}

const MachineInfo* findMachine(const MachineSetup& setup, int number)
{
    const auto it = std::lower_bound(setup.machines.cbegin(), setup.machines.cend(), number,
        [](const MachineInfo& m, int n) { return m.number < n; });
    return it != setup.machines.cend() && it->number == number ? &*it : nullptr;
}

// The tables as stored, on an open connection, so that a change can read what it changes
// inside its transaction.
bool readTables(Database& db, MachineSetup& setup, QString* error)
{
    setup = {};
    QSqlQuery q(db.connection());
    if (!q.exec(QStringLiteral("select 名称, coalesce(颜色, '') from 区域 order by 编号")))
        return readError(db, q, error);
    while (q.next())
        setup.zones.append({ q.value(0).toString(), q.value(1).toString() });
    // Machines fall back to 大厅, so it must be there to hold them even in a file that lost it.
    if (!findZone(setup, defaultZoneName()))
        setup.zones.prepend({ defaultZoneName(), QString() });
    if (!q.exec(QStringLiteral("select 机号, 名称, coalesce(区域, ''), coalesce(柜台, '') from 机器 order by 机号")))
        return readError(db, q, error);
    while (q.next()) {
        const QString zone = q.value(2).toString();
        setup.machines.append({ q.value(0).toInt(), q.value(1).toString(),
            findZone(setup, zone) ? zone : defaultZoneName(), q.value(3).toString() });
    }
    return true;
}

// "2-3,5": how the ledger names a set of machines, short enough to read for a whole room.
QString numbersText(const QVector<int>& sorted)
{
    QStringList runs;
    for (int i = 0; i < sorted.size();) {
        int j = i;
        while (j + 1 < sorted.size() && sorted[j + 1] == sorted[j] + 1)
            ++j;
        runs << (j == i ? QString::number(sorted[i])
                        : QString::number(sorted[i]) + QLatin1Char('-') + QString::number(sorted[j]));
        i = j + 1;
    }
    return runs.join(QLatin1Char(','));
}

// "2-3号 大厅，5号 VIP": the machines by zone, zones in the order they first appear.
QString machinesText(const QVector<MachineInfo>& machines)
{
    QStringList zones;
    QHash<QString, QVector<int>> numbers;
    for (const MachineInfo& m : machines) {
        if (!numbers.contains(m.zone))
            zones << m.zone;
        numbers[m.zone].append(m.number);
    }
    QStringList parts;
    for (const QString& zone : std::as_const(zones))
        parts << numbersText(numbers[zone]) + QStringLiteral("号 ") + zone;
    return parts.join(QStringLiteral("，"));
}

QVector<int> distinctSorted(QVector<int> numbers)
{
    std::sort(numbers.begin(), numbers.end());
    numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
    return numbers;
}

// The picked machines as stored; false when one of them is no longer there (another counter
// may have removed it meanwhile).
bool pickedMachines(
    const MachineSetup& setup, const QVector<int>& numbers, QVector<MachineInfo>& picked, QString* error)
{
    for (int n : numbers) {
        const MachineInfo* m = findMachine(setup, n);
        if (!m)
            return failWith(error, QStringLiteral("没有%1号机！").arg(n));
        picked.append(*m);
    }
    return true;
}

bool validColour(QString& colour, QString* error)
{
    static const QRegularExpression rgb(QStringLiteral("^#[0-9a-f]{6}$"));
    colour = colour.trimmed().toLower();
    return colour.isEmpty() || rgb.match(colour).hasMatch() || failWith(error, QStringLiteral("颜色无效！"));
}

QVariant storedColour(const QString& colour) { return colour.isEmpty() ? QVariant() : QVariant(colour); }

// A change of the machines or zones with its ledger row, made on the setup read inside the
// transaction: what another counter changed meanwhile is checked against, never overwritten.
bool changeSetup(Database& db, LedgerEntry entry,
    const std::function<bool(const MachineSetup&, LedgerEntry&, QString*)>& change, QString* error)
{
    return changeWithLedger(
        db, entry,
        [&](LedgerEntry& e, QString* why) {
            bool present = false;
            if (!hasMachineTable(db, present, why))
                return false;
            if (!present)
                return failWith(why, missingTableText());
            MachineSetup setup;
            return readTables(db, setup, why) && change(setup, e, why);
        },
        error);
}

bool run(Database& db, const QString& statement, const QVariantList& values, QString* error)
{
    return db.run(statement, values) || failWith(error, db.lastError());
}

} // namespace

QString defaultZoneName() { return QStringLiteral("大厅"); }

MachineSetup defaultMachineSetup()
{
    MachineSetup setup;
    for (int n = 1; n <= kDefaultMachines; ++n)
        setup.machines.append({ n, QString(), defaultZoneName(), QString() });
    setup.zones.append({ defaultZoneName(), QString() });
    return setup;
}

bool readMachines(Database& db, MachineSetup& setup, QString* error)
{
    bool present = false;
    if (!db.ensureOpen())
        return failWith(error, db.lastError());
    if (!hasMachineTable(db, present, error))
        return false;
    if (!present) {
        setup = defaultMachineSetup();
        return true;
    }
    return readTables(db, setup, error);
}

bool addMachines(Database& db, int from, int to, const QString& zone, QString* error)
{
    const int last = to == 0 ? from : to;
    const auto inRange = [](int n) { return n >= 1 && n <= kMaxMachineNo; };
    if (!inRange(from) || !inRange(last))
        return failWith(error, QStringLiteral("机号必须在1到%1之间！").arg(kMaxMachineNo));
    if (from > last)
        return failWith(error, QStringLiteral("起始机号不能大于结束机号！"));
    LedgerEntry entry = ledgerEntry(db, QStringLiteral("机器"));
    entry.machineNo = from == last ? from : 0;
    entry.detail = QStringLiteral("添加");
    return changeSetup(
        db, entry,
        [&](const MachineSetup& setup, LedgerEntry& e, QString* why) {
            if (!findZone(setup, zone))
                return failWith(why, QStringLiteral("没有这个区域！"));
            QVector<MachineInfo> added;
            for (int n = from; n <= last; ++n) {
                if (findMachine(setup, n))
                    return failWith(why, QStringLiteral("%1号机已经存在！").arg(n));
                if (!run(db, QStringLiteral("insert into 机器 (机号, 区域) values (?, ?)"), { n, zone }, why))
                    return false;
                added.append({ n, QString(), zone, QString() });
            }
            e.after = machinesText(added);
            return true;
        },
        error);
}

bool removeMachines(Database& db, const QVector<int>& numbers, QString* error)
{
    const QVector<int> picked = distinctSorted(numbers);
    if (picked.isEmpty())
        return failWith(error, QStringLiteral("请先选择机器！"));
    LedgerEntry entry = ledgerEntry(db, QStringLiteral("机器"));
    entry.machineNo = picked.size() == 1 ? picked[0] : 0;
    entry.detail = QStringLiteral("删除");
    return changeSetup(
        db, entry,
        [&](const MachineSetup& setup, LedgerEntry& e, QString* why) {
            QVector<MachineInfo> removed;
            if (!pickedMachines(setup, picked, removed, why))
                return false;
            if (removed.size() == setup.machines.size())
                return failWith(why, QStringLiteral("至少要保留一台机器！"));
            for (int n : picked) {
                if (!run(db, QStringLiteral("delete from 机器 where 机号=?"), { n }, why))
                    return false;
            }
            e.before = machinesText(removed);
            return true;
        },
        error);
}

bool setMachineZone(Database& db, const QVector<int>& numbers, const QString& zone, QString* error)
{
    const QVector<int> picked = distinctSorted(numbers);
    if (picked.isEmpty())
        return failWith(error, QStringLiteral("请先选择机器！"));
    LedgerEntry entry = ledgerEntry(db, QStringLiteral("机器"));
    entry.machineNo = picked.size() == 1 ? picked[0] : 0;
    entry.detail = QStringLiteral("设区域");
    return changeSetup(
        db, entry,
        [&](const MachineSetup& setup, LedgerEntry& e, QString* why) {
            if (!findZone(setup, zone))
                return failWith(why, QStringLiteral("没有这个区域！"));
            QVector<MachineInfo> machines;
            if (!pickedMachines(setup, picked, machines, why))
                return false;
            e.before = machinesText(machines);
            for (MachineInfo& m : machines) {
                if (!run(db, QStringLiteral("update 机器 set 区域=? where 机号=?"), { zone, m.number }, why))
                    return false;
                m.zone = zone;
            }
            e.after = machinesText(machines);
            return true;
        },
        error);
}

bool renameMachine(Database& db, int number, const QString& name, QString* error)
{
    const QString newName = name.trimmed();
    if (!isStorableText(newName))
        return failWith(error, unstorableTextMessage());
    LedgerEntry entry = ledgerEntry(db, QStringLiteral("机器"));
    entry.machineNo = number;
    entry.detail = QStringLiteral("改名");
    return changeSetup(
        db, entry,
        [&](const MachineSetup& setup, LedgerEntry& e, QString* why) {
            const MachineInfo* machine = findMachine(setup, number);
            if (!machine)
                return failWith(why, QStringLiteral("没有%1号机！").arg(number));
            // The console shows machines by name, where two alike could not be told apart.
            for (const MachineInfo& m : setup.machines) {
                if (!newName.isEmpty() && m.number != number && m.name == newName)
                    return failWith(why, QStringLiteral("已有机器叫这个名称！"));
            }
            e.before = machine->name;
            e.after = newName;
            return run(db, QStringLiteral("update 机器 set 名称=? where 机号=?"), { newName, number }, why);
        },
        error);
}

bool addZone(Database& db, const QString& name, const QString& colour, QString* error)
{
    const QString zone = name.trimmed();
    QString rgb = colour;
    if (zone.isEmpty())
        return failWith(error, QStringLiteral("区域名称不能为空！"));
    if (!isStorableText(zone))
        return failWith(error, unstorableTextMessage());
    if (!validColour(rgb, error))
        return false;
    LedgerEntry entry = ledgerEntry(db, QStringLiteral("区域"));
    entry.after = zone;
    entry.detail = rgb.isEmpty() ? QStringLiteral("添加") : QStringLiteral("添加，颜色") + rgb;
    return changeSetup(
        db, entry,
        [&](const MachineSetup& setup, LedgerEntry&, QString* why) {
            if (findZone(setup, zone))
                return failWith(why, QStringLiteral("已有这个区域！"));
            return run(db, QStringLiteral("insert into 区域 (名称, 颜色) values (?, ?)"),
                { zone, storedColour(rgb) }, why);
        },
        error);
}

bool setZoneColour(Database& db, const QString& name, const QString& colour, QString* error)
{
    QString rgb = colour;
    if (!validColour(rgb, error))
        return false;
    LedgerEntry entry = ledgerEntry(db, QStringLiteral("区域"));
    entry.after = rgb;
    entry.detail = QStringLiteral("设颜色：") + name;
    return changeSetup(
        db, entry,
        [&](const MachineSetup& setup, LedgerEntry& e, QString* why) {
            const ZoneInfo* zone = findZone(setup, name);
            if (!zone)
                return failWith(why, QStringLiteral("没有这个区域！"));
            e.before = zone->colour;
            if (!run(db, QStringLiteral("update 区域 set 颜色=? where 名称=?"), { storedColour(rgb), name },
                    why))
                return false;
            // Only a file that lost its 大厅 row lacks it here: the colour has nowhere to go.
            return db.rowsAffected() == 1 || failWith(why, QStringLiteral("没有这个区域！"));
        },
        error);
}

bool removeZone(Database& db, const QString& name, QString* error)
{
    if (name == defaultZoneName())
        return failWith(error, QStringLiteral("大厅不能删除！"));
    LedgerEntry entry = ledgerEntry(db, QStringLiteral("区域"));
    entry.before = name;
    entry.detail = QStringLiteral("删除");
    return changeSetup(
        db, entry,
        [&](const MachineSetup& setup, LedgerEntry&, QString* why) {
            if (!findZone(setup, name))
                return failWith(why, QStringLiteral("没有这个区域！"));
            for (const MachineInfo& m : setup.machines) {
                if (m.zone == name)
                    return failWith(why, QStringLiteral("区域中还有机器，不能删除！"));
            }
            return run(db, QStringLiteral("delete from 区域 where 名称=?"), { name }, why);
        },
        error);
}

bool sharedByCounters(const Database& db) { return db.engine() == Database::Engine::PostgreSQL; }

bool timesHere(const Database& db, const MachineInfo& machine)
{
    return machine.counter.isEmpty() || machine.counter == db.counterName();
}

bool setMachineCounter(Database& db, const QVector<int>& numbers, const QString& counter, QString* error)
{
    const QString name = counter.trimmed();
    if (!isStorableText(name))
        return failWith(error, unstorableTextMessage());
    QVector<int> picked = numbers;
    std::sort(picked.begin(), picked.end());
    LedgerEntry entry = ledgerEntry(db, QStringLiteral("机器"));
    entry.machineNo = picked.size() == 1 ? picked[0] : 0;
    entry.detail = QStringLiteral("设柜台");
    // "3-4号 一楼": the machines by the counter they belong to, told as machinesText tells zones.
    const auto byCounter = [](QVector<MachineInfo> machines) {
        for (MachineInfo& m : machines)
            m.zone = m.counter.isEmpty() ? QStringLiteral("各柜台") : m.counter;
        return machinesText(machines);
    };
    return changeSetup(
        db, entry,
        [&](const MachineSetup& setup, LedgerEntry& e, QString* why) {
            QVector<MachineInfo> machines;
            if (!pickedMachines(setup, picked, machines, why))
                return false;
            e.before = byCounter(machines);
            for (MachineInfo& m : machines) {
                if (!run(db, QStringLiteral("update 机器 set 柜台=? where 机号=?"), { name, m.number }, why))
                    return false;
                m.counter = name;
            }
            e.after = byCounter(machines);
            return true;
        },
        error);
}
