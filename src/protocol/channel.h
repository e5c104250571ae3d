#pragma once

#include <QByteArray>
#include <QString>

// The authenticated link between the counter and a client PC, over frames (frames.h). Each side
// has a long-lived X25519 key pair; the counter pins a client's key when the owner allows it,
// and the client pins the counter's at first contact. A connection's keys come from both
// sides' long-lived and fresh keys, so only the holders of the two secret keys can read or
// write it, and a recorded connection replayed later is useless. Every message after the
// handshake is sealed with the next number of its direction, never sent: a message replayed,
// reordered, dropped or altered fails to open, and the connection is to be ended.

struct KeyPair {
    QByteArray publicKey; // 32 bytes
    QByteArray secretKey; // 32 bytes
    static KeyPair generate();
    bool isValid() const { return publicKey.size() == 32 && secretKey.size() == 32; }
};

// What both screens show of a public key for the owner to compare: "1234 5678".
QString keyFingerprint(const QByteArray& publicKey);

class SecureChannel {
public:
    enum class Role { Client, Counter };
    SecureChannel(Role role, const KeyPair& own);
    ~SecureChannel();
    SecureChannel(const SecureChannel&) = delete;
    SecureChannel& operator=(const SecureChannel&) = delete;

    // The client's first frame: its keys and the machine it is.
    QByteArray hello(int machineNo);
    // The counter takes the client's hello and answers it; false (why in `error`) for a hello
    // that is not one. The client's key and machine are known then; whether they are allowed
    // is the counter's to decide before it acts on anything.
    bool acceptHello(const QByteArray& frame, QByteArray* reply, QString* error);
    // The client takes the answer; false for one that is not an answer to its hello.
    bool acceptReply(const QByteArray& frame, QString* error);

    bool isReady() const { return m_ready; }
    QByteArray peerKey() const { return m_peerStatic; }
    int machineNo() const { return m_machineNo; }

    // A message to send, as one frame's payload; empty before the handshake.
    QByteArray seal(const QByteArray& message);
    // The peer's next message; false for anything else (the connection is then to be ended,
    // and every later message fails too).
    bool open(const QByteArray& sealed, QByteArray* message);

    static constexpr int kMaxMessage = 60 * 1024;

private:
    bool deriveKeys(const QByteArray& transcript, QString* error);

    Role m_role;
    KeyPair m_own;
    KeyPair m_fresh;
    QByteArray m_peerStatic, m_peerFresh;
    QByteArray m_hello; // as sent or received, for the transcript
    QByteArray m_sendKey, m_receiveKey;
    quint64 m_sent = 0, m_received = 0;
    int m_machineNo = 0;
    bool m_ready = false;
    bool m_failed = false;
};
