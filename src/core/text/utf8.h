#pragma once

#include <cstddef>
#include <string_view>

// The length of the UTF-8 sequence that starts at byte `at` of `text`, its code point in `code`;
// 0 when there is none there: overlong forms, surrogates and code points past U+10FFFF are not
// UTF-8.
size_t utf8SequenceLength(std::string_view text, size_t at, char32_t &code);

// True when the whole text is UTF-8.
bool isUtf8(std::string_view text);
