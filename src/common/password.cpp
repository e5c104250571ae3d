#include "password.h"

#include <sodium.h>

#include <algorithm>

namespace {

bool sodiumReady()
{
    static const bool ready = sodium_init() >= 0;
    return ready;
}

} // namespace

QString hashPassword(const QString& password)
{
    if (!sodiumReady())
        return QString();
    const QByteArray bytes = password.toUtf8();
    char out[crypto_pwhash_STRBYTES];
    // The interactive cost takes about a tenth of a second here: slow for a guesser, unnoticed
    // at a login.
    if (crypto_pwhash_str(out, bytes.constData(), static_cast<unsigned long long>(bytes.size()),
            crypto_pwhash_OPSLIMIT_INTERACTIVE, crypto_pwhash_MEMLIMIT_INTERACTIVE)
        != 0)
        return QString();
    return QString::fromLatin1(out);
}

bool passwordMatches(const QString& storedHash, const QString& password)
{
    if (!sodiumReady())
        return false;
    const QByteArray hash = storedHash.toLatin1();
    if (hash.isEmpty() || hash.size() >= crypto_pwhash_STRBYTES)
        return false;
    char stored[crypto_pwhash_STRBYTES] = {};
    std::copy(hash.cbegin(), hash.cend(), stored);
    const QByteArray bytes = password.toUtf8();
    return crypto_pwhash_str_verify(stored, bytes.constData(), static_cast<unsigned long long>(bytes.size())) == 0;
}
