#include "candecoder.h"
#include "configrules.h"
#include "messageboxes.h"
#include "ui_mainwindow.h"

#include <QFile>

namespace {

// The controls and messages of one bus in the Configurator area.
struct BusControls
{
    QCheckBox *enable;
    QTextEdit *speed;
    QCheckBox *normal;
    QCheckBox *silent;
    const char *insertSpeed;
    const char *speedNotNumber;
    const char *wrongSpeed;
};

// The working values of one press of "Config Generator". Every failed check clears `condition`;
// the file is written only if it is still set after the last check.
struct Generation
{
    bool condition = true;
    uint32_t bitRate[2] = {500000, 500000};
};

void fail(Generation &generation, const QString &message)
{
    showError(message);
    generation.condition = false;
}

void readBusSpeed(const BusControls &controls, Conf &bus, uint32_t &bitRate, Generation &generation)
{
    if (!controls.enable->isChecked()) {
        bus.canEn = 0;
        return;
    }
    const QString text = controls.speed->toPlainText();
    if (text.isEmpty()) {
        fail(generation, controls.insertSpeed);
        return;
    }
    bool isNumber = false;
    const int speed = text.toInt(&isNumber, 10);
    if (!isNumber) {
        fail(generation, controls.speedNotNumber);
        return;
    }
    bus.canEn = 1;
    // A negative speed becomes a huge rate that the bit-rate table refuses.
    bitRate = static_cast<uint32_t>(speed);
}

void readBusMode(const BusControls &controls, Conf &bus)
{
    if (controls.normal->isChecked())
        bus.canMode = 0;
    if (controls.silent->isChecked())
        bus.canMode = 1;
}

// Without a chosen signal the value is still checked for being a number, but there is no range
// to check it against.
void readSignalTrigger(Ui::MainWindow *ui, Generation &generation)
{
    const bool signalChosen = !selTrigSig.name.empty();
    if (!signalChosen)
        fail(generation, "Trigger signal not selected!");
    bool isNumber = false;
    const double value = ui->valueTrig->toPlainText().toDouble(&isNumber);
    if (!isNumber) {
        fail(generation, "Sig value is not a number!");
        return;
    }
    if (!signalChosen)
        return;
    if (const std::optional<int64_t> raw = triggerRawValue(selTrigSig, value)) {
        setSignalTrigger(canSet.trigStm32, selTrigSig, *raw, oper);
    } else {
        fail(generation, "Value out of scale!");
        ui->valueTrig->clear();
    }
}

void readIdTrigger(Ui::MainWindow *ui, Generation &generation)
{
    bool isNumber = false;
    const int number = ui->idTrig->toPlainText().toInt(&isNumber, 10);
    if (!isNumber) {
        fail(generation, "Id trigger not valid!");
        return;
    }
    if (ui->TrigExt->isChecked()) {
        if (const std::optional<uint32_t> id = extendedTriggerId(number))
            setIdTrigger(canSet.trigStm32, *id, true);
        else
            fail(generation, "Id Ext trigger not in range!");
    }
    if (ui->TrigStd->isChecked()) {
        if (const std::optional<uint32_t> id = standardTriggerId(number))
            setIdTrigger(canSet.trigStm32, *id, false);
        else
            fail(generation, "Id Std trigger not in range!");
    }
}

void setBitTiming(const BusControls &controls, Conf &bus, uint32_t bitRate, Generation &generation)
{
    bus.CAN_BS1 = kCanBs1;
    bus.CAN_BS2 = kCanBs2;
    if (bus.canEn != 1)
        return;
    if (const std::optional<uint16_t> prescaler = prescalerForBitRate(bitRate))
        bus.CAN_pre = *prescaler;
    else
        fail(generation, QString(controls.wrongSpeed) +
                             "\nSpeed available:\n"
                             "1000000,500000,250000,125000,100000,83333,50000,33333");
}

void writeConfigToFolder()
{
    const QByteArray path = QFile::encodeName(FilepathConfig + "/config.qvc");
    if (writeConfigFile(path.toStdString(), canSet))
        showFinished("Config write correctly!");
    else
        showError("Errore nella creazione del file!");
}

} // namespace

void configurator(Ui::MainWindow *ui)
{
    const BusControls buses[2] = {
        {ui->En1, ui->speed1, ui->Nor1, ui->Sil1, "Insert Speed1!", "Speed1 not number!",
         "Wrong Can speed1!"},
        {ui->En2, ui->speed2, ui->Nor2, ui->Sil2, "Insert Speed2", "Speed2 not number!",
         "Wrong Can speed2!"},
    };
    Generation generation;
    for (Conf &bus : canSet.conf)
        bus.CAN_pre = kDisabledBusPrescaler;

    if (!ui->En1->isChecked() && !ui->En2->isChecked())
        fail(generation, "Select at least 1 Bus!");
    for (int i = 0; i < 2; ++i)
        readBusSpeed(buses[i], canSet.conf[i], generation.bitRate[i], generation);
    for (int i = 0; i < 2; ++i)
        readBusMode(buses[i], canSet.conf[i]);

    if (!ui->TrigAlways->isChecked() && !ui->TrigID->isChecked() && !ui->TrigSig->isChecked())
        fail(generation, "Select trigger mode!");
    if (ui->TrigSig->isChecked())
        readSignalTrigger(ui, generation);
    if (ui->TrigAlways->isChecked())
        setAlwaysTrigger(canSet.trigStm32);
    // After "Always": with both checked the identifier trigger wins.
    if (ui->TrigID->isChecked())
        readIdTrigger(ui, generation);

    for (int i = 0; i < 2; ++i)
        setBitTiming(buses[i], canSet.conf[i], generation.bitRate[i], generation);
    if (FilepathConfig.isEmpty())
        fail(generation, "Output folder not selected!");

    if (generation.condition) {
        ui->Generator->setEnabled(false);
        writeConfigToFolder();
    }
    ui->Generator->setEnabled(true);
}
