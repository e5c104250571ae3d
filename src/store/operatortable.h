#pragma once

#include "common/values.h"
#include "ledgertable.h"

#include <QString>
#include <QVector>

// 操作员: who may work the counter, with a role, a password hash and a lock against guessing.
// Operators are never removed, only disabled, since the ledger names them. Each change is
// written with its ledger row.

QString ownerRole(); // 店长
QString cashierRole(); // 收银员

struct OperatorRecord {
    QString name;
    QString role;
    bool enabled = true;
};

// Every operator in the order they were created; false when the store could not be read.
bool readOperators(Database& db, QVector<OperatorRecord>& operators, QString* error);

// The first operator must be an owner; a name is taken once. The error is the operator's text.
bool addOperator(Database& db, const QString& name, const QString& role, const QString& password, QString* error);
// A new role, and a new password unless it is empty.
bool changeOperator(Database& db, const QString& name, const QString& role, const QString& password, QString* error);
bool setOperatorEnabled(Database& db, const QString& name, bool enabled, QString* error);

// Five wrong passwords in a row lock an operator for five minutes.
constexpr int kPasswordTries = 5;
constexpr int kLockMinutes = 5;

struct PasswordOutcome {
    enum Result { Right, Wrong, Locked, Disabled, NotOwner, Unknown, StoreFailed };
    Result result = StoreFailed;
    QString role;
    int triesLeft = 0; // after a wrong one; 0 when it locked the operator
    DateTime lockedUntil; // while locked
    QString error; // the store's text: for a right password, its row was not written
};

// Checks the password of `name` and writes `onRight` (登录, 授权) when it is right, or a row of
// that kind + 失败 when it is wrong, with the count of wrong tries in the same transaction. An
// owner's authorisation asks for the owner role.
PasswordOutcome checkPassword(
    Database& db, const QString& name, const QString& password, LedgerEntry onRight, bool ownerOnly);

// The text the operator is told for a refused password.
QString passwordRefusal(const PasswordOutcome& outcome);
