#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>

class Database;

// 客户机: the client PC the owner allowed for each machine, by the public key it proved it
// holds. Each change is written with its ledger row (客户机), all or nothing.

bool readAllowedClients(Database& db, QHash<int, QByteArray>& keys, QString* error);
// `fingerprintBefore`/`fingerprintAfter` are what the owner compared, for the ledger.
bool allowClient(Database& db, int machineNo, const QByteArray& publicKey, const QString& fingerprintBefore,
    const QString& fingerprintAfter, QString* error);
bool removeClient(Database& db, int machineNo, const QString& fingerprint, QString* error);
