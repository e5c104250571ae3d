#pragma once

#include "protocol/channel.h"
#include "protocol/messages.h"

#include <QHash>
#include <QObject>
#include <QVector>

#include <functional>

class Database;
class QTcpServer;
class SecureLink;

// A client PC as the 客户机 window lists it.
struct ClientEntry {
    int machineNo = 0;
    QString status; // 在线, 离线 or 待允许
    QString fingerprint;
    QString address;
    QByteArray key; // what 允许 and 移除 act on: the key shown, never one that came since
};

// The counter's side of the client PCs: it listens on the café LAN, authenticates every peer,
// and tells the client of each machine whether to lock or unlock. A client is obeyed in
// nothing: it can only say it is there. One that is not allowed for its machine (a new key, or
// a key that changed) waits as 待允许 until the owner compares fingerprints and allows it.
class ClientHub : public QObject {
    Q_OBJECT
public:
    ClientHub(Database& db, const KeyPair& own, std::function<MachineState(int)> stateOf, QObject* parent = nullptr);
    ~ClientHub() override;

    bool listen(quint16 port, QString* error);
    quint16 port() const;
    QString ownFingerprint() const { return keyFingerprint(m_own.publicKey); }

    // Machine n's usage changed: its client hears at once, if it is there.
    void machineChanged(int n);
    // Every client that is there hears its machine's state again (the amount goes on).
    void refreshAll();
    QVector<int> onlineMachines() const { return m_online.keys().toVector(); }

    QVector<ClientEntry> entries() const;
    // The client waiting for machine n with `key` (the one the owner compared) becomes its
    // client; false (why in `error`) when no client with that key waits.
    bool allow(int n, const QByteArray& key, QString* error);
    // The allowed client of machine n, when `key` is its key, or the one waiting with it.
    bool remove(int n, const QByteArray& key, QString* error);
    int connectionCount() const { return int(m_links.size()); }

    static constexpr int kMaxConnections = 600;
    // From one address: connections that have not yet proved a key, and clients that proved one
    // nobody allowed. A café PC needs one of either; a flood gets no more.
    static constexpr int kUnprovenPerAddress = 32;
    static constexpr int kWaitingPerAddress = 2;
    // Many clients on one PC (tests, benchmarks) share one address.
    void setPerAddress(int unproven, int waiting)
    {
        m_unprovenPerAddress = unproven;
        m_waitingPerAddress = waiting;
    }

signals:
    void changed();

private:
    struct Waiting {
        QByteArray key;
        QString address;
        SecureLink* link = nullptr;
    };
    void accept();
    void heard(SecureLink* link, const QByteArray& message);
    void gone(SecureLink* link);
    void send(int n, SecureLink* link, bool always);
    void makeRoom();
    void closeWaitingFrom(const QString& address, int keep, int newest);

    Database& m_db;
    KeyPair m_own;
    std::function<MachineState(int)> m_stateOf;
    QTcpServer* m_server;
    QHash<int, QByteArray> m_allowed; // by machine, as the store holds them
    QHash<int, Waiting> m_waiting;
    QHash<int, SecureLink*> m_online;
    QVector<SecureLink*> m_links;
    QVector<SecureLink*> m_present; // proved their key
    QHash<SecureLink*, MachineState> m_sent;
    int m_unprovenPerAddress = kUnprovenPerAddress;
    int m_waitingPerAddress = kWaitingPerAddress;
};
