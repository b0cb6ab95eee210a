#pragma once

#include "signal.h"

#include <cstddef>
#include <cstdint>

// The raw field of `sig` in `bytes`, as an unsigned bit pattern in the low `size` bits. The walk
// starts at the byte holding the most significant bit; bytes at or past `length` are never read
// and leave their bits 0.
int64_t extractRaw(const uint8_t *bytes, size_t length, const Signal &sig);

// Two's complement of `size` bits for signed signals, then raw * factor + offset.
double physicalValue(const Signal &sig, int64_t raw);
