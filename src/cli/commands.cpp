#include "commands.h"

#include "decodecommand.h"
#include "infocommand.h"
#include "logtextcommands.h"

const std::vector<Command> &allCommands()
{
    static const std::vector<Command> commands = {
        {"decode", "Convert logs into tables of signal values", runDecode},
        {"info", "Tell what logs hold, before converting them", runInfo},
        {"export", "Write a log as a candump log or a Vector ASC file", runExport},
        {"import", "Turn a candump log or a Vector ASC file into a .qvl log", runImport},
    };
    return commands;
}
