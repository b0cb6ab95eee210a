#pragma once

#include "database/candb.h"
#include "files/progress.h"
#include "log/logsummary.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// The values of chosen signals over a whole log or table, one entry per frame of the signal's
// message (a log) or per row (a table), kept for plotting and reading out. However long the
// log, only the chosen signals' frames are kept: 4 bytes of time and 8 of value each.

// The first index in [begin, end) at which `reached` holds, `reached` being false up to some
// index and true from there on; `end` when it never holds. Searched outwards from `guess`, in
// steps that double, then by halving: a good guess costs a couple of looks at entries that lie
// side by side in memory.
template <typename Index, typename Reached>
Index firstIndex(Index begin, Index end, Index guess, Reached reached)
{
    Index low = std::clamp(guess, begin, end);
    Index high = low;
    for (Index step = 1;; step *= 2) {
        const bool lowFound = low == begin || !reached(low - 1);
        const bool highFound = high == end || reached(high);
        if (lowFound && highFound)
            break;
        if (!lowFound)
            low = low - begin > step ? low - step : begin;
        if (!highFound)
            high = end - high > step ? high + step : end;
    }
    while (low < high) {
        const Index middle = low + (high - low) / 2;
        if (reached(middle))
            high = middle;
        else
            low = middle + 1;
    }
    return low;
}

// Microseconds, 4 bytes each: the low 32 bits of every time, and the few places where the high
// bits change (once in 71.6 minutes, where the logger's stamps wrap). A series keeps them in
// ascending order.
class SeriesTimes
{
public:
    size_t size() const { return low.size(); }
    uint64_t operator[](size_t index) const
    {
        const auto after =
            std::upper_bound(highs.begin(), highs.end(), index,
                             [](size_t at, const High &high) { return at < high.first; });
        return uint64_t(after[-1].high) << 32 | low[index];
    }

    void push_back(uint64_t micros)
    {
        const uint32_t high = uint32_t(micros >> 32);
        if (highs.empty() || highs.back().high != high)
            highs.push_back({low.size(), high});
        low.push_back(uint32_t(micros));
    }
    // The first entry in [begin, end) at or after `micros`, or `end`; looked for near `guess`.
    // The times must be in ascending order.
    size_t firstAtOrAfter(uint64_t micros, size_t begin, size_t end, size_t guess) const;

    void reserve(size_t count) { low.reserve(count); }
    void shrink_to_fit() { low.shrink_to_fit(); }
    size_t memoryBytes() const;

private:
    struct High
    {
        size_t first; // the index from which on `high` holds
        uint32_t high;
    };
    std::vector<uint32_t> low;
    std::vector<High> highs;
};

struct SignalSeries
{
    // Shared by the signals of one message, and by the columns of one table.
    std::shared_ptr<const SeriesTimes> times;
    std::vector<double> values; // as the signal codec decodes them, or as the table holds them

    size_t size() const { return values.size(); }
    bool empty() const { return values.empty(); }
    uint64_t micros(size_t index) const { return (*times)[index]; }
    double seconds(size_t index) const { return toSeconds(micros(index)); }
    // The values' bytes, and the times' when `withTimes` (count shared times once).
    size_t memoryBytes(bool withTimes) const;

    static double toSeconds(uint64_t micros) { return double(micros) / 1e6; }
};

// A signal of a Candb database: candb.messages[message].signalList[signal].
struct SignalChoice
{
    size_t message = 0;
    size_t signal = 0;
};

// Reads the .qvl log at `logPath` (in the file system's encoding) once and extracts the chosen
// signals, one series each in the order chosen. Every frame whose identifier is the chosen
// signal's message's "id" gives an entry: its time unwrapped as the conversion unwraps it, its
// value decoded with the signal codec exactly as the conversion decodes it. Frames stamped out of
// order are put in time order. `summary`, when given (summarizeLog of the same file), lets the
// series be allocated once at their final size.
//
// Nothing, with *error set, when the log cannot be opened or read to its end; nothing with
// *error empty when `progress` stopped the pass.
std::vector<SignalSeries> extractSignals(const std::string &logPath, const Candb &candb,
                                         const std::vector<SignalChoice> &signals,
                                         const Progress &progress, std::string *error,
                                         const LogSummary *summary = nullptr);

// Reads the table at `csvPath` (TableReader's shape) once: one series per chosen column
// (indexes into TableReader::names()), all sharing the table's times (rounded to microseconds).
// Nothing, with *error set to the reader's fault or to a time outside 0 to 10^9 s (each naming
// its line), when the table cannot be read; nothing with *error empty when `progress` stopped
// the pass.
std::vector<SignalSeries> readTableSeries(const std::string &csvPath,
                                          const std::vector<size_t> &columns,
                                          const Progress &progress, std::string *error);
