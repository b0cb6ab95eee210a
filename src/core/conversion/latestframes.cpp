#include "conversion/latestframes.h"

#include <algorithm>

LatestFrames::LatestFrames(const DecodePlan &plan) : plan(plan), frames(plan.messageCount())
{
    waiting.reserve(frames.size()); // never grows while the log is read
}

void LatestFrames::decodeInto(TableWriter &table)
{
    // Only messages that share a column need their frames' order; the others set columns no
    // other message touches.
    if (plan.sharesColumns()) {
        std::sort(waiting.begin(), waiting.end(), [this](uint32_t a, uint32_t b) {
            return frames[a].sequence < frames[b].sequence;
        });
    }
    const DecodeStep *steps = plan.steps();
    for (uint32_t entry : waiting) {
        Kept &kept = frames[entry];
        kept.waiting = false;
        const DecodePlan::Message &message = plan.message(int(entry));
        const uint64_t big = bigEndianData(kept.little, message.bigEndianMask);
        const DecodeStep *const end = steps + message.endStep;
        for (const DecodeStep *step = steps + message.firstStep; step != end; ++step)
            table.set(step->column, step->codec.value(kept.little, big));
    }
    waiting.clear();
}
