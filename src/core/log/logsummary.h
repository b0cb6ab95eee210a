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
    // The span the frames cover: the earliest and the latest time stamp, unwrapped as the
    // conversion unwraps them, in microseconds. A blank tail is no part of it, for its stamps
    // are erased memory. 0 without frames.
    uint64_t firstTime = 0;
    uint64_t lastTime = 0;
    uint64_t wraps = 0;
    uint64_t outOfOrder = 0;             // steps back in time that are not wraps
    uint64_t blankTail = 0;              // blank records at the end, counted among the records too
    std::vector<Identifier> identifiers; // standard ones first, each kind ascending
    bool readFailed = false;             // reading stopped early: the figures cover a part
    bool cancelled = false;              // the caller stopped the pass: the figures cover a part

    uint64_t duration() const { return lastTime - firstTime; }
};

// What a blank tail tells the user, e.g. "the log ends in 4096 blank records (all bytes 0x00 or
// 0xFF), as a card that lost power while writing does".
std::string blankTailText(uint64_t records);

// Reads the log at `path` (in the file system's encoding) once, telling `progress` how far it has
// come; when that returns false the pass stops and the summary says `cancelled`. Nothing when the
// file cannot be opened or is no regular file.
std::optional<LogSummary> summarizeLog(const std::string &path, const Progress &progress = {});
