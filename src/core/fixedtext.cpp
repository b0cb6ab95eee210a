#include "fixedtext.h"

#include <charconv>
#include <cstring>

namespace {

constexpr uint32_t kMicrosPerUnit = 1000000;

constexpr char kPairs[] = "00010203040506070809101112131415161718192021222324252627282930313233"
                          "34353637383940414243444546474849505152535455565758596061626364656667"
                          "6869707172737475767778798081828384858687888990919293949596979899";

void putPair(char *out, uint32_t value)
{
    std::memcpy(out, &kPairs[2 * value], 2);
}

// The decimal digits of `number`, ending just before `end`. Returns where they start.
char *digitsBefore(char *end, uint64_t number)
{
    while (number >= 100) {
        end -= 2;
        putPair(end, uint32_t(number % 100));
        number /= 100;
    }
    if (number >= 10) {
        end -= 2;
        putPair(end, uint32_t(number));
    } else {
        *--end = char('0' + number);
    }
    return end;
}

int digitCount(uint64_t number)
{
    int digits = 1;
    for (; number >= 100; number /= 100)
        digits += 2;
    return digits + (number >= 10);
}

// "-whole.ffffff", the sign only when negative.
char *writeFixed(char *out, bool negative, uint64_t whole, uint32_t fraction)
{
    *out = '-';
    out += negative;
    char *const point = out + digitCount(whole);
    digitsBefore(point, whole);
    point[0] = '.';
    putPair(point + 1, fraction / 10000);
    putPair(point + 3, fraction / 100 % 100);
    putPair(point + 5, fraction % 100);
    return point + 7;
}

} // namespace

char *formatMicros(char *out, uint64_t micros)
{
    return writeFixed(out, false, micros / kMicrosPerUnit, uint32_t(micros % kMicrosPerUnit));
}

char *formatFixed(char *out, double value)
{
    uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    const bool negative = bits >> 63;
    const int biased = int(bits >> 52 & 0x7FF);
    if (biased == 0) // zero or subnormal: far below half a millionth
        return writeFixed(out, negative, 0, 0);
    // value = significand * 2^exponent, exactly.
    const uint64_t significand = (bits & ((uint64_t(1) << 52) - 1)) | uint64_t(1) << 52;
    const int exponent = biased - 1075;
    if (exponent >= 0 && exponent <= 10) // a whole number below 2^63
        return writeFixed(out, negative, significand << exponent, 0);
    if (exponent <= -9) { // below 2^44, so that the millionths fit in 64 bits
        const int shift = -exponent;
        if (shift > 73) // below 2^-21: the millionths round to 0
            return writeFixed(out, negative, 0, 0);
        // Millionths = significand * 10^6 / 2^shift, rounded half to even as printf rounds.
        const unsigned __int128 scaled = (unsigned __int128)significand * kMicrosPerUnit;
        uint64_t micros = uint64_t(scaled >> shift);
        const unsigned __int128 rest = scaled - ((unsigned __int128)micros << shift);
        const unsigned __int128 half = (unsigned __int128)1 << (shift - 1);
        if (rest > half || (rest == half && (micros & 1)))
            ++micros;
        return writeFixed(out, negative, micros / kMicrosPerUnit,
                          uint32_t(micros % kMicrosPerUnit));
    }
    // Large magnitudes, infinities and NaN: the library's exact conversion.
    return std::to_chars(out, out + 317, value, std::chars_format::fixed, 6).ptr;
}
