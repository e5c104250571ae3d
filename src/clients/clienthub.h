#pragma once

#include "clientlinks.h"

#include <QHash>
#include <QObject>
#include <QThread>
#include <QVector>

#include <functional>

class Database;

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
// The connections live on a thread of their own (ClientLinks); this side holds the store's
// allowed keys and the last picture that thread sent.
class ClientHub : public QObject {
    Q_OBJECT
public:
    ClientHub(Database& db, const KeyPair& own, std::function<MachineState(int)> stateOf, QObject* parent = nullptr);
    ~ClientHub() override;

    bool listen(quint16 port, QString* error);
    quint16 port() const { return m_port; }
    QString ownFingerprint() const { return keyFingerprint(m_ownKey); }

    // Machine n's usage changed: its client hears at once, if it is there.
    void machineChanged(int n) { machinesChanged({ n }); }
    void machinesChanged(const QVector<int>& machines);
    const QVector<int>& onlineMachines() const { return m_onlineList; }

    QVector<ClientEntry> entries() const;
    // 在线 or 离线 of each machine with an allowed client.
    QHash<int, QString> statuses() const;
    // The client waiting for machine n with `key` (the one the owner compared) becomes its
    // client; false (why in `error`) when no client with that key waits.
    bool allow(int n, const QByteArray& key, QString* error);
    // The allowed client of machine n, when `key` is its key, or the one waiting with it.
    bool remove(int n, const QByteArray& key, QString* error);
    int connectionCount() const { return m_picture.connections; }

    // From one address: connections that have not yet proved a key, and clients that proved one
    // nobody allowed. A café PC needs one of either; a flood gets no more.
    static constexpr int kUnprovenPerAddress = ClientLinks::kUnprovenPerAddress;
    static constexpr int kWaitingPerAddress = ClientLinks::kWaitingPerAddress;
    // Many clients on one PC (tests, benchmarks) share one address.
    void setPerAddress(int unproven, int waiting);

signals:
    void changed();

private:
    void take(const LinksPicture& picture);
    void post(std::function<void(ClientLinks&)> work);

    Database& m_db;
    QByteArray m_ownKey;
    std::function<MachineState(int)> m_stateOf;
    QHash<int, QByteArray> m_allowed; // by machine, as the store holds them
    QThread m_thread;
    ClientLinks* m_links;
    LinksPicture m_picture;
    QVector<int> m_onlineList; // of the picture, kept because the refresh reads it every few seconds
    quint64 m_commands = 0; // sent to the links' thread; its pictures say how many it has done
    quint16 m_port = 0;
};
