#include "plot/seriesindex.h"

#include <algorithm>

namespace {

// The first index in [begin, end) at which `past` turns true; `past` must be false up to some
// index and true from there on. Galloping from `begin` first, because the boundaries of
// neighbouring pixel columns lie close together when zoomed in.
template <typename Past> size_t firstPast(size_t begin, size_t end, Past past)
{
    size_t step = 1;
    size_t low = begin;
    size_t high = begin;
    while (high < end && !past(high)) {
        low = high + 1;
        high = std::min(end, high + step);
        step *= 2;
    }
    while (low < high) {
        const size_t middle = low + (high - low) / 2;
        if (past(middle))
            high = middle;
        else
            low = middle + 1;
    }
    return low;
}

} // namespace

SeriesIndex::SeriesIndex(const SignalSeries &series)
{
    const std::vector<double> &values = series.values;
    if (values.size() <= kBaseBlock)
        return;
    std::vector<Bounds> base;
    base.reserve((values.size() + kBaseBlock - 1) / kBaseBlock);
    for (size_t start = 0; start < values.size(); start += kBaseBlock) {
        const auto end =
            values.begin() + std::ptrdiff_t(std::min(values.size(), start + kBaseBlock));
        const auto [min, max] = std::minmax_element(values.begin() + std::ptrdiff_t(start), end);
        base.push_back({*min, *max});
    }
    levels.push_back(std::move(base));
    while (levels.back().size() > kFanOut) {
        const std::vector<Bounds> &below = levels.back();
        std::vector<Bounds> above;
        above.reserve((below.size() + kFanOut - 1) / kFanOut);
        for (size_t start = 0; start < below.size(); start += kFanOut) {
            Bounds bounds = below[start];
            for (size_t i = start + 1; i < std::min(below.size(), start + kFanOut); ++i) {
                bounds.min = std::min(bounds.min, below[i].min);
                bounds.max = std::max(bounds.max, below[i].max);
            }
            above.push_back(bounds);
        }
        levels.push_back(std::move(above));
    }
}

size_t SeriesIndex::memoryBytes() const
{
    size_t bytes = levels.capacity() * sizeof(levels[0]);
    for (const std::vector<Bounds> &level : levels)
        bytes += level.capacity() * sizeof(Bounds);
    return bytes;
}

namespace {

void widenByValues(const double *begin, const double *end, PixelSpan &span)
{
    for (const double *value = begin; value != end; ++value) {
        span.min = std::min(span.min, *value);
        span.max = std::max(span.max, *value);
    }
}

} // namespace

// Whole blocks come from the pyramid, climbing as long as a stretch holds whole blocks of the
// level above; only the ragged ends of each level are visited one by one.
void SeriesIndex::widen(const SignalSeries &series, size_t begin, size_t end, PixelSpan &span) const
{
    const double *values = series.values.data();
    size_t low = (begin + kBaseBlock - 1) / kBaseBlock;
    size_t high = end / kBaseBlock;
    if (levels.empty() || low >= high) {
        widenByValues(values + begin, values + end, span);
        return;
    }
    widenByValues(values + begin, values + low * kBaseBlock, span);
    widenByValues(values + high * kBaseBlock, values + end, span);
    for (size_t level = 0;; ++level) {
        const Bounds *bounds = levels[level].data();
        const bool top = level + 1 == levels.size();
        const size_t upLow = top ? high : (low + kFanOut - 1) / kFanOut;
        const size_t upHigh = top ? high : high / kFanOut;
        if (top || upLow >= upHigh) {
            for (size_t i = low; i < high; ++i) {
                span.min = std::min(span.min, bounds[i].min);
                span.max = std::max(span.max, bounds[i].max);
            }
            return;
        }
        for (size_t i = low; i < upLow * kFanOut; ++i) {
            span.min = std::min(span.min, bounds[i].min);
            span.max = std::max(span.max, bounds[i].max);
        }
        for (size_t i = upHigh * kFanOut; i < high; ++i) {
            span.min = std::min(span.min, bounds[i].min);
            span.max = std::max(span.max, bounds[i].max);
        }
        low = upLow;
        high = upHigh;
    }
}

void SeriesIndex::reduce(const SignalSeries &series, double fromSeconds, double toSeconds,
                         int pixels, std::vector<PixelSpan> &out) const
{
    out.assign(size_t(std::max(pixels, 0)), PixelSpan{});
    const size_t count = series.size();
    if (count == 0 || pixels <= 0 || !(fromSeconds < toSeconds))
        return;
    // The column of a time exactly as PlotReduction finds it.
    const auto pixelOf = [&](size_t index) {
        const double position =
            (series.seconds(index) - fromSeconds) / (toSeconds - fromSeconds) * pixels;
        return position >= 0 ? int(std::min(position, double(pixels - 1))) : 0;
    };
    const double *values = series.values.data();
    size_t begin = firstPast(0, count, [&](size_t i) { return series.seconds(i) >= fromSeconds; });
    const size_t end = entriesUntil(series, toSeconds);
    for (int column = 0; column < pixels; ++column) {
        const size_t columnEnd = column + 1 == pixels ? end : firstPast(begin, end, [&](size_t i) {
            return pixelOf(i) > column;
        });
        PixelSpan &span = out[size_t(column)];
        // The value held into the column from before it, if a frame came before it and another
        // one after its start.
        if (begin > 0 && begin < count) {
            const double held = values[begin - 1];
            span = {held, held, held, held};
        }
        if (columnEnd > begin) {
            if (begin == 0)
                span.first = values[0];
            widen(series, begin, columnEnd, span);
            span.last = values[columnEnd - 1];
        }
        begin = columnEnd;
    }
}

size_t entriesUntil(const SignalSeries &series, double seconds)
{
    return firstPast(0, series.size(), [&](size_t i) { return series.seconds(i) > seconds; });
}

std::optional<Sample> sampleAt(const SignalSeries &series, double seconds)
{
    const size_t count = entriesUntil(series, seconds);
    if (count == 0)
        return std::nullopt;
    return Sample{series.micros(count - 1), series.values[count - 1]};
}
