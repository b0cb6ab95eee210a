#include "clirun.h"
#include "loginput.h"
#include "testfiles.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString kExampleLog = QUORVANE_EXAMPLES_DIR "/vehicle.qvl";
const QString kExampleCandb = QUORVANE_EXAMPLES_DIR "/vehicle.json";

} // namespace

// quorvane-cli export and import, and text logs taken wherever a log is.
class LogTextCliTest : public QObject
{
    Q_OBJECT

private:
    QScopedPointer<QTemporaryDir> dir;
    QString path(const QString &name) const { return dir->filePath(name); }
    QStringList files() const { return QDir(dir->path()).entryList(QDir::Files | QDir::Hidden); }

private slots:
    void init() { dir.reset(new QTemporaryDir); }
    void lengthsFromTheDatabase();
    void wrongUsage_data();
    void wrongUsage();
    void importWarnsAndRefuses();
    void outputNeverReplacesTheInput();
    void decodingATextDecodesItsFrames_data();
    void decodingATextDecodesItsFrames();
    void textLogsAreReadThroughATemporaryLog();
};

void LogTextCliTest::lengthsFromTheDatabase()
{
    const CliRun run = runCli(
        {"export", kExampleLog, "--candb", kExampleCandb, "-o", "dlc.log", "--channel", "vcan1"},
        dir->path());
    QCOMPARE(run.status, 0);
    // 0x1A0 has a "dlc" of 4 in the example's database.
    QVERIFY(readFile(path("dlc.log"))
                .startsWith("(2.500296) vcan1 0C0#D00C500014660100\n"
                            "(2.501292) vcan1 1A0#00000000\n"));

    QVERIFY(writeFile(path("broken.json"), "{\"messages\": 3}"));
    const CliRun broken =
        runCli({"export", kExampleLog, "--candb", "broken.json", "-o", "x.log"}, dir->path());
    QCOMPARE(broken.status, 1);
    QVERIFY(broken.err.startsWith("quorvane-cli: broken.json: Candb json not Valid"));
    QVERIFY(!QFile::exists(path("x.log")));
}

void LogTextCliTest::wrongUsage_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("message");
    QTest::newRow("export without -o")
        << QStringList{"export", kExampleLog} << QByteArray("give the file to write with -o");
    QTest::newRow("export to an extension of no format")
        << QStringList{"export", kExampleLog, "-o", "out.txt"}
        << QByteArray("cannot tell the format of 'out.txt'");
    QTest::newRow("export in an unknown format")
        << QStringList{"export", kExampleLog, "-o", "out.log", "--format", "blf"}
        << QByteArray("the format is candump or asc");
    QTest::newRow("ASC channel that is no number")
        << QStringList{"export", kExampleLog, "-o", "out.asc", "--channel", "can0"}
        << QByteArray("an ASC channel is a number from 1 to 255");
    QTest::newRow("candump channel with a space")
        << QStringList{"export", kExampleLog, "-o", "out.log", "--channel", "can 0"}
        << QByteArray("a candump channel is a name");
    QTest::newRow("import into a file the Decoder would not take")
        << QStringList{"import", "in.log", "-o", "out.bin"}
        << QByteArray("the log to write must be a .qvl file");
    QTest::newRow("import of two files") << QStringList{"import", "a.log", "b.log", "-o", "x.qvl"}
                                         << QByteArray("give one file to import");
}

void LogTextCliTest::wrongUsage()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, message);
    const CliRun run = runCli(arguments, dir->path());
    QCOMPARE(run.status, 2);
    QVERIFY2(run.err.startsWith("quorvane-cli: " + message), run.err.constData());
    QCOMPARE(files(), QStringList());
}

void LogTextCliTest::importWarnsAndRefuses()
{
    QVERIFY(writeFile(path("odd.log"), "(1.0) can0 123#R\n(1.1) can0 123##0\n(1.2) can0 123#01\n"));
    const CliRun odd = runCli({"import", "odd.log", "-o", "odd.qvl"}, dir->path());
    QCOMPARE(odd.status, 0);
    QCOMPARE(odd.err, QByteArray("quorvane-cli: odd.log: skipped 1 remote frame, 1 CAN FD frame\n"
                                 "quorvane-cli: odd.qvl: 1 frame written\n"));
    QVERIFY(writeLogFile(nativePath(path("expected.qvl")), {LogFrame{0x123, false, 1200000, {1}}}));
    QCOMPARE(readFile(path("odd.qvl")), readFile(path("expected.qvl")));

    QVERIFY(writeFile(path("bad.asc"), "base hex timestamps absolute\n1.0 1 123 Rx d 2 11\n"));
    const CliRun bad = runCli({"import", "bad.asc", "-o", "bad.qvl"}, dir->path());
    QCOMPARE(bad.status, 1);
    QCOMPARE(bad.err, QByteArray("quorvane-cli: bad.asc: LogFile not corrected: line 2: the "
                                 "length asks for 2 data bytes, from 0 to 255 in the base the "
                                 "header gives\n"));
    QVERIFY(!QFile::exists(path("bad.qvl")));
}

void LogTextCliTest::outputNeverReplacesTheInput()
{
    const QByteArray text = "(1.0) can0 123#01\n";
    QVERIFY(writeFile(path("drive.log"), text));
    for (const QString &command : {"export", "import"}) {
        const CliRun run =
            runCli({command, "drive.log", "--format", "candump", "-o", "drive.log"}, dir->path());
        QCOMPARE(run.status, command == "export" ? 1 : 2);
        QCOMPARE(readFile(path("drive.log")), text);
    }
}

void LogTextCliTest::decodingATextDecodesItsFrames_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("candump") << "vehicle.log";
    QTest::newRow("asc") << "vehicle.asc";
}

// Even with the frames cut to their messages' lengths, the table is the one of the .qvl.
void LogTextCliTest::decodingATextDecodesItsFrames()
{
    QFETCH(QString, text);
    QCOMPARE(
        runCli({"export", kExampleLog, "--candb", kExampleCandb, "-o", text}, dir->path()).status,
        0);
    const QStringList decode = {"decode", "--candb", kExampleCandb, "--quiet", "-o", "-"};
    const CliRun fromText = runCli(decode + QStringList{text}, dir->path());
    const CliRun fromLog = runCli(decode + QStringList{kExampleLog}, dir->path());
    QCOMPARE(fromText.status, 0);
    QCOMPARE(fromText.err, QByteArray());
    QCOMPARE(fromText.out.count('\n'), 7385);
    QVERIFY(fromText.out == fromLog.out);
    QCOMPARE(files(), QStringList{text});
}

void LogTextCliTest::textLogsAreReadThroughATemporaryLog()
{
    QVERIFY(writeFile(path("drive.asc"), "   1.500000 1  123  Rx   d 1 11\n"
                                         "   1.600000 1  ErrorFrame\n"));
    QVERIFY(
        writeLogFile(nativePath(path("expected.qvl")), {LogFrame{0x123, false, 1500000, {0x11}}}));
    QString temporary;
    {
        const LogInput input = prepareLogInput(path("drive.asc"));
        QVERIFY(input.ready());
        temporary = qtPath(input.readPath);
        QCOMPARE(QFileInfo(temporary).absolutePath(),
                 QFileInfo(QDir::tempPath()).absoluteFilePath());
        QCOMPARE(readFile(temporary), readFile(path("expected.qvl")));
    }
    QVERIFY(!QFile::exists(temporary));
    QCOMPARE(files(), QStringList({"drive.asc", "expected.qvl"}));

    QVERIFY(writeFile(path("bad.log"), "(1.0) can0 123#0\n"));
    QCOMPARE(prepareLogInput(path("bad.log")).problem,
             "LogFile not corrected\nline 1: the data must be up to 8 bytes of two hexadecimal "
             "digits each");
    QVERIFY(prepareLogInput(path("expected.qvl")).ready());
    QCOMPARE(prepareLogInput(path("missing.asc")).problem,
             QString("LogFile not corrected\nno such file"));
}

QTEST_GUILESS_MAIN(LogTextCliTest)
#include "tst_logtextcli.moc"
