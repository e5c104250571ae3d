#pragma once

#include "common/values.h"

#include <QString>
#include <QStringList>
#include <QVector>

class Database;

// 上机记录, the usages open on the counter, so that they survive a crash or a power cut; and
// 运行记录, the last moment the program was known running. A row is written when a machine
// starts, changed with its 定时, 押金 and 商品额, written again when the machine is stopped,
// and removed once its checkout is settled or closed. An update that finds no row fails. The writes return false with the engine's
// text; they join a transaction under way.

struct UsageRow {
    int machineNo = 0;
    DateTime startTime;
    float perMinutePrice = 0.0f;
    QString clockText; // 上机时间 as the grid shows it
    QString fixedText; // 定时
    QString depositText; // 押金
    QString goodsText; // 商品额
    // Stopped, its checkout not yet settled: the texts it was handed.
    bool awaitingCheckout = false;
    QString stopClockText;
    QString feeText;
    QString gapAnswer; // how the last interruption was settled, once asked
    int planVersion = 0; // the zone's price plan it is billed by; 0 for the rate box
    QString packagesText; // the packages sold to it
    int stoppedMinutes = 0; // stopped: the minutes its bill was made for
};

enum class UsageField { FixedTime, Deposit, Goods, Packages };

bool writeUsage(Database& db, const UsageRow& row, QString* error);
bool updateUsage(Database& db, int machineNo, UsageField field, const QString& text, QString* error);
bool deleteUsage(Database& db, int machineNo, QString* error);
// After a restore: the answer kept with every usage, and their start times moved forward by
// `gapDays` when the interruption is not charged.
bool settleInterruption(Database& db, double gapDays, const QString& answer, QString* error);
// A usage's start moved by `days`, with the packages sold to it as they now read.
bool moveUsageStart(Database& db, int machineNo, double days, const QString& packagesText, QString* error);

// Every row, in machine order. A row that cannot be read as a usage of machine 1..highestMachineNo
// is left out and named in `skipped`. False when the table could not be read at all.
bool readUsages(Database& db, int highestMachineNo, QVector<UsageRow>& rows, QStringList& skipped, QString* error);

bool writeLastSeen(Database& db, DateTime moment, QString* error);
// False when the program has never written it.
bool readLastSeen(Database& db, DateTime& moment);
