#include "candecoder.h"

#include "candbfile.h"
#include "database/candb.h"
#include "database/signalcodec.h"
#include "decoderarea.h"
#include "ui_mainwindow.h"

#include <QCoreApplication>
#include <QProgressBar>

QString logstr;
QString dbcstr;
QString outputstr;
QString OutNamestr;
QString FilepathConfig;
Config canSet;
std::map<std::string, Signal> mp;
Signal selTrigSig;
uint8_t oper = 0;

int64_t get_raw_value(const std::vector<uint8_t> &msg, std::list<Signal>::iterator sig)
{
    return extractRaw(msg.data(), msg.size(), *sig);
}

// ---- trigger signal list -------------------------------------------------------------------

// GenerateList is in triggerlist.cpp.

// ---- decoder -------------------------------------------------------------------------------

bool test(json jsonObject, Ui::MainWindow *ui)
{
    const Candb candb = readCandb(jsonObject);
    if (!candb.ok()) {
        reportInvalidCandb(QString::fromStdString(candb.error));
        return false;
    }
    const std::optional<ConversionJob> job = checkDecoderArea(ui);
    if (!job)
        return false;

    // Disabled for the whole run: the window stays live, and a second click must not start a
    // conversion inside this one.
    ui->Convert->setEnabled(false);
    // The bar takes every new value at once but is painted only when the window gets its turn:
    // left to itself it repaints on each change, which costs more than the rows of a fast run.
    QProgressBar *bar = ui->progressBar;
    ConversionHooks hooks;
    hooks.progress = [bar](int percent) { bar->setValue(percent); };
    hooks.processEvents = [bar] {
        bar->setUpdatesEnabled(true);
        QCoreApplication::processEvents();
        bar->setUpdatesEnabled(false);
    };
    bar->setUpdatesEnabled(false);
    const ConversionOutcome outcome = convertLog(candb, *job, hooks).outcome;
    bar->setUpdatesEnabled(true);
    ui->Convert->setEnabled(true);
    bar->setValue(0);
    reportConversion(outcome);
    return outcome == ConversionOutcome::Finished;
}

// ---- configurator --------------------------------------------------------------------------

// configurator is in configurator.cpp, the rules it applies in core/configrules.
