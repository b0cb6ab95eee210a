#pragma once

#include "database/candb.h"

#include <string>
#include <vector>

// What a Candb database defines twice, which the decoder takes by its rules without a word, one
// line each in file order: a later message with an identifier already used, which is ignored,
// and a signal name used again, whose one column takes the values of both signals. For example:
//   signal "Speed" is in message 1 (id 0x0C0) and message 4 (id 0x1A0): its one column takes
//   the values of both
std::vector<std::string> duplicateDefinitions(const Candb &candb);
