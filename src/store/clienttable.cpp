#include "clienttable.h"

#include "common/values.h"
#include "database.h"
#include "ledgertable.h"
#include "sqltext.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

bool readAllowedClients(Database& db, QHash<int, QByteArray>& keys, QString* error)
{
    keys.clear();
    if (!db.ensureOpen()) {
        if (error)
            *error = db.lastError();
        return false;
    }
    QSqlQuery q(db.connection());
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("select 机号, 公钥 from 客户机"))) {
        if (error)
            *error = errorText(q.lastError());
        return false;
    }
    while (q.next()) {
        // A key another tool wrote is no key: that client has to be allowed again.
        const QByteArray key = QByteArray::fromHex(q.value(1).toString().toLatin1());
        if (key.size() == 32)
            keys.insert(q.value(0).toInt(), key);
    }
    return true;
}

namespace {

// One statement on 客户机 with its ledger row, both or neither.
bool changeClients(Database& db, const LedgerEntry& entry, const QString& statement, const QVariantList& values,
    QString* error)
{
    return changeWithLedger(
        db, entry,
        [&](LedgerEntry&, QString* why) {
            if (db.run(statement, values))
                return true;
            *why = db.lastError();
            return false;
        },
        error);
}

} // namespace

bool allowClient(Database& db, int machineNo, const QByteArray& publicKey, const QString& fingerprintBefore,
    const QString& fingerprintAfter, QString* error)
{
    LedgerEntry entry = ledgerEntry(db, QStringLiteral("客户机"));
    entry.machineNo = machineNo;
    entry.before = fingerprintBefore;
    entry.after = fingerprintAfter;
    entry.detail = QStringLiteral("允许客户机");
    return changeClients(db, entry, QStringLiteral("insert into 客户机 (机号, 公钥, 允许时间) values (?, ?, ?) on conflict (机号) do "
                                                      "update set 公钥=excluded.公钥, 允许时间=excluded.允许时间"),
        { machineNo, QString::fromLatin1(publicKey.toHex()), now().days }, error);
}

bool removeClient(Database& db, int machineNo, const QString& fingerprint, QString* error)
{
    LedgerEntry entry = ledgerEntry(db, QStringLiteral("客户机"));
    entry.machineNo = machineNo;
    entry.before = fingerprint;
    entry.detail = QStringLiteral("移除客户机");
    return changeClients(db, entry, QStringLiteral("delete from 客户机 where 机号=?"), { machineNo }, error);
}
