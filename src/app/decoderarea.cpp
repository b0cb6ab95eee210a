#include "decoderarea.h"

#include "candecoder.h"
#include "conversion/decoderinputs.h"
#include "messageboxes.h"
#include "ui_mainwindow.h"

#include <QDir>
#include <QFile>

#include <cstdio>

namespace {

bool isNamedInput(const std::string &path)
{
    return sameFile(path, QFile::encodeName(logstr).toStdString()) ||
           sameFile(path, QFile::encodeName(dbcstr).toStdString());
}

} // namespace

std::optional<ConversionJob> checkDecoderArea(Ui::MainWindow *ui)
{
    bool condition = true;
    const FrequencyCheck frequency = checkFrequency(ui->ConvFreq->toPlainText());
    if (!frequency.problem.isEmpty()) {
        showError(frequency.problem);
        condition = false;
    }
    if (!isLogFilePath(logstr)) {
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
    job.logPath = QFile::encodeName(logstr).toStdString();
    job.outputPath = QFile::encodeName(outputstr + "/" + OutNamestr).toStdString();
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
    const QString text = conversionOutcomeText(outcome);
    if (outcome == ConversionOutcome::Finished) {
        showFinished(text);
        return;
    }
    if (outcome == ConversionOutcome::OutputNotCreated) {
        std::fputs("Errore nella creazione del file\n", stdout);
        std::fflush(stdout);
    }
    showError(text);
}
