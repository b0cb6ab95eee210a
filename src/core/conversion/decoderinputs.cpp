#include "conversion/decoderinputs.h"

#include "database/candb.h"

#include <QFile>
#include <QFileInfo>

#include <fstream>

FrequencyCheck checkFrequency(const QString &text)
{
    bool converts = false;
    // Negative numbers wrap to large ones and are out of scale with them.
    const uint32_t frequency = static_cast<uint32_t>(text.toInt(&converts, 10));
    if (!converts)
        return {0, "Convertion frequency error!"};
    if (frequency == 0 || frequency > kMaxConversionFrequency)
        return {0, "Convertion frequency out of scale!"};
    return {frequency, {}};
}

bool isLogFilePath(const QString &path)
{
    return QFile::exists(path) && path.contains(".qvl");
}

QString inputFileProblem(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return "no such file";
    return info.isFile() ? QString() : "not a regular file";
}

namespace {

CandbFile refuse(const QString &problem = QString())
{
    return {std::nullopt, {}, problem};
}

} // namespace

CandbFile readCandbFile(const QString &path)
{
    if (!QFile::exists(path) || !path.contains(".json"))
        return refuse();
    if (const QString problem = inputFileProblem(path); !problem.isEmpty())
        return refuse(problem);
    std::ifstream in(QFile::encodeName(path).toStdString(), std::ios::binary);
    if (!in)
        return refuse("the file cannot be read");
    std::string error;
    std::optional<nlohmann::json> doc = parseJson(in, error);
    if (!doc)
        return refuse(QString::fromStdString(error));
    Candb candb = readCandb(*doc);
    if (!candb.ok())
        return refuse(QString::fromStdString(candb.error));
    return {std::move(doc), std::move(candb), {}};
}

QString invalidCandbText(const QString &problem)
{
    QString text = "Candb json not Valid";
    if (!problem.isEmpty())
        text += '\n' + problem;
    return text;
}

QString conversionOutcomeText(ConversionOutcome outcome)
{
    switch (outcome) {
    case ConversionOutcome::Finished:
        return "Finish conversion!";
    case ConversionOutcome::LogUnreadable:
    case ConversionOutcome::LogReadFailed:
        return kLogNotCorrected;
    case ConversionOutcome::OutputIsLog:
        return kOutputIsInput;
    case ConversionOutcome::OutputNotCreated:
        return "Errore nella creazione del file!";
    case ConversionOutcome::WriteFailed:
        return "Errore nella scrittura del file!";
    }
    return {};
}
