#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <vector>

// Runs jobs on up to `threads` threads at once, each job on one thread from start to end, and
// returns when all have ended. While they run, `watch` (when given) is called on the calling
// thread about five times a second and once more at the end.
void runInParallel(size_t jobCount, int threads, const std::function<void(size_t job)> &run,
                   const std::function<void()> &watch = {});

// One line on a terminal, redrawn in place: the share of all bytes read, the speed and the time
// left. Fed from any thread; drawn by the thread that calls draw().
class ProgressLine
{
public:
    // `inputs` numbers the inputs from 0; `totalBytes` is what they will read in all.
    ProgressLine(size_t inputs, uint64_t totalBytes);
    // Bytes read so far of one input.
    void setRead(size_t input, uint64_t bytes);
    void draw();
    // Removes the line, so that what follows starts on a clean line.
    void clear();

private:
    uint64_t total;
    std::vector<std::atomic<uint64_t>> read;
    int64_t startedMillis;
};
