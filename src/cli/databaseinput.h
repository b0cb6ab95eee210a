#pragma once

#include "decoderinputs.h"

#include <QString>

// The signal database named on the command line, read and checked as the Decoder reads a Candb
// file: a document the Candb reader accepts, or the problem that refuses it.
CandbFile readDatabaseInput(const QString &path);
