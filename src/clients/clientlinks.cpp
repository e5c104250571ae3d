#include "clientlinks.h"

#include "protocol/link.h"
#include "store/machinetable.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <algorithm>

MachineState advancedBy(const MachineState& state, qint64 seconds)
{
    MachineState s = state;
    if (!s.timing || seconds <= 0)
        return s;
    constexpr qint64 kMost = 10LL * 24 * 3600; // what a client takes
    s.usedSeconds = std::min(s.usedSeconds + seconds, kMost);
    if (s.leftSeconds >= 0)
        s.leftSeconds = std::max<qint64>(0, s.leftSeconds - seconds);
    return s;
}

ClientLinks::ClientLinks(const KeyPair& own, QHash<int, QByteArray> allowed, Peer peer)
    : m_own(own)
    , m_allowed(std::move(allowed))
    , m_peer(std::move(peer))
    , m_server(new QTcpServer(this))
{
    // Connections wait in the system's queue, not in ours, while this thread is busy.
    m_server->setMaxPendingConnections(64);
    connect(m_server, &QTcpServer::newConnection, this, &ClientLinks::accept);
}

ClientLinks::~ClientLinks()
{
    for (SecureLink* link : std::as_const(m_links))
        link->disconnect(this);
}

bool ClientLinks::listen(quint16 port, QString* error)
{
    if (m_server->listen(QHostAddress::Any, port))
        return true;
    if (error)
        *error = m_server->errorString();
    return false;
}

quint16 ClientLinks::port() const { return m_server->serverPort(); }

void ClientLinks::setPerAddress(int unproven, int waiting)
{
    m_unprovenPerAddress = unproven;
    m_waitingPerAddress = waiting;
}

void ClientLinks::accept()
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
    publish();
}

void ClientLinks::makeRoom()
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

void ClientLinks::closeWaitingFrom(const QString& address, int keep, int newest)
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

void ClientLinks::heard(SecureLink* link, const QByteArray& message)
{
    // A client only ever says it is there; anything else ends its connection.
    if (!isPresent(message)) {
        link->close();
        return;
    }
    // Said again: it hears its state again, as it is now, so that a quiet machine's link
    // stays alive and its clock never goes back.
    if (m_present.contains(link)) {
        send(link);
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
        if (m_waiting.contains(n) && m_waiting[n].key == key) {
            if (SecureLink* w = m_waiting[n].link; w && w != link)
                w->close();
            m_waiting.remove(n);
        }
        goOnline(n, link);
    } else {
        if (m_waiting.contains(n)) {
            if (SecureLink* w = m_waiting[n].link; w && w != link)
                w->close();
        }
        m_waiting.insert(n, { key, link->peerAddress(), link });
        closeWaitingFrom(link->peerAddress(), m_waitingPerAddress, n);
        if (m_links.contains(link))
            send(link);
    }
    publish();
}

void ClientLinks::goOnline(int n, SecureLink* link)
{
    // The newest connection of a machine's client is the one it uses.
    if (SecureLink* old = m_online.value(n); old && old != link)
        old->close();
    if (!m_links.contains(link))
        return;
    m_online.insert(n, link);
    // It hears its state once the counter has worked it out afresh.
    m_peer.stateWanted(n);
}

void ClientLinks::gone(SecureLink* link)
{
    m_links.removeAll(link);
    m_present.removeAll(link);
    for (auto it = m_online.begin(); it != m_online.end();)
        it = it.value() == link ? m_online.erase(it) : std::next(it);
    for (Waiting& w : m_waiting) {
        if (w.link == link)
            w.link = nullptr;
    }
    link->deleteLater();
    publish();
}

void ClientLinks::send(SecureLink* link)
{
    const int n = link->machineNo();
    if (m_online.value(n) != link) {
        link->send(stateMessage(MachineState {})); // not allowed: nothing else counts
        return;
    }
    const auto known = m_known.constFind(n);
    if (known == m_known.constEnd())
        return; // the counter's word is on its way
    MachineState state = advancedBy(known->state, known->since.elapsed() / 1000);
    state.allowed = true;
    link->send(stateMessage(state));
}

void ClientLinks::setStates(const QVector<QPair<int, MachineState>>& states)
{
    for (const auto& [n, state] : states) {
        Known& k = m_known[n];
        k.state = state;
        k.since.start();
        if (SecureLink* link = m_online.value(n))
            send(link);
    }
}

void ClientLinks::allow(int n, const QByteArray& key, quint64 command)
{
    m_done = command;
    m_allowed.insert(n, key);
    const auto it = m_waiting.constFind(n);
    if (it != m_waiting.constEnd() && it->key == key) {
        SecureLink* link = it->link;
        m_waiting.remove(n);
        if (link && m_links.contains(link))
            goOnline(n, link);
    }
    publish();
}

void ClientLinks::remove(int n, const QByteArray& key, quint64 command)
{
    m_done = command;
    if (m_allowed.value(n) == key) {
        m_allowed.remove(n);
        if (SecureLink* link = m_online.value(n))
            link->close();
    } else if (m_waiting.contains(n) && m_waiting[n].key == key) {
        if (SecureLink* link = m_waiting[n].link)
            link->close();
        m_waiting.remove(n);
    }
    publish();
}

void ClientLinks::publish()
{
    // Once per turn of this thread's loop, however many changes it made.
    if (m_publishing)
        return;
    m_publishing = true;
    QTimer::singleShot(0, this, [this] {
        m_publishing = false;
        LinksPicture p;
        p.done = m_done;
        for (auto it = m_online.cbegin(); it != m_online.cend(); ++it)
            p.online.insert(it.key(), it.value()->peerAddress());
        for (auto it = m_waiting.cbegin(); it != m_waiting.cend(); ++it)
            p.waiting.insert(it.key(), { it->key, it->address });
        p.connections = int(m_links.size());
        m_peer.picture(p);
    });
}
