#pragma once

#include <QStringList>

// quorvane-cli export LOG -o OUT.log|OUT.asc [--format candump|asc] [--candb DB] [--channel NAME]
int runExport(const QStringList &arguments);
// quorvane-cli import IN.log|IN.asc -o OUT.qvl [--format candump|asc] [--channel NAME]
int runImport(const QStringList &arguments);
