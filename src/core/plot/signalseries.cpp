#include "plot/signalseries.h"

#include "conversion/conversionfiles.h"
#include "database/decodeplan.h"
#include "database/signalcodec.h"
#include "plot/tablereader.h"

#include <algorithm>
#include <cmath>
#include <numeric>

uint64_t SeriesTimes::operator[](size_t index) const
{
    const auto after =
        std::upper_bound(highs.begin(), highs.end(), index,
                         [](size_t at, const High &high) { return at < high.first; });
    return uint64_t(after[-1].high) << 32 | low[index];
}

size_t SeriesTimes::memoryBytes() const
{
    return low.capacity() * sizeof(uint32_t) + highs.capacity() * sizeof(High);
}

size_t SignalSeries::memoryBytes(bool withTimes) const
{
    return values.capacity() * sizeof(double) + (withTimes && times ? times->memoryBytes() : 0);
}

namespace {

constexpr size_t kBatchRecords = 4096;
constexpr char kUnreadable[] = "the file cannot be read";
constexpr char kReadShort[] = "the file cannot be read to its end";

// The frames of one message identifier that the chosen signals come from: their times, shared by
// those signals' series, and whether they arrived in time order.
struct Frames
{
    std::shared_ptr<SeriesTimes> times = std::make_shared<SeriesTimes>();
    uint64_t latest = 0;
    bool ordered = true;
    uint32_t firstStep = 0;
    uint32_t endStep = 0;
};

// One chosen signal, resolved once: its codec and the series its values go into.
struct Extraction
{
    FieldCodec codec;
    uint64_t bigEndianMask = 0;
    std::vector<double> *values = nullptr;
};

// Puts a series' entries in time order, frames of one time in file order.
void sortByTime(Frames &frames, const Extraction *steps)
{
    const SeriesTimes &times = *frames.times;
    std::vector<size_t> order(times.size());
    std::iota(order.begin(), order.end(), size_t(0));
    std::stable_sort(order.begin(), order.end(),
                     [&times](size_t a, size_t b) { return times[a] < times[b]; });
    auto sorted = std::make_shared<SeriesTimes>();
    sorted->reserve(order.size());
    for (size_t index : order)
        sorted->push_back(times[index]);
    for (uint32_t step = frames.firstStep; step != frames.endStep; ++step) {
        std::vector<double> &values = *steps[step].values;
        std::vector<double> inOrder(values.size());
        for (size_t i = 0; i < order.size(); ++i)
            inOrder[i] = values[order[i]];
        values.swap(inOrder);
    }
    frames.times = sorted;
}

} // namespace

std::vector<SignalSeries> extractSignals(const std::string &logPath, const Candb &candb,
                                         const std::vector<SignalChoice> &signals,
                                         const Progress &progress, std::string *error,
                                         const LogSummary *summary)
{
    error->clear();
    const MessageIndex index(candb);
    // The chosen signals grouped by the message entry whose frames carry them.
    std::vector<int> framesOfEntry(index.size(), -1);
    std::vector<Frames> frameGroups;
    std::vector<std::vector<size_t>> chosenOfGroup;
    for (size_t choice = 0; choice < signals.size(); ++choice) {
        const SignalChoice &signal = signals[choice];
        if (signal.message >= candb.messages.size() ||
            signal.signal >= candb.messages[signal.message].signalList.size()) {
            *error = "no such signal in the database";
            return {};
        }
        int &group = framesOfEntry[size_t(index.find(candb.messages[signal.message].id))];
        if (group < 0) {
            group = int(frameGroups.size());
            frameGroups.emplace_back();
            chosenOfGroup.emplace_back();
        }
        chosenOfGroup[size_t(group)].push_back(choice);
    }

    std::vector<SignalSeries> series(signals.size());
    std::vector<Extraction> steps;
    for (size_t group = 0; group < frameGroups.size(); ++group) {
        Frames &frames = frameGroups[group];
        frames.firstStep = uint32_t(steps.size());
        for (size_t choice : chosenOfGroup[group]) {
            const Signal &sig =
                candb.messages[signals[choice].message].signalList[signals[choice].signal];
            steps.push_back({FieldCodec::resolve(sig), bigEndianDataMask(frameByteCount(sig)),
                             &series[choice].values});
        }
        frames.endStep = uint32_t(steps.size());
    }
    if (summary) {
        for (const LogSummary::Identifier &identifier : summary->identifiers) {
            const int entry = index.find(identifier.id);
            const int group = entry < 0 ? -1 : framesOfEntry[size_t(entry)];
            if (group < 0)
                continue;
            Frames &frames = frameGroups[size_t(group)];
            frames.times->reserve(identifier.frames);
            for (uint32_t step = frames.firstStep; step != frames.endStep; ++step)
                steps[step].values->reserve(identifier.frames);
        }
    }

    ConversionFiles files;
    const std::unique_ptr<LogSource> log = files.openLog(logPath);
    if (!log) {
        *error = kUnreadable;
        return {};
    }
    ProgressGate gate(progress, log->size());
    StampUnwrapper unwrap;
    std::vector<CAN_FIFOMailBox_TypeDef> batch(kBatchRecords);
    uint64_t records = 0;
    while (const size_t count = log->read(batch.data(), batch.size())) {
        for (size_t i = 0; i < count; ++i) {
            const CAN_FIFOMailBox_TypeDef &record = batch[i];
            const uint64_t time = unwrap(record.RDTR);
            const int entry = index.find(mailboxId(record));
            if (entry < 0 || framesOfEntry[size_t(entry)] < 0)
                continue;
            Frames &frames = frameGroups[size_t(framesOfEntry[size_t(entry)])];
            frames.ordered = frames.ordered && time >= frames.latest;
            frames.latest = time;
            frames.times->push_back(time);
            const uint64_t little = littleEndianData(record.RDLR, record.RDHR);
            for (uint32_t step = frames.firstStep; step != frames.endStep; ++step) {
                const Extraction &extraction = steps[step];
                extraction.values->push_back(extraction.codec.value(
                    little, bigEndianData(little, extraction.bigEndianMask)));
            }
        }
        records += count;
        if (!gate.advance(records * kLogRecordSize))
            return {};
    }
    if (!readWhole(*log, records)) {
        *error = kReadShort;
        return {};
    }

    for (Frames &frames : frameGroups) {
        if (!frames.ordered)
            sortByTime(frames, steps.data());
        frames.times->shrink_to_fit();
        for (uint32_t step = frames.firstStep; step != frames.endStep; ++step)
            steps[step].values->shrink_to_fit();
    }
    for (size_t group = 0; group < frameGroups.size(); ++group) {
        for (size_t choice : chosenOfGroup[group])
            series[choice].times = frameGroups[group].times;
    }
    return series;
}

namespace {

// The latest time a table may give, in seconds: its microseconds stay well inside 64 bits.
constexpr double kLatestTableTime = 1e12;

} // namespace

std::vector<SignalSeries> readTableSeries(const std::string &csvPath,
                                          const std::vector<size_t> &columns,
                                          const Progress &progress, std::string *error)
{
    error->clear();
    TableReader reader;
    if (!reader.open(csvPath)) {
        *error = reader.error();
        return {};
    }
    for (size_t column : columns) {
        if (column >= reader.names().size()) {
            *error = "no such column in the table";
            return {};
        }
    }
    auto times = std::make_shared<SeriesTimes>();
    std::vector<SignalSeries> series(columns.size());
    ProgressGate gate(progress, reader.fileSize());
    while (reader.next()) {
        const double time = reader.time();
        if (!(time >= 0 && time <= kLatestTableTime)) {
            *error = "line " + std::to_string(reader.lineNumber()) + ": the time " +
                     numberText(time) + " lies outside 0 to " + numberText(kLatestTableTime) + " s";
            return {};
        }
        times->push_back(uint64_t(std::llround(time * 1e6)));
        for (size_t i = 0; i < columns.size(); ++i)
            series[i].values.push_back(reader.row()[columns[i]]);
        if (!gate.advance(reader.bytesRead()))
            return {};
    }
    if (!reader.error().empty()) {
        *error = reader.error();
        return {};
    }
    times->shrink_to_fit();
    for (SignalSeries &one : series) {
        one.values.shrink_to_fit();
        one.times = times;
    }
    return series;
}
