#pragma once

#include "store/ledgertable.h"

#include <QString>

#include <optional>

class Counter;
class Database;
class RecordSet;

// The figures of one checkout, each computed in double and kept in single precision.
float receivableOf(const QString& feeText, const QString& goodsText, const QString& depositText);
float machineIncomeOf(const QString& receivedText, const QString& depositText, const QString& goodsText);

// What a member card pays of a charge: at most its balance, the rest in cash.
struct CardCharge {
    // The debit to the cent, as the booking records the income: a single would debit 12345.6699
    // for a booking of 12345.67. Capped, it is the balance as stored, so the card ends at
    // exactly 0.
    double debit = 0.0;
    bool shortOfFunds = false;
    QString shortfallText; // "%.13g" of the missing amount
};
// The machine income as it is booked: the typed amounts' sum, to the cent.
double bookedIncomeOf(const QString& receivedText, const QString& depositText, const QString& goodsText);
CardCharge cardChargeOf(double bookedIncome, const QString& goodsText, const QString& balanceText);

// The message that asks for the part of a card charge the card cannot pay. In cash it is the
// charge's shortfall, the deposit in the drawer making up the rest; another method takes
// exactly `methodAmount`, what is scanned.
QString shortfallMessage(const CardCharge& charge, const QString& method = QString(), double methodAmount = 0.0);

struct CheckoutInput {
    int machineNo = 0;
    QString feeText, goodsText, depositText;
    QString receivedText;
    bool useCard = false;
    QString cardNo;
    QString balanceText;
    QString method; // 支付方式 of what is paid besides the card; empty or 现金 for cash
    QString reference; // 单号
    QString billText {}; // a plan's lines for the fee, for the ledger
};

enum class SettleResult {
    NothingToBook, // zero income: close without booking
    Booked, // income row written, card debited; the grid shows bookedText
    Failed // nothing changed; the operator may try again (errorText says why)
};

struct SettleOutcome {
    SettleResult result = SettleResult::NothingToBook;
    QString bookedText;
    // Nothing to book while the store took no writes: the ledger row of the cash that changed
    // hands, to be written once it does.
    std::optional<LedgerEntry> unwrittenLedger;
    // Why it failed, for the window to show; empty when the store has shown it already.
    QString errorText;
};

// Whether 实收 and every figure worked out from it stay within what a single carries to the
// cent; a checkout outside that is refused before anything is asked or booked.
bool checkoutAmountsInRange(const CheckoutInput& in);

// What changes hands at the counter besides the card: 实收 less the card's debit, to the cent
// (negative: money handed back).
double paidBesidesCard(const CheckoutInput& in, const CardCharge& card);

// Why the payment cannot be taken as typed (empty when it can): a method other than cash gives
// no change, so 实收 is exactly 应收, and it needs something to take in.
QString checkoutPaymentRefusal(const CheckoutInput& in);

// Books the machine income and, with a card, debits the card: both or neither.
SettleOutcome settleCheckout(Database& db, RecordSet& rs, const CheckoutInput& in);

// Settles machine n's checkout through the counter, which ends its usage in the transaction that
// books it and shows the booked income in the grid. False, with the reason, when nothing changed.
bool settleOnCounter(Counter& counter, Database& db, RecordSet& rs, const CheckoutInput& in, QString* error);
