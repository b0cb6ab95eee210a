#pragma once

#include "conversion/conversion.h"

#include <optional>

namespace Ui {
class MainWindow;
}

// Checks the Decoder area before a conversion: the frequency, the log file, the output folder,
// the file name, each failure in its own box, all of them in this order; then that the output
// file is none of the input files. Gives the job only when every check passed.
std::optional<ConversionJob> checkDecoderArea(Ui::MainWindow *ui);

// Tells the user how a conversion ended.
void reportConversion(ConversionOutcome outcome);
