#include "commands.h"

#include "configcommands.h"

const std::vector<Command> &allCommands()
{
    static const std::vector<Command> commands = {
        {"make-config", "Write the logger's configuration file (config.qvc)", runMakeConfig},
        {"show-config", "Print what a configuration file holds", runShowConfig},
    };
    return commands;
}
