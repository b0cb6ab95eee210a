#pragma once

#include <cstdint>
#include <string>

// Numbers as the output table writes them: fixed-point with six decimals and always a '.',
// whatever the locale.

// Both store a word at a time: the bytes after a short text, up to `out` + 17, may be
// overwritten. A caller gives room for 17 bytes or the longest text, whichever is more.

// Writes `micros` as seconds with six decimals, exactly: 123456789 gives "123.456789".
// Returns the end of the text; at most 27 characters.
char *formatMicros(char *out, uint64_t micros);
// The same as a string, for texts outside the per-frame loop.
std::string microsText(uint64_t micros);

// Writes `value` as printf's "%f" does in the C locale: the exact binary value rounded to six
// decimals, ties to even, a '-' for every negative value (-0.0 included). Returns the end of the
// text; at most 317 characters, at most 27 for values below 2^63 in magnitude.
char *formatFixed(char *out, double value);
