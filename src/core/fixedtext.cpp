#include "fixedtext.h"

#include <array>
#include <charconv>
#include <cstring>

namespace {

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__,
              "digits are stored a word at a time, the first one in the lowest byte");

constexpr uint32_t kMicrosPerUnit = 1000000;

// "000" to "999", the first digit in the lowest byte of each word.
constexpr std::array<uint32_t, 1000> makeTriples()
{
    std::array<uint32_t, 1000> triples{};
    for (uint32_t n = 0; n < 1000; ++n)
        triples[n] = ('0' + n / 100) | ('0' + n / 10 % 10) << 8 | ('0' + n % 10) << 16;
    return triples;
}
constexpr std::array<uint32_t, 1000> kTriples = makeTriples();

// The digits of `group` (below 1000) without leading zeros. Stores a whole word: the byte past
// the digits is overwritten by what follows. Returns the end of the digits.
char *leadingGroup(char *out, uint32_t group)
{
    const int digits = 1 + (group >= 10) + (group >= 100);
    const uint32_t word = kTriples[group] >> (8 * (3 - digits));
    std::memcpy(out, &word, sizeof word);
    return out + digits;
}

char *fullGroup(char *out, uint32_t group)
{
    std::memcpy(out, &kTriples[group], sizeof(uint32_t));
    return out + 3;
}

// The decimal digits of `whole`; like leadingGroup, may store one byte past them.
char *writeWhole(char *out, uint64_t whole)
{
    if (whole < 1000)
        return leadingGroup(out, uint32_t(whole));
    if (whole < 1000000) {
        out = leadingGroup(out, uint32_t(whole / 1000));
        return fullGroup(out, uint32_t(whole % 1000));
    }
    if (whole < 1000000000) {
        out = leadingGroup(out, uint32_t(whole / 1000000));
        out = fullGroup(out, uint32_t(whole / 1000 % 1000));
        return fullGroup(out, uint32_t(whole % 1000));
    }
    char text[20];
    char *const end = text + sizeof text;
    char *start = end;
    do {
        *--start = char('0' + whole % 10);
        whole /= 10;
    } while (whole != 0);
    std::memcpy(out, start, size_t(end - start));
    return out + (end - start);
}

// "-whole.ffffff", the sign only when negative. Writes nothing past the text's end.
char *writeFixed(char *out, bool negative, uint64_t whole, uint32_t fraction)
{
    *out = '-';
    out += negative;
    char *const point = writeWhole(out, whole);
    // The last digit of the whole part again, the point and six decimals: one word that ends
    // the text and covers the byte stored past the digits.
    const uint64_t tail = uint64_t(uint8_t(point[-1])) | uint64_t('.') << 8 |
                          uint64_t(kTriples[fraction / 1000]) << 16 |
                          uint64_t(kTriples[fraction % 1000]) << 40;
    std::memcpy(point - 1, &tail, sizeof tail);
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
    if (exponent < 0 && exponent >= -64) { // at least 2^-12: the fraction fits in 64 bits
        const int shift = -exponent;
        uint64_t whole = shift < 64 ? significand >> shift : 0;
        // The fraction as a 64-bit binary fraction; times 10^6, its millionths are the high
        // word of the product and what remains the low word, all exact.
        const uint64_t fraction = significand << (64 - shift);
        const unsigned __int128 scaled = (unsigned __int128)fraction * kMicrosPerUnit;
        uint64_t micros = uint64_t(scaled >> 64);
        const uint64_t rest = uint64_t(scaled);
        const uint64_t half = uint64_t(1) << 63;
        // Rounded half to even, as printf rounds.
        micros += (rest > half) | ((rest == half) & (micros & 1));
        if (micros == kMicrosPerUnit) {
            ++whole;
            micros = 0;
        }
        return writeFixed(out, negative, whole, uint32_t(micros));
    }
    if (exponent < -64) {
        const int shift = -exponent;
        if (shift > 73) // below 2^-21: the millionths round to 0
            return writeFixed(out, negative, 0, 0);
        // Below 2^-12: the millionths (at most 244) are significand * 10^6 / 2^shift.
        const unsigned __int128 scaled = (unsigned __int128)significand * kMicrosPerUnit;
        uint64_t micros = uint64_t(scaled >> shift);
        const unsigned __int128 rest = scaled - ((unsigned __int128)micros << shift);
        const unsigned __int128 half = (unsigned __int128)1 << (shift - 1);
        micros += (rest > half) | ((rest == half) & (micros & 1));
        return writeFixed(out, negative, 0, uint32_t(micros));
    }
    // Large magnitudes, infinities and NaN: the library's exact conversion.
    return std::to_chars(out, out + 317, value, std::chars_format::fixed, 6).ptr;
}
