#include "commands.h"

#include "logtextcommands.h"

const std::vector<Command> &allCommands()
{
    static const std::vector<Command> commands = {
        {"export", "Write a log as a candump log or a Vector ASC file", runExport},
        {"import", "Turn a candump log or a Vector ASC file into a .qvl log", runImport},
    };
    return commands;
}
