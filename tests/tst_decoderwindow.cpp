#include "candecoder.h"
#include "clirun.h"
#include "decodertesting.h"
#include "mainwindow.h"
#include "messageboxrecorder.h"
#include "testfiles.h"
#include "ui_mainwindow.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTest>
#include <QTimer>

#include <clocale>
#include <fcntl.h>
#include <unistd.h>

// The Decoder through the window: the Convert button, the checks and their boxes, the end of a
// run, and the faults a user can meet.
class DecoderWindowTest : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir;
    MainWindow *window = nullptr;

    template <class Widget> Widget *widget(const char *name) const
    {
        return window->findChild<Widget *>(name);
    }
    QString path(const QString &name) const { return name.isEmpty() ? name : dir.filePath(name); }
    QString outputFile() const { return dir.filePath("out/table.csv"); }
    void setField(const char *name, const QString &text);
    // Fills the Decoder area; names are taken inside the test folder.
    void fill(const QString &log, const QString &candb, const QString &folder,
              const QString &fileName, const QString &frequency = "10");
    void convert() { widget<QPushButton>("Convert")->click(); }

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void checks_data();
    void checks();
    void candbPath_data();
    void candbPath();
    void finishedRun();
    void sameTableUnderAGermanLocale();
    void pathsOutsideLatin1();
    void candbRefusedByTheReader();
    void exampleDbcFileGivesTheTableOfItsCandbFile_data();
    void exampleDbcFileGivesTheTableOfItsCandbFile();
    void signalsLeftOutAreCountedAfterTheTable();
    void outputThatIsAnInput_data();
    void outputThatIsAnInput();
    void logThatCannotBeRead();
    void outputThatCannotBeCreated();
    void outputThatCannotBeWritten();
};

namespace {

const char *const kWorkedTable =
    "time,Gear,Speed\n0.120000,4.000000,200.000000\n0.230000,7.000000,300.000000\n";

// kSpeedGearCandb as a DBC file, and the same with a broken start bit in its third line.
const QByteArray kSpeedGearDbc = "BO_ 291 Drive: 2 ECU\n"
                                 " SG_ Speed : 0|16@1+ (0.01,0) [0|0] \"\" Logger\n"
                                 " SG_ Gear : 15|4@0+ (1,0) [0|0] \"\" Logger\n";
const QByteArray kBrokenDbc = QByteArray(kSpeedGearDbc).replace("15|4", "15 4");
// Beside it a message of multiplexed signals, two of which a Candb file cannot hold.
const QByteArray kMultiplexedDbc = kSpeedGearDbc +
                                   "BO_ 100 Diag: 8 ECU\n"
                                   " SG_ Mode M : 0|8@1+ (1,0) [0|0] \"\" Logger\n"
                                   " SG_ Page1 m1 : 8|8@1+ (1,0) [0|0] \"\" Logger\n"
                                   " SG_ Page2 m2 : 8|8@1+ (1,0) [0|0] \"\" Logger\n";

// What the program writes on standard output while `run` runs.
template <class Run> QByteArray standardOutputOf(Run run)
{
    QTemporaryFile capture;
    if (!capture.open())
        return "capture failed";
    std::fflush(stdout);
    const int saved = ::dup(STDOUT_FILENO);
    ::dup2(capture.handle(), STDOUT_FILENO);
    run();
    std::fflush(stdout);
    ::dup2(saved, STDOUT_FILENO);
    ::close(saved);
    capture.seek(0);
    return capture.readAll();
}

} // namespace

void DecoderWindowTest::initTestCase()
{
    QVERIFY(dir.isValid());
    QVERIFY(writeFile(dir.filePath("db.json"), kSpeedGearCandb));
    QVERIFY(writeFile(dir.filePath("db.JSON"), kSpeedGearCandb));
    QVERIFY(writeFile(dir.filePath("db.json.old"), kSpeedGearCandb));
    QVERIFY(writeFile(dir.filePath("db.DBC"), kSpeedGearDbc));
    QVERIFY(writeFile(dir.filePath("broken.dbc"), kBrokenDbc));
    QVERIFY(writeFile(dir.filePath("diag.dbc"), kMultiplexedDbc));
    for (const char *example : {"vehicle.qvl", "vehicle.json", "vehicle.dbc"})
        QVERIFY(QFile::copy(QUORVANE_EXAMPLES_DIR "/" + QString(example), dir.filePath(example)));
    QVERIFY(writeLogFile(nativePath(dir.filePath("run.qvl")), speedGearFrames()));
    QVERIFY(QFile::copy(dir.filePath("run.qvl"), dir.filePath("run.log")));
    QVERIFY(QDir(dir.path()).mkpath("logs.qvl"));
    QVERIFY(QFile::copy(dir.filePath("run.qvl"), dir.filePath("logs.qvl/run.bin")));
    QVERIFY(QDir(dir.path()).mkpath("folder.qvl"));
    QVERIFY(QDir(dir.path()).mkpath("out"));
}

void DecoderWindowTest::init()
{
    window = new MainWindow;
}

void DecoderWindowTest::cleanup()
{
    delete window;
    window = nullptr;
    QFile::remove(outputFile());
}

void DecoderWindowTest::setField(const char *name, const QString &text)
{
    // Typing into the field is what keeps the path strings up to date; clearing first makes
    // an empty text a change too.
    QTextEdit *field = widget<QTextEdit>(name);
    field->setPlainText("-");
    field->setPlainText(text);
}

void DecoderWindowTest::fill(const QString &log, const QString &candb, const QString &folder,
                             const QString &fileName, const QString &frequency)
{
    setField("logpath", path(log));
    setField("dbcpath", path(candb));
    setField("outputpath", path(folder));
    setField("FIleName", fileName);
    setField("ConvFreq", frequency);
    QCOMPARE(logstr, path(log));
    QCOMPARE(dbcstr, path(candb));
    QCOMPARE(outputstr, path(folder));
    QCOMPARE(OutNamestr, fileName);
}

void DecoderWindowTest::checks_data()
{
    QTest::addColumn<QString>("frequency");
    QTest::addColumn<QString>("log");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QStringList>("boxes");

    const QStringList finished{"Finish conversion!"};
    QTest::newRow("three failed checks, three boxes in order")
        << "abc"
        << "missing.qvl"
        << "out"
        << ""
        << QStringList{"Convertion frequency error!", "LogFile not corrected",
                       "Output file name not set!"};
    QTest::newRow("all four failed")
        << "0"
        << "run.log"
        << "nowhere"
        << ""
        << QStringList{"Convertion frequency out of scale!", "LogFile not corrected",
                       "Output folder not correct!", "Output file name not set!"};
    QTest::newRow("20000 Hz") << "20000"
                              << "run.qvl"
                              << "out"
                              << "table.csv" << finished;
    QTest::newRow("1 Hz") << "1"
                          << "run.qvl"
                          << "out"
                          << "table.csv" << finished;
    for (const char *scale : {"20001", "0", "-5"})
        QTest::newRow(scale) << scale << "run.qvl"
                             << "out"
                             << "table.csv" << QStringList{"Convertion frequency out of scale!"};
    for (const char *word : {"fast", "", "1e3", "0x10"})
        QTest::newRow(qPrintable(QString("'%1'").arg(word)))
            << word << "run.qvl"
            << "out"
            << "table.csv" << QStringList{"Convertion frequency error!"};
    QTest::newRow("log without .qvl") << "10"
                                      << "run.log"
                                      << "out"
                                      << "table.csv" << QStringList{"LogFile not corrected"};
    QTest::newRow(".qvl in the folder's name only") << "10"
                                                    << "logs.qvl/run.bin"
                                                    << "out"
                                                    << "table.csv" << finished;
    QTest::newRow("empty output folder")
        << "10"
        << "run.qvl"
        << ""
        << "table.csv" << QStringList{"Output folder not correct!"};
    QTest::newRow("output folder that is a file")
        << "10"
        << "run.qvl"
        << "run.log"
        << "table.csv" << QStringList{"Output folder not correct!"};
}

void DecoderWindowTest::checks()
{
    QFETCH(QString, frequency);
    QFETCH(QString, log);
    QFETCH(QString, folder);
    QFETCH(QString, fileName);
    QFETCH(QStringList, boxes);
    fill(log, "db.json", folder, fileName, frequency);
    MessageBoxRecorder recorder;
    convert();
    QCOMPARE(recorder.texts(), boxes);
    const bool finished = boxes == QStringList{"Finish conversion!"};
    QCOMPARE(QFile::exists(outputFile()), finished);
    for (const ShownMessage &box : recorder.messages()) {
        QCOMPARE(box.icon, finished ? QMessageBox::Information : QMessageBox::Critical);
        QCOMPARE(box.title, finished ? QString("Finish") : QString("Error"));
        QCOMPARE(box.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        QVERIFY(!box.hadParent);
    }
    QVERIFY(widget<QPushButton>("Convert")->isEnabled());
}

void DecoderWindowTest::candbPath_data()
{
    QTest::addColumn<QString>("candb");
    QTest::addColumn<QStringList>("boxes");
    QTest::newRow(".JSON in upper case") << "db.JSON" << QStringList{"Candb json not Valid"};
    QTest::newRow("db.json.old") << "db.json.old" << QStringList{"Finish conversion!"};
    QTest::newRow("no such file") << "none.json" << QStringList{"Candb json not Valid"};
    QTest::newRow("DBC file, .DBC in upper case") << "db.DBC" << QStringList{"Finish conversion!"};
    QTest::newRow("DBC file its reader refuses")
        << "broken.dbc"
        << QStringList{"Candb json not Valid\nline 3: expected '|' after the start bit, found '4'"};
    QTest::newRow("no such DBC file")
        << "none.dbc" << QStringList{"Candb json not Valid\nno such file"};
}

void DecoderWindowTest::candbPath()
{
    QFETCH(QString, candb);
    QFETCH(QStringList, boxes);
    fill("run.qvl", candb, "out", "table.csv");
    MessageBoxRecorder recorder;
    convert();
    QCOMPARE(recorder.texts(), boxes);
    if (boxes.first() == "Finish conversion!")
        QCOMPARE(readFile(outputFile()), QByteArray(kWorkedTable));
    else
        QVERIFY(!QFile::exists(outputFile()));
}

void DecoderWindowTest::finishedRun()
{
    QVERIFY(writeFile(outputFile(), QByteArray(5000, 'x')));
    fill("run.qvl", "db.json", "out", "table.csv");
    QPushButton *button = widget<QPushButton>("Convert");
    QProgressBar *progressBar = widget<QProgressBar>("progressBar");
    QSignalSpy bar(progressBar, &QProgressBar::valueChanged);
    // Runs while the conversion lets the window react.
    bool enabledDuringRun = true;
    bool barPaintsDuringRun = false;
    QTimer::singleShot(0, this, [&] {
        enabledDuringRun = button->isEnabled();
        barPaintsDuringRun = progressBar->updatesEnabled();
    });
    MessageBoxRecorder recorder;
    convert();

    QCOMPARE(readFile(outputFile()), QByteArray(kWorkedTable));
    QCOMPARE(recorder.messages(),
             QList<ShownMessage>({{QMessageBox::Information, "Finish", "Finish conversion!",
                                   QMessageBox::Ok, false}}));
    QVERIFY(!enabledDuringRun);
    QVERIFY(button->isEnabled());
    // The bar is painted whenever the window gets its turn, and as usual after the run.
    QVERIFY(barPaintsDuringRun);
    QVERIFY(progressBar->updatesEnabled());
    // Rows at the 2nd and the 4th of the four records, then back to 0.
    QList<int> values;
    for (const QList<QVariant> &change : bar)
        values << change.first().toInt();
    QCOMPARE(values, QList<int>({50, 100, 0}));
}

void DecoderWindowTest::sameTableUnderAGermanLocale()
{
    const std::string previous = std::setlocale(LC_ALL, nullptr);
    QVERIFY2(std::setlocale(LC_ALL, "de_DE.UTF-8"),
             "the de_DE.UTF-8 locale is missing (locales-all)");
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    fill("run.qvl", "db.json", "out", "table.csv");
    MessageBoxRecorder recorder;
    convert();
    std::setlocale(LC_ALL, previous.c_str());
    QLocale::setDefault(QLocale::c());
    QCOMPARE(recorder.texts(), QStringList{"Finish conversion!"});
    QCOMPARE(readFile(outputFile()), QByteArray(kWorkedTable));
}

void DecoderWindowTest::pathsOutsideLatin1()
{
    const QString folder = QString::fromUtf8("Prüfstand Ωδή 日本");
    QVERIFY(QDir(dir.path()).mkpath(folder));
    QVERIFY(QFile::copy(dir.filePath("run.qvl"), dir.filePath(folder + "/fahrt €.qvl")));
    QVERIFY(QFile::copy(dir.filePath("db.json"), dir.filePath(folder + "/база.json")));
    fill(folder + "/fahrt €.qvl", folder + "/база.json", folder, QString::fromUtf8("表.csv"));
    MessageBoxRecorder recorder;
    convert();
    QCOMPARE(recorder.texts(), QStringList{"Finish conversion!"});
    QCOMPARE(readFile(dir.filePath(folder + QString::fromUtf8("/表.csv"))),
             QByteArray(kWorkedTable));
}

void DecoderWindowTest::candbRefusedByTheReader()
{
    // test() is also reached with a database parsed elsewhere: it reads it with the one reader.
    QMainWindow host;
    Ui::MainWindow form;
    form.setupUi(&host);
    form.ConvFreq->setPlainText("10");
    fill("run.qvl", "db.json", "out", "table.csv");
    QVERIFY(writeFile(outputFile(), "earlier table"));
    json bad = json::parse(kSpeedGearCandb);
    bad["messages"][0]["signals"][0]["bitlength"] = 100;
    MessageBoxRecorder recorder;
    test(bad, &form);
    QCOMPARE(recorder.texts().size(), 1);
    QVERIFY(recorder.texts().first().startsWith("Candb json not Valid\n"));
    QCOMPARE(readFile(outputFile()), QByteArray("earlier table"));

    // The same through the Convert button, with a file that is no JSON at all.
    QVERIFY(writeFile(dir.filePath("broken.json"), "{\"messages\": ["));
    fill("run.qvl", "broken.json", "out", "table.csv");
    recorder.clear();
    convert();
    QCOMPARE(recorder.texts().size(), 1);
    QVERIFY(recorder.texts().first().startsWith("Candb json not Valid\n"));
    QCOMPARE(readFile(outputFile()), QByteArray("earlier table"));
}

void DecoderWindowTest::exampleDbcFileGivesTheTableOfItsCandbFile_data()
{
    QTest::addColumn<QString>("frequency");
    QTest::addColumn<bool>("smart");
    QTest::newRow("100 Hz") << "100" << false;
    QTest::newRow("smart at 7 Hz") << "7" << true;
}

// The same table from the example's Candb file and its DBC file, and the one the command line
// writes from the DBC file.
void DecoderWindowTest::exampleDbcFileGivesTheTableOfItsCandbFile()
{
    QFETCH(QString, frequency);
    QFETCH(bool, smart);
    QStringList cliArguments{"decode",  "--candb", "vehicle.dbc", "--freq",     frequency,
                             "--quiet", "-o",      "cli.csv",     "vehicle.qvl"};
    if (smart)
        cliArguments << "--smart";
    const CliRun cli = runCli(cliArguments, dir.path());
    QCOMPARE(cli.status, 0);
    const QByteArray cliTable = readFile(dir.filePath("cli.csv"));
    QVERIFY(cliTable.startsWith("time,AccelPedal,AmbientTemp,"));

    for (const char *candb : {"vehicle.dbc", "vehicle.json"}) {
        fill("vehicle.qvl", candb, "out", "table.csv", frequency);
        widget<QCheckBox>("smart")->setChecked(smart);
        MessageBoxRecorder recorder;
        convert();
        QCOMPARE(recorder.texts(), QStringList{"Finish conversion!"});
        QVERIFY2(readFile(outputFile()) == cliTable, candb);
    }
}

void DecoderWindowTest::signalsLeftOutAreCountedAfterTheTable()
{
    fill("run.qvl", "diag.dbc", "out", "table.csv");
    widget<QCheckBox>("smart")->setChecked(true); // no column for Diag, which the log lacks
    MessageBoxRecorder recorder;
    convert();
    const QString leftOut =
        QString("2 signals of %1 left out;\n'quorvane-cli candb-from-dbc %1' lists them")
            .arg(dir.filePath("diag.dbc"));
    QCOMPARE(
        recorder.messages(),
        QList<ShownMessage>(
            {{QMessageBox::Information, "Finish", "Finish conversion!", QMessageBox::Ok, false},
             {QMessageBox::Warning, "Warning", leftOut, QMessageBox::Ok, false}}));
    QCOMPARE(readFile(outputFile()), QByteArray(kWorkedTable));

    // No table, no count.
    recorder.clear();
    setField("FIleName", "");
    convert();
    QCOMPARE(recorder.texts(), QStringList{"Output file name not set!"});
}

void DecoderWindowTest::outputThatIsAnInput_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::newRow("the log") << "run.qvl";
    QTest::newRow("the Candb file") << "db.json";
    QTest::newRow("the log through another spelling") << "../out/../run.qvl";
    QTest::newRow("a link to the log") << "link.csv";
}

void DecoderWindowTest::outputThatIsAnInput()
{
    QFETCH(QString, fileName);
    QFile::remove(dir.filePath("link.csv"));
    QVERIFY(QFile::link(dir.filePath("run.qvl"), dir.filePath("link.csv")));
    const QByteArray log = readFile(dir.filePath("run.qvl"));
    const QByteArray candb = readFile(dir.filePath("db.json"));
    fill("run.qvl", "db.json", "", fileName);
    setField("outputpath", fileName.startsWith("..") ? dir.filePath("out") : dir.path());
    MessageBoxRecorder recorder;
    convert();
    QCOMPARE(recorder.texts(), QStringList{"Output file is an input file!"});
    QCOMPARE(readFile(dir.filePath("run.qvl")), log);
    QCOMPARE(readFile(dir.filePath("db.json")), candb);
    QVERIFY(widget<QPushButton>("Convert")->isEnabled());
}

void DecoderWindowTest::logThatCannotBeRead()
{
    QVERIFY(writeFile(outputFile(), "earlier table"));
    for (bool smart : {true, false}) {
        fill("folder.qvl", "db.json", "out", "table.csv");
        widget<QCheckBox>("smart")->setChecked(smart);
        MessageBoxRecorder recorder;
        convert();
        QCOMPARE(recorder.texts(), QStringList{"LogFile not corrected"});
        QCOMPARE(readFile(outputFile()), QByteArray("earlier table"));
        QVERIFY(widget<QPushButton>("Convert")->isEnabled());
    }
}

void DecoderWindowTest::outputThatCannotBeCreated()
{
    // A folder of the output's name cannot be opened as a file.
    fill("run.qvl", "db.json", "", "out");
    setField("outputpath", dir.path());
    MessageBoxRecorder recorder;
    const QByteArray printed = standardOutputOf([this] { convert(); });
    // The test framework prints its own lines there too.
    QVERIFY2(printed.startsWith("Errore nella creazione del file\n"), printed.constData());
    QCOMPARE(recorder.texts(), QStringList{"Errore nella creazione del file!"});
    QVERIFY(widget<QPushButton>("Convert")->isEnabled());
    QCOMPARE(widget<QProgressBar>("progressBar")->value(), 0);
}

void DecoderWindowTest::outputThatCannotBeWritten()
{
    fill("run.qvl", "db.json", "", "full");
    setField("outputpath", "/dev");
    MessageBoxRecorder recorder;
    convert();
    QCOMPARE(recorder.texts(), QStringList{"Errore nella scrittura del file!"});
    QVERIFY(widget<QPushButton>("Convert")->isEnabled());
    QCOMPARE(widget<QProgressBar>("progressBar")->value(), 0);
}

QTEST_MAIN(DecoderWindowTest)
#include "tst_decoderwindow.moc"
