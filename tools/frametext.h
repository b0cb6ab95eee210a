#pragma once

#include "log/logfile.h"

#include <istream>
#include <string>
#include <vector>

// Reads frames written as text, one per line:
//
//     time_us  id  std|ext  [data]
//     1500000  123 std      11 22 33 44 55 66 77 88
//     1600000  18FEF100 ext 0102
//
// The time is decimal microseconds (0 to 4294967295); the identifier is hexadecimal, "0x"
// optional, at most 7FF for a standard and 1FFFFFFF for an extended frame; the data are up to
// eight bytes in hexadecimal, split into words as one likes, missing bytes 0. A '#' starts a
// comment; blank lines are skipped. On the first bad line returns false and says which line and
// why in `error`.
bool readFrameText(std::istream &in, std::vector<LogFrame> &frames, std::string &error);
