#pragma once

#include <QString>
#include <QVector>

class Database;

// 机器 and 区域: which client machines the counter times, what they are called, and the zones
// of the room they stand in. Each change is written with its ledger row, so the owner can see
// who took a machine off the counter.

constexpr int kMaxMachineNo = 500;

QString defaultZoneName(); // 大厅

struct MachineInfo {
    int number = 0;
    QString name;
    QString zone;
    QString counter; // that times it, on a store several counters share; empty: every counter
};

struct ZoneInfo {
    QString name;
    QString colour; // "#rrggbb"; empty when none was chosen
};

struct MachineSetup {
    QVector<MachineInfo> machines; // in number order
    QVector<ZoneInfo> zones; // in the order they were made, 大厅 first
};

// What the counter always had: machines 1 to 15 in 大厅, which has no colour.
MachineSetup defaultMachineSetup();

// A file without the machine table reads as the default; false (error says why) when the store
// cannot be read. A machine whose zone is empty or names no zone counts as in 大厅.
bool readMachines(Database& db, MachineSetup& setup, QString* error);

// Each change is one transaction with its ledger row, all or nothing. A refused one changes
// nothing and leaves the operator's text in *error.
bool addMachines(Database& db, int from, int to, const QString& zone, QString* error); // to 0: `from` alone
bool removeMachines(Database& db, const QVector<int>& numbers, QString* error);
bool setMachineZone(Database& db, const QVector<int>& numbers, const QString& zone, QString* error);
// The empty name clears it.
bool renameMachine(Database& db, int number, const QString& name, QString* error);
bool addZone(Database& db, const QString& name, const QString& colour, QString* error);
bool setZoneColour(Database& db, const QString& name, const QString& colour, QString* error);
bool removeZone(Database& db, const QString& name, QString* error);
// The counter the machines belong to; the empty name gives them to every counter.
bool setMachineCounter(Database& db, const QVector<int>& numbers, const QString& counter, QString* error);
// Whether several counters may share the store, so that a machine belongs to one of them.
bool sharedByCounters(const Database& db);
// Whether this counter (the connection's counterName) times the machine.
bool timesHere(const Database& db, const MachineInfo& machine);
