#include "candbfile.h"

#include "corestrings.h"
#include "database/databasefile.h"
#include "messageboxes.h"

void reportInvalidCandb(const QString &problem)
{
    showError(qtText(invalidCandbText(coreText(problem))));
}

std::optional<nlohmann::json> loadCandbFile(const QString &path)
{
    DatabaseFile file = readCandbFile(nativePath(path));
    if (!file.ok())
        reportInvalidCandb(qtText(file.problem));
    return std::move(file.document);
}
