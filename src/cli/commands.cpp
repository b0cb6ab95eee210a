#include "commands.h"

#include "dbccommand.h"
#include "decodecommand.h"
#include "infocommand.h"

const std::vector<Command> &allCommands()
{
    static const std::vector<Command> commands = {
        {"decode", "Convert logs into tables of signal values", runDecode},
        {"info", "Tell what logs hold, before converting them", runInfo},
        {"candb-from-dbc", "Convert a DBC file into a Candb file", runCandbFromDbc},
    };
    return commands;
}
