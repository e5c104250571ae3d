#include "keyfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

bool writePrivately(const QString& path, const QByteArray& bytes, QString* error)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    // Made readable by its user only before its first byte, then put in place whole.
    const QString next = path + QStringLiteral(".new");
    QFile::remove(next);
    QFile file(next);
    bool ok = file.open(QIODevice::WriteOnly | QIODevice::NewOnly, QFileDevice::ReadOwner | QFileDevice::WriteOwner)
        && file.write(bytes) == bytes.size() && file.flush();
    file.close();
    ok = ok && (!QFile::exists(path) || QFile::remove(path)) && QFile::rename(next, path);
    if (!ok) {
        if (error)
            *error = file.errorString();
        QFile::remove(next);
    }
    return ok;
}

} // namespace

bool loadOrCreateKeyPair(const QString& path, KeyPair& pair, QString* error)
{
    QFile file(path);
    if (file.exists()) {
        if (!file.open(QIODevice::ReadOnly)) {
            if (error)
                *error = file.errorString();
            return false;
        }
        const QByteArray bytes = file.read(65);
        if (bytes.size() != 64) {
            if (error)
                *error = QStringLiteral("密钥文件已损坏：") + QDir::toNativeSeparators(path);
            return false;
        }
        pair.publicKey = bytes.left(32);
        pair.secretKey = bytes.mid(32);
        return true;
    }
    pair = KeyPair::generate();
    return pair.isValid() && writePrivately(path, pair.publicKey + pair.secretKey, error);
}

QByteArray readPinnedKey(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray key = file.read(33);
    return key.size() == 32 ? key : QByteArray();
}

bool isPinDamaged(const QString& path) { return QFile::exists(path) && readPinnedKey(path).isEmpty(); }

bool pinKey(const QString& path, const QByteArray& publicKey, QString* error)
{
    return writePrivately(path, publicKey, error);
}
