#include "decodecommand.h"

#include "batchrun.h"
#include "commandline.h"
#include "conversion/conversion.h"
#include "conversion/decoderinputs.h"
#include "corestrings.h"
#include "databaseinput.h"
#include "files/inputfile.h"
#include "log/logsummary.h"
#include "loginput.h"

#include <QDir>
#include <QFileInfo>
#include <QThread>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <unistd.h>

namespace {

// What the user asked for, as given.
struct DecodeRequest
{
    QString candbPath;
    QString frequencyText;
    bool smart = false;
    QStringList signalNames;
    int jobs = 1;
    bool quiet = false;
    QStringList logs;
    QString output; // -o: a file, or "-" for standard output
    QString outDir; // --out-dir
};

// One log, where its table goes, and how its conversion went.
struct DecodeTask
{
    QString logPath;
    LogInput input;
    QString outputPath;   // "-" for standard output
    bool refused = false; // the log or its table could not be taken; reported already
    ConversionSummary summary;
    double seconds = 0.0;
};

class StandardOutputSink : public TableSink
{
public:
    bool write(const char *data, size_t size) override
    {
        return std::fwrite(data, 1, size, stdout) == size;
    }
    bool close() override { return std::fflush(stdout) == 0 && !std::ferror(stdout); }
};

// Sends the table to standard output, for pipes. What has gone out cannot be taken back, so a
// failed run shows only in the exit status and the message.
class StandardOutputFiles : public ConversionFiles
{
public:
    std::unique_ptr<TableSink> createTable(const std::string &) override
    {
        return std::make_unique<StandardOutputSink>();
    }
};

void addOptions(QCommandLineParser &parser)
{
    parser.addOptions({
        {"candb", "The signal database: a Candb .json file, or a DBC file.", "DB.json"},
        {"freq",
         QString("Rows per second of the table, 1 to %1 (default 100).")
             .arg(kMaxConversionFrequency),
         "HZ", "100"},
        {"smart", "Columns only for the messages that occur in the log. Without it every signal of "
                  "the Candb file gets a column, so that the tables of several logs share their "
                  "columns."},
        {"signals", "Only these columns, in this order, after the time column.", "NAME,NAME..."},
        {"jobs", "Logs converted at the same time (default: the number of cores).", "N"},
        {"quiet", "No progress line and no closing lines; only problems are reported."},
        {{"o", "output"}, "The table of the one log; - writes it to standard output.", "OUT.csv"},
        {"out-dir",
         "A folder for the tables of one or many logs: NAME.qvl gives DIR/NAME.csv. A missing "
         "folder is made.",
         "DIR"},
    });
    parser.addPositionalArgument(
        "logs", "The logs to convert: .qvl, or candump (.log) and Vector ASC (.asc) logs.",
        "LOG.qvl...");
}

// Options that cannot work together are usage errors: nothing has been read yet.
std::optional<int> readRequest(CommandLine &line, DecodeRequest &request)
{
    const QCommandLineParser &parser = line.parser;
    request.candbPath = parser.value("candb");
    request.frequencyText = parser.value("freq");
    request.smart = parser.isSet("smart");
    request.signalNames = line.commaList("signals");
    request.quiet = parser.isSet("quiet");
    request.logs = parser.positionalArguments();
    request.output = parser.value("output");
    request.outDir = parser.value("out-dir");
    request.jobs = QThread::idealThreadCount();

    if (!parser.isSet("candb"))
        return line.usageError("no Candb file given (--candb DB.json)");
    if (request.logs.isEmpty())
        return line.usageError("no log given");
    if (parser.isSet("output") == parser.isSet("out-dir"))
        return line.usageError("give either -o OUT.csv (one log) or --out-dir DIR");
    if (parser.isSet("output") && request.logs.size() > 1)
        return line.usageError("-o takes the table of one log; use --out-dir DIR for several");
    if (parser.isSet("jobs")) {
        bool isNumber = false;
        request.jobs = parser.value("jobs").toInt(&isNumber);
        if (!isNumber || request.jobs < 1)
            return line.usageError("--jobs needs a whole number of at least 1");
    }
    const QStringList &names = request.signalNames;
    for (const QString &name : names) {
        if (names.count(name) > 1)
            return line.usageError(QString("signal '%1' is named twice in --signals").arg(name));
    }
    return std::nullopt;
}

// Every signal name of the database, in the order of the table's columns.
std::vector<QString> signalNames(const Candb &candb)
{
    std::vector<QString> names;
    for (const auto &named : signalsByName(candb))
        names.push_back(qtText(named.first));
    return names;
}

bool checkSignalNames(const QStringList &wanted, const Candb &candb)
{
    const std::vector<QString> known = signalNames(candb);
    QStringList unknown;
    for (const QString &name : wanted) {
        if (std::find(known.begin(), known.end(), name) == known.end())
            unknown << name;
    }
    if (!unknown.isEmpty())
        report(QString("unknown signal in --signals: %1; the Candb file has: %2")
                   .arg(unknown.join(", "), listNames(known)));
    return unknown.isEmpty();
}

QString outputPathFor(const DecodeRequest &request, const QString &log)
{
    if (!request.output.isEmpty())
        return request.output;
    return QDir(request.outDir).filePath(QFileInfo(log).completeBaseName() + ".csv");
}

// The logs and their tables, every problem reported: a log that cannot be taken, or whose table
// would be an input, is refused and the others go on. Nothing when the output folder is not a
// folder or two tables would get one name: the request itself is wrong then.
std::optional<std::vector<DecodeTask>> planTasks(const DecodeRequest &request)
{
    const std::optional<PathStatus> outDir = pathStatus(nativePath(request.outDir));
    if (!request.outDir.isEmpty() && outDir && !outDir->folder) {
        report(request.outDir + ": " + kOutputFolderNotCorrect);
        return std::nullopt;
    }
    std::vector<DecodeTask> tasks;
    std::map<QString, QString> logOfOutput;
    bool collision = false;
    for (const QString &log : request.logs) {
        DecodeTask task;
        task.logPath = log;
        task.input = prepareLogInput(log);
        task.outputPath = outputPathFor(request, log);
        if (!task.input.ready()) {
            report(log + ": " + task.input.problem);
            task.refused = true;
        } else if (task.outputPath != "-" &&
                   outputIsAnInput(task.outputPath,
                                   {log, qtPath(task.input.readPath), request.candbPath})) {
            task.refused = true;
        }
        const QString key = QDir::cleanPath(QDir(task.outputPath).absolutePath());
        const auto [earlier, added] = logOfOutput.emplace(key, log);
        if (!added) {
            report(QString("%1 and %2 would both be converted into %3")
                       .arg(earlier->second, log, task.outputPath));
            collision = true;
        }
        tasks.push_back(std::move(task));
    }
    if (collision)
        return std::nullopt;
    // A missing output folder is made, parents and all, once there is a table to put into it.
    const bool anyTaken = std::any_of(tasks.begin(), tasks.end(),
                                      [](const DecodeTask &task) { return !task.refused; });
    if (anyTaken && !request.outDir.isEmpty() && !makeFolders(nativePath(request.outDir))) {
        report(request.outDir + ": " + kOutputFolderNotCorrect);
        return std::nullopt;
    }
    return tasks;
}

uint64_t bytesToRead(const std::vector<DecodeTask> &tasks, bool smart)
{
    uint64_t total = 0;
    for (const DecodeTask &task : tasks) {
        if (!task.refused)
            total += uint64_t(pathStatus(task.input.readPath).value_or(PathStatus{}).size);
    }
    return smart ? 2 * total : total;
}

void convertTask(DecodeTask &task, const Candb &candb, const ConversionJob &common,
                 ProgressLine *progress, size_t slot)
{
    if (task.refused)
        return;
    ConversionJob job = common;
    job.logPath = task.input.readPath;
    job.outputPath = nativePath(task.outputPath);
    ConversionHooks hooks;
    if (progress)
        hooks.bytesRead = [progress, slot](uint64_t bytes) { progress->setRead(slot, bytes); };
    const auto started = std::chrono::steady_clock::now();
    if (task.outputPath == "-") {
        StandardOutputFiles files;
        task.summary = convertLog(candb, job, hooks, files);
    } else {
        task.summary = convertLog(candb, job, hooks);
    }
    task.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
}

void convertAll(std::vector<DecodeTask> &tasks, const Candb &candb, const ConversionJob &common,
                int jobs, bool showProgress)
{
    std::optional<ProgressLine> progress;
    if (showProgress)
        progress.emplace(tasks.size(), bytesToRead(tasks, common.smart));
    ProgressLine *shown = progress ? &*progress : nullptr;
    std::function<void()> redraw;
    if (shown)
        redraw = [shown] { shown->draw(); };
    runInParallel(
        tasks.size(), jobs, [&](size_t i) { convertTask(tasks[i], candb, common, shown, i); },
        redraw);
    if (shown)
        shown->clear();
}

// One closing line per log, and one that names the logs that failed; the exit status.
int reportTasks(const std::vector<DecodeTask> &tasks, bool quiet)
{
    QStringList failed;
    for (const DecodeTask &task : tasks) {
        const ConversionSummary &summary = task.summary;
        if (task.refused) {
            failed << task.logPath;
        } else if (summary.outcome != ConversionOutcome::Finished) {
            report(task.logPath + ": " + qtText(conversionOutcomeText(summary.outcome)));
            failed << task.logPath;
            continue;
        }
        if (summary.blankTail > 0)
            report(task.logPath + ": warning: " + qtText(blankTailText(summary.blankTail)) +
                   "; the table holds them as frames");
        if (!quiet) {
            report(QString("%1: %2 frames, %3 rows, %4 columns, %5 s")
                       .arg(task.logPath)
                       .arg(summary.frames)
                       .arg(summary.rows)
                       .arg(summary.columns)
                       .arg(QString::number(task.seconds, 'f', 2)));
        }
    }
    if (failed.isEmpty())
        return kExitSuccess;
    if (tasks.size() > 1)
        report(QString("%1 of %2 logs failed: %3")
                   .arg(failed.size())
                   .arg(tasks.size())
                   .arg(failed.join(", ")));
    return kExitFailure;
}

} // namespace

int runDecode(const QStringList &arguments)
{
    CommandLine line("decode", "Converts logs into tables of physical values, as the window's "
                               "Decoder does, several at a time.");
    addOptions(line.parser);
    DecodeRequest request;
    if (const std::optional<int> status = line.parse(arguments, request, readRequest))
        return *status;

    // The window's order: the Candb file first, then the frequency and the logs.
    const std::optional<Candb> database = loadDatabase(request.candbPath);
    if (!database)
        return kExitFailure;
    const Candb &candb = *database;
    const FrequencyCheck frequency = checkFrequency(coreText(request.frequencyText));
    if (!frequency.problem.empty())
        report(qtText(frequency.problem));
    const bool signalsKnown = checkSignalNames(request.signalNames, candb);
    std::optional<std::vector<DecodeTask>> tasks = planTasks(request);
    if (!frequency.problem.empty() || !signalsKnown || !tasks)
        return kExitFailure;

    ConversionJob common;
    common.periodMicros = periodMicros(frequency.hertz);
    common.smart = request.smart;
    for (const QString &name : request.signalNames)
        common.columns.push_back(coreText(name));

    const bool showProgress = !request.quiet && isatty(STDERR_FILENO);
    convertAll(*tasks, candb, common, request.jobs, showProgress);
    return reportTasks(*tasks, request.quiet);
}
