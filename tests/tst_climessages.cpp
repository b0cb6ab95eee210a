// What the command line says about its files, in one voice: a missing or unreadable input gets
// the same words whatever kind of file it is, after its path; a command that writes a file closes
// with one line, which --quiet leaves out; a batch goes on past a bad input and fails at the end.
#include "clirun.h"
#include "testfiles.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString kExamples = QUORVANE_EXAMPLES_DIR;

} // namespace

class CliMessagesTest : public QObject
{
    Q_OBJECT
private slots:
    void messages_data();
    void messages();
};

void CliMessagesTest::messages_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("err");
    QTest::addColumn<QString>("written"); // a file the run must leave; empty for none

    const QByteArray p = "quorvane-cli: ";
    QTest::newRow("missing Candb file")
        << QStringList{"decode", "--candb", "missing.json", "-o", "t.csv", "vehicle.qvl"} << 1
        << p + "missing.json: Candb json not Valid: no such file\n"
        << QString();
    QTest::newRow("missing DBC file as the database")
        << QStringList{"info", "--candb", "missing.dbc", "vehicle.qvl"} << 1
        << p + "missing.dbc: Candb json not Valid: no such file\n"
        << QString();
    QTest::newRow("folder as the database")
        << QStringList{"decode", "--candb", "folder.json", "-o", "t.csv", "vehicle.qvl"} << 1
        << p + "folder.json: Candb json not Valid: not a regular file\n"
        << QString();
    QTest::newRow("missing DBC file to convert")
        << QStringList{"candb-from-dbc", "missing.dbc"} << 1 << p + "missing.dbc: no such file\n"
        << QString();
    QTest::newRow("missing log") << QStringList{"info", "missing.qvl"} << 1
                                 << p + "missing.qvl: LogFile not corrected: no such file\n"
                                 << QString();
    QTest::newRow("folder as a log")
        << QStringList{"info", "folder.qvl"} << 1
        << p + "folder.qvl: LogFile not corrected: not a regular file\n"
        << QString();
    QTest::newRow("missing candump log") << QStringList{"import", "missing.log", "-o", "x.qvl"} << 1
                                         << p + "missing.log: LogFile not corrected: no such file\n"
                                         << QString();
    QTest::newRow("missing configuration file")
        << QStringList{"show-config", "missing.qvc"} << 1 << p + "missing.qvc: no such file\n"
        << QString();
    QTest::newRow("missing table") << QStringList{"plot", "missing.csv", "-o", "x.png"} << 1
                                   << p + "missing.csv: no such file\n"
                                   << QString();
    QTest::newRow("export onto its log")
        << QStringList{"export", "vehicle.qvl", "-o", "vehicle.qvl", "--format", "candump"} << 1
        << p + "vehicle.qvl: Output file is an input file!\n"
        << QString();
    QTest::newRow("export with a missing database")
        << QStringList{"export", "vehicle.qvl", "--candb", "missing.json", "-o", "x.log"} << 1
        << p + "missing.json: Candb json not Valid: no such file\n"
        << QString();

    QTest::newRow("import closes with a line") << QStringList{"import", "one.log", "-o", "one.qvl"}
                                               << 0 << p + "one.qvl: 1 frame written\n"
                                               << "one.qvl";
    QTest::newRow("import, quiet") << QStringList{"import", "one.log", "-o", "one.qvl", "--quiet"}
                                   << 0 << QByteArray() << "one.qvl";
    QTest::newRow("export closes with a line") << QStringList{"export", "one.qvl", "-o", "back.log"}
                                               << 0 << p + "back.log: 2 frames written\n"
                                               << "back.log";
    QTest::newRow("export, quiet") << QStringList{"export", "one.qvl", "-o", "back.asc", "--quiet"}
                                   << 0 << QByteArray() << "back.asc";
    QTest::newRow("make-config closes with a line")
        << QStringList{"make-config", "--can1", "500000", "-o", "c.qvc"} << 0
        << p + "c.qvc: Config write correctly!\n"
        << "c.qvc";
    QTest::newRow("make-config, quiet")
        << QStringList{"make-config", "--can1", "500000", "-o", "c.qvc", "--quiet"} << 0
        << QByteArray() << "c.qvc";
    QTest::newRow("candb-from-dbc, quiet") << QStringList{"candb-from-dbc", "small.dbc", "--quiet"}
                                           << 0 << QByteArray() << "small.json";

    QTest::newRow("decode goes on past a bad log")
        << QStringList{"decode", "--candb", "vehicle.json", "--out-dir",
                       ".",      "--quiet", "missing.qvl",  "vehicle.qvl"}
        << 1
        << p + "missing.qvl: LogFile not corrected: no such file\n" + p +
               "1 of 2 logs failed: missing.qvl\n"
        << "vehicle.csv";
    QTest::newRow("info goes on past a bad log")
        << QStringList{"info", "missing.qvl", "vehicle.qvl"} << 1
        << p + "missing.qvl: LogFile not corrected: no such file\n"
        << QString();
}

void CliMessagesTest::messages()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QByteArray, err);
    QFETCH(QString, written);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    for (const char *name : {"vehicle.json", "vehicle.qvl"})
        QVERIFY(QFile::copy(kExamples + '/' + name, dir.filePath(name)));
    QVERIFY(QDir(dir.path()).mkdir("folder.json") && QDir(dir.path()).mkdir("folder.qvl"));
    QVERIFY(writeFile(dir.filePath("one.log"), "(0.000000) can0 123#11\n"));
    QVERIFY(writeFile(dir.filePath("one.qvl.log"), "(0.000000) can0 123#11\n"
                                                   "(0.500000) can0 124#22\n"));
    QCOMPARE(runCli({"import", "one.qvl.log", "-o", "one.qvl", "--quiet"}, dir.path()).status, 0);
    QVERIFY(writeFile(dir.filePath("small.dbc"),
                      "BO_ 291 Speed: 8 Node\n"
                      " SG_ Kmh : 0|16@1+ (0.1,0) [0|6553.5] \"km/h\" Node\n"));

    const CliRun run = runCli(arguments, dir.path());
    QCOMPARE(run.err, err);
    QCOMPARE(run.status, status);
    if (!written.isEmpty())
        QVERIFY2(QFileInfo(dir.filePath(written)).size() > 0, qPrintable(written));
}

QTEST_GUILESS_MAIN(CliMessagesTest)
#include "tst_climessages.moc"
