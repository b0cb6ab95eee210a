#include "logtextcommands.h"

#include "commandline.h"
#include "conversion/decoderinputs.h"
#include "databaseinput.h"
#include "log/logtextfiles.h"
#include "loginput.h"

#include <QDateTime>
#include <QFileInfo>

namespace {

void addTextOptions(CommandLine &line, const QString &channelHelp)
{
    line.parser.addOption({{"o", "output"}, "The file to write.", "file"});
    line.parser.addOption(
        {"format", "candump or asc; without it, the extension of the text file tells.", "format"});
    line.parser.addOption({"channel", channelHelp, "name"});
}

// The single positional argument and the output, or the usage error's status.
std::optional<int> checkFiles(const CommandLine &line, const QString &what)
{
    if (line.parser.positionalArguments().size() != 1)
        return line.usageError("give one " + what);
    if (line.parser.value("output").isEmpty())
        return line.usageError("give the file to write with -o");
    return std::nullopt;
}

// The format from --format, or else from the extension of `textPath`.
std::optional<int> chooseFormat(const CommandLine &line, const QString &textPath,
                                LogTextFormat &format)
{
    if (line.parser.isSet("format")) {
        if (!logTextFormatNamed(line.parser.value("format").toStdString(), format))
            return line.usageError("the format is candump or asc");
        return std::nullopt;
    }
    if (!logTextFormatOfPath(nativePath(textPath), format))
        return line.usageError(QString("cannot tell the format of '%1' from its extension "
                                       "(.log or .asc); give --format candump or asc")
                                   .arg(textPath));
    return std::nullopt;
}

std::optional<int> checkChannel(const CommandLine &line, LogTextFormat format)
{
    if (!line.parser.isSet("channel"))
        return std::nullopt;
    const std::string problem = channelProblem(format, line.parser.value("channel").toStdString());
    if (!problem.empty())
        return line.usageError(QString::fromStdString(problem));
    return std::nullopt;
}

// The database of --candb, read as the Decoder reads it; false when it is refused (reported).
bool readLengthDatabase(const QString &path, Candb &candb)
{
    CandbFile file = readDatabaseInput(path);
    if (!file.document) {
        report(invalidCandbText(file.problem));
        return false;
    }
    candb = std::move(file.candb);
    return true;
}

int exportLog(const CommandLine &line, LogTextFormat format)
{
    const QString logPath = line.parser.positionalArguments().first();
    const QString output = line.parser.value("output");
    // Checked before a log text is imported, which the conversion then reads instead.
    if (outputIsAnInput(output, {logPath, line.parser.value("candb")}))
        return kExitFailure;
    const LogInput input = prepareLogInput(logPath);
    if (!input.ready()) {
        report(logPath + ": " + input.problem);
        return kExitFailure;
    }
    Candb candb;
    if (line.parser.isSet("candb") && !readLengthDatabase(line.parser.value("candb"), candb))
        return kExitFailure;

    LogExportJob job;
    job.logPath = input.readPath;
    job.outputPath = nativePath(output);
    job.format = format;
    job.channel = line.parser.isSet("channel") ? line.parser.value("channel").toStdString()
                                               : defaultChannel(format);
    job.candb = line.parser.isSet("candb") ? &candb : nullptr;
    // The log holds no date: the nearest is when the logger last wrote to it.
    job.date = ascDate(QFileInfo(logPath).lastModified().toMSecsSinceEpoch());
    const LogTextSummary summary = exportLogText(job);
    if (summary.outcome != ConversionOutcome::Finished) {
        report(conversionOutcomeText(summary.outcome));
        return kExitFailure;
    }
    return kExitSuccess;
}

} // namespace

int runExport(const QStringList &arguments)
{
    CommandLine line("export", "Writes a log as a candump log (.log) or a Vector ASC file (.asc), "
                               "one line per frame, timed in seconds by its time stamps.");
    addTextOptions(line, "The channel of every frame: an interface name for candump (can0), a "
                         "number for ASC (1).");
    line.parser.addOption({"candb",
                           "Signal database: a frame of a message it describes carries the "
                           "message's \"dlc\" bytes (at most 8), every other frame 8.",
                           "file"});
    line.parser.addPositionalArgument("log", "The log: .qvl, or a candump log or ASC file.");
    if (const std::optional<int> done = line.parse(arguments))
        return *done;
    if (const std::optional<int> wrong = checkFiles(line, "log to export"))
        return *wrong;
    if (line.parser.value("output") == "-")
        return line.usageError("export writes a file: give its name with -o, not -");
    LogTextFormat format;
    if (const std::optional<int> wrong = chooseFormat(line, line.parser.value("output"), format))
        return *wrong;
    if (const std::optional<int> wrong = checkChannel(line, format))
        return *wrong;
    return exportLog(line, format);
}

int runImport(const QStringList &arguments)
{
    CommandLine line("import", "Turns a candump log (.log) or a Vector ASC file (.asc) into a .qvl "
                               "log: one record per classic data frame.");
    addTextOptions(line, "Only the frames of this channel: an interface name for candump, a "
                         "number for ASC.");
    line.parser.addPositionalArgument("text", "The candump log or ASC file.");
    if (const std::optional<int> done = line.parse(arguments))
        return *done;
    if (const std::optional<int> wrong = checkFiles(line, "file to import"))
        return *wrong;
    const QString textPath = line.parser.positionalArguments().first();
    const QString logPath = line.parser.value("output");
    LogTextFormat format;
    if (const std::optional<int> wrong = chooseFormat(line, textPath, format))
        return *wrong;
    if (const std::optional<int> wrong = checkChannel(line, format))
        return *wrong;
    // The Decoder takes only logs with ".qvl" in their path.
    if (!logPath.contains(".qvl"))
        return line.usageError("the log to write must be a .qvl file");

    const LogTextSummary summary =
        importLogText(nativePath(textPath), format, line.parser.value("channel").toStdString(),
                      nativePath(logPath));
    if (summary.outcome != ConversionOutcome::Finished) {
        report(textPath + ": " + importProblemText(summary));
        return kExitFailure;
    }
    reportSkippedLines(textPath, summary.skipped);
    return kExitSuccess;
}
