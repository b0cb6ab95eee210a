#pragma once

// The two ways the benchmark converts a log, each run in a process of its own. Both print
// "seconds cpuSeconds frames rows columns" on standard output and return the process's exit status.

#include "database/candb.h"

#include <optional>

// The Candb file a child's work reads; nothing, after saying why on standard error, when it is
// refused.
std::optional<Candb> readBenchCandb(const char *path);

// Through the engine: `candb log output periodMicros smart(0|1)`.
int convertWithEngine(int argc, char **argv);

// Through the window, offscreen: the paths typed into the form's fields and Convert clicked,
// until the "Finish" box shows. `candb log outputFolder outputName frequency smart(0|1)`.
int convertThroughWindow(int argc, char **argv);
