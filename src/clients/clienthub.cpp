#include "clienthub.h"

#include "protocol/link.h"

#include <QHostAddress>
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
        const QString address = SecureLink::addressText(socket->peerAddress());
        makeRoom();
        int unproven = 0;
        for (SecureLink* l : std::as_const(m_links))
            unproven += !m_present.contains(l) && l->peerAddress() == address;
        if (m_links.size() >= kMaxConnections || unproven >= m_unprovenPerAddress) {
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

void ClientHub::makeRoom()
{
    if (m_links.size() < kMaxConnections)
        return;
    // Full: the oldest connection that has proved nothing goes, so that those that do not
    // finish their handshake never keep a real client out.
    for (SecureLink* l : std::as_const(m_links)) {
        if (!m_present.contains(l)) {
            l->close();
            return;
        }
    }
}

void ClientHub::closeWaitingFrom(const QString& address, int keep, int newest)
{
    // The one that just came stays; of the others from that address, those beyond `keep` go.
    QVector<int> from;
    for (auto it = m_waiting.cbegin(); it != m_waiting.cend(); ++it) {
        if (it->link && it->address == address && it.key() != newest)
            from.append(it.key());
    }
    while (from.size() >= keep && !from.isEmpty()) {
        const int n = from.takeFirst();
        if (SecureLink* l = m_waiting[n].link)
            l->close();
        m_waiting.remove(n);
    }
}

void ClientHub::heard(SecureLink* link, const QByteArray& message)
{
    // A client only ever says it is there; anything else ends its connection.
    if (!isPresent(message)) {
        link->close();
        return;
    }
    // Said again: it hears its state again, so that a quiet machine's link stays alive.
    if (m_present.contains(link)) {
        const auto last = m_sent.constFind(link);
        if (last != m_sent.constEnd())
            link->send(stateMessage(*last));
        return;
    }
    const int n = link->machineNo();
    const QByteArray key = link->peerKey();
    // A key allowed for one machine is no client of another.
    const bool keyOfAnother = std::any_of(m_allowed.cbegin(), m_allowed.cend(), [&](const QByteArray& k) { return k == key; })
        && m_allowed.value(n) != key;
    if (n < 1 || n > kMaxMachineNo || keyOfAnother) {
        link->close();
        return;
    }
    m_present.append(link);
    if (m_allowed.value(n) == key) {
        // The newest connection of a machine's client is the one it uses.
        if (SecureLink* old = m_online.value(n); old && old != link)
            old->close();
        m_online.insert(n, link);
        if (m_waiting.contains(n) && m_waiting[n].key == key) {
            if (SecureLink* w = m_waiting[n].link; w && w != link)
                w->close();
            m_waiting.remove(n);
        }
    } else {
        if (m_waiting.contains(n)) {
            if (SecureLink* w = m_waiting[n].link; w && w != link)
                w->close();
        }
        m_waiting.insert(n, { key, link->peerAddress(), link });
        closeWaitingFrom(link->peerAddress(), m_waitingPerAddress, n);
    }
    if (m_links.contains(link))
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
    // A copy: a send may end a link, which leaves the list.
    const QHash<int, SecureLink*> online = m_online;
    for (auto it = online.cbegin(); it != online.cend(); ++it) {
        if (m_links.contains(it.value()))
            send(it.key(), it.value(), false);
    }
}

QVector<ClientEntry> ClientHub::entries() const
{
    QVector<int> machines = m_allowed.keys().toVector();
    for (int n : m_waiting.keys())
        machines.append(n);
    std::sort(machines.begin(), machines.end());
    machines.erase(std::unique(machines.begin(), machines.end()), machines.end());
    // A machine's allowed client keeps its row while another key waits for the same machine.
    QVector<ClientEntry> out;
    for (int n : std::as_const(machines)) {
        if (m_allowed.contains(n)) {
            SecureLink* link = m_online.value(n);
            out.append({ n, link ? QStringLiteral("在线") : QStringLiteral("离线"), keyFingerprint(m_allowed.value(n)),
                link ? link->peerAddress() : QString(), m_allowed.value(n) });
        }
        if (m_waiting.contains(n))
            out.append({ n, QStringLiteral("待允许"), keyFingerprint(m_waiting[n].key), m_waiting[n].address,
                m_waiting[n].key });
    }
    return out;
}

bool ClientHub::allow(int n, const QByteArray& key, QString* error)
{
    const auto it = m_waiting.constFind(n);
    if (it == m_waiting.constEnd() || it->key != key) {
        if (error)
            *error = it == m_waiting.constEnd() ? QStringLiteral("%1号机没有等待允许的客户机！").arg(n)
                                                : QStringLiteral("%1号机等待允许的客户机已经换了，请重新核对指纹！").arg(n);
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

bool ClientHub::remove(int n, const QByteArray& key, QString* error)
{
    if (m_allowed.contains(n) && m_allowed.value(n) == key) {
        if (!removeClient(m_db, n, keyFingerprint(key), error))
            return false;
        m_allowed.remove(n);
        if (SecureLink* link = m_online.value(n))
            link->close();
    } else if (m_waiting.contains(n) && m_waiting[n].key == key) {
        if (SecureLink* link = m_waiting[n].link)
            link->close();
        m_waiting.remove(n);
    } else {
        if (error)
            *error = QStringLiteral("%1号机没有这台客户机！").arg(n);
        return false;
    }
    emit changed();
    return true;
}
