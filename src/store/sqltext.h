#pragma once

#include "common/values.h"

#include <QSqlDatabase>
#include <QString>

class QSqlError;

// A text as an SQL text literal: between apostrophes, an apostrophe inside doubled.
QString sqlText(const QString& text);

// The date part of a date-time as statements carry it: 2009-1-5, no leading zeros.
// An invalid date-time gives the empty text.
QString sqlDate(DateTime t);

// A date-time in the form the database stores: text that sorts and compares by day.
QString storedDate(DateTime t);
DateTime parseStoredDate(const QString& text, bool* ok = nullptr);

// A statement written for the Access engine, made ready for SQLite: date literals #y-m-d#
// outside quoted text become stored-date text literals, and a double minus stays two minus
// signs instead of starting a comment. A grouped join that uses its first table only through
// the join key (the performance report's) joins the distinct keys instead, which gives the
// same rows without joining every booking. Everything else passes unchanged.
QString translateStatement(const QString& statement);

// A translated statement made ready for a PostgreSQL server. The report's views are each
// connection's own there (temporary), so that two counters reporting at once each read their own
// range; dropping one that is not there yet is no failure, which would end the transaction.
QString serverStatement(const QString& statement);

// A table or column name as an SQL identifier, between double quotes.
QString quoteName(const QString& name);

// The engine's own words for a failure, or the driver's when the engine gave none.
QString errorText(const QSqlError& e);

// The connection of that name, on `driver`: the one there is, or a new one when there is none
// or it was on another engine (the name now means this one).
QSqlDatabase namedConnection(const QString& name, const QString& driver);
