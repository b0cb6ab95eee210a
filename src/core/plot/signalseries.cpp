#include "plot/signalseries.h"

#include "conversion/conversionfiles.h"
#include "database/decodeplan.h"
#include "database/signalcodec.h"
#include "files/inputfile.h"
#include "plot/tablereader.h"

#include <algorithm>
#include <cmath>
#include <numeric>

// Within the run of entries that share the high bits of `micros`, the low bits decide alone.
size_t SeriesTimes::firstAtOrAfter(uint64_t micros, size_t begin, size_t end, size_t guess) const
{
    const auto run = std::lower_bound(
        highs.begin(), highs.end(), uint32_t(micros >> 32),
        [](const High &entry, uint32_t high) { return uint64_t(entry.high) < high; });
    size_t found = size();
    if (run != highs.end()) {
        const size_t runBegin = run->first;
        const size_t runEnd = run + 1 == highs.end() ? size() : run[1].first;
        const uint32_t target = uint32_t(micros);
        found =
            uint64_t(run->high) == micros >> 32
                ? firstIndex(runBegin, runEnd, guess, [&](size_t i) { return low[i] >= target; })
                : runBegin;
    }
    return std::clamp(found, begin, end);
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

constexpr size_t kBatchRecords = 16384; // 256 KiB: fewer reads, and it stays in the core's cache
constexpr char kReadShort[] = "the file cannot be read to its end";

bool validChoice(const Candb &candb, const SignalChoice &choice)
{
    return choice.message < candb.messages.size() &&
           choice.signal < candb.messages[choice.message].signalList.size();
}

// Takes the chosen signals' values out of the frames, resolved once so that a frame costs a
// look-up of its identifier among the chosen messages' and, per chosen signal of its message, a
// shift, a mask and a multiply-add. The frames of one message identifier give one series of
// times, shared by that message's chosen signals.
class Extractor
{
public:
    Extractor(const Candb &candb, const std::vector<SignalChoice> &signals,
              std::vector<SignalSeries> &series)
        : chosenMessages(messagesOf(candb, signals)), index(chosenMessages), groups(index.size()),
          series(series)
    {
        // Steps of one message lie side by side, in the order the signals were chosen.
        for (size_t group = 0; group < groups.size(); ++group) {
            groups[group].firstStep = uint32_t(steps.size());
            for (size_t choice = 0; choice < signals.size(); ++choice) {
                const CandbMessage &message = candb.messages[signals[choice].message];
                if (index.find(message.id) != int(group))
                    continue;
                const Signal &sig = message.signalList[signals[choice].signal];
                steps.push_back({FieldCodec::resolve(sig), bigEndianDataMask(frameByteCount(sig)),
                                 &series[choice]});
            }
            groups[group].endStep = uint32_t(steps.size());
        }
    }

    // Makes room for every frame at once, so that the pass allocates nothing.
    void reserve(const LogSummary &summary)
    {
        for (const LogSummary::Identifier &identifier : summary.identifiers) {
            const int entry = index.find(identifier.id);
            if (entry < 0)
                continue;
            Group &group = groups[size_t(entry)];
            group.times->reserve(identifier.frames);
            for (uint32_t step = group.firstStep; step != group.endStep; ++step)
                steps[step].series->values.reserve(identifier.frames);
        }
    }

    void add(const CAN_FIFOMailBox_TypeDef &record, uint64_t time)
    {
        const int entry = index.find(mailboxId(record));
        if (entry < 0)
            return;
        Group &group = groups[size_t(entry)];
        group.ordered = group.ordered && time >= group.latest;
        group.latest = time;
        group.times->push_back(time);
        const uint64_t little = littleEndianData(record.RDLR, record.RDHR);
        for (uint32_t step = group.firstStep; step != group.endStep; ++step) {
            const Step &chosen = steps[step];
            chosen.series->values.push_back(
                chosen.codec.value(little, bigEndianData(little, chosen.bigEndianMask)));
        }
    }

    // Puts frames stamped out of order in time order and hands each series its times.
    void finish()
    {
        for (Group &group : groups) {
            if (!group.ordered)
                sortByTime(group);
            group.times->shrink_to_fit();
            for (uint32_t step = group.firstStep; step != group.endStep; ++step) {
                steps[step].series->values.shrink_to_fit();
                steps[step].series->times = group.times;
            }
        }
    }

private:
    struct Group
    {
        std::shared_ptr<SeriesTimes> times = std::make_shared<SeriesTimes>();
        uint64_t latest = 0;
        bool ordered = true;
        uint32_t firstStep = 0;
        uint32_t endStep = 0;
    };
    struct Step
    {
        FieldCodec codec;
        uint64_t bigEndianMask = 0;
        SignalSeries *series = nullptr;
    };

    // Frames of one time keep their order in the file. The times are unpacked once: the sort
    // would otherwise look up each one's high bits at every comparison.
    void sortByTime(Group &group)
    {
        const SeriesTimes &times = *group.times;
        std::vector<uint64_t> micros(times.size());
        for (size_t i = 0; i < micros.size(); ++i)
            micros[i] = times[i];
        std::vector<size_t> order(micros.size());
        std::iota(order.begin(), order.end(), size_t(0));
        std::stable_sort(order.begin(), order.end(),
                         [&micros](size_t a, size_t b) { return micros[a] < micros[b]; });
        auto sorted = std::make_shared<SeriesTimes>();
        sorted->reserve(order.size());
        for (size_t entry : order)
            sorted->push_back(micros[entry]);
        group.times = sorted;
        for (uint32_t step = group.firstStep; step != group.endStep; ++step) {
            std::vector<double> &values = steps[step].series->values;
            std::vector<double> inOrder(values.size());
            for (size_t i = 0; i < order.size(); ++i)
                inOrder[i] = values[order[i]];
            values.swap(inOrder);
        }
    }

    // The chosen signals' messages alone, without their signals: looking a frame up among them
    // tells at once whether it carries a chosen signal, and which group it belongs to.
    static Candb messagesOf(const Candb &candb, const std::vector<SignalChoice> &signals)
    {
        Candb chosen;
        for (const SignalChoice &choice : signals)
            chosen.messages.push_back({candb.messages[choice.message].id, std::nullopt, {}});
        return chosen;
    }

    const Candb chosenMessages;
    const MessageIndex index;  // an entry per message identifier chosen
    std::vector<Group> groups; // per entry of the index
    std::vector<Step> steps;
    std::vector<SignalSeries> &series;
};

} // namespace

std::vector<SignalSeries> extractSignals(const std::string &logPath, const Candb &candb,
                                         const std::vector<SignalChoice> &signals,
                                         const Progress &progress, std::string *error,
                                         const LogSummary *summary)
{
    error->clear();
    for (const SignalChoice &choice : signals) {
        if (!validChoice(candb, choice)) {
            *error = "no such signal in the database";
            return {};
        }
    }
    std::vector<SignalSeries> series(signals.size());
    Extractor extractor(candb, signals, series);
    if (summary)
        extractor.reserve(*summary);

    ConversionFiles files;
    const std::unique_ptr<LogSource> log = files.openLog(logPath);
    if (!log) {
        const std::string problem = inputFileProblem(logPath);
        *error = problem.empty() ? kCannotBeRead : problem;
        return {};
    }
    ProgressGate gate(progress, log->size());
    StampUnwrapper unwrap;
    RecordBatch batch(kBatchRecords);
    uint64_t records = 0;
    while (const size_t count = log->read(batch.data(), batch.size())) {
        for (size_t i = 0; i < count; ++i)
            extractor.add(batch[i], unwrap(batch[i].RDTR));
        records += count;
        if (!gate.advance(records * kLogRecordSize))
            return {};
    }
    if (!readWhole(*log, records)) {
        *error = kReadShort;
        return {};
    }
    extractor.finish();
    return series;
}

namespace {

// The latest time a table may give, in seconds (some 31 years): a double tells every microsecond
// up to it apart.
constexpr int64_t kLatestTableSeconds = 1000000000;

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
        if (!(time >= 0 && time <= double(kLatestTableSeconds))) {
            *error = "line " + std::to_string(reader.lineNumber()) + ": the time " +
                     numberText(time) + " lies outside 0 to " +
                     std::to_string(kLatestTableSeconds) + " s";
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
