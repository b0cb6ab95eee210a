#pragma once

#include "conversionfiles.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

// The output table: a header line, then rows of the time and the value held by every column,
// fixed-point with six decimals and always a '.', whatever the locale. Rows are gathered in a
// large buffer and handed to the sink in blocks. A column's text is made again only when its
// value has changed since the last row.
class TableWriter
{
public:
    TableWriter(TableSink &sink, std::vector<std::string> columnNames);

    // "time", then ",name" for every column. False on a write error.
    bool writeHeader();

    // Holds `value` in `column` until it is set again; every column starts at 0.
    void set(uint32_t column, double value)
    {
        uint64_t bits;
        std::memcpy(&bits, &value, sizeof bits);
        if (bits != held[column]) {
            held[column] = bits;
            stale[column] = 1;
        }
    }

    // One row at `micros` microseconds. False on a write error.
    bool writeRow(uint64_t micros);

    // Hands over what is still buffered and closes the sink. False on a write error.
    bool finish();
    // Gives up the table: drops what is buffered and lets the sink discard what it has.
    void abandon();

private:
    bool reserve(size_t bytes);
    bool flush();
    bool writeText(const char *text, size_t size);
    void refreshText(uint32_t column);

    // ',' and the longest "%f" text of a double: sign, 309 digits, '.', six decimals.
    static constexpr size_t kCellSize = 320;

    TableSink &sink;
    std::vector<std::string> names;
    std::vector<uint64_t> held;      // bit patterns, so that -0 and 0 stay apart
    std::vector<uint8_t> stale;      // held value changed since its text was made
    std::vector<char> cells;         // per column ",text" in kCellSize bytes
    std::vector<uint16_t> cellSizes; // bytes of each cell, comma included
    size_t maxRowSize;
    std::vector<char> buffer;
    size_t used = 0;
};

// Writes `micros` as seconds with six decimals, exactly: 123456789 gives "123.456789".
// Returns the end of the text; at most 27 characters.
char *formatMicros(char *out, uint64_t micros);

// Writes `value` as printf's "%f" does in the C locale. Returns the end of the text; at most
// 317 characters.
char *formatFixed(char *out, double value);
