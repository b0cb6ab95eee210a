#include "commands.h"

const std::vector<Command> &allCommands()
{
    static const std::vector<Command> commands = {};
    return commands;
}
