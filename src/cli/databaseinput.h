#pragma once

#include "conversion/decoderinputs.h"
#include "database/dbc.h"

#include <QString>

// A DBC file named on the command line, converted, or why it cannot be.
struct DbcInput
{
    DbcConversion conversion;
    QString problem; // empty when converted, e.g. line 12: expected '|' after the start bit, ...
};

// A path the command line reads as a DBC file: one ending in ".dbc", in any case.
bool isDbcPath(const QString &path);
// Reads and converts a DBC file: an existing regular file whose text the DBC reader accepts.
DbcInput readDbcInput(const QString &path);

// The signal database named on the command line, read and checked as the Decoder reads a Candb
// file: a document the Candb reader accepts, or the problem that refuses it. A DBC file is read
// through the DBC reader into the Candb document a conversion of it would write, so a database
// gives the same table either way; when signals of it were left out, one line on standard error
// says how many and how to list them. What it defines twice is told there too, a line each.
CandbFile readDatabaseInput(const QString &path);
// The database of readDatabaseInput, or nothing after reporting, with the path, why it is refused.
std::optional<Candb> loadDatabase(const QString &path);
