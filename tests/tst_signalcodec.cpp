#include "candecoder.h"
#include "database/candb.h"
#include "database/signalcodec.h"

#include <QtTest>

#include <list>
#include <random>

namespace {

// The one signal of a database with a single message, as the Candb reader derives it.
Signal readSignal(int startBit, int bitLength, bool little, bool isSigned = false, int dlc = 8)
{
    json signal = {{"name", "S"},  {"startbit", startBit}, {"bitlength", bitLength},
                   {"scaling", 1}, {"offset", 0},          {"signed", isSigned}};
    if (little)
        signal["endianess"] = true;
    const json doc = {
        {"messages", json::array({{{"id", 1}, {"dlc", dlc}, {"signals", {signal}}}})}};
    const Candb candb = readCandb(doc);
    if (!candb.ok())
        qFatal("the test database was refused: %s", candb.error.c_str());
    return candb.messages.at(0).signalList.at(0);
}

int64_t rawValue(const std::vector<uint8_t> &bytes, const Signal &signal)
{
    std::list<Signal> list{signal};
    return get_raw_value(bytes, list.begin());
}

std::vector<uint8_t> bytesOf(const QByteArray &hex)
{
    const QByteArray bytes = QByteArray::fromHex(hex);
    return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

// Writes `raw` into `frame` bit by bit, walking the signal the way a DBC editor draws it:
// little-endian upwards from the start bit; big-endian from the start bit down through its byte,
// then on from bit 7 of the next byte.
void encode(std::vector<uint8_t> &frame, int startBit, int size, bool little, uint64_t raw)
{
    int bit = startBit;
    for (int k = 0; k < size; ++k) {
        const int valueBit = little ? k : size - 1 - k;
        const uint8_t mask = uint8_t(1u << (bit % 8));
        if ((raw >> valueBit) & 1)
            frame[bit / 8] |= mask;
        else
            frame[bit / 8] &= uint8_t(~mask);
        if (little)
            ++bit;
        else
            bit = (bit % 8 == 0) ? bit + 15 : bit - 1;
    }
}

// The bits of a big-endian signal from `startBit` to the end of a frame of `length` bytes.
int bigEndianRoom(int startBit, int length)
{
    return startBit % 8 + 1 + 8 * (length - 1 - startBit / 8);
}

} // namespace

class SignalCodecTest : public QObject
{
    Q_OBJECT

private slots:
    void workedExamples_data();
    void workedExamples();
    void shortVectors_data();
    void shortVectors();
    void handMadeSignals_data();
    void handMadeSignals();
    void physical_data();
    void physical();
    void frameBytes_data();
    void frameBytes();
    void randomSignalsRoundTrip();
};

void SignalCodecTest::workedExamples_data()
{
    QTest::addColumn<int>("startBit");
    QTest::addColumn<int>("bitLength");
    QTest::addColumn<bool>("little");
    QTest::addColumn<quint64>("raw");

    QTest::newRow("little 0/16") << 0 << 16 << true << Q_UINT64_C(0x3412);
    QTest::newRow("little 4/8") << 4 << 8 << true << Q_UINT64_C(0x41);
    QTest::newRow("little 12/4") << 12 << 4 << true << Q_UINT64_C(0x3);
    QTest::newRow("little 56/8") << 56 << 8 << true << Q_UINT64_C(0xF0);
    QTest::newRow("little 0/64") << 0 << 64 << true << Q_UINT64_C(0xF0DEBC9A78563412);
    QTest::newRow("big 7/16") << 7 << 16 << false << Q_UINT64_C(0x1234);
    QTest::newRow("big 3/8") << 3 << 8 << false << Q_UINT64_C(0x23);
    QTest::newRow("big 13/10") << 13 << 10 << false << Q_UINT64_C(0x345);
    QTest::newRow("big 55/16") << 55 << 16 << false << Q_UINT64_C(0xDEF0);
    QTest::newRow("big 7/64") << 7 << 64 << false << Q_UINT64_C(0x123456789ABCDEF0);
    QTest::newRow("big 7/8 same as little 0/8") << 7 << 8 << false << Q_UINT64_C(0x12);
    QTest::newRow("little 0/8") << 0 << 8 << true << Q_UINT64_C(0x12);
}

void SignalCodecTest::workedExamples()
{
    QFETCH(int, startBit);
    QFETCH(int, bitLength);
    QFETCH(bool, little);
    QFETCH(quint64, raw);

    const std::vector<uint8_t> frame = bytesOf("123456789ABCDEF0");
    QCOMPARE(quint64(rawValue(frame, readSignal(startBit, bitLength, little))), raw);
}

// Bytes past the vector are never read: the walk stops and the bits not yet filled stay 0.
void SignalCodecTest::shortVectors_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("startBit");
    QTest::addColumn<int>("bitLength");
    QTest::addColumn<bool>("little");
    QTest::addColumn<quint64>("raw");

    QTest::newRow("little, first byte missing")
        << QByteArray("1234") << 8 << 16 << true << Q_UINT64_C(0);
    QTest::newRow("big, low part missing")
        << QByteArray("1234") << 15 << 16 << false << Q_UINT64_C(0x3400);
    QTest::newRow("no bytes") << QByteArray() << 7 << 8 << false << Q_UINT64_C(0);
    QTest::newRow("little, fits") << QByteArray("1234") << 0 << 16 << true << Q_UINT64_C(0x3412);
    QTest::newRow("two-byte message, little 0/16")
        << QByteArray("204E") << 0 << 16 << true << Q_UINT64_C(0x4E20);
    QTest::newRow("two-byte message, big 15/4")
        << QByteArray("204E") << 15 << 4 << false << Q_UINT64_C(4);
    QTest::newRow("big 64, three bytes")
        << QByteArray("123456") << 7 << 64 << false << Q_UINT64_C(0x1234560000000000);
}

void SignalCodecTest::shortVectors()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, startBit);
    QFETCH(int, bitLength);
    QFETCH(bool, little);
    QFETCH(quint64, raw);

    QCOMPARE(quint64(rawValue(bytesOf(bytes), readSignal(startBit, bitLength, little))), raw);
}

// Signals that the Candb reader would refuse, made by hand: no shift goes out of range.
void SignalCodecTest::handMadeSignals_data()
{
    QTest::addColumn<int>("msb");
    QTest::addColumn<int>("lsb");
    QTest::addColumn<int>("size");
    QTest::addColumn<bool>("little");
    QTest::addColumn<quint64>("raw");

    QTest::newRow("length 0") << 7 << 0 << 0 << false << Q_UINT64_C(0);
    QTest::newRow("longer than 64 bits") << 7 << 56 << 70 << false << Q_UINT64_C(0);
    QTest::newRow("lsb above msb in one byte") << 2 << 5 << 4 << true << Q_UINT64_C(0);
    QTest::newRow("negative lsb") << 3 << -2 << 6 << true << Q_UINT64_C(0);
    QTest::newRow("size shorter than the bits") << 15 << 0 << 4 << true << Q_UINT64_C(0);
}

void SignalCodecTest::handMadeSignals()
{
    QFETCH(int, msb);
    QFETCH(int, lsb);
    QFETCH(int, size);
    QFETCH(bool, little);
    QFETCH(quint64, raw);

    Signal signal;
    signal.msb = msb;
    signal.lsb = lsb;
    signal.size = size;
    signal.is_little_endian = little;
    const std::vector<uint8_t> frame = bytesOf("FFFFFFFFFFFFFFFF");
    QCOMPARE(quint64(extractRaw(frame.data(), frame.size(), signal)), raw);
}

void SignalCodecTest::physical_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<bool>("isSigned");
    QTest::addColumn<quint64>("raw");
    QTest::addColumn<double>("factor");
    QTest::addColumn<double>("offset");
    QTest::addColumn<double>("value");

    QTest::newRow("signed 12 bits all ones")
        << 12 << true << Q_UINT64_C(0xFFF) << 1.0 << 0.0 << -1.0;
    QTest::newRow("signed 12 bits, scaled")
        << 12 << true << Q_UINT64_C(0x800) << 0.5 << 10.0 << -1014.0;
    QTest::newRow("unsigned 8 bits, scaled")
        << 8 << false << Q_UINT64_C(200) << 2.0 << -40.0 << 360.0;
    QTest::newRow("signed, top bit 0") << 12 << true << Q_UINT64_C(0x7FF) << 1.0 << 0.0 << 2047.0;
    QTest::newRow("signed 1 bit") << 1 << true << Q_UINT64_C(1) << 1.0 << 0.0 << -1.0;
    QTest::newRow("signed 63 bits")
        << 63 << true << Q_UINT64_C(0x4000000000000000) << 1.0 << 0.0 << -4611686018427387904.0;
    QTest::newRow("signed 64 bits")
        << 64 << true << Q_UINT64_C(0xFFFFFFFFFFFFFFFF) << 1.0 << 0.0 << -1.0;
    QTest::newRow("unsigned 64 bits, top bit set")
        << 64 << false << Q_UINT64_C(0xF0DEBC9A78563412) << 1.0 << 0.0 << 17356517385562371090.0;
    QTest::newRow("unsigned 16 bits, fraction")
        << 16 << false << Q_UINT64_C(0x3412) << 0.01 << 0.0 << 13330 * 0.01;
}

void SignalCodecTest::physical()
{
    QFETCH(int, size);
    QFETCH(bool, isSigned);
    QFETCH(quint64, raw);
    QFETCH(double, factor);
    QFETCH(double, offset);
    QFETCH(double, value);

    Signal signal;
    signal.size = size;
    signal.is_signed = isSigned;
    signal.factor = factor;
    signal.offset = offset;
    QCOMPARE(physicalValue(signal, int64_t(raw)), value);
}

// A record holds 8 data bytes whatever the message's "dlc" says.
void SignalCodecTest::frameBytes_data()
{
    QTest::addColumn<int>("dlc");
    QTest::addColumn<int>("count");

    QTest::newRow("0") << 0 << 0;
    QTest::newRow("2") << 2 << 2;
    QTest::newRow("8") << 8 << 8;
    QTest::newRow("9") << 9 << 8;
    QTest::newRow("64") << 64 << 8;
}

void SignalCodecTest::frameBytes()
{
    QFETCH(int, dlc);
    QFETCH(int, count);

    QCOMPARE(int(frameByteCount(readSignal(0, 8, true, false, dlc))), count);
}

void SignalCodecTest::randomSignalsRoundTrip()
{
    const uint64_t seed = 0x5157A11E;
    qInfo("seed %llu", static_cast<unsigned long long>(seed));
    std::mt19937_64 random(seed);
    const auto between = [&random](int low, int high) {
        return std::uniform_int_distribution<int>(low, high)(random);
    };

    for (int round = 0; round < 5000; ++round) {
        // Mostly frames of a log record's length or shorter, sometimes up to 64 bytes.
        const int length = round % 4 ? between(1, 8) : between(9, 64);
        const bool little = between(0, 1);
        const bool isSigned = between(0, 1);
        int startBit = 0;
        int size = 0;
        if (little) {
            size = between(1, std::min(64, 8 * length));
            startBit = between(0, 8 * length - size);
        } else {
            startBit = between(0, 8 * length - 1);
            size = between(1, std::min(64, bigEndianRoom(startBit, length)));
        }
        const uint64_t raw = random() & (size == 64 ? ~uint64_t(0) : (uint64_t(1) << size) - 1);

        std::vector<uint8_t> frame(length);
        for (uint8_t &byte : frame)
            byte = uint8_t(random());
        encode(frame, startBit, size, little, raw);

        const Signal signal = readSignal(startBit, size, little, isSigned, length);
        const int64_t got = rawValue(frame, signal);
        const QByteArray where =
            QString("round %1: %2-endian start %3 size %4 in %5 bytes: wrote %6, read %7")
                .arg(round)
                .arg(little ? "little" : "big")
                .arg(startBit)
                .arg(size)
                .arg(length)
                .arg(raw, 0, 16)
                .arg(uint64_t(got), 0, 16)
                .toUtf8();
        QVERIFY2(uint64_t(got) == raw, where.constData());

        const bool negative = isSigned && (raw >> (size - 1)) & 1;
        const __int128 number = negative ? __int128(raw) - (__int128(1) << size) : __int128(raw);
        QVERIFY2(physicalValue(signal, got) == double(number), where.constData());
    }
}

QTEST_APPLESS_MAIN(SignalCodecTest)
#include "tst_signalcodec.moc"
