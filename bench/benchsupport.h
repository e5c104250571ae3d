#pragma once

#include "common/seams.h"
#include "counter/pricing.h"

#include <cstdio>

// What the benchmarks share: message boxes written out instead of shown, and a console status
// that keeps the clock text only.
inline void writeMessagesToStderr()
{
    seams::setMessageResponder([](const QString& text, int, const QString&) {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
        return 0;
    });
}

class NullStatus : public ConsoleStatus {
public:
    QString clockText() const override { return m_clock; }
    void setClockText(const QString& t) override { m_clock = t; }
    void setStatusText(int, const QString&) override { }

private:
    QString m_clock;
};
