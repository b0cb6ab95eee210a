#pragma once

#include "database/candbsignal.h"

#include <QString>

// The signal that the trigger list offers under `name`: the first definition in the last Candb
// file listed. An empty Signal when the list holds no such name.
Signal listedSignal(const QString &name);
