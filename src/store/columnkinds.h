#pragma once

#include <QString>

// How the program reads and writes a column, from the type the schema declares for it: TEXT,
// MONEY (currency, four decimals), SINGLE, INTEGER, DATETIME, or the engine's own names.
enum class ColumnKind { Unknown, Text, Integer, Single, Double, Currency, DateTime };

ColumnKind kindOfDecl(const QString& decl);
bool isNumericKind(ColumnKind k);
// A money value as the money column keeps it: rounded to four decimals.
double toCurrency(double v);
