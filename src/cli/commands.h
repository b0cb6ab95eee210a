#pragma once

#include "commandline.h"

#include <vector>

// Every command of quorvane-cli, in the order the program's help lists them.
const std::vector<Command> &allCommands();
