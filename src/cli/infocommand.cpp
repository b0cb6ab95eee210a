#include "infocommand.h"

#include "commandline.h"
#include "conversion/decoderinputs.h"
#include "conversion/fixedtext.h"
#include "corestrings.h"
#include "database/decodeplan.h"
#include "databaseinput.h"
#include "files/inputfile.h"
#include "log/logsummary.h"
#include "loginput.h"
#include "text/numbertext.h"

#include <nlohmann/json.hpp>

#include <optional>

namespace {

using json = nlohmann::ordered_json;

// What the Candb file says of an identifier.
struct Description
{
    bool described = false;
    size_t signalCount = 0;
};

class Descriptions
{
public:
    // The index keeps pointers into the database, which therefore lives here too; a copy or a
    // move would leave them pointing into the original.
    explicit Descriptions(std::optional<Candb> given)
        : candb(std::move(given)), index(candb ? *candb : empty())
    {
    }
    Descriptions(const Descriptions &) = delete;
    Descriptions &operator=(const Descriptions &) = delete;
    bool given() const { return candb.has_value(); }
    Description of(uint32_t id) const
    {
        const int entry = index.find(id);
        if (entry < 0)
            return {};
        return {true, index.definition(size_t(entry)).signalList.size()};
    }

private:
    static const Candb &empty()
    {
        static const Candb none;
        return none;
    }

    std::optional<Candb> candb;
    MessageIndex index;
};

// Microseconds as seconds with six decimals, exactly.
bool isExtended(uint32_t id)
{
    return id & kExtendedIdFlag;
}

// Frames per second over the whole log; nothing for a log without a duration.
std::optional<double> meanRate(uint64_t frames, const LogSummary &summary)
{
    if (summary.duration() == 0)
        return std::nullopt;
    return double(frames) * 1e6 / double(summary.duration());
}

// Columns padded to their widest cell; numbers to the right.
QString alignedTable(const std::vector<QStringList> &rows, const std::vector<bool> &rightAligned)
{
    std::vector<int> widths(rightAligned.size(), 0);
    for (const QStringList &row : rows) {
        for (int i = 0; i < row.size(); ++i)
            widths[size_t(i)] = std::max(widths[size_t(i)], int(row[i].size()));
    }
    QString text;
    for (const QStringList &row : rows) {
        QStringList cells;
        for (int i = 0; i < row.size(); ++i) {
            const int width = widths[size_t(i)];
            cells << (rightAligned[size_t(i)] ? row[i].rightJustified(width)
                                              : row[i].leftJustified(width));
        }
        text += "  " + cells.join("  ").trimmed() + '\n';
    }
    return text;
}

QString factsText(const QString &path, const LogSummary &summary)
{
    const QString partial = summary.partialBytes
                                ? QString("%1 bytes at the end, not read").arg(summary.partialBytes)
                                : QString("none");
    const QString blankTail =
        summary.blankTail ? QString("%1 records").arg(summary.blankTail) : QString("none");
    const bool any = summary.records > summary.blankTail;
    const std::vector<QStringList> facts = {
        {"size", QString("%1 bytes").arg(summary.fileSize)},
        {"records", QString::number(summary.records)},
        {"partial record", partial},
        {"blank tail", blankTail},
        {"first time", any ? qtText(microsText(summary.firstTime)) + " s" : "-"},
        {"last time", any ? qtText(microsText(summary.lastTime)) + " s" : "-"},
        {"duration", any ? qtText(microsText(summary.duration())) + " s" : "-"},
        {"wraps", QString::number(summary.wraps)},
        {"out of order", QString::number(summary.outOfOrder)},
        {"identifiers", QString::number(summary.identifiers.size())},
    };
    return path + '\n' + alignedTable(facts, {false, false});
}

QString identifiersText(const LogSummary &summary, const Descriptions &descriptions)
{
    std::vector<QStringList> rows = {{"identifier", "format", "frames", "rate Hz"}};
    if (descriptions.given())
        rows.front() << "in Candb"
                     << "signals";
    for (const LogSummary::Identifier &identifier : summary.identifiers) {
        const std::optional<double> rate = meanRate(identifier.frames, summary);
        QStringList row = {qtText(hexMailboxId(identifier.id)),
                           isExtended(identifier.id) ? "extended" : "standard",
                           QString::number(identifier.frames),
                           rate ? QString::number(*rate, 'f', 2) : QString("-")};
        if (descriptions.given()) {
            const Description description = descriptions.of(identifier.id);
            row << (description.described ? "yes" : "no")
                << (description.described ? QString::number(description.signalCount)
                                          : QString("-"));
        }
        rows.push_back(row);
    }
    return alignedTable(rows, {false, false, true, true, false, true});
}

json identifiersJson(const LogSummary &summary, const Descriptions &descriptions)
{
    json list = json::array();
    for (const LogSummary::Identifier &identifier : summary.identifiers) {
        json entry = {{"id", identifier.id & ~kExtendedIdFlag},
                      {"extended", isExtended(identifier.id)},
                      {"hex", hexMailboxId(identifier.id)},
                      {"frames", identifier.frames}};
        const std::optional<double> rate = meanRate(identifier.frames, summary);
        entry["rateHz"] = rate ? json(*rate) : json(nullptr);
        if (descriptions.given()) {
            const Description description = descriptions.of(identifier.id);
            entry["inCandb"] = description.described;
            entry["signals"] = description.signalCount;
        }
        list.push_back(entry);
    }
    return list;
}

json summaryJson(const QString &path, const LogSummary &summary, const Descriptions &descriptions)
{
    return {{"path", coreText(path)},
            {"size", summary.fileSize},
            {"records", summary.records},
            {"partialRecordBytes", summary.partialBytes},
            {"blankTailRecords", summary.blankTail},
            {"firstTimeMicros", summary.firstTime},
            {"lastTimeMicros", summary.lastTime},
            {"durationMicros", summary.duration()},
            {"wraps", summary.wraps},
            {"outOfOrder", summary.outOfOrder},
            {"identifierCount", summary.identifiers.size()},
            {"identifiers", identifiersJson(summary, descriptions)}};
}

std::optional<LogSummary> summarize(const QString &path)
{
    const LogInput input = prepareLogInput(path);
    if (!input.ready()) {
        report(path + ": " + input.problem);
        return std::nullopt;
    }
    std::optional<LogSummary> summary = summarizeLog(input.readPath);
    if (!summary || summary->readFailed) {
        report(path + ": " + kLogNotCorrected);
        return std::nullopt;
    }
    // The size is the file's the user gave, not the imported log's.
    if (input.temporary) {
        if (const std::optional<PathStatus> given = pathStatus(nativePath(path)))
            summary->fileSize = uint64_t(given->size);
    }
    return summary;
}

// What the user asked for, as given.
struct InfoRequest
{
    std::optional<QString> candbPath; // without --candb, nothing
    bool asJson = false;
    QStringList logs;
};

void addOptions(QCommandLineParser &parser)
{
    parser.addOptions({
        {"candb", "Also tell which identifiers the Candb (or DBC) file describes.", "DB.json"},
        {"json", "One JSON document for scripts instead of text."},
    });
    parser.addPositionalArgument(
        "logs", "The logs to read: .qvl, or candump (.log) and Vector ASC (.asc) logs.",
        "LOG.qvl...");
}

std::optional<int> readRequest(CommandLine &line, InfoRequest &request)
{
    const QCommandLineParser &parser = line.parser;
    if (parser.isSet("candb"))
        request.candbPath = parser.value("candb");
    request.asJson = parser.isSet("json");
    request.logs = parser.positionalArguments();
    if (request.logs.isEmpty())
        return line.usageError("no log given");
    return std::nullopt;
}

} // namespace

int runInfo(const QStringList &arguments)
{
    CommandLine line("info", "Reads logs once and tells what they hold: size, records, times, "
                             "wraps, frames out of order, and the frames of each identifier.");
    addOptions(line.parser);
    InfoRequest request;
    if (const std::optional<int> status = line.parse(arguments, request, readRequest))
        return *status;

    std::optional<Candb> candb;
    if (request.candbPath) {
        candb = loadDatabase(*request.candbPath);
        if (!candb)
            return kExitFailure;
    }
    const Descriptions descriptions(std::move(candb));

    json documents = json::array();
    QStringList texts;
    int status = kExitSuccess;
    for (const QString &path : request.logs) {
        const std::optional<LogSummary> summary = summarize(path);
        if (!summary) {
            status = kExitFailure;
            continue;
        }
        if (request.asJson)
            documents.push_back(summaryJson(path, *summary, descriptions));
        else
            texts << factsText(path, *summary) + '\n' + identifiersText(*summary, descriptions);
    }
    if (request.asJson)
        printBytes(json{{"logs", documents}}.dump(2) + '\n');
    else if (!texts.isEmpty())
        print(texts.join('\n'));
    return status;
}
