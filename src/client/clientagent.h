#pragma once

#include "protocol/channel.h"
#include "protocol/messages.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>

class QTimer;
class SecureLink;

// What the client PC shows: waiting to be allowed, locked, or running with its timer.
struct ClientView {
    enum Screen { Waiting, Locked, Running };
    Screen screen = Waiting;
    QString used; // 已用时间
    QString amount; // the counter's figure
    QString left; // 剩余时间; empty without a 定时
    QString warning; // 10, 5 and 1 minutes left, or the lost connection
    QString note; // why the counter was refused
    bool connected = false;
};

// The client's side of its machine: connects to the counter (again and again, 1 to 30 s apart,
// while it cannot be reached), pins the counter's key at first contact and refuses a counter
// whose key changed, and shows what the counter says. While the counter cannot be reached it
// keeps what it showed, and a 定时 still ends on time, by the clock that counts time passing.
class ClientAgent : public QObject {
    Q_OBJECT
public:
    ClientAgent(const QString& host, quint16 port, int machineNo, const KeyPair& own, const QString& pinPath,
        QObject* parent = nullptr);
    ~ClientAgent() override;

    void start();
    const ClientView& view() const { return m_view; }
    int machineNo() const { return m_machineNo; }
    QString ownFingerprint() const { return keyFingerprint(m_own.publicKey); }
    // Empty until the counter's key is pinned.
    QString counterFingerprint() const;

signals:
    void viewChanged();

private:
    void connectNow();
    void linkReady();
    void heard(const QByteArray& message);
    void linkClosed();
    void tick();
    void show();

    QString m_host;
    quint16 m_port;
    int m_machineNo;
    KeyPair m_own;
    QString m_pinPath;
    QPointer<SecureLink> m_link;
    QTimer* m_retry;
    QTimer* m_present;
    QTimer* m_second;
    int m_backoffMs = 1000;
    bool m_pinPending = false; // the counter's key is pinned at its first message
    MachineState m_state;
    QElapsedTimer m_since; // since m_state was heard
    ClientView m_view;
    ClientView m_shown; // as last said to the screens
};
