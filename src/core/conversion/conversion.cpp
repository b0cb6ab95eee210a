#include "conversion/conversion.h"

#include "conversion/latestframes.h"
#include "conversion/tablewriter.h"
#include "database/decodeplan.h"

namespace {

// Tells the caller how far the conversion has come and lets the window react, but not more
// often than a person can see: repainting after every row would cost more than the row. The
// clock is read only between batches of records and every few dozen rows, so reading it costs
// nothing per frame, and the window stays live through stretches without rows as well.
class WindowUpdates
{
public:
    explicit WindowUpdates(const ConversionHooks &hooks) : hooks(hooks), lastEvents(now()) {}

    void rowWritten(uint64_t bytesRead, uint64_t logSize)
    {
        if (hooks.progress) {
            const int percent = share(bytesRead, logSize);
            if (percent != lastPercent) {
                lastPercent = percent;
                hooks.progress(percent);
            }
        }
        if (++rowsSinceCheck == kRowsPerCheck)
            maybeProcessEvents();
    }

    // Between two batches of records, in the pre-scan and the main pass alike.
    void batchDone(size_t records)
    {
        bytes += records * kLogRecordSize;
        if (hooks.bytesRead)
            hooks.bytesRead(bytes);
        maybeProcessEvents();
    }

    void passEnded()
    {
        if (hooks.processEvents)
            hooks.processEvents();
    }

private:
    // A row of thousands of columns takes some microseconds.
    static constexpr int kRowsPerCheck = 64;

    void maybeProcessEvents()
    {
        rowsSinceCheck = 0;
        if (!hooks.processEvents)
            return;
        const ConversionHooks::Clock::time_point time = now();
        if (time - lastEvents >= std::chrono::milliseconds(20)) {
            lastEvents = time;
            hooks.processEvents();
        }
    }

    ConversionHooks::Clock::time_point now() const
    {
        return hooks.clock ? hooks.clock() : ConversionHooks::Clock::now();
    }

    // In single precision and truncated, as the bar has always shown it.
    static int share(uint64_t bytesRead, uint64_t logSize)
    {
        if (logSize == 0 || bytesRead >= logSize)
            return 100;
        return static_cast<int>(float(bytesRead) * 100.0f / float(logSize));
    }

    const ConversionHooks &hooks;
    ConversionHooks::Clock::time_point lastEvents;
    int lastPercent = -1;
    int rowsSinceCheck = 0;
    uint64_t bytes = 0;
};

// Records are taken from the log a batch at a time: the loop over a batch has no calls in it,
// and the window gets its turn between batches.
constexpr size_t kBatchRecords = 4096;

// The message entries of every identifier in the log, from a pass over the whole file.
bool findMessagesInLog(LogSource &log, const MessageIndex &index, WindowUpdates &updates,
                       std::vector<bool> &seen)
{
    seen.assign(index.size(), false);
    RecordBatch batch(kBatchRecords);
    while (const size_t count = log.read(batch.data(), batch.size())) {
        for (size_t i = 0; i < count; ++i) {
            const int entry = index.find(mailboxId(batch[i]));
            if (entry >= 0)
                seen[size_t(entry)] = true;
        }
        updates.batchDone(count);
    }
    return !log.failed();
}

// Reads the log to its end, starting with the `count` records already in `batch`.
ConversionOutcome mainPass(LogSource &log, RecordBatch &batch, size_t count, const DecodePlan &plan,
                           const MessageIndex &index, const ConversionJob &job,
                           WindowUpdates &updates, TableWriter &table, ConversionSummary &summary)
{
    LatestFrames latest(plan);
    StampUnwrapper unwrap;
    BlankTail blankTail;
    const uint64_t logSize = log.size();
    uint64_t lastRow = 0;
    uint64_t frames = 0;
    for (; count > 0; count = log.read(batch.data(), batch.size())) {
        for (size_t i = 0; i < count; ++i) {
            const CAN_FIFOMailBox_TypeDef &record = batch[i];
            const uint64_t frame = frames + i;
            const uint64_t time = unwrap(record.RDTR);
            const int entry = index.find(mailboxId(record));
            if (entry >= 0)
                latest.keep(entry, record.RDLR, record.RDHR, frame);
            // The next row is due one period after the last row's own time.
            if (time >= lastRow + job.periodMicros) {
                lastRow = time;
                latest.decodeInto(table);
                if (!table.writeRow(time))
                    return ConversionOutcome::WriteFailed;
                ++summary.rows;
                updates.rowWritten((frame + 1) * kLogRecordSize, logSize);
            }
        }
        blankTail.add(batch.data(), count);
        frames += count;
        summary.frames = frames;
        updates.batchDone(count);
    }
    summary.blankTail = blankTail.records();
    updates.passEnded();
    if (!readWhole(log, frames))
        return ConversionOutcome::LogReadFailed;
    return ConversionOutcome::Finished;
}

} // namespace

ConversionSummary convertLog(const Candb &candb, const ConversionJob &job,
                             const ConversionHooks &hooks)
{
    ConversionFiles files;
    return convertLog(candb, job, hooks, files);
}

OpenedConversion openConversion(ConversionFiles &files, const std::string &logPath,
                                const std::string &outputPath, RecordBatch &batch)
{
    OpenedConversion opened;
    auto openLog = [&] {
        opened.log = files.openLog(logPath);
        opened.count = opened.log ? opened.log->read(batch.data(), batch.size()) : 0;
        return opened.log && !opened.log->failed();
    };
    auto createTable = [&] { return (opened.output = files.createTable(outputPath)) != nullptr; };
    opened.outcome = openInOrder(logPath, outputPath, openLog, createTable);
    return opened;
}

ConversionSummary convertLog(const Candb &candb, const ConversionJob &job,
                             const ConversionHooks &hooks, ConversionFiles &files)
{
    ConversionSummary summary;
    WindowUpdates updates(hooks);
    const MessageIndex index(candb);
    std::vector<bool> seen;
    if (job.smart) {
        std::unique_ptr<LogSource> prescan = files.openLog(job.logPath);
        if (!prescan || !findMessagesInLog(*prescan, index, updates, seen)) {
            summary.outcome = ConversionOutcome::LogUnreadable;
            return summary;
        }
    }
    const DecodePlan plan(candb, index, job.smart ? &seen : nullptr,
                          job.columns.empty() ? nullptr : &job.columns);
    summary.columns = plan.columns().size();

    RecordBatch batch(kBatchRecords);
    const OpenedConversion opened = openConversion(files, job.logPath, job.outputPath, batch);
    if (opened.outcome != ConversionOutcome::Finished) {
        summary.outcome = opened.outcome;
        return summary;
    }

    // A table that cannot be written whole is given up, so that the file it was to replace
    // stays as it was.
    TableWriter table(*opened.output, plan.columns());
    summary.outcome = table.writeHeader() ? mainPass(*opened.log, batch, opened.count, plan, index,
                                                     job, updates, table, summary)
                                          : ConversionOutcome::WriteFailed;
    if (summary.outcome != ConversionOutcome::Finished)
        table.abandon();
    else if (!table.finish())
        summary.outcome = ConversionOutcome::WriteFailed;
    return summary;
}
