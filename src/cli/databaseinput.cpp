#include "databaseinput.h"

#include "commandline.h"
#include "corestrings.h"

DatabaseFile readDatabaseInput(const QString &path)
{
    DatabaseFile file = readDatabaseFile(nativePath(path));
    if (!file.ok()) {
        report(path + ": " + qtText(invalidCandbText(file.problem)));
        return file;
    }
    const size_t leftOut = file.leftOut();
    const size_t deviations = file.deviations.size();
    // e.g. 2 signals of X.dbc left out, 1 kind of irregular text read; '... X.dbc' lists them
    QStringList counts;
    if (leftOut > 0)
        counts << QString("%1 signal%2 of %3 left out")
                      .arg(leftOut)
                      .arg(leftOut == 1 ? "" : "s", path);
    if (deviations > 0)
        counts << QString("%1 kind%2 of irregular text %3read")
                      .arg(deviations)
                      .arg(deviations == 1 ? "" : "s", leftOut > 0 ? "" : "in " + path + " ");
    if (!counts.isEmpty())
        report(counts.join(", ") + "; '" + kProgramName + " candb-from-dbc " + path +
               "' lists them");
    return file;
}

std::optional<Candb> loadDatabase(const QString &path)
{
    DatabaseFile file = readDatabaseInput(path);
    if (!file.ok())
        return std::nullopt;
    return std::move(file.candb);
}
