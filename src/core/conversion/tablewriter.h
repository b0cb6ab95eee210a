#pragma once

#include "conversion/conversionfiles.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

// The output table: a header line, then rows of the time and the value held by every column,
// fixed-point with six decimals and always a '.', whatever the locale. Rows are gathered in a
// large buffer and handed to the sink in blocks. A column keeps its text and makes it again only
// when its value has changed since the last row.
class TableWriter
{
public:
    TableWriter(TableSink &sink, std::vector<std::string> columnNames);

    // "time", then ",name" for every column. False on a write error.
    bool writeHeader();

    // Holds `value` in `column` until it is set again; every column starts at 0. Without
    // branches: whether a value changed is as good as random.
    void set(uint32_t column, double value)
    {
        uint64_t bits, before;
        std::memcpy(&bits, &value, sizeof bits);
        std::memcpy(&before, &held[column], sizeof before);
        const uint32_t changed = bits != before;
        held[column] = value;
        staleColumns[staleCount] = column;
        staleCount += changed & ~stale[column];
        stale[column] |= changed;
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

    // ",text" of a column. Every value below 2^63 in magnitude fits into one cell, which a row
    // copies whole.
    struct Cell
    {
        char text[31];
        uint8_t size; // bytes of ",text"; 0: the text is in longTexts
    };
    static_assert(sizeof(Cell) == 32, "cells are copied 32 bytes at a time");
    // ',' and the longest "%f" text of a double: sign, 309 digits, '.', six decimals.
    static constexpr size_t kLongestCell = 318;

    TableSink &sink;
    std::vector<std::string> names;
    // Types chosen so that storing into one cannot change another as the compiler sees it:
    // set() then keeps its counters in registers.
    std::vector<double> held;    // compared as bit patterns, so that -0 and 0 stay apart
    std::vector<uint64_t> shown; // bit pattern of the value each text was made from
    std::vector<uint32_t> stale; // 1: held value changed since the last row
    // The stale columns in their first staleCount places; one place more for set()'s store.
    std::vector<uint32_t> staleColumns;
    size_t staleCount = 0;
    std::vector<Cell> cells;
    std::vector<std::string> longTexts;
    size_t maxRowSize;
    std::vector<char> buffer;
    size_t used = 0;
};
