#include "databaseinput.h"

#include "commandline.h"
#include "corestrings.h"
#include "database/duplicates.h"

DatabaseFile readDatabaseInput(const QString &path)
{
    DatabaseFile file = readDatabaseFile(nativePath(path));
    if (!file.ok()) {
        report(path + ": " + qtText(invalidCandbText(file.problem)));
        return file;
    }
    const std::string leftOut =
        leftOutText(file.leftOut(), file.deviations.size(), nativePath(path), "; ");
    if (!leftOut.empty())
        report(qtPath(leftOut));
    for (const std::string &duplicate : duplicateDefinitions(file.candb))
        report(path + ": " + qtText(duplicate));
    return file;
}

std::optional<Candb> loadDatabase(const QString &path)
{
    DatabaseFile file = readDatabaseInput(path);
    if (!file.ok())
        return std::nullopt;
    return std::move(file.candb);
}
