#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Numbers as the user types them and as the messages show them, the same in the window and on
// the command line, whatever the locale.

// A decimal integer that fits an int, with an optional sign and white space around it: " 12",
// "+7", "-3"; "0x10", "1.0", "1e3" and "" are not. Typed fields and options are read this way.
std::optional<int> readWholeNumber(std::string_view text);

// A decimal number with an optional sign, fraction and exponent ("1.5", ".5", "5.", "-2e3"),
// white space around it (a no-break space too), or "inf" and "nan" in any case; none that
// overflows, or underflows to zero from a non-zero text.
std::optional<double> readDecimalNumber(std::string_view text);

// "0x" and the value in upper-case hexadecimal, at least `digits` digits: 0x123, 0x18FEF100.
std::string hexNumber(uint64_t value, int digits);

// The hexadecimal digits a CAN identifier is shown with in logs and messages: three, or eight when
// extended.
constexpr int identifierHexDigits(bool extended)
{
    return extended ? 8 : 3;
}
// A CAN identifier so shown: 0x123, 0x18FEF100.
std::string hexIdentifier(uint32_t id, bool extended);

// A count with its noun: "1 signal", "2 signals".
std::string counted(uint64_t count, const char *one, const char *many);
