#pragma once

#include "config/configrecord.h"
#include "database/candbsignal.h"
#include "log/logfile.h"

#include <QString>
#include <nlohmann/json.hpp>

#include <cstdint>
#include <list>
#include <map>
#include <string>
#include <vector>

using json = nlohmann::json;

namespace Ui {
class MainWindow;
}

// State shared by the window's slots, the decoder and the configurator. All start empty or zero
// and live for the whole run; nothing is saved.
extern QString logstr;                   // log file, the text of logpath
extern QString dbcstr;                   // Candb file, the text of dbcpath
extern QString outputstr;                // folder of the output table, the text of outputpath
extern QString OutNamestr;               // name of the output table, the text of FIleName
extern QString FilepathConfig;           // folder of config.qvc
extern Config canSet;                    // the configuration record, never reset
extern std::map<std::string, Signal> mp; // trigger signals of the last Candb file, by name
extern Signal selTrigSig;                // the signal chosen for the signal trigger
extern uint8_t oper;                     // comparison code: the index of `operation`

int64_t get_raw_value(const std::vector<uint8_t> &msg, std::list<Signal>::iterator sig);

// Fills comboBox and mp from a Candb file and selects the first signal.
void GenerateList(json jsonObject, Ui::MainWindow *ui);
// The Decoder: checks the Decoder area, converts the log and reports the result. True when the
// table was written to its end, so that the caller may add what it knows about the database.
bool test(json jsonObject, Ui::MainWindow *ui);
// The Configurator: checks the Configurator area, fills canSet and writes config.qvc.
void configurator(Ui::MainWindow *ui);
