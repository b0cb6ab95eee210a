#include "commands.h"

#include "configcommands.h"
#include "dbccommand.h"
#include "decodecommand.h"
#include "infocommand.h"
#include "logtextcommands.h"
#include "plotcommand.h"
#include "viewcommand.h"

const std::vector<Command> &allCommands()
{
    static const std::vector<Command> commands = {
        {"decode", "Convert logs into tables of signal values", runDecode},
        {"info", "Tell what logs hold, before converting them", runInfo},
        {"candb-from-dbc", "Convert a DBC file into a Candb file", runCandbFromDbc},
        {"export", "Write a log as a candump log or a Vector ASC file", runExport},
        {"import", "Turn a candump log or a Vector ASC file into a .qvl log", runImport},
        {"make-config", "Write the logger's configuration file (config.qvc)", runMakeConfig},
        {"show-config", "Print what a configuration file holds", runShowConfig},
        {kPlotCommandName, "Draw a table's signals as step plots, in PNG or SVG", startPlotProgram},
        {kViewCommandName, "Browse the signals of a log or a table in the viewer",
         startViewProgram},
    };
    return commands;
}
