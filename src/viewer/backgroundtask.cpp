#include "backgroundtask.h"

#include <QtConcurrent/QtConcurrentRun>

BackgroundTask::BackgroundTask(QObject *parent) : QObject(parent)
{
    connect(&watcher, &QFutureWatcher<void>::finished, this, [this] {
        if (!stopped)
            Q_EMIT finished();
    });
}

BackgroundTask::~BackgroundTask()
{
    cancel();
    watcher.waitForFinished();
}

void BackgroundTask::start(Work work)
{
    const Progress progress = [this](uint64_t done, uint64_t total) {
        if (stopped)
            return false;
        report(done, total);
        return true;
    };
    watcher.setFuture(QtConcurrent::run([work = std::move(work), progress] { work(progress); }));
}

void BackgroundTask::cancel()
{
    stopped = true;
}

// Called on the pass's thread: only a change of the whole percentage is handed to the window.
void BackgroundTask::report(uint64_t done, uint64_t total)
{
    const int percent = total == 0 ? 0 : int(done * 100 / total);
    if (lastPercent.exchange(percent) != percent)
        QMetaObject::invokeMethod(
            this, [this, percent] { Q_EMIT progressed(percent); }, Qt::QueuedConnection);
}
