#include "commands.h"

#include "plotcommand.h"

const std::vector<Command> &allCommands()
{
    static const std::vector<Command> commands = {
        {kPlotCommandName, "step plots of a decoded table, as PNG or SVG", runPlot},
    };
    return commands;
}
