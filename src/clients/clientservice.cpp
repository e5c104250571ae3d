#include "clientservice.h"

#include "clienthub.h"
#include "common/egridmodel.h"
#include "common/seams.h"
#include "common/values.h"
#include "counter/consolegrid.h"
#include "counter/counter.h"
#include "protocol/keyfile.h"
#include "store/inifile.h"

#include <QTimer>

namespace {

const QString kSection = QStringLiteral("客户机");

IniFile settings() { return IniFile(seams::dataFile(QStringLiteral("jishi.ini"))); }

} // namespace

MachineState machineStateOf(const Counter& counter, int n)
{
    MachineState s;
    s.allowed = true;
    s.timing = counter.isTiming(n);
    if (!s.timing)
        return s;
    const int row = counter.state().rowOf(n);
    const MachineRecord& m = counter.state().machineTable[n];
    // Within what a client takes: ten days at most, and the amount as the grid holds it.
    s.usedSeconds = std::clamp<qint64>(qint64(std::floor((now().days - m.startTime.days) * 86400.0 + 0.5)), 0,
        10LL * 24 * 3600);
    s.amount = counter.grid().getCell(row, ConsoleColumn::Amount);
    const int fixed = toInteger(toNumber(counter.grid().getCell(row, ConsoleColumn::FixedTime)));
    if (fixed > 0)
        s.leftSeconds = std::clamp<qint64>(qint64(fixed) * 60 - s.usedSeconds, 0, 10LL * 24 * 3600);
    return s;
}

ClientService::ClientService(Counter& counter, Database& db, QObject* parent)
    : QObject(parent)
    , m_counter(counter)
    , m_db(db)
    , m_refresh(new QTimer(this))
{
    counter.setObserver([this](int n) {
        if (m_hub)
            m_hub->machineChanged(n);
    });
    // The amount goes on between changes; a client hears it every few seconds.
    connect(m_refresh, &QTimer::timeout, this, &ClientService::refresh);
}

ClientService::~ClientService() { m_counter.setObserver({}); }

QString ClientService::apply()
{
    const IniFile ini = settings();
    m_enabled = ini.read(kSection, QStringLiteral("启用"), QStringLiteral("0")).trimmed() == u"1";
    bool ok = false;
    const int port = ini.read(kSection, QStringLiteral("端口"), QString::number(kDefaultPort)).trimmed().toInt(&ok);
    m_port = ok && port >= 1 && port <= 65535 ? quint16(port) : kDefaultPort;
    delete m_hub;
    m_hub = nullptr;
    m_refresh->stop();
    showStatuses();
    if (!m_enabled)
        return QString();
    KeyPair own;
    QString error;
    if (!loadOrCreateKeyPair(seams::dataFile(QStringLiteral("clientlink.key")), own, &error))
        return QStringLiteral("无法读取收银台的客户机密钥：") + error;
    m_hub = new ClientHub(m_db, own, [this](int n) { return machineStateOf(m_counter, n); }, this);
    connect(m_hub, &ClientHub::changed, this, &ClientService::showStatuses);
    showStatuses();
    if (!m_hub->listen(m_port, &error))
        return QStringLiteral("客户机管理无法在端口%1上监听：%2").arg(m_port).arg(error);
    m_refresh->start(5000);
    return QString();
}

void ClientService::showStatuses()
{
    m_counter.setClientStatuses(m_hub ? m_hub->statuses() : QHash<int, QString>());
    emit clientsChanged();
}

int ClientService::onlineCount() const { return m_hub ? int(m_hub->onlineMachines().size()) : 0; }

void ClientService::refresh()
{
    if (!m_hub)
        return;
    QVector<int> changed;
    for (int n : m_hub->onlineMachines()) {
        const quint64 revision = m_counter.grid().rowRevision(m_counter.state().rowOf(n));
        if (n >= m_revisions.size())
            m_revisions.resize(n + 1);
        if (m_revisions[n] == revision)
            continue;
        m_revisions[n] = revision;
        changed.append(n);
    }
    if (!changed.isEmpty())
        m_hub->machinesChanged(changed);
}

QString ClientService::configure(bool enabled, quint16 port)
{
    const IniFile ini = settings();
    if (!ini.write(kSection, QStringLiteral("启用"), enabled ? QStringLiteral("1") : QStringLiteral("0"))
        || !ini.write(kSection, QStringLiteral("端口"), QString::number(port)))
        return QStringLiteral("设置无法写入jishi.ini！");
    return apply();
}
