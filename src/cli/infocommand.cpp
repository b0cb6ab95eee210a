#include "infocommand.h"

#include "commandline.h"
#include "database/decodeplan.h"
#include "databaseinput.h"
#include "log/logsummary.h"
#include "loginput.h"

#include <nlohmann/json.hpp>

#include <sys/stat.h>

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
    // The index keeps pointers into the database, which therefore lives here too.
    explicit Descriptions(std::optional<Candb> given)
        : candb(std::move(given)), index(candb ? *candb : empty())
    {
    }
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
QString seconds(uint64_t micros)
{
    return QString("%1.%2").arg(micros / 1000000).arg(micros % 1000000, 6, 10, QChar('0'));
}

bool isExtended(uint32_t id)
{
    return id & kExtendedIdFlag;
}

QString hexId(uint32_t id)
{
    return hexNumber(id & ~kExtendedIdFlag, isExtended(id) ? 8 : 3);
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
    const bool any = summary.records > 0;
    const std::vector<QStringList> facts = {
        {"size", QString("%1 bytes").arg(summary.fileSize)},
        {"records", QString::number(summary.records)},
        {"partial record", partial},
        {"first time", any ? seconds(summary.firstTime) + " s" : "-"},
        {"last time", any ? seconds(summary.lastTime) + " s" : "-"},
        {"duration", any ? seconds(summary.duration()) + " s" : "-"},
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
        QStringList row = {hexId(identifier.id),
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
                      {"hex", hexId(identifier.id).toStdString()},
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
    return {{"path", path.toStdString()},
            {"size", summary.fileSize},
            {"records", summary.records},
            {"partialRecordBytes", summary.partialBytes},
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
    struct stat given;
    if (input.temporary && ::stat(nativePath(path).c_str(), &given) == 0)
        summary->fileSize = uint64_t(given.st_size);
    return summary;
}

} // namespace

int runInfo(const QStringList &arguments)
{
    CommandLine line("info", "Reads logs once and tells what they hold: size, records, times, "
                             "wraps, frames out of order, and the frames of each identifier.");
    line.parser.addOptions({
        {"candb", "Also tell which identifiers the Candb (or DBC) file describes.", "DB.json"},
        {"json", "One JSON document for scripts instead of text."},
    });
    line.parser.addPositionalArgument(
        "logs", "The logs to read: .qvl, or candump (.log) and Vector ASC (.asc) logs.",
        "LOG.qvl...");
    if (const std::optional<int> status = line.parse(arguments))
        return *status;
    const QStringList logs = line.parser.positionalArguments();
    if (logs.isEmpty())
        return line.usageError("no log given");

    std::optional<Candb> candb;
    if (line.parser.isSet("candb")) {
        candb = loadDatabase(line.parser.value("candb"));
        if (!candb)
            return kExitFailure;
    }
    const Descriptions descriptions(std::move(candb));

    const bool asJson = line.parser.isSet("json");
    json documents = json::array();
    QStringList texts;
    int status = kExitSuccess;
    for (const QString &path : logs) {
        const std::optional<LogSummary> summary = summarize(path);
        if (!summary) {
            status = kExitFailure;
            continue;
        }
        if (asJson)
            documents.push_back(summaryJson(path, *summary, descriptions));
        else
            texts << factsText(path, *summary) + '\n' + identifiersText(*summary, descriptions);
    }
    if (asJson)
        print(QString::fromStdString(json{{"logs", documents}}.dump(2)) + '\n');
    else if (!texts.isEmpty())
        print(texts.join('\n'));
    return status;
}
