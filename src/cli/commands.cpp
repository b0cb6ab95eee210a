#include "commands.h"

#include "dbccommand.h"

const std::vector<Command> &allCommands()
{
    static const std::vector<Command> commands = {
        {"candb-from-dbc", "Convert a DBC file into a Candb file", runCandbFromDbc},
    };
    return commands;
}
