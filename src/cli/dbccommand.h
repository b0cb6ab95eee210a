#pragma once

#include <QStringList>

// quorvane-cli candb-from-dbc VEHICLE.dbc [-o VEHICLE.json]: converts a DBC file into a Candb
// file.
int runCandbFromDbc(const QStringList &arguments);
