#pragma once

#include "channel.h"
#include "frames.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>

#include <memory>

class QHostAddress;
class QTcpSocket;
class QTimer;

// One authenticated connection between the counter and a client PC over TCP: frames, the
// handshake, sealed messages and the bounds on what a peer may send. A peer that breaks a
// frame, fails the handshake or its deadline, sends a message that does not open, sends too
// much or falls silent is dropped at once; the link then says closed() and never again speaks.
class SecureLink : public QObject {
    Q_OBJECT
public:
    // The counter's side of a connection it accepted; it takes the socket.
    SecureLink(QTcpSocket* accepted, const KeyPair& own, QObject* parent = nullptr);
    // The client's side: connects and says hello for its machine.
    SecureLink(const QString& host, quint16 port, const KeyPair& own, int machineNo, QObject* parent = nullptr);
    ~SecureLink() override;

    bool isReady() const { return m_channel.isReady() && !m_closed; }
    QByteArray peerKey() const { return m_channel.peerKey(); }
    int machineNo() const { return m_channel.machineNo(); }
    QString peerAddress() const;
    // An address as the café knows it: an IPv4 peer of a dual-stack socket as IPv4.
    static QString addressText(const QHostAddress& address);
    void send(const QByteArray& message);
    void close();

    // What a peer may send in one second before it is dropped: far more than a client says.
    static constexpr qint64 kMaxBytesPerSecond = 256 * 1024;

signals:
    void ready(); // the handshake is done: peerKey() and machineNo() are known
    void received(const QByteArray& message);
    void closed(const QString& why);

private:
    void readAvailable();
    void frame(const QByteArray& payload);
    void drop(const QString& why);
    void setUp();

    QPointer<QTcpSocket> m_socket;
    SecureChannel m_channel;
    FrameReader m_reader;
    QTimer* m_deadline;
    QTimer* m_silence;
    QElapsedTimer m_window; // of the peer's allowance
    qint64 m_windowBytes = 0;
    bool m_client;
    bool m_closed = false;
};
