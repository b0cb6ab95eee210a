#include "conversion/conversion.h"
#include "decodertesting.h"
#include "testfiles.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <clocale>
#include <fstream>
#include <memory>
#include <unistd.h>

// The conversion engine on its own: tables, rows, time, smart mode and the ways a run can fail.
class ConversionTest : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir;
    QString logPath() const { return dir.filePath("run.qvl"); }
    QString outputPath() const { return dir.filePath("out.csv"); }

    ConversionJob job(uint32_t periodMicros, bool smart = false) const
    {
        return ConversionJob{nativePath(logPath()), nativePath(outputPath()), periodMicros, smart};
    }
    void writeLog(const Frames &frames) const
    {
        QVERIFY(writeLogFile(nativePath(logPath()), frames));
    }
    // Converts `frames` and gives the table written.
    QByteArray convert(const char *candbText, const Frames &frames, uint32_t periodMicros,
                       bool smart = false)
    {
        writeLog(frames);
        const Candb candb = candbFromText(candbText);
        if (!candb.ok())
            qWarning("Candb refused: %s", candb.error.c_str());
        const ConversionSummary summary = convertLog(candb, job(periodMicros, smart));
        if (summary.outcome != ConversionOutcome::Finished)
            qWarning("conversion ended with outcome %d", int(summary.outcome));
        return readFile(outputPath());
    }

private slots:
    void init() { QVERIFY(dir.isValid()); }
    void cleanup() { QFile::remove(outputPath()); }

    void tables_data();
    void tables();
    void smartKeepsMessagesSeenLate();
    void existingOutputIsReplaced();
    void progressFollowsTheRecordsRead();
    void eventsAtMostEvery20msAndAfterTheLastRow();
    void eventsBetweenRows();
    void eventsDuringThePrescan();
    void sameBytesUnderAGermanLocale();
    void exampleConverts();

    void logThatIsAFolderCreatesNothing();
    void outputThatCannotBeCreated();
    void outputThatIsTheLog_data();
    void outputThatIsTheLog();
    void fullDevice();
    void outputDeviceFillsWhileConverting();
    void logEndsEarlyWhileConverting();
    void logReadErrorWhileConverting();
    void logCutShortOnDisk();
};

namespace {

const char *const kTwoMessages = R"({"messages": [
    {"id": 256, "dlc": 8, "signals": [
        {"name": "abc", "startbit": 0, "bitlength": 8, "scaling": 1, "offset": 0, "signed": false,
         "endianess": true},
        {"name": "Zeta", "startbit": 8, "bitlength": 8, "scaling": 1, "offset": 0, "signed": true,
         "endianess": true}]},
    {"id": 2147484208, "dlc": 8, "signals": [
        {"name": "Ext", "startbit": 7, "bitlength": 8, "scaling": 0.5, "offset": -10,
         "signed": false}]}]})";

const char *const kSharedNames = R"({"messages": [
    {"id": 1, "dlc": 2, "signals": [
        {"name": "Both", "startbit": 0, "bitlength": 8, "scaling": 1, "offset": 0, "signed": false,
         "endianess": true},
        {"name": "Both", "startbit": 8, "bitlength": 8, "scaling": 1, "offset": 0, "signed": false,
         "endianess": true}]},
    {"id": 2, "dlc": 1, "signals": [
        {"name": "Both", "startbit": 0, "bitlength": 8, "scaling": 10, "offset": 0,
         "signed": false, "endianess": true}]}]})";

// N is -raw - 0.0 in message 1, so raw 0 gives -0.0, and raw + 0 in message 2.
const char *const kSignedZeros = R"({"messages": [
    {"id": 1, "dlc": 1, "signals": [
        {"name": "N", "startbit": 0, "bitlength": 8, "scaling": -1, "offset": -0.0,
         "signed": false, "endianess": true}]},
    {"id": 2, "dlc": 1, "signals": [
        {"name": "N", "startbit": 0, "bitlength": 8, "scaling": 1, "offset": 0, "signed": false,
         "endianess": true}]}]})";

const char *const kDuplicateId = R"({"messages": [
    {"id": 5, "dlc": 1, "signals": [
        {"name": "First", "startbit": 0, "bitlength": 8, "scaling": 1, "offset": 0,
         "signed": false, "endianess": true}]},
    {"id": 5, "dlc": 1, "signals": [
        {"name": "First", "startbit": 0, "bitlength": 4, "scaling": 100, "offset": 0,
         "signed": false, "endianess": true},
        {"name": "Later", "startbit": 0, "bitlength": 8, "scaling": 1, "offset": 0,
         "signed": false, "endianess": true}]}]})";

const char *const kOneByte = R"({"messages": [
    {"id": 7, "dlc": 1, "signals": [
        {"name": "B", "startbit": 0, "bitlength": 8, "scaling": 1, "offset": 0, "signed": false,
         "endianess": true}]},
    {"id": 8, "dlc": 1, "signals": [
        {"name": "Never", "startbit": 0, "bitlength": 8, "scaling": 1, "offset": 0,
         "signed": false, "endianess": true}]}]})";

} // namespace

void ConversionTest::tables_data()
{
    QTest::addColumn<QString>("candb");
    QTest::addColumn<Frames>("frames");
    QTest::addColumn<uint>("period");
    QTest::addColumn<bool>("smart");
    QTest::addColumn<QString>("table");

    QTest::newRow("the worked example at 10 Hz")
        << kSpeedGearCandb << speedGearFrames() << 100000u << false
        << "time,Gear,Speed\n0.120000,4.000000,200.000000\n0.230000,7.000000,300.000000\n";
    QTest::newRow("upper-case names sort first; extended and standard ids apart")
        << kTwoMessages
        << Frames{standardFrame(256, 1000, {3, 0xFE}), standardFrame(0x230, 1500, {40}),
                  extendedFrame(0x230, 2000, {40})}
        << 1000u << false
        << "time,Ext,Zeta,abc\n0.001000,0.000000,-2.000000,3.000000\n"
           "0.002000,10.000000,-2.000000,3.000000\n";
    QTest::newRow("a shared column shows the value decoded last")
        << kSharedNames
        << Frames{standardFrame(1, 10, {1, 2}), standardFrame(2, 20, {3}),
                  standardFrame(1, 30, {4, 5})}
        << 10u << false << "time,Both\n0.000010,2.000000\n0.000020,30.000000\n0.000030,5.000000\n";
    QTest::newRow("between rows, the latest frame of the messages sharing a column wins")
        << kSharedNames << Frames{standardFrame(1, 1, {1, 2}), standardFrame(2, 2, {3}),
                                  standardFrame(1, 3, {4, 5}), standardFrame(0x7FF, 10),
                                  standardFrame(2, 11, {6}),   standardFrame(1, 12, {7, 8}),
                                  standardFrame(2, 13, {9}),   standardFrame(0x7FF, 20)}
        << 10u << false << "time,Both\n0.000010,5.000000\n0.000020,90.000000\n";
    QTest::newRow("zero and negative zero apart; a value changed and changed back")
        << kSignedZeros
        << Frames{standardFrame(2, 5, {7}),  standardFrame(2, 10, {0}), standardFrame(1, 20, {0}),
                  standardFrame(2, 30, {0}), standardFrame(2, 40, {0}), standardFrame(1, 50, {3})}
        << 10u << false
        << "time,N\n0.000010,0.000000\n0.000020,-0.000000\n0.000030,0.000000\n"
           "0.000040,0.000000\n0.000050,-3.000000\n";
    QTest::newRow("only the first definition of an id decodes; later names stay 0")
        << kDuplicateId << Frames{standardFrame(5, 100, {0xAB})} << 100u << false
        << "time,First,Later\n0.000100,171.000000,0.000000\n";
    QTest::newRow("frames that never reach a period give the header only")
        << kOneByte << Frames{standardFrame(7, 0, {1}), standardFrame(7, 99999, {2})} << 100000u
        << false << "time,B,Never\n";
    QTest::newRow("unknown frames advance time and repeat the held values")
        << kOneByte
        << Frames{standardFrame(7, 5, {9}), standardFrame(0x7FF, 10), standardFrame(7, 15, {8}),
                  standardFrame(0x100, 20, {1})}
        << 10u << false << "time,B,Never\n0.000010,9.000000,0.000000\n0.000020,8.000000,0.000000\n";
    QTest::newRow("time exact to the microsecond")
        << kOneByte
        << Frames{standardFrame(7, 100000001, {1}), standardFrame(7, 123456789, {2}),
                  standardFrame(7, 123456790, {3}), standardFrame(7, 123456792, {4})}
        << 2u << false
        << "time,B,Never\n100.000001,1.000000,0.000000\n123.456789,2.000000,0.000000\n"
           "123.456792,4.000000,0.000000\n";
    QTest::newRow("rows fall due exactly late in a long log")
        << kOneByte
        << Frames{standardFrame(7, 4000000000u, {1}), standardFrame(7, 4000000002u, {2}),
                  standardFrame(7, 4000000003u, {3})}
        << 3u << false
        << "time,B,Never\n4000.000000,1.000000,0.000000\n4000.000003,3.000000,0.000000\n";
    QTest::newRow("a wrapped time stamp runs on past 4294.967295 s")
        << kOneByte
        << Frames{standardFrame(7, 4294967000u, {1}), standardFrame(7, 100, {2}),
                  standardFrame(7, 200000, {3}), standardFrame(7, 400000, {4})}
        << 100000u << false
        << "time,B,Never\n4294.967000,1.000000,0.000000\n4295.167296,3.000000,0.000000\n"
           "4295.367296,4.000000,0.000000\n";
    QTest::newRow("a small step back writes no row until time catches up")
        << kOneByte
        << Frames{standardFrame(7, 5000000, {1}), standardFrame(7, 4000000, {2}),
                  standardFrame(7, 5050000, {3}), standardFrame(7, 5100000, {4})}
        << 100000u << false
        << "time,B,Never\n5.000000,1.000000,0.000000\n5.100000,4.000000,0.000000\n";
    QTest::newRow("a first frame past one period writes a row at once")
        << kTwoMessages << Frames{extendedFrame(0x230, 50000, {4})} << 1000u << false
        << "time,Ext,Zeta,abc\n0.050000,-8.000000,0.000000,0.000000\n";
    QTest::newRow("no closing row")
        << kOneByte << Frames{standardFrame(7, 10, {1}), standardFrame(7, 11, {2})} << 10u << false
        << "time,B,Never\n0.000010,1.000000,0.000000\n";
    QTest::newRow("smart: a message absent from the log has no columns")
        << kOneByte << Frames{standardFrame(7, 10, {1})} << 10u << true
        << "time,B\n0.000010,1.000000\n";
    QTest::newRow("smart: an empty log gives the header time alone")
        << kOneByte << Frames{} << 10u << true << "time\n";
    QTest::newRow("smart: a name of a message seen keeps its column")
        << kSharedNames << Frames{standardFrame(2, 10, {3})} << 10u << true
        << "time,Both\n0.000010,30.000000\n";
}

void ConversionTest::tables()
{
    QFETCH(QString, candb);
    QFETCH(Frames, frames);
    QFETCH(uint, period);
    QFETCH(bool, smart);
    QFETCH(QString, table);
    QCOMPARE(convert(candb.toUtf8().constData(), frames, period, smart), table.toUtf8());
}

void ConversionTest::smartKeepsMessagesSeenLate()
{
    Frames frames;
    for (uint32_t i = 0; i < 5000; ++i)
        frames.push_back(standardFrame(0x300, i * 1000));
    frames.push_back(standardFrame(8, 5000000, {42}));
    const QByteArray table = convert(kOneByte, frames, 1000000, true);
    QVERIFY(table.startsWith("time,Never\n"));
    QVERIFY(table.endsWith("5.000000,42.000000\n"));
}

void ConversionTest::existingOutputIsReplaced()
{
    QFile old(outputPath());
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write(QByteArray(100000, 'x'));
    old.close();
    QCOMPARE(convert(kOneByte, {standardFrame(7, 10, {1})}, 10),
             QByteArray("time,B,Never\n0.000010,1.000000,0.000000\n"));
}

void ConversionTest::progressFollowsTheRecordsRead()
{
    // 100 records, 1600 bytes; only the 37th reaches one period.
    Frames frames(100, standardFrame(7, 0));
    frames[36].time = 1000;
    for (size_t i = 37; i < frames.size(); ++i)
        frames[i].time = 1500;
    writeLog(frames);
    QList<int> shown;
    ConversionHooks hooks;
    hooks.progress = [&shown](int percent) { shown << percent; };
    const ConversionSummary summary = convertLog(candbFromText(kOneByte), job(1000), hooks);
    QCOMPARE(summary.outcome, ConversionOutcome::Finished);
    QCOMPARE(summary.rows, uint64_t(1));
    QCOMPARE(shown, QList<int>{37});
}

namespace {

// A clock for the conversion that moves 7 ms each time it is read.
struct SteppingClock
{
    int reads = 0;
    int milliseconds() const { return 7 * (reads - 1); } // at the last read
    ConversionHooks::Clock::time_point operator()()
    {
        return ConversionHooks::Clock::time_point(std::chrono::milliseconds(7 * reads++));
    }
};

// True while this process has a file open in `folder` that has no name yet: a table being
// written, which takes its name only when complete.
bool writingUnnamedIn(const QString &folder)
{
    const QDir descriptors("/proc/self/fd");
    for (const QString &descriptor : descriptors.entryList(QDir::AllEntries | QDir::System)) {
        const QString file = QFile::symLinkTarget(descriptors.filePath(descriptor));
        if (file.startsWith(folder + '/') && file.endsWith(" (deleted)"))
            return true;
    }
    return false;
}

// Frames 1 us apart that never reach a period of a second.
Frames framesWithoutRows(uint32_t count)
{
    Frames frames;
    for (uint32_t i = 0; i < count; ++i)
        frames.push_back(standardFrame(7, i, {uint8_t(i)}));
    return frames;
}

} // namespace

void ConversionTest::eventsAtMostEvery20msAndAfterTheLastRow()
{
    // 1984 frames, each writing a row. The clock is read when the run starts, every 64 rows
    // and after the batch of records: 0, 7, 14, ..., 217 ms, then 224 ms.
    Frames frames;
    for (uint32_t i = 1; i <= 31 * 64; ++i)
        frames.push_back(standardFrame(7, i * 10));
    writeLog(frames);
    auto clock = std::make_shared<SteppingClock>();
    QString trace; // r: the progress moved, e: events processed
    std::vector<int> eventTimes;
    ConversionHooks hooks;
    hooks.clock = [clock] { return (*clock)(); };
    hooks.progress = [&trace](int) { trace += 'r'; };
    hooks.processEvents = [&] {
        trace += 'e';
        eventTimes.push_back(clock->milliseconds());
    };
    QCOMPARE(convertLog(candbFromText(kOneByte), job(10), hooks).rows, uint64_t(31 * 64));

    QVERIFY2(trace.endsWith("re"), qPrintable(trace));
    for (size_t i = 1; i + 1 < eventTimes.size(); ++i)
        QVERIFY(eventTimes[i] - eventTimes[i - 1] >= 20);
    // Events at 21, 42, ..., 210 ms, then once after the last row.
    QCOMPARE(trace.count('e'), 11);
}

void ConversionTest::eventsBetweenRows()
{
    // Twelve batches of records and not one row: the window must not freeze meanwhile. The
    // clock is read when the run starts and after every batch: 0, 7, ..., 84 ms.
    writeLog(framesWithoutRows(12 * 4096));
    auto clock = std::make_shared<SteppingClock>();
    std::vector<int> eventTimes;
    ConversionHooks hooks;
    hooks.clock = [clock] { return (*clock)(); };
    hooks.processEvents = [&] { eventTimes.push_back(clock->milliseconds()); };
    const ConversionSummary summary = convertLog(candbFromText(kOneByte), job(1000000), hooks);
    QCOMPARE(summary.outcome, ConversionOutcome::Finished);
    QCOMPARE(summary.rows, uint64_t(0));
    QCOMPARE(readFile(outputPath()), QByteArray("time,B,Never\n"));
    // At 21, 42, 63 and 84 ms while reading, then once at the end.
    QCOMPARE(eventTimes, (std::vector<int>{21, 42, 63, 84, 84}));
}

void ConversionTest::eventsDuringThePrescan()
{
    writeLog(framesWithoutRows(12 * 4096));
    auto clock = std::make_shared<SteppingClock>();
    int beforeTheTable = 0;
    int whileConverting = 0;
    ConversionHooks hooks;
    hooks.clock = [clock] { return (*clock)(); };
    hooks.processEvents = [&] {
        // The table is opened only after the pre-scan; it has its name only when complete.
        ++(writingUnnamedIn(dir.path()) ? whileConverting : beforeTheTable);
    };
    const ConversionSummary summary =
        convertLog(candbFromText(kOneByte), job(1000000, true), hooks);
    QCOMPARE(summary.outcome, ConversionOutcome::Finished);
    QCOMPARE(readFile(outputPath()), QByteArray("time,B\n"));
    // Twelve batches in each pass, read every 7 ms: events at 21, 42, 63 and 84 ms in the
    // pre-scan, at 105, 126, 147 and 168 ms in the main pass, and at the end.
    QCOMPARE(beforeTheTable, 4);
    QCOMPARE(whileConverting, 5);
}

void ConversionTest::sameBytesUnderAGermanLocale()
{
    const QByteArray inC =
        convert(kTwoMessages,
                {standardFrame(256, 1000, {3, 0xFE}), extendedFrame(0x230, 123456789, {41})}, 1000);
    const std::string previous = std::setlocale(LC_ALL, nullptr);
    QVERIFY2(std::setlocale(LC_ALL, "de_DE.UTF-8"),
             "the de_DE.UTF-8 locale is missing (locales-all)");
    QCOMPARE(std::localeconv()->decimal_point, ",");
    QFile::remove(outputPath());
    const QByteArray inGerman =
        convert(kTwoMessages,
                {standardFrame(256, 1000, {3, 0xFE}), extendedFrame(0x230, 123456789, {41})}, 1000);
    std::setlocale(LC_ALL, previous.c_str());
    QCOMPARE(inGerman, inC);
    QVERIFY(inC.contains("123.456789,10.500000,"));
}

void ConversionTest::exampleConverts()
{
    std::ifstream in(QUORVANE_EXAMPLES_DIR "/vehicle.json");
    const Candb candb = readCandb(in);
    QVERIFY2(candb.ok(), candb.error.c_str());
    const ConversionSummary summary = convertLog(
        candb, {QUORVANE_EXAMPLES_DIR "/vehicle.qvl", nativePath(outputPath()), 10000, true});
    QCOMPARE(summary.outcome, ConversionOutcome::Finished);
    QCOMPARE(summary.columns, size_t(32));
    QVERIFY(summary.frames > 30000);

    const QList<QByteArray> lines = readFile(outputPath()).split('\n');
    QCOMPARE(lines.size(),
             qsizetype(summary.rows + 2)); // header, rows, nothing after the last newline
    const QList<QByteArray> names = lines.first().split(',');
    QCOMPARE(names.first(), QByteArray("time"));
    QVERIFY(std::is_sorted(names.begin() + 1, names.end()));
    // Parked at the end: no speed, no gear, the driver's door open.
    const QList<QByteArray> last = lines[lines.size() - 2].split(',');
    QCOMPARE(last[names.indexOf("VehicleSpeed")], QByteArray("0.000000"));
    QCOMPARE(last[names.indexOf("GearSelected")], QByteArray("0.000000"));
    QCOMPARE(last[names.indexOf("DoorDriverOpen")], QByteArray("1.000000"));
}

void ConversionTest::logThatIsAFolderCreatesNothing()
{
    QVERIFY(QDir(dir.path()).mkdir("folder.qvl"));
    for (bool smart : {false, true}) {
        ConversionJob folderJob = job(1000, smart);
        folderJob.logPath = nativePath(dir.filePath("folder.qvl"));
        QCOMPARE(convertLog(candbFromText(kOneByte), folderJob).outcome,
                 ConversionOutcome::LogUnreadable);
        QVERIFY(!QFile::exists(outputPath()));
    }
}

void ConversionTest::outputThatCannotBeCreated()
{
    writeLog({standardFrame(7, 10)});
    ConversionJob intoFolder = job(10);
    intoFolder.outputPath = nativePath(dir.path());
    QCOMPARE(convertLog(candbFromText(kOneByte), intoFolder).outcome,
             ConversionOutcome::OutputNotCreated);
}

void ConversionTest::outputThatIsTheLog_data()
{
    QTest::addColumn<QString>("output");
    QTest::newRow("same path") << "run.qvl";
    QTest::newRow("another spelling") << "./sub/../run.qvl";
    QTest::newRow("a symbolic link") << "link.csv";
    QTest::newRow("a hard link") << "hard.csv";
}

void ConversionTest::outputThatIsTheLog()
{
    QFETCH(QString, output);
    writeLog({standardFrame(7, 10, {1}), standardFrame(7, 20, {2})});
    const QByteArray log = readFile(logPath());
    QDir(dir.path()).mkdir("sub");
    QFile::remove(dir.filePath("link.csv"));
    QFile::remove(dir.filePath("hard.csv"));
    QVERIFY(QFile::link(logPath(), dir.filePath("link.csv")));
    QCOMPARE(::link(nativePath(logPath()).c_str(), nativePath(dir.filePath("hard.csv")).c_str()),
             0);
    ConversionJob onTheLog = job(10);
    onTheLog.outputPath = nativePath(dir.filePath(output));
    QCOMPARE(convertLog(candbFromText(kOneByte), onTheLog).outcome, ConversionOutcome::OutputIsLog);
    QCOMPARE(readFile(logPath()), log);
}

void ConversionTest::fullDevice()
{
    writeLog({standardFrame(7, 10, {1})});
    ConversionJob toFull = job(10);
    toFull.outputPath = "/dev/full";
    QCOMPARE(convertLog(candbFromText(kOneByte), toFull).outcome, ConversionOutcome::WriteFailed);
}

namespace {

// A device that takes `room` bytes and then fails every write.
class FillingSink : public TableSink
{
public:
    FillingSink(size_t room, bool &closed) : room(room), closed(closed) {}
    bool write(const char *, size_t size) override
    {
        if (size > room)
            return false;
        room -= size;
        return true;
    }
    bool close() override
    {
        closed = true;
        return true;
    }

private:
    size_t room;
    bool &closed;
};

// A log that stops after `records` records, cut short or failing, though it had its full
// size when opened.
class StoppingSource : public LogSource
{
public:
    StoppingSource(std::unique_ptr<LogSource> real, uint64_t records, bool fails)
        : real(std::move(real)), left(records), fails(fails)
    {
    }
    size_t read(CAN_FIFOMailBox_TypeDef *records, size_t capacity) override
    {
        const size_t count = real->read(records, size_t(std::min<uint64_t>(capacity, left)));
        left -= count;
        return count;
    }
    bool failed() const override { return left == 0 && fails; }
    uint64_t size() const override { return real->size(); }

private:
    std::unique_ptr<LogSource> real;
    uint64_t left;
    bool fails;
};

class FaultyFiles : public ConversionFiles
{
public:
    size_t outputRoom = SIZE_MAX;
    uint64_t logRecords = UINT64_MAX;
    bool logFails = false;
    bool sinkClosed = false;

    std::unique_ptr<LogSource> openLog(const std::string &path) override
    {
        std::unique_ptr<LogSource> real = ConversionFiles::openLog(path);
        if (!real)
            return nullptr;
        return std::make_unique<StoppingSource>(std::move(real), logRecords, logFails);
    }
    std::unique_ptr<TableSink> createTable(const std::string &) override
    {
        return std::make_unique<FillingSink>(outputRoom, sinkClosed);
    }
};

Frames manyRows(uint32_t count)
{
    Frames frames;
    for (uint32_t i = 1; i <= count; ++i)
        frames.push_back(standardFrame(7, i * 10, {uint8_t(i)}));
    return frames;
}

} // namespace

void ConversionTest::outputDeviceFillsWhileConverting()
{
    writeLog(manyRows(200000)); // about 6 MB of table, several blocks
    FaultyFiles files;
    files.outputRoom = 3 << 20;
    const ConversionSummary summary = convertLog(candbFromText(kOneByte), job(10), {}, files);
    QCOMPARE(summary.outcome, ConversionOutcome::WriteFailed);
    QVERIFY(summary.rows < 200000);
    QVERIFY(files.sinkClosed);
}

void ConversionTest::logEndsEarlyWhileConverting()
{
    writeLog(manyRows(1000));
    FaultyFiles files;
    files.logRecords = 400;
    const ConversionSummary summary = convertLog(candbFromText(kOneByte), job(10), {}, files);
    QCOMPARE(summary.outcome, ConversionOutcome::LogReadFailed);
    QCOMPARE(summary.rows, uint64_t(400));
    QVERIFY(files.sinkClosed);
}

void ConversionTest::logReadErrorWhileConverting()
{
    // Past the first batch of records, which is read before the table is created.
    writeLog(manyRows(10000));
    FaultyFiles files;
    files.logRecords = 9999;
    files.logFails = true;
    QCOMPARE(convertLog(candbFromText(kOneByte), job(10), {}, files).outcome,
             ConversionOutcome::LogReadFailed);
}

void ConversionTest::logCutShortOnDisk()
{
    // Larger than the reader's buffer, so the cut is met while reading, not before.
    writeLog(manyRows(1 << 20));
    bool cut = false;
    ConversionHooks hooks;
    hooks.progress = [&](int percent) {
        if (percent >= 5 && !cut)
            cut = ::truncate(nativePath(logPath()).c_str(), 8 << 20) == 0;
    };
    const ConversionSummary summary = convertLog(candbFromText(kOneByte), job(10), hooks);
    QVERIFY(cut);
    QCOMPARE(summary.outcome, ConversionOutcome::LogReadFailed);
    QCOMPARE(summary.frames, uint64_t(8 << 20) / 16);
}

QTEST_GUILESS_MAIN(ConversionTest)
#include "tst_conversion.moc"
