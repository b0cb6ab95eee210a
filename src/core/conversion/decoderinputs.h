#pragma once

#include "conversion/conversion.h"

#include <QString>
#include <nlohmann/json.hpp>

#include <cstdint>
#include <optional>

// The Decoder's inputs as the user gives them, checked once for the window and the command line
// alike: the same rules and the same texts, which the window shows in boxes and the command line
// prints.

constexpr uint32_t kMaxConversionFrequency = 20000;

// The conversion frequency typed as text, in hertz, or the text that refuses it: "Convertion
// frequency error!" for anything but a decimal integer, "Convertion frequency out of scale!"
// outside 1 to 20000 (a negative number counts as a huge one).
struct FrequencyCheck
{
    uint32_t hertz = 0;
    QString problem; // empty when accepted
};
FrequencyCheck checkFrequency(const QString &text);

// Microseconds between rows at an accepted frequency.
inline uint32_t periodMicros(uint32_t hertz)
{
    return 1000000 / hertz;
}

// A log path the Decoder takes: an existing file whose path holds ".qvl" anywhere.
bool isLogFilePath(const QString &path);
constexpr char kLogNotCorrected[] = "LogFile not corrected";
// An output folder that does not exist; an output that would overwrite an input.
constexpr char kOutputFolderNotCorrect[] = "Output folder not correct!";
constexpr char kOutputIsInput[] = "Output file is an input file!";

// Why a file named as an input cannot be read as one: "no such file", "not a regular file" (a
// pipe would wait for a writer for ever, a device such as /dev/zero never end), or empty.
QString inputFileProblem(const QString &path);

// A Candb file read and checked in full, or why it cannot be used.
struct CandbFile
{
    std::optional<nlohmann::json> document;
    Candb candb;     // what the reader made of the document; empty when refused
    QString problem; // the line after "Candb json not Valid"; may be empty when refused
};
// The file must exist, hold ".json" in its path and be a regular file whose text the Candb
// reader accepts.
CandbFile readCandbFile(const QString &path);
// "Candb json not Valid", then the problem on a line of its own when there is one.
QString invalidCandbText(const QString &problem);

// The text that ends a conversion: "Finish conversion!" when it finished, otherwise the reason.
QString conversionOutcomeText(ConversionOutcome outcome);
