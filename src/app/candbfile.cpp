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
    const size_t leftOut = file.leftOut();
    if (leftOut > 0)
        showWarning(
            QString("%1 signal%2 of %3 left out;\n'quorvane-cli candb-from-dbc %3' lists them")
                .arg(leftOut)
                .arg(leftOut == 1 ? "" : "s", path));
}
