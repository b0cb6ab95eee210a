#include "config/configrecord.h"
#include "filesizelimit.h"
#include "testfiles.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QByteArray bytesOf(const ConfigImage &image)
{
    return QByteArray(reinterpret_cast<const char *>(image.data()), int(image.size()));
}

// Bus 1 on at 500 kbit/s, normal mode, filter all zero in mask mode; bus 2 off; trigger Always.
Config firstGenerationExample()
{
    Config config;
    for (Conf &bus : config.conf) {
        bus.CAN_pre = 3;
        bus.CAN_BS1 = 0x000E0000;
        bus.CAN_BS2 = 0x00100000;
    }
    config.conf[0].CAN_pre = 6;
    config.conf[0].canEn = 1;
    config.trigStm32.mode = 2;
    config.trigStm32.operation = 10;
    return config;
}

// Every field set to a value with distinct bytes, so a swapped or misplaced byte shows.
Config everyFieldSet()
{
    Config config;
    for (int i = 0; i < 2; ++i) {
        Conf &bus = config.conf[i];
        bus.CAN_pre = uint16_t(0x0102 + i);
        bus.CAN_BS1 = 0x03040506u + i;
        bus.CAN_BS2 = 0x0708090Au + i;
        bus.IDType = uint8_t(0x0B + i);
        bus.canMode = uint8_t(0x0C + i);
        bus.canEn = uint8_t(0x0D + i);
        bus.maskMode = uint8_t(0x0E + i);
        bus.FilterIdHigh = 0x11121314u + i;
        bus.FilterIdLow = 0x15161718u + i;
        bus.FilterMaskIdHigh = 0x191A1B1Cu + i;
        bus.FilterMaskIdLow = 0x1D1E1F20u + i;
    }
    SignalSTM32 &trigger = config.trigStm32;
    trigger.ID = 0x80000123u;
    trigger.DLC = 8;
    trigger.isExt = 1;
    trigger.start_bit = 7;
    trigger.msb = 7;
    trigger.lsb = 8;
    trigger.size = 16;
    trigger.is_signed = 1;
    trigger.is_little_endian = 1;
    trigger.rawValue = -0x0102030405060708LL;
    trigger.mode = 3;
    trigger.operation = 5;
    return config;
}

} // namespace

class TestConfigRecord : public QObject
{
    Q_OBJECT

private slots:
    void firstGenerationGivesTheDocumentedBytes()
    {
        const QByteArray expected = QByteArray::fromHex("06000000 00000e00 00001000 00000100"
                                                        "00000000 00000000 00000000 00000000"
                                                        "03000000 00000e00 00001000 00000000"
                                                        "00000000 00000000 00000000 00000000"
                                                        "00000000 00000000 00000000 00000000"
                                                        "00000000 00000000 020a0000 00000000");
        QCOMPARE(bytesOf(serializeConfig(firstGenerationExample())), expected);
    }

    void fieldsSitAtTheirOffsetsLittleEndian()
    {
        const ConfigImage image = serializeConfig(everyFieldSet());
        QCOMPARE(bytesOf(image).mid(0, 16).toHex(),
                 QByteArray("0201000006050403 0a0908070b0c0d0e").replace(" ", ""));
        QCOMPARE(bytesOf(image).mid(16, 16).toHex(),
                 QByteArray("14131211181716151c1b1a19201f1e1d"));
        QCOMPARE(bytesOf(image).mid(32, 4).toHex(), QByteArray("03010000"));
        QCOMPARE(bytesOf(image).mid(64, 12).toHex(),
                 QByteArray("2301008008010707081001 01").replace(" ", ""));
        QCOMPARE(bytesOf(image).mid(80, 10).toHex(), QByteArray("f8f8f9fafbfcfdfe0305"));
    }

    void reservedBytesAreZero()
    {
        // Every field at all ones: only the reserved bytes and nothing else may stay zero.
        Config config;
        for (Conf &bus : config.conf) {
            bus = Conf{0xFFFF, ~0u, ~0u, 0xFF, 0xFF, 0xFF, 0xFF, ~0u, ~0u, ~0u, ~0u};
        }
        config.trigStm32 =
            SignalSTM32{~0u, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, -1, 0xFF, 0xFF};
        const ConfigImage image = serializeConfig(config);
        const std::vector<size_t> reserved = {2, 3, 34, 35, 76, 77, 78, 79, 90, 91, 92, 93, 94, 95};
        for (size_t i = 0; i < image.size(); ++i) {
            const bool isReserved =
                std::find(reserved.begin(), reserved.end(), i) != reserved.end();
            QVERIFY2(image[i] == (isReserved ? 0 : 0xFF), qPrintable(QString("offset %1").arg(i)));
        }
    }

    void readingBackGivesTheSameRecord()
    {
        const Config config = everyFieldSet();
        const ConfigImage image = serializeConfig(config);
        QCOMPARE(serializeConfig(deserializeConfig(image)), image);
        QCOMPARE(deserializeConfig(image).trigStm32.rawValue, config.trigStm32.rawValue);
        QCOMPARE(deserializeConfig(image).conf[1].FilterMaskIdLow, config.conf[1].FilterMaskIdLow);
    }

    void fileHoldsExactlyTheRecordEvenWithLineFeeds()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("config.qvc");
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write(QByteArray(500, 'x')); // a longer earlier file must not leave a tail
        old.close();

        ConfigImage lineFeeds;
        lineFeeds.fill(0x0A);
        const Config config = deserializeConfig(lineFeeds);
        QVERIFY(writeConfigFile(nativePath(path), config));
        QCOMPARE(readFile(path), bytesOf(serializeConfig(config)));
        QCOMPARE(readFile(path).size(), 96);
    }

    void writeFailuresAreReported_data()
    {
        QTest::addColumn<QString>("path");
        QTest::newRow("folder that does not exist") << "/nonexistent-quorvane-folder/config.qvc";
        QTest::newRow("path that is a folder") << QDir::tempPath();
        QTest::newRow("device that is always full") << "/dev/full";
    }

    void writeFailuresAreReported()
    {
        QFETCH(QString, path);
        QVERIFY(!writeConfigFile(nativePath(path), firstGenerationExample()));
    }

    void folderThatIsAFileIsAFailure()
    {
        QTemporaryDir dir;
        QFile notAFolder(dir.filePath("notes"));
        QVERIFY(notAFolder.open(QIODevice::WriteOnly));
        notAFolder.close();
        const QString path = notAFolder.fileName() + "/config.qvc";
        QVERIFY(!writeConfigFile(nativePath(path), firstGenerationExample()));
    }

    void diskFillingUpKeepsTheEarlierFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("config.qvc");
        const QByteArray earlier = bytesOf(serializeConfig(everyFieldSet()));
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write(earlier);
        old.close();
        {
            FileSizeLimit fullAfter50Bytes(50);
            QVERIFY(fullAfter50Bytes.isActive());
            QVERIFY(!writeConfigFile(nativePath(path), firstGenerationExample()));
        }
        QCOMPARE(readFile(path), earlier);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"config.qvc"});
    }
};

QTEST_APPLESS_MAIN(TestConfigRecord)
#include "tst_configrecord.moc"
