#include "conversion/fixedtext.h"

#include <array>
#include <charconv>
#include <cstring>

namespace {

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__,
              "digits are stored a word at a time, the first one in the lowest byte");

constexpr uint32_t kMicrosPerUnit = 1000000;
// Whole parts below this take the short way: six digits, padded with zeros, then trimmed.
constexpr uint64_t kShortWholeLimit = 1000000;

// "000" to "999", the first digit in the lowest byte of each word.
constexpr std::array<uint32_t, 1000> makeTriples()
{
    std::array<uint32_t, 1000> triples{};
    for (uint32_t n = 0; n < 1000; ++n)
        triples[n] = ('0' + n / 100) | ('0' + n / 10 % 10) << 8 | ('0' + n % 10) << 16;
    return triples;
}
constexpr std::array<uint32_t, 1000> kTriples = makeTriples();

// "wwwwww.ffffff": a whole part below 10^6 padded to six digits, the point and six decimals.
// The first eight bytes are in head, the other five in the low bytes of tail.
struct PaddedText
{
    uint64_t head;
    uint64_t tail;
};

PaddedText paddedText(uint32_t whole, uint32_t micros)
{
    const uint64_t firstDecimals = kTriples[micros / 1000];
    return {kTriples[whole / 1000] | uint64_t(kTriples[whole % 1000]) << 24 | uint64_t('.') << 48 |
                firstDecimals << 56,
            firstDecimals >> 8 | uint64_t(kTriples[micros % 1000]) << 16};
}

// "whole.ffffff" for a whole part below 10^6, without a branch on its number of digits, which
// is as good as random from one column to the next: the padded text is stored with its leading
// zeros left out. Stores up to 16 bytes, past the end of shorter texts.
char *writeShort(char *out, uint32_t whole, uint32_t micros)
{
    const PaddedText text = paddedText(whole, micros);
    // Zero bytes for the '0' digits among the first five; the lowest nonzero byte is the first
    // significant digit, or else the sixth digit, which is left as it is and always written.
    const uint64_t significant = text.head ^ 0x3030303030;
    const int zeros = __builtin_ctzll(significant) / 8;
    const uint64_t trimmed = text.head >> (8 * zeros);
    std::memcpy(out, &trimmed, sizeof trimmed);
    std::memcpy(out + 8 - zeros, &text.tail, sizeof text.tail);
    return out + 13 - zeros;
}

// "whole.ffffff" for any whole part: the digits above the last six one at a time. Only for
// magnitudes of 10^6 and more; writes nothing past the text. Out of line, like formatRare, so
// that the common way needs no stack frame.
[[gnu::noinline]] char *writeLong(char *out, uint64_t whole, uint32_t micros)
{
    char high[20];
    char *const end = high + sizeof high;
    char *start = end;
    for (uint64_t rest = whole / kShortWholeLimit; rest != 0; rest /= 10)
        *--start = char('0' + rest % 10);
    std::memcpy(out, start, size_t(end - start));
    out += end - start;
    const PaddedText text = paddedText(uint32_t(whole % kShortWholeLimit), micros);
    std::memcpy(out, &text.head, sizeof text.head);
    std::memcpy(out + 8, &text.tail, 5);
    return out + 13;
}

char *writeFixed(char *out, bool negative, uint64_t whole, uint32_t micros)
{
    *out = '-';
    out += negative;
    if (whole < kShortWholeLimit)
        return writeShort(out, uint32_t(whole), micros);
    return writeLong(out, whole, micros);
}

// Magnitudes of 2^52 and more, below 2^-12, infinities and NaN.
[[gnu::noinline]] char *formatRare(char *out, double value, bool negative, uint64_t significand,
                                   int exponent)
{
    if (exponent >= 0 && exponent <= 10) // a whole number below 2^63
        return writeFixed(out, negative, significand << exponent, 0);
    if (exponent < 0) {
        const int shift = -exponent;
        if (shift > 73) // below 2^-21: the millionths round to 0
            return writeFixed(out, negative, 0, 0);
        // Below 2^-12: the millionths (at most 244) are significand * 10^6 / 2^shift.
        const unsigned __int128 scaled = (unsigned __int128)significand * kMicrosPerUnit;
        uint64_t micros = uint64_t(scaled >> shift);
        const unsigned __int128 rest = scaled - ((unsigned __int128)micros << shift);
        const unsigned __int128 half = (unsigned __int128)1 << (shift - 1);
        // Rounded half to even, as printf rounds.
        micros += (rest > half) | ((rest == half) & (micros & 1));
        return writeFixed(out, negative, 0, uint32_t(micros));
    }
    // The library's exact conversion.
    return std::to_chars(out, out + 317, value, std::chars_format::fixed, 6).ptr;
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
    // value = significand * 2^-shift, exactly. Zero and subnormals, far below half a
    // millionth, take the common way as a zero significand; masks rather than a branch, as
    // zeros and other values may alternate.
    const uint64_t normal = -uint64_t(biased != 0);
    const uint64_t significand = ((bits & ((uint64_t(1) << 52) - 1)) | uint64_t(1) << 52) & normal;
    const int shift = 1075 - (biased | int(1011 & ~normal));
    if (unsigned(shift - 1) >= 64)
        return formatRare(out, value, negative, significand, -shift);
    // At least 2^-12 and below 2^52: the fraction fits into 64 bits.
    uint64_t whole = significand >> 1 >> (shift - 1);
    // The fraction as a 64-bit binary fraction; times 10^6, its millionths are the high word
    // of the product and what remains the low word, all exact.
    const uint64_t fraction = significand << (64 - shift);
    const unsigned __int128 scaled = (unsigned __int128)fraction * kMicrosPerUnit;
    // Rounded half to even, as printf rounds: adding just under a half, and one more when the
    // millionths are odd, carries into them exactly when they round up.
    uint64_t micros = uint64_t(scaled >> 64);
    uint64_t rest;
    micros +=
        __builtin_add_overflow(uint64_t(scaled), (uint64_t(1) << 63) - 1 + (micros & 1), &rest);
    // Rounded up to a whole unit.
    const bool carry = micros == kMicrosPerUnit;
    whole += carry;
    micros = carry ? 0 : micros;
    return writeFixed(out, negative, whole, uint32_t(micros));
}

std::string microsText(uint64_t micros)
{
    char text[32];
    return std::string(text, formatMicros(text, micros));
}
