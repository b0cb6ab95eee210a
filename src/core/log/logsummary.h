#pragma once

#include "files/progress.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// What a log holds, from one pass over it.
struct LogSummary
{
    struct Identifier
    {
        uint32_t id = 0; // the frame identifier: bit 31 set for an extended one
        uint64_t frames = 0;
        // Its first and last frame's time, unwrapped as the conversion unwraps it.
        uint64_t firstTime = 0;
        uint64_t lastTime = 0;
    };

    uint64_t fileSize = 0;
    uint64_t records = 0;
    uint64_t partialBytes = 0; // the start of a record at the end of the file, never read
    // Time stamps unwrapped as the conversion unwraps them, in microseconds; 0 without records.
    uint64_t firstTime = 0;
    uint64_t lastTime = 0;
    uint64_t wraps = 0;
    uint64_t outOfOrder = 0;             // steps back in time that are not wraps
    std::vector<Identifier> identifiers; // standard ones first, each kind ascending
    bool readFailed = false;             // reading stopped early: the figures cover a part
    bool cancelled = false;              // the caller stopped the pass: the figures cover a part

    uint64_t duration() const { return lastTime - firstTime; }
};

// Reads the log at `path` (in the file system's encoding) once, telling `progress` how far it has
// come; when that returns false the pass stops and the summary says `cancelled`. Nothing when the
// file cannot be opened or is no regular file.
std::optional<LogSummary> summarizeLog(const std::string &path, const Progress &progress = {});
