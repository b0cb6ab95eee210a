#include "openedfile.h"

#include "conversion/decoderinputs.h"
#include "corestrings.h"
#include "database/databasefile.h"
#include "files/inputfile.h"
#include "importedlog.h"
#include "log/logtextfiles.h"
#include "plot/tablereader.h"

#include <unordered_map>

namespace {

constexpr uint64_t kRowsPerProgress = 1 << 16;

OpenOutcome refused(const QString &path, const QString &problem)
{
    return {nullptr, path + ": " + problem};
}

// The document's messages that have an "id", in the order the Candb reader takes them: an
// array's in file order, an object's by member name.
std::vector<const nlohmann::json *> describedMessages(const nlohmann::json &document)
{
    std::vector<const nlohmann::json *> described;
    const auto messages = document.find("messages");
    if (messages == document.end() || !messages->is_structured())
        return described;
    for (const nlohmann::json &message : *messages)
        if (message.is_object() && message.contains("id"))
            described.push_back(&message);
    return described;
}

// A text a database may give beside what the Candb reader reads, such as "name" or "unit".
QString extraText(const nlohmann::json *object, const char *key)
{
    if (!object || !object->is_object())
        return {};
    const auto found = object->find(key);
    return found != object->end() && found->is_string() ? qtText(found->get<std::string>())
                                                        : QString();
}

const nlohmann::json *describedSignal(const nlohmann::json *message, size_t index)
{
    if (!message)
        return nullptr;
    const auto signalList = message->find("signals");
    if (signalList == message->end() || !signalList->is_array() || index >= signalList->size())
        return nullptr;
    return &(*signalList)[index];
}

double frameRate(const LogSummary::Identifier &identifier)
{
    const uint64_t span = identifier.lastTime - identifier.firstTime;
    return identifier.frames < 2 || span == 0 ? 0 : double(identifier.frames - 1) * 1e6 / span;
}

// The database's messages that have signals, with their frames in the log.
void listMessages(const DatabaseFile &database, OpenedFile &file)
{
    std::unordered_map<uint32_t, LogSummary::Identifier> seen;
    for (const LogSummary::Identifier &identifier : file.summary->identifiers)
        seen[identifier.id] = identifier;
    const std::vector<const nlohmann::json *> described = describedMessages(*database.document);
    const bool named = described.size() == database.candb.messages.size();
    for (size_t m = 0; m < database.candb.messages.size(); ++m) {
        const CandbMessage &message = database.candb.messages[m];
        if (message.signalList.empty())
            continue;
        const nlohmann::json *text = named ? described[m] : nullptr;
        CatalogMessage entry{extraText(text, "name"), message.id, 0, 0, {}};
        if (const auto found = seen.find(message.id); found != seen.end()) {
            entry.frames = found->second.frames;
            entry.rate = frameRate(found->second);
        }
        for (size_t s = 0; s < message.signalList.size(); ++s) {
            entry.signalList.push_back({qtText(message.signalList[s].name),
                                        extraText(describedSignal(text, s), "unit"),
                                        file.choices.size()});
            file.choices.push_back({m, s});
        }
        file.catalog.messages.push_back(std::move(entry));
    }
}

// A candump or ASC log becomes a .qvl in the system's temporary folder, never beside the user's
// files. Gives the problem, or empty.
QString importLog(const QString &path, LogTextFormat format, OpenedFile &file)
{
    ImportedLog imported = importToTemporaryLog(path, format);
    if (!imported.problem.isEmpty())
        return imported.problem;
    const LogTextSummary &summary = imported.summary;
    if (summary.outcome != ConversionOutcome::Finished)
        return qtText(conversionOutcomeText(summary.outcome) + ' ' + summary.problem);
    if (summary.skipped.total() > 0)
        file.warnings << path + ": " + qtText(skippedText(summary.skipped));
    file.readPath = std::move(imported.readPath);
    file.imported = std::move(imported.temporary);
    return {};
}

QString prepareLog(const QString &path, OpenedFile &file)
{
    LogTextFormat format;
    if (logTextFormatOfPath(nativePath(path), format))
        return importLog(path, format, file);
    file.readPath = nativePath(path);
    return {};
}

OpenOutcome openLog(const OpenRequest &request, const Progress &progress)
{
    auto file = std::make_shared<OpenedFile>();
    file->request = request;
    DatabaseFile database = readDatabaseFile(nativePath(request.database));
    if (!database.ok())
        return refused(request.database, qtText(invalidCandbText(database.problem)));
    for (const std::string &line : database.warnings)
        file->warnings << request.database + ": " + qtText(line);
    if (const QString problem = prepareLog(request.file, *file); !problem.isEmpty())
        return refused(request.file, problem);
    file->summary = summarizeLog(file->readPath, progress);
    if (!file->summary)
        return refused(request.file, qtText(kCannotBeRead));
    if (file->summary->cancelled)
        return {};
    if (file->summary->readFailed)
        return refused(request.file, "the file could not be read to its end");
    if (file->summary->records == 0)
        return refused(request.file, "the log holds no frames");
    if (file->summary->blankTail > 0)
        file->warnings << request.file + ": " + qtText(blankTailText(file->summary->blankTail));
    file->frames = file->summary->records;
    file->extent = {SignalSeries::toSeconds(file->summary->firstTime),
                    SignalSeries::toSeconds(file->summary->lastTime)};
    listMessages(database, *file);
    file->candb = std::move(database.candb);
    return {file, {}};
}

// One pass over the table checks every line and finds its extent.
OpenOutcome openTable(const OpenRequest &request, const Progress &progress)
{
    auto file = std::make_shared<OpenedFile>();
    file->request = request;
    file->readPath = nativePath(request.file);
    TableReader reader;
    if (!reader.open(file->readPath))
        return refused(request.file, qtText(reader.error()));
    for (size_t column = 0; column < reader.names().size(); ++column)
        file->catalog.columns.push_back({qtText(reader.names()[column]), {}, column});
    while (reader.next()) {
        if (file->frames == 0)
            file->extent.from = reader.time();
        file->extent.to = reader.time();
        if (++file->frames % kRowsPerProgress == 0 && !progress(0, 0))
            return {};
    }
    if (!reader.error().empty())
        return refused(request.file, qtText(reader.error()));
    if (file->frames == 0)
        return refused(request.file, "the table holds no rows");
    return {file, {}};
}

} // namespace

QString OpenedFile::name(size_t index) const
{
    const CatalogSignal *signal = catalog.find(index);
    return signal ? signal->name : QString();
}

QString requestProblem(const OpenRequest &request)
{
    const std::string path = nativePath(request.file);
    QString problem = qtText(inputFileProblem(path));
    LogTextFormat format;
    if (problem.isEmpty() && !request.isTable() && !isLogFileName(path) &&
        !logTextFormatOfPath(path, format))
        problem = "not a log or a table the viewer reads: a logger's .qvl, a candump .log, an ASC "
                  ".asc or a decoded .csv file";
    return problem.isEmpty() ? problem : request.file + ": " + problem;
}

OpenOutcome openFile(const OpenRequest &request, const Progress &progress)
{
    return request.isTable() ? openTable(request, progress) : openLog(request, progress);
}

SeriesOutcome readSeries(const OpenedFile &file, const std::vector<size_t> &indexes,
                         const Progress &progress)
{
    std::string error;
    SeriesOutcome outcome;
    if (file.candb) {
        std::vector<SignalChoice> chosen;
        for (size_t index : indexes)
            chosen.push_back(file.choices.at(index));
        outcome.series =
            extractSignals(file.readPath, *file.candb, chosen, progress, &error, &*file.summary);
    } else {
        outcome.series = readTableSeries(file.readPath, indexes, progress, &error);
    }
    if (!error.empty())
        outcome.problem = file.request.file + ": " + qtText(error);
    return outcome;
}
