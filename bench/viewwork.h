#pragma once

// W6: what a viewer of a long log waits for, run in a process of its own:
// `candb log pixels`. Prints one line of figures, "indexSeconds indexCpuSeconds records
// addWorstSeconds addMedianSeconds bytesPerValue values signals", then one line per zoom level,
// "spanSeconds medianMs slowestMs medianCpuMs" over the windows measured at that level, and
// returns the process's exit status. Processor times count all threads.
int measureViewing(int argc, char **argv);

// Random windows measured at each zoom level, the first one the log's start.
constexpr int kViewWindowsPerLevel = 6;
