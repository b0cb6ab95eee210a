#include "plot/plotdata.h"

#include <algorithm>

PlotReduction::PlotReduction(const std::vector<size_t> &columns, TimeRange range, int pixels)
    : columns(columns), range(range), pixels(pixels),
      signalSpans(columns.size(), std::vector<PixelSpan>(size_t(pixels))), held(columns.size())
{
}

bool PlotReduction::add(double time, const double *row)
{
    if (time > range.to)
        return false;
    if (time >= range.from) {
        holdUntil(pixelOf(time));
        for (size_t signal = 0; signal < columns.size(); ++signal) {
            PixelSpan &span = signalSpans[signal][size_t(current)];
            const double value = row[columns[signal]];
            if (span.empty())
                span.first = value;
            span.min = std::min(span.min, value);
            span.max = std::max(span.max, value);
            span.last = value;
        }
        ++rowCount;
    }
    for (size_t signal = 0; signal < columns.size(); ++signal)
        held[signal] = row[columns[signal]];
    holding = true;
    return true;
}

void PlotReduction::finish(bool tableGoesOn)
{
    if (tableGoesOn)
        holdUntil(pixels);
}

int PlotReduction::pixelOf(double time) const
{
    // Clamped while still a double: a range near the limits of a double gives inf or NaN here.
    const double position = (time - range.from) / (range.to - range.from) * pixels;
    return position >= 0 ? int(std::min(position, double(pixels - 1))) : 0;
}

// Carries the held values through the columns after the current one and into `pixel`, which
// becomes the current one. Before the first row nothing is held, and the columns stay empty.
void PlotReduction::holdUntil(int pixel)
{
    if (pixel == current)
        return;
    const int until = std::min(pixel, pixels - 1);
    if (holding) {
        for (size_t signal = 0; signal < columns.size(); ++signal) {
            const double value = held[signal];
            std::fill(signalSpans[signal].begin() + (current + 1),
                      signalSpans[signal].begin() + (until + 1),
                      PixelSpan{value, value, value, value});
        }
    }
    current = until;
}

namespace {

std::string secondsText(double from, double to)
{
    return numberText(from) + " s and " + numberText(to) + " s";
}

// The range as the user asked for it: an end given alone may lie beyond the table's other end.
std::string wantedText(const PlotRequest &request, TimeRange range)
{
    if (range.from <= range.to)
        return "between " + secondsText(range.from, range.to);
    return request.from ? "from " + numberText(range.from) + " s on"
                        : "up to " + numberText(range.to) + " s";
}

} // namespace

TablePlot reduceTable(TableReader &reader, const PlotRequest &request)
{
    TablePlot plot;
    if (!reader.next()) {
        plot.error = reader.error().empty() ? "the table has no rows" : reader.error();
        return plot;
    }
    const double firstTime = reader.time();
    std::optional<double> to = request.to;
    if (!to) {
        to = reader.lastTime();
        if (!to) {
            // The last line is faulty: reading on finds it, or an earlier fault, by its number.
            while (reader.next()) {
            }
            plot.error = reader.error();
            return plot;
        }
    }
    plot.range = {request.from.value_or(firstTime), *to};

    PlotReduction reduction(request.columns, plot.range, request.pixels);
    bool inRange = reduction.add(reader.time(), reader.row());
    while (inRange && reader.next())
        inRange = reduction.add(reader.time(), reader.row());
    // A row later than the last row, with no end asked for: the time goes back further on, and
    // reading on finds that line.
    if (!inRange && !request.to) {
        while (reader.next()) {
        }
    }
    // The row read last is the table's last row, or the first one past the range.
    if (!reader.error().empty()) {
        plot.error = reader.error();
    } else if (reduction.rowsInRange() == 0) {
        plot.error =
            "no rows " + wantedText(request, plot.range) +
            (inRange ? "; the table's rows lie between " + secondsText(firstTime, reader.time())
                     : "; the next row is at " + numberText(reader.time()) + " s");
    } else if (plot.range.from == plot.range.to) {
        plot.error = "every row plotted has the time " + numberText(plot.range.from) +
                     " s: a plot needs two times";
    } else {
        reduction.finish(!inRange);
        plot.spans = reduction.spans();
    }
    return plot;
}
