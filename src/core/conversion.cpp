#include "conversion.h"

#include "decodeplan.h"
#include "tablewriter.h"

namespace {

// The logger counts microseconds in 32 bits, so its time stamps wrap after about 71.6 minutes.
// A stamp that lies more than half the counter's range below the one before it came after a
// wrap; a smaller step back is just a frame out of order.
class StampUnwrapper
{
public:
    uint64_t operator()(uint32_t stamp)
    {
        if (stamp < previous && previous - stamp > 0x80000000u)
            epoch += uint64_t(1) << 32;
        previous = stamp;
        return epoch + stamp;
    }

private:
    uint64_t epoch = 0;
    uint32_t previous = 0;
};

// Tells the caller how far the conversion has come and lets the window react, but not more
// often than a person can see: repainting after every row would cost more than the row.
class WindowUpdates
{
public:
    WindowUpdates(const ConversionHooks &hooks, uint64_t logSize)
        : hooks(hooks), logSize(logSize), lastEvents(now())
    {
    }

    void rowWritten(uint64_t bytesRead)
    {
        if (hooks.progress) {
            const int percent = share(bytesRead);
            if (percent != lastPercent) {
                lastPercent = percent;
                hooks.progress(percent);
            }
        }
        if (hooks.processEvents) {
            const ConversionHooks::Clock::time_point time = now();
            if (time - lastEvents >= std::chrono::milliseconds(20)) {
                lastEvents = time;
                hooks.processEvents();
            }
        }
    }

    void passEnded()
    {
        if (hooks.processEvents)
            hooks.processEvents();
    }

private:
    ConversionHooks::Clock::time_point now() const
    {
        return hooks.clock ? hooks.clock() : ConversionHooks::Clock::now();
    }

    // In single precision and truncated, as the bar has always shown it.
    int share(uint64_t bytesRead) const
    {
        if (logSize == 0 || bytesRead >= logSize)
            return 100;
        return static_cast<int>(float(bytesRead) * 100.0f / float(logSize));
    }

    const ConversionHooks &hooks;
    const uint64_t logSize;
    ConversionHooks::Clock::time_point lastEvents;
    int lastPercent = -1;
};

// The message entries of every identifier in the log, from a pass over the whole file.
bool findMessagesInLog(LogSource &log, const MessageIndex &index, std::vector<bool> &seen)
{
    seen.assign(index.size(), false);
    CAN_FIFOMailBox_TypeDef record;
    while (log.next(record)) {
        const int entry = index.find(decodeMailbox(record).ID);
        if (entry >= 0)
            seen[entry] = true;
    }
    return !log.failed();
}

void decodeFrame(const DecodePlan &plan, int entry, const CAN_FIFOMailBox_TypeDef &record,
                 TableWriter &table)
{
    const DecodePlan::Message &message = plan.message(entry);
    const uint64_t little = littleEndianData(record.RDLR, record.RDHR);
    const uint64_t big = bigEndianData(little, message.bigEndianMask);
    const DecodeStep *steps = plan.steps();
    for (uint32_t step = message.firstStep; step < message.endStep; ++step)
        table.set(steps[step].column, steps[step].codec.value(little, big));
}

// Reads the log to its end; `record` is its first record when `hasFrames`.
ConversionOutcome mainPass(LogSource &log, bool hasFrames, CAN_FIFOMailBox_TypeDef record,
                           const DecodePlan &plan, const MessageIndex &index,
                           const ConversionJob &job, const ConversionHooks &hooks,
                           TableWriter &table, ConversionSummary &summary)
{
    WindowUpdates updates(hooks, log.size());
    StampUnwrapper unwrap;
    uint64_t lastRow = 0;
    uint64_t bytesRead = 0;
    for (bool more = hasFrames; more; more = log.next(record)) {
        bytesRead += kLogRecordSize;
        const Log frame = decodeMailbox(record);
        const uint64_t time = unwrap(frame.Time);
        const int entry = index.find(frame.ID);
        if (entry >= 0)
            decodeFrame(plan, entry, record, table);
        // The next row is due one period after the last row's own time.
        if (time >= lastRow + job.periodMicros) {
            lastRow = time;
            if (!table.writeRow(time))
                return ConversionOutcome::WriteFailed;
            ++summary.rows;
            updates.rowWritten(bytesRead);
        }
    }
    summary.frames = bytesRead / kLogRecordSize;
    updates.passEnded();
    // A log that ends before the size it had when opened was cut short while being read.
    const bool complete = bytesRead >= log.size() / kLogRecordSize * kLogRecordSize;
    if (log.failed() || !complete)
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

ConversionSummary convertLog(const Candb &candb, const ConversionJob &job,
                             const ConversionHooks &hooks, ConversionFiles &files)
{
    ConversionSummary summary;
    const MessageIndex index(candb);
    std::vector<bool> seen;
    if (job.smart) {
        std::unique_ptr<LogSource> prescan = files.openLog(job.logPath);
        if (!prescan || !findMessagesInLog(*prescan, index, seen)) {
            summary.outcome = ConversionOutcome::LogUnreadable;
            return summary;
        }
    }
    const DecodePlan plan(candb, index, job.smart ? &seen : nullptr);
    summary.columns = plan.columns().size();

    // Read before the output exists: a log that cannot be read must not cost the user a file.
    std::unique_ptr<LogSource> log = files.openLog(job.logPath);
    CAN_FIFOMailBox_TypeDef first{};
    const bool hasFrames = log && log->next(first);
    if (!log || log->failed()) {
        summary.outcome = ConversionOutcome::LogUnreadable;
        return summary;
    }
    if (sameFile(job.outputPath, job.logPath)) {
        summary.outcome = ConversionOutcome::OutputIsLog;
        return summary;
    }
    std::unique_ptr<TableSink> sink = files.createTable(job.outputPath);
    if (!sink) {
        summary.outcome = ConversionOutcome::OutputNotCreated;
        return summary;
    }

    // A table that cannot be written whole is given up, so that the file it was to replace
    // stays as it was.
    TableWriter table(*sink, plan.columns());
    summary.outcome = table.writeHeader() ? mainPass(*log, hasFrames, first, plan, index, job,
                                                     hooks, table, summary)
                                          : ConversionOutcome::WriteFailed;
    if (summary.outcome != ConversionOutcome::Finished)
        table.abandon();
    else if (!table.finish())
        summary.outcome = ConversionOutcome::WriteFailed;
    return summary;
}
