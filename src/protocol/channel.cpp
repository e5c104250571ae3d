#include "channel.h"

#include <QtEndian>

#include <sodium.h>

namespace {

constexpr char kHelloMagic[4] = { 'L', 'T', 'C', '1' };
constexpr char kReplyMagic[4] = { 'L', 'T', 'S', '1' };
constexpr int kKey = 32;
constexpr int kHelloBytes = 4 + kKey + kKey + 2;
constexpr int kReplyBytes = 4 + kKey + kKey;

bool ready()
{
    static const bool initialised = sodium_init() >= 0;
    return initialised;
}

const unsigned char* bytes(const QByteArray& a) { return reinterpret_cast<const unsigned char*>(a.constData()); }
unsigned char* bytes(QByteArray& a) { return reinterpret_cast<unsigned char*>(a.data()); }

// X25519 of a secret and a public key; empty for a public key of low order, which would give
// every peer the same secret.
QByteArray agree(const QByteArray& secret, const QByteArray& publicKey)
{
    QByteArray shared(crypto_scalarmult_BYTES, '\0');
    if (crypto_scalarmult(bytes(shared), bytes(secret), bytes(publicKey)) != 0)
        return {};
    return shared;
}

void nonceOf(quint64 number, unsigned char* nonce)
{
    std::fill(nonce, nonce + crypto_aead_chacha20poly1305_ietf_NPUBBYTES, 0);
    qToBigEndian(number, nonce + 4);
}

bool fail(QString* error, const QString& text)
{
    if (error)
        *error = text;
    return false;
}

} // namespace

KeyPair KeyPair::generate()
{
    KeyPair pair;
    if (!ready())
        return pair;
    pair.publicKey.resize(crypto_kx_PUBLICKEYBYTES);
    pair.secretKey.resize(crypto_kx_SECRETKEYBYTES);
    crypto_kx_keypair(bytes(pair.publicKey), bytes(pair.secretKey));
    return pair;
}

QString keyFingerprint(const QByteArray& publicKey)
{
    // Eight digits are what two people can compare aloud; 27 bits of a keyed hash of the key.
    unsigned char hash[8];
    crypto_generichash(hash, sizeof hash, bytes(publicKey), size_t(publicKey.size()),
        reinterpret_cast<const unsigned char*>("langtuo fingerprint"), 19);
    const quint64 n = qFromBigEndian<quint64>(hash) % 100000000ULL;
    const QString digits = QString::number(n).rightJustified(8, u'0');
    return digits.left(4) + u' ' + digits.mid(4);
}

SecureChannel::SecureChannel(Role role, const KeyPair& own)
    : m_role(role)
    , m_own(own)
    , m_fresh(KeyPair::generate())
{
}

SecureChannel::~SecureChannel()
{
    for (QByteArray* secret : { &m_fresh.secretKey, &m_sendKey, &m_receiveKey }) {
        if (!secret->isEmpty())
            sodium_memzero(secret->data(), size_t(secret->size()));
    }
}

QByteArray SecureChannel::hello(int machineNo)
{
    if (m_role != Role::Client || !m_own.isValid() || !m_fresh.isValid() || machineNo < 1 || machineNo > 65535)
        return {};
    m_machineNo = machineNo;
    uchar number[2];
    qToBigEndian(quint16(machineNo), number);
    m_hello = QByteArray(kHelloMagic, 4) + m_own.publicKey + m_fresh.publicKey
        + QByteArray(reinterpret_cast<const char*>(number), 2);
    return m_hello;
}

bool SecureChannel::acceptHello(const QByteArray& frame, QByteArray* reply, QString* error)
{
    if (m_role != Role::Counter || !m_hello.isEmpty() || !m_own.isValid() || !m_fresh.isValid())
        return fail(error, QStringLiteral("连接状态不对"));
    if (frame.size() != kHelloBytes || !frame.startsWith(QByteArray(kHelloMagic, 4)))
        return fail(error, QStringLiteral("不是客户机的连接请求"));
    m_hello = frame;
    m_peerStatic = frame.mid(4, kKey);
    m_peerFresh = frame.mid(4 + kKey, kKey);
    m_machineNo = qFromBigEndian<quint16>(frame.constData() + 4 + 2 * kKey);
    if (m_machineNo < 1)
        return fail(error, QStringLiteral("机号无效"));
    const QByteArray answer = QByteArray(kReplyMagic, 4) + m_own.publicKey + m_fresh.publicKey;
    if (!deriveKeys(m_hello + answer, error))
        return false;
    *reply = answer;
    return true;
}

bool SecureChannel::acceptReply(const QByteArray& frame, QString* error)
{
    if (m_role != Role::Client || m_hello.isEmpty() || m_ready)
        return fail(error, QStringLiteral("连接状态不对"));
    if (frame.size() != kReplyBytes || !frame.startsWith(QByteArray(kReplyMagic, 4)))
        return fail(error, QStringLiteral("不是收银台的应答"));
    m_peerStatic = frame.mid(4, kKey);
    m_peerFresh = frame.mid(4 + kKey, kKey);
    return deriveKeys(m_hello + frame, error);
}

bool SecureChannel::deriveKeys(const QByteArray& transcript, QString* error)
{
    // Three agreements: the fresh keys (so each connection has keys of its own), and each
    // side's long-lived key with the other's fresh one (so only the key holders get them).
    const bool client = m_role == Role::Client;
    const QByteArray fresh = agree(m_fresh.secretKey, m_peerFresh);
    const QByteArray clientLong = client ? agree(m_own.secretKey, m_peerFresh) : agree(m_fresh.secretKey, m_peerStatic);
    const QByteArray counterLong = client ? agree(m_fresh.secretKey, m_peerStatic) : agree(m_own.secretKey, m_peerFresh);
    if (fresh.isEmpty() || clientLong.isEmpty() || counterLong.isEmpty())
        return fail(error, QStringLiteral("密钥无效"));
    QByteArray input = fresh + clientLong + counterLong + transcript;
    unsigned char keys[64];
    crypto_generichash(keys, sizeof keys, bytes(input), size_t(input.size()), nullptr, 0);
    sodium_memzero(input.data(), size_t(input.size()));
    const QByteArray toCounter(reinterpret_cast<const char*>(keys), kKey);
    const QByteArray toClient(reinterpret_cast<const char*>(keys) + kKey, kKey);
    sodium_memzero(keys, sizeof keys);
    m_sendKey = client ? toCounter : toClient;
    m_receiveKey = client ? toClient : toCounter;
    m_ready = true;
    return true;
}

QByteArray SecureChannel::seal(const QByteArray& message)
{
    if (!m_ready || m_failed || message.size() > kMaxMessage)
        return {};
    unsigned char nonce[crypto_aead_chacha20poly1305_ietf_NPUBBYTES];
    nonceOf(m_sent++, nonce);
    QByteArray sealed(message.size() + int(crypto_aead_chacha20poly1305_ietf_ABYTES), '\0');
    unsigned long long length = 0;
    crypto_aead_chacha20poly1305_ietf_encrypt(bytes(sealed), &length, bytes(message), size_t(message.size()), nullptr, 0,
        nullptr, nonce, bytes(m_sendKey));
    sealed.resize(qsizetype(length));
    return sealed;
}

bool SecureChannel::open(const QByteArray& sealed, QByteArray* message)
{
    if (!m_ready || m_failed || sealed.size() < int(crypto_aead_chacha20poly1305_ietf_ABYTES)) {
        m_failed = true;
        return false;
    }
    unsigned char nonce[crypto_aead_chacha20poly1305_ietf_NPUBBYTES];
    nonceOf(m_received, nonce);
    QByteArray plain(sealed.size() - int(crypto_aead_chacha20poly1305_ietf_ABYTES), '\0');
    unsigned long long length = 0;
    if (crypto_aead_chacha20poly1305_ietf_decrypt(bytes(plain), &length, nullptr, bytes(sealed), size_t(sealed.size()),
            nullptr, 0, nonce, bytes(m_receiveKey))
        != 0) {
        m_failed = true;
        return false;
    }
    ++m_received;
    plain.resize(qsizetype(length));
    *message = plain;
    return true;
}
