// The "Config Generator" button: checks, messages, the record and the file.
#include "candecoder.h"
#include "config/configrecord.h"
#include "mainwindow.h"
#include "messageboxrecorder.h"
#include "testfiles.h"
#include "windowchildren.h"

#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QtTest>

#include <memory>

namespace {

const QString kSpeeds = "\nSpeed available:\n1000000,500000,250000,125000,100000,83333,50000,33333";

// Records whether "Config Generator" was enabled while each message box was shown.
class GeneratorStateProbe : public QObject
{
public:
    explicit GeneratorStateProbe(QPushButton *generator) : generator(generator)
    {
        qApp->installEventFilter(this);
    }
    ~GeneratorStateProbe() override { qApp->removeEventFilter(this); }
    QList<bool> enabledAtEachBox;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show && qobject_cast<QMessageBox *>(watched))
            enabledAtEachBox << generator->isEnabled();
        return QObject::eventFilter(watched, event);
    }

private:
    QPushButton *generator;
};

Signal unsignedByte(double factor, double offset)
{
    Signal sig;
    sig.ID = 0x123;
    sig.name = "Speed";
    sig.DLC = 8;
    sig.start_bit = 8;
    sig.msb = 15;
    sig.lsb = 8;
    sig.size = 8;
    sig.factor = factor;
    sig.offset = offset;
    sig.is_little_endian = true;
    return sig;
}

} // namespace

class TestConfigurator : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void firstGenerationWritesTheDocumentedFile();
    void severalFailuresShowTheirMessagesInOrder_data();
    void severalFailuresShowTheirMessagesInOrder();
    void busSpeed_data();
    void busSpeed();
    void disabledBusKeepsDefaultTiming();
    void modeBoxesSetCanMode();
    void identifierTrigger_data();
    void identifierTrigger();
    void alwaysTogetherWithIdWritesTheIdentifier();
    void signalTrigger_data();
    void signalTrigger();
    void signalTriggerWithoutSignal_data();
    void signalTriggerWithoutSignal();
    void signalPastTheLoggedBytesIsRefused();
    void triggerFieldsStayAcrossGenerations();
    void filterValuesComeFromTheRecord();
    void generatorIsDisabledOnlyWhileTheFileIsWritten();
    void unwritableFolderIsReported_data();
    void unwritableFolderIsReported();
    void folderNameOutsideLatin1Works();
    void signalTriggerFromTheListEndToEnd();

private:
    QStringList generate();
    ConfigImage writtenImage() const;
    void setText(const char *field, const QString &text);
    void click(const char *button);
    QCheckBox *box(const char *name) { return child<QCheckBox>(*window, name); }
    void chooseSignalTrigger(const Signal &sig, const QString &value);

    std::unique_ptr<QTemporaryDir> folder;
    std::unique_ptr<MainWindow> window;
    QList<ShownMessage> shown;
};

void TestConfigurator::init()
{
    // The record lives for the whole run; each test starts from the program's starting state.
    canSet = Config{};
    selTrigSig = Signal{};
    mp.clear();
    folder = std::make_unique<QTemporaryDir>();
    FilepathConfig = folder->path();
    window = std::make_unique<MainWindow>();
}

void TestConfigurator::cleanup()
{
    window.reset();
    folder.reset();
}

QStringList TestConfigurator::generate()
{
    MessageBoxRecorder boxes;
    click("Generator");
    shown = boxes.messages();
    return boxes.texts();
}

ConfigImage TestConfigurator::writtenImage() const
{
    const QByteArray bytes = readFile(folder->filePath("config.qvc"));
    ConfigImage image{};
    if (bytes.size() == int(image.size()))
        std::copy(bytes.begin(), bytes.end(), image.begin());
    return image;
}

void TestConfigurator::setText(const char *field, const QString &text)
{
    child<QTextEdit>(*window, field)->setPlainText(text);
}

void TestConfigurator::click(const char *button)
{
    child<QAbstractButton>(*window, button)->click();
}

void TestConfigurator::chooseSignalTrigger(const Signal &sig, const QString &value)
{
    selTrigSig = sig;
    box("TrigSig")->setChecked(true);
    box("TrigAlways")->setChecked(false);
    setText("valueTrig", value);
}

void TestConfigurator::firstGenerationWritesTheDocumentedFile()
{
    setText("speed1", "500000");
    click("En2");
    QCOMPARE(generate(), QStringList{"Config write correctly!"});
    QCOMPARE(shown.first(), (ShownMessage{QMessageBox::Information, "Finish",
                                          "Config write correctly!", QMessageBox::Ok, false}));
    QCOMPARE(readFile(folder->filePath("config.qvc")),
             QByteArray::fromHex("06000000 00000e00 00001000 00000100"
                                 "00000000 00000000 00000000 00000000"
                                 "03000000 00000e00 00001000 00000000"
                                 "00000000 00000000 00000000 00000000"
                                 "00000000 00000000 00000000 00000000"
                                 "00000000 00000000 020a0000 00000000"));
}

void TestConfigurator::severalFailuresShowTheirMessagesInOrder_data()
{
    QTest::addColumn<bool>("busesOff");
    QTest::addColumn<bool>("noTrigger");
    QTest::addColumn<bool>("noFolder");
    QTest::addColumn<QString>("speed1");
    QTest::addColumn<QString>("speed2");
    QTest::addColumn<QStringList>("messages");
    QTest::newRow("no bus and no trigger")
        << true << true << false << ""
        << "" << QStringList{"Select at least 1 Bus!", "Select trigger mode!"};
    QTest::newRow("no bus, no trigger and no folder")
        << true << true << true << ""
        << ""
        << QStringList{"Select at least 1 Bus!", "Select trigger mode!",
                       "Output folder not selected!"};
    QTest::newRow("both speeds missing") << false << false << false << ""
                                         << "" << QStringList{"Insert Speed1!", "Insert Speed2"};
    QTest::newRow("bad speeds, no folder")
        << false << false << true << "fast"
        << "125001"
        << QStringList{"Speed1 not number!", "Wrong Can speed2!" + kSpeeds,
                       "Output folder not selected!"};
    QTest::newRow("both rates unknown")
        << false << false << false << "-500000"
        << "0" << QStringList{"Wrong Can speed1!" + kSpeeds, "Wrong Can speed2!" + kSpeeds};
}

void TestConfigurator::severalFailuresShowTheirMessagesInOrder()
{
    QFETCH(bool, busesOff);
    QFETCH(bool, noTrigger);
    QFETCH(bool, noFolder);
    QFETCH(QString, speed1);
    QFETCH(QString, speed2);
    QFETCH(QStringList, messages);
    if (busesOff) {
        click("En1");
        click("En2");
    }
    if (noTrigger)
        click("TrigAlways");
    if (noFolder)
        FilepathConfig.clear();
    setText("speed1", speed1);
    setText("speed2", speed2);

    QCOMPARE(generate(), messages);
    for (const ShownMessage &message : shown) {
        QCOMPARE(message.icon, QMessageBox::Critical);
        QCOMPARE(message.title, QString("Error"));
        QCOMPARE(message.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        QVERIFY(!message.hadParent);
    }
    QVERIFY(!QFile::exists(folder->filePath("config.qvc")));
    QVERIFY(child<QPushButton>(*window, "Generator")->isEnabled());
}

void TestConfigurator::busSpeed_data()
{
    QTest::addColumn<int>("bus");
    QTest::addColumn<QString>("speed");
    QTest::addColumn<QString>("message"); // empty: the file is written
    QTest::addColumn<int>("prescaler");
    QTest::newRow("500000") << 1 << "500000"
                            << "" << 6;
    QTest::newRow("1000000") << 1 << "1000000"
                             << "" << 3;
    QTest::newRow("33333 on bus 2") << 2 << "33333"
                                    << "" << 90;
    QTest::newRow("83333 on bus 2") << 2 << "83333"
                                    << "" << 36;
    QTest::newRow("+250000 with a sign") << 1 << "+250000"
                                         << "" << 12;
    QTest::newRow("500000.0") << 1 << "500000.0"
                              << "Speed1 not number!" << 3;
    QTest::newRow("one blank") << 1 << " "
                               << "Speed1 not number!" << 3;
    QTest::newRow("empty") << 1 << ""
                           << "Insert Speed1!" << 3;
    QTest::newRow("125001") << 1 << "125001"
                            << "Wrong Can speed1!" + kSpeeds << 3;
    QTest::newRow("bus 2 empty") << 2 << ""
                                 << "Insert Speed2" << 3;
    QTest::newRow("bus 2 hexadecimal") << 2 << "0x1F4"
                                       << "Speed2 not number!" << 3;
    QTest::newRow("bus 2 125001") << 2 << "125001"
                                  << "Wrong Can speed2!" + kSpeeds << 3;
}

// One bus on, the other off.
void TestConfigurator::busSpeed()
{
    QFETCH(int, bus);
    QFETCH(QString, speed);
    QFETCH(QString, message);
    QFETCH(int, prescaler);
    click(bus == 1 ? "En2" : "En1");
    setText(bus == 1 ? "speed1" : "speed2", speed);

    const QStringList expected =
        message.isEmpty() ? QStringList{"Config write correctly!"} : QStringList{message};
    QCOMPARE(generate(), expected);
    const Conf &conf = canSet.conf[bus - 1];
    QCOMPARE(int(conf.CAN_pre), prescaler);
    if (message.isEmpty())
        QCOMPARE(deserializeConfig(writtenImage()).conf[bus - 1].CAN_pre, uint16_t(prescaler));
    else
        QVERIFY(!QFile::exists(folder->filePath("config.qvc")));
}

void TestConfigurator::disabledBusKeepsDefaultTiming()
{
    // Bus 2 was on in an earlier generation; switching it off writes it as off with prescaler 3.
    setText("speed1", "250000");
    setText("speed2", "125000");
    QCOMPARE(generate(), QStringList{"Config write correctly!"});
    QCOMPARE(deserializeConfig(writtenImage()).conf[1].canEn, uint8_t(1));
    click("En2");
    QCOMPARE(generate(), QStringList{"Config write correctly!"});
    const Conf bus2 = deserializeConfig(writtenImage()).conf[1];
    QCOMPARE(bus2.canEn, uint8_t(0));
    QCOMPARE(bus2.CAN_pre, uint16_t(3));
    QCOMPARE(bus2.CAN_BS1, 0x000E0000u);
    QCOMPARE(bus2.CAN_BS2, 0x00100000u);
    QCOMPARE(child<QTextEdit>(*window, "speed2")->toPlainText(), QString("125000"));
}

void TestConfigurator::modeBoxesSetCanMode()
{
    setText("speed1", "500000");
    setText("speed2", "500000");
    click("Sil2");
    QCOMPARE(generate(), QStringList{"Config write correctly!"});
    const Config written = deserializeConfig(writtenImage());
    QCOMPARE(written.conf[0].canMode, uint8_t(0));
    QCOMPARE(written.conf[1].canMode, uint8_t(1));
}

void TestConfigurator::identifierTrigger_data()
{
    QTest::addColumn<bool>("extended");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message"); // empty: accepted
    QTest::addColumn<uint>("id");
    QTest::newRow("standard 0") << false << "0"
                                << "" << 0u;
    QTest::newRow("standard 2047") << false << "2047"
                                   << "" << 2047u;
    QTest::newRow("standard 2048") << false << "2048"
                                   << "Id Std trigger not in range!" << 0u;
    QTest::newRow("standard -1") << false << "-1"
                                 << "Id Std trigger not in range!" << 0u;
    QTest::newRow("hexadecimal") << false << "0x7FF"
                                 << "Id trigger not valid!" << 0u;
    QTest::newRow("empty") << true << ""
                           << "Id trigger not valid!" << 0u;
    QTest::newRow("extended 0") << true << "0"
                                << "" << 0x80000000u;
    QTest::newRow("extended 536870911") << true << "536870911"
                                        << "" << 0x9FFFFFFFu;
    QTest::newRow("extended 536870912") << true << "536870912"
                                        << "Id Ext trigger not in range!" << 0u;
    QTest::newRow("extended -1") << true << "-1"
                                 << "Id Ext trigger not in range!" << 0u;
}

void TestConfigurator::identifierTrigger()
{
    QFETCH(bool, extended);
    QFETCH(QString, text);
    QFETCH(QString, message);
    QFETCH(uint, id);
    setText("speed1", "500000");
    click("En2");
    click("TrigID");
    if (extended)
        click("TrigExt");
    setText("idTrig", text);

    if (message.isEmpty()) {
        QCOMPARE(generate(), QStringList{"Config write correctly!"});
        const SignalSTM32 trigger = deserializeConfig(writtenImage()).trigStm32;
        QCOMPARE(trigger.ID, id);
        QCOMPARE(trigger.isExt, uint8_t(extended));
        QCOMPARE(trigger.mode, uint8_t(1));
    } else {
        QCOMPARE(generate(), QStringList{message});
        QCOMPARE(canSet.trigStm32.mode, uint8_t(0)); // the trigger was left as it was
    }
}

void TestConfigurator::alwaysTogetherWithIdWritesTheIdentifier()
{
    setText("speed1", "500000");
    click("En2");
    click("TrigID");
    setText("idTrig", "291");
    setText("dbcpath", "other.json"); // a new Candb path checks "Always" and leaves "ID"
    QVERIFY(box("TrigAlways")->isChecked() && box("TrigID")->isChecked());

    QCOMPARE(generate(), QStringList{"Config write correctly!"});
    const SignalSTM32 trigger = deserializeConfig(writtenImage()).trigStm32;
    QCOMPARE(trigger.ID, 291u);
    QCOMPARE(trigger.mode, uint8_t(1));
    QCOMPARE(trigger.operation, uint8_t(10));
}

void TestConfigurator::signalTrigger_data()
{
    QTest::addColumn<double>("factor");
    QTest::addColumn<double>("offset");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("message"); // empty: accepted
    QTest::addColumn<qint64>("rawValue");
    QTest::addColumn<QString>("valueAfter");
    QTest::newRow("12.35 with 0.1") << 0.1 << 0.0 << "12.35"
                                    << "" << qint64(123) << "12.35";
    QTest::newRow("12.5 with 0.5 and -40") << 0.5 << -40.0 << "12.5"
                                           << "" << qint64(105) << "12.5";
    QTest::newRow("0.3 with 0.1") << 0.1 << 0.0 << "0.3"
                                  << "" << qint64(3) << "0.3";
    QTest::newRow("0.7 with 0.1") << 0.1 << 0.0 << "0.7"
                                  << "" << qint64(7) << "0.7";
    QTest::newRow("negative factor") << -0.5 << 0.0 << "-100"
                                     << "" << qint64(200) << "-100";
    QTest::newRow("upper end") << 0.5 << -40.0 << "87.5"
                               << "" << qint64(255) << "87.5";
    QTest::newRow("above the range") << 0.5 << -40.0 << "88"
                                     << "Value out of scale!" << qint64(0) << "";
    QTest::newRow("factor 0") << 0.0 << 5.0 << "5"
                              << "Value out of scale!" << qint64(0) << "";
    QTest::newRow("not a number") << 1.0 << 0.0 << "12,5"
                                  << "Sig value is not a number!" << qint64(0) << "12,5";
    QTest::newRow("empty") << 1.0 << 0.0 << ""
                           << "Sig value is not a number!" << qint64(0) << "";
}

void TestConfigurator::signalTrigger()
{
    QFETCH(double, factor);
    QFETCH(double, offset);
    QFETCH(QString, value);
    QFETCH(QString, message);
    QFETCH(qint64, rawValue);
    QFETCH(QString, valueAfter);
    setText("speed1", "500000");
    click("En2");
    child<QComboBox>(*window, "operation")->setCurrentIndex(3); // "!="
    chooseSignalTrigger(unsignedByte(factor, offset), value);

    if (message.isEmpty()) {
        QCOMPARE(generate(), QStringList{"Config write correctly!"});
        const SignalSTM32 trigger = deserializeConfig(writtenImage()).trigStm32;
        QCOMPARE(trigger.rawValue, rawValue);
        QCOMPARE(trigger.ID, 0x123u);
        QCOMPARE(trigger.mode, uint8_t(3));
        QCOMPARE(trigger.operation, uint8_t(3));
    } else {
        QCOMPARE(generate(), QStringList{message});
        QCOMPARE(canSet.trigStm32.mode, uint8_t(0));
    }
    QCOMPARE(child<QTextEdit>(*window, "valueTrig")->toPlainText(), valueAfter);
}

void TestConfigurator::signalTriggerWithoutSignal_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QStringList>("messages");
    QTest::newRow("valid value") << "1" << QStringList{"Trigger signal not selected!"};
    QTest::newRow("value not a number")
        << "x" << QStringList{"Trigger signal not selected!", "Sig value is not a number!"};
}

// A list emptied by a Candb file without signals leaves no signal to trigger on.
void TestConfigurator::signalTriggerWithoutSignal()
{
    QFETCH(QString, value);
    QFETCH(QStringList, messages);
    setText("speed1", "500000");
    click("En2");
    chooseSignalTrigger(Signal{}, value);
    QCOMPARE(generate(), messages);
    QVERIFY(!QFile::exists(folder->filePath("config.qvc")));
    QCOMPARE(child<QTextEdit>(*window, "valueTrig")->toPlainText(), value);
}

// The logger compares 8-bit bit numbers within the 8 logged bytes: bit 64 is no bit of a frame.
void TestConfigurator::signalPastTheLoggedBytesIsRefused()
{
    Signal sig = unsignedByte(1, 0);
    sig.start_bit = sig.lsb = 64;
    sig.msb = 71;
    setText("speed1", "500000");
    click("En2");
    chooseSignalTrigger(sig, "1");
    QCOMPARE(generate(), QStringList{"Trigger signal out of the frame!"});
    QCOMPARE(shown.first().icon, QMessageBox::Critical);
    QVERIFY(!QFile::exists(folder->filePath("config.qvc")));
    QCOMPARE(canSet.trigStm32.mode, uint8_t(0));
}

void TestConfigurator::triggerFieldsStayAcrossGenerations()
{
    setText("speed1", "500000");
    click("En2");
    child<QComboBox>(*window, "operation")->setCurrentIndex(5);
    chooseSignalTrigger(unsignedByte(0.5, -40), "12.5");
    QCOMPARE(generate(), QStringList{"Config write correctly!"});

    click("TrigID");
    setText("idTrig", "1000");
    QCOMPARE(generate(), QStringList{"Config write correctly!"});
    SignalSTM32 trigger = deserializeConfig(writtenImage()).trigStm32;
    QCOMPARE(trigger.ID, 1000u);
    QCOMPARE(trigger.mode, uint8_t(1));
    QCOMPARE(trigger.DLC, uint8_t(8));
    QCOMPARE(trigger.lsb, uint8_t(8));
    QCOMPARE(trigger.rawValue, int64_t(105));
    QCOMPARE(trigger.operation, uint8_t(5));

    click("TrigAlways");
    QCOMPARE(generate(), QStringList{"Config write correctly!"});
    trigger = deserializeConfig(writtenImage()).trigStm32;
    QCOMPARE(trigger.mode, uint8_t(2));
    QCOMPARE(trigger.operation, uint8_t(10));
    QCOMPARE(trigger.ID, 1000u);
    QCOMPARE(trigger.rawValue, int64_t(105));

    // A failed generation changes the record but writes nothing; the next good one writes it.
    setText("speed2", "");
    click("En2");
    QCOMPARE(generate(), QStringList{"Insert Speed2"});
    QCOMPARE(deserializeConfig(writtenImage()).conf[1].canEn, uint8_t(0));
}

void TestConfigurator::filterValuesComeFromTheRecord()
{
    // The generator writes what the filter panels stored, not what the fields show now.
    setText("speed1", "500000");
    click("En2");
    click("List_2");
    canSet.conf[1].FilterIdHigh = 10;
    canSet.conf[1].FilterMaskIdLow = 65535;
    setText("IdHigh_2", "99");
    QCOMPARE(generate(), QStringList{"Config write correctly!"});
    const Conf bus2 = deserializeConfig(writtenImage()).conf[1];
    QCOMPARE(bus2.maskMode, uint8_t(1));
    QCOMPARE(bus2.FilterIdHigh, 10u);
    QCOMPARE(bus2.FilterMaskIdLow, 65535u);
}

void TestConfigurator::generatorIsDisabledOnlyWhileTheFileIsWritten()
{
    QPushButton *generator = child<QPushButton>(*window, "Generator");
    GeneratorStateProbe probe(generator);
    FilepathConfig.clear();
    QCOMPARE(generate(),
             QStringList({"Insert Speed1!", "Insert Speed2", "Output folder not selected!"}));
    QCOMPARE(probe.enabledAtEachBox, QList<bool>({true, true, true}));

    probe.enabledAtEachBox.clear();
    FilepathConfig = folder->path();
    setText("speed1", "500000");
    setText("speed2", "500000");
    QCOMPARE(generate(), QStringList{"Config write correctly!"});
    QCOMPARE(probe.enabledAtEachBox, QList<bool>{false});
    QVERIFY(generator->isEnabled());
}

void TestConfigurator::unwritableFolderIsReported_data()
{
    QTest::addColumn<QString>("subfolder");
    QTest::newRow("folder that does not exist") << "gone";
    QTest::newRow("folder that is a file") << "notes.txt";
}

void TestConfigurator::unwritableFolderIsReported()
{
    QFETCH(QString, subfolder);
    QVERIFY(writeFile(folder->filePath("notes.txt"), "not a folder"));
    FilepathConfig = folder->filePath(subfolder);
    setText("speed1", "500000");
    click("En2");
    QPushButton *generator = child<QPushButton>(*window, "Generator");
    GeneratorStateProbe probe(generator);
    QCOMPARE(generate(), QStringList{"Errore nella creazione del file!"});
    QCOMPARE(shown.first().title, QString("Error"));
    QCOMPARE(shown.first().icon, QMessageBox::Critical);
    QCOMPARE(probe.enabledAtEachBox, QList<bool>{false});
    QVERIFY(generator->isEnabled());
}

void TestConfigurator::folderNameOutsideLatin1Works()
{
    const QString name = QString::fromUtf8("配置 Ω");
    QVERIFY(QDir(folder->path()).mkdir(name));
    FilepathConfig = folder->filePath(name);
    setText("speed1", "500000");
    click("En2");
    QCOMPARE(generate(), QStringList{"Config write correctly!"});
    QCOMPARE(readFile(FilepathConfig + "/config.qvc").size(), 96);
}

void TestConfigurator::signalTriggerFromTheListEndToEnd()
{
    const QString candb = folder->filePath("db.json");
    QVERIFY(writeFile(candb, R"({"messages": [{"id": 2147484208, "dlc": 6, "signals": [
        {"name": "Temp", "startbit": 13, "bitlength": 10, "scaling": 0.1, "offset": 0,
         "signed": true},
        {"name": "Alpha", "startbit": 0, "bitlength": 4, "scaling": 1, "offset": 0,
         "signed": false, "endianess": true}]}]})"));
    setText("speed1", "500000");
    click("En2");
    setText("dbcpath", candb);
    click("TrigSig");
    child<QComboBox>(*window, "comboBox")->setCurrentText("Temp");
    child<QComboBox>(*window, "operation")->setCurrentIndex(4);
    setText("valueTrig", "-12.35");

    QCOMPARE(generate(), QStringList{"Config write correctly!"});
    const QByteArray trigger = readFile(folder->filePath("config.qvc")).mid(64);
    // id, dlc, isExt, start, msb, lsb, size, signed, little; reserved; raw -123; mode; operation.
    // The message's identifier is extended, and so is the trigger.
    QCOMPARE(trigger.toHex(' '), QByteArray::fromHex("30020080 06 01 0d 0d 14 0a 01 00 00000000"
                                                     "85ffffffffffffff 03 04 000000000000")
                                     .toHex(' '));
}

QTEST_MAIN(TestConfigurator)
#include "tst_configurator.moc"
