#include "conversion/tablewriter.h"

#include "conversion/fixedtext.h"

#include <algorithm>
#include <cmath>

TableWriter::TableWriter(TableSink &sink, std::vector<std::string> columnNames)
    : sink(sink), names(std::move(columnNames)), held(names.size(), 0), shown(names.size(), 0),
      stale(names.size(), 0), staleColumns(names.size() + 1), cells(names.size()),
      longTexts(names.size()),
      // The time, every cell at its longest, the newline, and the slack of a whole-cell copy.
      maxRowSize(32 + names.size() * kLongestCell + 1 + sizeof(Cell)),
      buffer(std::max<size_t>(size_t(1) << 20, 2 * maxRowSize))
{
    for (Cell &cell : cells) {
        std::memcpy(cell.text, ",0.000000", 9);
        cell.size = 9;
    }
}

void TableWriter::refreshText(uint32_t column)
{
    stale[column] = 0;
    const double value = held[column];
    uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    if (bits == shown[column]) // changed and changed back
        return;
    shown[column] = bits;
    Cell &cell = cells[column];
    // Made in place: copying a text just written would wait for its bytes to be stored.
    if (std::fabs(value) < 0x1p63) { // at most 27 characters
        cell.size = uint8_t(formatFixed(cell.text + 1, value) - cell.text);
        return;
    }
    char text[kLongestCell];
    text[0] = ',';
    longTexts[column].assign(text, formatFixed(text + 1, value));
    cell.size = 0;
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
    for (size_t i = 0; i < staleCount; ++i)
        refreshText(staleColumns[i]);
    staleCount = 0;

    char *out = formatMicros(buffer.data() + used, micros);
    // Bounds in locals: the stores into the buffer could change the vector as the compiler
    // sees it, which would have it load them again for every cell.
    const Cell *const firstCell = cells.data();
    const Cell *const endCell = firstCell + cells.size();
    for (const Cell *cell = firstCell; cell != endCell; ++cell) {
        const uint8_t size = cell->size;
        if (size != 0) {
            // The whole cell at once: the bytes past the text are overwritten by what follows.
            std::memcpy(out, cell, sizeof *cell);
            out += size;
        } else {
            const std::string &text = longTexts[size_t(cell - firstCell)];
            std::memcpy(out, text.data(), text.size());
            out += text.size();
        }
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
