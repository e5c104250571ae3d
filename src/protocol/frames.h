#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <algorithm>

// The frames of the link between the counter and its client PCs: a length of four bytes (big
// endian) and that many bytes. What a peer on the café LAN sends is read as hostile: a frame
// is at most 64 KiB, and the reader holds at most one frame's bytes, however much arrives.

constexpr int kMaxFrameBytes = 64 * 1024;

// The frame of a payload of 1 to kMaxFrameBytes bytes; empty for any other.
QByteArray encodeFrame(QByteArrayView payload);

class FrameReader {
public:
    enum class Result {
        Frame, // `frame` holds the next payload
        NeedMore, // all of the input is taken; no whole frame yet
        Broken // a length of 0 or past the bound: the connection is to be dropped
    };

    // Takes bytes from the front of `input` up to the end of the next frame, so that a caller
    // can stop reading (and drop the peer) between frames. Once broken it stays broken.
    Result take(QByteArrayView& input, QByteArray& frame);

    // The bytes held of a frame not yet whole; never more than the header and one frame.
    qsizetype held() const { return m_buffer.size(); }
    bool isBroken() const { return m_broken; }
    // A smaller bound for what may come next (a handshake is a few dozen bytes).
    void setLimit(qint64 bytes) { m_limit = std::min<qint64>(bytes, kMaxFrameBytes); }

private:
    QByteArray m_buffer;
    qint64 m_expected = -1; // the payload's length once the header is read
    bool m_broken = false;
    qint64 m_limit = kMaxFrameBytes;
};
