#include "clirun.h"
#include "database/candb.h"
#include "database/databasefile.h"
#include "testfiles.h"

#include <QTemporaryDir>
#include <QtTest>

#include <sstream>

namespace {

const QString kExampleDbc = QUORVANE_EXAMPLES_DIR "/vehicle.dbc";

const QByteArray kMultiplexedDbc = "BO_ 100 Diag: 8 A\n SG_ Mode M : 0|8@1+ (1,0) [0|0] \"\" A\n"
                                   " SG_ Page1 m1 : 8|8@1+ (1,0) [0|0] \"\" A\n";

Candb readCandbText(const QByteArray &text)
{
    std::istringstream in(text.toStdString());
    return readCandb(in);
}

} // namespace

class TestDbcCli : public QObject
{
    Q_OBJECT

private slots:
    void convertsBesideTheDbcFile();
    void writesTheSameDocumentToStandardOutput();
    void warnsOfEachSignalLeftOut();
    void refusesWithoutTouchingTheOutput_data();
    void refusesWithoutTouchingTheOutput();
    void databaseInputReadsDbcFilesAsTheirConversion();
    void decodesTheExampleLogAsTheExampleCandbFileDoes();
};

// VEHICLE.DBC becomes VEHICLE.json in its folder, which the Candb reader accepts.
void TestDbcCli::convertsBesideTheDbcFile()
{
    QTemporaryDir dir;
    QVERIFY(QFile::copy(kExampleDbc, dir.filePath("VEHICLE.DBC")));
    const CliRun run = runCli({"candb-from-dbc", "VEHICLE.DBC"}, dir.path());
    QCOMPARE(run.status, 0);
    QCOMPARE(run.err, "quorvane-cli: 10 messages and 32 signals written to VEHICLE.json\n");
    const Candb candb = readCandbText(readFile(dir.filePath("VEHICLE.json")));
    QVERIFY2(candb.ok(), candb.error.c_str());
    QCOMPARE(candb.messages.size(), size_t(10));
}

void TestDbcCli::writesTheSameDocumentToStandardOutput()
{
    QTemporaryDir dir;
    const CliRun toFile = runCli({"candb-from-dbc", kExampleDbc, "-o", "vehicle.json"}, dir.path());
    const CliRun toOut = runCli({"candb-from-dbc", kExampleDbc, "-o", "-"}, dir.path());
    QCOMPARE(toFile.status, 0);
    QCOMPARE(toOut.status, 0);
    QCOMPARE(toOut.out, readFile(dir.filePath("vehicle.json")));
    QVERIFY(toOut.err.endsWith("written to standard output\n"));
}

// Each kind of irregular text in one line, then each signal left out.
void TestDbcCli::warnsOfEachSignalLeftOut()
{
    QTemporaryDir dir;
    QVERIFY(writeFile(dir.filePath("diag.dbc"), kMultiplexedDbc + "CM_ \"no ';'\"\n"));
    const CliRun run = runCli({"candb-from-dbc", "diag.dbc"}, dir.path());
    QCOMPARE(run.status, 0);
    QCOMPARE(run.err, "quorvane-cli: 1 statement without its closing ';', at line 4\n"
                      "quorvane-cli: message Diag (id 100), signal Page1: left out (multiplexed, "
                      "m1)\nquorvane-cli: 1 message and 1 signal written to diag.json; 1 signal "
                      "left out\n");
    QVERIFY(readCandbText(readFile(dir.filePath("diag.json"))).ok());
}

void TestDbcCli::refusesWithoutTouchingTheOutput_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("message");

    QTest::newRow("a line it cannot read is named, an earlier Candb file kept")
        << QStringList{"bad.dbc", "-o", "out.json"} << 1
        << "quorvane-cli: bad.dbc: line 2: expected '|' after the start bit, found '8'\n";
    QTest::newRow("a file without any message, such as one with old Mac line ends once was")
        << QStringList{"empty.dbc", "-o", "out.json"} << 1
        << "quorvane-cli: empty.dbc: line 3: the file ends without a message (BO_) to convert\n";
    QTest::newRow("a missing DBC file") << QStringList{"none.dbc", "-o", "out.json"} << 1
                                        << "quorvane-cli: none.dbc: no such file\n";
    QTest::newRow("a folder is not read as a DBC file")
        << QStringList{"folder.dbc", "-o", "out.json"} << 1
        << "quorvane-cli: folder.dbc: not a regular file\n";
    QTest::newRow("the Candb file may not replace the DBC file")
        << QStringList{"out.json", "-o", "out.json"} << 1
        << "quorvane-cli: out.json: the Candb file would replace the DBC file\n";
    QTest::newRow("no DBC file is a usage error")
        << QStringList{"-o", "out.json"} << 2
        << "quorvane-cli: no DBC file given\nquorvane-cli: try 'quorvane-cli help "
           "candb-from-dbc'\n";
}

void TestDbcCli::refusesWithoutTouchingTheOutput()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, message);

    QTemporaryDir dir;
    QVERIFY(
        writeFile(dir.filePath("bad.dbc"), "BO_ 1 M: 8 A\n SG_ S : 0 8@1+ (1,0) [0|0] \"\" A\n"));
    QVERIFY(writeFile(dir.filePath("empty.dbc"), "VERSION \"\"\n\nBU_: A\n"));
    QVERIFY(QDir(dir.path()).mkdir("folder.dbc"));
    const QByteArray earlier = "{\"messages\": []}\n";
    QVERIFY(writeFile(dir.filePath("out.json"), earlier));

    const CliRun run = runCli(QStringList{"candb-from-dbc"} + arguments, dir.path());
    QCOMPARE(run.status, status);
    QCOMPARE(QString::fromUtf8(run.err), message);
    QCOMPARE(readFile(dir.filePath("out.json")), earlier);
}

// The database choice reads a DBC file, in any case of its ending, as the Candb document its
// conversion holds: a log then decodes to the same table with either.
void TestDbcCli::databaseInputReadsDbcFilesAsTheirConversion()
{
    QTemporaryDir dir;
    QVERIFY(QFile::copy(kExampleDbc, dir.filePath("vehicle.Dbc")));
    QCOMPARE(runCli({"candb-from-dbc", "vehicle.Dbc"}, dir.path()).status, 0);

    const DatabaseFile fromDbc = readDatabaseFile(nativePath(dir.filePath("vehicle.Dbc")));
    const DatabaseFile fromJson = readDatabaseFile(nativePath(dir.filePath("vehicle.json")));
    QVERIFY(fromDbc.document && fromJson.document);
    QCOMPARE(fromDbc.document->dump(), fromJson.document->dump());

    QVERIFY(writeFile(dir.filePath("bad.dbc"), "BO_ x"));
    const DatabaseFile refused = readDatabaseFile(nativePath(dir.filePath("bad.dbc")));
    QVERIFY(!refused.document);
    QCOMPARE(qtText(refused.problem),
             "line 1: expected a message identifier from 0 to 4294967295, found 'x'");
}

// Decoding with the example DBC file gives byte for byte the table the example Candb file gives;
// signals the DBC reader left out are counted in one line.
void TestDbcCli::decodesTheExampleLogAsTheExampleCandbFileDoes()
{
    QTemporaryDir dir;
    const QString log = QUORVANE_EXAMPLES_DIR "/vehicle.qvl";
    const CliRun fromDbc =
        runCli({"decode", "--candb", kExampleDbc, "--quiet", "-o", "dbc.csv", log}, dir.path());
    const CliRun fromJson = runCli({"decode", "--candb", QUORVANE_EXAMPLES_DIR "/vehicle.json",
                                    "--quiet", "-o", "json.csv", log},
                                   dir.path());
    QCOMPARE(fromDbc.status, 0);
    QCOMPARE(fromJson.status, 0);
    QCOMPARE(fromDbc.err, QByteArray());
    const QByteArray table = readFile(dir.filePath("dbc.csv"));
    QVERIFY(table.startsWith("time,AccelPedal,AmbientTemp,"));
    QCOMPARE(table, readFile(dir.filePath("json.csv")));

    QVERIFY(writeFile(dir.filePath("diag.dbc"), kMultiplexedDbc));
    const CliRun leftOut =
        runCli({"decode", "--candb", "diag.dbc", "--quiet", "-o", "diag.csv", log}, dir.path());
    QCOMPARE(leftOut.status, 0);
    QCOMPARE(leftOut.err, "quorvane-cli: 1 signal of diag.dbc left out; 'quorvane-cli "
                          "candb-from-dbc diag.dbc' lists them\n");

    QVERIFY(writeFile(dir.filePath("wild.dbc"), kMultiplexedDbc + "VAL_ 100 Mode 0 \"x\"\n"));
    const CliRun irregular =
        runCli({"decode", "--candb", "wild.dbc", "--quiet", "-o", "wild.csv", log}, dir.path());
    QCOMPARE(irregular.status, 0);
    QCOMPARE(irregular.err, "quorvane-cli: 1 signal of wild.dbc left out, 1 kind of irregular "
                            "text read; 'quorvane-cli candb-from-dbc wild.dbc' lists them\n");
}

QTEST_GUILESS_MAIN(TestDbcCli)
#include "tst_dbccli.moc"
