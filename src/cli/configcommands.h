#pragma once

#include <QStringList>

// make-config: writes a config.qvc from options, with the Configurator's checks and texts.
int runMakeConfig(const QStringList &arguments);
// show-config: prints what a config.qvc holds, and what in it the Configurator never writes.
int runShowConfig(const QStringList &arguments);
