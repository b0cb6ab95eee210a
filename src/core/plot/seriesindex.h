#pragma once

#include "plot/plotdata.h"
#include "plot/signalseries.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

// A pyramid of minima and maxima over one series, built once after extraction, so that a plot
// of any stretch of it costs per pixel column a few dozen steps rather than a pass over the
// stretch's frames. Each level's blocks are kFanOut times as long as the level's below; the
// lowest level's blocks hold kBaseBlock values. It costs about half a byte per value: the bounds,
// 16 bytes, of each lowest block, and a 15th of that for the levels above. Pixel columns are
// found among the series' own times.
class SeriesIndex
{
public:
    static constexpr size_t kBaseBlock = 32;
    static constexpr size_t kFanOut = 16;

    SeriesIndex() = default;
    explicit SeriesIndex(const SignalSeries &series);

    // The series between `fromSeconds` and `toSeconds` (both included) over `pixels` columns
    // dividing that range evenly: exactly the spans PlotReduction makes of the same values,
    // value held from one frame to the next. Columns before the first frame stay empty, as do
    // those after the last one when no frame follows the range. `series` is the one indexed.
    void reduce(const SignalSeries &series, double fromSeconds, double toSeconds, int pixels,
                std::vector<PixelSpan> &out) const;

    size_t memoryBytes() const;

private:
    struct Bounds
    {
        double min;
        double max;

        void include(const Bounds &other)
        {
            min = std::min(min, other.min);
            max = std::max(max, other.max);
        }
    };
    // Widens `span` by the values of entries [begin, end).
    void widen(const SignalSeries &series, size_t begin, size_t end, PixelSpan &span) const;

    std::vector<std::vector<Bounds>> levels; // levels[0] has blocks of kBaseBlock values
};

// A frame's time and the value it carried.
struct Sample
{
    uint64_t micros = 0;
    double value = 0;
};

// The latest entry of the series at or before `seconds` (SignalSeries::toSeconds of its time),
// exactly as its frame carried it. Nothing before the first entry.
std::optional<Sample> sampleAt(const SignalSeries &series, double seconds);
