#pragma once

#include "channel.h"

#include <QString>

// A program's own key pair and a peer's pinned public key, in files only their user may read.

// The key pair kept at `path`, made (and written, readable by its user only) when there is none;
// false with why when it cannot be read or written, or is not a key pair of this program's.
bool loadOrCreateKeyPair(const QString& path, KeyPair& pair, QString* error);
// The public key pinned at `path`: empty when none is pinned yet (or the file is no key).
QByteArray readPinnedKey(const QString& path);
bool pinKey(const QString& path, const QByteArray& publicKey, QString* error);
// A pin file that is there but holds no key: nobody may be trusted in its place.
bool isPinDamaged(const QString& path);
