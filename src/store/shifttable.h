#pragma once

#include "common/values.h"

#include <QString>
#include <QVector>

class Database;

// 班次: the shifts of the counter, from one handover to the next. Exactly one is open while the
// program works; it stays open across restarts and crashes until it is handed over, and a
// shift handed over is never changed (triggers refuse it). Each change is written with its
// ledger row.

struct ShiftRecord {
    int number = 0;
    QString operatorName; // who opened it
    DateTime opened;
    double openingFloat = 0.0; // 备用金
    bool closed = false;
    DateTime closedAt;
    double expected = 0.0; // 应有现金
    double counted = 0.0; // 实点现金
    double difference = 0.0; // 差额
    double depositsHeld = 0.0; // 在用押金 at the handover
    QString note;
    double leftFloat = 0.0; // 留存备用金
    QString hash; // the ledger's newest hash at the handover
};

// The open shift; `found` false when none is open.
bool readOpenShift(Database& db, ShiftRecord& shift, bool& found, QString* error);
bool readShift(Database& db, int number, ShiftRecord& shift, QString* error);
// The shifts handed over, newest first.
bool readClosedShifts(Database& db, QVector<ShiftRecord>& shifts, int limit, QString* error);
// What the last shift left in the drawer for the next: the float a new shift opens with.
double floatLeftInTheDrawer(Database& db);

// Opens a shift with its 开班 row (the float left by the last shift beside the one typed);
// the ledger rows written afterwards carry its number.
bool openShift(Database& db, double openingFloat, ShiftRecord& opened, QString* error);
// A corrected 备用金 of the open shift, with its 改备用金 row.
bool changeOpeningFloat(Database& db, int number, double openingFloat, QString* error);

// The shift's cash and card movements as its ledger rows give them.
struct ShiftTotals {
    int rows = 0;
    double machineCash = 0.0; // 上机现金: checkouts paid in cash, before deposits are set off
    double machineCard = 0.0; // 上机会员卡
    double goodsCash = 0.0; // 商品现金
    double goodsOnAccount = 0.0; // 商品挂帐
    double depositsIn = 0.0; // 押金收
    double depositsOut = 0.0; // 押金退: set off at checkouts or typed lower
    double newCards = 0.0; // 发卡
    double topUps = 0.0; // 充值
    double allCash = 0.0; // every cash movement of the shift
    // What each method other than cash took in (checkouts, goods sold, new cards, top-ups), and
    // the bonuses put on cards; none of it is in the drawer.
    double wechat = 0.0; // 微信
    double alipay = 0.0; // 支付宝
    double bankCard = 0.0; // 银行卡
    double bonuses = 0.0; // 赠送
    int otherRows = 0; // rows paid otherwise than in cash or with a bonus, whatever they sum to
    bool onlyCash() const { return otherRows == 0; }
};
bool readShiftTotals(Database& db, int number, ShiftTotals& totals, QString* error);

// The count of the drawer stands once made, so it is not typed again after the expected
// figure was seen: a 点钞 row keeps it, and the first of the shift is the count.
bool recordCount(Database& db, int number, double counted, QString* error);
bool readCount(Database& db, int number, double& counted, bool& found, QString* error);

// Closes the open shift with its 交班 row, in one transaction; the row's hash goes with it.
bool closeShift(Database& db, ShiftRecord& shift, QString* error);
