#include "viewwork.h"

#include "childwork.h"
#include "measure.h"

#include "database/candb.h"
#include "log/logsummary.h"
#include "plot/seriesindex.h"
#include "plot/signalseries.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace {

constexpr size_t kPlottedSignals = 8;
// Each level a quarter of the one above, down to a window of about three frames of the
// busiest plotted signal.
constexpr double kZoomStep = 4;
constexpr double kFramesAtDeepestLevel = 3;

using Clock = std::chrono::steady_clock;

// The busiest messages' first signals, one per message: the ones with the most frames to
// extract and reduce, and none sharing its times with another.
std::vector<SignalChoice> busiestSignals(const Candb &candb, const LogSummary &summary)
{
    std::vector<std::pair<uint64_t, size_t>> messages; // frames, message
    for (size_t m = 0; m < candb.messages.size(); ++m) {
        if (candb.messages[m].signalList.empty())
            continue;
        for (const LogSummary::Identifier &identifier : summary.identifiers) {
            if (identifier.id == candb.messages[m].id)
                messages.emplace_back(identifier.frames, m);
        }
    }
    std::sort(messages.rbegin(), messages.rend());
    std::vector<SignalChoice> chosen;
    for (size_t i = 0; i < std::min(kPlottedSignals, messages.size()); ++i)
        chosen.push_back({messages[i].second, 0});
    return chosen;
}

struct Plotted
{
    std::vector<SignalSeries> series;
    std::vector<SeriesIndex> indexes;
};

// Adds the signals one at a time, each as a viewer adds it: one pass over the log, then its
// index. Gives each addition's seconds.
std::vector<double> addSignals(const std::string &log, const Candb &candb,
                               const LogSummary &summary, const std::vector<SignalChoice> &chosen,
                               Plotted &plotted)
{
    std::vector<double> seconds;
    for (const SignalChoice &choice : chosen) {
        const auto start = Clock::now();
        std::string error;
        std::vector<SignalSeries> one =
            extractSignals(log, candb, {choice}, Progress(), &error, &summary);
        if (one.empty()) {
            std::fprintf(stderr, "extraction failed: %s\n", error.c_str());
            return {};
        }
        SeriesIndex index(one.front());
        seconds.push_back(secondsSince(start));
        plotted.series.push_back(std::move(one.front()));
        plotted.indexes.push_back(std::move(index));
    }
    return seconds;
}

double bytesPerValue(const Plotted &plotted, size_t &values)
{
    std::set<const SeriesTimes *> times;
    size_t bytes = 0;
    values = 0;
    for (size_t i = 0; i < plotted.series.size(); ++i) {
        const SignalSeries &series = plotted.series[i];
        bytes += series.memoryBytes(times.insert(series.times.get()).second) +
                 plotted.indexes[i].memoryBytes() + sizeof(SignalSeries) + sizeof(SeriesIndex);
        values += series.size();
    }
    return double(bytes) / double(values);
}

// Redraws of all the plotted signals in windows of `span` seconds: wall and processor times.
struct Redraws
{
    std::vector<double> wallMs;
    std::vector<double> cpuMs;
};

Redraws redraw(const Plotted &plotted, double first, double last, double span, int pixels,
               std::mt19937_64 &random)
{
    std::vector<PixelSpan> spans;
    Redraws redraws;
    for (int window = 0; window < kViewWindowsPerLevel; ++window) {
        const double room = std::max(0.0, last - first - span);
        const double from =
            first + (window == 0 ? 0 : std::uniform_real_distribution<double>(0, room)(random));
        const double cpuBefore = processCpuSeconds();
        const auto start = Clock::now();
        for (size_t i = 0; i < plotted.series.size(); ++i)
            plotted.indexes[i].reduce(plotted.series[i], from, from + span, pixels, spans);
        redraws.wallMs.push_back(secondsSince(start) * 1e3);
        redraws.cpuMs.push_back((processCpuSeconds() - cpuBefore) * 1e3);
    }
    return redraws;
}

} // namespace

int measureViewing(int argc, char **argv)
{
    if (argc != 3)
        return 2;
    const std::optional<Candb> read = readBenchCandb(argv[0]);
    if (!read)
        return 2;
    const Candb &candb = *read;
    const std::string log = argv[1];
    const int pixels = std::atoi(argv[2]);

    const double cpuBefore = processCpuSeconds();
    const auto start = Clock::now();
    const std::optional<LogSummary> summary =
        summarizeLog(log, [](uint64_t, uint64_t) { return true; });
    const double indexSeconds = secondsSince(start);
    const double indexCpu = processCpuSeconds() - cpuBefore;
    if (!summary || summary->readFailed || summary->records == 0) {
        std::fprintf(stderr, "the log could not be summarised\n");
        return 3;
    }

    Plotted plotted;
    const std::vector<double> adding =
        addSignals(log, candb, *summary, busiestSignals(candb, *summary), plotted);
    if (adding.empty())
        return 3;
    size_t values = 0;
    const double perValue = bytesPerValue(plotted, values);

    const double first = SignalSeries::toSeconds(summary->firstTime);
    const double last = SignalSeries::toSeconds(summary->lastTime);
    const SignalSeries &busiest = plotted.series.front();
    const double deepest = kFramesAtDeepestLevel *
                           (busiest.seconds(busiest.size() - 1) - busiest.seconds(0)) /
                           double(busiest.size());
    std::mt19937_64 random(6);
    std::printf("%.6f %.6f %llu %.6f %.6f %.3f %zu %zu\n", indexSeconds, indexCpu,
                (unsigned long long)summary->records,
                *std::max_element(adding.begin(), adding.end()), median(adding), perValue, values,
                plotted.series.size());
    for (double span = last - first; span >= deepest; span /= kZoomStep) {
        const Redraws redraws = redraw(plotted, first, last, span, pixels, random);
        std::printf("%.6f %.3f %.3f %.3f\n", span, median(redraws.wallMs),
                    *std::max_element(redraws.wallMs.begin(), redraws.wallMs.end()),
                    median(redraws.cpuMs));
    }
    return 0;
}
