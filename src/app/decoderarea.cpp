#include "decoderarea.h"

#include "candecoder.h"
#include "messageboxes.h"
#include "ui_mainwindow.h"

#include <QDir>
#include <QFile>

#include <cstdio>

namespace {

constexpr uint32_t kMaxFrequency = 20000;

// The frequency in hertz, or 0 after its box has been shown.
uint32_t checkFrequency(const QString &text)
{
    bool converts = false;
    // Negative numbers wrap to large ones and are out of scale with them.
    const uint32_t frequency = static_cast<uint32_t>(text.toInt(&converts, 10));
    if (!converts) {
        showError("Convertion frequency error!");
        return 0;
    }
    if (frequency == 0 || frequency > kMaxFrequency) {
        showError("Convertion frequency out of scale!");
        return 0;
    }
    return frequency;
}

bool isNamedInput(const std::string &path)
{
    return sameFile(path, QFile::encodeName(logstr).toStdString()) ||
           sameFile(path, QFile::encodeName(dbcstr).toStdString());
}

} // namespace

std::optional<ConversionJob> checkDecoderArea(Ui::MainWindow *ui)
{
    bool condition = true;
    const uint32_t frequency = checkFrequency(ui->ConvFreq->toPlainText());
    if (frequency == 0)
        condition = false;
    if (!QFile::exists(logstr) || !logstr.contains(".qvl")) {
        showError("LogFile not corrected");
        condition = false;
    }
    // An empty folder would put the table into the root of the file system.
    if (outputstr.isEmpty() || !QDir(outputstr).exists()) {
        showError("Output folder not correct!");
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
        showError("Output file is an input file!");
        return std::nullopt;
    }
    job.periodMicros = 1000000 / frequency;
    job.smart = ui->smart->isChecked();
    return job;
}

void reportConversion(ConversionOutcome outcome)
{
    switch (outcome) {
    case ConversionOutcome::Finished:
        showFinished("Finish conversion!");
        break;
    case ConversionOutcome::LogUnreadable:
    case ConversionOutcome::LogReadFailed:
        showError("LogFile not corrected");
        break;
    case ConversionOutcome::OutputIsLog:
        showError("Output file is an input file!");
        break;
    case ConversionOutcome::OutputNotCreated:
        std::fputs("Errore nella creazione del file\n", stdout);
        std::fflush(stdout);
        showError("Errore nella creazione del file!");
        break;
    case ConversionOutcome::WriteFailed:
        showError("Errore nella scrittura del file!");
        break;
    }
}
