#include "loginput.h"

#include "commandline.h"
#include "conversion/decoderinputs.h"
#include "corestrings.h"
#include "files/inputfile.h"
#include "files/temporaryname.h"

#include <QDir>
#include <QFile>
#include <QTemporaryFile>

#include <fcntl.h>
#include <unistd.h>

namespace {

LogInput refused(const QString &problem)
{
    LogInput input;
    input.problem = problem;
    return input;
}

// A file without a name in the system's temporary folder, read and written through
// /proc/self/fd; it is gone when its descriptor is closed. Nothing where the system or the
// file system has no such files.
std::shared_ptr<const int> unnamedTemporary()
{
#ifdef O_TMPFILE
    const int descriptor = ::open(QFile::encodeName(QDir::tempPath()).constData(),
                                  O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (descriptor >= 0)
        return std::shared_ptr<const int>(new int(descriptor), [](const int *open) {
            ::close(*open);
            delete open;
        });
#endif
    return nullptr;
}

// A temporary file with a name, removed with the last copy of the input, or by a signal that stops
// the program first. The file goes before its name is let go.
struct NamedTemporary
{
    TemporaryName guard;
    QTemporaryFile file;
};

// The temporary file is made in the system's folder for them, never beside the user's files.
LogInput importedLogInput(const QString &path, LogTextFormat format)
{
    LogInput input;
    if (const std::shared_ptr<const int> unnamed = unnamedTemporary()) {
        input.readPath = "/proc/self/fd/" + std::to_string(*unnamed);
        input.temporary = unnamed;
    } else {
        auto named = std::make_shared<NamedTemporary>();
        named->file.setFileTemplate(QDir::tempPath() + "/quorvane-XXXXXX.qvl");
        if (!named->file.open())
            return refused("cannot make a temporary file in " + QDir::tempPath());
        named->file.close(); // the import replaces it; its name stays ours until it is removed
        input.readPath = nativePath(named->file.fileName());
        named->guard = TemporaryName(input.readPath);
        input.temporary = named;
    }
    const LogTextSummary summary = importLogText(nativePath(path), format, {}, input.readPath);
    if (summary.outcome != ConversionOutcome::Finished)
        return refused(importProblemText(summary));
    reportSkippedLines(path, summary.skipped);
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
