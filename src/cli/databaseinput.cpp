#include "databaseinput.h"

#include "commandline.h"

#include <QFile>

bool isDbcPath(const QString &path)
{
    return path.endsWith(".dbc", Qt::CaseInsensitive);
}

DbcInput readDbcInput(const QString &path)
{
    DbcInput input;
    input.problem = inputFileProblem(path);
    if (!input.problem.isEmpty())
        return input;
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
        return {std::nullopt, {}, input.problem};
    const size_t leftOut = input.conversion.warnings.size();
    const size_t deviations = input.conversion.deviations.size();
    // e.g. 2 signals of X.dbc left out, 1 kind of irregular text read; '... X.dbc' lists them
    QStringList counts;
    if (leftOut > 0)
        counts << QString("%1 signal%2 of ").arg(leftOut).arg(leftOut == 1 ? "" : "s") + path +
                      " left out";
    if (deviations > 0)
        counts << QString("%1 kind%2 of irregular text ")
                          .arg(deviations)
                          .arg(deviations == 1 ? "" : "s") +
                      (leftOut > 0 ? "" : "in " + path + " ") + "read";
    if (!counts.isEmpty())
        report(counts.join(", ") + "; '" + kProgramName + " candb-from-dbc " + path +
               "' lists them");
    nlohmann::json document(input.conversion.document);
    Candb candb = readCandb(document);
    return {std::move(document), std::move(candb), {}};
}

std::optional<Candb> loadDatabase(const QString &path)
{
    CandbFile file = readDatabaseInput(path);
    if (!file.document) {
        report(path + ": " + invalidCandbText(file.problem));
        return std::nullopt;
    }
    return std::move(file.candb);
}
