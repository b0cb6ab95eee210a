#pragma once

#include "database/candbsignal.h"

#include <cstdint>

// A signal's extraction and scaling, resolved once from its Signal record so that decoding a
// frame costs a shift, a mask and a multiply-add per signal. It gives exactly the results of
// walking the signal's bytes one by one (extractRaw, physicalValue).
//
// A frame is handed over as two 64-bit views of its eight data bytes, made once per frame:
// `little` has byte 0 in bits 7..0, `big` has byte 0 in bits 63..56 with the bytes at and past
// the message's data length cleared (bigEndianDataMask).
struct FieldCodec
{
    bool bigEndian = false;
    uint8_t shiftRight = 0;
    uint8_t shiftLeft = 0; // a big-endian field may run past byte 7: its missing low bits stay 0
    uint64_t mask = 0;     // 0 for a field whose first byte lies past the data length
    uint64_t signBit = 0;  // top bit of a signed field shorter than 64 bits, else 0
    // An unsigned field of 64 bits is never negative: the one raw value that a signed 64-bit
    // number cannot hold. Every other field converts as a signed number.
    bool unsigned64 = false;
    double factor = 0.0;
    double offset = 0.0;

    static FieldCodec resolve(const Signal &sig);

    // The field as a two's-complement number for signed signals, as a bit pattern for others.
    // Without branches: fields of both byte orders alternate unpredictably within a frame.
    uint64_t raw(uint64_t little, uint64_t big) const
    {
        const uint64_t view = bigEndian ? big : little;
        const uint64_t field = ((view >> shiftRight) << shiftLeft) & mask;
        return (field ^ signBit) - signBit;
    }

    double value(uint64_t little, uint64_t big) const
    {
        const uint64_t field = raw(little, big);
        const double number = unsigned64 ? double(field) : double(static_cast<int64_t>(field));
        return number * factor + offset;
    }
};

// Clears the bytes at and past `length` in the big-endian view of a frame.
uint64_t bigEndianDataMask(int length);

// The two views of a record's data words (byte 0 in the low bits of `low`).
inline uint64_t littleEndianData(uint32_t low, uint32_t high)
{
    return uint64_t(low) | uint64_t(high) << 32;
}

inline uint64_t bigEndianData(uint64_t little, uint64_t mask)
{
    return __builtin_bswap64(little) & mask;
}
