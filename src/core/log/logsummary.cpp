#include "log/logsummary.h"

#include "files/inputfile.h"
#include "log/logfile.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <future>
#include <system_error>
#include <thread>

namespace {

// Frames and times per identifier in an open-addressing table. It is keyed by the record's
// identifier word with its request bits cleared, so that finding an identifier seen before costs a
// mask, a multiply and a compare, and no decoding. A standard frame's word whose
// extended-identifier bits are not clear never becomes a key: it misses and is counted on the slow
// path under the word with those bits clear, so that each identifier has one entry. The table grows
// before it is half full, so probes stay short.
class IdentifierTable
{
public:
    IdentifierTable() : slots(kFirstSize) {}

    void count(uint32_t word, uint64_t time)
    {
        const uint32_t key = word & kKeyBits;
        Slot &slot = slots[slotOf(key)];
        if (__builtin_expect(slot.key == key, 1)) {
            ++slot.frames;
            slot.lastTime = time;
            return;
        }
        countSlowly(canonical(key), time);
    }

    // Every identifier seen, in no particular order.
    std::vector<LogSummary::Identifier> identifiers() const
    {
        std::vector<LogSummary::Identifier> list;
        for (const Slot &slot : slots) {
            if (slot.key != kEmpty)
                list.push_back(
                    {mailboxId({slot.key, 0, 0, 0}), slot.frames, slot.firstTime, slot.lastTime});
        }
        return list;
    }

private:
    struct Slot
    {
        uint32_t key = kEmpty;
        uint64_t frames = 0;
        uint64_t firstTime = 0;
        uint64_t lastTime = 0;
    };

    static constexpr size_t kFirstSize = 4096;
    static constexpr uint32_t kKeyBits = ~uint32_t(3); // without the remote and transmit requests
    static constexpr uint32_t kEmpty = ~uint32_t(0);   // no key: its request bits are set

    static uint32_t canonical(uint32_t key)
    {
        return key & kIdeFlag ? key : key & (kLargestStandardId << kStandardIdShift);
    }

    size_t slotOf(uint32_t key) const { return (key * 0x9E3779B1u) >> shift; }

    // Kept out of the loop over the records, which it would only crowd.
    [[gnu::noinline]] void countSlowly(uint32_t key, uint64_t time)
    {
        for (size_t slot = slotOf(key);; slot = (slot + 1) & (slots.size() - 1)) {
            Slot &entry = slots[slot];
            if (entry.key == key) {
                ++entry.frames;
                entry.lastTime = time;
                return;
            }
            if (entry.key == kEmpty) {
                entry = {key, 1, time, time};
                if (++used * 2 > slots.size())
                    grow();
                return;
            }
        }
    }

    void grow()
    {
        std::vector<Slot> old(slots.size() * 2);
        old.swap(slots);
        --shift;
        for (const Slot &entry : old) {
            if (entry.key == kEmpty)
                continue;
            size_t slot = slotOf(entry.key);
            while (slots[slot].key != kEmpty)
                slot = (slot + 1) & (slots.size() - 1);
            slots[slot] = entry;
        }
    }

    std::vector<Slot> slots;
    int shift = 32 - 12; // kFirstSize slots
    size_t used = 0;
};

// The earliest and the latest of the times included so far; 0 and 0 before the first.
struct TimeSpan
{
    uint64_t earliest = 0;
    uint64_t latest = 0;
    bool empty = true;

    void include(const TimeSpan &other, uint64_t offset)
    {
        if (other.empty)
            return;
        earliest = empty ? other.earliest + offset : std::min(earliest, other.earliest + offset);
        latest = empty ? other.latest + offset : std::max(latest, other.latest + offset);
        empty = false;
    }
};

// What one stretch of the log holds. Its times are unwrapped as if the stretch were a log of its
// own: they move on by the epoch it began in once the stretches before it are known (Merger).
struct Stretch
{
    uint64_t records = 0;
    uint64_t firstTime = 0; // its first record's
    uint64_t lastTime = 0;  // its last record's
    uint64_t wraps = 0;
    uint64_t outOfOrder = 0;
    TimeSpan seen;
    TimeSpan beforeBlank; // up to its last record that is not blank
    uint64_t blankTail = 0;
    IdentifierTable identifiers;
    bool complete = false;   // read to its end
    bool readFailed = false; // reading failed, or the file ended before the stretch did
};

// 1 MiB at a time: the fewer reads, the less the kernel spends per byte.
constexpr size_t kBatchRecords = 65536;

// Counts records of a stretch whose span already holds its first record. The loop works on
// copies in locals, which the compiler keeps in registers rather than reloading them after every
// count it stores. Only a stamp below the one before needs more than an addition: it either wraps
// or steps back, and only where it steps back can the earliest fall or the latest be passed over.
void countRecords(const CAN_FIFOMailBox_TypeDef *records, size_t count, StampUnwrapper &unwrap,
                  Stretch &stretch)
{
    uint64_t epoch = unwrap.epochNow();
    uint32_t previous = unwrap.lastStamp();
    uint64_t wraps = 0;
    uint64_t backwards = 0;
    uint64_t earliest = stretch.seen.earliest;
    uint64_t latest = stretch.seen.latest;
    IdentifierTable &identifiers = stretch.identifiers;
    for (size_t i = 0; i < count; ++i) {
        const uint32_t stamp = records[i].RDTR;
        if (__builtin_expect(stamp < previous, 0)) {
            if (StampUnwrapper::wrapsAfter(previous, stamp)) {
                epoch += uint64_t(1) << 32;
                ++wraps;
            } else {
                ++backwards;
                latest = std::max(latest, epoch + previous);
                earliest = std::min(earliest, epoch + stamp);
            }
        }
        previous = stamp;
        identifiers.count(records[i].RIR, epoch + stamp);
    }
    unwrap = StampUnwrapper(epoch + previous, unwrap.wraps() + wraps);
    stretch.lastTime = epoch + previous;
    stretch.outOfOrder += backwards;
    stretch.seen.earliest = earliest;
    stretch.seen.latest = std::max(latest, epoch + previous);
}

// Below this size one thread reads the whole log: starting another costs more than it saves.
constexpr uint64_t kBytesPerThread = uint64_t(16) << 20;

// Shared by the threads of one pass: the bytes each has read, and whether to stop.
struct PassState
{
    explicit PassState(size_t threads) : bytesDone(threads) {}
    std::vector<std::atomic<uint64_t>> bytesDone;
    std::atomic<bool> stop{false};

    uint64_t totalDone() const
    {
        uint64_t total = 0;
        for (const std::atomic<uint64_t> &bytes : bytesDone)
            total += bytes.load(std::memory_order_relaxed);
        return total;
    }
};

// Reads `bytes` bytes of the log from `offset` on. `afterBatch` is told after every batch and
// stops the stretch when it returns false.
template <typename AfterBatch>
Stretch readStretch(const std::string &path, uint64_t offset, uint64_t bytes, AfterBatch afterBatch)
{
    Stretch stretch;
    LogReader reader;
    if (!reader.open(path, offset, bytes)) {
        stretch.readFailed = true;
        return stretch;
    }
    StampUnwrapper unwrap;
    BlankTail blankTail;
    RecordBatch batch(kBatchRecords);
    bool going = true;
    while (going) {
        const size_t count = reader.read(batch.data(), batch.size());
        if (count == 0)
            break;
        if (stretch.records == 0) {
            // A fresh unwrapper takes the first stamp as it is.
            stretch.firstTime = stretch.lastTime = batch[0].RDTR;
            stretch.seen = {stretch.firstTime, stretch.firstTime, false};
        }
        // The records before the batch's blank end, then those of the blank end.
        blankTail.add(batch.data(), count);
        const size_t blank = size_t(std::min<uint64_t>(blankTail.records(), count));
        countRecords(batch.data(), count - blank, unwrap, stretch);
        if (blank < count)
            stretch.beforeBlank = stretch.seen;
        countRecords(batch.data() + (count - blank), blank, unwrap, stretch);
        stretch.records += count;
        going = afterBatch(reader.bytesRead());
    }
    stretch.blankTail = blankTail.records();
    stretch.wraps = unwrap.wraps();
    stretch.complete = going && reader.bytesRead() == bytes;
    stretch.readFailed = reader.failed() || (going && !stretch.complete);
    return stretch;
}

// Puts the stretches together in log order: each one's times move on by the epoch at which the
// stamps stood when it began, which the stretch before tells.
class Merger
{
public:
    explicit Merger(LogSummary &summary) : summary(summary) {}

    void add(const Stretch &stretch)
    {
        if (stretch.records == 0)
            return;
        uint64_t offset = 0;
        if (summary.records > 0) {
            StampUnwrapper resume(lastTime);
            const uint64_t first = resume(uint32_t(stretch.firstTime));
            offset = first - stretch.firstTime;
            summary.wraps += resume.wraps();
            summary.outOfOrder += first < lastTime;
        }
        // Blank records followed by others are part of the span; a blank end is not.
        if (stretch.blankTail < stretch.records) {
            beforeBlank = seen;
            beforeBlank.include(stretch.beforeBlank, offset);
            summary.blankTail = stretch.blankTail;
        } else {
            summary.blankTail += stretch.records;
        }
        seen.include(stretch.seen, offset);
        summary.records += stretch.records;
        summary.wraps += stretch.wraps;
        summary.outOfOrder += stretch.outOfOrder;
        lastTime = stretch.lastTime + offset;
        for (const LogSummary::Identifier &entry : stretch.identifiers.identifiers())
            identifiers.push_back(
                {entry.id, entry.frames, entry.firstTime + offset, entry.lastTime + offset});
    }

    void finish()
    {
        summary.firstTime = beforeBlank.earliest;
        summary.lastTime = beforeBlank.latest;
        summary.identifiers = combined(std::move(identifiers));
    }

private:
    static std::vector<LogSummary::Identifier>
    combined(std::vector<LogSummary::Identifier> entries);

    LogSummary &summary;
    uint64_t lastTime = 0; // the last record's, unwrapped
    TimeSpan seen;
    TimeSpan beforeBlank;
    std::vector<LogSummary::Identifier> identifiers; // each stretch's, in log order
};

// One entry per identifier, the stretches' entries (in log order) added up; standard
// identifiers first, each kind ascending.
std::vector<LogSummary::Identifier> Merger::combined(std::vector<LogSummary::Identifier> entries)
{
    std::stable_sort(entries.begin(), entries.end(),
                     [](const LogSummary::Identifier &a, const LogSummary::Identifier &b) {
                         return a.id < b.id;
                     });
    std::vector<LogSummary::Identifier> list;
    for (const LogSummary::Identifier &entry : entries) {
        if (!list.empty() && list.back().id == entry.id) {
            list.back().frames += entry.frames;
            list.back().lastTime = entry.lastTime;
        } else {
            list.push_back(entry);
        }
    }
    // Standard identifiers are below the extended flag, so ascending order puts them first.
    return list;
}

} // namespace

// The log is read in as many stretches as there are cores, each on a thread of its own; the
// caller's thread reads the first one and tells `progress` how far they have come together.
std::optional<LogSummary> summarizeLog(const std::string &path, const Progress &progress)
{
    const InputFile input = openInputFile(path);
    if (input.descriptor < 0)
        return std::nullopt;
    ::close(input.descriptor); // each stretch opens the file for itself
    LogSummary summary;
    summary.fileSize = uint64_t(input.size);
    summary.partialBytes = summary.fileSize % kLogRecordSize;
    const uint64_t wholeRecords = summary.fileSize / kLogRecordSize;

    const size_t threads = size_t(std::clamp<uint64_t>(
        std::min<uint64_t>(std::thread::hardware_concurrency(), summary.fileSize / kBytesPerThread),
        1, 8));
    PassState state(threads);
    ProgressGate gate(progress, summary.fileSize);
    auto stretchBytes = [&](size_t stretch) {
        return (wholeRecords * (stretch + 1) / threads - wholeRecords * stretch / threads) *
               kLogRecordSize;
    };
    auto stretchOffset = [&](size_t stretch) {
        return wholeRecords * stretch / threads * kLogRecordSize;
    };
    std::vector<std::future<Stretch>> helpers;
    for (size_t stretch = 1; stretch < threads; ++stretch) {
        auto read = [&, stretch] {
            return readStretch(path, stretchOffset(stretch), stretchBytes(stretch),
                               [&, stretch](uint64_t bytes) {
                                   state.bytesDone[stretch].store(bytes, std::memory_order_relaxed);
                                   return !state.stop.load(std::memory_order_relaxed);
                               });
        };
        // Without a thread to spare, the stretch is read on this one when its turn comes.
        try {
            helpers.push_back(std::async(std::launch::async, read));
        } catch (const std::system_error &) {
            helpers.push_back(std::async(std::launch::deferred, read));
        }
    }
    // Progress is told every few MiB of all threads' reading together.
    auto tellProgress = [&] {
        if (!gate.advance(state.totalDone()))
            state.stop = true;
        return !state.stop;
    };
    std::vector<Stretch> stretches;
    stretches.push_back(readStretch(path, 0, stretchBytes(0), [&](uint64_t bytes) {
        state.bytesDone[0].store(bytes, std::memory_order_relaxed);
        return tellProgress();
    }));
    for (std::future<Stretch> &helper : helpers) {
        while (helper.wait_for(std::chrono::milliseconds(20)) == std::future_status::timeout)
            tellProgress();
        stretches.push_back(helper.get());
    }

    Merger merger(summary);
    for (const Stretch &stretch : stretches) {
        merger.add(stretch);
        // A stretch read only in part leaves a gap: the stretches after it are not counted.
        if (!stretch.complete) {
            summary.readFailed = stretch.readFailed;
            break;
        }
    }
    merger.finish();
    summary.cancelled = state.stop && !summary.readFailed;
    return summary;
}

std::string blankTailText(uint64_t records)
{
    return "the log ends in " + std::to_string(records) +
           " blank records (all bytes 0x00 or 0xFF), as a card that lost power while writing does";
}
