#include "logtextcommands.h"

#include "commandline.h"
#include "conversion/decoderinputs.h"
#include "corestrings.h"
#include "databaseinput.h"
#include "files/inputfile.h"
#include "log/logtextfiles.h"
#include "loginput.h"
#include "text/numbertext.h"

namespace {

void addTextOptions(CommandLine &line, const QString &channelHelp)
{
    line.parser.addOption({{"o", "output"}, "The file to write.", "file"});
    line.parser.addOption(
        {"format", "candump or asc; without it, the extension of the text file tells.", "format"});
    line.parser.addOption({"channel", channelHelp, "name"});
    line.parser.addOption({"quiet", "No closing line; only problems are reported."});
}

// The path a message about the outcome names: the input's, or the output's when writing failed.
QString outcomePath(ConversionOutcome outcome, const QString &input, const QString &output)
{
    const bool aboutOutput = outcome == ConversionOutcome::OutputIsLog ||
                             outcome == ConversionOutcome::OutputNotCreated ||
                             outcome == ConversionOutcome::WriteFailed;
    return aboutOutput ? output : input;
}

// The closing line, or the problem; the exit status.
int reportWritten(const CommandLine &line, const QString &input, const LogTextSummary &summary)
{
    const QString output = line.parser.value("output");
    if (summary.outcome != ConversionOutcome::Finished) {
        report(outcomePath(summary.outcome, input, output) + ": " + importProblemText(summary));
        return kExitFailure;
    }
    if (!line.parser.isSet("quiet"))
        report(output + ": " + qtText(counted(summary.frames, "frame", "frames")) + " written");
    return kExitSuccess;
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
        if (!logTextFormatNamed(coreText(line.parser.value("format")), format))
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
    const std::string problem = channelProblem(format, coreText(line.parser.value("channel")));
    if (!problem.empty())
        return line.usageError(qtText(problem));
    return std::nullopt;
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
    std::optional<Candb> candb;
    if (line.parser.isSet("candb")) {
        candb = loadDatabase(line.parser.value("candb"));
        if (!candb)
            return kExitFailure;
    }

    LogExportJob job;
    job.logPath = input.readPath;
    job.outputPath = nativePath(output);
    job.format = format;
    job.channel = line.parser.isSet("channel") ? coreText(line.parser.value("channel"))
                                               : defaultChannel(format);
    job.candb = candb ? &*candb : nullptr;
    // The log holds no date: the nearest is when the logger last wrote to it.
    job.date = ascDate(pathStatus(nativePath(logPath)).value_or(PathStatus{}).modifiedMillis);
    return reportWritten(line, logPath, exportLogText(job));
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
    if (const std::optional<int> status = line.parse(arguments))
        return *status;
    if (const std::optional<int> status = checkFiles(line, "log to export"))
        return *status;
    if (line.parser.value("output") == "-")
        return line.usageError("export writes a file: give its name with -o, not -");
    LogTextFormat format;
    if (const std::optional<int> status = chooseFormat(line, line.parser.value("output"), format))
        return *status;
    if (const std::optional<int> status = checkChannel(line, format))
        return *status;
    return exportLog(line, format);
}

int runImport(const QStringList &arguments)
{
    CommandLine line("import", "Turns a candump log (.log) or a Vector ASC file (.asc) into a .qvl "
                               "log: one record per classic data frame.");
    addTextOptions(line, "Only the frames of this channel: an interface name for candump, a "
                         "number for ASC.");
    line.parser.addPositionalArgument("text", "The candump log or ASC file.");
    if (const std::optional<int> status = line.parse(arguments))
        return *status;
    if (const std::optional<int> status = checkFiles(line, "file to import"))
        return *status;
    const QString textPath = line.parser.positionalArguments().first();
    const QString logPath = line.parser.value("output");
    LogTextFormat format;
    if (const std::optional<int> status = chooseFormat(line, textPath, format))
        return *status;
    if (const std::optional<int> status = checkChannel(line, format))
        return *status;
    // The Decoder takes only logs with ".qvl" in their path.
    if (!isLogFileName(nativePath(logPath)))
        return line.usageError("the log to write must be a .qvl file");

    const LogTextSummary summary = importLogText(
        nativePath(textPath), format, coreText(line.parser.value("channel")), nativePath(logPath));
    if (summary.outcome == ConversionOutcome::Finished)
        reportSkippedLines(textPath, summary.skipped);
    return reportWritten(line, textPath, summary);
}
