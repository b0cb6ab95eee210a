#include "viewercommandline.h"

#include "corestrings.h"
#include "files/replacingfile.h"
#include "plotview.h"
#include "signaltree.h"
#include "viewerwindow.h"

#include <QApplication>
#include <QBuffer>
#include <QCommandLineParser>
#include <QFile>
#include <QImage>
#include <QTimer>

#include <cmath>
#include <cstdio>

namespace {

std::optional<std::pair<double, double>> rangeOption(const QString &text, QString &problem)
{
    const QStringList ends = text.split(':');
    bool fromOk = false;
    bool toOk = false;
    const double from = ends.value(0).toDouble(&fromOk);
    const double to = ends.size() == 2 ? ends[1].toDouble(&toOk) : 0;
    if (!fromOk || !toOk || !std::isfinite(from) || !std::isfinite(to) || from >= to) {
        problem = QString("--range needs FROM:TO in seconds, FROM before TO, not '%1'").arg(text);
        return std::nullopt;
    }
    return std::make_pair(from, to);
}

// The indexes of the signals named, in the tree's terms; a name the file lacks is a fault.
std::optional<std::vector<size_t>> namedSignals(const OpenedFile &file, const QStringList &names,
                                                QString &problem)
{
    std::vector<size_t> indexes;
    for (const QString &name : names) {
        const std::optional<size_t> index = file.catalog.indexOf(name);
        if (!index) {
            problem = QString("%1: no signal '%2'").arg(file.request.file, name);
            return std::nullopt;
        }
        indexes.push_back(*index);
    }
    return indexes;
}

bool writePng(const QImage &image, const QString &path)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    return image.save(&buffer, "PNG") &&
           replaceFileWith(nativePath(path), bytes.constData(), size_t(bytes.size()));
}

void quitWith(const QString &message)
{
    std::fprintf(stderr, "%s: %s\n", qPrintable(QCoreApplication::applicationName()),
                 qPrintable(message));
    QCoreApplication::exit(1);
}

} // namespace

ViewerOptions readViewerOptions(const QStringList &arguments, QString &problem)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        "Browses the signals of a log (.qvl, candump .log, ASC .asc) with its Candb or DBC file, "
        "or of a table written by decode (.csv).");
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument("file", "The log or the table to open.", "[LOG | TABLE.csv]");
    parser.addOptions({
        {"candb", "The log's signal database: a Candb .json file, or a DBC file.", "DB"},
        {"signals", "Signals to plot at once, one band each.", "NAME,NAME..."},
        {"range", "The time shown, in seconds.", "FROM:TO"},
        {"cursor", "Pins the cursor at this time, in seconds.", "SECONDS"},
        {"size", "The window's size in pixels.", "WIDTHxHEIGHT"},
        {"grab", "Renders the window into a PNG image and quits.", "OUT.png"},
    });
    parser.process(arguments);
    ViewerOptions options;
    const QStringList files = parser.positionalArguments();
    if (files.size() > 1)
        problem = "give one log or table only";
    options.request = {files.value(0), parser.value("candb")};
    if (parser.isSet("signals"))
        options.signalNames = parser.value("signals").split(',', Qt::SkipEmptyParts);
    if (parser.isSet("range"))
        options.range = rangeOption(parser.value("range"), problem);
    if (parser.isSet("cursor")) {
        bool converts = false;
        options.cursor = parser.value("cursor").toDouble(&converts);
        if (!converts || !std::isfinite(*options.cursor))
            problem =
                QString("--cursor needs a number of seconds, not '%1'").arg(parser.value("cursor"));
    }
    if (parser.isSet("size"))
        options.size = imageSizeOption(parser.value("size"), problem);
    options.grabPath = parser.value("grab");
    if (options.request.file.isEmpty() && (!options.signalNames.isEmpty() || parser.isSet("grab")))
        problem = "no log or table given";
    if (!options.grabPath.isEmpty() && !options.grabPath.endsWith(".png", Qt::CaseInsensitive))
        problem = "the image's name must end in .png";
    return options;
}

int runViewer(const ViewerOptions &options)
{
    ViewerWindow window;
    const bool grabbing = !options.grabPath.isEmpty();
    if (options.size)
        window.resize(*options.size);
    auto finish = [&] {
        if (options.range)
            window.plot()->showRange(options.range->first, options.range->second);
        if (options.cursor)
            window.plot()->pinCursor(*options.cursor);
        if (!grabbing)
            return;
        // The status bar's labels take their new sizes first.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        if (!writePng(window.grab().toImage(), options.grabPath))
            return quitWith(options.grabPath + ": the image could not be written");
        QCoreApplication::exit(0);
    };
    QObject::connect(&window, &ViewerWindow::opened, &window, [&] {
        QString problem;
        const auto indexes = namedSignals(*window.openedFile(), options.signalNames, problem);
        if (!indexes)
            return grabbing ? quitWith(problem) : void(window.failed(problem));
        if (indexes->empty())
            return finish();
        QObject::connect(&window, &ViewerWindow::signalsAdded, &window, finish,
                         Qt::SingleShotConnection);
        window.addSignals(*indexes, -1);
    });
    if (grabbing) {
        window.setQuiet(true);
        QObject::connect(&window, &ViewerWindow::failed, &window, quitWith);
        window.setAttribute(Qt::WA_DontShowOnScreen);
    }
    window.show();
    if (!options.request.file.isEmpty())
        QTimer::singleShot(0, &window, [&] { window.open(options.request); });
    return QApplication::exec();
}
