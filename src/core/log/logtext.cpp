#include "log/logtext.h"

#include "text/numbertext.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <limits>
#include <string_view>
#include <vector>

namespace {

// candump writes an error frame with this flag in its 8-digit identifier.
constexpr uint32_t kCandumpErrorFlag = 0x20000000;
constexpr uint32_t kLargestCandumpErrorId = 0x3FFFFFFF;
constexpr size_t kLargestFdBytes = 64;
constexpr int kLargestAscChannel = 255;
constexpr int kAscTimeWidth = 11;
constexpr int kAscIdWidth = 15;
// Longer than any line of either format; a longer one is not read into memory whole.
constexpr size_t kLongestTextLine = 4096;
constexpr char kHexDigits[] = "0123456789ABCDEF";

// ASCII only, whatever the locale: these are words of a file format.
char lowerCase(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool sameWord(std::string_view word, std::string_view lowerCaseWord)
{
    return word.size() == lowerCaseWord.size() &&
           std::equal(word.begin(), word.end(), lowerCaseWord.begin(),
                      [](char a, char b) { return lowerCase(a) == b; });
}

char *writeHex(char *out, uint32_t value, int digits)
{
    for (int i = digits - 1; i >= 0; --i, value >>= 4)
        out[i] = kHexDigits[value & 0xF];
    return out + digits;
}

int hexDigitCount(uint32_t value)
{
    int digits = 1;
    while (value >>= 4)
        ++digits;
    return digits;
}

// Whole seconds, a point and six decimals: exact, for the time is whole microseconds.
char *writeSeconds(char *out, uint64_t micros)
{
    out = std::to_chars(out, out + 20, micros / 1000000).ptr;
    *out++ = '.';
    uint32_t fraction = uint32_t(micros % 1000000);
    for (int i = 5; i >= 0; --i, fraction /= 10)
        out[i] = char('0' + fraction % 10);
    return out + 6;
}

char *writeText(char *out, std::string_view text)
{
    std::memcpy(out, text.data(), text.size());
    return out + text.size();
}

char *writeSpaces(char *out, long count)
{
    for (; count > 0; --count)
        *out++ = ' ';
    return out;
}

// The words of a line, split at blanks.
class Words
{
public:
    explicit Words(std::string_view line) : rest(line) {}

    // The next word; empty at the end of the line.
    std::string_view next()
    {
        skipBlanks();
        size_t end = 0;
        while (end < rest.size() && !isBlank(rest[end]))
            ++end;
        const std::string_view word = rest.substr(0, end);
        rest.remove_prefix(end);
        return word;
    }
    bool atEnd()
    {
        skipBlanks();
        return rest.empty();
    }

private:
    static bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\f'; }
    void skipBlanks()
    {
        while (!rest.empty() && isBlank(rest.front()))
            rest.remove_prefix(1);
    }

    std::string_view rest;
};

// The whole of `text` as a number in `base`, at most `largest`.
bool number(std::string_view text, int base, uint64_t largest, uint64_t &value)
{
    const char *end = text.data() + text.size();
    const auto [stop, problem] = std::from_chars(text.data(), end, value, base);
    return !text.empty() && problem == std::errc() && stop == end && value <= largest;
}

bool allDigits(std::string_view text)
{
    return !text.empty() && std::all_of(text.begin(), text.end(), isDigit);
}

constexpr int kLongestWholeSeconds = 10; // about 317 years, in nanoseconds within 64 bits
constexpr int kNanosDecimals = 9;

// Seconds as digits with an optional fraction, in nanoseconds. Digits past the ninth decimal
// are dropped: rounding to microseconds looks at the nanoseconds alone.
bool seconds(std::string_view text, uint64_t &nanos)
{
    const size_t point = text.find('.');
    const std::string_view whole = text.substr(0, point);
    const std::string_view fraction =
        point == std::string_view::npos ? std::string_view() : text.substr(point + 1);
    if (!allDigits(whole) || whole.size() > kLongestWholeSeconds ||
        (!fraction.empty() && !allDigits(fraction)))
        return false;
    uint64_t value = 0;
    number(whole, 10, std::numeric_limits<uint64_t>::max(), value);
    for (int i = 0; i < kNanosDecimals; ++i)
        value = value * 10 + (size_t(i) < fraction.size() ? uint64_t(fraction[i] - '0') : 0);
    nanos = value;
    return true;
}

// The logger's stamp of a time: microseconds, rounded half up, modulo 2^32.
uint32_t stampOf(uint64_t nanos)
{
    return uint32_t((nanos + 500) / 1000);
}

enum class LineKind
{
    Nothing, // blank, comment or header
    DataFrame,
    RemoteFrame,
    ErrorFrame,
    FdFrame,
    Event,
};

struct ParsedLine
{
    LineKind kind = LineKind::Nothing;
    std::string_view channel;
    LogFrame frame;
};

// Pairs of hexadecimal digits, a '.' allowed between two bytes, at most `largest` bytes; how
// many in `count`. `bytes` may be null when only the syntax matters.
bool hexBytes(std::string_view text, size_t largest, uint8_t *bytes, size_t &count)
{
    count = 0;
    for (size_t i = 0; i < text.size(); ++count) {
        if (count > 0 && text[i] == '.')
            ++i;
        uint64_t value = 0;
        if (count == largest || i + 2 > text.size() || !number(text.substr(i, 2), 16, 0xFF, value))
            return false;
        if (bytes)
            bytes[count] = uint8_t(value);
        i += 2;
    }
    return true;
}

// "_" and a DLC of 9 to 15, which classic frames of 8 bytes may carry on the bus.
bool longDlcSuffix(std::string_view text)
{
    uint64_t dlc = 0;
    return text.size() == 2 && text[0] == '_' && number(text.substr(1), 16, 15, dlc) && dlc > 8;
}

const char kCandumpData[] = "the data must be up to 8 bytes of two hexadecimal digits each";

// After "ID#": the data of a classic frame, "R" for a remote frame or "#" and the flags of a
// CAN FD frame.
std::string parseCandumpPayload(std::string_view text, ParsedLine &parsed)
{
    size_t count = 0;
    if (!text.empty() && text.front() == '#') {
        parsed.kind = LineKind::FdFrame;
        uint64_t flags = 0;
        if (text.size() < 2 || !number(text.substr(1, 1), 16, 15, flags) ||
            !hexBytes(text.substr(2), kLargestFdBytes, nullptr, count))
            return "a CAN FD frame must be ID##FLAGS and up to 64 bytes of data";
        return {};
    }
    if (!text.empty() && (text.front() == 'R' || text.front() == 'r')) {
        parsed.kind = LineKind::RemoteFrame;
        std::string_view rest = text.substr(1);
        uint64_t length = 0;
        if (!rest.empty() && number(rest.substr(0, 1), 10, 8, length))
            rest.remove_prefix(1);
        if (!rest.empty() && !(length == 8 && longDlcSuffix(rest)))
            return "a remote frame must be ID#R and at most its length";
        return {};
    }
    const size_t suffix = text.find('_');
    std::array<uint8_t, 8> &data = parsed.frame.data;
    if (!hexBytes(text.substr(0, suffix), data.size(), data.data(), count) ||
        (suffix != std::string_view::npos && !(count == 8 && longDlcSuffix(text.substr(suffix)))))
        return kCandumpData;
    if (parsed.kind != LineKind::ErrorFrame)
        parsed.kind = LineKind::DataFrame;
    return {};
}

std::string parseCandumpFrame(std::string_view text, ParsedLine &parsed)
{
    const size_t hash = text.find('#');
    if (hash == std::string_view::npos)
        return "the frame must be ID#DATA";
    const std::string_view id = text.substr(0, hash);
    uint64_t value = 0;
    if ((id.size() != 3 && id.size() != 8) || !number(id, 16, UINT32_MAX, value))
        return "the identifier must be 3 hexadecimal digits (standard) or 8 (extended)";
    if (id.size() == 3 && value > kLargestStandardId)
        return "a standard identifier is at most 7FF";
    if (id.size() == 8 && value > kLargestExtendedId) {
        if ((value & kCandumpErrorFlag) == 0 || value > kLargestCandumpErrorId)
            return "an extended identifier is at most 1FFFFFFF";
        parsed.kind = LineKind::ErrorFrame;
    }
    parsed.frame.id = uint32_t(value);
    parsed.frame.extended = id.size() == 8;
    return parseCandumpPayload(text.substr(hash + 1), parsed);
}

std::string parseCandumpLine(std::string_view line, ParsedLine &parsed)
{
    Words words(line);
    const std::string_view time = words.next();
    if (time.empty() || time.front() == '#')
        return {};
    uint64_t nanos = 0;
    if (time.size() < 3 || time.front() != '(' || time.back() != ')' ||
        !seconds(time.substr(1, time.size() - 2), nanos))
        return "the line must start with the time in seconds in brackets, as (1.500000)";
    parsed.frame.time = stampOf(nanos);
    parsed.channel = words.next();
    const std::string_view frame = words.next();
    if (frame.empty())
        return "the time must be followed by the channel and the frame, as can0 123#1122";
    const std::string_view direction = words.next();
    if ((!direction.empty() && direction != "R" && direction != "T") || !words.atEnd())
        return "only the direction R or T may follow the frame";
    return parseCandumpFrame(frame, parsed);
}

// The lines of an ASC file, with the base and the kind of time its header has set.
class AscLines
{
public:
    std::string parse(std::string_view line, ParsedLine &parsed)
    {
        Words words(line);
        const std::string_view first = words.next();
        if (first.empty() || first.substr(0, 2) == "//")
            return {};
        if (isDigit(first.front()))
            return parseTimed(first, words, parsed);
        if (sameWord(first, "base"))
            return parseBase(words);
        if (sameWord(first, "date") || sameWord(first, "internal") ||
            (sameWord(first, "no") && sameWord(words.next(), "internal")) ||
            ((sameWord(first, "begin") || sameWord(first, "end")) &&
             sameWord(words.next(), "triggerblock")))
            return {};
        return "not a line of an ASC log";
    }

private:
    std::string parseBase(Words &words)
    {
        const std::string_view name = words.next();
        const std::string_view stamps = words.next();
        const std::string_view kind = words.next();
        if (!(sameWord(name, "hex") || sameWord(name, "dec")) || !sameWord(stamps, "timestamps") ||
            !(sameWord(kind, "absolute") || sameWord(kind, "relative")) || !words.atEnd())
            return "the header must say \"base hex|dec timestamps absolute|relative\"";
        base = sameWord(name, "hex") ? 16 : 10;
        relative = sameWord(kind, "relative");
        return {};
    }

    std::string parseTimed(std::string_view time, Words &words, ParsedLine &parsed)
    {
        uint64_t nanos = 0;
        if (!seconds(time, nanos))
            return "the time must be a number of seconds, as 1.500000";
        if (relative) {
            if (nanos > std::numeric_limits<uint64_t>::max() - previous)
                return "the times add up to more than the log can hold";
            nanos += previous;
        }
        previous = nanos;
        parsed.frame.time = stampOf(nanos);

        const std::string_view second = words.next();
        if (sameWord(second, "canfd")) {
            parsed.kind = LineKind::FdFrame;
            parsed.channel = words.next();
            return {};
        }
        parsed.kind = LineKind::Event;
        if (!allDigits(second))
            return {};
        parsed.channel = second;
        const std::string_view id = words.next();
        if (sameWord(id, "errorframe")) {
            parsed.kind = LineKind::ErrorFrame;
            return {};
        }
        const std::string_view direction = words.next();
        if (!sameWord(direction, "rx") && !sameWord(direction, "tx"))
            return {}; // statistics, chip states, transmit requests and the like
        return parseFrame(id, words, parsed);
    }

    std::string parseFrame(std::string_view id, Words &words, ParsedLine &parsed)
    {
        LogFrame &frame = parsed.frame;
        frame.extended = !id.empty() && (id.back() == 'x' || id.back() == 'X');
        if (frame.extended)
            id.remove_suffix(1);
        uint64_t value = 0;
        if (!number(id, base, frame.extended ? kLargestExtendedId : kLargestStandardId, value))
            return frame.extended ? "an extended identifier must be at most 1FFFFFFF, in the base"
                                    " the header gives"
                                  : "a standard identifier must be at most 7FF, in the base the"
                                    " header gives";
        frame.id = uint32_t(value);

        const std::string_view kind = words.next();
        if (sameWord(kind, "r")) {
            parsed.kind = LineKind::RemoteFrame;
            return {};
        }
        uint64_t length = 0;
        if (!sameWord(kind, "d") || !number(words.next(), 16, 15, length))
            return "a frame must go on with \"d\" and its length from 0 to 15, or \"r\"";
        for (size_t i = 0; i < std::min<size_t>(length, frame.data.size()); ++i) {
            if (!number(words.next(), base, 0xFF, value))
                return "the length asks for " +
                       counted(std::min<uint64_t>(length, 8), "data byte", "data bytes") +
                       ", from 0 to 255 in the base the header gives";
            frame.data[i] = uint8_t(value);
        }
        parsed.kind = LineKind::DataFrame;
        return {};
    }

    int base = 16;
    bool relative = false;
    uint64_t previous = 0; // nanoseconds of the last timed line
};

// Reads lines of at most kLongestTextLine bytes into `buffer`. False at the end of the text,
// or when a line is too long (`tooLong` set).
bool nextLine(std::istream &in, std::vector<char> &buffer, std::string_view &line, bool &tooLong)
{
    in.getline(buffer.data(), std::streamsize(buffer.size()));
    const size_t got = size_t(in.gcount());
    if (in.fail()) {
        tooLong = got > 0 && !in.bad();
        return false;
    }
    line = std::string_view(buffer.data(), in.eof() ? got : got - 1);
    return true;
}

bool sameChannel(LogTextFormat format, std::string_view channel, const std::string &wanted)
{
    if (format == LogTextFormat::Candump)
        return channel == wanted;
    uint64_t given = 0, asked = 0;
    return number(channel, 10, UINT32_MAX, given) && number(wanted, 10, UINT32_MAX, asked) &&
           given == asked;
}

// Counts a line that is no data frame to take; true for a data frame.
bool isFrameToTake(const ParsedLine &parsed, LogTextFormat format, const std::string &channel,
                   SkippedLines &skipped)
{
    if (parsed.kind == LineKind::Nothing)
        return false;
    if (parsed.kind == LineKind::Event) {
        ++skipped.events;
        return false;
    }
    if (!channel.empty() && !sameChannel(format, parsed.channel, channel)) {
        ++skipped.otherChannels;
        return false;
    }
    switch (parsed.kind) {
    case LineKind::RemoteFrame:
        ++skipped.remoteFrames;
        return false;
    case LineKind::ErrorFrame:
        ++skipped.errorFrames;
        return false;
    case LineKind::FdFrame:
        ++skipped.fdFrames;
        return false;
    default:
        return true;
    }
}

} // namespace

bool logTextFormatNamed(const std::string &name, LogTextFormat &format)
{
    if (name != "candump" && name != "asc")
        return false;
    format = name == "candump" ? LogTextFormat::Candump : LogTextFormat::Asc;
    return true;
}

bool logTextFormatOfPath(const std::string &path, LogTextFormat &format)
{
    std::string extension = path.size() >= 4 ? path.substr(path.size() - 4) : "";
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](char c) { return lowerCase(c); });
    if (extension != ".log" && extension != ".asc")
        return false;
    format = extension == ".log" ? LogTextFormat::Candump : LogTextFormat::Asc;
    return true;
}

std::string defaultChannel(LogTextFormat format)
{
    return format == LogTextFormat::Candump ? "can0" : "1";
}

std::string channelProblem(LogTextFormat format, const std::string &channel)
{
    if (format == LogTextFormat::Asc) {
        uint64_t value = 0;
        if (!number(channel, 10, kLargestAscChannel, value) || value == 0)
            return "an ASC channel is a number from 1 to 255";
        return {};
    }
    const bool printable =
        std::all_of(channel.begin(), channel.end(), [](char c) { return c > ' ' && c < 0x7F; });
    if (channel.empty() || channel.size() > 64 || !printable)
        return "a candump channel is a name of at most 64 printable characters without spaces";
    return {};
}

LogTextWriter::LogTextWriter(LogTextFormat format, std::string channel)
    : format(format), channel(std::move(channel))
{
}

std::string LogTextWriter::header(const std::string &date) const
{
    if (format == LogTextFormat::Candump)
        return {};
    return "date " + date + "\nbase hex  timestamps absolute\nno internal events logged\n" +
           "Begin Triggerblock " + date + "\n";
}

std::string LogTextWriter::footer() const
{
    return format == LogTextFormat::Candump ? std::string() : "End TriggerBlock\n";
}

char *LogTextWriter::line(char *out, uint64_t micros, const CAN_FIFOMailBox_TypeDef &record,
                          uint8_t length) const
{
    const bool extended = record.RIR & kIdeFlag;
    const uint32_t id = mailboxId(record) & ~kExtendedIdFlag;
    out = format == LogTextFormat::Candump ? candumpLine(out, micros, id, extended, record, length)
                                           : ascLine(out, micros, id, extended, record, length);
    *out++ = '\n';
    return out;
}

char *LogTextWriter::candumpLine(char *out, uint64_t micros, uint32_t id, bool extended,
                                 const CAN_FIFOMailBox_TypeDef &record, uint8_t length) const
{
    *out++ = '(';
    out = writeSeconds(out, micros);
    *out++ = ')';
    *out++ = ' ';
    out = writeText(out, channel);
    *out++ = ' ';
    out = writeHex(out, id, identifierHexDigits(extended));
    *out++ = '#';
    for (int i = 0; i < length; ++i)
        out = writeHex(out, mailboxDataByte(record, i), 2);
    return out;
}

char *LogTextWriter::ascLine(char *out, uint64_t micros, uint32_t id, bool extended,
                             const CAN_FIFOMailBox_TypeDef &record, uint8_t length) const
{
    char time[24];
    const long timeSize = writeSeconds(time, micros) - time;
    out = writeSpaces(out, kAscTimeWidth - timeSize);
    out = std::copy(time, time + timeSize, out);
    *out++ = ' ';
    out = writeText(out, channel);
    out = writeText(out, "  ");
    const char *idStart = out;
    out = writeHex(out, id, hexDigitCount(id));
    if (extended)
        *out++ = 'x';
    out = writeSpaces(out, kAscIdWidth - (out - idStart));
    out = writeText(out, " Rx   d ");
    *out++ = kHexDigits[length];
    for (int i = 0; i < length; ++i) {
        *out++ = ' ';
        out = writeHex(out, mailboxDataByte(record, i), 2);
    }
    return out;
}

std::string ascDate(int64_t msecsSinceEpoch)
{
    // English names and C formatting of whole numbers: the same text under every locale.
    static constexpr const char *kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static constexpr const char *kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const int64_t millis = (msecsSinceEpoch % 1000 + 1000) % 1000;
    const time_t seconds = time_t((msecsSinceEpoch - millis) / 1000);
    struct tm local;
    if (!localtime_r(&seconds, &local))
        return {};
    const int hour12 = local.tm_hour % 12 == 0 ? 12 : local.tm_hour % 12;
    char text[64];
    std::snprintf(text, sizeof text, "%s %s %02d %02d:%02d:%02d.%03d %s %04d", kDays[local.tm_wday],
                  kMonths[local.tm_mon], local.tm_mday, hour12, local.tm_min, local.tm_sec,
                  int(millis), local.tm_hour < 12 ? "am" : "pm", local.tm_year + 1900);
    return text;
}

std::string skippedText(const SkippedLines &skipped)
{
    std::vector<std::string> parts;
    if (skipped.remoteFrames)
        parts.push_back(counted(skipped.remoteFrames, "remote frame", "remote frames"));
    if (skipped.errorFrames)
        parts.push_back(counted(skipped.errorFrames, "error frame", "error frames"));
    if (skipped.fdFrames)
        parts.push_back(counted(skipped.fdFrames, "CAN FD frame", "CAN FD frames"));
    if (skipped.events)
        parts.push_back(counted(skipped.events, "event line", "event lines"));
    if (skipped.otherChannels)
        parts.push_back(
            counted(skipped.otherChannels, "frame of another channel", "frames of other channels"));
    std::string text = "skipped";
    for (size_t i = 0; i < parts.size(); ++i)
        text += (i == 0 ? " " : ", ") + parts[i];
    return text;
}

LogTextReading readLogText(std::istream &in, LogTextFormat format, const std::string &channel,
                           const FrameTaker &take)
{
    LogTextReading reading;
    AscLines asc;
    std::vector<char> buffer(kLongestTextLine + 1);
    std::string_view line;
    bool tooLong = false;
    uint64_t lineNumber = 1;
    for (; nextLine(in, buffer, line, tooLong); ++lineNumber) {
        ParsedLine parsed;
        const std::string problem = format == LogTextFormat::Candump
                                        ? parseCandumpLine(line, parsed)
                                        : asc.parse(line, parsed);
        if (!problem.empty()) {
            reading.error = "line " + std::to_string(lineNumber) + ": " + problem;
            return reading;
        }
        if (!isFrameToTake(parsed, format, channel, reading.skipped))
            continue;
        ++reading.frames;
        if (!take(parsed.frame)) {
            reading.stopped = true;
            return reading;
        }
    }
    if (tooLong)
        reading.error = "line " + std::to_string(lineNumber) + ": longer than " +
                        std::to_string(kLongestTextLine) + " bytes";
    else if (in.bad())
        reading.error = "the file cannot be read";
    return reading;
}
