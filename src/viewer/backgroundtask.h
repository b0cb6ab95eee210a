#pragma once

#include "files/progress.h"

#include <QFutureWatcher>
#include <QObject>

#include <atomic>
#include <cstdint>
#include <functional>

// One pass over a file on a thread of the pool, so that the window answers while it runs. The
// pass reports its progress through a callback that also tells it to stop once the task has been
// cancelled; cancelling or destroying the task stops the pass and drops its result.
class BackgroundTask : public QObject
{
    Q_OBJECT

public:
    using Work = std::function<void(const Progress &)>;

    explicit BackgroundTask(QObject *parent = nullptr);
    // Cancels the pass and waits for it to stop.
    ~BackgroundTask() override;

    // Runs `work`; finished() follows on this object's thread unless the task is cancelled first.
    void start(Work work);
    void cancel();
    bool isRunning() const { return watcher.isRunning(); }
    void waitForStop() { watcher.waitForFinished(); }

Q_SIGNALS:
    void progressed(int percent);
    void finished();

private:
    void report(uint64_t done, uint64_t total);

    QFutureWatcher<void> watcher;
    std::atomic<bool> stopped{false}; // the destructor waits for the pass, so it outlives it
    std::atomic<int> lastPercent{-1};
};
