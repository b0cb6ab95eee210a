#pragma once

#include <QStringList>

// Hands a command over to the program `name` beside quorvane-cli, which takes the place of this
// process with the command's arguments; returns only when that program cannot be started.
int startSiblingProgram(const char *name, const QStringList &arguments);
