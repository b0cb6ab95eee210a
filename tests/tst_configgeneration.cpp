// The Configurator's rules in the core: request in, record and messages out; reading a record
// back.
#include "config/configgeneration.h"
#include "config/configinspection.h"
#include "corestrings.h"

#include <QtTest>

namespace {

// The record of the first generation with bus 1 at 500000 bit/s, bus 2 off and trigger Always.
const QByteArray kWorkedExample = QByteArray::fromHex("06000000 00000e00 00001000 00000100"
                                                      "00000000 00000000 00000000 00000000"
                                                      "03000000 00000e00 00001000 00000000"
                                                      "00000000 00000000 00000000 00000000"
                                                      "00000000 00000000 00000000 00000000"
                                                      "00000000 00000000 020a0000 00000000");

// The worked example with bytes replaced: "offset=hex offset=hex ...".
QByteArray exampleWith(const QString &edits)
{
    QByteArray image = kWorkedExample;
    for (const QString &edit : edits.split(' ', Qt::SkipEmptyParts)) {
        const QStringList parts = edit.split('=');
        const QByteArray bytes = QByteArray::fromHex(parts[1].toLatin1());
        image.replace(parts[0].toInt(), bytes.size(), bytes);
    }
    return image;
}

QByteArray bytesOf(const Config &config)
{
    const ConfigImage image = serializeConfig(config);
    return QByteArray(reinterpret_cast<const char *>(image.data()), int(image.size()));
}

// The worked example's request; rows change what they are about.
ConfigRequest exampleRequest()
{
    ConfigRequest request;
    request.buses[0] = {true, "500000", true, false};
    request.buses[1] = {false, "", true, false};
    request.trigger.always = true;
    request.output = "config.qvc";
    return request;
}

// A big-endian 10-bit signed signal at start bit 13 of a 6-byte message, factor 0.1.
ConfigRequest signalRequest(uint32_t messageId, int msb, const QString &value)
{
    ConfigRequest request = exampleRequest();
    request.trigger.always = false;
    request.trigger.signal = true;
    Signal &sig = request.trigger.chosen;
    sig = {messageId, "Temp", 0, 6, msb, msb, msb + 7, 10, true, 0.1, 0.0, false};
    request.trigger.comparison = 4;
    request.trigger.valueText = coreText(value);
    return request;
}

ConfigRequest withFilters(const FilterEntry &bus1, const FilterEntry &bus2)
{
    ConfigRequest request = exampleRequest();
    request.filters = {bus1, bus2};
    return request;
}

} // namespace

Q_DECLARE_METATYPE(ConfigRequest)

class TestConfigGeneration : public QObject
{
    Q_OBJECT

private slots:
    void generation_data()
    {
        QTest::addColumn<ConfigRequest>("request");
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<QByteArray>("record");
        const QString wrongSpeed1 = "Wrong Can speed1!\nSpeed available:\n"
                                    "1000000,500000,250000,125000,100000,83333,50000,33333";

        QTest::newRow("worked example") << exampleRequest() << QStringList() << kWorkedExample;
        QTest::newRow("filters in list and mask mode, each half in its place")
            << withFilters({true, {"291", "0", "4660", "10"}}, {false, {"0", "65535", "1", "2"}})
            << QStringList()
            << exampleWith("15=01 16=23010000 24=34120000 28=0a000000 52=ffff0000 56=01000000 "
                           "60=02000000");
        QTest::newRow("refused filter halves name their bus; the valid ones are stored")
            << withFilters({false, {"0", "0", "0", "0"}}, {true, {"65536", "0x10", "-1", "7"}})
            << QStringList{"CAN2 filter: IdHigh Out Of Range Error!", "CAN2 filter: IdLow Error!",
                           "CAN2 filter: MIdHigh Out Of Range Error!"}
            << exampleWith("47=01 60=07000000");
        QTest::newRow("filter problems come before the generation's") << [] {
            ConfigRequest request = exampleRequest();
            request.filters[0] = FilterEntry{false, {"", "0", "0", "0"}};
            request.buses[0].speed = "-500000";
            return request;
        }() << QStringList{"CAN1 filter: IdHigh Error!", wrongSpeed1} << exampleWith("0=03");
        QTest::newRow("silent bus 2 off keeps its mode and default timing") << [] {
            ConfigRequest request = exampleRequest();
            request.buses[1] = {false, "garbage", false, true};
            return request;
        }() << QStringList() << exampleWith("45=01");
        QTest::newRow("signal on an extended message writes isExt 1")
            << signalRequest(0x80000230, 13, "-12.35") << QStringList()
            << exampleWith("64=3002008006010d0d140a0100 80=85ffffffffffffff0304");
        QTest::newRow("signal past the 8 logged bytes is refused, the trigger stays")
            << signalRequest(0x230, 71, "1") << QStringList{"Trigger signal out of the frame!"}
            << exampleWith("88=0000");
        QTest::newRow("out of the frame and out of scale are both reported")
            << signalRequest(0x230, 64, "52")
            << QStringList{"Trigger signal out of the frame!", "Value out of scale!"}
            << exampleWith("88=0000");
        QTest::newRow("everything missing, in the window's order")
            <<
            [] {
                ConfigRequest request;
                request.trigger.idText = "5";
                return request;
            }()
            << QStringList{"Select at least 1 Bus!", "Select trigger mode!",
                           "Output folder not selected!"}
            << exampleWith("0=03 14=00 88=0000");
    }

    void generation()
    {
        QFETCH(ConfigRequest, request);
        QFETCH(QStringList, messages);
        QFETCH(QByteArray, record);
        const ConfigGeneration generation = generateConfig(request, Config{});
        QCOMPARE(qtTexts(generation.messages), messages);
        QCOMPARE(bytesOf(generation.record).toHex(' '), record.toHex(' '));
    }

    void identifierTriggerKeepsTheStartingRecordsSignalFields()
    {
        const Config start = generateConfig(signalRequest(0x230, 13, "1"), Config{}).record;
        ConfigRequest request = exampleRequest();
        request.trigger = {};
        request.trigger.id = true;
        request.trigger.idText = "291";
        const Config after = generateConfig(request, start).record;
        // DLC to rawValue, and the comparison
        QCOMPARE(bytesOf(after).mid(68, 20).toHex(' '), bytesOf(start).mid(68, 20).toHex(' '));
        QCOMPARE(after.trigStm32.operation, start.trigStm32.operation);
        QCOMPARE(after.trigStm32.ID, 291u);
        QCOMPARE(after.trigStm32.mode, uint8_t(1));
    }

    void valueOutOfScaleAsksForTheFieldToBeCleared()
    {
        QVERIFY(generateConfig(signalRequest(0x230, 13, "52"), Config{}).valueRefused);
        QVERIFY(!generateConfig(signalRequest(0x230, 71, "1"), Config{}).valueRefused);
    }

    void sharedSignalNameTakesTheFirstDefinition()
    {
        std::istringstream text(R"({"messages": [
            {"id": 2, "dlc": 8, "signals": [{"name": "Speed", "startbit": 0, "bitlength": 8,
             "scaling": 1, "offset": 0, "signed": false}]},
            {"id": 1, "dlc": 8, "signals": [{"name": "Speed", "startbit": 8, "bitlength": 4,
             "scaling": 1, "offset": 0, "signed": false}]}]})");
        const std::map<std::string, Signal> listed = signalsByName(readCandb(text));
        QCOMPARE(listed.size(), size_t(1));
        QCOMPARE(listed.at("Speed").ID, 2u);
    }

    void anomalies_data()
    {
        QTest::addColumn<QByteArray>("image");
        QTest::addColumn<QString>("found"); // "offset:value" in offset order
        QTest::newRow("worked example") << kWorkedExample << "";
        QTest::newRow("every kind once")
            << exampleWith("0=07 2=01 6=0f 12=01 13=02 46=03 50=0100 72=40 79=05 88=0406 95=01")
            << "0:7 2:1 4:983040 12:1 13:2 46:3 48:65536 72:64 79:5 88:4 89:6 95:1";
        QTest::newRow("no trigger kind") << exampleWith("88=000a") << "88:0";
        QTest::newRow("extended identifier beside isExt 0") << exampleWith("67=80") << "69:0";
        QTest::newRow("standard identifier beside isExt 1") << exampleWith("69=01") << "69:1";
    }

    void anomalies()
    {
        QFETCH(QByteArray, image);
        QFETCH(QString, found);
        ConfigImage bytes{};
        std::copy(image.begin(), image.end(), bytes.begin());
        QStringList listed;
        for (const ConfigAnomaly &anomaly : findConfigAnomalies(bytes))
            listed << QString("%1:%2").arg(anomaly.offset).arg(anomaly.value);
        QCOMPARE(listed.join(' '), found);
    }

    void filterRegister_data()
    {
        QTest::addColumn<uint>("high");
        QTest::addColumn<uint>("low");
        QTest::addColumn<bool>("extended");
        QTest::addColumn<uint>("id");
        QTest::newRow("standard 0x7FF in bits 31-21") << 0xFFE0u << 0u << false << 0x7FFu;
        QTest::newRow("standard 0x123, IDE clear") << 0x2460u << 0xFFFBu << false << 0x123u;
        QTest::newRow("extended 0x1FFFFFFF in bits 31-3")
            << 0xFFFFu << 0xFFFCu << true << 0x1FFFFFFFu;
        QTest::newRow("extended 0x12345 with IDE") << 0x0009u << 0x1A2Cu << true << 0x12345u;
    }

    void filterRegister()
    {
        QFETCH(uint, high);
        QFETCH(uint, low);
        QFETCH(bool, extended);
        QFETCH(uint, id);
        const FilterRegister reading = readFilterRegister(high, low);
        QCOMPARE(reading.word, high << 16 | low);
        QCOMPARE(reading.extended, extended);
        QCOMPARE(reading.id, id);
    }
};

QTEST_APPLESS_MAIN(TestConfigGeneration)
#include "tst_configgeneration.moc"
