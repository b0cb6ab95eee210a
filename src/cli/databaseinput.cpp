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
    if (leftOut > 0)
        report(QString("%1 signal%2 of %3 left out; '%4 candb-from-dbc %3' lists them")
                   .arg(leftOut)
                   .arg(leftOut == 1 ? "" : "s")
                   .arg(path, kProgramName));
    return file;
}

std::optional<Candb> loadDatabase(const QString &path)
{
    DatabaseFile file = readDatabaseInput(path);
    if (!file.ok())
        return std::nullopt;
    return std::move(file.candb);
}
