#pragma once

#include <QStringList>

// quorvane-cli decode: the window's conversion for one log or many, on all cores.
int runDecode(const QStringList &arguments);
