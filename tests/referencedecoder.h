#pragma once

#include "database/candb.h"

#include <cstdint>
#include <string>

// The output table of a log decoded the plain way, straight from the rules and with none of the
// engine's machinery: std::map tables looked up by name for every signal, the byte walk of
// get_raw_value, stream formatting in the classic locale. The tests hold the engine's output
// against it byte for byte.
std::string referenceTable(const Candb &candb, const std::string &logPath, uint32_t periodMicros,
                           bool smart);
