#include "candbfile.h"

#include "corestrings.h"
#include "messageboxes.h"

void reportInvalidCandb(const QString &problem)
{
    showError(qtText(invalidCandbText(coreText(problem))));
}

DatabaseFile loadCandbFile(const QString &path)
{
    DatabaseFile file = readCandbOrDbcFile(nativePath(path));
    if (!file.ok())
        reportInvalidCandb(qtText(file.problem));
    return file;
}

void reportLeftOutSignals(const DatabaseFile &file, const QString &path)
{
    // The words of the command line's decode, which a user may know from there; the command on a
    // line of its own, so that the box does not break it.
    const std::string leftOut = leftOutText(file.leftOut(), 0, nativePath(path), ";\n");
    if (!leftOut.empty())
        showWarning(qtPath(leftOut));
}
