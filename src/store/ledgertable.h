#pragma once

#include "common/values.h"

#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>

class QSqlDatabase;

class Database;

// 操作记录, the ledger: one row for every movement of money and every change to a usage,
// written in the same transaction as the change it describes, and never changed or removed
// (triggers refuse it). Each row carries a SHA-256 over the previous row's hash and its own
// fields, so a row changed, removed or inserted out of order by any other tool breaks the
// chain from there on.

struct LedgerEntry {
    DateTime time; // to the second
    QString operatorName; // empty while no operator is defined
    QString authorisedBy; // the owner who allowed it, for an owner-only action
    QString kind; // 开始, 停止, 改押金, 结帐, 充值, …
    int machineNo = 0;
    QString cardNo;
    QString goodsName;
    double amount = 0.0;
    double cash = 0.0; // into the drawer (negative: out of it)
    double card = 0.0; // onto a member card (negative: taken from it)
    QString before;
    QString after;
    QString detail;
    int shift = 0;
    // A payment: how it was made (现金, 微信, …; empty for rows that move no money), the last
    // digits of its reference, what a method other than cash took in (cash goes in `cash`),
    // and the bonus a top-up put on the card beside the payment.
    QString method;
    QString reference;
    double received = 0.0;
    double bonus = 0.0;
};

// The ways a customer pays, cash first.
QStringList paymentMethods();
inline bool isCashMethod(const QString& method) { return method.isEmpty() || method == u"现金"; }
// Why a payment's method and reference cannot be recorded (empty when they can): a method of
// the list, and a reference of digits only, at most 24 of them.
QString paymentRefusal(const QString& method, const QString& reference);
// 单号 as typed: full-width digits folded, blanks around it trimmed.
QString paymentReference(const QString& typed);
// A payment of `amount` by `method` on the row: cash goes into the drawer's column, any other
// method into `received`.
void putPayment(LedgerEntry& entry, double amount, const QString& method, const QString& reference);

// A row of that kind, now, by whoever works the counter.
LedgerEntry ledgerEntry(const Database& db, const QString& kind);

// Appends the row inside the caller's transaction (or one of its own).
bool appendLedger(Database& db, const LedgerEntry& entry, QString* error);

// A change and its ledger row in one transaction, both or neither; the change may fill in the
// row (the values before and after).
bool changeWithLedger(Database& db, LedgerEntry entry, const std::function<bool(LedgerEntry&, QString*)>& change,
    QString* error);

// The hash of a row, as hex, from the previous row's hash (empty for the first row).
QString ledgerHash(const QString& previousHash, qint64 number, const LedgerEntry& entry);
// The same from a row's stored texts, UTF-8, in the ledger's column order from 时间 to 赠送 (18
// of them; amounts with four decimals, numbers in decimal), as another engine gives them back.
QString storedRowHash(const QString& previousHash, qint64 number, const QVector<QByteArray>& fields);

// The chain of a ledger on a PostgreSQL server, worked out again from the rows it gives back.
struct ServerLedgerCheck {
    qint64 rows = 0;
    qint64 firstBroken = 0; // counted from 1; 0 when the chain holds
    QString lastHash;
    bool stopped = false; // by `progress`
};
ServerLedgerCheck checkServerLedger(
    QSqlDatabase& server, QString* error, const std::function<bool(qint64 done)>& progress = {});

struct LedgerCheck {
    bool readable = false;
    qint64 rows = 0;
    qint64 firstBroken = 0; // counted from 1 in the ledger's order; 0 when the chain holds
    qint64 removedAtEnd = 0; // rows the file lacks after the newest head the program knows
    QString newestHash;
};

// Walks the whole chain; `progress` (rows done, rows in all) may stop it by returning false.
// Rows removed from the end leave a chain that holds: the newest head the program knows (see
// rememberLedgerHead) tells them. An intact chain becomes the head known.
LedgerCheck checkLedger(Database& db, const std::function<bool(qint64, qint64)>& progress = {});
// A walk that found the chain whole, held against the newest head the program knows (rows
// removed from the end), which it then becomes.
void compareWithKnownHead(Database& db, LedgerCheck& check);
// The walk itself, on read-only connections of its own: callable from any thread. It reads a
// thousand rows at a time, so a booking waits at most for one such read.
LedgerCheck checkLedgerFile(const QString& path, const std::function<bool(qint64, qint64)>& progress = {});
// Where the walk finds the ledger of the store a connection is open on, taken in the
// connection's thread; and the walk there, a file's or a server's (on a connection of its own),
// from any thread.
struct LedgerPlace {
    bool onServer = false;
    QString address; // the file's path, or the server as openPgConnection takes it
};
LedgerPlace ledgerPlace(const Database& db);
LedgerCheck checkLedgerAt(const LedgerPlace& place, const std::function<bool(qint64, qint64)>& progress = {});

// Keeps the ledger's newest row (number and hash) in a small file beside the database, the
// place a check compares the file with. Written at moments the program knows the file whole:
// a verified backup, a handover, the close. It only moves forward along the chain it knows, so
// that rows removed meanwhile stay found; a restore, which puts an older file in place on
// purpose, moves it back (`restored`).
bool rememberLedgerHead(Database& db, bool restored = false);

// The kinds of row the program writes, in the order the ledger window offers them.
QStringList ledgerKinds();

struct LedgerRow {
    qint64 number = 0;
    LedgerEntry entry;
};

// The rows of the days from `from` to `to`, in the ledger's order; an empty filter takes every
// operator, kind or payment method (现金: the rows that moved cash, before methods were kept too).
// False when the ledger could not be read (error says why).
bool readLedger(Database& db, DateTime from, DateTime to, const QString& operatorName, const QString& kind,
    QVector<LedgerRow>& rows, QString* error, const QString& method = QString());

// The hourly rate the ledger knows last, from a change of the rate or a machine's start; false
// when the ledger could not be read, the empty text when it knows none.
bool readLastRate(Database& db, QString& rate);

// The operators the ledger can name, in the order they were created.
QStringList operatorNames(Database& db);
