#include "text/numbertext.h"

#include <charconv>
#include <limits>

namespace {

bool isAsciiSpace(char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// The UTF-8 spaces, beyond ASCII, that a decimal number may stand between.
constexpr std::string_view kWideSpaces[] = {
    "\xC2\x85",     "\xC2\xA0",     "\xE1\x9A\x80", "\xE2\x80\x80", "\xE2\x80\x81",
    "\xE2\x80\x82", "\xE2\x80\x83", "\xE2\x80\x84", "\xE2\x80\x85", "\xE2\x80\x86",
    "\xE2\x80\x87", "\xE2\x80\x88", "\xE2\x80\x89", "\xE2\x80\x8A", "\xE2\x80\xA8",
    "\xE2\x80\xA9", "\xE2\x80\xAF", "\xE2\x81\x9F", "\xE3\x80\x80"};

std::string_view trimmedAscii(std::string_view text)
{
    while (!text.empty() && isAsciiSpace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isAsciiSpace(text.back()))
        text.remove_suffix(1);
    return text;
}

// Removes one space from the front or the back; false when there is none.
bool trimOneSpace(std::string_view &text)
{
    if (!text.empty() && (isAsciiSpace(text.front()) || isAsciiSpace(text.back()))) {
        text = trimmedAscii(text);
        return true;
    }
    for (std::string_view space : kWideSpaces) {
        if (text.substr(0, space.size()) == space) {
            text.remove_prefix(space.size());
            return true;
        }
        if (text.size() >= space.size() && text.substr(text.size() - space.size()) == space) {
            text.remove_suffix(space.size());
            return true;
        }
    }
    return false;
}

bool equalsIgnoringCase(std::string_view text, std::string_view lower)
{
    if (text.size() != lower.size())
        return false;
    for (size_t i = 0; i < text.size(); ++i) {
        if ((text[i] | 0x20) != lower[i])
            return false;
    }
    return true;
}

bool isDecimalStart(char c)
{
    return (c >= '0' && c <= '9') || c == '.';
}

// An unsigned decimal number written out in full; nothing for anything else, an overflow, or a
// non-zero text that underflows to zero.
std::optional<double> unsignedDecimal(std::string_view text)
{
    if (text.empty() || !isDecimalStart(text.front()))
        return std::nullopt;
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

} // namespace

std::optional<int> readWholeNumber(std::string_view text)
{
    text = trimmedAscii(text);
    const bool plus = !text.empty() && text.front() == '+';
    if (plus)
        text.remove_prefix(1);
    if (text.empty() || (plus && text.front() == '-'))
        return std::nullopt;
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 10);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

std::optional<double> readDecimalNumber(std::string_view text)
{
    while (trimOneSpace(text)) {
    }
    if (equalsIgnoringCase(text, "nan"))
        return std::numeric_limits<double>::quiet_NaN();
    const bool negative = !text.empty() && text.front() == '-';
    if (!text.empty() && (negative || text.front() == '+'))
        text.remove_prefix(1);
    if (equalsIgnoringCase(text, "inf"))
        return negative ? -std::numeric_limits<double>::infinity()
                        : std::numeric_limits<double>::infinity();
    const std::optional<double> value = unsignedDecimal(text);
    if (!value)
        return std::nullopt;
    return negative ? -*value : *value;
}

std::string hexNumber(uint64_t value, int digits)
{
    char text[17];
    const auto end = std::to_chars(text, text + sizeof text, value, 16).ptr;
    std::string hex(text, end);
    for (char &c : hex) {
        if (c >= 'a')
            c = char(c - 'a' + 'A');
    }
    if (int(hex.size()) < digits)
        hex.insert(0, size_t(digits) - hex.size(), '0');
    return "0x" + hex;
}

std::string hexIdentifier(uint32_t id, bool extended)
{
    return hexNumber(id, identifierHexDigits(extended));
}

std::string counted(uint64_t count, const char *one, const char *many)
{
    return std::to_string(count) + ' ' + (count == 1 ? one : many);
}
