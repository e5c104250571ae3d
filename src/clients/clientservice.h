#pragma once

#include "protocol/messages.h"

#include <QHash>
#include <QObject>
#include <QString>

class ClientHub;
class Counter;
class Database;
class QTimer;

// The client PCs as the program runs them: off unless jishi.ini's [客户机] says 启用=1 (then
// the counter listens on 端口=, 5188 by default), the counter's key pair kept beside the data,
// and every change of a machine's usage passed to its client.
class ClientService : public QObject {
    Q_OBJECT
public:
    ClientService(Counter& counter, Database& db, QObject* parent = nullptr);
    ~ClientService() override;

    // As the settings say: listening or not. What went wrong, for the operator; empty when
    // nothing did.
    QString apply();
    bool isEnabled() const { return m_enabled; }
    quint16 port() const { return m_port; }
    // The owner's setting, written to jishi.ini and applied.
    QString configure(bool enabled, quint16 port);
    ClientHub* hub() const { return m_hub; }
    // The clients whose machine's row changed since they last heard (its amount, its minutes)
    // hear it; the others are not even looked at.
    void refresh();
    int onlineCount() const;

    static constexpr quint16 kDefaultPort = 5188;

signals:
    // Clients came or went, or the feature was turned on or off.
    void clientsChanged();

private:
    void showStatuses();

    Counter& m_counter;
    Database& m_db;
    ClientHub* m_hub = nullptr;
    QTimer* m_refresh;
    QVector<quint64> m_revisions; // by machine: its row's revision when its client was last told
    bool m_enabled = false;
    quint16 m_port = kDefaultPort;
};

// Machine n's state as its client is told it.
MachineState machineStateOf(const Counter& counter, int n);
