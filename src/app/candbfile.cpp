#include "candbfile.h"

#include "candb.h"
#include "messageboxes.h"

#include <QFile>
#include <QFileInfo>

#include <fstream>

void reportInvalidCandb(const QString &problem)
{
    QString text = "Candb json not Valid";
    if (!problem.isEmpty())
        text += '\n' + problem;
    showError(text);
}

namespace {

std::optional<nlohmann::json> refuse(const QString &problem = QString())
{
    reportInvalidCandb(problem);
    return std::nullopt;
}

} // namespace

std::optional<nlohmann::json> loadCandbFile(const QString &path)
{
    if (!QFile::exists(path) || !path.contains(".json"))
        return refuse();

    // A pipe would wait for a writer for ever and a device such as /dev/zero never end.
    if (!QFileInfo(path).isFile())
        return refuse("not a regular file");
    std::ifstream in(QFile::encodeName(path).toStdString(), std::ios::binary);
    if (!in)
        return refuse("the file cannot be read");
    std::string error;
    std::optional<nlohmann::json> doc = parseJson(in, error);
    if (!doc)
        return refuse(QString::fromStdString(error));
    const Candb candb = readCandb(*doc);
    if (!candb.ok())
        return refuse(QString::fromStdString(candb.error));
    return doc;
}
