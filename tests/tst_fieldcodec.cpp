#include "conversion/fixedtext.h"
#include "database/candb.h"
#include "database/fieldcodec.h"
#include "database/signalcodec.h"

#include <QTest>

#include <nlohmann/json.hpp>

#include <cfloat>
#include <cmath>
#include <cstring>
#include <random>

// The engine's shortcuts against the plain computations they stand for: the resolved field
// codec against the byte walk, the fixed-point formatting against printf.
class FieldCodecTest : public QObject
{
    Q_OBJECT

private slots:
    void codecMatchesTheByteWalk();
    void fixedMatchesPrintf();
    void fixedExtremes_data();
    void fixedExtremes();
    void fixedBinaryFractions();
    void fixedEveryDigitCount();
    void fixedStaysInItsRoom();
    void micros_data();
    void micros();
};

namespace {

constexpr unsigned kSeed = 20240611;

// A random signal the Candb reader accepts: either byte order, 1 to 64 bits, mostly inside the
// eight bytes of a record, sometimes past them or past the message's "dlc".
nlohmann::json randomSignal(std::mt19937 &rng, int number)
{
    const bool little = rng() % 2;
    const int length = 1 + int(rng() % 64);
    const int byteLimit = (rng() % 8 == 0) ? 64 : 8;
    int startbit;
    if (little) {
        startbit = int(rng() % (8 * byteLimit - length + 1));
    } else {
        // The last bit must stay inside the 512 bits of the big-endian sequence.
        const int position = int(rng() % (8 * byteLimit - length + 1));
        startbit = 8 * (position / 8) + 7 - position % 8;
    }
    const double factors[] = {1, 0.01, -0.5, 1e-6, 123.456, 3, 0.1};
    const double offsets[] = {0, -40, 0.5, 1e6, -0.001};
    nlohmann::json sig = {{"name", "s" + std::to_string(number)},
                          {"startbit", startbit},
                          {"bitlength", length},
                          {"scaling", factors[rng() % 7]},
                          {"offset", offsets[rng() % 5]},
                          {"signed", rng() % 2 == 0}};
    if (little)
        sig["endianess"] = true;
    return sig;
}

std::vector<Signal> randomSignals(std::mt19937 &rng)
{
    nlohmann::json messages = nlohmann::json::array();
    int number = 0;
    for (int m = 0; m < 300; ++m) {
        nlohmann::json sigs = nlohmann::json::array();
        for (int s = 0; s < 10; ++s)
            sigs.push_back(randomSignal(rng, number++));
        messages.push_back({{"id", m}, {"dlc", rng() % 11}, {"signals", sigs}});
    }
    const Candb candb = readCandb({{"messages", messages}});
    std::vector<Signal> all;
    if (!candb.ok())
        qWarning("random Candb refused: %s", candb.error.c_str());
    for (const CandbMessage &message : candb.messages)
        all.insert(all.end(), message.signalList.begin(), message.signalList.end());
    return all;
}

QByteArray describe(const Signal &sig, const uint8_t *data)
{
    return QString("startbit %1 length %2 %3 %4 dlc %5, data %6")
        .arg(sig.start_bit)
        .arg(sig.size)
        .arg(sig.is_little_endian ? "little" : "big")
        .arg(sig.is_signed ? "signed" : "unsigned")
        .arg(sig.DLC)
        .arg(QByteArray(reinterpret_cast<const char *>(data), 8).toHex(' ').constData())
        .toUtf8();
}

std::string printed(double value)
{
    char text[400];
    std::snprintf(text, sizeof text, "%f", value);
    return text;
}

std::string formatted(double value)
{
    char text[400];
    return std::string(text, formatFixed(text, value));
}

} // namespace

void FieldCodecTest::codecMatchesTheByteWalk()
{
    qInfo("seed %u", kSeed);
    std::mt19937 rng(kSeed);
    const std::vector<Signal> signalList = randomSignals(rng);
    QCOMPARE(signalList.size(), size_t(3000));
    for (const Signal &sig : signalList) {
        const FieldCodec codec = FieldCodec::resolve(sig);
        const uint64_t mask = bigEndianDataMask(frameByteCount(sig));
        for (int frame = 0; frame < 40; ++frame) {
            uint8_t data[8];
            for (uint8_t &byte : data)
                byte = frame == 0 ? 0xFF : uint8_t(rng());
            uint32_t low, high;
            std::memcpy(&low, data, 4); // the tests run on little-endian hosts
            std::memcpy(&high, data + 4, 4);
            const uint64_t little = littleEndianData(low, high);
            const double expected = physicalValue(sig, extractRaw(data, frameByteCount(sig), sig));
            const double actual = codec.value(little, bigEndianData(little, mask));
            if (std::memcmp(&expected, &actual, sizeof expected) != 0)
                QFAIL(describe(sig, data) + QByteArray(": ") + printed(expected).c_str() +
                      " expected, " + printed(actual).c_str() + " decoded");
        }
    }
}

void FieldCodecTest::fixedMatchesPrintf()
{
    std::mt19937_64 rng(kSeed);
    for (int i = 0; i < 300000; ++i) {
        double value;
        switch (i % 4) {
        case 0: { // any finite double
            uint64_t bits = rng();
            std::memcpy(&value, &bits, sizeof value);
            if (!std::isfinite(value))
                continue;
            break;
        }
        case 1: // scaled raw values, as signals give them
            value = double(int64_t(rng() % 2000001) - 1000000) * 0.01 + 0.5;
            break;
        case 2: // halfway cases at the sixth decimal
            value = double(int64_t(rng() % 20000001) - 10000000) / 1e6 + 5e-7;
            break;
        default: // small and large magnitudes
            value = std::ldexp(double(rng() % 1000000), int(rng() % 200) - 100);
            break;
        }
        if (formatted(value) != printed(value))
            QFAIL(("for " + printed(value) + " formatted " + formatted(value)).c_str());
    }
}

void FieldCodecTest::fixedExtremes_data()
{
    QTest::addColumn<double>("value");
    QTest::newRow("zero") << 0.0;
    QTest::newRow("negative zero") << -0.0;
    QTest::newRow("tiny negative") << -1e-9;
    QTest::newRow("largest") << DBL_MAX;
    QTest::newRow("most negative") << -DBL_MAX;
    QTest::newRow("smallest") << DBL_MIN;
    QTest::newRow("2^63") << 9223372036854775808.0;
    QTest::newRow("largest below 2^63") << std::nextafter(9223372036854775808.0, 0.0);
    QTest::newRow("2^53 + 2") << 9007199254740994.0;
    QTest::newRow("2^44 and a half") << 17592186044416.5;
    QTest::newRow("a tie rounds to even, down") << 0.0078125;
    QTest::newRow("a tie rounds to even, up") << 0.0234375;
    QTest::newRow("a negative tie") << -0.0390625;
    QTest::newRow("a tie after whole digits") << 1000000.0078125;
    QTest::newRow("rounds up into the whole part") << 0.9999996;
    QTest::newRow("rounds up to a fourth digit") << 999.9999999;
    QTest::newRow("rounds up to a seventh digit") << 999999.99999999;
    QTest::newRow("three digits") << 999.5;
    QTest::newRow("four digits") << 1000.25;
    QTest::newRow("six digits") << 999999.75;
    QTest::newRow("seven digits") << 1000000.125;
    QTest::newRow("nine digits") << 999999999.5;
    QTest::newRow("ten digits") << 1000000000.5;
    QTest::newRow("2^-12") << 0.000244140625;
    QTest::newRow("just below 2^-12") << std::nextafter(0.000244140625, 0.0);
    QTest::newRow("just below half a millionth") << std::nextafter(5e-7, 0.0);
    QTest::newRow("just above half a millionth") << std::nextafter(5e-7, 1.0);
    QTest::newRow("negative, rounding to zero") << -4e-7;
    QTest::newRow("negative, rounding to zero below 2^-12") << -1e-5 / 64;
    QTest::newRow("negative subnormal") << -DBL_TRUE_MIN;
    QTest::newRow("largest subnormal") << std::nextafter(DBL_MIN, 0.0);
    QTest::newRow("rounds up to one") << -0.9999995000000001;
    QTest::newRow("largest six-digit text") << 999999.9999994;
    QTest::newRow("half below 2^52") << std::nextafter(4503599627370496.0, 0.0);
    QTest::newRow("2^52") << 4503599627370496.0;
    // A large scaling can take a raw value past the largest double.
    QTest::newRow("infinity") << double(INFINITY);
    QTest::newRow("minus infinity") << -double(INFINITY);
}

void FieldCodecTest::fixedExtremes()
{
    QFETCH(double, value);
    QCOMPARE(formatted(value), printed(value));
    QVERIFY(formatted(value).size() <= 317);
}

void FieldCodecTest::fixedBinaryFractions()
{
    // Multiples of 2^-7 end in ...5 at the seventh decimal: every one is a tie. Multiples of
    // 2^-20 and 2^-30 stress the rounding of long binary fractions, across the digit groups.
    for (int64_t k = -200000; k <= 200000; ++k) {
        for (double value : {std::ldexp(double(k), -7), std::ldexp(double(k), -20),
                             std::ldexp(double(k) * 7919, -30), double(k) * 4999.0 + 0.5}) {
            if (formatted(value) != printed(value))
                QFAIL(("for " + printed(value) + " formatted " + formatted(value)).c_str());
        }
    }
}

void FieldCodecTest::fixedEveryDigitCount()
{
    // Whole parts of 1 to 19 digits with random decimals, and the neighbours of every power of
    // ten: just below, at, above, and just below by half a millionth, which rounds up to it.
    std::mt19937_64 rng(kSeed);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    for (int digits = 1; digits <= 19; ++digits) {
        const double power = std::pow(10.0, digits - 1);
        std::vector<double> values = {std::nextafter(power, 0.0),
                                      power,
                                      std::nextafter(power, INFINITY),
                                      power - 5e-7,
                                      power - 4.9e-7,
                                      power - 5.1e-7};
        for (int i = 0; i < 5000; ++i)
            values.push_back(power * (1 + 9 * unit(rng)));
        for (double magnitude : values) {
            for (double value : {magnitude, -magnitude}) {
                if (formatted(value) != printed(value))
                    QFAIL(("for " + printed(value) + " formatted " + formatted(value)).c_str());
            }
        }
    }
}

void FieldCodecTest::fixedStaysInItsRoom()
{
    // The text may be followed by scratch up to 17 bytes from its start, never further, and
    // nothing before it is touched.
    constexpr char kUntouched = '#';
    std::mt19937_64 rng(kSeed);
    for (int i = 0; i < 100000; ++i) {
        const double value =
            std::ldexp(double(int64_t(rng() % 2000001) - 1000000), int(rng() % 90) - 60);
        char room[64];
        std::memset(room, kUntouched, sizeof room);
        char *const out = room + 1;
        char *const end = formatFixed(out, value);
        QCOMPARE(std::string(out, end), printed(value));
        QCOMPARE(room[0], kUntouched);
        for (const char *rest = std::max(end, out + 17); rest != room + sizeof room; ++rest) {
            if (*rest != kUntouched)
                QFAIL(("for " + printed(value) + " a byte past the room was overwritten").c_str());
        }
    }
}

void FieldCodecTest::micros_data()
{
    QTest::addColumn<qulonglong>("micros");
    QTest::addColumn<QString>("text");
    QTest::newRow("zero") << 0ull << "0.000000";
    QTest::newRow("single precision would say 123.456795") << 123456789ull << "123.456789";
    QTest::newRow("single precision would say 100.000000") << 100000001ull << "100.000001";
    QTest::newRow("past the wrap") << 4294967396ull << "4294.967396";
    QTest::newRow("a thousand seconds") << 1000000000ull << "1000.000000";
    QTest::newRow("a billion seconds") << 1000000000000000ull << "1000000000.000000";
    QTest::newRow("six whole digits") << 999999999999ull << "999999.999999";
    QTest::newRow("seven whole digits") << 1000000000000ull << "1000000.000000";
    QTest::newRow("largest") << 18446744073709551615ull << "18446744073709.551615";
}

void FieldCodecTest::micros()
{
    QFETCH(qulonglong, micros);
    QFETCH(QString, text);
    char out[32];
    QCOMPARE(QString::fromLatin1(out, int(formatMicros(out, micros) - out)), text);
}

QTEST_GUILESS_MAIN(FieldCodecTest)
#include "tst_fieldcodec.moc"
