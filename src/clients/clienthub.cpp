#include "clienthub.h"

#include "store/clienttable.h"

#include <algorithm>

ClientHub::ClientHub(Database& db, const KeyPair& own, std::function<MachineState(int)> stateOf, QObject* parent)
    : QObject(parent)
    , m_db(db)
    , m_ownKey(own.publicKey)
    , m_stateOf(std::move(stateOf))
{
    readAllowedClients(m_db, m_allowed, nullptr);
    // What the links' thread says comes to this thread as events, and is dropped with this hub.
    ClientLinks::Peer peer;
    peer.picture = [this](const LinksPicture& p) {
        QMetaObject::invokeMethod(this, [this, p] { take(p); }, Qt::QueuedConnection);
    };
    peer.stateWanted = [this](int n) {
        QMetaObject::invokeMethod(this, [this, n] { machineChanged(n); }, Qt::QueuedConnection);
    };
    m_links = new ClientLinks(own, m_allowed, std::move(peer));
    m_links->moveToThread(&m_thread);
    m_thread.setObjectName(QStringLiteral("客户机连接"));
    m_thread.start();
}

ClientHub::~ClientHub()
{
    // The links and their sockets end on their own thread, before it stops.
    QMetaObject::invokeMethod(m_links, [links = m_links] { delete links; }, Qt::BlockingQueuedConnection);
    m_thread.quit();
    m_thread.wait();
}

void ClientHub::post(std::function<void(ClientLinks&)> work)
{
    QMetaObject::invokeMethod(m_links, [links = m_links, work = std::move(work)] { work(*links); }, Qt::QueuedConnection);
}

bool ClientHub::listen(quint16 port, QString* error)
{
    bool ok = false;
    QString why;
    QMetaObject::invokeMethod(m_links, [&] {
        ok = m_links->listen(port, &why);
        m_port = m_links->port();
    }, Qt::BlockingQueuedConnection);
    if (!ok && error)
        *error = why;
    return ok;
}

void ClientHub::setPerAddress(int unproven, int waiting)
{
    post([unproven, waiting](ClientLinks& l) { l.setPerAddress(unproven, waiting); });
}

void ClientHub::machinesChanged(const QVector<int>& machines)
{
    // Worked out here, where the counter's figures are; sealed and sent on the links' thread.
    QVector<QPair<int, MachineState>> states;
    states.reserve(machines.size());
    for (int n : machines)
        states.append({ n, m_stateOf(n) });
    post([states = std::move(states)](ClientLinks& l) { l.setStates(states); });
}

void ClientHub::take(const LinksPicture& picture)
{
    // A picture from before a command of ours would bring back what that command took away.
    if (picture.done < m_commands)
        return;
    m_picture = picture;
    m_onlineList = m_picture.online.keys().toVector();
    emit changed();
}

QVector<ClientEntry> ClientHub::entries() const
{
    QVector<int> machines = m_allowed.keys().toVector();
    for (int n : m_picture.waiting.keys())
        machines.append(n);
    std::sort(machines.begin(), machines.end());
    machines.erase(std::unique(machines.begin(), machines.end()), machines.end());
    // A machine's allowed client keeps its row while another key waits for the same machine.
    QVector<ClientEntry> out;
    for (int n : std::as_const(machines)) {
        if (m_allowed.contains(n)) {
            const auto online = m_picture.online.constFind(n);
            const bool there = online != m_picture.online.constEnd();
            out.append({ n, there ? QStringLiteral("在线") : QStringLiteral("离线"), keyFingerprint(m_allowed.value(n)),
                there ? *online : QString(), m_allowed.value(n) });
        }
        if (const auto w = m_picture.waiting.constFind(n); w != m_picture.waiting.constEnd())
            out.append({ n, QStringLiteral("待允许"), keyFingerprint(w->key), w->address, w->key });
    }
    return out;
}

QHash<int, QString> ClientHub::statuses() const
{
    QHash<int, QString> out;
    for (auto it = m_allowed.cbegin(); it != m_allowed.cend(); ++it)
        out.insert(it.key(), m_picture.online.contains(it.key()) ? QStringLiteral("在线") : QStringLiteral("离线"));
    return out;
}

bool ClientHub::allow(int n, const QByteArray& key, QString* error)
{
    const auto it = m_picture.waiting.constFind(n);
    if (it == m_picture.waiting.constEnd() || it->key != key) {
        if (error)
            *error = it == m_picture.waiting.constEnd() ? QStringLiteral("%1号机没有等待允许的客户机！").arg(n)
                                                        : QStringLiteral("%1号机等待允许的客户机已经换了，请重新核对指纹！").arg(n);
        return false;
    }
    const QString before = m_allowed.contains(n) ? keyFingerprint(m_allowed.value(n)) : QString();
    if (!allowClient(m_db, n, key, before, keyFingerprint(key), error))
        return false;
    m_allowed.insert(n, key);
    m_picture.waiting.remove(n);
    const quint64 command = ++m_commands;
    post([n, key, command](ClientLinks& l) { l.allow(n, key, command); });
    emit changed();
    return true;
}

bool ClientHub::remove(int n, const QByteArray& key, QString* error)
{
    if (m_allowed.contains(n) && m_allowed.value(n) == key) {
        if (!removeClient(m_db, n, keyFingerprint(key), error))
            return false;
        m_allowed.remove(n);
        m_picture.online.remove(n);
        m_onlineList.removeAll(n);
    } else if (m_picture.waiting.contains(n) && m_picture.waiting[n].key == key) {
        m_picture.waiting.remove(n);
    } else {
        if (error)
            *error = QStringLiteral("%1号机没有这台客户机！").arg(n);
        return false;
    }
    const quint64 command = ++m_commands;
    post([n, key, command](ClientLinks& l) { l.remove(n, key, command); });
    emit changed();
    return true;
}
