#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

// The floors a conversion is held against, and a way to run one conversion in a process of its
// own so that its peak memory is its own.

// Seconds from `start` until now.
double secondsSince(std::chrono::steady_clock::time_point start);
// The middle value; the mean of the two middle ones for an even count.
double median(std::vector<double> values);

// Seconds to read the whole file in large blocks.
double readFloorSeconds(const std::string &path);
// Seconds to write `bytes` bytes in large blocks into a new file in `folder` and close it. The
// file is removed afterwards.
double writeFloorSeconds(const std::string &folder, uint64_t bytes);
uint64_t fileSize(const std::string &path);
// Processor time of this process so far, all its threads: user and system.
double processCpuSeconds();

struct ChildRun
{
    bool ok = false;    // exited with status 0
    std::string output; // what it wrote to its standard output
    double peakMiB = 0; // its peak resident memory
};

// Runs `program` with `arguments`, waits for it and collects its peak resident set.
ChildRun runProgram(const std::string &program, const std::vector<std::string> &arguments);
// Runs this program again, as a new program image, so that the peak memory measured is the
// conversion's alone.
ChildRun runThisProgram(const std::vector<std::string> &arguments);
