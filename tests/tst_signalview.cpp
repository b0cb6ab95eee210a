#include "database/candb.h"
#include "database/signalcodec.h"
#include "log/logfile.h"
#include "log/logsummary.h"
#include "plot/seriesindex.h"
#include "plot/signalseries.h"
#include "plot/timewindow.h"
#include "testfiles.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <fstream>
#include <map>
#include <optional>
#include <sstream>

// What a viewer of logs and tables stands on: signals extracted from a log, read out at a time,
// reduced to pixel columns at any zoom, and the visible window's moves.
class SignalViewTest : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir;

private slots:
    void readoutIsTheFrame_data();
    void readoutIsTheFrame();
    void pyramidReducesAsPlotReduction_data();
    void pyramidReducesAsPlotReduction();
    void zoomKeepsThePointer_data();
    void zoomKeepsThePointer();
    void windowStaysInTheData_data();
    void windowStaysInTheData();
    void stretchesAddUpAcrossThreads_data();
    void stretchesAddUpAcrossThreads();
    void framesOutOfOrderAreSorted();
    void cancelStopsThePass();
    void tableColumnsShareTheTimes();
};

namespace {

const std::string kExampleLog = QUORVANE_EXAMPLES_DIR "/vehicle.qvl";

Candb exampleCandb()
{
    std::ifstream in(QUORVANE_EXAMPLES_DIR "/vehicle.json");
    return readCandb(in);
}

std::optional<SignalChoice> choiceNamed(const Candb &candb, const std::string &name)
{
    for (size_t m = 0; m < candb.messages.size(); ++m) {
        for (size_t s = 0; s < candb.messages[m].signalList.size(); ++s) {
            if (candb.messages[m].signalList[s].name == name)
                return SignalChoice{m, s};
        }
    }
    return std::nullopt;
}

// The signal's frames in file order, each decoded by walking its bytes one by one.
std::vector<Sample> framesByByteWalk(const std::string &path, const Signal &sig)
{
    std::vector<Sample> frames;
    LogReader reader;
    reader.open(path);
    StampUnwrapper unwrap;
    CAN_FIFOMailBox_TypeDef record;
    while (reader.read(&record, 1) == 1) {
        const uint64_t time = unwrap(record.RDTR);
        const Log frame = decodeMailbox(record);
        if (frame.ID == sig.ID) {
            const int64_t raw = extractRaw(frame.Data, frameByteCount(sig), sig);
            frames.push_back({time, physicalValue(sig, raw)});
        }
    }
    return frames;
}

// The frame a readout at `micros` must show: the latest at or before it, the later of two
// frames of one time.
std::optional<Sample> latestFrame(const std::vector<Sample> &frames, uint64_t micros)
{
    std::optional<Sample> latest;
    for (const Sample &frame : frames) {
        if (frame.micros <= micros && (!latest || frame.micros >= latest->micros))
            latest = frame;
    }
    return latest;
}

} // namespace

void SignalViewTest::readoutIsTheFrame_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("little-endian, 16 bits") << "EngineSpeed";
    QTest::newRow("little-endian, signed 12 bits") << "EngineTorque";
    QTest::newRow("big-endian") << "VehicleSpeed";
    QTest::newRow("big-endian, signed") << "LongAccel";
    QTest::newRow("extended identifier, signed 32 bits") << "Latitude";
    QTest::newRow("big-endian, across bytes of a 4-byte message") << "AmbientTemp";
    QTest::newRow("one bit of a 1-byte message") << "SeatbeltDriver";
}

// Every frame's value equals the byte walk's, and a readout anywhere shows the latest frame.
void SignalViewTest::readoutIsTheFrame()
{
    QFETCH(QString, name);
    const Candb candb = exampleCandb();
    QVERIFY(candb.ok());
    const std::optional<SignalChoice> choice = choiceNamed(candb, name.toStdString());
    QVERIFY(choice);
    const Signal &sig = candb.messages[choice->message].signalList[choice->signal];
    const std::vector<Sample> frames = framesByByteWalk(kExampleLog, sig);
    QVERIFY(frames.size() > 10);

    std::string error;
    const std::vector<SignalSeries> series =
        extractSignals(kExampleLog, candb, {*choice}, Progress(), &error);
    QCOMPARE(error, std::string());
    QCOMPARE(series.size(), size_t(1));
    const SignalSeries &extracted = series.front();
    QCOMPARE(extracted.size(), frames.size());
    for (size_t i = 0; i < frames.size(); ++i) {
        QCOMPARE(extracted.micros(i), frames[i].micros);
        QCOMPARE(extracted.values[i], frames[i].value);
    }

    QVERIFY(!sampleAt(extracted, SignalSeries::toSeconds(frames.front().micros) - 1e-6));
    // At each of some frames, a microsecond before it and halfway to the next.
    for (size_t i = 0; i + 1 < frames.size(); i += frames.size() / 7) {
        for (const uint64_t micros : {frames[i].micros, frames[i].micros - 1,
                                      (frames[i].micros + frames[i + 1].micros) / 2}) {
            const std::optional<Sample> shown =
                sampleAt(extracted, SignalSeries::toSeconds(micros));
            const std::optional<Sample> expected = latestFrame(frames, micros);
            QCOMPARE(bool(shown), bool(expected));
            if (expected) {
                QCOMPARE(shown->micros, expected->micros);
                QCOMPARE(shown->value, expected->value);
            }
        }
    }
    const std::optional<Sample> end = sampleAt(extracted, 1e6);
    QVERIFY(end);
    QCOMPARE(end->value, frames.back().value);
}

namespace {

enum class Shape
{
    Noise,      // a new value at every frame
    Steps,      // long holds, now and then a one-frame spike
    SharedTime, // runs of frames with one time
    Gaps,       // now and then nothing for five hours, longer than the stamps take to wrap
};

SignalSeries randomSeries(QRandomGenerator &random, size_t count, Shape shape)
{
    auto times = std::make_shared<SeriesTimes>();
    SignalSeries series;
    // From a little before 2^32 us on, so that the times' high bits change early in the series.
    uint64_t micros = 4294000000u + random.bounded(1000000);
    double level = 0;
    for (size_t i = 0; i < count; ++i) {
        if (shape == Shape::Gaps && random.bounded(2000) == 0)
            micros += uint64_t(5) * 3600 * 1000000;
        micros += shape == Shape::SharedTime && random.bounded(3) ? 0 : 1 + random.bounded(20000);
        times->push_back(micros);
        if (shape == Shape::Noise || shape == Shape::Gaps)
            level = random.bounded(2000) - 1000;
        else if (random.bounded(50) == 0)
            level = random.bounded(100);
        series.values.push_back(random.bounded(1000) == 0 ? 1e6 : level);
    }
    series.times = times;
    return series;
}

// The same series through the table's reduction, row by row.
std::vector<PixelSpan> reducedRowByRow(const SignalSeries &series, double from, double to,
                                       int pixels)
{
    PlotReduction reduction({0}, {from, to}, pixels);
    bool inRange = true;
    for (size_t i = 0; i < series.size() && inRange; ++i)
        inRange = reduction.add(series.seconds(i), &series.values[i]);
    reduction.finish(!inRange);
    return reduction.spans().front();
}

bool sameSpan(const PixelSpan &a, const PixelSpan &b)
{
    return a.empty() == b.empty() && (a.empty() || (a.min == b.min && a.max == b.max &&
                                                    a.first == b.first && a.last == b.last));
}

} // namespace

Q_DECLARE_METATYPE(Shape)

void SignalViewTest::pyramidReducesAsPlotReduction_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<Shape>("shape");
    QTest::newRow("no frames") << 0 << Shape::Noise;
    QTest::newRow("one frame") << 1 << Shape::Noise;
    QTest::newRow("less than a block") << 31 << Shape::Noise;
    QTest::newRow("a block and one") << 33 << Shape::Steps;
    QTest::newRow("noise over many levels") << 300000 << Shape::Noise;
    QTest::newRow("holds and spikes over many levels") << 300000 << Shape::Steps;
    QTest::newRow("runs of one time") << 20000 << Shape::SharedTime;
    QTest::newRow("gaps of hours") << 20000 << Shape::Gaps;
}

// At every zoom from beyond the whole series to less than a frame, random windows and widths.
void SignalViewTest::pyramidReducesAsPlotReduction()
{
    QFETCH(int, count);
    QFETCH(Shape, shape);
    const quint32 seed = 22;
    qInfo("random seed %u", seed);
    QRandomGenerator random(seed);
    const SignalSeries series = randomSeries(random, size_t(count), shape);
    const SeriesIndex index(series);
    const double first = count ? series.seconds(0) : 0;
    const double length = count ? series.seconds(series.size() - 1) - first + 1 : 1;
    std::vector<PixelSpan> spans;
    for (double span = 2 * length; span > 1e-5; span /= 3) {
        for (int window = 0; window < 4; ++window) {
            const double from = first - span / 2 + random.generateDouble() * (length + span / 2);
            const int pixels = window == 0 ? 1 : 1 + int(random.bounded(1600));
            index.reduce(series, from, from + span, pixels, spans);
            const std::vector<PixelSpan> expected =
                reducedRowByRow(series, from, from + span, pixels);
            QCOMPARE(spans.size(), expected.size());
            for (size_t column = 0; column < spans.size(); ++column) {
                if (!sameSpan(spans[column], expected[column]))
                    QFAIL(qPrintable(QString("window %1 s + %2 s, %3 pixels: column %4 differs")
                                         .arg(from, 0, 'f', 6)
                                         .arg(span)
                                         .arg(pixels)
                                         .arg(column)));
            }
        }
    }
}

void SignalViewTest::zoomKeepsThePointer_data()
{
    QTest::addColumn<double>("pointer");
    QTest::addColumn<double>("factor");
    QTest::newRow("zoom in at the middle") << 150.0 << 0.5;
    QTest::newRow("zoom in near the left edge") << 101.0 << 0.1;
    QTest::newRow("zoom out near the right edge") << 199.0 << 1.5;
    QTest::newRow("deep zoom at a fractional time") << 123.456789 << 1e-6;
}

void SignalViewTest::zoomKeepsThePointer()
{
    QFETCH(double, pointer);
    QFETCH(double, factor);
    TimeWindow window{100, 200};
    const double fraction = window.fractionOf(pointer);
    window.zoomAround(pointer, factor, {0, 1000});
    QVERIFY(qAbs(window.fractionOf(pointer) - fraction) < 1e-6);
    QVERIFY(qAbs(window.span() - std::max(100 * factor, TimeWindow::kSmallestSpan)) < 1e-9);
}

void SignalViewTest::windowStaysInTheData_data()
{
    QTest::addColumn<double>("from");
    QTest::addColumn<double>("to");
    QTest::addColumn<double>("panBy");
    QTest::addColumn<double>("zoomBy");
    QTest::addColumn<double>("wantedFrom");
    QTest::addColumn<double>("wantedTo");
    // The data lie from 10 s to 20 s.
    QTest::newRow("pan past the end stops at it") << 15.0 << 17.0 << 5.0 << 1.0 << 18.0 << 20.0;
    QTest::newRow("pan before the start stops at it")
        << 11.0 << 13.0 << -1.0 << 1.0 << 10.0 << 12.0;
    QTest::newRow("zoom out past the data shows them all")
        << 12.0 << 18.0 << 0.0 << 4.0 << 10.0 << 20.0;
    QTest::newRow("zoom in stops at the smallest span")
        << 15.0 << 15.00002 << 0.0 << 1e-3 << 15.000005 << 15.000015;
}

void SignalViewTest::windowStaysInTheData()
{
    QFETCH(double, from);
    QFETCH(double, to);
    QFETCH(double, panBy);
    QFETCH(double, zoomBy);
    QFETCH(double, wantedFrom);
    QFETCH(double, wantedTo);
    const TimeRange data{10, 20};
    TimeWindow window{from, to};
    window.pan(panBy, data);
    window.zoomAround(window.secondsAt(0.5), zoomBy, data);
    QVERIFY2(qAbs(window.from - wantedFrom) < 1e-9 && qAbs(window.to - wantedTo) < 1e-9,
             qPrintable(QString("%1 to %2").arg(window.from, 0, 'f', 9).arg(window.to, 0, 'f', 9)));
}

namespace {

// A log of frames of one standard and `extended` extended identifiers, stamped 2.5 ms apart and
// wrapping as the logger's do, but for a jump from `before` to `at` at record `boundary`; it ends
// in `blank` blank records. Every other standard frame's identifier word carries `noise`: request
// bits, or extended-identifier bits that a standard frame leaves unused.
QByteArray recordsAcrossStretches(size_t count, size_t boundary, uint32_t before, uint32_t at,
                                  size_t blank, uint32_t noise, uint32_t extended)
{
    QByteArray bytes(int(count * kLogRecordSize), 0);
    uint32_t stamp = 0;
    for (size_t i = 0; i + blank < count; ++i) {
        stamp = i + 1 == boundary ? before : i == boundary ? at : stamp + 2500;
        LogFrame frame;
        frame.time = stamp;
        frame.extended = i % 3 != 0;
        frame.id = frame.extended ? 0x18FEF100 + uint32_t(i % extended) : 0x123;
        std::array<uint8_t, kLogRecordSize> record = encodeRecord(frame);
        if (!frame.extended && i % 2 == 0) {
            for (int byte = 0; byte < 4; ++byte)
                record[size_t(byte)] |= uint8_t(noise >> (8 * byte));
        }
        std::copy(record.begin(), record.end(), bytes.begin() + qsizetype(i * kLogRecordSize));
    }
    return bytes;
}

// 40 MB: read in two stretches on two cores.
constexpr int kStretchesRecords = 2500000;

} // namespace

void SignalViewTest::stretchesAddUpAcrossThreads_data()
{
    QTest::addColumn<int>("boundary");
    QTest::addColumn<uint>("before");
    QTest::addColumn<uint>("at");
    QTest::addColumn<int>("blank");
    QTest::addColumn<uint>("noise");
    QTest::addColumn<uint>("extended");
    const int middle = kStretchesRecords / 2; // where the second stretch begins
    QTest::newRow("a wrap where the second stretch begins")
        << middle << 0xFFFFFF00u << 0x10u << 0 << 0u << 2u;
    QTest::newRow("a step back where the second stretch begins")
        << middle << 0x90000000u << 0x80000000u << 0 << 0u << 2u;
    QTest::newRow("a step back near the end, never made up")
        << kStretchesRecords - 9 << 0xF0000000u << 0x70000001u << 0 << 0u << 2u;
    QTest::newRow("a step forward of half the counter")
        << middle << 0x10u << 0x80000100u << 0 << 0u << 2u;
    QTest::newRow("a blank tail within the second stretch")
        << middle << 0x10u << 0x20u << 70000 << 0u << 2u;
    QTest::newRow("a blank tail longer than the second stretch")
        << middle << 0x10u << 0x20u << 1300000 << 0u << 2u;
    QTest::newRow("remote requests among data frames") << middle << 0x10u << 0x20u << 0 << 3u << 2u;
    QTest::newRow("unused identifier bits in standard frames")
        << middle << 0x10u << 0x20u << 0 << 0x001FFFF8u << 2u;
    QTest::newRow("thousands of identifiers") << middle << 0x10u << 0x20u << 0 << 0u << 6000u;
}

// Read on several threads when the machine has them, the summary is that of one pass.
void SignalViewTest::stretchesAddUpAcrossThreads()
{
    QFETCH(int, boundary);
    QFETCH(uint, before);
    QFETCH(uint, at);
    QFETCH(int, blank);
    QFETCH(uint, noise);
    QFETCH(uint, extended);
    const size_t count = kStretchesRecords;
    const QString file = dir.filePath("stretches.qvl");
    const std::string path = nativePath(file);
    QVERIFY(writeFile(file, recordsAcrossStretches(count, size_t(boundary), before, at,
                                                   size_t(blank), noise, extended)));

    uint64_t outOfOrder = 0, previous = 0, earliest = UINT64_MAX, latest = 0;
    uint64_t records = 0;
    std::map<uint32_t, LogSummary::Identifier> expected;
    StampUnwrapper unwrap;
    LogReader reader;
    QVERIFY(reader.open(path));
    CAN_FIFOMailBox_TypeDef record;
    while (reader.read(&record, 1) == 1) {
        const uint64_t time = unwrap(record.RDTR);
        outOfOrder += time < previous;
        previous = time;
        if (++records + size_t(blank) <= count) {
            earliest = std::min(earliest, time);
            latest = std::max(latest, time);
        }
        LogSummary::Identifier &identifier = expected[mailboxId(record)];
        if (identifier.frames++ == 0)
            identifier.firstTime = time;
        identifier.lastTime = time;
    }

    const std::optional<LogSummary> summary = summarizeLog(path);
    QVERIFY(summary);
    QCOMPARE(summary->records, uint64_t(count));
    QCOMPARE(summary->wraps, unwrap.wraps());
    QCOMPARE(summary->outOfOrder, outOfOrder);
    QCOMPARE(summary->blankTail, uint64_t(blank));
    QCOMPARE(summary->firstTime, earliest);
    QCOMPARE(summary->lastTime, latest);
    QCOMPARE(summary->identifiers.size(), expected.size());
    for (const LogSummary::Identifier &identifier : summary->identifiers) {
        const LogSummary::Identifier &wanted = expected[identifier.id];
        QCOMPARE(identifier.frames, wanted.frames);
        QCOMPARE(identifier.firstTime, wanted.firstTime);
        QCOMPARE(identifier.lastTime, wanted.lastTime);
    }
}

// Two buses' frames may reach the log out of order: the series runs in time order, frames of one
// time in file order, and the readout shows the latest.
void SignalViewTest::framesOutOfOrderAreSorted()
{
    std::istringstream json(R"({"messages": [{"id": 291, "dlc": 2, "signals": [{"name": "Speed",
        "startbit": 0, "bitlength": 16, "scaling": 1, "offset": 0, "signed": false,
        "endianess": true}]}]})");
    const Candb candb = readCandb(json);
    QVERIFY(candb.ok());
    std::vector<LogFrame> frames;
    const uint32_t times[] = {100, 300, 200, 200, 400};
    for (uint8_t i = 0; i < 5; ++i)
        frames.push_back({0x123, false, times[i], {uint8_t(i + 1)}});
    const std::string path = nativePath(dir.filePath("unordered.qvl"));
    QVERIFY(writeLogFile(path, frames));

    std::string error;
    const std::vector<SignalSeries> series =
        extractSignals(path, candb, {{0, 0}}, Progress(), &error);
    QCOMPARE(error, std::string());
    QCOMPARE(series.front().values, (std::vector<double>{1, 3, 4, 2, 5}));
    QCOMPARE(series.front().micros(2), uint64_t(200));
    QCOMPARE(series.front().micros(3), uint64_t(300));
    const std::optional<Sample> shown = sampleAt(series.front(), 250e-6);
    QVERIFY(shown);
    QCOMPARE(shown->value, 4.0);
}

void SignalViewTest::cancelStopsThePass()
{
    const Progress stop = [](uint64_t, uint64_t) { return false; };
    const std::string log = nativePath(dir.filePath("several batches.qvl"));
    QVERIFY(writeLogFile(log, std::vector<LogFrame>(300000, LogFrame{0x123, false, 0, {}})));
    const std::optional<LogSummary> summary = summarizeLog(log, stop);
    QVERIFY(summary && summary->cancelled && !summary->readFailed);
    QVERIFY(summary->records < summary->fileSize / kLogRecordSize);

    std::string error = "not cleared";
    QVERIFY(extractSignals(kExampleLog, exampleCandb(), {{0, 0}}, stop, &error).empty());
    QCOMPARE(error, std::string());

    const QString table = dir.filePath("cancelled.csv");
    QVERIFY(writeFile(table, "time,a\n0.1,1\n0.2,2\n"));
    error = "not cleared";
    QVERIFY(readTableSeries(nativePath(table), {0}, stop, &error).empty());
    QCOMPARE(error, std::string());
}

void SignalViewTest::tableColumnsShareTheTimes()
{
    const QString path = dir.filePath("table.csv");
    QVERIFY(writeFile(path, "time,a,b\n0.120000,4.000000,200.5\n0.230000,-7,300\n"));
    std::string error;
    const std::vector<SignalSeries> series =
        readTableSeries(nativePath(path), {1, 0}, Progress(), &error);
    QCOMPARE(error, std::string());
    QCOMPARE(series.size(), size_t(2));
    QCOMPARE(series[0].times, series[1].times);
    QCOMPARE(series[0].micros(1), uint64_t(230000));
    QCOMPARE(series[0].values, (std::vector<double>{200.5, 300}));
    QCOMPARE(series[1].values, (std::vector<double>{4, -7}));

    QVERIFY(writeFile(path, "time,a\n0.1,1\n-0.5,2\n"));
    QVERIFY(readTableSeries(nativePath(path), {0}, Progress(), &error).empty());
    QCOMPARE(error, std::string("line 3: the time -0.5 goes back from the line before"));
    QVERIFY(writeFile(path, "time,a\n-0.1,1\n"));
    QVERIFY(readTableSeries(nativePath(path), {0}, Progress(), &error).empty());
    QCOMPARE(error, std::string("line 2: the time -0.1 lies outside 0 to 1000000000 s"));
}

QTEST_GUILESS_MAIN(SignalViewTest)
#include "tst_signalview.moc"
