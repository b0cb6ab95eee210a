#include "plot/tablereader.h"

#include "files/inputfile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>

namespace {

// Large enough that a 2 GB table costs a couple of thousand reads; a longer line grows it.
constexpr size_t kBlockSize = size_t(1) << 20;
constexpr size_t kQuotedLength = 24;
const std::string kTimeName = "time";

const char *findByte(const char *begin, const char *end, char byte)
{
    const void *found = std::memchr(begin, byte, size_t(end - begin));
    return found ? static_cast<const char *>(found) : end;
}

// A line's text without the carriage return that files edited on Windows end lines with.
const char *withoutReturn(const char *begin, const char *end)
{
    return (end > begin && end[-1] == '\r') ? end - 1 : end;
}

std::string quoted(const char *begin, const char *end)
{
    std::string text(begin, std::min(end, begin + kQuotedLength));
    if (end - begin > ptrdiff_t(kQuotedLength))
        text += "...";
    return '"' + text + '"';
}

std::string lineText(uint64_t line)
{
    return "line " + std::to_string(line) + ": ";
}

// The table's own numbers, [-]digits.digits, with at most 15 digits in all: an integer below 2^53
// divided by a power of ten that a double holds exactly is rounded once, so it is the double the
// full parse gives, in a fraction of its time. Nothing for any other text.
std::optional<double> parseShortDecimal(const char *begin, const char *end)
{
    static constexpr double kPowersOfTen[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                              1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    const bool negative = begin != end && *begin == '-';
    const char *point = nullptr;
    uint64_t digits = 0;
    int count = 0;
    for (const char *at = begin + negative; at != end; ++at) {
        if (*at >= '0' && *at <= '9') {
            digits = digits * 10 + uint64_t(*at - '0');
            ++count;
        } else if (*at == '.' && !point) {
            point = at;
        } else {
            return std::nullopt;
        }
    }
    if (count == 0 || count > 15)
        return std::nullopt;
    const double value = double(digits) / kPowersOfTen[point ? end - point - 1 : 0];
    return negative ? -value : value;
}

} // namespace

std::optional<double> parseNumber(const char *begin, const char *end)
{
    if (const std::optional<double> value = parseShortDecimal(begin, end))
        return value;
    double value = 0;
    const std::from_chars_result result = std::from_chars(begin, end, value);
    if (result.ec != std::errc() || result.ptr != end || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::string numberText(double value)
{
    char text[32];
    const std::to_chars_result result = std::to_chars(text, text + sizeof text, value);
    return std::string(text, result.ptr);
}

TableReader::~TableReader()
{
    if (descriptor >= 0)
        ::close(descriptor);
}

bool TableReader::open(const std::string &path)
{
    const InputFile input = openInputFile(path);
    if (input.descriptor < 0)
        return fail(input.problem);
    descriptor = input.descriptor;
    fileBytes = uint64_t(input.size);
    // A small table gets a buffer of its own size (one more byte to see the end at once).
    buffer.resize(size_t(std::min<long long>(input.size + 1, (long long)kBlockSize)));
    return readHeader();
}

bool TableReader::readHeader()
{
    const char *begin = nullptr, *end = nullptr;
    if (!nextLine(begin, end))
        return problem.empty() ? fail("the file is empty") : false;
    const char *field = begin;
    for (;;) {
        const char *comma = findByte(field, end, ',');
        columnNames.emplace_back(field, comma);
        if (comma == end)
            break;
        field = comma + 1;
    }
    if (columnNames.front() != kTimeName)
        return fail(lineText(line) + "the header must start with \"time\"");
    columnNames.erase(columnNames.begin());
    if (columnNames.empty())
        return fail(lineText(line) + "the header names no signal after \"time\"");
    values.assign(columnNames.size() + 1, 0);
    values[0] = -HUGE_VAL; // no row yet: the first time goes back from nothing
    return true;
}

bool TableReader::next()
{
    const char *begin = nullptr, *end = nullptr;
    if (!problem.empty() || !nextLine(begin, end))
        return false;
    const double previous = values[0];
    if (!parseRow(begin, end))
        return false;
    if (values[0] < previous)
        return fail(lineText(line) + "the time " + numberText(values[0]) +
                    " goes back from the line before");
    return true;
}

bool TableReader::parseRow(const char *begin, const char *end)
{
    const char *field = begin;
    for (size_t column = 0; column < values.size(); ++column) {
        const char *comma = findByte(field, end, ',');
        if ((comma == end) != (column + 1 == values.size())) {
            const size_t fields = size_t(std::count(begin, end, ',')) + 1;
            return fail(lineText(line) + "the header has " + std::to_string(values.size()) +
                        " fields, this line " + std::to_string(fields));
        }
        const std::optional<double> value = parseNumber(field, comma);
        if (!value) {
            const std::string &name = column == 0 ? kTimeName : columnNames[column - 1];
            return fail(lineText(line) + quoted(field, comma) + " in column " + name +
                        " is not a number");
        }
        values[column] = *value;
        field = comma + 1;
    }
    return true;
}

bool TableReader::nextLine(const char *&begin, const char *&end)
{
    for (;;) {
        const char *unread = buffer.data() + start;
        const char *limit = buffer.data() + filled;
        const char *lineEnd = findByte(unread, limit, '\n');
        // The last line may lack its line end; an empty rest is no line.
        if (lineEnd != limit || (endOfFile && unread != limit)) {
            begin = unread;
            end = withoutReturn(unread, lineEnd);
            start = size_t(lineEnd - buffer.data()) + (lineEnd != limit);
            ++line;
            return true;
        }
        if (endOfFile || !readMore())
            return false;
    }
}

bool TableReader::readMore()
{
    // The unread part moves to the front; a line longer than the buffer doubles it.
    std::memmove(buffer.data(), buffer.data() + start, filled - start);
    filled -= start;
    start = 0;
    if (filled == buffer.size())
        buffer.resize(buffer.size() * 2);
    for (;;) {
        const ssize_t got = ::read(descriptor, buffer.data() + filled, buffer.size() - filled);
        if (got > 0) {
            filled += size_t(got);
            consumed += uint64_t(got);
            return true;
        }
        if (got == 0) {
            endOfFile = true;
            return true;
        }
        if (errno != EINTR)
            return fail(kCannotBeRead);
    }
}

bool TableReader::fail(const std::string &text)
{
    problem = text;
    return false;
}

std::optional<double> TableReader::lastTime() const
{
    struct stat status;
    if (fstat(descriptor, &status) != 0)
        return std::nullopt;
    const size_t size = size_t(status.st_size);
    // The tail read grows until it holds the whole last line.
    for (size_t tail = std::min(size, size_t(4096));; tail = std::min(size, tail * 4)) {
        std::vector<char> text(tail);
        if (pread(descriptor, text.data(), tail, off_t(size - tail)) != ssize_t(tail))
            return std::nullopt;
        const char *end = text.data() + tail;
        if (end > text.data() && end[-1] == '\n')
            --end;
        const char *lineStart = end;
        while (lineStart > text.data() && lineStart[-1] != '\n')
            --lineStart;
        if (lineStart > text.data() || tail == size) {
            end = withoutReturn(lineStart, end);
            return parseNumber(lineStart, findByte(lineStart, end, ','));
        }
    }
}
