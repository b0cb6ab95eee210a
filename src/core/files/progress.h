#pragma once

#include <cstdint>
#include <functional>

// How far a pass over a file has come, told to whoever waits for it: bytes done and the file's
// size. Returning false stops the pass. Called from the thread that runs the pass, between
// batches and at most every few MiB, so it may take a lock or post to another thread.
using Progress = std::function<bool(uint64_t bytesDone, uint64_t bytesTotal)>;

// Calls a Progress once per step of kProgressStep bytes rather than after every batch, and keeps
// the answer: a pass asks `advance` after each batch and stops once it says false.
class ProgressGate
{
public:
    static constexpr uint64_t kProgressStep = uint64_t(4) << 20;

    ProgressGate(const Progress &progress, uint64_t bytesTotal)
        : progress(progress), total(bytesTotal)
    {
    }

    // False once the callback has asked to stop.
    bool advance(uint64_t bytesDone)
    {
        if (!stop && progress && bytesDone >= nextCall) {
            nextCall = bytesDone + kProgressStep;
            stop = !progress(bytesDone, total);
        }
        return !stop;
    }

private:
    const Progress &progress;
    uint64_t total;
    uint64_t nextCall = 0;
    bool stop = false;
};
