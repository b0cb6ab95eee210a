#pragma once

#include <QStringList>

// quorvane-cli info: what a log holds, before converting it.
int runInfo(const QStringList &arguments);
