#include "corestrings.h"

namespace {

// Bytes that are not UTF-8 stand in a QString as the unpaired surrogates U+DC80 to U+DCFF, which
// no text holds, so that they go back out as the same bytes.
constexpr char16_t kEscapedByte = 0xDC00;

// The length of the UTF-8 sequence at `at`, its code point in `code`; 0 when there is none there:
// overlong forms, surrogates and code points past U+10FFFF are not UTF-8.
size_t utf8Length(const unsigned char *at, const unsigned char *end, char32_t &code)
{
    const unsigned char lead = at[0];
    const size_t length = lead < 0x80                   ? 1
                          : lead >= 0xC2 && lead < 0xE0 ? 2
                          : lead >= 0xE0 && lead < 0xF0 ? 3
                          : lead >= 0xF0 && lead < 0xF5 ? 4
                                                        : 0;
    if (length == 0 || size_t(end - at) < length)
        return 0;
    code = length == 1 ? lead : lead & (0x7F >> length);
    for (size_t i = 1; i < length; ++i) {
        if ((at[i] & 0xC0) != 0x80)
            return 0;
        code = code << 6 | (at[i] & 0x3F);
    }
    constexpr char32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < kLeast[length] || (code >= 0xD800 && code < 0xE000) || code > 0x10FFFF)
        return 0;
    return length;
}

} // namespace

std::string nativePath(const QString &path)
{
    std::string bytes;
    for (qsizetype i = 0; i < path.size(); ++i) {
        const char16_t unit = path[i].unicode();
        if (unit >= kEscapedByte + 0x80 && unit <= kEscapedByte + 0xFF) {
            bytes += char(unit - kEscapedByte);
            continue;
        }
        const bool pair =
            QChar::isHighSurrogate(unit) && i + 1 < path.size() && path[i + 1].isLowSurrogate();
        bytes += QStringView(path).mid(i, pair ? 2 : 1).toUtf8().toStdString();
        i += pair;
    }
    return bytes;
}

QString qtPath(const std::string &path)
{
    QString text;
    const auto *at = reinterpret_cast<const unsigned char *>(path.data());
    const auto *end = at + path.size();
    while (at < end) {
        char32_t code = 0;
        const size_t length = utf8Length(at, end, code);
        if (length == 0) {
            text += QChar(char16_t(kEscapedByte + *at++));
            continue;
        }
        text += QString::fromUcs4(&code, 1);
        at += length;
    }
    return text;
}

QStringList qtTexts(const std::vector<std::string> &texts)
{
    QStringList list;
    for (const std::string &text : texts)
        list << qtText(text);
    return list;
}
