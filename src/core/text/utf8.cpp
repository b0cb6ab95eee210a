#include "text/utf8.h"

size_t utf8SequenceLength(std::string_view text, size_t at, char32_t &code)
{
    const auto lead = static_cast<unsigned char>(text[at]);
    const size_t length = lead < 0x80                   ? 1
                          : lead >= 0xC2 && lead < 0xE0 ? 2
                          : lead >= 0xE0 && lead < 0xF0 ? 3
                          : lead >= 0xF0 && lead < 0xF5 ? 4
                                                        : 0;
    if (length == 0 || text.size() - at < length)
        return 0;
    code = length == 1 ? lead : lead & (0x7F >> length);
    for (size_t i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(text[at + i]);
        if ((next & 0xC0) != 0x80)
            return 0;
        code = code << 6 | (next & 0x3F);
    }
    // The smallest code point of a sequence of each length: a smaller one is an overlong form.
    constexpr char32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < kLeast[length] || (code >= 0xD800 && code < 0xE000) || code > 0x10FFFF)
        return 0;
    return length;
}

bool isUtf8(std::string_view text)
{
    char32_t code = 0;
    for (size_t at = 0; at < text.size();) {
        const size_t length = utf8SequenceLength(text, at, code);
        if (length == 0)
            return false;
        at += length;
    }
    return true;
}
