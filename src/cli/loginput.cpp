#include "loginput.h"

#include "commandline.h"
#include "conversion/decoderinputs.h"
#include "corestrings.h"
#include "files/inputfile.h"
#include "importedlog.h"

namespace {

LogInput refused(const QString &problem)
{
    LogInput input;
    input.problem = problem;
    return input;
}

// The temporary file is made in the system's folder for them, never beside the user's files.
LogInput importedLogInput(const QString &path, LogTextFormat format)
{
    ImportedLog imported = importToTemporaryLog(path, format);
    if (!imported.problem.isEmpty())
        return refused(imported.problem);
    if (imported.summary.outcome != ConversionOutcome::Finished)
        return refused(importProblemText(imported.summary));
    reportSkippedLines(path, imported.summary.skipped);
    LogInput input;
    input.readPath = std::move(imported.readPath);
    input.temporary = std::move(imported.temporary);
    return input;
}

} // namespace

LogInput prepareLogInput(const QString &path)
{
    const std::string readPath = nativePath(path);
    LogTextFormat format;
    const bool text = logTextFormatOfPath(readPath, format);
    if (!text && !isLogFileName(readPath))
        return refused(kLogNotCorrected);
    if (const std::string problem = inputFileProblem(readPath); !problem.empty())
        return refused(QString(kLogNotCorrected) + '\n' + qtText(problem));
    if (text)
        return importedLogInput(path, format);
    LogInput input;
    input.readPath = readPath;
    return input;
}

QString importProblemText(const LogTextSummary &summary)
{
    QString text = qtText(conversionOutcomeText(summary.outcome));
    if (!summary.problem.empty())
        text += '\n' + qtText(summary.problem);
    return text;
}

void reportSkippedLines(const QString &path, const SkippedLines &skipped)
{
    if (skipped.total() > 0)
        report(path + ": " + qtText(skippedText(skipped)));
}
