#include "candecoder.h"
#include "config/configgeneration.h"
#include "conversion/decoderinputs.h"
#include "corestrings.h"
#include "messageboxes.h"
#include "ui_mainwindow.h"

namespace {

BusEntry readBus(const QCheckBox *enable, const QTextEdit *speed, const QCheckBox *normal,
                 const QCheckBox *silent)
{
    return {enable->isChecked(), coreText(speed->toPlainText()), normal->isChecked(),
            silent->isChecked()};
}

TriggerEntry readTrigger(const Ui::MainWindow *ui)
{
    TriggerEntry trigger;
    trigger.always = ui->TrigAlways->isChecked();
    trigger.id = ui->TrigID->isChecked();
    trigger.signal = ui->TrigSig->isChecked();
    trigger.idText = coreText(ui->idTrig->toPlainText());
    trigger.standard = ui->TrigStd->isChecked();
    trigger.extended = ui->TrigExt->isChecked();
    trigger.chosen = selTrigSig;
    trigger.comparison = oper;
    trigger.valueText = coreText(ui->valueTrig->toPlainText());
    return trigger;
}

// The filters are not read here: their panels store them in canSet when confirmed.
ConfigRequest readConfiguratorArea(const Ui::MainWindow *ui)
{
    ConfigRequest request;
    request.buses[0] = readBus(ui->En1, ui->speed1, ui->Nor1, ui->Sil1);
    request.buses[1] = readBus(ui->En2, ui->speed2, ui->Nor2, ui->Sil2);
    request.trigger = readTrigger(ui);
    request.output = nativePath(FilepathConfig);
    return request;
}

void writeConfigToFolder()
{
    if (writeConfigFile(nativePath(FilepathConfig + '/' + kConfigFileName), canSet))
        showFinished(kConfigWritten);
    else
        showError(kFileNotCreated);
}

} // namespace

void configurator(Ui::MainWindow *ui)
{
    const ConfigGeneration generation = generateConfig(readConfiguratorArea(ui), canSet);
    canSet = generation.record;
    for (const std::string &message : generation.messages)
        showError(qtText(message));
    if (generation.valueRefused)
        ui->valueTrig->clear();

    if (generation.ok()) {
        ui->Generator->setEnabled(false);
        writeConfigToFolder();
    }
    ui->Generator->setEnabled(true);
}
