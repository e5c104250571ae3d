#pragma once

#include <QString>

// Makes a new database file at path from a schema script. Never touches an existing file:
// the script runs on a temporary file that takes the final name only when it is complete.
// Returns false with a reason when the file could not be made.
bool createDatabaseFromSchema(const QString& path, const QString& schemaScript, QString* error = nullptr);
