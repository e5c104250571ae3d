#pragma once

#include <QString>

// Operators' passwords are kept only as an Argon2id hash with its own salt and cost, so the
// file never holds a password, and a copy of it gives nobody one back cheaply.

// The hash to store; the empty text when it could not be made (the library failed to start or
// the memory it needs was not to be had).
QString hashPassword(const QString& password);

// Whether the password is the one the stored hash was made from; false for a damaged hash.
bool passwordMatches(const QString& storedHash, const QString& password);
