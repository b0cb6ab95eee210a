#include "viewerwindow.h"

#include "backgroundtask.h"
#include "conversion/conversionfiles.h"
#include "conversion/decoderinputs.h"
#include "corestrings.h"
#include "files/replacingfile.h"
#include "recentfiles.h"
#include "signaltree.h"

#include <QCloseEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressBar>
#include <QScrollArea>
#include <QSplitter>
#include <QStatusBar>

namespace {

constexpr char kTitle[] = "Quorvane Viewer";

QString secondsText(double seconds)
{
    return QString::number(seconds, 'f', 6) + " s";
}

QStringList localFiles(const QMimeData *data)
{
    QStringList paths;
    for (const QUrl &url : data->urls())
        if (url.isLocalFile())
            paths << url.toLocalFile();
    return paths;
}

// The values of signals read on the worker, each with its pyramid.
std::vector<PlottedSignal> plottedSignals(const OpenedFile &file,
                                          const std::vector<size_t> &indexes, SeriesOutcome outcome)
{
    std::vector<PlottedSignal> signalList;
    for (size_t i = 0; i < outcome.series.size(); ++i) {
        const CatalogSignal *signal = file.catalog.find(indexes[i]);
        PlottedSignal plotted{
            indexes[i], signal->name, signal->unit, std::move(outcome.series[i]), {}, 0, {}};
        plotted.pyramid = SeriesIndex(plotted.series);
        signalList.push_back(std::move(plotted));
    }
    return signalList;
}

} // namespace

ViewerWindow::ViewerWindow(QWidget *parent)
    : QMainWindow(parent), tree(new SignalTree), plotView(new PlotView), fileStatus(new QLabel),
      rangeStatus(new QLabel), progress(new QProgressBar)
{
    setWindowTitle(kTitle);
    setAcceptDrops(true);
    auto *scroll = new QScrollArea;
    scroll->setWidget(plotView);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    auto *splitter = new QSplitter;
    splitter->addWidget(tree);
    splitter->addWidget(scroll);
    // A quarter for the tree, at first and as the window grows or shrinks.
    splitter->setStretchFactor(0, 1);
    splitter->setStretchFactor(1, 3);
    splitter->setSizes({400, 880});
    setCentralWidget(splitter);
    progress->setMaximumWidth(200);
    progress->hide();
    statusBar()->addWidget(fileStatus, 1);
    statusBar()->addPermanentWidget(rangeStatus);
    statusBar()->addPermanentWidget(progress);
    fileStatus->setText(
        tr("Open a log with its database, or a table: File > Open, or drop them here"));
    buildMenus();
    resize(1280, 800);

    connect(tree, &SignalTree::signalActivated, this,
            [this](size_t index) { addSignals({index}, -1); });
    connect(plotView, &PlotView::signalsDropped, this, &ViewerWindow::addSignals);
    connect(plotView, &PlotView::windowChanged, this, &ViewerWindow::showRangeStatus);
}

ViewerWindow::~ViewerWindow()
{
    stopTask();
}

void ViewerWindow::buildMenus()
{
    QMenu *fileMenu = menuBar()->addMenu(tr("&File"));
    fileMenu->addAction(tr("&Open..."), QKeySequence::Open, this, &ViewerWindow::chooseFile);
    recent = new RecentFiles(fileMenu->addMenu(tr("Open &Recent")), this);
    connect(recent, &RecentFiles::chosen, this, &ViewerWindow::open);
    fileMenu->addSeparator();
    fileMenu->addAction(tr("Export as &PNG..."), this, [this] { exportImage(false); });
    fileMenu->addAction(tr("Export as &SVG..."), this, [this] { exportImage(true); });
    fileMenu->addSeparator();
    fileMenu->addAction(tr("&Quit"), QKeySequence::Quit, this, &QWidget::close);

    QMenu *viewMenu = menuBar()->addMenu(tr("&View"));
    viewMenu->addAction(tr("Show &All"), QKeySequence(Qt::Key_Home), plotView, &PlotView::showAll);
    viewMenu->addAction(tr("&Remove Selected Signals"), QKeySequence::Delete, this,
                        [this] { removeSignals(tree->selectedSignals()); });
}

void ViewerWindow::chooseFile()
{
    const QString path =
        QFileDialog::getOpenFileName(this, tr("Open a log or a table"), {}, openFilters());
    if (!path.isEmpty())
        open({path, {}});
}

QString ViewerWindow::askForDatabase(const QString &log)
{
    return QFileDialog::getOpenFileName(
        this, tr("The signal database for %1").arg(QFileInfo(log).fileName()),
        recent->lastDatabase(), databaseFilters());
}

void ViewerWindow::open(const OpenRequest &request)
{
    if (const QString problem = requestProblem(request); !problem.isEmpty())
        return fail(problem);
    OpenRequest complete = request;
    if (!complete.isTable() && complete.database.isEmpty()) {
        if (quietly)
            return fail(request.file + ": " + tr("a log needs its signal database: --candb DB"));
        complete.database = askForDatabase(request.file);
        if (complete.database.isEmpty())
            return;
    }
    startOpening(complete);
}

void ViewerWindow::startOpening(const OpenRequest &request)
{
    waiting.clear();
    fileStatus->setText(tr("Opening %1").arg(request.file));
    const auto outcome = std::make_shared<OpenOutcome>();
    startTask([request, outcome](const Progress &report) { *outcome = openFile(request, report); },
              [this, outcome] { finishOpening(*outcome); });
    if (request.isTable())
        progress->setRange(0, 0); // a table's pass does not know how far it has come
}

void ViewerWindow::finishOpening(const OpenOutcome &outcome)
{
    if (!outcome.file) {
        showFileStatus();
        return fail(outcome.problem);
    }
    file = outcome.file;
    waiting.clear(); // asked for in the tree of the file before
    if (!quietly)
        recent->add(file->request);
    tree->showCatalog(file->catalog);
    plotView->reset(file->extent);
    showFileStatus();
    Q_EMIT opened();
    warn(file->warnings);
    startReading();
}

void ViewerWindow::addSignals(const std::vector<size_t> &indexes, int band)
{
    if (!file)
        return;
    std::vector<size_t> fresh;
    for (size_t index : indexes)
        if (file->catalog.find(index) && !plotView->isPlotted(index) &&
            std::find(fresh.begin(), fresh.end(), index) == fresh.end())
            fresh.push_back(index);
    if (fresh.empty())
        return;
    waiting.push_back({fresh, band});
    startReading();
}

void ViewerWindow::removeSignals(const std::vector<size_t> &indexes)
{
    for (size_t index : indexes)
        plotView->removeSignal(index);
}

// Reads the signals asked for while nothing else is read, all in one pass.
void ViewerWindow::startReading()
{
    if (task || waiting.empty())
        return;
    const Request request = waiting.front();
    waiting.erase(waiting.begin());
    const std::shared_ptr<const OpenedFile> source = file;
    const auto outcome = std::make_shared<std::pair<std::vector<PlottedSignal>, QString>>();
    startTask(
        [source, request, outcome](const Progress &report) {
            SeriesOutcome read = readSeries(*source, request.indexes, report);
            outcome->second = read.problem;
            outcome->first = plottedSignals(*source, request.indexes, std::move(read));
        },
        [this, request, outcome] {
            for (PlottedSignal &signal : outcome->first)
                plotView->addSignal(std::move(signal), request.band);
            if (!outcome->first.empty())
                tree->selectSignal(request.indexes.back());
            if (!outcome->second.isEmpty())
                fail(outcome->second);
            else
                Q_EMIT signalsAdded();
            startReading();
        });
}

void ViewerWindow::startTask(std::function<void(const Progress &)> work, std::function<void()> done)
{
    stopTask();
    task = new BackgroundTask(this);
    progress->setRange(0, 100);
    progress->setValue(0);
    progress->show();
    connect(task, &BackgroundTask::progressed, progress, &QProgressBar::setValue);
    connect(task, &BackgroundTask::finished, this, [this, done] {
        // The task is inside its own signal: it goes once the signal has returned.
        task->deleteLater();
        task = nullptr;
        progress->hide();
        done();
    });
    task->start(std::move(work));
}

// Stops the running pass, if any, and waits for its thread to let go of the file.
void ViewerWindow::stopTask()
{
    if (!task)
        return;
    delete task;
    task = nullptr;
    progress->hide();
}

bool ViewerWindow::isBusy() const
{
    return task || !waiting.empty();
}

void ViewerWindow::fail(const QString &message)
{
    if (!quietly)
        QMessageBox::warning(this, kTitle, message);
    Q_EMIT failed(message);
}

void ViewerWindow::warn(const QStringList &warnings)
{
    if (!warnings.isEmpty() && !quietly)
        QMessageBox::information(this, kTitle, warnings.join('\n'));
}

void ViewerWindow::showFileStatus()
{
    if (!file) {
        fileStatus->clear();
        return;
    }
    const QString frames = file->request.isTable() ? tr("%1 rows") : tr("%1 frames");
    fileStatus->setText(QString("%1   %2   %3")
                            .arg(QFileInfo(file->request.file).fileName(), frames.arg(file->frames),
                                 secondsText(file->extent.to - file->extent.from)));
    setWindowTitle(QString("%1 - %2").arg(QFileInfo(file->request.file).fileName(), kTitle));
}

void ViewerWindow::showRangeStatus()
{
    const TimeWindow &window = plotView->timeWindow();
    rangeStatus->setText(
        tr("shown: %1 to %2").arg(secondsText(window.from), secondsText(window.to)));
}

void ViewerWindow::exportImage(bool svg)
{
    const QByteArray image = plotView->exportImage(svg);
    if (image.isEmpty())
        return fail(tr("Nothing to export: plot a signal first."));
    const QString suffix = svg ? ".svg" : ".png";
    QString path =
        QFileDialog::getSaveFileName(this, svg ? tr("Export as SVG") : tr("Export as PNG"), {},
                                     svg ? tr("SVG images (*.svg)") : tr("PNG images (*.png)"));
    if (path.isEmpty())
        return;
    if (!path.endsWith(suffix, Qt::CaseInsensitive))
        path += suffix;
    // The files shown are never written over, whatever name the user picks.
    const std::string target = nativePath(path);
    for (const QString &input : {file->request.file, file->request.database})
        if (!input.isEmpty() && sameFile(target, nativePath(input)))
            return fail(path + ": " + kOutputIsInput);
    if (!replaceFileWith(target, image.constData(), size_t(image.size())))
        fail(path + ": " + tr("the image could not be written"));
}

void ViewerWindow::closeEvent(QCloseEvent *event)
{
    stopTask();
    waiting.clear();
    event->accept();
}

void ViewerWindow::dragEnterEvent(QDragEnterEvent *event)
{
    if (!localFiles(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

// Dropped files open as the command line's: a log with its database, or a table. A database
// dropped alone opens the current log with it.
void ViewerWindow::dropEvent(QDropEvent *event)
{
    OpenRequest request = requestOfFiles(localFiles(event->mimeData()));
    if (request.file.isEmpty() && file && !file->request.isTable())
        request.file = file->request.file;
    if (request.file.isEmpty())
        return;
    event->acceptProposedAction();
    open(request);
}
