#include "clockwatch.h"

void ClockWatch::reset(const QDateTime& wall, qint64 monotonicMs)
{
    m_wall = wall;
    m_monotonicMs = monotonicMs;
}

qint64 ClockWatch::look(const QDateTime& wall, qint64 monotonicMs)
{
    if (!m_wall.isValid()) {
        reset(wall, monotonicMs);
        return 0;
    }
    const qint64 jumpMs = m_wall.msecsTo(wall) - (monotonicMs - m_monotonicMs);
    if (jumpMs > kForwardSeconds * 1000 || jumpMs < -kBackSeconds * 1000) {
        reset(wall, monotonicMs);
        return jumpMs / 1000;
    }
    if (jumpMs >= -1000 && jumpMs <= 1000)
        reset(wall, monotonicMs);
    return 0;
}
