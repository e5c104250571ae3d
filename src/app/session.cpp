#include "session.h"
#include "sessionsettings.h"

#include "backups/backuprunner.h"
#include "clients/clientservice.h"
#include "common/seams.h"
#include "common/values.h"
#include "counter/pricing.h"
#include "counter/zoneplans.h"
#include "store/backup.h"
#include "store/database.h"
#include "store/inifile.h"
#include "store/ledgertable.h"
#include "store/machinetable.h"
#include "store/operatortable.h"
#include "store/pgconnect.h"
#include "store/recordset.h"
#include "store/schema.h"
#include "store/shifttable.h"
#include "widgets/windows.h"

#include <QColor>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QTimer>

namespace {

const QString kRateKey = QStringLiteral("小时价");
const QString kDefaultRate = QStringLiteral("4.0");
constexpr int kStartBackupAfterMs = 1000;

} // namespace

Session::Session(EGridModel& grid, QObject* parent)
    : QObject(parent)
    , m_db(new Database(this))
    , m_rs(new RecordSet(this))
    , m_counter(std::make_unique<Counter>(m_state, grid, m_db))
    , m_rights(m_db)
{
    // Nothing of the program in its data directory yet: an installed program's first start.
    const bool firstStart = !QFileInfo::exists(seams::dataFile(QStringLiteral("jishi.ini")))
        && !QFileInfo::exists(seams::dataFile(QStringLiteral("date.mdb")))
        && !QFileInfo::exists(seams::dataFile(QStringLiteral("backup")));
    const IniFile settings = settingsFile();
    if (!settings.exists())
        settings.write(kSection, kRateKey, kDefaultRate);
    m_state.hourlyRate = hourlyRateOf(settings.read(kSection, kRateKey, kDefaultRate));
    m_startRate = toText(m_state.hourlyRate);
    m_acceptedRate = m_startRate;
    m_state.runningCount = 0;

    const QString databasePath = seams::dataFile(QStringLiteral("date.mdb"));
    const StoreSettings store = readStoreSettings(settings);
    // On a file, which one counter has to itself, nothing is this counter's alone.
    m_db->setCounterName(store.onServer ? store.counterName : QString());
    if (store.onServer) {
        // A setting that cannot be used is an outage, never a quiet fall-back onto a file of this
        // PC's own, where the other counters would not see what is booked.
        const bool opened = store.error.isEmpty() && m_db->openServer(store.address);
        if (!opened) {
            messageBox(databaseOutageMessage(store.address.isEmpty() ? QStringLiteral("PostgreSQL") : store.address,
                           Database::OpenFailure::Other, store.error.isEmpty() ? m_db->lastError() : store.error),
                MbExclamation, QStringLiteral("数据库"));
        }
    } else {
        // Installed, the program makes its own file in the user's data directory at its first
        // start (nothing of it there yet); a file gone later is an outage, as beside a portable
        // program, not a fresh empty store.
        if (!seams::isPortable() && firstStart) {
            QString why;
            createDatabase(databasePath, &why);
        }
        const QString mismatch = sqliteLibraryMismatch();
        if (!mismatch.isEmpty())
            messageBox(mismatch, MbExclamation, QStringLiteral("数据库"));
        if (!m_db->openDatabase(databasePath)) {
            // Said at once: the operator would otherwise time machines all day and learn at the
            // first checkout that nothing can be booked. Timing goes on regardless.
            messageBox(databaseOutageMessage(databasePath, m_db->openFailure(), m_db->lastError()), MbExclamation,
                QStringLiteral("数据库"));
        }
    }
    m_rs->bind(m_db);
    connect(m_db, &Database::changedElsewhere, this, [this] {
        if (loadMachines())
            emit machinesChanged();
    });
    // With no operator the shift opens silently, so the start is as it always was; with
    // operators, it opens after the login.
    ensureShift(false);
    loadMachines();
    loadPlans();
    m_backups = new BackupRunner(databasePath, seams::dataFile(QStringLiteral("backup")), this);
    // Written to the settings only once set, so the file stays as it always was without one.
    m_backups->setSecondFolder(settings.read(kSection, kSecondFolderKey, QString()));
    m_secondFolder = m_backups->secondFolder();
    m_backups->setConnection(m_db);
    connect(m_backups, &BackupRunner::finished, this, &Session::backupDone);
    // The copy at start shares the console's thread in small steps: they wait until the console
    // is on the screen, so a big file makes the start no slower.
    if (m_db->isOpen())
        startBackup(kStartBackupAfterMs);
    auto* backupClock = new QTimer(this);
    connect(backupClock, &QTimer::timeout, this, [this] {
        if (m_backups->isOverdue())
            startBackup();
    });
    backupClock->start(10 * 60 * 1000);
    restoreUsages();
    m_clients = new ClientService(*m_counter, *m_db, this);
    if (const QString why = m_clients->apply(); !why.isEmpty())
        messageBox(why, MbExclamation, QStringLiteral("客户机"));

    // The rate lives in jishi.ini, which anyone may edit between two runs: a rate other than
    // the last one the program set is written down, so the ledger shows it came from outside.
    QString lastRate;
    if (readLastRate(*m_db, lastRate) && !lastRate.isEmpty() && hourlyRateOf(lastRate) != m_state.hourlyRate) {
        LedgerEntry entry = ledgerEntry(*m_db, QStringLiteral("改单价"));
        entry.before = lastRate;
        entry.after = m_acceptedRate;
        entry.detail = QStringLiteral("启动时发现jishi.ini中的单价与程序上次设定的不同");
        m_counter->record(entry);
    }
}

Session::~Session()
{
    // The clients are told nothing more once the counter they watch is gone.
    delete m_clients;
    m_db->closeDatabase();
}

bool Session::acceptRate(const QString& text)
{
    if (!isMoneyText(text))
        return false;
    if (text != m_acceptedRate) {
        LedgerEntry entry = ledgerEntry(*m_db, QStringLiteral("改单价"));
        entry.before = m_acceptedRate;
        entry.after = text;
        m_counter->record(entry);
    }
    m_acceptedRate = text;
    return true;
}

bool Session::acceptTyped(int row, int column, QString* why)
{
    return m_counter->acceptTyped(m_state.machineAt(row), column, why);
}

bool Session::loadMachines()
{
    MachineSetup setup;
    QString error;
    // A store that cannot be read has been said; the machines shown stay.
    if (!readMachines(*m_db, setup, &error))
        return false;
    QHash<QString, QColor> colours;
    for (const ZoneInfo& zone : std::as_const(setup.zones)) {
        if (!zone.colour.isEmpty())
            colours.insert(zone.name, QColor(zone.colour));
    }
    QVector<MachineSlot> listed;
    QSet<int> elsewhere;
    for (const MachineInfo& m : std::as_const(setup.machines)) {
        // Another counter's machine is shown nowhere here, and its usage is that counter's.
        if (!timesHere(*m_db, m)) {
            elsewhere.insert(m.number);
            continue;
        }
        const QString zone = m.zone.isEmpty() ? defaultZoneName() : m.zone;
        listed.append(MachineSlot { m.number, m.name, zone, colours.value(zone) });
    }
    const bool same = std::equal(listed.cbegin(), listed.cend(), m_state.machines.cbegin(), m_state.machines.cend(),
        [](const MachineSlot& a, const MachineSlot& b) {
            const auto zone = [](const MachineSlot& m) { return m.zone.isEmpty() ? defaultZoneName() : m.zone; };
            return a.number == b.number && a.name == b.name && zone(a) == zone(b) && a.colour == b.colour;
        });
    m_counter->setMachinesElsewhere(elsewhere);
    if (same)
        return false;
    m_counter->setMachines(listed);
    return true;
}

void Session::loadPlans()
{
    // A store that cannot be read has been said; the plans in use stay.
    QHash<QString, PlanRef> plans;
    if (readZonePlans(*m_db, plans, nullptr))
        m_state.zonePlans = plans;
}

qint64 Session::clockJump()
{
    const QDateTime wall = seams::clockNow();
    const qint64 monotonic = seams::monotonicMs();
    // Only a running bill can be wrong by a set clock.
    if (m_state.firstTimingMachine() == 0) {
        m_clockWatch.reset(wall, monotonic);
        return 0;
    }
    return m_clockWatch.look(wall, monotonic);
}

bool Session::settleOperators()
{
    QVector<OperatorRecord> operators;
    QString error;
    if (!readOperators(*m_db, operators, &error)) {
        // Not known is not none: owner rights wait until the operators can be read.
        m_rights.setUnknown(true, [this] {
            QVector<OperatorRecord> found;
            QString why;
            if (!readOperators(*m_db, found, &why)) {
                messageBox(QStringLiteral("操作员无法读取，店长权限的操作暂时不能进行：") + why, MbOk | MbExclamation,
                    QStringLiteral("操作员"));
                return;
            }
            m_rights.setUnknown(false);
            if (!found.isEmpty() && m_logIn)
                m_logIn();
            else
                loggedOut();
        });
        loggedOut();
        return true;
    }
    m_rights.setUnknown(false);
    if (operators.isEmpty()) {
        loggedOut();
        return true;
    }
    return !m_logIn || m_logIn();
}

void Session::loggedIn(const QString& name, const QString& role)
{
    m_rights.setOperator(name, role);
    emit operatorChanged(name, role);
    ensureShift(true);
}

void Session::loggedOut()
{
    m_rights.setOperator(QString(), QString());
    emit operatorChanged(QString(), QString());
}

void Session::recordLogOut() { m_counter->record(ledgerEntry(*m_db, QStringLiteral("退出登录"))); }

void Session::firstOwnerMade(const QString& name)
{
    // Whoever made the first owner has just typed the owner's password.
    LedgerEntry entry = ledgerEntry(*m_db, QStringLiteral("登录"));
    entry.operatorName = name;
    m_counter->record(entry);
    m_rights.setOperator(name, ownerRole());
    emit operatorChanged(name, ownerRole());
}

bool Session::reReadOperator()
{
    QVector<OperatorRecord> operators;
    QString error;
    if (!m_rights.operatorsDefined() || !readOperators(*m_db, operators, &error))
        return false;
    for (const OperatorRecord& op : std::as_const(operators)) {
        if (op.name == m_rights.operatorName()) {
            m_rights.setOperator(op.name, op.role);
            emit operatorChanged(op.name, op.role);
            return true;
        }
    }
    return false;
}

void Session::ensureShift(bool ask)
{
    ShiftRecord shift;
    bool found = false;
    QString error;
    // Without the store no shift can be had; the rows written meanwhile carry none.
    if (!readOpenShift(*m_db, shift, found, &error))
        return;
    if (found) {
        m_db->setShift(shift.number);
        return;
    }
    // Operators defined but nobody logged in yet: the shift waits for the login.
    if (!ask && !m_rights.operatorsDefined()) {
        QVector<OperatorRecord> operators;
        if (readOperators(*m_db, operators, &error) && !operators.isEmpty())
            return;
    }
    double opening = floatLeftInTheDrawer(*m_db);
    if (ask && m_askFloat)
        opening = m_askFloat(opening);
    if (!openShift(*m_db, opening, shift, &error) && ask)
        showStoreError(error);
}

bool Session::allWritten(QString* why) const
{
    if (m_counter->flushEnded() && m_counter->isProtected())
        return true;
    if (why)
        *why = QStringLiteral("还有操作没有写入数据库（") + m_counter->unprotectedText() + QStringLiteral("），");
    return false;
}

bool Session::handedOver()
{
    rememberLedgerHead(*m_db);
    startBackup();
    // Machines go on timing; the next shift takes over their checkouts.
    if (m_rights.operatorsDefined()) {
        loggedOut();
        return !m_logIn || m_logIn();
    }
    ensureShift(false);
    return true;
}

void Session::restoreUsages()
{
    const RestoredUsages found = m_counter->restore();
    if (found.isEmpty() && found.skipped.isEmpty() && found.readError.isEmpty())
        return;
    // Asked once the console is on the screen, after the login, before anything else is done.
    m_restored = found;
}

std::optional<RestoredUsages> Session::takeRestored()
{
    std::optional<RestoredUsages> found;
    found.swap(m_restored);
    return found;
}


void Session::settleInterruption(bool charged, const RestoredUsages& found, const DateTime& back)
{
    m_counter->settleInterruption(charged, found.lastSeenKnown ? found.lastSeen : back);
}

void Session::sayIfUnprotected()
{
    // Said once when protection is lost, and again only after it has come back.
    if (m_counter->isProtected()) {
        m_unprotectedSaid = false;
        return;
    }
    if (m_unprotectedSaid)
        return;
    m_unprotectedSaid = true;
    messageBox(QStringLiteral("上机记录无法写入数据库：") + m_counter->unprotectedText()
            + QStringLiteral("的计时只保存在内存中，程序意外退出或断电后将无法恢复。\n")
            + (m_db->lastError().isEmpty() ? QString() : QStringLiteral("原因：") + m_db->lastError()),
        MbOk | MbExclamation, QStringLiteral("上机记录"));
}

bool Session::close(const QString& rateText)
{
    if (m_state.firstTimingMachine() != 0) {
        messageBox(QStringLiteral("尚有机器在计时！请停止计时后再退出"), MbExclamation, QStringLiteral("退出确认"));
        return false;
    }
    if (!m_counter->flushEnded()) {
        messageBox(QStringLiteral("上机记录未能清除（") + m_counter->unprotectedText()
                + QStringLiteral("）：下次启动时这些机器会作为未结束的上机出现，请按实际情况处理。"),
            MbOk | MbExclamation, QStringLiteral("上机记录"));
    }
    settingsFile().write(kSection, kRateKey, rateText);
    m_backups->wait();
    if (m_rights.operatorsDefined()) {
        m_counter->record(ledgerEntry(*m_db, QStringLiteral("退出登录")));
        m_rights.setOperator(QString(), QString());
    }
    rememberLedgerHead(*m_db);
    return true;
}
