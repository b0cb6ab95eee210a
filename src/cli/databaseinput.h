#pragma once

#include "database/databasefile.h"

#include <QString>

#include <optional>

// The signal database named on the command line (a Candb file, or a DBC file chosen by its name),
// read and reported: when signals of a DBC file were left out, one line says how many and how to
// list them; a refused database is reported with its path and the reason.
DatabaseFile readDatabaseInput(const QString &path);
// The database of readDatabaseInput, or nothing after reporting why it is refused.
std::optional<Candb> loadDatabase(const QString &path);
