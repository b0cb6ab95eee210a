#pragma once

#include "conversion/conversionfiles.h"
#include "database/candb.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// What to convert and how.
struct ConversionJob
{
    std::string logPath; // platform file-name encoding
    std::string outputPath;
    uint32_t periodMicros = 10000; // 1000000 div the conversion frequency
    bool smart = false;            // columns only for the messages that occur in the log
    // When not empty, the only columns, in this order; names the Candb file lacks get none.
    std::vector<std::string> columns;
};

// Ways for the caller to follow a conversion. All may be left empty.
struct ConversionHooks
{
    using Clock = std::chrono::steady_clock;

    // The share of the log read when a row is written, 0 to 100; told only when it changes.
    std::function<void(int percent)> progress;
    // Lets the window repaint and react: whenever at least 20 ms have passed since the last
    // time, in the pre-scan and the main pass, with rows or without; and once at the end. The
    // clock is read every few thousand records and every few dozen rows.
    std::function<void()> processEvents;
    // Bytes of records read so far, the passes over the log added up (a smart conversion reads it
    // twice); told after every batch of records.
    std::function<void(uint64_t bytes)> bytesRead;
    // Stands in for the steady clock in tests.
    std::function<Clock::time_point()> clock;
};

enum class ConversionOutcome
{
    Finished,
    LogUnreadable,    // the log could not be opened or read; nothing was created
    OutputIsLog,      // the output path names the log itself; nothing was created
    OutputNotCreated, // the output file could not be created
    WriteFailed,      // the table could not be written completely
    LogReadFailed,    // the log failed or ended early while converting
};

// The order every command that makes one file out of another keeps: the input is opened and read
// from, the output is checked not to be the input, and only then is the output created; so an
// input that cannot be read, or an output that is the input, costs the user no file.
template <typename OpenInput, typename CreateOutput>
ConversionOutcome openInOrder(const std::string &inputPath, const std::string &outputPath,
                              OpenInput openInput, CreateOutput createOutput)
{
    if (!openInput())
        return ConversionOutcome::LogUnreadable;
    if (sameFile(outputPath, inputPath))
        return ConversionOutcome::OutputIsLog;
    if (!createOutput())
        return ConversionOutcome::OutputNotCreated;
    return ConversionOutcome::Finished;
}

// A log opened with its first batch of records read, and then its output created, in that order.
struct OpenedConversion
{
    ConversionOutcome outcome = ConversionOutcome::Finished; // Finished when both are open
    std::unique_ptr<LogSource> log;
    size_t count = 0; // records of the first batch
    std::unique_ptr<TableSink> output;
};
OpenedConversion openConversion(ConversionFiles &files, const std::string &logPath,
                                const std::string &outputPath, RecordBatch &batch);

struct ConversionSummary
{
    ConversionOutcome outcome = ConversionOutcome::Finished;
    uint64_t frames = 0;
    uint64_t rows = 0;
    size_t columns = 0;
    uint64_t blankTail = 0; // blank records at the end of the log, counted among the frames
};

// Converts the log into the output table: a row whenever a frame's time has reached the last
// row's time plus one period, holding the latest value of every column. The Candb database
// must be one that readCandb accepted. The output file is created only after the log has been
// opened and read from, and never when it is the log itself. A conversion that does not finish
// leaves an earlier file of the output's name as it was.
ConversionSummary convertLog(const Candb &candb, const ConversionJob &job,
                             const ConversionHooks &hooks = {});
ConversionSummary convertLog(const Candb &candb, const ConversionJob &job,
                             const ConversionHooks &hooks, ConversionFiles &files);
