#pragma once

// W6: what a viewer of a long log waits for, run in a process of its own:
// `candb log pixels`. Prints one line of figures, "indexSeconds records addWorstSeconds
// addMedianSeconds redrawWorstMs bytesPerValue values signals", then one line per zoom level,
// "spanSeconds redrawWorstMs", and returns the process's exit status.
int measureViewing(int argc, char **argv);
