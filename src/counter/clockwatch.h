#pragma once

#include <QDateTime>

// Notices the system clock being set while machines time: the wall clock moving against the
// time that really passed (the monotonic clock) by more than two minutes forward or more than
// one minute back, so that nobody is billed or refunded for time that did not pass.
class ClockWatch {
public:
    // Takes the present as the reference (at start, after a jump was answered, and while no
    // machine times).
    void reset(const QDateTime& wall, qint64 monotonicMs);

    // The jump in seconds (positive: the clock went forward) once it passes either bound, and
    // the present becomes the reference; 0 while the two clocks agree. A drift of a second or
    // less is taken in, so the slow corrections of a time server never add up to an alarm.
    qint64 look(const QDateTime& wall, qint64 monotonicMs);

    static constexpr qint64 kForwardSeconds = 120;
    static constexpr qint64 kBackSeconds = 60;

private:
    QDateTime m_wall;
    qint64 m_monotonicMs = 0;
};
