#pragma once

#include "database/databasefile.h"

#include <QString>

// Opens and checks the Candb file named in the Decoder area: a Candb file, or a DBC file (a path
// ending in ".dbc", in any case) read through the DBC reader as the command line reads it. A path
// that names no Candb file or lacks ".json", or a file that is not a valid database, is reported
// in one "Candb json not Valid" box, and the result is refused.
DatabaseFile loadCandbFile(const QString &path);

// The box for a Candb file that cannot be used: "Candb json not Valid", then the problem.
void reportInvalidCandb(const QString &problem = QString());

// After a finished conversion: how many signals of the DBC file at `path` have no column and how
// to list them, in one box. None when no signal was left out.
void reportLeftOutSignals(const DatabaseFile &file, const QString &path);
