#include "tablewriter.h"

#include <algorithm>
#include <charconv>

char *formatMicros(char *out, uint64_t micros)
{
    out = std::to_chars(out, out + 20, micros / 1000000).ptr;
    *out++ = '.';
    uint32_t fraction = static_cast<uint32_t>(micros % 1000000);
    for (int digit = 6; digit-- > 0;) {
        out[digit] = static_cast<char>('0' + fraction % 10);
        fraction /= 10;
    }
    return out + 6;
}

char *formatFixed(char *out, double value)
{
    // Fixed notation with a precision gives exactly the digits of printf's "%f".
    return std::to_chars(out, out + 317, value, std::chars_format::fixed, 6).ptr;
}

TableWriter::TableWriter(TableSink &sink, std::vector<std::string> columnNames)
    : sink(sink), names(std::move(columnNames)), held(names.size(), 0), stale(names.size(), 0),
      cells(names.size() * kCellSize), cellSizes(names.size()),
      maxRowSize(32 + names.size() * kCellSize + 1),
      buffer(std::max<size_t>(size_t(1) << 20, 2 * maxRowSize))
{
    for (uint32_t column = 0; column < names.size(); ++column)
        refreshText(column);
}

void TableWriter::refreshText(uint32_t column)
{
    char *cell = &cells[column * kCellSize];
    double value;
    std::memcpy(&value, &held[column], sizeof value);
    cell[0] = ',';
    cellSizes[column] = static_cast<uint16_t>(formatFixed(cell + 1, value) - cell);
    stale[column] = 0;
}

bool TableWriter::flush()
{
    const bool written = used == 0 || sink.write(buffer.data(), used);
    used = 0;
    return written;
}

bool TableWriter::reserve(size_t bytes)
{
    return buffer.size() - used >= bytes || flush();
}

bool TableWriter::writeText(const char *text, size_t size)
{
    if (size > buffer.size())
        return flush() && sink.write(text, size);
    if (!reserve(size))
        return false;
    std::memcpy(buffer.data() + used, text, size);
    used += size;
    return true;
}

bool TableWriter::writeHeader()
{
    if (!writeText("time", 4))
        return false;
    for (const std::string &name : names) {
        if (!writeText(",", 1) || !writeText(name.data(), name.size()))
            return false;
    }
    return writeText("\n", 1);
}

bool TableWriter::writeRow(uint64_t micros)
{
    if (!reserve(maxRowSize))
        return false;
    char *out = formatMicros(buffer.data() + used, micros);
    const uint32_t count = static_cast<uint32_t>(names.size());
    for (uint32_t column = 0; column < count; ++column) {
        if (stale[column])
            refreshText(column);
        std::memcpy(out, &cells[column * kCellSize], cellSizes[column]);
        out += cellSizes[column];
    }
    *out++ = '\n';
    used = static_cast<size_t>(out - buffer.data());
    return true;
}

bool TableWriter::finish()
{
    const bool flushed = flush();
    const bool closed = sink.close();
    return flushed && closed;
}

void TableWriter::abandon()
{
    used = 0;
    sink.discard();
}
