#include "decoderarea.h"

#include "candecoder.h"
#include "conversion/decoderinputs.h"
#include "corestrings.h"
#include "messageboxes.h"
#include "ui_mainwindow.h"

#include <QDir>

#include <cstdio>

namespace {

bool isNamedInput(const std::string &path)
{
    return sameFile(path, nativePath(logstr)) || sameFile(path, nativePath(dbcstr));
}

} // namespace

std::optional<ConversionJob> checkDecoderArea(Ui::MainWindow *ui)
{
    bool condition = true;
    const FrequencyCheck frequency = checkFrequency(coreText(ui->ConvFreq->toPlainText()));
    if (!frequency.problem.empty()) {
        showError(qtText(frequency.problem));
        condition = false;
    }
    if (!isLogFilePath(nativePath(logstr))) {
        showError(kLogNotCorrected);
        condition = false;
    }
    // An empty folder would put the table into the root of the file system.
    if (outputstr.isEmpty() || !QDir(outputstr).exists()) {
        showError(kOutputFolderNotCorrect);
        condition = false;
    }
    if (OutNamestr.isEmpty()) {
        showError("Output file name not set!");
        condition = false;
    }
    if (!condition)
        return std::nullopt;

    ConversionJob job;
    job.logPath = nativePath(logstr);
    job.outputPath = nativePath(outputstr + "/" + OutNamestr);
    if (isNamedInput(job.outputPath)) {
        showError(kOutputIsInput);
        return std::nullopt;
    }
    job.periodMicros = periodMicros(frequency.hertz);
    job.smart = ui->smart->isChecked();
    return job;
}

void reportConversion(ConversionOutcome outcome)
{
    const QString text = qtText(conversionOutcomeText(outcome));
    if (outcome == ConversionOutcome::Finished) {
        showFinished(text);
        return;
    }
    if (outcome == ConversionOutcome::OutputNotCreated) {
        // The console line has the box's words without the '!'.
        std::printf("%.*s\n", int(sizeof kFileNotCreated - 2), kFileNotCreated);
        std::fflush(stdout);
    }
    showError(text);
}
