#include "filesizelimit.h"
#include "log/logtextfiles.h"
#include "testfiles.h"

#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <sstream>

Q_DECLARE_METATYPE(LogTextFormat)

namespace {

// A frame as "ID TIME DATA", an 'x' after an extended identifier: "18FEF100x 1500000 0102...".
QString frameText(const LogFrame &frame)
{
    const QByteArray data(reinterpret_cast<const char *>(frame.data.data()), 8);
    return QString("%1%2 %3 %4")
        .arg(frame.id, 0, 16)
        .arg(frame.extended ? "x" : "")
        .arg(frame.time)
        .arg(QString(data.toHex()));
}

LogTextReading readText(const QByteArray &text, LogTextFormat format, const QString &channel,
                        QStringList &frames)
{
    std::istringstream in(text.toStdString());
    return readLogText(in, format, channel.toStdString(), [&frames](const LogFrame &frame) {
        frames << frameText(frame);
        return true;
    });
}

LogFrame frame(uint32_t id, bool extended, uint32_t time, const QByteArray &hexData)
{
    LogFrame result{id, extended, time, {}};
    const QByteArray data = QByteArray::fromHex(hexData);
    std::copy(data.begin(), data.end(), result.data.begin());
    return result;
}

// Frames of both formats with random data, 1 µs to 5 s apart from 30 s before the stamps first
// wrap: they wrap twice. `times` gets the unwrapped times.
std::vector<LogFrame> wrappingLog(std::vector<uint64_t> &times)
{
    QRandomGenerator random(15);
    std::vector<LogFrame> frames;
    uint64_t time = 0xFFFFFFFFull - 30000000;
    for (int i = 0; i < 2000; ++i) {
        time += random.bounded(1, 5000000);
        const bool extended = random.bounded(2);
        LogFrame made{
            random.bounded(extended ? 0x20000000u : 0x800u), extended, uint32_t(time), {}};
        for (uint8_t &byte : made.data)
            byte = uint8_t(random.bounded(256));
        frames.push_back(made);
        times.push_back(time);
    }
    return frames;
}

// The times of a text's frame lines, in microseconds.
std::vector<uint64_t> linesTimes(const QByteArray &text)
{
    static const QRegularExpression frameLine(R"(^ *\(?(\d+)\.(\d{6})\)? +\S+ +[0-9A-F]+)",
                                              QRegularExpression::MultilineOption);
    std::vector<uint64_t> times;
    for (const QRegularExpressionMatch &match : frameLine.globalMatch(text))
        times.push_back(match.captured(1).toULongLong() * 1000000 + match.captured(2).toUInt());
    return times;
}

constexpr char kDate[] = "Wed Dec 09 02:35:09.000 am 2026";

} // namespace

// The candump and ASC formats: writing, reading, and the files in and out.
class LogTextTest : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir;
    QString path(const QString &name) const { return dir.filePath(name); }

    LogTextSummary exportTo(const QString &text, LogTextFormat format, const Candb *candb = nullptr)
    {
        LogExportJob job{nativePath(path("log.qvl")),
                         nativePath(text),
                         format,
                         defaultChannel(format),
                         candb,
                         kDate};
        return exportLogText(job);
    }

private slots:
    void roundTripKeepsEveryRecord_data();
    void roundTripKeepsEveryRecord();
    void exportedText_data();
    void exportedText();
    void reading_data();
    void reading();
    void malformedLine_data();
    void malformedLine();
    void failedImportKeepsTheEarlierLog();
    void fullDiskKeepsEarlierFiles();
    void filesThatAreNoInput();
};

void LogTextTest::roundTripKeepsEveryRecord_data()
{
    QTest::addColumn<LogTextFormat>("format");
    QTest::newRow("candump") << LogTextFormat::Candump;
    QTest::newRow("asc") << LogTextFormat::Asc;
}

void LogTextTest::roundTripKeepsEveryRecord()
{
    QFETCH(LogTextFormat, format);
    std::vector<uint64_t> times;
    QVERIFY(writeLogFile(nativePath(path("log.qvl")), wrappingLog(times)));
    const QString text = path(format == LogTextFormat::Candump ? "out.log" : "out.asc");
    const LogTextSummary exported = exportTo(text, format);
    QCOMPARE(int(exported.outcome), int(ConversionOutcome::Finished));
    QCOMPARE(exported.frames, uint64_t(times.size()));
    QVERIFY(linesTimes(readFile(text)) == times);

    const LogTextSummary imported =
        importLogText(nativePath(text), format, {}, nativePath(path("back.qvl")));
    QCOMPARE(int(imported.outcome), int(ConversionOutcome::Finished));
    QCOMPARE(imported.skipped.total(), uint64_t(0));
    QCOMPARE(readFile(path("back.qvl")), readFile(path("log.qvl")));
}

void LogTextTest::exportedText_data()
{
    QTest::addColumn<LogTextFormat>("format");
    QTest::addColumn<QByteArray>("database");
    QTest::addColumn<QByteArray>("text");

    const QByteArray lengths = R"({"messages": [
        {"id": 291, "dlc": 2, "signals": [{"name": "A", "startbit": 0, "bitlength": 8,
            "scaling": 1, "offset": 0, "signed": false}]},
        {"id": 2566844672, "dlc": 12},
        {"id": 1, "dlc": 0}, {"id": 291, "dlc": 5}]})";
    // 0x123 at 1.5 s; 0x18FEF100 (extended) at the last stamp before the wrap; 0x001 after it.
    QTest::newRow("candump: 3 or 8 digits, wrapped time counts on")
        << LogTextFormat::Candump << QByteArray()
        << QByteArray("(1.500000) can0 123#1122334455667788\n"
                      "(4294.967295) can0 18FEF100#0102030405060708\n"
                      "(4294.967306) can0 001#FF00000000000000\n");
    QTest::newRow("candump: lengths of the database's first definitions")
        << LogTextFormat::Candump << lengths
        << QByteArray("(1.500000) can0 123#1122\n"
                      "(4294.967295) can0 18FEF100#0102030405060708\n"
                      "(4294.967306) can0 001#\n");
    QTest::newRow("asc: header, x after an extended identifier")
        << LogTextFormat::Asc << lengths
        << QByteArray("date Wed Dec 09 02:35:09.000 am 2026\n"
                      "base hex  timestamps absolute\n"
                      "no internal events logged\n"
                      "Begin Triggerblock Wed Dec 09 02:35:09.000 am 2026\n"
                      "   1.500000 1  123             Rx   d 2 11 22\n"
                      "4294.967295 1  18FEF100x       Rx   d 8 01 02 03 04 05 06 07 08\n"
                      "4294.967306 1  1               Rx   d 0\n"
                      "End TriggerBlock\n");
}

void LogTextTest::exportedText()
{
    QFETCH(LogTextFormat, format);
    QFETCH(QByteArray, database);
    QFETCH(QByteArray, text);
    QVERIFY(writeLogFile(nativePath(path("log.qvl")),
                         {frame(0x123, false, 1500000, "1122334455667788"),
                          frame(0x18FEF100, true, 0xFFFFFFFF, "0102030405060708"),
                          frame(0x001, false, 10, "FF")}));
    std::istringstream in(database.toStdString());
    const Candb candb = database.isEmpty() ? Candb() : readCandb(in);
    QVERIFY2(candb.ok(), candb.error.c_str());
    const LogTextSummary summary =
        exportTo(path("out.txt"), format, database.isEmpty() ? nullptr : &candb);
    QCOMPARE(int(summary.outcome), int(ConversionOutcome::Finished));
    QCOMPARE(readFile(path("out.txt")), text);
}

void LogTextTest::reading_data()
{
    QTest::addColumn<LogTextFormat>("format");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("channel");
    QTest::addColumn<QStringList>("frames");
    QTest::addColumn<QString>("skipped");

    const auto candump = LogTextFormat::Candump;
    const auto asc = LogTextFormat::Asc;
    QTest::newRow("candump: comments, blank lines, CRLF, direction marks, dots in the data")
        << candump
        << QByteArray("# recorded on the bench\r\n\r\n(1.500000) can0 123#1122 R\r\n"
                      "  (1.600000) can1 1FFFFFFF#11.22.33 T\n(1.700000) vcan0 7FF#")
        << QString()
        << QStringList{"123 1500000 1122000000000000", "1fffffffx 1600000 1122330000000000",
                       "7ff 1700000 0000000000000000"}
        << "skipped";
    QTest::newRow("candump: remote, error and FD frames skipped, 8 bytes with a long DLC kept")
        << candump
        << QByteArray(
               "(1.0) can0 123#R\n(1.1) can0 123#R8_F\n(1.2) can0 20000004#0004000000000000\n"
               "(1.3) can0 123##1112233\n(1.4) can0 00000123##0\n"
               "(1.5) can0 124#1122334455667788_9\n")
        << QString() << QStringList{"124 1500000 1122334455667788"}
        << "skipped 2 remote frames, 1 error frame, 2 CAN FD frames";
    QTest::newRow("candump: times rounded to the microsecond, modulo 2^32")
        << candump
        << QByteArray("(0.0000005) can0 001#\n(0.0000004999999) can0 002#\n"
                      "(1700000000.123456) can0 003#\n(4294.967296) can0 004#\n")
        << QString()
        << QStringList{"1 1 0000000000000000", "2 0 0000000000000000",
                       QString("3 %1 0000000000000000").arg(uint32_t(1700000000123456ull)),
                       "4 0 0000000000000000"}
        << "skipped";
    QTest::newRow("candump: one channel") << candump
                                          << QByteArray("(1.0) can0 001#01\n(1.1) can1 002#02\n"
                                                        "(1.2) can1 003#R\n")
                                          << "can1" << QStringList{"2 1100000 0200000000000000"}
                                          << "skipped 1 remote frame, 1 frame of another channel";

    const QByteArray header = "date Wed Dec 09 02:35:09.000 am 2026\n"
                              "base hex  timestamps absolute\n"
                              "internal events logged\n"
                              "// version 13.0.0\n"
                              "Begin Triggerblock Wed Dec 09 02:35:09.000 am 2026\n";
    QTest::newRow("asc: events, error, remote and FD frames; trailing fields; Tx frames")
        << asc
        << header + "   0.000000 Start of measurement\n"
                    "   0.010000 1  123             Rx   d 8 11 22 33 44 55 66 77 88  Length = "
                    "272000 BitCount = 139 ID = 291\n"
                    "   0.020000 2  18FEF100x       Tx   d 2 0A 0b\n"
                    "   0.030000 1  ErrorFrame\n"
                    "   0.040000 1  123             Rx   r\n"
                    "   0.050000 CANFD   1 Rx        123   1 0 d 12 01 02 03 04 05 06 07 08 09 "
                    "0A 0B 0C\n"
                    "   0.060000 1  Statistic: D 1 R 0 XD 0 XR 0 E 0 O 0 B 0.10%\n"
                    "   0.070000 1  123             TxRq d 1 00\n"
                    "End TriggerBlock\n"
        << QString()
        << QStringList{"123 10000 1122334455667788", "18fef100x 20000 0a0b000000000000"}
        << "skipped 1 remote frame, 1 error frame, 1 CAN FD frame, 3 event lines";
    QTest::newRow("asc: decimal base, relative times, one channel")
        << asc
        << QByteArray("base dec  timestamps relative\n"
                      "   0.500000 1  291             Rx   d 2 17 255\n"
                      "   0.250000 2  419364864x      Rx   d 1 9\n"
                      "   0.000001 2  2047            Rx   d 0\n")
        << "2" << QStringList{"18ff0000x 750000 0900000000000000", "7ff 750001 0000000000000000"}
        << "skipped 1 frame of another channel";
}

void LogTextTest::reading()
{
    QFETCH(LogTextFormat, format);
    QFETCH(QByteArray, text);
    QFETCH(QString, channel);
    QStringList frames;
    const LogTextReading reading = readText(text, format, channel, frames);
    QVERIFY2(reading.ok(), reading.error.c_str());
    QTEST(frames, "frames");
    QCOMPARE(reading.frames, uint64_t(frames.size()));
    QTEST(QString::fromStdString(skippedText(reading.skipped)), "skipped");
}

void LogTextTest::malformedLine_data()
{
    QTest::addColumn<LogTextFormat>("format");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("error");

    const auto candump = LogTextFormat::Candump;
    const auto asc = LogTextFormat::Asc;
    const QByteArray good = "(1.0) can0 123#11\n";
    QTest::newRow("candump: time without brackets") << candump << good + "1.0 can0 123#11\n"
                                                    << "line 2: the line must start with the time";
    QTest::newRow("candump: identifier of 4 digits")
        << candump << good + good + "(1.0) can0 1234#11\n"
        << "line 3: the identifier must be 3";
    QTest::newRow("candump: standard identifier above 7FF")
        << candump << QByteArray("(1.0) can0 800#11\n")
        << "line 1: a standard identifier is at most 7FF";
    QTest::newRow("candump: 9 data bytes")
        << candump << QByteArray("(1.0) can0 123#112233445566778899\n")
        << "line 1: the data must be up to 8";
    QTest::newRow("candump: odd digit count")
        << candump << QByteArray("(1.0) can0 123#112\n") << "line 1: the data must be up to 8";
    QTest::newRow("candump: words after the direction")
        << candump << QByteArray("(1.0) can0 123#11 R x\n") << "line 1: only the direction R or T";
    QTest::newRow("candump: a line of another format")
        << candump << QByteArray("   1.000000 1  123   Rx   d 1 11\n")
        << "line 1: the line must start";
    QTest::newRow("asc: unknown base")
        << asc << QByteArray("date x\nbase oct timestamps absolute\n")
        << "line 2: the header must say";
    QTest::newRow("asc: byte missing") << asc << QByteArray("1.0 1 123 Rx d 3 11 22\n")
                                       << "line 1: the length asks for 3 data bytes";
    QTest::newRow("asc: hexadecimal byte in the decimal base")
        << asc << QByteArray("base dec timestamps absolute\n1.0 1 123 Rx d 1 1F\n")
        << "line 2: the length asks for 1 data byte, from 0 to 255";
    QTest::newRow("asc: neither d nor r")
        << asc << QByteArray("1.0 1 123 Rx x 1 11\n") << "line 1: a frame must go on with \"d\"";
    QTest::newRow("asc: text that is no ASC line")
        << asc << QByteArray("hello\n") << "line 1: not a line of an ASC log";
    QTest::newRow("asc: a line too long to be one")
        << asc << QByteArray(5000, '1') << "line 1: longer than 4096 bytes";
}

void LogTextTest::malformedLine()
{
    QFETCH(LogTextFormat, format);
    QFETCH(QByteArray, text);
    QFETCH(QString, error);
    QStringList frames;
    const LogTextReading reading = readText(text, format, {}, frames);
    QVERIFY2(QString::fromStdString(reading.error).startsWith(error), reading.error.c_str());
}

void LogTextTest::failedImportKeepsTheEarlierLog()
{
    const QByteArray earlier = QByteArray(32, 'e');
    QVERIFY(writeFile(path("earlier.qvl"), earlier));
    QVERIFY(writeFile(path("bad.log"), "(1.0) can0 123#11\n(1.1) can0 123#1\n"));
    const LogTextSummary summary = importLogText(
        nativePath(path("bad.log")), LogTextFormat::Candump, {}, nativePath(path("earlier.qvl")));
    QCOMPARE(int(summary.outcome), int(ConversionOutcome::LogReadFailed));
    QVERIFY(summary.problem.rfind("line 2: ", 0) == 0);
    QCOMPARE(readFile(path("earlier.qvl")), earlier);

    const LogTextSummary fresh = importLogText(nativePath(path("bad.log")), LogTextFormat::Candump,
                                               {}, nativePath(path("new.qvl")));
    QCOMPARE(int(fresh.outcome), int(ConversionOutcome::LogReadFailed));
    QVERIFY(!QFile::exists(path("new.qvl")));
    // Nor a temporary file of the writing.
    QCOMPARE(QDir(dir.path()).entryList({".*"}, QDir::Files | QDir::Hidden), QStringList());
}

void LogTextTest::fullDiskKeepsEarlierFiles()
{
    std::vector<uint64_t> times;
    const std::vector<LogFrame> frames = wrappingLog(times);
    QVERIFY(writeLogFile(nativePath(path("log.qvl")), frames));
    QCOMPARE(int(exportTo(path("log.log"), LogTextFormat::Candump).outcome),
             int(ConversionOutcome::Finished));
    QVERIFY(writeFile(path("earlier.qvl"), "earlier log"));
    QVERIFY(writeFile(path("earlier.asc"), "earlier text"));

    FileSizeLimit full(4096);
    QVERIFY(full.isActive());
    QVERIFY(!writeLogFile(nativePath(path("earlier.qvl")), frames));
    QCOMPARE(int(importLogText(nativePath(path("log.log")), LogTextFormat::Candump, {},
                               nativePath(path("earlier.qvl")))
                     .outcome),
             int(ConversionOutcome::WriteFailed));
    QCOMPARE(int(exportTo(path("earlier.asc"), LogTextFormat::Asc).outcome),
             int(ConversionOutcome::WriteFailed));
    QCOMPARE(readFile(path("earlier.qvl")), QByteArray("earlier log"));
    QCOMPARE(readFile(path("earlier.asc")), QByteArray("earlier text"));
    QCOMPARE(QDir(dir.path()).entryList({".*"}, QDir::Files | QDir::Hidden), QStringList());
}

void LogTextTest::filesThatAreNoInput()
{
    QVERIFY(writeFile(path("in.log"), "(1.0) can0 123#11\n"));
    QCOMPARE(int(importLogText(nativePath(dir.path()), LogTextFormat::Candump, {},
                               nativePath(path("a.qvl")))
                     .outcome),
             int(ConversionOutcome::LogUnreadable));
    QCOMPARE(int(importLogText(nativePath(path("in.log")), LogTextFormat::Candump, {},
                               nativePath(path("in.log")))
                     .outcome),
             int(ConversionOutcome::OutputIsLog));
    QCOMPARE(readFile(path("in.log")), QByteArray("(1.0) can0 123#11\n"));

    QVERIFY(writeLogFile(nativePath(path("log.qvl")), {frame(1, false, 1, "")}));
    QCOMPARE(int(exportTo(path("log.qvl"), LogTextFormat::Candump).outcome),
             int(ConversionOutcome::OutputIsLog));
    if (QFile::exists("/dev/full"))
        QCOMPARE(int(exportTo("/dev/full", LogTextFormat::Asc).outcome),
                 int(ConversionOutcome::WriteFailed));
}

QTEST_GUILESS_MAIN(LogTextTest)
#include "tst_logtext.moc"
