#include "database/signalcodec.h"

int64_t extractRaw(const uint8_t *bytes, size_t length, const Signal &sig)
{
    // The Candb reader refuses fields longer than 64 bits and bit positions out of order; a
    // Signal made by hand that has them gets 0 or a partial field, never a shift out of range.
    if (sig.size > 64)
        return 0;
    uint64_t result = 0;
    int remaining = sig.size;
    const int step = sig.is_little_endian ? -1 : 1;
    for (int i = sig.msb / 8; i >= 0 && size_t(i) < length && remaining > 0; i += step) {
        const int low = (i == sig.lsb / 8) ? sig.lsb : 8 * i;
        const int high = (i == sig.msb / 8) ? sig.msb : 8 * i + 7;
        const int width = high - low + 1;
        if (low < 8 * i || width < 1 || width > remaining)
            break;
        const uint64_t piece = (bytes[i] >> (low - 8 * i)) & ((1u << width) - 1);
        remaining -= width;
        result |= piece << remaining;
    }
    return static_cast<int64_t>(result);
}

double physicalValue(const Signal &sig, int64_t raw)
{
    if (!sig.is_signed && sig.size == 64)
        return double(uint64_t(raw)) * sig.factor + sig.offset;
    // A 64-bit raw value already is its own two's complement.
    if (sig.is_signed && sig.size > 0 && sig.size < 64 && (uint64_t(raw) >> (sig.size - 1)) & 1)
        raw = static_cast<int64_t>(uint64_t(raw) | (~uint64_t(0) << sig.size));
    return double(raw) * sig.factor + sig.offset;
}
