#include "log/logtextfiles.h"

#include "database/decodeplan.h"
#include "database/signalcodec.h"
#include "files/inputfile.h"

#include <fstream>
#include <memory>
#include <vector>

namespace {

constexpr size_t kBatchRecords = 4096;

LogTextSummary ended(ConversionOutcome outcome, std::string problem = {})
{
    return LogTextSummary{outcome, std::move(problem), 0, {}};
}

// The data bytes the frames of each message entry carry.
std::vector<uint8_t> frameLengths(const MessageIndex &index)
{
    std::vector<uint8_t> lengths(index.size(), kFrameDataBytes);
    for (size_t entry = 0; entry < index.size(); ++entry) {
        const std::optional<uint8_t> dlc = index.definition(entry).dlc;
        if (dlc)
            lengths[entry] = frameByteCount(*dlc);
    }
    return lengths;
}

bool writeText(TableSink &file, const std::string &text)
{
    return file.write(text.data(), text.size());
}

// Writes the lines of every record, starting with the `count` already in `batch`.
ConversionOutcome exportRecords(LogSource &log, RecordBatch &batch, size_t count,
                                const LogExportJob &job, TableSink &file, uint64_t &frames)
{
    const Candb noDatabase;
    const MessageIndex index(job.candb ? *job.candb : noDatabase);
    const std::vector<uint8_t> lengths = frameLengths(index);
    const LogTextWriter writer(job.format, job.channel);
    std::vector<char> text(kBatchRecords * writer.longestLine());
    StampUnwrapper unwrap;
    if (!writeText(file, writer.header(job.date)))
        return ConversionOutcome::WriteFailed;
    for (; count > 0; count = log.read(batch.data(), batch.size())) {
        char *end = text.data();
        for (size_t i = 0; i < count; ++i) {
            const CAN_FIFOMailBox_TypeDef &record = batch[i];
            const int entry = index.find(mailboxId(record));
            const uint8_t length = entry >= 0 ? lengths[size_t(entry)] : kFrameDataBytes;
            end = writer.line(end, unwrap(record.RDTR), record, length);
        }
        if (!file.write(text.data(), size_t(end - text.data())))
            return ConversionOutcome::WriteFailed;
        frames += count;
    }
    if (!readWhole(log, frames))
        return ConversionOutcome::LogReadFailed;
    return writeText(file, writer.footer()) ? ConversionOutcome::Finished
                                            : ConversionOutcome::WriteFailed;
}

} // namespace

LogTextSummary exportLogText(const LogExportJob &job)
{
    ConversionFiles files;
    RecordBatch batch(kBatchRecords);
    const OpenedConversion opened = openConversion(files, job.logPath, job.outputPath, batch);
    if (opened.outcome == ConversionOutcome::LogUnreadable)
        return ended(opened.outcome, inputFileProblem(job.logPath));
    if (opened.outcome != ConversionOutcome::Finished)
        return ended(opened.outcome);

    LogTextSummary summary;
    TableSink &file = *opened.output;
    summary.outcome = exportRecords(*opened.log, batch, opened.count, job, file, summary.frames);
    if (summary.outcome != ConversionOutcome::Finished)
        file.discard();
    else if (!file.close())
        summary.outcome = ConversionOutcome::WriteFailed;
    return summary;
}

LogTextSummary importLogText(const std::string &textPath, LogTextFormat format,
                             const std::string &channel, const std::string &logPath)
{
    std::ifstream in;
    LogWriter writer;
    auto openText = [&] {
        if (isRegularFile(textPath))
            in.open(textPath, std::ios::binary);
        return in.is_open();
    };
    const ConversionOutcome opened =
        openInOrder(textPath, logPath, openText, [&] { return writer.open(logPath); });
    if (opened == ConversionOutcome::LogUnreadable)
        return ended(opened, inputFileProblem(textPath));
    if (opened != ConversionOutcome::Finished)
        return ended(opened);

    const LogTextReading reading = readLogText(
        in, format, channel, [&writer](const LogFrame &frame) { return writer.add(frame); });
    LogTextSummary summary{ConversionOutcome::Finished, reading.error, reading.frames,
                           reading.skipped};
    if (!reading.error.empty()) {
        summary.outcome = ConversionOutcome::LogReadFailed;
    } else if (reading.frames == 0) {
        // An empty log would look like a successful import of nothing.
        summary.outcome = ConversionOutcome::LogReadFailed;
        summary.problem = "no data frame in the file";
        if (reading.skipped.total() > 0)
            summary.problem += " (" + skippedText(reading.skipped) + ")";
    } else if (reading.stopped || !writer.commit()) {
        summary.outcome = ConversionOutcome::WriteFailed;
    }
    return summary; // a log not committed is discarded with the writer
}
