#include "databaseinput.h"

#include "commandline.h"

#include <QFile>
#include <QFileInfo>

bool isDbcPath(const QString &path)
{
    return path.endsWith(".dbc", Qt::CaseInsensitive);
}

DbcInput readDbcInput(const QString &path)
{
    DbcInput input;
    const QFileInfo info(path);
    if (!info.exists()) {
        input.problem = "no such file";
        return input;
    }
    // A pipe would wait for a writer for ever and a device such as /dev/zero never end.
    if (!info.isFile()) {
        input.problem = "not a regular file";
        return input;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        input.problem = "the file cannot be read";
        return input;
    }
    const QByteArray text = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        input.problem = "the file cannot be read";
        return input;
    }
    input.conversion = convertDbc(std::string_view(text.constData(), size_t(text.size())));
    input.problem = QString::fromStdString(input.conversion.error);
    return input;
}

CandbFile readDatabaseInput(const QString &path)
{
    if (!isDbcPath(path))
        return readCandbFile(path);
    const DbcInput input = readDbcInput(path);
    if (!input.problem.isEmpty())
        return {std::nullopt, input.problem};
    const size_t leftOut = input.conversion.warnings.size();
    if (leftOut > 0)
        report(QString("%1 signal%2 of %3 left out; '%4 candb-from-dbc %3' lists them")
                   .arg(leftOut)
                   .arg(leftOut == 1 ? "" : "s")
                   .arg(path, kProgramName));
    return {nlohmann::json(input.conversion.document), {}};
}
