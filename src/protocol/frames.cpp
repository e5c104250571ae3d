#include "frames.h"

#include <QtEndian>

#include <algorithm>

namespace {

constexpr int kHeaderBytes = 4;

} // namespace

QByteArray encodeFrame(QByteArrayView payload)
{
    if (payload.isEmpty() || payload.size() > kMaxFrameBytes)
        return {};
    QByteArray frame(kHeaderBytes, Qt::Uninitialized);
    qToBigEndian(quint32(payload.size()), frame.data());
    frame.append(payload.data(), payload.size());
    return frame;
}

FrameReader::Result FrameReader::take(QByteArrayView& input, QByteArray& frame)
{
    if (m_broken)
        return Result::Broken;
    if (m_expected < 0) {
        const qsizetype need = kHeaderBytes - m_buffer.size();
        const qsizetype got = std::min(need, input.size());
        m_buffer.append(input.data(), got);
        input = input.sliced(got);
        if (m_buffer.size() < kHeaderBytes)
            return Result::NeedMore;
        m_expected = qFromBigEndian<quint32>(m_buffer.constData());
        m_buffer.clear();
        if (m_expected < 1 || m_expected > m_limit) {
            m_broken = true;
            return Result::Broken;
        }
        m_buffer.reserve(qsizetype(m_expected));
    }
    const qsizetype got = std::min(qsizetype(m_expected) - m_buffer.size(), input.size());
    m_buffer.append(input.data(), got);
    input = input.sliced(got);
    if (m_buffer.size() < m_expected)
        return Result::NeedMore;
    frame = m_buffer;
    m_buffer.clear();
    m_expected = -1;
    return Result::Frame;
}
