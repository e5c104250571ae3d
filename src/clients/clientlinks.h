#pragma once

#include "protocol/channel.h"
#include "protocol/messages.h"

#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QVector>

#include <functional>

class QTcpServer;
class SecureLink;

// What the links' thread tells the counter's: who is there, who waits, and which commands it
// has carried out (so that a picture older than the counter's last command is never shown).
struct LinksPicture {
    quint64 done = 0;
    QHash<int, QString> online; // machine → address
    struct Waiting {
        QByteArray key;
        QString address;
    };
    QHash<int, Waiting> waiting;
    int connections = 0;
};

// The client PCs' connections, on a thread of their own so that a crowd of clients, or a
// flood, never takes the counter's time: sockets, handshakes, sealing and every decision on
// who is let in. It never reaches the store; the counter hands it the allowed keys and the
// machines' states, and it answers with pictures of what it holds.
class ClientLinks : public QObject {
    Q_OBJECT
public:
    struct Peer {
        std::function<void(const LinksPicture&)> picture;
        std::function<void(int)> stateWanted; // a client just came for this machine
    };
    ClientLinks(const KeyPair& own, QHash<int, QByteArray> allowed, Peer peer);
    ~ClientLinks() override;

    bool listen(quint16 port, QString* error);
    quint16 port() const;
    void setPerAddress(int unproven, int waiting);

    // Machines' states as the counter computed them: their clients hear them at once.
    void setStates(const QVector<QPair<int, MachineState>>& states);
    void allow(int n, const QByteArray& key, quint64 command);
    void remove(int n, const QByteArray& key, quint64 command);

    static constexpr int kMaxConnections = 600;
    static constexpr int kUnprovenPerAddress = 32;
    static constexpr int kWaitingPerAddress = 2;

private:
    struct Waiting {
        QByteArray key;
        QString address;
        SecureLink* link = nullptr;
    };
    struct Known {
        MachineState state;
        QElapsedTimer since; // the used and the left time go on from when it was computed
    };
    void accept();
    void heard(SecureLink* link, const QByteArray& message);
    void gone(SecureLink* link);
    void goOnline(int n, SecureLink* link);
    void send(SecureLink* link);
    void makeRoom();
    void closeWaitingFrom(const QString& address, int keep, int newest);
    void publish();

    KeyPair m_own;
    QHash<int, QByteArray> m_allowed;
    Peer m_peer;
    QTcpServer* m_server;
    QHash<int, Waiting> m_waiting;
    QHash<int, SecureLink*> m_online;
    QVector<SecureLink*> m_links;
    QVector<SecureLink*> m_present; // proved their key
    QHash<int, Known> m_known; // of the machines online, once the counter has said
    quint64 m_done = 0;
    bool m_publishing = false;
    int m_unprovenPerAddress = kUnprovenPerAddress;
    int m_waitingPerAddress = kWaitingPerAddress;
};

// A state computed `seconds` ago, as it is now.
MachineState advancedBy(const MachineState& state, qint64 seconds);
