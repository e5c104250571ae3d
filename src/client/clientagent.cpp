#include "clientagent.h"

#include "protocol/keyfile.h"
#include "protocol/link.h"

#include <QTimer>

namespace {

QString clockOf(qint64 seconds)
{
    seconds = std::max<qint64>(0, seconds);
    return QString::asprintf("%02lld:%02lld:%02lld", seconds / 3600, seconds / 60 % 60, seconds % 60);
}

} // namespace

ClientAgent::ClientAgent(const QString& host, quint16 port, int machineNo, const KeyPair& own, const QString& pinPath,
    QObject* parent)
    : QObject(parent)
    , m_host(host)
    , m_port(port)
    , m_machineNo(machineNo)
    , m_own(own)
    , m_pinPath(pinPath)
    , m_retry(new QTimer(this))
    , m_present(new QTimer(this))
    , m_second(new QTimer(this))
{
    m_retry->setSingleShot(true);
    connect(m_retry, &QTimer::timeout, this, &ClientAgent::connectNow);
    connect(m_present, &QTimer::timeout, this, [this] {
        if (m_link)
            m_link->send(presentMessage());
    });
    connect(m_second, &QTimer::timeout, this, &ClientAgent::tick);
    // A client once allowed starts locked; a new one waits to be allowed.
    m_view.screen = readPinnedKey(m_pinPath).isEmpty() && !isPinDamaged(m_pinPath) ? ClientView::Waiting : ClientView::Locked;
}

ClientAgent::~ClientAgent() = default;

QString ClientAgent::counterFingerprint() const
{
    const QByteArray pinned = readPinnedKey(m_pinPath);
    return pinned.isEmpty() ? QString() : keyFingerprint(pinned);
}

void ClientAgent::start()
{
    m_second->start(1000);
    show();
    connectNow();
}

void ClientAgent::connectNow()
{
    if (m_link)
        return;
    m_link = new SecureLink(m_host, m_port, m_own, m_machineNo, this);
    connect(m_link, &SecureLink::ready, this, &ClientAgent::linkReady);
    connect(m_link, &SecureLink::received, this, &ClientAgent::heard);
    connect(m_link, &SecureLink::closed, this, &ClientAgent::linkClosed);
}

void ClientAgent::linkReady()
{
    const QByteArray pinned = readPinnedKey(m_pinPath);
    if (isPinDamaged(m_pinPath) || (!pinned.isEmpty() && pinned != m_link->peerKey())) {
        m_view.note = isPinDamaged(m_pinPath) ? QStringLiteral("收银台密钥文件已损坏，拒绝连接！请联系店主。")
                                              : QStringLiteral("收银台的密钥已改变，拒绝连接！请联系店主。");
        m_link->close();
        return;
    }
    // Pinned once the counter has proved it holds the key: by a message that opens.
    m_pinPending = pinned.isEmpty();
    m_view.note.clear();
    m_link->send(presentMessage());
    m_present->start(kPresentEveryMs);
}

void ClientAgent::heard(const QByteArray& message)
{
    MachineState state;
    if (!readState(message, state)) {
        m_link->close();
        return;
    }
    if (m_pinPending) {
        m_pinPending = false;
        if (!pinKey(m_pinPath, m_link->peerKey(), &m_view.note)) {
            m_link->close();
            return;
        }
    }
    m_backoffMs = 1000;
    m_view.connected = true;
    m_state = state;
    m_since.start();
    show();
}

void ClientAgent::linkClosed()
{
    m_present->stop();
    m_link->deleteLater();
    m_link = nullptr;
    m_view.connected = false;
    show();
    m_retry->start(m_backoffMs);
    m_backoffMs = std::min(m_backoffMs * 2, 30000);
}

void ClientAgent::tick()
{
    if (m_view.screen == ClientView::Running)
        show();
}

void ClientAgent::show()
{
    const qint64 passed = m_since.isValid() ? m_since.elapsed() / 1000 : 0;
    const qint64 left = m_state.leftSeconds < 0 ? -1 : std::max<qint64>(0, m_state.leftSeconds - passed);
    ClientView v = m_view;
    // Until the counter has spoken the screen stays as the client started; a 定时 run out
    // locks even while the counter cannot be reached.
    if (m_since.isValid())
        v.screen = !m_state.allowed                 ? ClientView::Waiting
            : m_state.timing && left != 0           ? ClientView::Running
                                                    : ClientView::Locked;
    v.used = clockOf(m_state.usedSeconds + (m_state.timing ? passed : 0));
    v.amount = m_state.amount.isEmpty() ? QString() : m_state.amount + QStringLiteral("元");
    v.left = left < 0 ? QString() : clockOf(left);
    v.warning.clear();
    if (v.screen == ClientView::Running && left >= 0) {
        for (int minutes : { 1, 5, 10 }) {
            if (left <= minutes * 60) {
                v.warning = QStringLiteral("还剩%1分钟，请注意续费").arg(minutes);
                break;
            }
        }
    }
    if (!v.connected && v.screen == ClientView::Running)
        v.warning = QStringLiteral("与收银台失去连接");
    const bool changed = v.screen != m_shown.screen || v.used != m_shown.used || v.amount != m_shown.amount
        || v.left != m_shown.left || v.warning != m_shown.warning || v.note != m_shown.note
        || v.connected != m_shown.connected;
    m_view = v;
    m_shown = v;
    if (changed)
        emit viewChanged();
}
