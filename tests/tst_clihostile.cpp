#include "clirun.h"
#include "log/logfile.h"
#include "testfiles.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QMap>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <dirent.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <memory>

namespace {

const QString kExampleLog = QUORVANE_EXAMPLES_DIR "/vehicle.qvl";
const QString kExampleCandb = QUORVANE_EXAMPLES_DIR "/vehicle.json";
const QByteArray kEarlierTable = "an earlier table\n";
const QByteArray kCandumpText = "(1.000000) can0 0C0#D00C500014660100\n"
                                "(1.010000) can0 1A0#00000000\n";
// Speed in two messages, and 0x0C0 defined twice.
const QByteArray kDuplicatesCandb = R"({"messages": [
    {"id": 192, "dlc": 8, "signals": [{"name": "Speed", "startbit": 0, "bitlength": 8,
                                       "scaling": 1, "offset": 0, "signed": false}]},
    {"id": 416, "dlc": 8, "signals": [{"name": "Speed", "startbit": 8, "bitlength": 8,
                                       "scaling": 1, "offset": 0, "signed": false}]},
    {"id": 192, "dlc": 8, "signals": []}]})";
const QString kLongName = QString(248, 'L') + ".csv"; // 252 bytes: no room for a longer name

// The file's SHA-256, or "absent": a file that must not appear is unchanged while absent.
QByteArray checksumOf(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return "absent";
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(&file);
    return hash.result().toHex();
}

// What a row asks of the run's surroundings before it starts.
void prepareRun(QProcess &process, const QStringList &setup)
{
    if (setup.contains("full output"))
        process.setStandardOutputFile("/dev/full");
    if (setup.contains("full disk")) {
        // As if the disk filled after 4 KiB: writes past that fail, for root too.
        process.setChildProcessModifier([] {
            ::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit = {4096, 4096};
            ::setrlimit(RLIMIT_FSIZE, &limit);
        });
    }
}

// A candump log long enough that a run is still importing it when stopped.
QByteArray longCandumpText()
{
    QByteArray text;
    for (int line = 0; line < 600000; ++line)
        text += QByteArray("(") + QByteArray::number(line * 1e-4, 'f', 6) +
                ") can0 0C0#D00C5000146601" + QByteArray::number(line % 16, 16) + "0\n";
    return text;
}

} // namespace

// quorvane-cli under hostile but realistic use: each case ends with its status and message and
// leaves the files it must not touch byte for byte as they were; runs into one new name at once,
// and runs stopped half-way, leave whole files or nothing.
class CliHostileTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> dir;
    QString path(const QString &name) const { return dir->filePath(name); }
    // Hidden files are what a run's temporary files would be.
    QStringList entries(const QString &folder) const
    {
        return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }

private slots:
    void init();
    void hostileCases_data();
    void hostileCases();
    void twoRunsIntoOneNewName();
    void stoppedRunsLeaveNothing_data();
    void stoppedRunsLeaveNothing();
    void namesThatAreNotUtf8_data();
    void namesThatAreNotUtf8();
};

void CliHostileTest::init()
{
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(QFile::copy(kExampleLog, path("drive.qvl")));
    QVERIFY(QFile::copy(kExampleCandb, path("db.json")));
    QVERIFY(QFile::copy(QUORVANE_EXAMPLES_DIR "/vehicle.dbc", path("db.dbc")));
    QVERIFY(writeFile(path("table.csv"), kEarlierTable));
    QVERIFY(writeFile(path("drive.csv"), kEarlierTable));
    QVERIFY(writeFile(path(kLongName), kEarlierTable));
    QVERIFY(writeFile(path("drive.log"), kCandumpText));
    QVERIFY(writeFile(path("empty.log"), ""));
    QVERIFY(writeFile(path("duplicates.json"), kDuplicatesCandb));
    QVERIFY(writeFile(path("back.csv"), "time,a\n0,1\n1,2\n2,3\n1.5,4\n"));
}

void CliHostileTest::hostileCases_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QStringList>("setup");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("text"); // in what the run printed
    QTest::addColumn<QStringList>("unchanged");

    const QStringList decode = {"decode", "--candb", "db.json", "drive.qvl", "-o"};
    QTest::newRow("a table with a second hard link, on a full disk")
        << decode + QStringList{"table.csv"} << QStringList{"hard link", "full disk"} << 1
        << "Errore nella scrittura del file!" << QStringList{"table.csv", "backup.csv"};
    QTest::newRow("a table with a 252-byte name, on a full disk")
        << decode + QStringList{kLongName} << QStringList{"full disk"} << 1
        << "Errore nella scrittura del file!" << QStringList{kLongName};
    const QStringList signalTrigger = {
        "make-config", "--can1",      "250000",    "--trigger", "signal",  "--candb", "db.json",
        "--signal",    "CoolantTemp", "--compare", ">",         "--value", "95",      "-o"};
    const QStringList asc = {"export", "drive.qvl", "--candb", "db.json", "--format", "asc", "-o"};
    for (const char *name : {"db.json", "hard.json", "soft.json"}) {
        QTest::newRow(qPrintable(QString("make-config into the database as %1").arg(name)))
            << signalTrigger + QStringList{name} << QStringList{"database links"} << 1
            << QString("%1: Output file is an input file!").arg(name) << QStringList{"db.json"};
        QTest::newRow(qPrintable(QString("export into the database as %1").arg(name)))
            << asc + QStringList{name} << QStringList{"database links"} << 1
            << QString("%1: Output file is an input file!").arg(name) << QStringList{"db.json"};
    }
    QTest::newRow("candb-from-dbc into its DBC file")
        << QStringList{"candb-from-dbc", "db.dbc", "-o", "./db.dbc"} << QStringList() << 1
        << "./db.dbc: Output file is an input file!" << QStringList{"db.dbc"};
    for (const char *option : {"-o", "--out-dir"})
        QTest::newRow(qPrintable(QString("an empty %1").arg(option)))
            << QStringList{"decode", "--candb", "db.json", "drive.qvl", option, ""} << QStringList()
            << 2 << QString("%1 needs a name, not ''").arg(option) << QStringList{"drive.csv"};
    const QList<QStringList> printing = {{"candb-from-dbc", "db.dbc", "-o", "-"},
                                         {"info", "drive.qvl"},
                                         {"info", "--json", "drive.qvl"},
                                         {"--help"}};
    for (const QStringList &arguments : printing)
        QTest::newRow(qPrintable(arguments.join(' ') + " into a full standard output"))
            << arguments << QStringList{"full output"} << 1
            << "quorvane-cli: standard output: Errore nella scrittura del file!\n"
            << QStringList{"db.json"};
    QTest::newRow("an import that finds no data frame")
        << QStringList{"import", "empty.log", "-o", "new.qvl"} << QStringList() << 1
        << "empty.log: LogFile not corrected: no data frame in the file" << QStringList{"new.qvl"};
    QTest::newRow("export to -") << QStringList{"export", "drive.qvl", "--format", "asc", "-o", "-"}
                                 << QStringList() << 2 << "export writes a file"
                                 << QStringList{"-"};
    QTest::newRow("--help-all") << QStringList{"make-config", "--can1", "500000", "--help-all"}
                                << QStringList() << 2 << "Unknown option 'help-all'"
                                << QStringList{"config.qvc"};
    QTest::newRow("a plotted table whose time goes back after the last row's time")
        << QStringList{"plot", "back.csv", "-o", "back.png"} << QStringList() << 1
        << "back.csv: line 5: the time 1.5 goes back from the line before"
        << QStringList{"back.png"};
    QTest::newRow("a trigger value between two raw counts")
        << QStringList{"make-config", "--can1",  "250000",   "--trigger",   "signal",
                       "--candb",     "db.json", "--signal", "CoolantTemp", "--compare",
                       ">",           "--value", "95.3",     "-o",          "c.qvc"}
        << QStringList() << 0 << "95.3 is stored as raw count 135, i.e. 95"
        << QStringList{"db.json"};
    QTest::newRow("a signal name in two messages, an identifier twice")
        << QStringList{"info", "--candb", "duplicates.json", "drive.qvl"} << QStringList() << 0
        << "duplicates.json: signal \"Speed\" is in message 1 (id 0x0C0) and message 2 (id "
           "0x1A0): its one column takes the values of both\nquorvane-cli: duplicates.json: "
           "identifier 0x0C0 is in message 1 and message 3: message 1 decodes its frames, "
           "message 3 is ignored\n"
        << QStringList{"duplicates.json"};
    QTest::newRow("info on a candump log gives that file's size")
        << QStringList{"info", "--json", "drive.log"} << QStringList() << 0
        << QString("\"size\": %1,").arg(kCandumpText.size()) << QStringList{"drive.log"};
}

void CliHostileTest::hostileCases()
{
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, setup);
    QFETCH(int, status);
    QFETCH(QString, text);
    QFETCH(QStringList, unchanged);
    if (setup.contains("database links")) {
        QCOMPARE(::link(nativePath(path("db.json")).c_str(), nativePath(path("hard.json")).c_str()),
                 0);
        QVERIFY(QFile::link("db.json", path("soft.json")));
    }
    if (setup.contains("hard link"))
        QCOMPARE(
            ::link(nativePath(path("table.csv")).c_str(), nativePath(path("backup.csv")).c_str()),
            0);
    QMap<QString, QByteArray> before;
    for (const QString &name : unchanged)
        before[name] = checksumOf(path(name));
    const QStringList entriesBefore = entries(dir->path());

    const CliRun run = runCli(arguments, dir->path(), {},
                              [&setup](QProcess &process) { prepareRun(process, setup); });
    QCOMPARE(run.status, status);
    QVERIFY2((run.out + run.err).contains(text.toUtf8()), run.err.constData());
    for (const QString &name : unchanged)
        QVERIFY2(checksumOf(path(name)) == before[name], qPrintable(name));
    // Nothing left behind: at most the file the run was to write.
    for (const QString &name : entries(dir->path()))
        QVERIFY2(entriesBefore.contains(name) || arguments.contains(name), qPrintable(name));
}

// Two runs write one new table at once, many times: the name always holds one whole table, and
// both runs succeed.
void CliHostileTest::twoRunsIntoOneNewName()
{
    // Two seconds of a frame every 10 us: at 20000 rows a second, a table of some megabytes.
    std::vector<LogFrame> frames;
    for (uint32_t i = 1; i <= 200000; ++i)
        frames.push_back(LogFrame{0x0C0, false, i * 10, {uint8_t(i), uint8_t(i >> 8)}});
    QVERIFY(writeLogFile(nativePath(path("long.qvl")), frames));
    const QStringList decode = {"decode", "--quiet", "--candb", "db.json", "long.qvl", "--freq"};
    QByteArray whole[2];
    for (int run = 0; run < 2; ++run) {
        const QString frequency = run == 0 ? "20000" : "10000";
        QCOMPARE(runCli(decode + QStringList{frequency, "-o", "whole.csv"}, dir->path()).status, 0);
        whole[run] = readFile(path("whole.csv"));
    }
    for (int round = 0; round < 30; ++round) {
        QFile::remove(path("race.csv"));
        QProcess runs[2];
        for (int run = 0; run < 2; ++run) {
            runs[run].setWorkingDirectory(dir->path());
            runs[run].start(QUORVANE_CLI_PATH,
                            decode + QStringList{run == 0 ? "20000" : "10000", "-o", "race.csv"});
        }
        for (QProcess &run : runs) {
            QVERIFY(run.waitForFinished(60000));
            QCOMPARE(run.exitCode(), 0);
        }
        const QByteArray table = readFile(path("race.csv"));
        QVERIFY2(table == whole[0] || table == whole[1], qPrintable(QString::number(round)));
        QCOMPARE(entries(dir->path()).filter(QRegularExpression("^\\.")), QStringList());
    }
}

void CliHostileTest::stoppedRunsLeaveNothing_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("import") << QStringList{"import", "long.log", "-o", "long.qvl"};
    QTest::newRow("decode of a candump log")
        << QStringList{"decode", "--candb", "db.json", "-o", "long.csv", "long.log"};
}

// Stopped by SIGTERM while it writes a file of its own (its output, or the log imported into
// the temporary folder): nothing of the run is left in either folder.
void CliHostileTest::stoppedRunsLeaveNothing()
{
    QFETCH(QStringList, arguments);
    QVERIFY(writeFile(path("long.log"), longCandumpText()));
    QVERIFY(QDir(dir->path()).mkdir("tmp"));
    const QStringList before = entries(dir->path());

    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("TMPDIR", path("tmp"));
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(dir->path());
    process.start(QUORVANE_CLI_PATH, arguments);
    QVERIFY(process.waitForStarted());
    const QString descriptors = QString("/proc/%1/fd").arg(process.processId());
    const QStringList inputs = {path("long.log"), path("db.json")};
    bool writing = false;
    for (QDeadlineTimer deadline(20000); !writing && !deadline.hasExpired();) {
        for (const QString &descriptor :
             QDir(descriptors).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)) {
            const QString file = QFile::symLinkTarget(descriptors + '/' + descriptor);
            writing |= file.startsWith(dir->path()) && !inputs.contains(file);
        }
    }
    QVERIFY(writing);
    ::kill(pid_t(process.processId()), SIGTERM);
    QVERIFY(process.waitForFinished(20000));
    QCOMPARE(process.exitStatus(), QProcess::CrashExit);
    QCOMPARE(entries(dir->path()), before);
    QCOMPARE(entries(path("tmp")), QStringList());
}

void CliHostileTest::namesThatAreNotUtf8_data()
{
    // In a shell command, where $B is the byte 0xFF, which no UTF-8 text holds.
    QTest::addColumn<QString>("command");
    QTest::addColumn<QByteArray>("written"); // the file the run must create, in bytes
    QTest::newRow("decode") << R"(decode --candb "db$B.json" -o "table$B.csv" "drive$B.qvl")"
                            << QByteArray("table\xff.csv");
    QTest::newRow("decode of a candump log into a folder")
        << R"(decode --candb "db$B.json" --out-dir "out$B" "drive$B.log")"
        << QByteArray("out\xff/drive\xff.csv");
    QTest::newRow("export") << R"(export "drive$B.qvl" --candb "db$B.json" -o "text$B.asc")"
                            << QByteArray("text\xff.asc");
    QTest::newRow("import") << R"(import "drive$B.log" -o "log$B.qvl")"
                            << QByteArray("log\xff.qvl");
    QTest::newRow("make-config") << R"(make-config --can1 500000 --trigger signal --candb )"
                                    R"("db$B.json" --signal CoolantTemp --compare gt --value 90 )"
                                    R"(-o "config$B.qvc")"
                                 << QByteArray("config\xff.qvc");
    QTest::newRow("candb-from-dbc")
        << R"(candb-from-dbc "db$B.dbc" -o "candb$B.json")" << QByteArray("candb\xff.json");
    QTest::newRow("plot") << R"(plot "table$B.csv" -o "plot$B.svg")" << QByteArray("plot\xff.svg");
}

// A file name is bytes: inputs and outputs whose names are not UTF-8 are taken as given, and no
// file appears under a name with U+FFFD in place of the byte.
void CliHostileTest::namesThatAreNotUtf8()
{
    QFETCH(QString, command);
    QFETCH(QByteArray, written);
    const std::string folder = nativePath(dir->path()) + '/';
    for (const char *name : {"db.json", "drive.qvl", "drive.log", "db.dbc", "table.csv"}) {
        const std::string given = name;
        const std::string bad =
            given.substr(0, given.find('.')) + '\xff' + given.substr(given.find('.'));
        QCOMPARE(::link((folder + given).c_str(), (folder + bad).c_str()), 0);
    }
    QVERIFY(writeFile(path("table.csv"), "time,a\n0,1\n1,2\n"));
    QCOMPARE(::mkdir((folder + "out\xff").c_str(), 0755), 0);

    QProcess shell;
    shell.setWorkingDirectory(dir->path());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("CLI", QUORVANE_CLI_PATH);
    shell.setProcessEnvironment(environment);
    shell.start("/bin/sh", {"-c", "B=$(printf '\\377'); exec \"$CLI\" " + command});
    QVERIFY(shell.waitForFinished(60000));
    QVERIFY2(shell.exitCode() == 0, shell.readAllStandardError().constData());
    QCOMPARE(::access((folder + written.toStdString()).c_str(), F_OK), 0);
    DIR *listing = ::opendir(folder.c_str());
    QVERIFY(listing);
    while (const dirent *entry = ::readdir(listing))
        QVERIFY2(!std::strstr(entry->d_name, "\xef\xbf\xbd"), entry->d_name); // U+FFFD
    ::closedir(listing);
}

QTEST_GUILESS_MAIN(CliHostileTest)
#include "tst_clihostile.moc"
