#include "conversion/conversion.h"
#include "decodertesting.h"
#include "referencedecoder.h"
#include "testfiles.h"

#include <QTemporaryDir>
#include <QTest>

#include <nlohmann/json.hpp>

#include <random>

// The engine against the plain reference decoder on generated databases and logs: duplicate
// identifiers and names, both identifier formats, short "dlc"s, signals past the data, unknown
// frames, steps back in time and a time-stamp wrap, with and without smart mode.
class ReferenceMatchTest : public QObject
{
    Q_OBJECT

private slots:
    void sameTable_data();
    void sameTable();
};

namespace {

const char *const kNames[] = {"Speed", "speed",       "Zeta", "abc", "RPM", "Gear", "_x",
                              "a b",   "T\xC3\xA4gl", "Volt", "Amp", "Z",   "z0",   "Brake"};

nlohmann::json generatedSignal(std::mt19937 &rng, bool uniqueNames, int number)
{
    const bool little = rng() % 2;
    const int length = 1 + int(rng() % (rng() % 3 == 0 ? 64 : 16));
    const int position = int(rng() % (72 - std::min(length, 64) + 1)); // sometimes past byte 7
    const int startbit =
        little ? std::min(position, 64 - length + 8) : 8 * (position / 8) + 7 - position % 8;
    // -1 with an offset of -0.0 gives -0.0 for a raw 0, which prints apart from 0.
    const double factors[] = {1, 0.01, -0.5, 1e-6, 123.456, 0.1, -1, 0.0078125};
    const double offsets[] = {0, -40, 0.5, 1e6, -0.001, -0.0};
    const std::string name =
        uniqueNames ? "s" + std::to_string(number) : kNames[rng() % std::size(kNames)];
    nlohmann::json sig = {{"name", name},
                          {"startbit", startbit},
                          {"bitlength", length},
                          {"scaling", factors[rng() % std::size(factors)]},
                          {"offset", offsets[rng() % std::size(offsets)]},
                          {"signed", rng() % 2 == 0}};
    if (little)
        sig["endianess"] = true;
    return sig;
}

uint32_t generatedId(std::mt19937 &rng)
{
    if (rng() % 3 == 0)
        return 0x80000000u | uint32_t(rng() % 0x20000000u);
    return uint32_t(rng() % 2048);
}

// Twelve messages, two of which repeat an earlier id; the last id never occurs in the log.
// Without unique names, messages share columns.
nlohmann::json generatedCandb(std::mt19937 &rng, bool uniqueNames, std::vector<uint32_t> &logIds)
{
    int number = 0;
    nlohmann::json messages = nlohmann::json::array();
    std::vector<uint32_t> ids;
    for (int m = 0; m < 12; ++m) {
        const uint32_t id = (m == 5 || m == 9) ? ids[rng() % ids.size()] : generatedId(rng);
        ids.push_back(id);
        nlohmann::json sigs = nlohmann::json::array();
        const int count = 1 + int(rng() % 8);
        for (int s = 0; s < count; ++s)
            sigs.push_back(generatedSignal(rng, uniqueNames, number++));
        const int dlc = rng() % 5 == 0 ? int(rng() % 13) : 8;
        messages.push_back({{"id", id}, {"dlc", dlc}, {"signals", sigs}});
    }
    logIds.assign(ids.begin(), ids.end() - 1);
    logIds.push_back(0x7FF); // frames of no message
    logIds.push_back(0x80000001u);
    return {{"messages", messages}};
}

// With `fewValues`, data bytes come from a handful of values: signals then often keep or get
// back their value, and zero fields are common.
Frames generatedLog(std::mt19937 &rng, const std::vector<uint32_t> &ids, uint32_t start,
                    uint32_t frames, bool fewValues)
{
    const uint8_t few[] = {0x00, 0x00, 0x01, 0x80, 0xFF};
    Frames log;
    uint32_t time = start;
    for (uint32_t i = 0; i < frames; ++i) {
        time += rng() % 50 == 0 ? uint32_t(-int32_t(rng() % 3000)) : uint32_t(rng() % 400);
        const uint32_t id = ids[rng() % ids.size()];
        LogFrame frame{id & 0x1FFFFFFFu, (id & 0x80000000u) != 0, time, {}};
        for (uint8_t &byte : frame.data)
            byte = fewValues ? few[rng() % std::size(few)] : uint8_t(rng());
        log.push_back(frame);
    }
    return log;
}

} // namespace

void ReferenceMatchTest::sameTable_data()
{
    QTest::addColumn<uint>("seed");
    QTest::addColumn<uint>("start");
    QTest::addColumn<uint>("period");
    QTest::addColumn<bool>("smart");
    QTest::addColumn<bool>("uniqueNames");
    QTest::addColumn<bool>("fewValues");
    const uint nearWrap = 0xFFFFFFFFu - 600000u;
    for (uint seed : {1u, 2u, 3u, 4u}) {
        // Seed 3 gives every signal a name of its own, seed 4 few distinct data bytes.
        const bool uniqueNames = seed == 3;
        const bool fewValues = seed == 4;
        for (bool smart : {false, true}) {
            for (uint period : {1u, 50u, 997u, 100000u}) {
                const QByteArray tag = QString("seed %1 period %2%3")
                                           .arg(seed)
                                           .arg(period)
                                           .arg(smart ? " smart" : "")
                                           .toUtf8();
                QTest::newRow(tag.constData())
                    << seed << 0u << period << smart << uniqueNames << fewValues;
                QTest::newRow((tag + " across the wrap").constData())
                    << seed << nearWrap << period << smart << uniqueNames << fewValues;
            }
        }
    }
}

void ReferenceMatchTest::sameTable()
{
    QFETCH(uint, seed);
    QFETCH(uint, start);
    QFETCH(uint, period);
    QFETCH(bool, smart);
    QFETCH(bool, uniqueNames);
    QFETCH(bool, fewValues);
    std::mt19937 rng(seed);
    std::vector<uint32_t> logIds;
    const Candb candb = readCandb(generatedCandb(rng, uniqueNames, logIds));
    QVERIFY2(candb.ok(), candb.error.c_str());

    QTemporaryDir dir;
    const std::string logPath = nativePath(dir.filePath("generated.qvl"));
    const std::string outputPath = nativePath(dir.filePath("generated.csv"));
    QVERIFY(writeLogFile(logPath, generatedLog(rng, logIds, start, 6000, fewValues)));
    const ConversionSummary summary = convertLog(candb, {logPath, outputPath, period, smart});
    QCOMPARE(summary.outcome, ConversionOutcome::Finished);
    QVERIFY(summary.rows > 0);

    const QByteArray table = readFile(dir.filePath("generated.csv"));
    const std::string expected = referenceTable(candb, logPath, period, smart);
    QCOMPARE(table.size(), qsizetype(expected.size()));
    QVERIFY(table == QByteArray::fromStdString(expected));
    if (fewValues)
        QVERIFY(table.contains(",-0.000000"));
}

QTEST_GUILESS_MAIN(ReferenceMatchTest)
#include "tst_referencematch.moc"
