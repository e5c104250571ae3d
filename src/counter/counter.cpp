#include "counter.h"

#include "common/egridmodel.h"
#include "common/seams.h"
#include "common/values.h"
#include "consolegrid.h"
#include "pricing.h"
#include "store/database.h"
#include "store/plantable.h"

#include <QColor>

#include <algorithm>

namespace Col = ConsoleColumn;

namespace {

// How old the last-seen moment may grow while usages are open.
constexpr qint64 kLastSeenSeconds = 15;

qint64 secondOf(DateTime t) { return qint64(std::floor(t.days * 86400.0 + 0.5)); }

} // namespace

Counter::Counter(CounterState& state, EGridModel& grid, Database* db)
    : m_state(state)
    , m_grid(grid)
    , m_db(db)
{
}

void Counter::setMachines(const QVector<MachineSlot>& machines)
{
    // The rows of open usages move with their machine, cell by cell as the grid shows them;
    // nothing else of a row stays where it was, since that row may now be another machine's.
    struct Kept {
        int number;
        QStringList cells;
    };
    QVector<Kept> kept;
    const int currentMachine = m_state.machineAt(m_grid.getCurrentRow());
    const int currentColumn = m_grid.getCurrentColumn();
    for (const MachineSlot& slot : std::as_const(m_state.machines)) {
        const int r = row(slot.number);
        if (!isTiming(slot.number) && !m_awaiting.contains(slot.number) && m_grid.getCell(r, Col::StartTime).isEmpty())
            continue;
        Kept k { slot.number, {} };
        for (int c = Col::StartTime; c <= Col::Balance; ++c)
            k.cells.append(m_grid.getCell(r, c));
        kept.append(k);
    }
    QVector<MachineSlot> next = machines;
    for (const Kept& k : std::as_const(kept)) {
        const bool listed = std::any_of(next.cbegin(), next.cend(), [&](const MachineSlot& m) { return m.number == k.number; });
        if (!listed && (isTiming(k.number) || m_awaiting.contains(k.number)))
            next.append(MachineSlot { k.number, QString(), QString(), QColor() });
    }
    m_state.setMachines(next);
    // Every machine row afresh, as at start; the kept ones are put back below.
    m_grid.setGridRowCount(1);
    setupGrid(m_grid, m_state.machines);
    for (const Kept& k : std::as_const(kept)) {
        const int r = row(k.number);
        if (r == 0)
            continue;
        if (isOpen(k.number))
            showPricing(m_state, m_grid, k.number);
        // 金额 last: a booked amount stands over what the minutes and price would give. Put back
        // as it was: a zero deposit reads "0.0", which a typed cell would refuse.
        for (int c : { Col::StartTime, Col::StopTime, Col::Minutes, Col::MinutePrice, Col::FixedTime, Col::Countdown,
                 Col::Deposit, Col::Goods, Col::Balance, Col::Amount })
            m_grid.putBack(r, c, k.cells[c - Col::StartTime]);
        if (isTiming(k.number))
            m_grid.setCellColour(r, Col::Label, r, Col::Label, QColor(255, 0, 0));
    }
    for (auto it = m_state.clientStatus.cbegin(); it != m_state.clientStatus.cend(); ++it)
        describeRow(m_state, m_grid, it.key());
    // The cell picked stays on its machine, wherever that machine's row went.
    const int currentRow = row(currentMachine);
    if (currentRow > 0 && currentColumn >= 0)
        m_grid.setCurrentCell(currentRow, currentColumn);
}

void Counter::setClientStatuses(const QHash<int, QString>& statuses)
{
    QVector<int> changed;
    for (auto it = statuses.cbegin(); it != statuses.cend(); ++it) {
        if (m_state.clientStatus.value(it.key()) != it.value())
            changed.append(it.key());
    }
    for (auto it = m_state.clientStatus.cbegin(); it != m_state.clientStatus.cend(); ++it) {
        if (!statuses.contains(it.key()))
            changed.append(it.key());
    }
    m_state.clientStatus = statuses;
    for (int n : std::as_const(changed))
        describeRow(m_state, m_grid, n);
}

bool Counter::isTiming(int n) const { return valid(n) && m_state.machineTable[n].state == 1; }

UsageRow Counter::usageOf(int n) const
{
    UsageRow usage;
    usage.machineNo = n;
    const int r = row(n);
    if (r == 0)
        return usage;
    usage.startTime = m_state.machineTable[n].startTime;
    usage.perMinutePrice = m_state.machineTable[n].perMinutePrice;
    usage.clockText = m_grid.getCell(r, Col::StartTime);
    usage.fixedText = m_grid.getCell(r, Col::FixedTime);
    usage.depositText = m_grid.getCell(r, Col::Deposit);
    usage.goodsText = m_grid.getCell(r, Col::Goods);
    usage.awaitingCheckout = m_awaiting.contains(n);
    const MachineRecord& m = m_state.machineTable[n];
    usage.planVersion = m.plan ? m.plan->version : m.keptPlanVersion;
    usage.packagesText = m.plan ? soldPackagesText(m.packages) : m.keptPackages;
    if (usage.awaitingCheckout) {
        usage.stopClockText = m_grid.getCell(r, Col::StopTime);
        usage.feeText = m_grid.getCell(r, Col::Amount);
        usage.stoppedMinutes = toInteger(m_grid.getCell(r, Col::Minutes));
    }
    return usage;
}

void Counter::markWritten(int n, bool written)
{
    if (written)
        m_unprotected.removeAll(n);
    else if (!m_unprotected.contains(n))
        m_unprotected.append(n);
}

LedgerEntry Counter::entry(const QString& kind, int n) const
{
    LedgerEntry e = m_db ? ledgerEntry(*m_db, kind) : LedgerEntry();
    e.kind = kind;
    e.machineNo = n;
    return e;
}

void Counter::journal(int n, const LedgerEntry& entry, const std::function<bool(QString*)>& write)
{
    if (!m_db) {
        markWritten(n, false);
        return;
    }
    QString error;
    Transaction transaction(*m_db);
    // A usage the file missed is written whole: changing one of its cells would change nothing.
    const bool whole = m_unprotected.contains(n) && (isTiming(n) || m_awaiting.contains(n));
    bool written = transaction.isActive() && (whole ? writeUsage(*m_db, usageOf(n), &error) : write(&error))
        && appendLedger(*m_db, entry, &error);
    if (!m_gapOpen)
        written = written && writeLastSeen(*m_db, now(), &error);
    written = written && catchUp(n, &error) && transaction.commit();
    if (written)
        caughtUp();
    else
        m_unwrittenLedger.append(entry); // goes in, with its own time, once the store takes writes
    markWritten(n, written);
}

bool Counter::catchUp(int n, QString* error)
{
    // The store takes writes again: what it missed meanwhile goes in with this change.
    for (int other : std::as_const(m_unprotected)) {
        if (other != n && (isTiming(other) || m_awaiting.contains(other)) && !writeUsage(*m_db, usageOf(other), error))
            return false;
    }
    for (int ended : std::as_const(m_endedUnwritten)) {
        if (ended != n && !deleteUsage(*m_db, ended, error))
            return false;
    }
    for (const LedgerEntry& missed : std::as_const(m_unwrittenLedger)) {
        if (!appendLedger(*m_db, missed, error))
            return false;
    }
    return true;
}

void Counter::caughtUp()
{
    m_unprotected.clear();
    m_endedUnwritten.clear();
    m_unwrittenLedger.clear();
}

void Counter::start(int n, const QString& clockText, const QString& rateText)
{
    if (!valid(n))
        return;
    startMachine(m_state, m_grid, n, clockText, rateText);
    m_awaiting.removeAll(n);
    m_deposit[n] = m_grid.getCell(row(n), Col::Deposit);
    m_fixed[n] = m_grid.getCell(row(n), Col::FixedTime);
    const UsageRow usage = usageOf(n);
    LedgerEntry e = entry(QStringLiteral("开始"), n);
    // The rate used: what the machine is priced at for the whole usage.
    e.amount = isMoneyText(rateText) ? toNumber(rateText) : 0.0;
    e.detail = QStringLiteral("计费单价") + rateText + QStringLiteral("元/小时，分钟价") + toText(usage.perMinutePrice)
        + QStringLiteral("，上机时间") + clockText;
    if (const PlanRef& plan = m_state.machineTable[n].plan) {
        e.detail = QStringLiteral("计费方案") + m_state.zoneOf(n) + QStringLiteral("第") + toText(plan->version)
            + QStringLiteral("版，上机时间") + clockText;
    }
    journal(n, e, [&](QString* error) { return writeUsage(*m_db, usage, error); });
    changed(n);
}

MachineBill Counter::stop(int n, const QString& clockText)
{
    if (!valid(n))
        return {};
    const MachineBill bill = stopMachine(m_state, m_grid, n, clockText);
    if (!m_awaiting.contains(n))
        m_awaiting.append(n);
    // A machine stopped while its checkout is open comes back awaiting that checkout.
    const UsageRow usage = usageOf(n);
    LedgerEntry e = entry(QStringLiteral("停止"), n);
    e.amount = toCents(toNumber(bill.feeText));
    e.detail = QStringLiteral("结束时间") + clockText + QStringLiteral("，商品额") + bill.goodsText
        + QStringLiteral("，押金") + bill.depositText;
    journal(n, e, [&](QString* error) { return writeUsage(*m_db, usage, error); });
    changed(n);
    return bill;
}

bool Counter::acceptTyped(int n, int column, QString* why)
{
    if (!valid(n))
        return true;
    const QString typed = m_grid.getCell(row(n), column);
    // A deposit is money the customer leaves: a negative one would hand cash out unasked.
    const QString refusal = column != Col::Deposit ? QString()
        : !isMoneyText(typed)                      ? moneyRangeMessage()
        : toNumber(typed) < 0.0                    ? negativeAmountMessage(QStringLiteral("押金"))
                                                   : QString();
    if (!refusal.isEmpty()) {
        if (why)
            *why = refusal;
        // Back to what the file and the ledger hold for it.
        const QString last = isTiming(n) ? m_deposit[n] : QString();
        m_grid.setCell(row(n), column, toNumber(last) == 0.0 ? QString() : last); // a zero is set by emptying
        return false;
    }
    if (isTiming(n) && (column == Col::Deposit || column == Col::FixedTime)) {
        const QString text = m_grid.getCell(row(n), column);
        const bool deposit = column == Col::Deposit;
        QString& last = deposit ? m_deposit[n] : m_fixed[n];
        if (text == last)
            return true;
        LedgerEntry e = entry(deposit ? QStringLiteral("改押金") : QStringLiteral("改定时"), n);
        e.before = last;
        e.after = text;
        if (deposit) {
            // A deposit changed on a timing machine moves its difference in cash.
            e.amount = toCents(toNumber(text));
            e.cash = toCents(toNumber(text) - toNumber(last));
        }
        const UsageField field = deposit ? UsageField::Deposit : UsageField::FixedTime;
        journal(n, e, [&](QString* error) { return updateUsage(*m_db, n, field, text, error); });
        last = text;
        changed(n);
    }
    return true;
}

bool Counter::bookGoods(int n, bool onAccount, const QString& totalText, const std::function<bool(QString*)>& book,
    QString* error, const QString& goodsNames, const QString& method, const QString& reference)
{
    const bool toBill = onAccount && valid(n);
    const QString goods = toBill
        ? toText(float(toNumber(totalText) + toNumber(m_grid.getCell(row(n), Col::Goods))))
        : QString();
    const bool open = isTiming(n) || m_awaiting.contains(n);
    LedgerEntry e = entry(onAccount ? QStringLiteral("商品挂帐") : QStringLiteral("商品现款"), n);
    e.goodsName = goodsNames;
    e.amount = toCents(toNumber(totalText));
    if (!onAccount)
        putPayment(e, e.amount, method, reference);
    if (toBill) {
        e.before = m_grid.getCell(row(n), Col::Goods);
        e.after = goods;
    }
    bool usageWritten = false;
    if (m_db) {
        Transaction transaction(*m_db);
        // While the transaction is refused the store takes nothing, so `book` succeeds only when
        // the sale has nothing to book; its row then waits with the others the store missed.
        if (!book(error))
            return false;
        if (!transaction.isActive()) {
            m_unwrittenLedger.append(e);
        } else {
            if (!appendLedger(*m_db, e, error))
                return false;
            if (toBill && open) {
                UsageRow usage = usageOf(n);
                usage.goodsText = goods;
                usageWritten = (m_unprotected.contains(n) ? writeUsage(*m_db, usage, nullptr)
                                                          : updateUsage(*m_db, n, UsageField::Goods, goods, nullptr))
                    && catchUp(n, nullptr);
            }
            if (!transaction.commit()) {
                *error = transaction.error();
                return false;
            }
            if (usageWritten)
                caughtUp();
        }
    } else if (!book(error)) {
        return false;
    }
    if (toBill) {
        m_grid.setCell(row(n), Col::Goods, goods);
        if (open)
            markWritten(n, usageWritten);
    }
    return true;
}

bool Counter::bookCheckout(int n, const std::function<bool(QString*, QString*)>& book, QString* error)
{
    QString booked;
    bool ended = false;
    if (m_db) {
        Transaction transaction(*m_db);
        // While the transaction is refused the store takes nothing: only a checkout with nothing
        // to book gets through, and its usage is removed once the store takes writes again.
        if (!book(&booked, error))
            return false;
        if (transaction.isActive()) {
            // The usage goes with the booking: a checkout that was booked is never restored.
            if (!deleteUsage(*m_db, n, error) || !transaction.commit()) {
                if (error->isEmpty())
                    *error = transaction.error();
                return false;
            }
            ended = true;
        }
    } else if (!book(&booked, error)) {
        return false;
    }
    m_awaiting.removeAll(n);
    m_unprotected.removeAll(n);
    if (!ended && m_db && !m_endedUnwritten.contains(n))
        m_endedUnwritten.append(n);
    if (!booked.isEmpty() && valid(n))
        m_grid.setCell(row(n), Col::Amount, booked);
    return true;
}

void Counter::defer(const LedgerEntry& e) { m_unwrittenLedger.append(e); }

void Counter::endUsage(int n)
{
    if (!m_awaiting.contains(n) || isTiming(n))
        return;
    m_awaiting.removeAll(n);
    m_unprotected.removeAll(n);
    if (!m_db)
        return;
    // Closed without 确定: nothing booked, and the ledger says so.
    LedgerEntry e = entry(QStringLiteral("放弃结帐"), n);
    e.amount = toNumber(m_grid.getCell(row(n), Col::Amount));
    e.detail = QStringLiteral("商品额") + m_grid.getCell(row(n), Col::Goods) + QStringLiteral("，押金")
        + m_grid.getCell(row(n), Col::Deposit);
    QString error;
    Transaction transaction(*m_db);
    // Not removed, the usage would come back at the next start as if it were still open.
    if (!(transaction.isActive() && deleteUsage(*m_db, n, &error) && appendLedger(*m_db, e, &error)
            && transaction.commit())) {
        if (!m_endedUnwritten.contains(n))
            m_endedUnwritten.append(n);
        m_unwrittenLedger.append(e);
    }
}

void Counter::record(const LedgerEntry& e)
{
    if (!m_db)
        return;
    m_unwrittenLedger.append(e);
    flushEnded();
}

bool Counter::flushEnded()
{
    if ((m_endedUnwritten.isEmpty() && m_unwrittenLedger.isEmpty()) || !m_db)
        return m_endedUnwritten.isEmpty() && m_unwrittenLedger.isEmpty();
    QString error;
    Transaction transaction(*m_db);
    if (transaction.isActive() && catchUp(0, &error) && transaction.commit())
        caughtUp();
    return m_endedUnwritten.isEmpty() && m_unwrittenLedger.isEmpty();
}

double Counter::depositsHeld() const
{
    double held = 0.0;
    for (const MachineSlot& m : m_state.machines) {
        if (isTiming(m.number))
            held += toNumber(usageOf(m.number).depositText);
    }
    return held;
}

void Counter::allTimingChanged() const
{
    for (const MachineSlot& m : m_state.machines) {
        if (isTiming(m.number))
            changed(m.number);
    }
}

bool Counter::anyOpen() const { return m_state.firstTimingMachine() != 0 || !m_awaiting.isEmpty(); }

bool Counter::isProtected() const
{
    return m_unprotected.isEmpty() && m_endedUnwritten.isEmpty() && m_unwrittenLedger.isEmpty();
}

void Counter::keepAlive()
{
    // Until the interruption is answered, the last-seen moment stays where the crash left it.
    if (!m_db || !anyOpen() || m_gapOpen)
        return;
    const DateTime moment = now();
    const qint64 second = secondOf(moment);
    if (m_lastSeenWritten >= 0 && second - m_lastSeenWritten < kLastSeenSeconds && second >= m_lastSeenWritten)
        return;
    QString error;
    if (writeLastSeen(*m_db, moment, &error))
        m_lastSeenWritten = second;
}

RestoredUsages Counter::restore()
{
    RestoredUsages found;
    // A database that could not be opened at start has been said already; what it holds is
    // restored at the next start.
    if (!m_db || !m_db->isOpen())
        return found;
    QVector<UsageRow> rows;
    m_restoredPlans.clear(); // the file may be another since the last restore
    if (!readUsages(*m_db, kMaxMachineNo, rows, found.skipped, &found.readError))
        return found;
    rows.erase(std::remove_if(rows.begin(), rows.end(), [this](const UsageRow& u) { return m_elsewhere.contains(u.machineNo); }),
        rows.end());
    found.lastSeenKnown = readLastSeen(*m_db, found.lastSeen);
    // A usage of a machine taken off the list since still has a bill to settle: the machine is
    // shown again until the list is set anew.
    QVector<MachineSlot> listed = m_state.machines;
    for (const UsageRow& usage : std::as_const(rows)) {
        if (!valid(usage.machineNo))
            listed.append(MachineSlot { usage.machineNo, QString(), QString(), QColor() });
    }
    if (listed.size() != m_state.machines.size())
        setMachines(listed);
    for (const UsageRow& usage : std::as_const(rows)) {
        const int n = usage.machineNo;
        if (m_state.machineTable[n].state == 1)
            continue;
        MachineRecord& m = m_state.machineTable[n];
        m.startTime = usage.startTime;
        m.perMinutePrice = usage.perMinutePrice;
        restorePlan(m, usage, found);
        m_grid.clearCells(row(n), Col::StartTime, row(n), Col::Balance);
        showPricing(m_state, m_grid, n);
        m_grid.setCell(row(n), Col::StartTime, usage.clockText);
        m_grid.setCell(row(n), Col::Minutes, 0);
        m_grid.setCell(row(n), Col::MinutePrice, m.perMinutePrice);
        m_grid.setCell(row(n), Col::FixedTime, usage.fixedText);
        m_grid.setCell(row(n), Col::Deposit, usage.depositText);
        m_grid.setCell(row(n), Col::Goods, usage.goodsText);
        m_deposit[n] = m_grid.getCell(row(n), Col::Deposit);
        m_fixed[n] = m_grid.getCell(row(n), Col::FixedTime);
        if (usage.awaitingCheckout) {
            m_grid.setCell(row(n), Col::StopTime, usage.stopClockText);
            m_grid.setCell(row(n), Col::Minutes, usage.stoppedMinutes);
            m_grid.setCell(row(n), Col::Amount, usage.feeText);
            m_awaiting.append(n);
            MachineBill bill;
            bill.machineNo = n;
            bill.feeText = m_grid.getCell(row(n), Col::Amount);
            bill.goodsText = m_grid.getCell(row(n), Col::Goods);
            bill.depositText = m_grid.getCell(row(n), Col::Deposit);
            if (m.plan) {
                bill.planned = true;
                bill.cardFeeText = centsText(planBillOf(m, usage.stoppedMinutes, true).totalCents);
                bill.lines = billLineTexts(planBillOf(m, usage.stoppedMinutes, false));
                bill.cardLines = billLineTexts(planBillOf(m, usage.stoppedMinutes, true));
            }
            found.awaitingCheckout.append(bill);
            continue;
        }
        m.state = 1;
        m_grid.setCellColour(row(n), Col::Label, row(n), Col::Label, QColor(255, 0, 0));
        ++m_state.runningCount;
        found.timing.append(usage);
    }
    m_gapOpen = !found.timing.isEmpty();
    allTimingChanged();
    return found;
}

bool Counter::moveStart(int n, double days)
{
    MachineRecord& m = m_state.machineTable[n];
    m.startTime = DateTime(m.startTime.days + days);
    for (SoldPackage& sold : m.packages)
        sold.soldAt = DateTime(sold.soldAt.days + days);
    if (m.plan)
        replan(m);
    m.seen.minutes = -1; // billed again at the next tick
    return !m.packages.isEmpty();
}

void Counter::restorePlan(MachineRecord& m, const UsageRow& usage, RestoredUsages& found)
{
    m.plan.reset();
    m.packages.clear();
    m.covered.clear();
    m.keptPlanVersion = 0;
    m.keptPackages.clear();
    replan(m);
    if (usage.planVersion <= 0)
        return;
    PlanRef plan = m_restoredPlans.value(usage.planVersion);
    if (!plan) {
        StoredPlan stored;
        PricePlan parsed;
        if (readPlanVersion(*m_db, usage.planVersion, stored, nullptr) && planRefusal(typedPlanOf(stored.text), parsed).isEmpty())
            plan = std::make_shared<const ZonePlan>(ZonePlan { stored.version, parsed });
        m_restoredPlans.insert(usage.planVersion, plan);
    }
    QVector<SoldPackage> sold;
    if (!plan || !soldPackagesOf(usage.packagesText, sold)) {
        // Without its plan the usage still has a price: the one per minute it was written with.
        found.repriced.append(usage.machineNo);
        m.keptPlanVersion = usage.planVersion;
        m.keptPackages = usage.packagesText;
        return;
    }
    m.plan = plan;
    m.packages = sold;
    replan(m);
}

bool Counter::sellPackage(int n, const QString& name, QString* error)
{
    const auto fail = [&](const QString& why) {
        if (error)
            *error = why;
        return false;
    };
    if (!isTiming(n))
        return fail(QStringLiteral("%1号机没有在上机！").arg(n));
    MachineRecord& m = m_state.machineTable[n];
    const PlanPackage* package = nullptr;
    if (m.plan) {
        for (const PlanPackage& p : m.plan->plan.packages) {
            if (p.name == name)
                package = &p;
        }
    }
    if (!package)
        return fail(QStringLiteral("%1号机的计费方案没有这个套餐！").arg(n));
    const DateTime soldAt = now();
    const CoveredStretch cover = coveredBy(*package, m.startTime.toQDateTime(), soldAt.toQDateTime());
    for (const CoveredStretch& other : std::as_const(m.covered)) {
        if (cover.from < other.to && other.from < cover.to)
            return fail(QStringLiteral("这段时间已有套餐，不能重复购买！"));
    }
    m.packages.append({ *package, soldAt });
    m.covered.append(cover);
    const int r = row(n);
    showPricing(m_state, m_grid, n);
    showPlanFigures(m_grid, r, m, toInteger(m_grid.getCell(r, Col::Minutes)), soldAt);
    const QString after = soldPackagesText(m.packages);
    LedgerEntry e = entry(QStringLiteral("套餐"), n);
    e.goodsName = package->name;
    e.amount = double(package->priceCents) / 100.0;
    e.detail = packageText(*package) + QStringLiteral("，") + centsText(package->priceCents)
        + QStringLiteral("元，计入上机费，从上机后第") + toText(cover.from) + QStringLiteral("分钟到第") + toText(cover.to)
        + QStringLiteral("分钟");
    journal(n, e, [&](QString* why) { return updateUsage(*m_db, n, UsageField::Packages, after, why); });
    return true;
}

void Counter::settleClockJump(qint64 seconds, bool keepRealTime)
{
    QVector<int> timing;
    for (const MachineSlot& slot : std::as_const(m_state.machines)) {
        if (m_state.machineTable[slot.number].state == 1)
            timing.append(slot.number);
    }
    const double days = keepRealTime ? double(seconds) / 86400.0 : 0.0;
    for (int n : std::as_const(timing))
        moveStart(n, days);
    LedgerEntry e = entry(QStringLiteral("时间跳变"), 0);
    e.before = timeToText(DateTime(now().days - double(seconds) / 86400.0), 1);
    e.after = timeToText(now(), 1);
    QStringList machines;
    for (int n : std::as_const(timing))
        machines.append(toText(n) + QStringLiteral("号"));
    e.detail = clockJumpText(seconds) + (keepRealTime ? QStringLiteral("，按实际经过的时间计费：") : QStringLiteral("，以系统时间为准："))
        + machines.join(u'、');
    if (!m_db)
        return;
    QString error;
    Transaction transaction(*m_db);
    bool written = transaction.isActive();
    for (int n : std::as_const(timing)) {
        if (keepRealTime)
            written = written && moveUsageStart(*m_db, n, days, usageOf(n).packagesText, &error);
    }
    written = written && appendLedger(*m_db, e, &error) && writeLastSeen(*m_db, now(), &error) && transaction.commit();
    if (!written) {
        m_unwrittenLedger.append(e);
        if (keepRealTime) {
            for (int n : std::as_const(timing))
                markWritten(n, false);
        }
    }
}

QString clockJumpText(qint64 seconds)
{
    const qint64 minutes = (std::llabs(seconds) + 30) / 60;
    const QString amount = minutes >= 60 ? QStringLiteral("%1小时%2分钟").arg(minutes / 60).arg(minutes % 60)
                                         : QStringLiteral("%1分钟").arg(minutes);
    return (seconds > 0 ? QStringLiteral("系统时间被改动：向前调了") : QStringLiteral("系统时间被改动：向后调了")) + amount;
}

void Counter::settleInterruption(bool charged, DateTime lastSeen)
{
    const DateTime moment = now();
    const double gap = charged ? 0.0 : std::max(0.0, moment.days - lastSeen.days);
    m_gapOpen = false;
    QVector<int> withPackages;
    for (const MachineSlot& slot : std::as_const(m_state.machines)) {
        if (m_state.machineTable[slot.number].state == 1 && moveStart(slot.number, gap))
            withPackages.append(slot.number);
    }
    if (!m_db)
        return;
    const QString answer = (charged ? QStringLiteral("计费：") : QStringLiteral("不计费："))
        + timeToText(lastSeen, 1) + QStringLiteral(" 至 ") + timeToText(moment, 1);
    QString error;
    Transaction transaction(*m_db);
    LedgerEntry e = entry(QStringLiteral("恢复上机"), 0);
    e.after = charged ? QStringLiteral("计费") : QStringLiteral("不计费");
    QStringList machines;
    for (const MachineSlot& slot : std::as_const(m_state.machines)) {
        if (m_state.machineTable[slot.number].state == 1)
            machines.append(toText(slot.number) + QStringLiteral("号"));
    }
    e.detail = machines.join(u'、') + QStringLiteral("，中断") + timeToText(lastSeen, 1) + QStringLiteral("至")
        + timeToText(moment, 1);
    bool written = transaction.isActive() && ::settleInterruption(*m_db, gap, answer, &error);
    // The packages' sale moved with the start (the time is not billed), in the file as here.
    for (int n : std::as_const(withPackages))
        written = written
            && moveUsageStart(*m_db, n, 0.0, usageOf(n).packagesText, &error);
    if (written && writeLastSeen(*m_db, moment, &error) && appendLedger(*m_db, e, &error) && transaction.commit()) {
        m_lastSeenWritten = secondOf(moment);
        return;
    }
    // The answer lives in memory only: written again whole with the next change that can be.
    for (const MachineSlot& slot : std::as_const(m_state.machines)) {
        if (m_state.machineTable[slot.number].state == 1)
            markWritten(slot.number, false);
    }
}

QString Counter::unprotectedText() const
{
    QStringList machines;
    QVector<int> sorted = m_unprotected + m_endedUnwritten;
    std::sort(sorted.begin(), sorted.end());
    for (int n : sorted)
        machines.append(toText(n) + QStringLiteral("号"));
    return machines.isEmpty() ? QStringLiteral("操作记录") : machines.join(u'、');
}

QString restoreQuestion(const RestoredUsages& found, const DateTime& back)
{
    QString text = QStringLiteral("程序上次没有正常退出，以下机器已恢复计时：\n");
    for (const UsageRow& row : found.timing)
        text += toText(row.machineNo) + QStringLiteral("号机  上机时间 ") + row.clockText + QStringLiteral("  押金 ")
            + (row.depositText.isEmpty() ? QStringLiteral("0") : row.depositText) + u'\n';
    for (const MachineBill& bill : found.awaitingCheckout)
        text += toText(bill.machineNo) + QStringLiteral("号机已停止，尚未结帐，将重新打开结帐窗口。\n");
    for (int n : found.repriced)
        text += toText(n) + QStringLiteral("号机的计费方案无法读取，按上机时的分钟价计费。\n");
    return text + QStringLiteral("程序最后运行于")
        + (found.lastSeenKnown ? timeToText(found.lastSeen, 1) : QStringLiteral("（不详）")) + QStringLiteral("，于")
        + timeToText(back, 1) + QStringLiteral("重新启动。\n中断期间是否计费？");
}
