#include "link.h"

#include "messages.h"

#include <QHostAddress>
#include <QTcpSocket>
#include <QTimer>

SecureLink::SecureLink(QTcpSocket* accepted, const KeyPair& own, QObject* parent)
    : QObject(parent)
    , m_socket(accepted)
    , m_channel(SecureChannel::Role::Counter, own)
    , m_deadline(new QTimer(this))
    , m_silence(new QTimer(this))
    , m_client(false)
{
    accepted->setParent(this);
    setUp();
}

SecureLink::SecureLink(const QString& host, quint16 port, const KeyPair& own, int machineNo, QObject* parent)
    : QObject(parent)
    , m_socket(new QTcpSocket(this))
    , m_channel(SecureChannel::Role::Client, own)
    , m_deadline(new QTimer(this))
    , m_silence(new QTimer(this))
    , m_client(true)
{
    setUp();
    const QByteArray hello = m_channel.hello(machineNo);
    connect(m_socket, &QTcpSocket::connected, this, [this, hello] { m_socket->write(encodeFrame(hello)); });
    // From the event loop: a connection refused at once is then said to whoever holds the link.
    QTimer::singleShot(0, this, [this, host, port] {
        if (m_socket && !m_closed)
            m_socket->connectToHost(host, port);
    });
}

SecureLink::~SecureLink() = default;

void SecureLink::setUp()
{
    m_socket->setReadBufferSize(kMaxFrameBytes + 4);
    // Until the handshake is done only its few bytes may come.
    m_reader.setLimit(128);
    m_deadline->setSingleShot(true);
    connect(m_deadline, &QTimer::timeout, this, [this] { drop(QStringLiteral("握手超时")); });
    m_deadline->start(kHandshakeMs);
    m_silence->setSingleShot(true);
    connect(m_silence, &QTimer::timeout, this, [this] { drop(QStringLiteral("对方没有回应")); });
    connect(m_socket, &QTcpSocket::readyRead, this, &SecureLink::readAvailable);
    connect(m_socket, &QTcpSocket::disconnected, this, [this] { drop(QStringLiteral("连接已断开")); });
    connect(m_socket, &QTcpSocket::errorOccurred, this, [this] { drop(m_socket->errorString()); });
}

QString SecureLink::addressText(const QHostAddress& address)
{
    bool isV4 = false;
    const quint32 v4 = address.toIPv4Address(&isV4);
    return isV4 ? QHostAddress(v4).toString() : address.toString();
}

QString SecureLink::peerAddress() const { return m_socket ? addressText(m_socket->peerAddress()) : QString(); }

void SecureLink::readAvailable()
{
    if (m_closed || !m_socket)
        return;
    // Whatever arrives is counted against the peer's allowance before it is looked at.
    const QByteArray bytes = m_socket->read(kMaxFrameBytes + 4);
    if (!m_window.isValid() || m_window.elapsed() >= 1000) {
        m_window.start();
        m_windowBytes = 0;
    }
    m_windowBytes += bytes.size();
    if (m_windowBytes > kMaxBytesPerSecond) {
        drop(QStringLiteral("对方发送的数据过多"));
        return;
    }
    QByteArrayView input(bytes);
    QByteArray payload;
    while (!m_closed && !input.isEmpty()) {
        const FrameReader::Result r = m_reader.take(input, payload);
        if (r == FrameReader::Result::Broken) {
            drop(QStringLiteral("数据格式错误"));
            return;
        }
        if (r == FrameReader::Result::NeedMore)
            break;
        frame(payload);
    }
    // More may wait behind the read buffer's bound: read on in the next turn of the loop.
    if (!m_closed && m_socket && m_socket->bytesAvailable() > 0)
        QTimer::singleShot(0, this, &SecureLink::readAvailable);
}

void SecureLink::frame(const QByteArray& payload)
{
    if (!m_channel.isReady()) {
        QString why;
        if (m_client) {
            if (!m_channel.acceptReply(payload, &why)) {
                drop(why);
                return;
            }
        } else {
            QByteArray reply;
            if (!m_channel.acceptHello(payload, &reply, &why)) {
                drop(why);
                return;
            }
            m_socket->write(encodeFrame(reply));
        }
        m_deadline->stop();
        m_silence->start(kSilenceMs);
        m_reader.setLimit(kMaxFrameBytes);
        emit ready();
        return;
    }
    QByteArray message;
    if (!m_channel.open(payload, &message)) {
        drop(QStringLiteral("消息校验失败"));
        return;
    }
    m_silence->start(kSilenceMs);
    emit received(message);
}

void SecureLink::send(const QByteArray& message)
{
    if (!isReady() || !m_socket)
        return;
    // A peer that does not read is not written to without end.
    if (m_socket->bytesToWrite() > 4 * kMaxFrameBytes) {
        drop(QStringLiteral("对方不接收数据"));
        return;
    }
    m_socket->write(encodeFrame(m_channel.seal(message)));
}

void SecureLink::close() { drop(QString()); }

void SecureLink::drop(const QString& why)
{
    if (m_closed)
        return;
    m_closed = true;
    m_deadline->stop();
    m_silence->stop();
    if (m_socket) {
        m_socket->disconnect(this);
        m_socket->abort();
    }
    emit closed(why);
}
