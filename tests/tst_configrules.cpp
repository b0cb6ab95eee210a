#include "config/configrules.h"

#include <QtTest>

#include <cmath>
#include <limits>

namespace {

Signal signalOf(int size, bool isSigned, double factor, double offset)
{
    Signal sig;
    sig.name = "Probe";
    sig.size = size;
    sig.is_signed = isSigned;
    sig.factor = factor;
    sig.offset = offset;
    return sig;
}

} // namespace

Q_DECLARE_METATYPE(std::optional<uint32_t>)

class TestConfigRules : public QObject
{
    Q_OBJECT

private slots:
    void bitRateTable_data()
    {
        QTest::addColumn<uint>("bitRate");
        QTest::addColumn<int>("prescaler"); // 0: refused
        QTest::newRow("1000000") << 1000000u << 3;
        QTest::newRow("500000") << 500000u << 6;
        QTest::newRow("250000") << 250000u << 12;
        QTest::newRow("125000") << 125000u << 24;
        QTest::newRow("100000") << 100000u << 30;
        QTest::newRow("83333") << 83333u << 36;
        QTest::newRow("50000") << 50000u << 60;
        QTest::newRow("33333") << 33333u << 90;
        QTest::newRow("125001") << 125001u << 0;
        QTest::newRow("83334") << 83334u << 0;
        QTest::newRow("0") << 0u << 0;
        QTest::newRow("-500000 taken as unsigned") << uint(-500000) << 0;
    }

    void bitRateTable()
    {
        QFETCH(uint, bitRate);
        QFETCH(int, prescaler);
        const std::optional<uint16_t> found = prescalerForBitRate(bitRate);
        QCOMPARE(found.value_or(0), prescaler);
        if (found) // every entry is 54 MHz over 18 quanta per bit, to the nearest integer
            QCOMPARE(std::lround(54e6 / (18.0 * bitRate)), long(prescaler));
    }

    void signalRange_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<bool>("isSigned");
        QTest::addColumn<double>("factor");
        QTest::addColumn<double>("offset");
        QTest::addColumn<double>("lower");
        QTest::addColumn<double>("upper");
        QTest::newRow("signed 8 bit") << 8 << true << 1.0 << 0.0 << -128.0 << 127.0;
        QTest::newRow("unsigned 8 bit") << 8 << false << 1.0 << 0.0 << 0.0 << 255.0;
        QTest::newRow("unsigned 8 bit, 0.5 and -40") << 8 << false << 0.5 << -40.0 << -40.0 << 87.5;
        QTest::newRow("negative factor") << 8 << false << -0.5 << 10.0 << -117.5 << 10.0;
        QTest::newRow("signed, negative factor") << 4 << true << -2.0 << 0.0 << -14.0 << 16.0;
        QTest::newRow("factor 0") << 16 << false << 0.0 << 3.0 << 3.0 << 3.0;
    }

    void signalRange()
    {
        QFETCH(int, size);
        QFETCH(bool, isSigned);
        QFETCH(double, factor);
        QFETCH(double, offset);
        QFETCH(double, lower);
        QFETCH(double, upper);
        const PhysicalRange range = physicalRange(signalOf(size, isSigned, factor, offset));
        QCOMPARE(range.lower, lower);
        QCOMPARE(range.upper, upper);
    }

    void rawValue_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<bool>("isSigned");
        QTest::addColumn<double>("factor");
        QTest::addColumn<double>("offset");
        QTest::addColumn<double>("value");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<qint64>("raw");
        QTest::newRow("12.35 / 0.1 truncates")
            << 16 << false << 0.1 << 0.0 << 12.35 << true << qint64(123);
        QTest::newRow("-12.35 / 0.1 toward zero")
            << 16 << true << 0.1 << 0.0 << -12.35 << true << qint64(-123);
        QTest::newRow("12.5 with 0.5 and -40")
            << 8 << false << 0.5 << -40.0 << 12.5 << true << qint64(105);
        QTest::newRow("0.3 lies on the grid")
            << 8 << false << 0.1 << 0.0 << 0.3 << true << qint64(3);
        QTest::newRow("0.7 lies on the grid")
            << 8 << false << 0.1 << 0.0 << 0.7 << true << qint64(7);
        QTest::newRow("-0.3 lies on the grid")
            << 8 << true << 0.1 << 0.0 << -0.3 << true << qint64(-3);
        QTest::newRow("just under a whole count truncates")
            << 8 << false << 1.0 << 0.0 << 2.9999999 << true << qint64(2);
        QTest::newRow("a hair under a whole count is that count")
            << 8 << false << 1.0 << 0.0 << 2.9999999999999 << true << qint64(3);
        QTest::newRow("signed 8 bit, -128")
            << 8 << true << 1.0 << 0.0 << -128.0 << true << qint64(-128);
        QTest::newRow("signed 8 bit, 127")
            << 8 << true << 1.0 << 0.0 << 127.0 << true << qint64(127);
        QTest::newRow("signed 8 bit, 127.5")
            << 8 << true << 1.0 << 0.0 << 127.5 << false << qint64(0);
        QTest::newRow("signed 8 bit, 128")
            << 8 << true << 1.0 << 0.0 << 128.0 << false << qint64(0);
        QTest::newRow("unsigned 8 bit, 0") << 8 << false << 1.0 << 0.0 << 0.0 << true << qint64(0);
        QTest::newRow("unsigned 8 bit, 255")
            << 8 << false << 1.0 << 0.0 << 255.0 << true << qint64(255);
        QTest::newRow("unsigned 8 bit, 256")
            << 8 << false << 1.0 << 0.0 << 256.0 << false << qint64(0);
        QTest::newRow("unsigned 8 bit, -0.5")
            << 8 << false << 1.0 << 0.0 << -0.5 << false << qint64(0);
        QTest::newRow("negative factor, -117.5")
            << 8 << false << -0.5 << 10.0 << -117.5 << true << qint64(255);
        QTest::newRow("negative factor, 9")
            << 8 << false << -0.5 << 10.0 << 9.0 << true << qint64(2);
        QTest::newRow("factor 0 at the offset")
            << 8 << false << 0.0 << 3.0 << 3.0 << false << qint64(0);
        QTest::newRow("not a number")
            << 8 << false << 1.0 << 0.0 << std::numeric_limits<double>::quiet_NaN() << false
            << qint64(0);
        QTest::newRow("signed 64 bit, smallest")
            << 64 << true << 1.0 << 0.0 << -9223372036854775808.0 << true
            << std::numeric_limits<qint64>::min();
        QTest::newRow("signed 64 bit, top of range beyond int64")
            << 64 << true << 1.0 << 0.0 << 9223372036854775807.0 << false << qint64(0);
        QTest::newRow("unsigned 64 bit, top of range beyond int64")
            << 64 << false << 1.0 << 0.0 << 18446744073709551615.0 << false << qint64(0);
        QTest::newRow("unsigned 64 bit, 2^62") << 64 << false << 1.0 << 0.0 << 4611686018427387904.0
                                               << true << qint64(4611686018427387904LL);
    }

    void rawValue()
    {
        QFETCH(int, size);
        QFETCH(bool, isSigned);
        QFETCH(double, factor);
        QFETCH(double, offset);
        QFETCH(double, value);
        QFETCH(bool, accepted);
        QFETCH(qint64, raw);
        const std::optional<int64_t> count =
            triggerRawValue(signalOf(size, isSigned, factor, offset), value);
        QCOMPARE(count.has_value(), accepted);
        if (accepted)
            QCOMPARE(qint64(*count), raw);
    }

    void identifiers_data()
    {
        QTest::addColumn<int>("number");
        QTest::addColumn<std::optional<uint32_t>>("standard");
        QTest::addColumn<std::optional<uint32_t>>("extended");
        const std::optional<uint32_t> refused;
        QTest::newRow("0") << 0 << std::optional<uint32_t>(0)
                           << std::optional<uint32_t>(0x80000000);
        QTest::newRow("2047") << 2047 << std::optional<uint32_t>(2047)
                              << std::optional<uint32_t>(0x800007FF);
        QTest::newRow("2048") << 2048 << refused << std::optional<uint32_t>(0x80000800);
        QTest::newRow("-1") << -1 << refused << refused;
        QTest::newRow("536870911") << 536870911 << refused << std::optional<uint32_t>(0x9FFFFFFF);
        QTest::newRow("536870912") << 536870912 << refused << refused;
        QTest::newRow("2147483647") << 2147483647 << refused << refused;
    }

    void identifiers()
    {
        QFETCH(int, number);
        QFETCH(std::optional<uint32_t>, standard);
        QFETCH(std::optional<uint32_t>, extended);
        QCOMPARE(standardTriggerId(number), standard);
        QCOMPARE(extendedTriggerId(number), extended);
    }

    void signalTriggerNarrowsBitNumbersToEightBits()
    {
        Signal sig = signalOf(300, true, 1.0, 0.0);
        sig.start_bit = 263;
        sig.msb = 263;
        sig.lsb = 256;
        SignalSTM32 trigger;
        setSignalTrigger(trigger, sig, -5, 4);
        QCOMPARE(trigger.start_bit, uint8_t(7));
        QCOMPARE(trigger.msb, uint8_t(7));
        QCOMPARE(trigger.lsb, uint8_t(0));
        QCOMPARE(trigger.size, uint8_t(44));
    }
};

QTEST_APPLESS_MAIN(TestConfigRules)
#include "tst_configrules.moc"
