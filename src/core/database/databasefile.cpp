#include "database/databasefile.h"

#include "files/inputfile.h"
#include "text/numbertext.h"

#include <sstream>

namespace {

DatabaseFile refused(std::string problem)
{
    DatabaseFile file;
    file.problem = std::move(problem);
    return file;
}

DatabaseFile convertedDbcFile(const std::string &path)
{
    DbcFile dbc = readDbcFile(path);
    if (!dbc.problem.empty())
        return refused(dbc.problem);
    DatabaseFile file;
    file.document = nlohmann::json(dbc.conversion.document);
    file.candb = readCandb(*file.document);
    file.warnings = std::move(dbc.conversion.warnings);
    file.deviations = std::move(dbc.conversion.deviations);
    return file;
}

} // namespace

bool isDbcPath(const std::string &path)
{
    constexpr char kExtension[] = ".dbc";
    constexpr size_t length = sizeof kExtension - 1;
    if (path.size() < length)
        return false;
    for (size_t i = 0; i < length; ++i) {
        if ((path[path.size() - length + i] | 0x20) != kExtension[i])
            return false;
    }
    return true;
}

DatabaseFile readCandbFile(const std::string &path)
{
    // The window's words alone for a path that names no file or lacks ".json"; the name is looked
    // at first, so that a log given by mistake is not read whole.
    if (path.find(".json") == std::string::npos)
        return refused({});
    InputBytes input = readInputFile(path);
    if (input.problem == kNoSuchFile)
        return refused({});
    if (!input.problem.empty())
        return refused(input.problem);
    std::istringstream in(std::move(input.bytes));
    std::string error;
    std::optional<nlohmann::json> document = parseJson(in, error);
    if (!document)
        return refused(error);
    DatabaseFile file;
    file.candb = readCandb(*document);
    if (!file.candb.ok())
        return refused(file.candb.error);
    file.document = std::move(document);
    return file;
}

DbcFile readDbcFile(const std::string &path)
{
    DbcFile file;
    const InputBytes input = readInputFile(path);
    if (!input.problem.empty()) {
        file.problem = input.problem;
        return file;
    }
    file.conversion = convertDbc(input.bytes);
    file.problem = file.conversion.error;
    return file;
}

DatabaseFile readCandbOrDbcFile(const std::string &path)
{
    return isDbcPath(path) ? convertedDbcFile(path) : readCandbFile(path);
}

DatabaseFile readDatabaseFile(const std::string &path)
{
    // Here a missing file is named as such, as it is for every other kind of input.
    const std::string problem = inputFileProblem(path);
    return problem == kNoSuchFile ? refused(problem) : readCandbOrDbcFile(path);
}

std::string invalidCandbText(const std::string &problem)
{
    std::string text = kCandbNotValid;
    if (!problem.empty())
        text += '\n' + problem;
    return text;
}

std::string leftOutText(size_t leftOut, size_t deviations, const std::string &path,
                        const char *beforeCommand)
{
    if (leftOut == 0 && deviations == 0)
        return {};
    std::string text;
    if (leftOut > 0)
        text = counted(leftOut, "signal", "signals") + " of " + path + " left out";
    if (deviations > 0) {
        text +=
            leftOut > 0
                ? ", " + counted(deviations, "kind", "kinds") + " of irregular text read"
                : counted(deviations, "kind", "kinds") + " of irregular text in " + path + " read";
    }
    return text + beforeCommand + "'quorvane-cli candb-from-dbc " + path + "' lists them";
}
