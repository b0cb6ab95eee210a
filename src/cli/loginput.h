#pragma once

#include "log/logtextfiles.h"

#include <QString>

#include <memory>
#include <string>

// A log named on the command line, ready to be read as the logger's own .qvl file.
struct LogInput
{
    std::string readPath; // the file the conversion reads, in the file system's encoding
    QString problem;      // why the log cannot be taken; empty when it is ready
    // A log made from another format lives in a temporary file, gone with the last copy.
    std::shared_ptr<const void> temporary;

    bool ready() const { return problem.isEmpty(); }
};

// Takes a log as the Decoder takes it: an existing file with ".qvl" in its path. A candump log
// (".log") or an ASC file (".asc") is imported first into a temporary .qvl in the system's
// temporary folder; the lines it skipped are reported. Where the system allows it (Linux) that
// file never has a name, so that no run, however it ends, leaves it behind.
LogInput prepareLogInput(const QString &path);

// Why a log text could not be imported: the conversion's text, then the line for a malformed
// one. Reported after the text's path, as every problem of a log is.
QString importProblemText(const LogTextSummary &summary);
// Reports the lines an import of `path` skipped, if any.
void reportSkippedLines(const QString &path, const SkippedLines &skipped);
