#pragma once

#include "conversion/tablewriter.h"
#include "database/decodeplan.h"

#include <cstdint>
#include <vector>

// The latest frame of every message since the last row. Only the latest one can reach the
// table, so a frame is merely kept when it arrives, and decoded when a row is written: at a low
// conversion frequency most frames are never decoded at all.
class LatestFrames
{
public:
    explicit LatestFrames(const DecodePlan &plan);

    // Keeps the data words of the `sequence`th frame of the log, which decodes as message `entry`.
    void keep(int entry, uint32_t low, uint32_t high, uint64_t sequence)
    {
        Kept &kept = frames[size_t(entry)];
        kept.little = littleEndianData(low, high);
        kept.sequence = sequence;
        if (!kept.waiting) {
            kept.waiting = true;
            waiting.push_back(uint32_t(entry));
        }
    }

    // Sets the table's columns from the frames kept since the last call, as if each had been
    // decoded when it arrived: where messages share a column, the latest frame's value stays.
    void decodeInto(TableWriter &table);

private:
    struct Kept
    {
        uint64_t little = 0;
        uint64_t sequence = 0;
        bool waiting = false;
    };

    const DecodePlan &plan;
    std::vector<Kept> frames;      // per message entry
    std::vector<uint32_t> waiting; // entries kept since the last call, at most one each
};
