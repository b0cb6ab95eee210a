#pragma once

#include "conversion/conversion.h"
#include "database/candb.h"
#include "log/logtext.h"

#include <cstdint>
#include <string>

// A .qvl log written out as text.
struct LogExportJob
{
    std::string logPath; // platform file-name encoding
    std::string outputPath;
    LogTextFormat format = LogTextFormat::Candump;
    std::string channel; // one that channelProblem accepts
    // When given, a frame of a message it describes carries that message's "dlc" bytes (at most
    // 8); every other frame carries 8.
    const Candb *candb = nullptr;
    std::string date; // the ASC header's date, as ascDate gives it
};

// How an export or an import ended. The outcomes are the conversion's: the log or text could not
// be read, the output is the input, the output could not be created or written, or the input
// failed (or, for a text, held a malformed line) while being read.
struct LogTextSummary
{
    ConversionOutcome outcome = ConversionOutcome::Finished;
    // With LogReadFailed: the malformed line, or why reading failed; with LogUnreadable: why the
    // input cannot be read, as the input checks say it.
    std::string problem;
    uint64_t frames = 0;
    SkippedLines skipped; // an import's lines left out
};

// Streams the log's records into the text, a batch at a time, each with its time stamp unwrapped
// as the conversion unwraps it. The log is read from before the output is created; an output
// that cannot be finished leaves an earlier file of its name as it was and no part of a text.
LogTextSummary exportLogText(const LogExportJob &job);

// Writes one log record per classic data frame of the text at `textPath` (a regular file) into
// the .qvl at `logPath`, as readLogText reads them. A text with a malformed line, or one that
// cannot be read to its end, writes nothing, and an earlier log of that name stays as it was.
LogTextSummary importLogText(const std::string &textPath, LogTextFormat format,
                             const std::string &channel, const std::string &logPath);
