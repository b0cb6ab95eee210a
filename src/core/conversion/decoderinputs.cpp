#include "conversion/decoderinputs.h"

#include "text/numbertext.h"

#include "files/inputfile.h"

FrequencyCheck checkFrequency(const std::string &text)
{
    const std::optional<int> number = readWholeNumber(text);
    if (!number)
        return {0, "Convertion frequency error!"};
    // Negative numbers wrap to large ones and are out of scale with them.
    const auto frequency = static_cast<uint32_t>(*number);
    if (frequency == 0 || frequency > kMaxConversionFrequency)
        return {0, "Convertion frequency out of scale!"};
    return {frequency, {}};
}

bool isLogFileName(const std::string &path)
{
    return path.find(".qvl") != std::string::npos;
}

bool isLogFilePath(const std::string &path)
{
    return isLogFileName(path) && pathStatus(path).has_value();
}

std::string conversionOutcomeText(ConversionOutcome outcome)
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
        return kFileNotCreated;
    case ConversionOutcome::WriteFailed:
        return "Errore nella scrittura del file!";
    }
    return {};
}
