#include "candecoder.h"

#include "signalcodec.h"
#include "ui_mainwindow.h"

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

void test(json jsonObject, Ui::MainWindow *ui)
{
    Q_UNUSED(jsonObject);
    Q_UNUSED(ui);
}

// ---- configurator --------------------------------------------------------------------------

// configurator is in configurator.cpp, the rules it applies in core/configrules.
