#pragma once

#include "common/seams.h"
#include "counter/pricing.h"

#include <QElapsedTimer>
#include <QFile>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

// What the benchmarks share: message boxes written out instead of shown, and a console status
// that keeps the clock text only.
inline void writeMessagesToStderr()
{
    seams::setMessageResponder([](const QString& text, int, const QString&) {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
        return 0;
    });
}

// Windows are drawn off screen unless a platform is asked for.
inline void offscreenUnlessSet()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

// A figure of a process's status in kB as the system reports it ("VmRSS:", "VmHWM:"), of this
// process or of `pid`; -1 where the system does not tell it.
inline long residentKb(const char* key, qint64 pid = 0)
{
    QFile status(pid ? QStringLiteral("/proc/%1/status").arg(pid) : QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(key))
            return line.mid(int(qstrlen(key))).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

inline double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

class NullStatus : public ConsoleStatus {
public:
    QString clockText() const override { return m_clock; }
    void setClockText(const QString& t) override { m_clock = t; }
    void setStatusText(int, const QString&) override { }

private:
    QString m_clock;
};

// The median of `rounds` runs of a step, in milliseconds; the step is told which run it is.
inline double medianMs(int rounds, const std::function<void(int)>& step)
{
    std::vector<double> ms;
    for (int i = 0; i < rounds; ++i) {
        QElapsedTimer t;
        t.start();
        step(i);
        ms.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}
