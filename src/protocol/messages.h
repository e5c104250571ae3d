#pragma once

#include <QByteArray>
#include <QString>

// What the counter and a client PC say to each other once their link is authenticated. Every
// message is read as hostile even then: anything not exactly one of these is refused.

// The counter's word on the client's machine.
struct MachineState {
    bool allowed = false; // false: the owner has not allowed this client yet; nothing else counts
    bool timing = false; // unlocked while timing
    qint64 usedSeconds = 0;
    QString amount; // as the counter's grid shows it
    qint64 leftSeconds = -1; // of its 定时; -1 without one
    bool operator==(const MachineState& o) const
    {
        return allowed == o.allowed && timing == o.timing && usedSeconds == o.usedSeconds && amount == o.amount
            && leftSeconds == o.leftSeconds;
    }
};

QByteArray stateMessage(const MachineState& state);
bool readState(const QByteArray& message, MachineState& state);

// The client's word: it is there (its first message proves it holds its key, and it is
// repeated so that a silent peer can be told from a live one).
QByteArray presentMessage();
bool isPresent(const QByteArray& message);

// Without a word for this long a peer is dropped; a client says it is there in half the time.
constexpr int kSilenceMs = 30000;
constexpr int kPresentEveryMs = 10000;
// The handshake is over within this, or the connection is dropped.
constexpr int kHandshakeMs = 5000;
