#include "candbfile.h"

#include "conversion/decoderinputs.h"
#include "messageboxes.h"

void reportInvalidCandb(const QString &problem)
{
    showError(invalidCandbText(problem));
}

std::optional<nlohmann::json> loadCandbFile(const QString &path)
{
    CandbFile file = readCandbFile(path);
    if (!file.document)
        reportInvalidCandb(file.problem);
    return std::move(file.document);
}
