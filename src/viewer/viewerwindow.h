#pragma once

#include "openedfile.h"
#include "plotview.h"

#include <QMainWindow>

#include <memory>
#include <vector>

class BackgroundTask;
class QLabel;
class QProgressBar;
class RecentFiles;
class SignalTree;

// The viewer's window: the signal tree on the left, the plot on the right, a status bar with the
// file, its frames and duration, the visible range and the progress of a pass over a file.
//
// Files are read off the window's thread, one pass at a time: opening reads the log once for the
// tree, adding signals reads it once more for their values. Opening another file or closing the
// window stops a pass. Faults are shown in a message box naming the file; the window stays as it
// was before.
class ViewerWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit ViewerWindow(QWidget *parent = nullptr);
    ~ViewerWindow() override;

    // Opens a log with its database, or a table. A log without a database asks for one first.
    void open(const OpenRequest &request);
    // Plots signals of the open file: in `band`, or one new band each when `band` is -1.
    void addSignals(const std::vector<size_t> &indexes, int band);
    void removeSignals(const std::vector<size_t> &indexes);

    // Faults go to failed() alone, not into message boxes: for scripts.
    void setQuiet(bool quiet) { quietly = quiet; }
    bool isBusy() const;
    const OpenedFile *openedFile() const { return file.get(); }
    PlotView *plot() const { return plotView; }
    SignalTree *signalTree() const { return tree; }

Q_SIGNALS:
    void opened();
    void signalsAdded();
    void failed(const QString &message);

protected:
    void closeEvent(QCloseEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    void buildMenus();
    void chooseFile();
    void exportImage(bool svg);
    QString askForDatabase(const QString &log);
    void startOpening(const OpenRequest &request);
    void finishOpening(const OpenOutcome &outcome);
    void startReading();
    void finishReading(const std::vector<PlottedSignal> &signalList, const QString &problem);
    void startTask(std::function<void(const Progress &)> work, std::function<void()> done);
    void stopTask();
    void fail(const QString &message);
    void warn(const QStringList &warnings);
    void showFileStatus();
    void showRangeStatus();

    struct Request
    {
        std::vector<size_t> indexes;
        int band;
    };

    SignalTree *tree;
    PlotView *plotView;
    QLabel *fileStatus;
    QLabel *rangeStatus;
    QProgressBar *progress;
    RecentFiles *recent = nullptr;
    std::shared_ptr<const OpenedFile> file;
    std::vector<Request> waiting; // signals to read once the running pass is done
    BackgroundTask *task = nullptr;
    bool quietly = false;
};
