#include "backgroundtask.h"
#include "database/databasefile.h"
#include "database/signalcodec.h"
#include "filedialogresponder.h"
#include "log/logfile.h"
#include "log/logtextfiles.h"
#include "messageboxrecorder.h"
#include "plotview.h"
#include "signaltree.h"
#include "testfiles.h"
#include "viewerwindow.h"

#include <QImage>
#include <QMimeData>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include <memory>
#include <optional>

// The viewer as a user meets it: what the cursor reads, how signals come and go, how a pass over
// a file stops, what each bad input says, and the picture --grab writes.
class ViewerTest : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir;
    QString path(const QString &name) const { return dir.filePath(name); }

private Q_SLOTS:
    void initTestCase();
    void readoutIsTheFramesValue_data();
    void readoutIsTheFramesValue();
    void zoomKeepsTheTimeUnderThePointer();
    void keysMoveTheWindow_data();
    void keysMoveTheWindow();
    void clickPinsTheCursor();
    void filterNarrowsTheTree_data();
    void filterNarrowsTheTree();
    void otherInputsOpen_data();
    void otherInputsOpen();
    void exportWritesWhatIsShown();
    void exportAddsTheExtension();
    void signalsComeAndGo();
    void droppedFilesOpen();
    void closingStopsThePass();
    void badInput_data();
    void badInput();
    void blankTailIsTold();
    void grab_data();
    void grab();
};

namespace {

const QString kExamples = QUORVANE_EXAMPLES_DIR;
const QString kLog = kExamples + "/vehicle.qvl";
const QString kCandb = kExamples + "/vehicle.json";

// Opens the files and waits for the tree; false when opening failed.
bool openAndWait(ViewerWindow &window, const OpenRequest &request)
{
    QSignalSpy opened(&window, &ViewerWindow::opened);
    QSignalSpy failed(&window, &ViewerWindow::failed);
    window.open(request);
    return QTest::qWaitFor([&] { return !opened.isEmpty() || !failed.isEmpty(); }, 20000) &&
           !opened.isEmpty();
}

bool addAndWait(ViewerWindow &window, const QStringList &names, int band = -1)
{
    std::vector<size_t> indexes;
    for (const QString &name : names)
        indexes.push_back(*window.openedFile()->catalog.indexOf(name));
    window.addSignals(indexes, band);
    return QTest::qWaitFor([&] { return !window.isBusy(); }, 20000);
}

// The example log opened in a quiet window of a fixed size, with these signals plotted.
bool showExample(ViewerWindow &window, const QStringList &signalNames)
{
    window.setQuiet(true);
    window.resize(1200, 800);
    window.show();
    return openAndWait(window, {kLog, kCandb}) &&
           (signalNames.isEmpty() || addAndWait(window, signalNames));
}

// The frame at or before `micros` of the signal's message, read from the log and decoded with
// the signal codec, record by record.
std::optional<std::pair<uint64_t, double>> frameValueAt(const QString &name, uint64_t micros)
{
    const Candb candb = readCandbFile(nativePath(kCandb)).candb;
    const Signal *signal = nullptr;
    for (const CandbMessage &message : candb.messages)
        for (const Signal &candidate : message.signalList)
            if (QString::fromStdString(candidate.name) == name)
                signal = &candidate;
    LogReader reader;
    reader.open(nativePath(kLog));
    StampUnwrapper unwrap;
    std::optional<std::pair<uint64_t, double>> latest;
    CAN_FIFOMailBox_TypeDef record;
    while (reader.read(&record, 1) == 1) {
        const uint64_t time = unwrap(record.RDTR);
        if (time > micros)
            break;
        if (mailboxId(record) != signal->ID)
            continue;
        uint8_t bytes[8];
        for (int i = 0; i < 8; ++i)
            bytes[i] = mailboxDataByte(record, i);
        latest = {
            {time, physicalValue(*signal, extractRaw(bytes, frameByteCount(*signal), *signal))}};
    }
    return latest;
}

std::unique_ptr<QMimeData> draggedSignals(const ViewerWindow &window, const QStringList &names)
{
    std::vector<size_t> indexes;
    for (const QString &name : names)
        indexes.push_back(*window.openedFile()->catalog.indexOf(name));
    auto data = std::make_unique<QMimeData>();
    data->setData(SignalTree::kMimeType, SignalTree::mimeDataOfSignals(indexes));
    return data;
}

void drop(PlotView *plot, const std::unique_ptr<QMimeData> &data, QPoint at)
{
    QDragEnterEvent enter(at, Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(plot, &enter);
    QDropEvent dropped(at, Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(plot, &dropped);
}

QStringList names(const ViewerWindow &window)
{
    QStringList bands;
    for (const std::vector<size_t> &band : window.plot()->bands()) {
        QStringList inBand;
        for (size_t index : band)
            inBand << window.openedFile()->name(index);
        bands << inBand.join('+');
    }
    return bands;
}

} // namespace

void ViewerTest::initTestCase()
{
    QVERIFY(dir.isValid());
    QCoreApplication::setOrganizationName("QuorvaneTest");
    QCoreApplication::setApplicationName("tst_viewer");
}

void ViewerTest::readoutIsTheFramesValue_data()
{
    QTest::addColumn<QString>("signal");
    QTest::addColumn<uint64_t>("micros");
    // Frames of EngineData come every 10 ms, those of BatteryStatus (extended) every 100 ms.
    QTest::newRow("before the first frame") << "EngineSpeed" << uint64_t(0);
    QTest::newRow("between frames") << "EngineSpeed" << uint64_t(12345678);
    QTest::newRow("past the last frame") << "EngineSpeed" << uint64_t(200000000);
    QTest::newRow("extended, mid-log") << "BatteryCurrent" << uint64_t(45678901);
    QTest::newRow("signed, braking") << "LongAccel" << uint64_t(61000000);
}

void ViewerTest::readoutIsTheFramesValue()
{
    QFETCH(QString, signal);
    QFETCH(uint64_t, micros);
    ViewerWindow window;
    QVERIFY(showExample(window, {signal}));
    const double seconds = double(micros) / 1e6;
    const std::vector<CursorReading> readings = window.plot()->readout(seconds);
    QCOMPARE(readings.size(), size_t(1));
    const auto expected = frameValueAt(signal, micros);
    QCOMPARE(readings[0].sample.has_value(), expected.has_value());
    if (expected) {
        QCOMPARE(readings[0].sample->micros, expected->first);
        QCOMPARE(readings[0].sample->value, expected->second);
    }
}

void ViewerTest::zoomKeepsTheTimeUnderThePointer()
{
    ViewerWindow window;
    QVERIFY(showExample(window, {"VehicleSpeed"}));
    PlotView *plot = window.plot();
    const QPoint pointer(plot->width() * 2 / 3, plot->height() / 2);
    const double before = *plot->timeAt(pointer);
    const double spanBefore = plot->timeWindow().span();
    QWheelEvent wheel(pointer, plot->mapToGlobal(pointer), {}, {0, 480}, Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(plot, &wheel);
    QVERIFY(plot->timeWindow().span() < spanBefore / 2);
    QVERIFY(qAbs(*plot->timeAt(pointer) - before) < 1e-9 * spanBefore);
}

void ViewerTest::keysMoveTheWindow_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<double>("from"); // as fractions of the log's extent, from 0.4 to 0.6 before
    QTest::addColumn<double>("to");
    QTest::newRow("right pans a tenth later") << int(Qt::Key_Right) << 0.42 << 0.62;
    QTest::newRow("left pans a tenth earlier") << int(Qt::Key_Left) << 0.38 << 0.58;
    QTest::newRow("up zooms in around the middle") << int(Qt::Key_Up) << 0.45 << 0.55;
    QTest::newRow("down zooms out around the middle") << int(Qt::Key_Down) << 0.3 << 0.7;
    QTest::newRow("home shows everything") << int(Qt::Key_Home) << 0.0 << 1.0;
}

void ViewerTest::keysMoveTheWindow()
{
    QFETCH(int, key);
    QFETCH(double, from);
    QFETCH(double, to);
    ViewerWindow window;
    QVERIFY(showExample(window, {"VehicleSpeed"}));
    PlotView *plot = window.plot();
    const TimeRange extent = plot->extent();
    const auto at = [&](double fraction) {
        return extent.from + fraction * (extent.to - extent.from);
    };
    plot->showRange(at(0.4), at(0.6));
    QTest::keyClick(plot, Qt::Key(key));
    const double tolerance = 1e-9 * (extent.to - extent.from);
    QVERIFY(qAbs(plot->timeWindow().from - at(from)) < tolerance);
    QVERIFY(qAbs(plot->timeWindow().to - at(to)) < tolerance);
}

void ViewerTest::clickPinsTheCursor()
{
    ViewerWindow window;
    QVERIFY(showExample(window, {"VehicleSpeed"}));
    PlotView *plot = window.plot();
    const QPoint first(plot->width() / 2, plot->height() / 2);
    const QPoint second(plot->width() * 3 / 4, plot->height() / 2);
    QTest::mouseMove(plot, first);
    QCOMPARE(plot->cursor(), plot->timeAt(first));
    QTest::mouseClick(plot, Qt::LeftButton, {}, first);
    QTest::mouseMove(plot, second);
    QCOMPARE(plot->cursor(), plot->timeAt(first));
    QTest::keyClick(plot, Qt::Key_Escape);
    QTest::mouseMove(plot, second + QPoint(1, 0));
    QCOMPARE(plot->cursor(), plot->timeAt(second + QPoint(1, 0)));
}

void ViewerTest::filterNarrowsTheTree_data()
{
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QStringList>("shown"); // the signals left in sight
    QTest::newRow("part of signal names, any case")
        << "SPEED" << QStringList{"EngineSpeed",  "VehicleSpeed", "WheelSpeedFL",
                                  "WheelSpeedFR", "WheelSpeedRL", "WheelSpeedRR"};
    QTest::newRow("a message's name shows all its signals")
        << "brakes" << QStringList{"BrakePressure", "BrakePedal"};
    QTest::newRow("nothing of that name") << "xyz" << QStringList();
}

void ViewerTest::filterNarrowsTheTree()
{
    QFETCH(QString, filter);
    QFETCH(QStringList, shown);
    ViewerWindow window;
    QVERIFY(showExample(window, {}));
    window.signalTree()->setFilter(filter);
    const auto *tree = window.signalTree()->findChild<QTreeWidget *>();
    QStringList seen;
    for (int top = 0; top < tree->topLevelItemCount(); ++top) {
        const QTreeWidgetItem *message = tree->topLevelItem(top);
        for (int child = 0; child < message->childCount(); ++child)
            if (!message->isHidden() && !message->child(child)->isHidden())
                seen << message->child(child)->text(0);
    }
    QCOMPARE(seen, shown);
}

void ViewerTest::otherInputsOpen_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("database");
    QTest::addColumn<QString>("signal");
    QTest::addColumn<double>("seconds");
    QTest::addColumn<double>("value");
    QTest::addColumn<uint64_t>("frames");

    // The example's last EngineSpeed, as the .qvl gives it, through every way in.
    const auto last = frameValueAt("EngineSpeed", ~uint64_t(0));
    QVERIFY(last);
    QTest::newRow("candump log") << "run.log" << kCandb << "EngineSpeed" << 1e6 << last->second
                                 << uint64_t(34920);
    QTest::newRow("ASC log, DBC file") << "run.asc" << kExamples + "/vehicle.dbc"
                                       << "EngineSpeed" << 1e6 << last->second << uint64_t(34920);
    QTest::newRow("table") << "run.csv"
                           << ""
                           << "Speed" << 1.2 << 20.0 << uint64_t(3);
}

void ViewerTest::otherInputsOpen()
{
    QFETCH(QString, file);
    QFETCH(QString, database);
    QFETCH(QString, signal);
    QFETCH(double, seconds);
    QFETCH(double, value);
    QFETCH(uint64_t, frames);
    const QString filePath = path(file);
    if (file.endsWith(".csv")) {
        QVERIFY(writeFile(filePath, "time,Speed\n0.5,10\n1.0,20\n1.5,15\n"));
    } else {
        LogExportJob job{nativePath(kLog), nativePath(filePath),
                         file.endsWith(".log") ? LogTextFormat::Candump : LogTextFormat::Asc};
        job.channel = job.format == LogTextFormat::Candump ? "can0" : "1";
        QCOMPARE(exportLogText(job).outcome, ConversionOutcome::Finished);
    }
    ViewerWindow window;
    window.setQuiet(true);
    QVERIFY(openAndWait(window, {filePath, database}));
    QCOMPARE(window.openedFile()->frames, frames);
    QVERIFY(addAndWait(window, {signal}));
    const std::vector<CursorReading> readings = window.plot()->readout(seconds);
    QVERIFY(readings.at(0).sample);
    QCOMPARE(readings[0].sample->value, value);
}

void ViewerTest::exportWritesWhatIsShown()
{
    ViewerWindow window;
    QVERIFY(showExample(window, {}));
    QCOMPARE(window.plot()->exportImage(false), QByteArray());
    QVERIFY(addAndWait(window, {"VehicleSpeed", "GearSelected"}));
    QCOMPARE(QImage::fromData(window.plot()->exportImage(false)).size(), window.plot()->size());
    const QByteArray svg = window.plot()->exportImage(true);
    QVERIFY(svg.contains("VehicleSpeed") && svg.contains("GearSelected"));
}

// The name picked gets the format's extension when it lacks one.
void ViewerTest::exportAddsTheExtension()
{
    ViewerWindow window;
    QVERIFY(showExample(window, {"VehicleSpeed"}));
    QAction *exportPng = nullptr;
    for (QAction *action : window.findChildren<QAction *>())
        if (action->text() == "Export as &PNG...")
            exportPng = action;
    QVERIFY(exportPng);
    FileDialogResponder dialogs;
    dialogs.choose(path("shot"));
    exportPng->trigger();
    QCOMPARE(QImage(path("shot.png")).size(), window.plot()->size());
}

// Double-click and drops onto a band or beside the bands; removal keeps the others in place.
void ViewerTest::signalsComeAndGo()
{
    ViewerWindow window;
    QVERIFY(showExample(window, {"EngineSpeed"}));
    PlotView *plot = window.plot();
    QCOMPARE(names(window), QStringList({"EngineSpeed"}));

    drop(plot, draggedSignals(window, {"EngineTorque"}), plot->rect().center());
    QVERIFY(QTest::qWaitFor([&] { return !window.isBusy(); }, 20000));
    QCOMPARE(names(window), QStringList({"EngineSpeed+EngineTorque"}));

    // The left margin beside the bands holds only the value ticks: a drop there is a new band.
    drop(plot, draggedSignals(window, {"VehicleSpeed", "BrakePressure"}),
         QPoint(10, plot->height() / 2));
    QVERIFY(QTest::qWaitFor([&] { return !window.isBusy(); }, 20000));
    QCOMPARE(names(window),
             QStringList({"EngineSpeed+EngineTorque", "VehicleSpeed", "BrakePressure"}));

    window.addSignals({*window.openedFile()->catalog.indexOf("EngineSpeed")}, -1);
    QCOMPARE(window.isBusy(), false); // already plotted: nothing to read

    window.removeSignals({*window.openedFile()->catalog.indexOf("EngineSpeed"),
                          *window.openedFile()->catalog.indexOf("VehicleSpeed")});
    QCOMPARE(names(window), QStringList({"EngineTorque", "BrakePressure"}));
}

// A log dropped with its database opens; a database dropped alone reopens the log with it.
void ViewerTest::droppedFilesOpen()
{
    ViewerWindow window;
    window.setQuiet(true);
    QSignalSpy opened(&window, &ViewerWindow::opened);
    const auto dropFiles = [&window](const QStringList &paths) {
        QMimeData data;
        QList<QUrl> urls;
        for (const QString &file : paths)
            urls << QUrl::fromLocalFile(file);
        data.setUrls(urls);
        QDragEnterEvent enter({10, 10}, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&window, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent dropped({10, 10}, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&window, &dropped);
    };
    dropFiles({kCandb, kLog});
    QVERIFY(opened.wait(20000));
    QCOMPARE(window.openedFile()->request, (OpenRequest{kLog, kCandb}));
    const QString dbc = kExamples + "/vehicle.dbc";
    dropFiles({dbc});
    QVERIFY(opened.wait(20000));
    QCOMPARE(window.openedFile()->request, (OpenRequest{kLog, dbc}));
}

void ViewerTest::closingStopsThePass()
{
    // A pass that would never end unless told to stop.
    {
        BackgroundTask task;
        QSignalSpy finished(&task, &BackgroundTask::finished);
        std::atomic<bool> stoppedByProgress = false;
        task.start([&](const Progress &progress) {
            while (progress(1, 2))
                QThread::msleep(1);
            stoppedByProgress = true;
        });
        QVERIFY(task.isRunning());
        task.cancel();
        task.waitForStop();
        QVERIFY(stoppedByProgress);
        QCoreApplication::processEvents();
        QCOMPARE(finished.size(), 0);
    }
    // 64 MiB of frames: the window is closed while its first pass runs, and nothing opens.
    const QString big = path("big.qvl");
    {
        LogWriter writer;
        QVERIFY(writer.open(nativePath(big)));
        for (uint32_t frame = 0; frame < 4 * 1024 * 1024; ++frame)
            QVERIFY(writer.add({0xC0, false, frame * 100, {}}));
        QVERIFY(writer.commit());
    }
    auto *window = new ViewerWindow;
    window->setQuiet(true);
    QSignalSpy opened(window, &ViewerWindow::opened);
    window->open({big, kCandb});
    QVERIFY(window->isBusy());
    window->close();
    QVERIFY(!window->isBusy());
    delete window;
    QCoreApplication::processEvents();
    QCOMPARE(opened.size(), 0);
}

void ViewerTest::badInput_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("database");
    QTest::addColumn<QByteArray>("fileContent");
    QTest::addColumn<QByteArray>("databaseContent");
    QTest::addColumn<QString>("message"); // %1: the file, %2: the database

    const QByteArray log = readFile(kLog);
    const QByteArray candb = readFile(kCandb);
    QTest::newRow("no such log") << "missing.qvl"
                                 << "db.json" << QByteArray() << candb << "%1: no such file";
    QTest::newRow("a folder for a log")
        << "folder.qvl"
        << "db.json" << QByteArray() << candb << "%1: not a regular file";
    QTest::newRow("refused Candb")
        << "run.qvl"
        << "db.json" << log << QByteArray(R"({"messages": [{"id": 1, "signals": [{}]}]})")
        << "%2: Candb json not Valid\nmessage 1 (id 1): \"dlc\" is missing";
    QTest::newRow("refused DBC")
        << "run.qvl"
        << "db.dbc" << log << QByteArray("BO_ x\n")
        << "%2: Candb json not Valid\nline 1: expected a message identifier from 0 to "
           "4294967295, found 'x'";
    QTest::newRow("log without frames")
        << "empty.qvl"
        << "db.json" << QByteArray() << candb << "%1: the log holds no frames";
    QTest::newRow("not a log")
        << "run.bin"
        << "" << log << QByteArray()
        << "%1: not a log or a table the viewer reads: a logger's .qvl, a candump .log, an ASC "
           ".asc or a decoded .csv file";
    QTest::newRow("table with a bad line")
        << "table.csv"
        << "" << QByteArray("time,a\n0,1\n0.5,x\n") << QByteArray()
        << "%1: line 3: \"x\" in column a is not a number";
}

// Each fault is told in a box naming the file; the viewer then opens the example as before.
void ViewerTest::badInput()
{
    QFETCH(QString, file);
    QFETCH(QString, database);
    QFETCH(QByteArray, fileContent);
    QFETCH(QByteArray, databaseContent);
    QFETCH(QString, message);
    const QString filePath = path(file);
    const QString databasePath = database.isEmpty() ? QString() : path(database);
    if (file.startsWith("folder"))
        QVERIFY(QDir().mkpath(filePath));
    else if (!file.startsWith("missing"))
        QVERIFY(writeFile(filePath, fileContent));
    if (!database.isEmpty())
        QVERIFY(writeFile(databasePath, databaseContent));

    ViewerWindow window;
    MessageBoxRecorder boxes;
    QVERIFY(!openAndWait(window, {filePath, databasePath}));
    QCOMPARE(boxes.texts(),
             QStringList(QString(message).replace("%1", filePath).replace("%2", databasePath)));
    QCOMPARE(boxes.messages().first().title, QString("Quorvane Viewer"));
    QCOMPARE(readFile(filePath), fileContent);

    QVERIFY(openAndWait(window, {kLog, kCandb}));
    QVERIFY(addAndWait(window, {"EngineSpeed"}));
    QCOMPARE(names(window), QStringList({"EngineSpeed"}));
}

// A card that lost power while writing opens; its blank tail is told once, naming the file.
void ViewerTest::blankTailIsTold()
{
    const QString card = path("card.qvl");
    QVERIFY(writeFile(card, readFile(kLog) + QByteArray(4096 * 16, '\xFF')));
    ViewerWindow window;
    MessageBoxRecorder boxes;
    QVERIFY(openAndWait(window, {card, kCandb}));
    QCOMPARE(boxes.texts(), QStringList(card + ": the log ends in 4096 blank records (all bytes "
                                               "0x00 or 0xFF), as a card that lost power while "
                                               "writing does"));
    QVERIFY(addAndWait(window, {"EngineSpeed"}));
}

void ViewerTest::grab_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QString>("error");

    const QStringList example{kLog, "--candb", kCandb};
    QTest::newRow("three bands") << QUORVANE_VIEW_PATH
                                 << example +
                                        QStringList{
                                            "--signals", "EngineSpeed,VehicleSpeed,GearSelected",
                                            "--range",   "10:40",
                                            "--size",    "1000x700"}
                                 << QSize(1000, 700) << QString();
    QTest::newRow("through quorvane-cli view, a DBC file")
        << QUORVANE_CLI_PATH << QStringList{"view",      kLog,
                                            "--candb",   kExamples + "/vehicle.dbc",
                                            "--signals", "BatteryVoltage",
                                            "--size",    "640x480"}
        << QSize(640, 480) << QString();
    QTest::newRow("unknown signal")
        << QUORVANE_VIEW_PATH << example + QStringList{"--signals", "Nope"} << QSize()
        << "quorvane-view: " + kLog + ": no signal 'Nope'\n";
    QTest::newRow("log without database")
        << QUORVANE_VIEW_PATH << QStringList{kLog} << QSize()
        << "quorvane-view: " + kLog + ": a log needs its signal database: --candb DB\n";
}

void ViewerTest::grab()
{
    QFETCH(QString, program);
    QFETCH(QStringList, arguments);
    QFETCH(QSize, size);
    QFETCH(QString, error);
    const QString image = path("grab.png");
    QFile::remove(image);
    QProcess process;
    process.start(program, arguments + QStringList{"--grab", image});
    QVERIFY(process.waitForFinished(60000));
    QCOMPARE(QString::fromLocal8Bit(process.readAllStandardError()), error);
    QCOMPARE(process.exitCode(), error.isEmpty() ? 0 : 1);
    if (!error.isEmpty()) {
        QVERIFY(!QFile::exists(image));
        return;
    }
    const QImage grabbed(image);
    QCOMPARE(grabbed.size(), size);
    int coloured = 0;
    for (int y = 0; y < grabbed.height(); ++y)
        for (int x = 0; x < grabbed.width(); ++x)
            coloured += QColor(grabbed.pixel(x, y)).hsvSaturation() > 100;
    QVERIFY2(coloured > 500, qPrintable(QString::number(coloured)));
}

QTEST_MAIN(ViewerTest)
#include "tst_viewer.moc"
