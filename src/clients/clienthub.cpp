#include "clienthub.h"

#include "protocol/link.h"
#include "store/clienttable.h"
#include "store/machinetable.h"

#include <QTcpServer>
#include <QTcpSocket>

#include <algorithm>

ClientHub::ClientHub(Database& db, const KeyPair& own, std::function<MachineState(int)> stateOf, QObject* parent)
    : QObject(parent)
    , m_db(db)
    , m_own(own)
    , m_stateOf(std::move(stateOf))
    , m_server(new QTcpServer(this))
{
    readAllowedClients(m_db, m_allowed, nullptr);
    // Connections wait in the system's queue, not in ours, while the counter is busy.
    m_server->setMaxPendingConnections(64);
    connect(m_server, &QTcpServer::newConnection, this, &ClientHub::accept);
}

ClientHub::~ClientHub()
{
    for (SecureLink* link : std::as_const(m_links))
        link->disconnect(this);
}

bool ClientHub::listen(quint16 port, QString* error)
{
    if (m_server->listen(QHostAddress::Any, port))
        return true;
    if (error)
        *error = m_server->errorString();
    return false;
}

quint16 ClientHub::port() const { return m_server->serverPort(); }

void ClientHub::accept()
{
    while (QTcpSocket* socket = m_server->nextPendingConnection()) {
        if (m_links.size() >= kMaxConnections) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        auto* link = new SecureLink(socket, m_own, this);
        m_links.append(link);
        connect(link, &SecureLink::received, this, [this, link](const QByteArray& m) { heard(link, m); });
        connect(link, &SecureLink::closed, this, [this, link] { gone(link); });
    }
}

void ClientHub::heard(SecureLink* link, const QByteArray& message)
{
    // A client only ever says it is there; anything else ends its connection.
    if (!isPresent(message)) {
        link->close();
        return;
    }
    if (m_present.contains(link))
        return;
    const int n = link->machineNo();
    if (n < 1 || n > kMaxMachineNo) {
        link->close();
        return;
    }
    m_present.append(link);
    if (m_allowed.value(n) == link->peerKey()) {
        // The newest connection of a machine's client is the one it uses.
        if (SecureLink* old = m_online.value(n); old && old != link)
            old->close();
        m_online.insert(n, link);
        m_waiting.remove(n);
    } else {
        if (Waiting* w = m_waiting.contains(n) ? &m_waiting[n] : nullptr; w && w->link && w->link != link)
            w->link->close();
        m_waiting.insert(n, { link->peerKey(), link->peerAddress(), link });
    }
    send(n, link, true);
    emit changed();
}

void ClientHub::gone(SecureLink* link)
{
    m_links.removeAll(link);
    m_present.removeAll(link);
    m_sent.remove(link);
    for (auto it = m_online.begin(); it != m_online.end();) {
        it = it.value() == link ? m_online.erase(it) : std::next(it);
    }
    for (Waiting& w : m_waiting) {
        if (w.link == link)
            w.link = nullptr;
    }
    link->deleteLater();
    emit changed();
}

void ClientHub::send(int n, SecureLink* link, bool always)
{
    MachineState state;
    if (m_online.value(n) == link)
        state = m_stateOf(n);
    state.allowed = m_online.value(n) == link;
    const auto last = m_sent.constFind(link);
    if (!always && last != m_sent.constEnd() && *last == state)
        return;
    m_sent.insert(link, state);
    link->send(stateMessage(state));
}

void ClientHub::machineChanged(int n)
{
    if (SecureLink* link = m_online.value(n))
        send(n, link, false);
}

void ClientHub::refreshAll()
{
    for (auto it = m_online.cbegin(); it != m_online.cend(); ++it)
        send(it.key(), it.value(), false);
}

QVector<ClientEntry> ClientHub::entries() const
{
    QVector<int> machines = m_allowed.keys().toVector();
    for (int n : m_waiting.keys())
        machines.append(n);
    std::sort(machines.begin(), machines.end());
    machines.erase(std::unique(machines.begin(), machines.end()), machines.end());
    QVector<ClientEntry> out;
    for (int n : std::as_const(machines)) {
        ClientEntry e;
        e.machineNo = n;
        if (m_waiting.contains(n)) {
            e.status = QStringLiteral("待允许");
            e.fingerprint = keyFingerprint(m_waiting[n].key);
            e.address = m_waiting[n].address;
        } else {
            SecureLink* link = m_online.value(n);
            e.status = link ? QStringLiteral("在线") : QStringLiteral("离线");
            e.fingerprint = keyFingerprint(m_allowed.value(n));
            e.address = link ? link->peerAddress() : QString();
        }
        out.append(e);
    }
    return out;
}

bool ClientHub::allow(int n, QString* error)
{
    const auto it = m_waiting.constFind(n);
    if (it == m_waiting.constEnd()) {
        if (error)
            *error = QStringLiteral("%1号机没有等待允许的客户机！").arg(n);
        return false;
    }
    const Waiting w = *it;
    const QString before = m_allowed.contains(n) ? keyFingerprint(m_allowed.value(n)) : QString();
    if (!allowClient(m_db, n, w.key, before, keyFingerprint(w.key), error))
        return false;
    m_allowed.insert(n, w.key);
    m_waiting.remove(n);
    if (w.link && m_links.contains(w.link)) {
        if (SecureLink* old = m_online.value(n))
            old->close();
        m_online.insert(n, w.link);
        send(n, w.link, true);
    }
    emit changed();
    return true;
}

bool ClientHub::remove(int n, QString* error)
{
    if (m_allowed.contains(n)) {
        if (!removeClient(m_db, n, keyFingerprint(m_allowed.value(n)), error))
            return false;
        m_allowed.remove(n);
    }
    if (SecureLink* link = m_online.value(n))
        link->close();
    if (m_waiting.contains(n) && m_waiting[n].link)
        m_waiting[n].link->close();
    m_waiting.remove(n);
    emit changed();
    return true;
}
