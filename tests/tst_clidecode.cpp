#include "clirun.h"
#include "decodertesting.h"
#include "mainwindow.h"
#include "messageboxrecorder.h"
#include "testfiles.h"

#include <QCheckBox>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>

// quorvane-cli decode and info, run as a user runs them: the tables against the window's, the
// batch, and every way a run is refused.
class CliDecodeTest : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir;
    QString path(const QString &name) const { return dir.filePath(name); }
    QByteArray windowTable(const QString &log, const QString &candb, const QString &frequency,
                           bool smart);

private slots:
    void initTestCase();
    void programConventions_data();
    void programConventions();
    void sameTableAsTheWindow_data();
    void sameTableAsTheWindow();
    void chosenSignals();
    void refusedRuns_data();
    void refusedRuns();
    void batch_data();
    void batch();
    void info_data();
    void info();
};

namespace {

const char *const kSpeedGearTable =
    "time,Gear,Speed\n0.120000,4.000000,200.000000\n0.230000,7.000000,300.000000\n";

// Frames of the example vehicle's identifiers and others, in random order of time steps, with
// steps back and, when asked, a wrap of the time stamps.
Frames randomFrames(quint32 seed, bool wrap)
{
    QRandomGenerator random(seed);
    const uint32_t standard[] = {0x0C0, 0x1A0, 0x1F5, 0x2B0, 0x2C0, 0x3E8, 0x7FF, 0x001};
    const uint32_t extended[] = {0x18F0010B, 0x18FEF3EE, 0x18FF0A17, 0x18FF5021, 0x1FFFFFFF};
    Frames frames;
    uint32_t time = wrap ? 0xFFF00000u : 1000;
    for (int i = 0; i < 3000; ++i) {
        std::array<uint8_t, 8> data;
        for (uint8_t &byte : data)
            byte = uint8_t(random.bounded(256));
        time += random.bounded(900) - (random.bounded(50) == 0 ? 1500 : 0);
        const bool isExtended = random.bounded(3) == 0;
        frames.push_back(isExtended ? extendedFrame(extended[random.bounded(5)], time, data)
                                    : standardFrame(standard[random.bounded(8)], time, data));
    }
    return frames;
}

QJsonObject infoOf(const CliRun &run)
{
    return QJsonDocument::fromJson(run.out).object()["logs"].toArray().first().toObject();
}

} // namespace

void CliDecodeTest::initTestCase()
{
    QVERIFY(dir.isValid());
    QVERIFY(QDir(dir.path()).mkpath("out"));
    QVERIFY(writeFile(path("db.json"), kSpeedGearCandb));
    QVERIFY(writeFile(path("bad.json"), R"({"messages": [{"id": 1, "signals": [{}]}]})"));
    QVERIFY(writeLogFile(nativePath(path("run.qvl")), speedGearFrames()));
    QVERIFY(writeLogFile(nativePath(path("random.qvl")), randomFrames(7, false)));
    QVERIFY(writeLogFile(nativePath(path("wrapping.qvl")), randomFrames(8, true)));
    QVERIFY(writeLogFile(nativePath(path("empty.qvl")), {}));
    QVERIFY(QFile::copy(path("run.qvl"), path("run.log")));
    QVERIFY(QFile::copy(QUORVANE_EXAMPLES_DIR "/vehicle.json", path("vehicle.json")));
    QVERIFY(QFile::copy(QUORVANE_EXAMPLES_DIR "/vehicle.qvl", path("vehicle.qvl")));
}

void CliDecodeTest::programConventions_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("err");
    QTest::newRow("no command") << QStringList{} << 2 << ""
                                << "no command given";
    QTest::newRow("unknown command") << QStringList{"convert"} << 2 << ""
                                     << "quorvane-cli: unknown command 'convert'";
    QTest::newRow("program help") << QStringList{"--help"} << 0 << "  decode"
                                  << "";
    QTest::newRow("help of a command")
        << QStringList{"help", "decode"} << 0 << "Usage: quorvane-cli decode [options]"
        << "";
    QTest::newRow("--help of a command")
        << QStringList{"info", "--help"} << 0 << "Usage: quorvane-cli info [options]"
        << "";
    QTest::newRow("version") << QStringList{"--version"} << 0 << "quorvane-cli 0."
                             << "";
}

void CliDecodeTest::programConventions()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, out);
    QFETCH(QString, err);
    const CliRun run = runCli(arguments);
    QCOMPARE(run.status, status);
    QVERIFY2(out.isEmpty() ? run.out.isEmpty() : run.out.contains(out.toUtf8()),
             run.out.constData());
    QVERIFY2(err.isEmpty() ? run.err.isEmpty() : run.err.contains(err.toUtf8()),
             run.err.constData());
}

// The table Convert writes, through the window offscreen.
QByteArray CliDecodeTest::windowTable(const QString &log, const QString &candb,
                                      const QString &frequency, bool smart)
{
    MainWindow window;
    const auto type = [&](const char *name, const QString &text) {
        QTextEdit *field = window.findChild<QTextEdit *>(name);
        field->setPlainText("-");
        field->setPlainText(text);
    };
    type("logpath", path(log));
    type("dbcpath", path(candb));
    type("outputpath", path("out"));
    type("FIleName", "window.csv");
    type("ConvFreq", frequency);
    window.findChild<QCheckBox *>("smart")->setChecked(smart);
    MessageBoxRecorder boxes;
    window.findChild<QPushButton *>("Convert")->click();
    if (boxes.texts() != QStringList{"Finish conversion!"})
        return "window said: " + boxes.texts().join('|').toUtf8();
    return readFile(path("out/window.csv"));
}

void CliDecodeTest::sameTableAsTheWindow_data()
{
    QTest::addColumn<QString>("log");
    QTest::addColumn<QString>("candb");
    QTest::addColumn<QString>("frequency");
    QTest::addColumn<bool>("smart");
    QTest::newRow("worked example") << "run.qvl"
                                    << "db.json"
                                    << "10" << false;
    QTest::newRow("example vehicle") << "vehicle.qvl"
                                     << "vehicle.json"
                                     << "100" << false;
    QTest::newRow("example vehicle, smart, 20000 Hz") << "vehicle.qvl"
                                                      << "vehicle.json"
                                                      << "20000" << true;
    QTest::newRow("random frames, smart") << "random.qvl"
                                          << "vehicle.json"
                                          << "333" << true;
    QTest::newRow("random frames over a wrap") << "wrapping.qvl"
                                               << "vehicle.json"
                                               << "1000" << false;
    QTest::newRow("empty log, smart") << "empty.qvl"
                                      << "vehicle.json"
                                      << "1" << true;
}

void CliDecodeTest::sameTableAsTheWindow()
{
    QFETCH(QString, log);
    QFETCH(QString, candb);
    QFETCH(QString, frequency);
    QFETCH(bool, smart);
    const QByteArray expected = windowTable(log, candb, frequency, smart);
    QVERIFY2(expected.startsWith("time"), expected.constData());

    QStringList arguments = {"decode", "--candb", path(candb), "--freq", frequency};
    if (smart)
        arguments << "--smart";
    const CliRun toFile = runCli(arguments + QStringList{"-o", path("out/cli.csv"), path(log)});
    QCOMPARE(toFile.status, 0);
    QCOMPARE(readFile(path("out/cli.csv")), expected);
    const CliRun toPipe = runCli(arguments + QStringList{"--quiet", "-o", "-", path(log)});
    QCOMPARE(toPipe.status, 0);
    QCOMPARE(toPipe.out, expected);
    QCOMPARE(toPipe.err, QByteArray());
}

void CliDecodeTest::chosenSignals()
{
    const CliRun run = runCli({"decode", "--candb", path("db.json"), "--freq", "10", "--signals",
                               "Speed,Gear", "-o", "-", path("run.qvl")});
    QCOMPARE(run.status, 0);
    QCOMPARE(run.out, QByteArray("time,Speed,Gear\n0.120000,200.000000,4.000000\n"
                                 "0.230000,300.000000,7.000000\n"));
}

void CliDecodeTest::refusedRuns_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("message");

    const QString db = path("db.json"), log = path("run.qvl"), out = path("out/refused.csv");
    QTest::newRow("unknown option")
        << QStringList{"decode", "--fast", log} << 2 << "Unknown option 'fast'";
    QTest::newRow("no Candb file") << QStringList{"decode", "-o", out, log} << 2 << "--candb";
    QTest::newRow("no output") << QStringList{"decode", "--candb", db, log} << 2 << "--out-dir";
    QTest::newRow("-o and --out-dir")
        << QStringList{"decode", "--candb", db, "-o", out, "--out-dir", path("out"), log} << 2
        << "--out-dir";
    QTest::newRow("-o with two logs")
        << QStringList{"decode", "--candb", db, "-o", out, log, log} << 2 << "--out-dir";
    QTest::newRow("no jobs") << QStringList{"decode", "--candb", db, "--jobs", "0", "-o", out, log}
                             << 2 << "--jobs";
    QTest::newRow("frequency not a number")
        << QStringList{"decode", "--candb", db, "--freq", "1e3", "-o", out, log} << 1
        << "quorvane-cli: Convertion frequency error!";
    QTest::newRow("frequency out of scale")
        << QStringList{"decode", "--candb", db, "--freq", "20001", "-o", out, log} << 1
        << "quorvane-cli: Convertion frequency out of scale!";
    QTest::newRow("Candb refused by the reader")
        << QStringList{"decode", "--candb", path("bad.json"), "-o", out, log} << 1
        << "Candb json not Valid: message 1 (id 1)";
    QTest::newRow("Candb path without .json")
        << QStringList{"decode", "--candb", path("run.log"), "-o", out, log} << 1
        << "Candb json not Valid";
    QTest::newRow("log without .qvl")
        << QStringList{"decode", "--candb", db, "-o", out, path("run.log")} << 1
        << "run.log: LogFile not corrected";
    QTest::newRow("output is the log") << QStringList{"decode", "--candb", db, "-o", log, log} << 1
                                       << "Output file is an input file!";
    QTest::newRow("unknown signal, the names listed")
        << QStringList{"decode", "--candb", db, "--signals", "Gear,Rpm", "-o", out, log} << 1
        << "unknown signal in --signals: Rpm; the Candb file has: Gear, Speed";
    QTest::newRow("output folder is a file")
        << QStringList{"decode", "--candb", db, "--out-dir", db, log} << 1
        << "Output folder not correct!";
    QTest::newRow("missing output folder, log refused")
        << QStringList{"decode", "--candb", db, "--out-dir", path("nowhere"), path("run.log")} << 1
        << "run.log: LogFile not corrected";
    QTest::newRow("output cannot be created")
        << QStringList{"decode", "--candb", db, "-o", path("nowhere/t.csv"), log} << 1
        << "Errore nella creazione del file!";
    QTest::newRow("two logs of one name") << QStringList{"decode",
                                                         "--candb",
                                                         db,
                                                         "--out-dir",
                                                         path("out"),
                                                         log,
                                                         path("out/../run.qvl")}
                                          << 1 << "would both be converted into";
}

void CliDecodeTest::refusedRuns()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, message);
    QVERIFY(writeFile(path("out/refused.csv"), "earlier table"));
    const CliRun run = runCli(arguments);
    QCOMPARE(run.status, status);
    QVERIFY2(run.err.contains(message.toUtf8()), run.err.constData());
    QCOMPARE(run.out, QByteArray());
    QCOMPARE(readFile(path("out/refused.csv")), QByteArray("earlier table"));
    QVERIFY(!QFile::exists(path("out/run.csv")));
    QVERIFY(!QFile::exists(path("nowhere")));
}

void CliDecodeTest::batch_data()
{
    QTest::addColumn<QString>("jobs");
    QTest::newRow("one at a time") << "1";
    QTest::newRow("two at a time") << "2";
    QTest::newRow("more jobs than logs") << "5";
}

// Whatever the number of jobs, each log gets its own whole table and a bad one fails the batch.
void CliDecodeTest::batch()
{
    QFETCH(QString, jobs);
    QDir(path("batch")).removeRecursively();
    QVERIFY(QDir(dir.path()).mkpath("logs"));
    QFile::remove(path("logs/first.qvl"));
    QFile::remove(path("logs/second.qvl"));
    QVERIFY(QFile::copy(path("run.qvl"), path("logs/first.qvl")));
    QVERIFY(QFile::copy(path("run.qvl"), path("logs/second.qvl")));
    // A log that passes the checks but cannot be read when its turn comes.
    QVERIFY(QDir(dir.path()).mkpath("logs/folder.qvl"));
    const CliRun run = runCli({"decode", "--candb", path("db.json"), "--freq", "10", "--jobs", jobs,
                               "--out-dir", path("batch/week"), path("logs/first.qvl"),
                               path("logs/folder.qvl"), path("logs/second.qvl")});
    QCOMPARE(run.status, 1);
    // The missing output folder was made, with its parent.
    QCOMPARE(readFile(path("batch/week/first.csv")), QByteArray(kSpeedGearTable));
    QCOMPARE(readFile(path("batch/week/second.csv")), QByteArray(kSpeedGearTable));
    QVERIFY(!QFile::exists(path("batch/week/folder.csv")));
    QVERIFY2(run.err.contains("first.qvl: 4 frames, 2 rows, 2 columns"), run.err.constData());
    QVERIFY2(run.err.contains("folder.qvl: LogFile not corrected"), run.err.constData());
    QVERIFY2(run.err.contains("1 of 3 logs failed: " + path("logs/folder.qvl").toUtf8()),
             run.err.constData());
}

void CliDecodeTest::info_data()
{
    QTest::addColumn<Frames>("frames");
    QTest::addColumn<QByteArray>("tail");
    QTest::addColumn<QJsonObject>("expected");
    QTest::addColumn<QByteArray>("textLine");

    QTest::newRow("empty log") << Frames{} << QByteArray()
                               << QJsonObject{{"records", 0},
                                              {"durationMicros", 0},
                                              {"identifierCount", 0}}
                               << QByteArray("duration        -\n");
    QTest::newRow("partial record at the end") << speedGearFrames() << QByteArray("\x01\x02\x03", 3)
                                               << QJsonObject{{"size", 67},
                                                              {"records", 4},
                                                              {"partialRecordBytes", 3},
                                                              {"firstTimeMicros", 50000},
                                                              {"lastTimeMicros", 230000}}
                                               << QByteArray("partial record  3 bytes");
    QTest::newRow("a wrap and a frame out of order")
        << Frames{standardFrame(0x123, 0xFFFFFF00u), extendedFrame(0x18FEF100, 0xFFFFFFF0u),
                  standardFrame(0x123, 0x100), standardFrame(0x123, 0x80)}
        << QByteArray()
        << QJsonObject{{"wraps", 1},
                       {"outOfOrder", 1},
                       {"firstTimeMicros", 0xFFFFFF00LL},
                       {"lastTimeMicros", 0x100000100LL},
                       {"identifierCount", 2}}
        << QByteArray("wraps           1\n");
    // A card that lost power mid-write: 64 KiB of erased memory, more than one batch of records.
    // Its stamps step back to 0 or jump ahead to 4294 s; the span stays the frames' own.
    QTest::newRow("zero tail") << speedGearFrames() << QByteArray(65536, '\0')
                               << QJsonObject{{"records", 4100},
                                              {"blankTailRecords", 4096},
                                              {"outOfOrder", 1},
                                              {"firstTimeMicros", 50000},
                                              {"lastTimeMicros", 230000},
                                              {"durationMicros", 180000}}
                               << QByteArray("blank tail      4096 records\n");
    QTest::newRow("0xFF tail") << speedGearFrames() << QByteArray(48, '\xFF')
                               << QJsonObject{{"records", 7},
                                              {"blankTailRecords", 3},
                                              {"outOfOrder", 0},
                                              {"wraps", 0},
                                              {"firstTimeMicros", 50000},
                                              {"lastTimeMicros", 230000},
                                              {"durationMicros", 180000}}
                               << QByteArray("duration        0.180000 s\n");
    QTest::newRow("one step back before the first frame")
        << Frames{standardFrame(0x123, 500000), standardFrame(0x123, 900000),
                  standardFrame(0x7FF, 200000)}
        << QByteArray()
        << QJsonObject{{"outOfOrder", 1},
                       {"blankTailRecords", 0},
                       {"firstTimeMicros", 200000},
                       {"lastTimeMicros", 900000},
                       {"durationMicros", 700000}}
        << QByteArray(" 2.86\n");
    // Only the end of a log is a blank tail: an all-zero record amid frames is a frame.
    QTest::newRow("blank record before the last frame")
        << Frames{standardFrame(0x123, 100000), standardFrame(0x000, 0),
                  standardFrame(0x123, 400000)}
        << QByteArray()
        << QJsonObject{{"blankTailRecords", 0}, {"outOfOrder", 1}, {"durationMicros", 400000}}
        << QByteArray("blank tail      none\n");
}

void CliDecodeTest::info()
{
    QFETCH(Frames, frames);
    QFETCH(QByteArray, tail);
    QFETCH(QJsonObject, expected);
    QFETCH(QByteArray, textLine);
    QVERIFY(writeLogFile(nativePath(path("info.qvl")), frames));
    QFile log(path("info.qvl"));
    QVERIFY(log.open(QIODevice::Append) && log.write(tail) == tail.size());
    log.close();

    const CliRun run = runCli({"info", "--json", "--candb", path("db.json"), path("info.qvl")});
    QCOMPARE(run.status, 0);
    const QJsonObject facts = infoOf(run);
    for (auto fact = expected.begin(); fact != expected.end(); ++fact)
        QCOMPARE(facts[fact.key()].toVariant(), fact.value().toVariant());
    // Every frame is counted under its identifier, and the database's message is recognised.
    qint64 counted = 0;
    for (const QJsonValue identifier : facts["identifiers"].toArray()) {
        counted += identifier["frames"].toInteger();
        QCOMPARE(identifier["inCandb"].toBool(), identifier["id"].toInteger() == 0x123);
    }
    QCOMPARE(counted, facts["records"].toInteger());
    // The text tells the same facts.
    const CliRun text = runCli({"info", path("info.qvl")});
    QCOMPARE(text.status, 0);
    QVERIFY2(text.out.contains(textLine), text.out.constData());
    // decode warns of a blank tail in one line, and only of one.
    const CliRun decode =
        runCli({"decode", "--candb", path("db.json"), "-o", path("info.csv"), path("info.qvl")});
    QCOMPARE(decode.err.count("blank records"), expected["blankTailRecords"].toInt() > 0 ? 1 : 0);
}

QTEST_MAIN(CliDecodeTest)
#include "tst_clidecode.moc"
