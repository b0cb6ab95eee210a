#include "batchrun.h"

#include <QString>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>

namespace {

int64_t nowMillis()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

} // namespace

void runInParallel(size_t jobCount, int threads, const std::function<void(size_t job)> &run,
                   const std::function<void()> &watch)
{
    std::atomic<size_t> next{0};
    std::mutex mutex;
    std::condition_variable allEnded;
    size_t running = std::min(jobCount, size_t(std::max(threads, 1)));
    std::vector<std::thread> workers;
    for (size_t i = running; i > 0; --i) {
        workers.emplace_back([&] {
            for (size_t job = next++; job < jobCount; job = next++)
                run(job);
            std::lock_guard<std::mutex> lock(mutex);
            if (--running == 0)
                allEnded.notify_all();
        });
    }
    {
        std::unique_lock<std::mutex> lock(mutex);
        while (!allEnded.wait_for(lock, std::chrono::milliseconds(200),
                                  [&] { return running == 0; })) {
            if (watch) {
                lock.unlock();
                watch();
                lock.lock();
            }
        }
    }
    for (std::thread &worker : workers)
        worker.join();
    if (watch)
        watch();
}

ProgressLine::ProgressLine(size_t inputs, uint64_t totalBytes)
    : total(totalBytes), read(inputs), startedMillis(nowMillis())
{
}

void ProgressLine::setRead(size_t input, uint64_t bytes)
{
    read[input].store(bytes, std::memory_order_relaxed);
}

void ProgressLine::draw()
{
    uint64_t done = 0;
    for (const std::atomic<uint64_t> &bytes : read)
        done += bytes.load(std::memory_order_relaxed);
    const double seconds = double(std::max(nowMillis() - startedMillis, int64_t(1))) / 1000.0;
    const double perSecond = double(done) / seconds;
    const int percent = total ? int(double(std::min(done, total)) * 100.0 / double(total)) : 100;
    // QString::number is the same everywhere, whatever the user's locale.
    QString line =
        QString("\r%1%  %2 MB/s").arg(percent, 3).arg(QString::number(perSecond / 1e6, 'f', 1), 7);
    if (done > 0 && done < total)
        line +=
            QString("  %1 s left").arg(QString::number(double(total - done) / perSecond, 'f', 0));
    line += "\033[K"; // the rest of a longer earlier line
    std::fputs(line.toUtf8().constData(), stderr);
    std::fflush(stderr);
}

void ProgressLine::clear()
{
    std::fputs("\r\033[K", stderr);
    std::fflush(stderr);
}
