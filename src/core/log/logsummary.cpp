#include "log/logsummary.h"

#include "conversion/conversionfiles.h"

#include <algorithm>
#include <array>
#include <unordered_map>

namespace {

// Frames per identifier: a table for the 2048 standard identifiers, a hash map for the others.
class IdentifierCounter
{
public:
    void count(uint32_t id)
    {
        if (id < standard.size())
            ++standard[id];
        else
            ++others[id];
    }

    std::vector<LogSummary::Identifier> sorted() const
    {
        std::vector<LogSummary::Identifier> list;
        for (uint32_t id = 0; id < standard.size(); ++id) {
            if (standard[id])
                list.push_back({id, standard[id]});
        }
        const size_t standardCount = list.size();
        for (const auto &[id, frames] : others)
            list.push_back({id, frames});
        std::sort(list.begin() + std::ptrdiff_t(standardCount), list.end(),
                  [](const auto &a, const auto &b) { return a.id < b.id; });
        return list;
    }

private:
    std::array<uint64_t, 2048> standard{};
    std::unordered_map<uint32_t, uint64_t> others;
};

// The earliest and the latest of the times included so far; 0 and 0 before the first.
struct TimeSpan
{
    uint64_t earliest = 0;
    uint64_t latest = 0;
    bool empty = true;

    void include(uint64_t time)
    {
        earliest = empty ? time : std::min(earliest, time);
        latest = empty ? time : std::max(latest, time);
        empty = false;
    }
};

} // namespace

std::optional<LogSummary> summarizeLog(const std::string &path)
{
    ConversionFiles files;
    const std::unique_ptr<LogSource> log = files.openLog(path);
    if (!log)
        return std::nullopt;
    LogSummary summary;
    summary.fileSize = log->size();
    summary.partialBytes = summary.fileSize % kLogRecordSize;

    IdentifierCounter counter;
    StampUnwrapper unwrap;
    BlankTail blankTail;
    TimeSpan seen;
    TimeSpan beforeBlank; // the span up to the last record that is not blank
    std::vector<CAN_FIFOMailBox_TypeDef> batch(4096);
    uint64_t previous = 0;
    while (const size_t count = log->read(batch.data(), batch.size())) {
        for (size_t i = 0; i < count; ++i) {
            const uint64_t time = unwrap(batch[i].RDTR);
            if (summary.records + i > 0 && time < previous)
                ++summary.outOfOrder;
            previous = time;
            seen.include(time);
            if (!isBlankRecord(batch[i]))
                beforeBlank = seen;
            counter.count(mailboxId(batch[i]));
        }
        blankTail.add(batch.data(), count);
        summary.records += count;
    }
    summary.firstTime = beforeBlank.earliest;
    summary.lastTime = beforeBlank.latest;
    summary.blankTail = blankTail.records();
    summary.wraps = unwrap.wraps();
    summary.identifiers = counter.sorted();
    summary.readFailed = log->failed();
    return summary;
}
