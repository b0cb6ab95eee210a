#pragma once

#include "plot/tablereader.h"

#include <cstddef>
#include <limits>
#include <optional>
#include <string>
#include <vector>

// What a plot can show of a table: for each chosen signal and each pixel column of the image,
// the values the signal held during that column's stretch of time. However long the table, the
// plot keeps no more than that.

// One pixel column of one signal. The table's values are held until the next row, so a column
// also spans the value held into it from before: a change is a vertical edge in the column
// where it happens, and a value held over many columns stays one level.
struct PixelSpan
{
    double min = std::numeric_limits<double>::infinity();
    double max = -std::numeric_limits<double>::infinity();
    double first = 0; // at the column's start
    double last = 0;  // at its end
    // No value known: before the table's first row, or after its last.
    bool empty() const { return min > max; }
};

// Seconds, both ends included.
struct TimeRange
{
    double from = 0;
    double to = 0;
};

// Turns rows, given in time order, into spans of the chosen columns over `pixels` columns
// dividing the range evenly. Each row costs a comparison and a few updates per chosen column.
class PlotReduction
{
public:
    PlotReduction(const std::vector<size_t> &columns, TimeRange range, int pixels);

    // A row: its time and the values of all the table's columns. False once the row lies past
    // the range: the plot needs no more rows.
    bool add(double time, const double *row);
    // Ends the plot. When the table went on past the range, the values held at its last row
    // reach the range's end; otherwise the plot stops where the table does.
    void finish(bool tableGoesOn);

    size_t rowsInRange() const { return rowCount; }
    // Per chosen column, in the order given, one span per pixel column.
    const std::vector<std::vector<PixelSpan>> &spans() const { return signalSpans; }

private:
    int pixelOf(double time) const;
    void holdUntil(int pixel);

    std::vector<size_t> columns;
    TimeRange range;
    int pixels;
    std::vector<std::vector<PixelSpan>> signalSpans;
    std::vector<double> held; // each chosen column's latest value
    bool holding = false;     // a row has been seen
    int current = -1;         // the pixel column of the latest row in range
    size_t rowCount = 0;
};

// What to plot of a table: its columns (indexes into TableReader::names()), the range
// (by default from its first row to its last) and the image's width in pixel columns.
struct PlotRequest
{
    std::vector<size_t> columns;
    std::optional<double> from;
    std::optional<double> to;
    int pixels = 0;
};

struct TablePlot
{
    std::string error; // empty when the plot is ready
    TimeRange range;
    std::vector<std::vector<PixelSpan>> spans; // as PlotReduction::spans()
};

// Reads the rest of an opened table once, as far as the range reaches, and reduces it. Refuses a
// faulty line (among those read: an end asked for stops the reading there), a range with no rows
// and a table whose rows all have one time.
TablePlot reduceTable(TableReader &reader, const PlotRequest &request);
