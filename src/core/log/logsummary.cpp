#include "log/logsummary.h"

#include "conversion/conversionfiles.h"

#include <algorithm>
#include <array>
#include <unordered_map>

namespace {

// Frames and times per identifier: a table for the 2048 standard identifiers, a hash map for the
// others.
class IdentifierCounter
{
public:
    void count(uint32_t id, uint64_t time)
    {
        LogSummary::Identifier &identifier = id < standard.size() ? standard[id] : others[id];
        if (identifier.frames++ == 0)
            identifier.firstTime = time;
        identifier.lastTime = time;
    }

    std::vector<LogSummary::Identifier> sorted() const
    {
        std::vector<LogSummary::Identifier> list;
        for (uint32_t id = 0; id < standard.size(); ++id) {
            if (standard[id].frames)
                list.push_back(withId(standard[id], id));
        }
        const size_t standardCount = list.size();
        for (const auto &[id, identifier] : others)
            list.push_back(withId(identifier, id));
        std::sort(list.begin() + std::ptrdiff_t(standardCount), list.end(),
                  [](const auto &a, const auto &b) { return a.id < b.id; });
        return list;
    }

private:
    static LogSummary::Identifier withId(LogSummary::Identifier identifier, uint32_t id)
    {
        identifier.id = id;
        return identifier;
    }

    std::array<LogSummary::Identifier, 2048> standard{};
    std::unordered_map<uint32_t, LogSummary::Identifier> others;
};

} // namespace

std::optional<LogSummary> summarizeLog(const std::string &path, const Progress &progress)
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
    ProgressGate gate(progress, summary.fileSize);
    std::vector<CAN_FIFOMailBox_TypeDef> batch(4096);
    uint64_t previous = 0;
    while (const size_t count = log->read(batch.data(), batch.size())) {
        for (size_t i = 0; i < count; ++i) {
            const uint64_t time = unwrap(batch[i].RDTR);
            if (summary.records + i == 0)
                summary.firstTime = time;
            else if (time < previous)
                ++summary.outOfOrder;
            previous = time;
            counter.count(mailboxId(batch[i]), time);
        }
        summary.records += count;
        if (!gate.advance(summary.records * kLogRecordSize)) {
            summary.cancelled = true;
            break;
        }
    }
    summary.lastTime = previous;
    summary.wraps = unwrap.wraps();
    summary.identifiers = counter.sorted();
    summary.readFailed = log->failed();
    return summary;
}
