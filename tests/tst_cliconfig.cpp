// quorvane-cli make-config and show-config, run as a user would.
#include "clirun.h"
#include "testfiles.h"

#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString kCandb = R"({"messages": [{"id": 2147484208, "dlc": 6, "signals": [
    {"name": "Temp", "startbit": 13, "bitlength": 10, "scaling": 0.1, "offset": -20,
     "signed": true},
    {"name": "Wide", "startbit": 60, "bitlength": 8, "scaling": 1, "offset": 0,
     "signed": false, "endianess": true}]}]})";

const QStringList kSignalTrigger = {"--trigger", "signal", "--candb",   "db.json",
                                    "--signal",  "Temp",   "--compare", "le"};

// Bus 1 at 500000 bit/s, bus 2 off, trigger Always: the record's worked example.
QByteArray workedExample()
{
    return QByteArray::fromHex("06000000 00000e00 00001000 00000100 00000000 00000000"
                               "00000000 00000000 03000000 00000e00 00001000 00000000"
                               "00000000 00000000 00000000 00000000 00000000 00000000"
                               "00000000 00000000 00000000 00000000 020a0000 00000000");
}

} // namespace

class TestCliConfig : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        folder = std::make_unique<QTemporaryDir>();
        QVERIFY(writeFile(folder->filePath("db.json"), kCandb.toUtf8()));
    }

    void refusedOptionsWriteNothing_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("message");
        const QStringList bus = {"--can1", "500000"};
        QTest::newRow("--id without --trigger id")
            << bus + QStringList{"--id", "5"} << 2 << "--id needs --trigger id";
        QTest::newRow("--trigger id without --id")
            << bus + QStringList{"--trigger", "id"} << 2 << "--trigger id needs --id";
        QTest::newRow("--trigger signal without --value")
            << bus + kSignalTrigger << 2 << "--trigger signal needs --value";
        QTest::newRow("unknown comparison")
            << bus + kSignalTrigger.mid(0, 7) + QStringList{"=>", "--value", "1"} << 2
            << "--compare must be one of";
        QTest::newRow("unknown mode")
            << bus + QStringList{"--mode2", "listen"} << 2 << "--mode2 must be normal or silent";
        QTest::newRow("filter of three values") << bus + QStringList{"--filter1", "mask:1,2,3"} << 2
                                                << "--filter1 must be mask:A,B,C,D";
        QTest::newRow("an argument")
            << bus + QStringList{"extra"} << 2 << "unexpected argument 'extra'";
        QTest::newRow("no bus on") << QStringList() << 1 << "Select at least 1 Bus!";
        QTest::newRow("every problem, one per line, in the window's order")
            << QStringList{"--can1",           "125001",    "--can2", "fast", "--filter2",
                           "list:0,65536,0,0", "--trigger", "id",     "--id", "2048"}
            << 1
            << "quorvane-cli: CAN2 filter: IdLow Out Of Range Error!\n"
               "quorvane-cli: Speed2 not number!\n"
               "quorvane-cli: Id Std trigger not in range!\n"
               "quorvane-cli: Wrong Can speed1! Speed available: "
               "1000000,500000,250000,125000,100000,83333,50000,33333\n";
        QTest::newRow("value out of the signal's scale")
            << bus + kSignalTrigger + QStringList{"--value", "100"} << 1 << "Value out of scale!";
        QTest::newRow("signal outside the logged bytes")
            << bus + QStringList{"--trigger", "signal",    "--candb", "db.json", "--signal",
                                 "Wide",      "--compare", "gt",      "--value", "1"}
            << 1 << "Trigger signal out of the frame!";
        QTest::newRow("unknown signal")
            << bus + QStringList{"--trigger", "signal",    "--candb", "db.json", "--signal",
                                 "Speed",     "--compare", "gt",      "--value", "1"}
            << 1 << "no signal 'Speed'; the Candb file has: Temp, Wide";
        QTest::newRow("Candb file that is no Candb file")
            << bus + QStringList{"--trigger", "signal",    "--candb", "config.qvc", "--signal",
                                 "T",         "--compare", "gt",      "--value",    "1"}
            << 1 << "Candb json not Valid";
    }

    void refusedOptionsWriteNothing()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QString, message);
        const QByteArray earlier = "an earlier file";
        QVERIFY(writeFile(folder->filePath("config.qvc"), earlier));
        const CliRun run = runCli(QStringList{"make-config"} + arguments, folder->path());
        QCOMPARE(run.status, status);
        QVERIFY2(run.err.contains(message.toUtf8()), run.err.constData());
        QCOMPARE(readFile(folder->filePath("config.qvc")), earlier);
    }

    void workedExampleIntoAFolder()
    {
        QVERIFY(QDir(folder->path()).mkdir("card"));
        const CliRun run = runCli({"make-config", "--can1", "500000", "--can2", "off", "--trigger",
                                   "always", "-o", "card"},
                                  folder->path());
        QCOMPARE(run.status, 0);
        QCOMPARE(readFile(folder->filePath("card/config.qvc")).toHex(' '),
                 workedExample().toHex(' '));
    }

    void everyFieldIsShownBack()
    {
        const CliRun made = runCli(
            QStringList{"make-config", "--can1", "83333", "--mode1", "silent", "--can2", "33333",
                        "--filter1", "list:291,0,4660,7", "--filter2", "mask:64,4,65535,65532"} +
                kSignalTrigger + QStringList{"--value", "-12.3", "-o", "trip.qvc"},
            folder->path());
        QCOMPARE(made.status, 0);
        const CliRun shown =
            runCli({"show-config", "--candb", "db.json", "trip.qvc"}, folder->path());
        QCOMPARE(shown.status, 0);
        QCOMPARE(QString(shown.out), QString(R"(CAN1: on, 83333 bit/s, prescaler 36, silent
  filter: list mode
    FilterIdHigh      291 (0x0123)
    FilterIdLow       0 (0x0000)
    FilterMaskIdHigh  4660 (0x1234)
    FilterMaskIdLow   7 (0x0007)
    identifier 1      0x01230000 = standard identifier 0x009
    identifier 2      0x12340007 = extended identifier 0x02468000
CAN2: on, 33333 bit/s, prescaler 90, normal
  filter: mask mode
    FilterIdHigh      64 (0x0040)
    FilterIdLow       4 (0x0004)
    FilterMaskIdHigh  65535 (0xFFFF)
    FilterMaskIdLow   65532 (0xFFFC)
    identifier        0x00400004 = extended identifier 0x00080000
    mask              0xFFFFFFFC = extended identifier 0x1FFFFFFF
trigger: signal
  message           0x00000230 (560), extended
  data length       6
  start bit         13
  msb               13
  lsb               20
  size              10
  signed            yes
  byte order        big-endian (motorola)
  comparison        <=
  raw value         77
  signal            Temp
  physical value    -12.3
)"));
    }

    void identifierTriggerIsShownBack_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("trigger");
        QTest::newRow("standard") << QStringList{"--id", "2047"}
                                  << "trigger: identifier 0x7FF (2047), standard\n";
        QTest::newRow("extended") << QStringList{"--id", "536870911", "--extended"}
                                  << "trigger: identifier 0x1FFFFFFF (536870911), extended\n";
    }

    void identifierTriggerIsShownBack()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, trigger);
        QCOMPARE(
            runCli(QStringList{"make-config", "--can2", "50000", "--trigger", "id"} + arguments,
                   folder->path())
                .status,
            0);
        const CliRun shown = runCli({"show-config", "config.qvc"}, folder->path());
        QCOMPARE(shown.status, 0);
        QVERIFY2(shown.out.endsWith(trigger.toUtf8()), shown.out.constData());
    }

    void showConfigRefuses_data()
    {
        QTest::addColumn<QByteArray>("content"); // empty: a folder of that name
        QTest::addColumn<QString>("message");
        QByteArray strange = workedExample();
        strange[13] = 2;
        strange[95] = 1;
        QTest::newRow("95 bytes") << QByteArray(95, '\0')
                                  << "95 bytes, not the 96 of a configuration file";
        QTest::newRow("a folder") << QByteArray() << "not a regular file";
        QTest::newRow("values the Configurator never writes")
            << strange
            << "offset 13: CAN1 canMode is 2, never written by the Configurator (0 or 1)\n"
               "quorvane-cli: x.qvc: offset 95: reserved is 1, never written by the "
               "Configurator (0)\n";
    }

    void showConfigRefuses()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, message);
        const QString path = folder->filePath("x.qvc");
        QVERIFY(content.isEmpty() ? QDir().mkdir(path) : writeFile(path, content));
        const CliRun run = runCli({"show-config", "x.qvc"}, folder->path());
        QCOMPARE(run.status, 1);
        QVERIFY2(run.err.contains(message.toUtf8()), run.err.constData());
    }

private:
    std::unique_ptr<QTemporaryDir> folder;
};

QTEST_GUILESS_MAIN(TestCliConfig)
#include "tst_cliconfig.moc"
