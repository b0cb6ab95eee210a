// Tables from anywhere: any bytes go through the table reader and the reduction for a plot. The
// result must be a plot or a reason, never both: a plot has a span per pixel column for every
// signal, each span's first and last value within its extremes, and a range of some length; a
// reason that names a line names one the file has. Numbers read as the full parse reads them.
//
// Input: one byte chooses the number of pixel columns, one whether the range is given and two
// its ends in quarter seconds; the rest is the table.

#include "fuzzcheck.h"
#include "plot/plotdata.h"
#include "plot/tablereader.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

void checkSpans(const TablePlot &plot, size_t signals, int pixels)
{
    check(plot.range.from < plot.range.to, "a plot's range has a length");
    check(plot.spans.size() == signals, "spans for every signal");
    for (const std::vector<PixelSpan> &spans : plot.spans) {
        check(spans.size() == size_t(pixels), "a span per pixel column");
        check(std::any_of(spans.begin(), spans.end(),
                          [](const PixelSpan &span) { return !span.empty(); }),
              "a signal plotted has a value somewhere");
        for (const PixelSpan &span : spans) {
            if (span.empty())
                continue;
            check(std::isfinite(span.min) && std::isfinite(span.max), "finite extremes");
            check(span.min <= span.first && span.first <= span.max, "first within the extremes");
            check(span.min <= span.last && span.last <= span.max, "last within the extremes");
        }
    }
}

void checkLineNamed(const std::string &error, const uint8_t *table, size_t size)
{
    if (error.rfind("line ", 0) != 0)
        return;
    const unsigned long line = std::strtoul(error.c_str() + 5, nullptr, 10);
    const size_t lines = size_t(std::count(table, table + size, '\n')) + 1;
    check(line >= 1 && line <= lines, "the line named is in the file");
}

// The table's first field read as a number: the short way for decimals and the full parse agree.
void checkNumber(const uint8_t *table, size_t size)
{
    const char *begin = reinterpret_cast<const char *>(table);
    const char *end =
        std::find_if(begin, begin + size, [](char c) { return c == ',' || c == '\n'; });
    double expected = 0;
    const std::from_chars_result full = std::from_chars(begin, end, expected);
    const bool accepted = full.ec == std::errc() && full.ptr == end && std::isfinite(expected);
    const std::optional<double> value = parseNumber(begin, end);
    check(value.has_value() == accepted, "a number is taken as the full parse takes it");
    check(!accepted || (*value == expected && std::signbit(*value) == std::signbit(expected)),
          "a number is the double of the full parse");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 4)
        return 0;
    const int pixels = 1 + data[0] % 64;
    PlotRequest request;
    request.pixels = pixels;
    if (data[1] & 1)
        request.from = int8_t(data[2]) / 4.0;
    if (data[1] & 2)
        request.to = int8_t(data[3]) / 4.0;
    const uint8_t *table = data + 4;
    const size_t tableSize = size - 4;

    checkNumber(table, tableSize);
    const InMemoryFile file(table, tableSize);
    TableReader reader;
    if (!reader.open(file.path())) {
        check(!reader.error().empty(), "a table refused says why");
        checkLineNamed(reader.error(), table, tableSize);
        return 0;
    }
    check(!reader.names().empty(), "a table has a signal");
    for (size_t column = 0; column < std::min(reader.names().size(), size_t(4)); ++column)
        request.columns.push_back(column);
    const TablePlot plot = reduceTable(reader, request);
    if (plot.error.empty()) {
        checkSpans(plot, request.columns.size(), pixels);
    } else {
        check(plot.spans.empty(), "no plot with a reason");
        checkLineNamed(plot.error, table, tableSize);
    }
    return 0;
}
