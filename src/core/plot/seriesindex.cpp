#include "plot/seriesindex.h"

#include <algorithm>

namespace {

// Times from here on are beyond what a double tells apart to the microsecond.
constexpr uint64_t kLatestMicros = uint64_t(1) << 53;

// The smallest time in microseconds at which `reached` holds, `reached` being false before some
// time and true from there on; kLatestMicros when it never holds before. Searched outwards from
// `estimateSeconds`, which the caller computes the way `reached` decides, so it lies close.
template <typename Reached> uint64_t firstMicros(double estimateSeconds, Reached reached)
{
    const double estimate = estimateSeconds * 1e6;
    const uint64_t guess = estimate > 0 ? uint64_t(std::min(estimate, double(kLatestMicros))) : 0;
    return firstIndex<uint64_t>(0, kLatestMicros, guess, reached);
}

// The first time that counts as later than `seconds`, and the first that counts as at or after it.
uint64_t firstMicrosAfter(double seconds)
{
    return firstMicros(seconds,
                       [seconds](uint64_t m) { return SignalSeries::toSeconds(m) > seconds; });
}

uint64_t firstMicrosFrom(double seconds)
{
    return firstMicros(seconds,
                       [seconds](uint64_t m) { return SignalSeries::toSeconds(m) >= seconds; });
}

// Four minima and maxima side by side: one after the other, each comparison would wait for the
// one before.
void widenByValues(const double *begin, const double *end, PixelSpan &span)
{
    double min[4] = {span.min, span.min, span.min, span.min};
    double max[4] = {span.max, span.max, span.max, span.max};
    const double *value = begin;
    for (; end - value >= 4; value += 4) {
        for (int lane = 0; lane < 4; ++lane) {
            min[lane] = std::min(min[lane], value[lane]);
            max[lane] = std::max(max[lane], value[lane]);
        }
    }
    for (; value != end; ++value) {
        min[0] = std::min(min[0], *value);
        max[0] = std::max(max[0], *value);
    }
    span.min = std::min(std::min(min[0], min[1]), std::min(min[2], min[3]));
    span.max = std::max(std::max(max[0], max[1]), std::max(max[2], max[3]));
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
        const auto begin = values.begin() + std::ptrdiff_t(start);
        const auto end =
            values.begin() + std::ptrdiff_t(std::min(values.size(), start + kBaseBlock));
        const auto [min, max] = std::minmax_element(begin, end);
        base.push_back({*min, *max});
    }
    levels.push_back(std::move(base));
    while (levels.back().size() > kFanOut) {
        const std::vector<Bounds> &below = levels.back();
        std::vector<Bounds> above;
        above.reserve((below.size() + kFanOut - 1) / kFanOut);
        for (size_t start = 0; start < below.size(); start += kFanOut) {
            Bounds bounds = below[start];
            for (size_t i = start + 1; i < std::min(below.size(), start + kFanOut); ++i)
                bounds.include(below[i]);
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
    Bounds found{span.min, span.max};
    for (size_t level = 0;; ++level) {
        const Bounds *bounds = levels[level].data();
        const bool top = level + 1 == levels.size();
        const size_t upLow = (low + kFanOut - 1) / kFanOut;
        const size_t upHigh = high / kFanOut;
        const bool climb = !top && upLow < upHigh;
        const size_t lowEnd = climb ? upLow * kFanOut : high;
        const size_t highBegin = climb ? upHigh * kFanOut : high;
        for (size_t i = low; i < lowEnd; ++i)
            found.include(bounds[i]);
        for (size_t i = highBegin; i < high; ++i)
            found.include(bounds[i]);
        if (!climb)
            break;
        low = upLow;
        high = upHigh;
    }
    span.min = found.min;
    span.max = found.max;
}

void SeriesIndex::reduce(const SignalSeries &series, double fromSeconds, double toSeconds,
                         int pixels, std::vector<PixelSpan> &out) const
{
    out.assign(size_t(std::max(pixels, 0)), PixelSpan{});
    const size_t count = series.size();
    if (count == 0 || pixels <= 0 || !(fromSeconds < toSeconds))
        return;
    const double secondsPerPixel = (toSeconds - fromSeconds) / pixels;
    // The column of a time exactly as PlotReduction finds it.
    const auto pixelOf = [&](uint64_t micros) {
        const double position =
            (SignalSeries::toSeconds(micros) - fromSeconds) / (toSeconds - fromSeconds) * pixels;
        return position >= 0 ? int(std::min(position, double(pixels - 1))) : 0;
    };
    const double *values = series.values.data();
    const SeriesTimes &times = *series.times;
    size_t begin = times.firstAtOrAfter(firstMicrosFrom(fromSeconds), 0, count, count / 2);
    const size_t end = times.firstAtOrAfter(firstMicrosAfter(toSeconds), begin, count, begin);
    size_t columnEntries = 0; // in the column before, the guess for the next
    for (int column = 0; column < pixels; ++column) {
        size_t columnEnd = end;
        if (column + 1 < pixels) {
            const uint64_t next = firstMicros(fromSeconds + (column + 1) * secondsPerPixel,
                                              [&](uint64_t m) { return pixelOf(m) > column; });
            columnEnd = times.firstAtOrAfter(next, begin, end, begin + columnEntries);
        }
        columnEntries = columnEnd - begin;
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

std::optional<Sample> sampleAt(const SignalSeries &series, double seconds)
{
    if (series.empty())
        return std::nullopt;
    const size_t count = series.times->firstAtOrAfter(firstMicrosAfter(seconds), 0, series.size(),
                                                      series.size() / 2);
    if (count == 0)
        return std::nullopt;
    return Sample{series.micros(count - 1), series.values[count - 1]};
}
