#pragma once

#include "database/candbsignal.h"

#include <cstddef>
#include <cstdint>

// Data bytes a log record holds. A message may declare more (a "dlc" up to 64), but nothing past
// the record is ever read.
constexpr uint8_t kFrameDataBytes = 8;

// How many of a frame's data bytes a message of this DLC carries: at most the 8 bytes a log
// record holds.
inline uint8_t frameByteCount(uint8_t dlc)
{
    return dlc < kFrameDataBytes ? dlc : kFrameDataBytes;
}

// How many of a frame's data bytes the extraction of `sig` may see: those of its message. The
// bytes past them read as missing, and their bits as 0.
inline uint8_t frameByteCount(const Signal &sig)
{
    return frameByteCount(sig.DLC);
}

// The raw field of `sig` in `bytes`, as an unsigned bit pattern in the low `size` bits. The walk
// starts at the byte holding the most significant bit; bytes at or past `length` are never read
// and leave their bits 0.
int64_t extractRaw(const uint8_t *bytes, size_t length, const Signal &sig);

// Two's complement of `size` bits for signed signals, then raw * factor + offset. An unsigned
// 64-bit field stays unsigned: its top bit is a value bit, not a sign.
double physicalValue(const Signal &sig, int64_t raw);
