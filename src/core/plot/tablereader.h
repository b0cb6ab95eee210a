#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Reads a table of the Decoder's shape: a header "time,<name>,...", then one row of numbers per
// line, times never going back. Any such comma-separated file will do.
//
// The file is streamed in large blocks, whatever its size: a row's numbers land in one array
// that every row reuses, and numbers are read without the locale. A fault names its line.
class TableReader
{
public:
    TableReader() = default;
    ~TableReader();
    TableReader(const TableReader &) = delete;
    TableReader &operator=(const TableReader &) = delete;

    // Opens a regular file (path in the platform's file-name encoding) and reads its header.
    // False, with error() set, when it cannot be read or its header is not a table's.
    bool open(const std::string &path);
    // The signal names after "time", in the header's order.
    const std::vector<std::string> &names() const { return columnNames; }

    // Reads the next row. False at the end of the table, or at a faulty line: error() says which.
    bool next();
    double time() const { return values[0]; }
    // The row's values, one per name.
    const double *row() const { return values.data() + 1; }
    // The line last read, counted from 1 for the header.
    uint64_t lineNumber() const { return line; }
    const std::string &error() const { return problem; }
    // The file's size when opened, and how much of it has been read so far.
    uint64_t fileSize() const { return fileBytes; }
    uint64_t bytesRead() const { return consumed; }

    // The time of the table's last row, read from the end of the file without the rest. Nothing
    // when the last line holds no time: the table has no rows, or next() will find that line
    // faulty when it gets there.
    std::optional<double> lastTime() const;

private:
    bool nextLine(const char *&begin, const char *&end);
    bool readMore();
    bool readHeader();
    bool parseRow(const char *begin, const char *end);
    bool fail(const std::string &text);

    int descriptor = -1;
    std::vector<char> buffer; // the unread part of the file is [start, filled)
    size_t start = 0;
    size_t filled = 0;
    bool endOfFile = false;
    uint64_t fileBytes = 0;
    uint64_t consumed = 0;
    std::vector<std::string> columnNames;
    std::vector<double> values; // time, then one per name
    uint64_t line = 0;
    std::string problem;
};

// A number as a table field holds it: decimal, finite, nothing around it; read without the
// locale. Nothing for anything else.
std::optional<double> parseNumber(const char *begin, const char *end);
// A number written back for a message, the shortest text that reads as it, without the locale.
std::string numberText(double value);
