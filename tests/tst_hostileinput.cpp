// Bad input and failing files through the window: each case shows its message, keeps the
// program running, and leaves every input and every earlier output file as it was.
#include "candecoder.h"
#include "decodertesting.h"
#include "filesizelimit.h"
#include "mainwindow.h"
#include "messageboxrecorder.h"
#include "testfiles.h"
#include "windowchildren.h"

#include <QCheckBox>
#include <QDirIterator>
#include <QMap>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <memory>

namespace {

using Snapshot = QMap<QString, QByteArray>;

const QByteArray kEarlierTable = "an earlier table\n";
const QByteArray kEarlierConfig(96, '\x5A');
const QByteArray kWorkedTable =
    "time,Gear,Speed\n0.120000,4.000000,200.000000\n0.230000,7.000000,300.000000\n";
const QByteArray kTenMegabyteName(10 << 20, 'N');

// What goes wrong while the conversion runs.
enum class Fault
{
    None,
    LogShrinks,
    DiskFills,
    FolderVanishes,
};

} // namespace

Q_DECLARE_METATYPE(Fault)

namespace {

// Every file below `root` with its bytes. Links are left out (one leads to /proc/self/mem), and
// a pipe is only listed, since opening it would wait for a writer.
Snapshot snapshotOf(const QString &root)
{
    Snapshot files;
    QDirIterator it(root, QDir::Files | QDir::Hidden | QDir::System | QDir::NoSymLinks,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile file(path);
        QByteArray &bytes = files[QDir(root).relativeFilePath(path)];
        if (!it.fileInfo().isFile())
            bytes = "(no regular file)";
        else
            bytes = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
    }
    return files;
}

// A Candb file whose Speed signal has another name and, when `faulty`, a length of 0 bits.
QByteArray candbWithSpeedNamed(const QByteArray &name, bool faulty)
{
    QByteArray text = kSpeedGearCandb;
    text.replace("\"Speed\"", "\"" + name + "\"");
    if (faulty)
        text.replace("\"bitlength\": 16", "\"bitlength\": 0");
    return text;
}

// Two seconds of a frame every 10 us, 3.2 MB: longer than one read of the log reader, and at
// 20000 Hz more than a megabyte of table.
Frames longDrive()
{
    Frames frames;
    for (uint32_t i = 1; i <= 200000; ++i)
        frames.push_back(standardFrame(0x123, i * 10, {uint8_t(i), uint8_t(i >> 8), 0x40}));
    return frames;
}

} // namespace

class HostileInputTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void decoder_data();
    void decoder();
    void configFolder_data();
    void configFolder();

private:
    QString path(const QString &name) const { return dir->filePath(name); }
    void makeFixture(const QString &name);
    void setField(const char *name, const QString &text);
    void fillDecoder(const QString &log, const QString &candb, const QString &folder,
                     const QString &frequency, bool smart);
    QStringList convert(Fault fault);
    void checkStillConverts();
    QStringList generateConfig();

    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<MainWindow> window;
};

void HostileInputTest::init()
{
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
    QVERIFY(writeFile(path("db.json"), kSpeedGearCandb));
    QVERIFY(writeLogFile(nativePath(path("run.qvl")), speedGearFrames()));
    QVERIFY(QDir(dir->path()).mkpath("out"));
    QVERIFY(writeFile(path("out/table.csv"), kEarlierTable));
    QVERIFY(QDir(dir->path()).mkpath("config"));
    QVERIFY(writeFile(path("config/config.qvc"), kEarlierConfig));
    canSet = Config{};
    window = std::make_unique<MainWindow>();
}

void HostileInputTest::cleanup()
{
    window.reset();
    // Read-only fixtures must not stop the folder's removal.
    for (const char *name : {"ro", "noperm.qvl"})
        ::chmod(nativePath(path(name)).c_str(), 0755);
    dir.reset();
}

// The files a row names, made on demand; the others are there from the start.
void HostileInputTest::makeFixture(const QString &name)
{
    const QByteArray log = readFile(path("run.qvl"));
    const std::string native = nativePath(path(name));
    if (name == "cut.qvl") { // three and a half records
        QVERIFY(writeFile(path(name), log.left(56)));
    } else if (name == "empty.qvl" || name == "empty.json") {
        QVERIFY(writeFile(path(name), QByteArray()));
    } else if (name == "noperm.qvl") {
        QVERIFY(writeFile(path(name), log));
        QCOMPARE(::chmod(native.c_str(), 0), 0);
    } else if (name == "ioerror.qvl") { // opens, but every read fails
        QVERIFY(QFile::link("/proc/self/mem", path(name)));
    } else if (name == "zero.qvl" || name == "zero.json") { // never ends
        QVERIFY(QFile::link("/dev/zero", path(name)));
    } else if (name == "pipe.qvl" || name == "pipe.json") { // opening waits for a writer
        QCOMPARE(::mkfifo(native.c_str(), 0644), 0);
    } else if (name == "long.qvl") {
        QVERIFY(writeLogFile(native, longDrive()));
    } else if (name == "html.json") {
        QVERIFY(writeFile(path(name), "<html><body>no JSON</body></html>"));
    } else if (name == "deep.json") {
        QVERIFY(writeFile(path(name), "{\"messages\": " + QByteArray(100000, '[') +
                                          QByteArray(100000, ']') + "}"));
    } else if (name == "wrongtypes.json") {
        QVERIFY(writeFile(path(name),
                          R"({"messages": [{"id": "291", "dlc": [2], "signals": [{"name": 7,
            "startbit": "0", "bitlength": null, "scaling": "0.01", "offset": {},
            "signed": "false", "endianess": "true"}]}]})"));
    } else if (name == "longname.json") {
        QVERIFY(writeFile(path(name), candbWithSpeedNamed(kTenMegabyteName, false)));
    } else if (name == "longname-faulty.json") {
        QVERIFY(writeFile(path(name), candbWithSpeedNamed(kTenMegabyteName, true)));
    } else if (name == "ro") {
        QVERIFY(QDir(dir->path()).mkdir(name));
        QCOMPARE(::chmod(native.c_str(), 0555), 0);
    } else if (name == "new") {
        QVERIFY(QDir(dir->path()).mkdir(name));
    }
}

void HostileInputTest::setField(const char *name, const QString &text)
{
    // Typing is what keeps the path strings up to date; clearing first makes any text a change.
    QTextEdit *field = child<QTextEdit>(*window, name);
    field->setPlainText("-");
    field->setPlainText(text);
}

void HostileInputTest::fillDecoder(const QString &log, const QString &candb, const QString &folder,
                                   const QString &frequency, bool smart)
{
    setField("logpath", path(log));
    setField("dbcpath", path(candb));
    setField("outputpath", path(folder));
    setField("FIleName", "table.csv");
    setField("ConvFreq", frequency);
    child<QCheckBox>(*window, "smart")->setChecked(smart);
}

// Clicks Convert; the fault strikes once 5 % of the log have been read.
QStringList HostileInputTest::convert(Fault fault)
{
    std::function<void()> strike;
    if (fault == Fault::LogShrinks)
        strike = [this] { QCOMPARE(::truncate(nativePath(path("long.qvl")).c_str(), 3 << 19), 0); };
    if (fault == Fault::FolderVanishes)
        strike = [this] { QVERIFY(QDir(path("new")).removeRecursively()); };
    QProgressBar *bar = child<QProgressBar>(*window, "progressBar");
    bool struck = false;
    const QMetaObject::Connection watch =
        QObject::connect(bar, &QProgressBar::valueChanged, [&](int percent) {
            if (strike && percent >= 5 && !struck) {
                struck = true;
                strike();
            }
        });
    // Room for a quarter of the table: the first block written fails part-way.
    std::unique_ptr<FileSizeLimit> limit;
    if (fault == Fault::DiskFills)
        limit = std::make_unique<FileSizeLimit>(256 << 10);

    MessageBoxRecorder recorder;
    child<QPushButton>(*window, "Convert")->click();
    limit.reset();
    QObject::disconnect(watch);
    if (strike && !struck)
        qWarning("the fault never struck");
    return recorder.texts();
}

// The window still works: a good conversion right after the bad one.
void HostileInputTest::checkStillConverts()
{
    QVERIFY(child<QPushButton>(*window, "Convert")->isEnabled());
    QCOMPARE(child<QProgressBar>(*window, "progressBar")->value(), 0);
    fillDecoder("run.qvl", "db.json", "", "10", false);
    setField("outputpath", dir->path());
    setField("FIleName", "again.csv");
    MessageBoxRecorder recorder;
    child<QPushButton>(*window, "Convert")->click();
    QCOMPARE(recorder.texts(), QStringList{"Finish conversion!"});
    QCOMPARE(readFile(path("again.csv")), kWorkedTable);
}

void HostileInputTest::decoder_data()
{
    QTest::addColumn<QString>("log");
    QTest::addColumn<QString>("candb");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("frequency");
    QTest::addColumn<bool>("smart");
    QTest::addColumn<Fault>("fault");
    QTest::addColumn<QString>("box");      // the text, or its start after the first line
    QTest::addColumn<QByteArray>("table"); // out/table.csv afterwards

    const QString invalid = "Candb json not Valid\n";
    const auto row = [](const char *name) { return &QTest::newRow(name); };
    // The log and its records.
    *row("log cut mid-record: the part is never decoded")
        << "cut.qvl"
        << "db.json"
        << "out"
        << "10" << false << Fault::None << "Finish conversion!"
        << QByteArray("time,Gear,Speed\n0.120000,4.000000,200.000000\n");
    *row("empty log: the header alone")
        << "empty.qvl"
        << "db.json"
        << "out"
        << "10" << false << Fault::None << "Finish conversion!" << QByteArray("time,Gear,Speed\n");
    *row("empty log, smart: no columns")
        << "empty.qvl"
        << "db.json"
        << "out"
        << "10" << true << Fault::None << "Finish conversion!" << QByteArray("time\n");
    *row("log without read permission")
        << "noperm.qvl"
        << "db.json"
        << "out"
        << "10" << false << Fault::None << "LogFile not corrected" << kEarlierTable;
    *row("log whose reading fails")
        << "ioerror.qvl"
        << "db.json"
        << "out"
        << "10" << true << Fault::None << "LogFile not corrected" << kEarlierTable;
    *row("log that is an endless device")
        << "zero.qvl"
        << "db.json"
        << "out"
        << "10" << true << Fault::None << "LogFile not corrected" << kEarlierTable;
    *row("log that is a pipe") << "pipe.qvl"
                               << "db.json"
                               << "out"
                               << "10" << false << Fault::None << "LogFile not corrected"
                               << kEarlierTable;
    // The Candb file.
    *row("empty Candb file") << "run.qvl"
                             << "empty.json"
                             << "out"
                             << "10" << false << Fault::None
                             << invalid + "parse error at line 1, column 1: " << kEarlierTable;
    *row("Candb file that is no JSON")
        << "run.qvl"
        << "html.json"
        << "out"
        << "10" << false << Fault::None
        << invalid + "parse error at line 1, column 1: " << kEarlierTable;
    *row("Candb file that is an endless device")
        << "run.qvl"
        << "zero.json"
        << "out"
        << "10" << false << Fault::None << invalid + "not a regular file" << kEarlierTable;
    *row("Candb file that is a pipe")
        << "run.qvl"
        << "pipe.json"
        << "out"
        << "10" << false << Fault::None << invalid + "not a regular file" << kEarlierTable;
    *row("Candb file nested 100000 levels deep")
        << "run.qvl"
        << "deep.json"
        << "out"
        << "10" << false << Fault::None << invalid + "the file is nested more than 100 levels deep"
        << kEarlierTable;
    *row("Candb file with every key of the wrong type")
        << "run.qvl"
        << "wrongtypes.json"
        << "out"
        << "10" << false << Fault::None
        << invalid + "message 1: \"id\" must be a whole number from 0 to 4294967295"
        << kEarlierTable;
    *row("Candb file with a 10 MB name: a 10 MB column heading")
        << "run.qvl"
        << "longname.json"
        << "out"
        << "10" << false << Fault::None << "Finish conversion!"
        << QByteArray("time,Gear," + kTenMegabyteName +
                      "\n0.120000,4.000000,200.000000\n0.230000,7.000000,300.000000\n");
    *row("Candb file with a 10 MB name on a faulty signal: the name cut short")
        << "run.qvl"
        << "longname-faulty.json"
        << "out"
        << "10" << false << Fault::None
        << invalid + "message 1 (id 291), signal \"" + QString(40, 'N') +
               "...\": \"bitlength\" must be a whole number from 1 to 64"
        << kEarlierTable;
    // The output.
    *row("read-only output folder")
        << "run.qvl"
        << "db.json"
        << "ro"
        << "10" << false << Fault::None << "Errore nella creazione del file!" << kEarlierTable;
    // Faults while converting.
    *row("log shrinks while converting")
        << "long.qvl"
        << "db.json"
        << "out"
        << "20000" << true << Fault::LogShrinks << "LogFile not corrected" << kEarlierTable;
    *row("disk fills while converting") << "long.qvl"
                                        << "db.json"
                                        << "out"
                                        << "20000" << false << Fault::DiskFills
                                        << "Errore nella scrittura del file!" << kEarlierTable;
    *row("output folder vanishes while converting")
        << "long.qvl"
        << "db.json"
        << "new"
        << "20000" << false << Fault::FolderVanishes << "Errore nella scrittura del file!"
        << kEarlierTable;
}

void HostileInputTest::decoder()
{
    QFETCH(QString, log);
    QFETCH(QString, candb);
    QFETCH(QString, folder);
    QFETCH(QString, frequency);
    QFETCH(bool, smart);
    QFETCH(Fault, fault);
    QFETCH(QString, box);
    QFETCH(QByteArray, table);
    if (::geteuid() == 0 && (log == "noperm.qvl" || folder == "ro"))
        QSKIP("root reads and writes whatever the permissions say");
    for (const QString &name : {log, candb, folder})
        makeFixture(name);
    Snapshot expected = snapshotOf(dir->path());
    expected["out/table.csv"] = table;
    if (fault == Fault::LogShrinks)
        expected.remove(log); // the fault itself changes it

    fillDecoder(log, candb, folder, frequency, smart);
    const QStringList boxes = convert(fault);

    QCOMPARE(boxes.size(), 1);
    QVERIFY2(boxes.first().startsWith(box), qPrintable(boxes.first().left(300)));
    QVERIFY2(boxes.first().size() < 300, "a message box must stay readable");
    Snapshot after = snapshotOf(dir->path());
    if (fault == Fault::LogShrinks)
        after.remove(log);
    QCOMPARE(after.keys(), expected.keys()); // nothing left behind, nothing removed
    for (auto file = expected.cbegin(); file != expected.cend(); ++file)
        QVERIFY2(after[file.key()] == file.value(), qPrintable(file.key() + " changed"));
    checkStillConverts();
}

QStringList HostileInputTest::generateConfig()
{
    child<QTextEdit>(*window, "speed1")->setPlainText("500000");
    child<QCheckBox>(*window, "En2")->setChecked(false);
    MessageBoxRecorder recorder;
    child<QPushButton>(*window, "Generator")->click();
    return recorder.texts();
}

void HostileInputTest::configFolder_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<bool>("diskFull");
    QTest::newRow("read-only folder") << "ro" << false;
    QTest::newRow("folder where nothing can be created, not even by root") << "/proc" << false;
    QTest::newRow("disk full, with an earlier config.qvc") << "config" << true;
}

void HostileInputTest::configFolder()
{
    QFETCH(QString, folder);
    QFETCH(bool, diskFull);
    if (::geteuid() == 0 && folder == "ro")
        QSKIP("root writes into a read-only folder all the same");
    makeFixture(folder);
    const Snapshot before = snapshotOf(dir->path());
    FilepathConfig = folder.startsWith('/') ? folder : path(folder);
    QStringList boxes;
    {
        // Less room than the record needs.
        std::unique_ptr<FileSizeLimit> limit;
        if (diskFull)
            limit = std::make_unique<FileSizeLimit>(40);
        boxes = generateConfig();
    }
    QCOMPARE(boxes, QStringList{"Errore nella creazione del file!"});
    QCOMPARE(snapshotOf(dir->path()), before);
    QVERIFY(!QFile::exists(FilepathConfig + "/config.qvc") || folder == "config");
    QVERIFY(child<QPushButton>(*window, "Generator")->isEnabled());

    // And the next generation into a folder that works.
    FilepathConfig = path("config");
    QCOMPARE(generateConfig(), QStringList{"Config write correctly!"});
    QCOMPARE(readFile(path("config/config.qvc")).size(), 96);
}

QTEST_MAIN(HostileInputTest)
#include "tst_hostileinput.moc"
