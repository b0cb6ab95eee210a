#include "corestrings.h"

#include "text/utf8.h"

namespace {

// Bytes that are not UTF-8 stand in a QString as the unpaired surrogates U+DC80 to U+DCFF, which
// no text holds, so that they go back out as the same bytes.
constexpr char16_t kEscapedByte = 0xDC00;

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
    for (size_t at = 0; at < path.size();) {
        char32_t code = 0;
        const size_t length = utf8SequenceLength(path, at, code);
        if (length == 0) {
            text += QChar(char16_t(kEscapedByte + static_cast<unsigned char>(path[at++])));
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
