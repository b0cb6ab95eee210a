#pragma once

#include "conversion/conversion.h"

#include <cstdint>
#include <string>

// The Decoder's inputs as the user gives them, checked once for the window and the command line
// alike: the same rules and the same texts, which the window shows in boxes and the command line
// prints. Texts are UTF-8, paths in the file system's encoding.

constexpr uint32_t kMaxConversionFrequency = 20000;

// The conversion frequency typed as text, in hertz, or the text that refuses it: "Convertion
// frequency error!" for anything but a decimal integer, "Convertion frequency out of scale!"
// outside 1 to 20000 (a negative number counts as a huge one).
struct FrequencyCheck
{
    uint32_t hertz = 0;
    std::string problem; // empty when accepted
};
FrequencyCheck checkFrequency(const std::string &text);

// Microseconds between rows at an accepted frequency.
inline uint32_t periodMicros(uint32_t hertz)
{
    return 1000000 / hertz;
}

// A name the Decoder takes for a log: one that holds ".qvl" anywhere.
bool isLogFileName(const std::string &path);
// A log path the Decoder takes: an existing file with such a name.
bool isLogFilePath(const std::string &path);
constexpr char kLogNotCorrected[] = "LogFile not corrected";
// An output folder that does not exist; an output that would overwrite an input; an output that
// cannot be created.
constexpr char kOutputFolderNotCorrect[] = "Output folder not correct!";
constexpr char kOutputIsInput[] = "Output file is an input file!";
constexpr char kFileNotCreated[] = "Errore nella creazione del file!";

// The text that ends a conversion: "Finish conversion!" when it finished, otherwise the reason.
std::string conversionOutcomeText(ConversionOutcome outcome);
