#include "database/candb.h"
#include "database/dbc.h"
#include "database/signalcodec.h"

#include <QtTest>
#include <nlohmann/json.hpp>

#include <cinttypes>
#include <fstream>
#include <random>

using json = nlohmann::json;

namespace {

DbcConversion convert(const QByteArray &text)
{
    return convertDbc(std::string_view(text.constData(), size_t(text.size())));
}

// The Candb document as the decoder reads it, through the Candb reader.
Candb readConverted(const DbcConversion &conversion)
{
    return readCandb(json(conversion.document));
}

// "Message.Signal" for every signal the document holds, in order.
QStringList keptSignals(const DbcConversion &conversion)
{
    QStringList kept;
    if (!conversion.document.is_object())
        return kept;
    for (const auto &message : conversion.document["messages"])
        for (const auto &signal : message["signals"])
            kept << QString::fromStdString(message["name"].get<std::string>() + '.' +
                                           signal["name"].get<std::string>());
    return kept;
}

// The lines about irregular text, then those about signals left out.
QStringList warningLines(const DbcConversion &conversion)
{
    QStringList lines;
    for (const std::string &deviation : conversion.deviations)
        lines << QString::fromStdString(deviation);
    for (const std::string &warning : conversion.warnings)
        lines << QString::fromStdString(warning);
    return lines;
}

const QByteArray kHeader = "VERSION \"\"\n\nNS_ :\n\tNS_DESC_\n\tCM_\n\tBA_DEF_\n\tSG_MUL_VAL_\n\n"
                           "BS_:\n\nBU_: Engine Logger\n\n";

Signal onlySignal(const Candb &candb)
{
    if (candb.messages.size() != 1 || candb.messages[0].signalList.size() != 1)
        return Signal{};
    return candb.messages[0].signalList[0];
}

} // namespace

class TestDbc : public QObject
{
    Q_OBJECT

private slots:
    void readsEveryConstruct_data();
    void readsEveryConstruct();
    void convertsRandomDatabasesFieldByField();
    void decodesFramesAsTheDbcDescribes_data();
    void decodesFramesAsTheDbcDescribes();
    void exampleDbcMatchesExampleCandb();
    void decodesAFileOfRealFilesConstructsExactly_data();
    void decodesAFileOfRealFilesConstructsExactly();
};

void TestDbc::readsEveryConstruct_data()
{
    QTest::addColumn<QByteArray>("dbc");
    QTest::addColumn<QStringList>("kept");
    QTest::addColumn<QStringList>("warnings");
    QTest::addColumn<QString>("error");

    const QByteArray engine = "BO_ 192 Engine: 8 Engine\n";
    const QByteArray speed = " SG_ Speed : 0|16@1+ (0.25,0) [0|16383.75] \"rpm\" Logger\n";

    QTest::newRow("header sections, nodes and a plain signal")
        << kHeader + engine + speed << QStringList{"Engine.Speed"} << QStringList{} << QString();
    QTest::newRow("comments over several lines with escaped quotes, value tables, attributes")
        << kHeader + "VAL_TABLE_ OffOn 1 \"On\" 0 \"Off\" ;\n" + engine + speed +
               "BO_TX_BU_ 192 : Engine,Logger;\n"
               "CM_ \"database; with a semicolon\";\n"
               "CM_ SG_ 192 Speed \"first line\nsecond \\\"quoted\\\" line\nBO_ 1 X: 8 Y\";\n"
               "BA_DEF_ BO_  \"GenMsgCycleTime\" INT 0 65535;\nBA_DEF_DEF_  \"GenMsgCycleTime\" "
               "0;\n"
               "BA_ \"GenMsgCycleTime\" BO_ 192 10;\nVAL_ 192 Speed 0 \"Stopped\" ;\n"
               "SIG_GROUP_ 192 All 1 : Speed;\nEV_ Mode: 0 [0|3] \"\" 0 1 DUMMY_NODE_VECTOR0 Y;\n"
        << QStringList{"Engine.Speed"} << QStringList{} << QString();
    QTest::newRow("Windows line ends and a byte order mark")
        << QByteArray(
               "\xEF\xBB\xBFVERSION \"\"\r\n\r\nBS_:\r\n\r\nBO_ 192 Engine: 8 Engine\r\n"
               " SG_ Speed : 0|16@1+ (0.25,0) [0|1] \"rpm\" Logger\r\n SG_ Load : 16|8@1+ (1,0) "
               "[0|1] \"%\" Logger\r\n\r\nCM_ SG_ 192 Speed \"a\r\nb\";\r\n")
        << QStringList{"Engine.Speed", "Engine.Load"} << QStringList{} << QString();
    QTest::newRow("messages and signals keep the file's order")
        << QByteArray(
               "BO_ 900 Zeta: 2 A\n SG_ Z : 0|8@1+ (1,0) [0|0] \"\" A\n SG_ A : 8|8@1+ (1,0) [0|0] "
               "\"\" "
               "A\nBO_ 100 Alpha: 1 A\n SG_ M : 0|8@1+ (1,0) [0|0] \"\" A\n")
        << QStringList{"Zeta.Z", "Zeta.A", "Alpha.M"} << QStringList{} << QString();
    QTest::newRow("switch kept, multiplexed signals left out one warning each")
        << QByteArray(
               "BO_ 192 Engine: 8 E\n SG_ Mode M : 0|8@1+ (1,0) [0|0] \"\" E\n"
               " SG_ Low m0 : 8|8@1+ (1,0) [0|0] \"\" E\n SG_ High m1 : 8|8@1+ (1,0) [0|0] \"\" E\n"
               " SG_ Sub m2M : 16|8@1+ (1,0) [0|0] \"\" E\n")
        << QStringList{"Engine.Mode"}
        << QStringList{"message Engine (id 192), signal Low: left out (multiplexed, m0)",
                       "message Engine (id 192), signal High: left out (multiplexed, m1)",
                       "message Engine (id 192), signal Sub: left out (multiplexed, m2M)"}
        << QString();
    QTest::newRow("extended multiplexing leaves its signal out")
        << engine + speed + " SG_ Extra : 16|8@1+ (1,0) [0|0] \"\" E\n" +
               "SG_MUL_VAL_ 192 Extra Speed 1-1, 3-5;\n"
        << QStringList{"Engine.Speed"}
        << QStringList{"message Engine (id 192), signal Extra: left out (multiplexed, SG_MUL_VAL_)"}
        << QString();
    QTest::newRow("floating-point signals left out, an integer value type kept")
        << engine + speed + " SG_ Temp : 16|32@1- (1,0) [0|0] \"\" E\n" +
               " SG_ Big : 0|64@1- (1,0) [0|0] \"\" E\n" + "SIG_VALTYPE_ 192 Temp : 1;\n" +
               "SIG_VALTYPE_ 192 Big : 2;\nSIG_VALTYPE_ 192 Speed : 0;\n"
        << QStringList{"Engine.Speed"}
        << QStringList{"message Engine (id 192), signal Temp: left out (floating point, 32 bits)",
                       "message Engine (id 192), signal Big: left out (floating point, 64 bits)"}
        << QString();
    QTest::newRow("signals past the message's length left out, in both byte orders")
        << QByteArray(
               "BO_ 416 Short: 2 A\n SG_ Fits : 7|16@0+ (1,0) [0|0] \"\" A\n"
               " SG_ Past : 15|16@0+ (1,0) [0|0] \"\" A\n SG_ Edge : 8|8@1+ (1,0) [0|0] \"\" A\n"
               " SG_ Over : 9|8@1+ (1,0) [0|0] \"\" A\n SG_ Far : 600|8@1+ (1,0) [0|0] \"\" A\n")
        << QStringList{"Short.Fits", "Short.Edge"}
        << QStringList{"message Short (id 416), signal Past: left out (outside its message of 2 "
                       "bytes)",
                       "message Short (id 416), signal Over: left out (outside its message of 2 "
                       "bytes)",
                       "message Short (id 416), signal Far: left out (outside its message of 2 "
                       "bytes)"}
        << QString();
    QTest::newRow("signals of no bits or longer than 64 bits left out")
        << QByteArray(
               "BO_ 1 Wide: 64 A\n SG_ Huge : 0|65@1+ (1,0) [0|0] \"\" A\n"
               " SG_ None : 0|0@1+ (1,0) [0|0] \"\" A\n SG_ Full : 64|64@1+ (1,0) [0|0] \"\" A\n")
        << QStringList{"Wide.Full"}
        << QStringList{"message Wide (id 1), signal Huge: left out (longer than 64 bits)",
                       "message Wide (id 1), signal None: left out (it has no bits)"}
        << QString();
    QTest::newRow("the pseudo-message of independent signals is skipped")
        << engine + speed + "BO_ 3221225472 VECTOR__INDEPENDENT_SIG_MSG: 0 Vector__XXX\n" +
               " SG_ Planned : 0|8@1+ (1,0) [0|0] \"\" Vector__XXX\n"
        << QStringList{"Engine.Speed"} << QStringList{} << QString();
    QTest::newRow("Windows-1252 names become UTF-8, UTF-8 names stay")
        << QByteArray("BO_ 5 Fahrzeug\xFC: 8 A\n SG_ Geschwindigkeit\xE4 : 0|8@1+ (1,0) [0|0] "
                      "\"\xB0\" A\n SG_ Temp\xC3\xA9 : 8|8@1+ (1,0) [0|0] \"\" A\n")
        << QStringList{"Fahrzeug\u00FC.Geschwindigkeit\u00E4", "Fahrzeug\u00FC.Temp\u00E9"}
        << QStringList{"3 names or units not in UTF-8, read as Windows-1252, the first at line 1"}
        << QString();

    // Constructs of real files that the DBC format does not allow: each read, and each kind
    // reported once.
    QTest::newRow("names that begin with a digit")
        << QByteArray("BO_ 1275 2017_5: 8 XXX\n SG_ 0_COUNTER : 35|4@0+ (1,0) [0|255] \"\" XXX\n")
        << QStringList{"2017_5.0_COUNTER"}
        << QStringList{"2 names that begin with a digit, the first at line 1"} << QString();
    QTest::newRow("the nodes of BU_ one per indented line")
        << "BU_:\n\tNEO\n\tMCU\n\n" + engine + speed << QStringList{"Engine.Speed"} << QStringList{}
        << QString();
    QTest::newRow("statements without ';' end where the next line begins a statement")
        << engine + speed + "VAL_ 192 Speed 1 \"Active\" 0 \"Inactive\"\nCM_ \"Front target\"\n" +
               "CM_ SG_ 192 Speed \"a\nBO_ 1 X: 8 Y\"\n" + "BO_ 300 Next: 8 A\n" + speed +
               "VAL_ 300 Speed 0 \"at the end of the file\""
        << QStringList{"Engine.Speed", "Next.Speed"}
        << QStringList{"4 statements without their closing ';', the first at line 3"} << QString();
    QTest::newRow("a Windows path at the end of a comment")
        << engine + speed + "CM_ BO_ 192 \"C:\\logs\\\";\nCM_ BO_ 192 \"\\\"x\\\";\" ;\n"
        << QStringList{"Engine.Speed"} << QStringList{} << QString();
    QTest::newRow("names cut to 32 characters get their full names, but none with a comma")
        << engine + " SG_ SpeedOfTheFirstCylinderBank_0 : 0|8@1+ (1,0) [0|0] \"\" E\n" + speed +
               "BA_ \"SystemSignalLongSymbol\" SG_ 192 SpeedOfTheFirstCylinderBank_0 "
               "\"SpeedOfTheFirstCylinderBank_0001\";\nBA_ \"SystemSignalLongSymbol\" SG_ 192 "
               "Speed \"Speed, in rpm\";\nBA_ \"SystemMessageLongSymbol\" BO_ 192 \"EngineData\";\n"
        << QStringList{"EngineData.SpeedOfTheFirstCylinderBank_0001", "EngineData.Speed"}
        << QStringList{} << QString();
    QTest::newRow("a multiplexed mark without its number")
        << engine + " SG_ MO2_Mp_Code m : 6|2@1+ (1,0) [0|3] \"\" Gateway\n" + speed
        << QStringList{"Engine.Speed"}
        << QStringList{"message Engine (id 192), signal MO2_Mp_Code: left out (multiplexed, m)"}
        << QString();
    QTest::newRow("identifiers no frame can carry kept as written")
        << "BO_ 13274 Std: 8 A\n" + speed + "BO_ 2684354560 Ext: 8 A\n" + speed +
               "BO_ 3221225472 VECTOR__INDEPENDENT_SIG_MSG: 0 Vector__XXX\n"
        << QStringList{"Std.Speed", "Ext.Speed"}
        << QStringList{"2 messages whose identifiers no frame can carry (standard above 2047, "
                       "extended above 536870911), kept as written, the first at line 1"}
        << QString();
    QTest::newRow("unknown statements read past, also among a message's signals")
        << engine + "FOO_ 1 2;\n" + speed + "BAR_ x\ny\n"
        << QStringList{"Engine.Speed"}
        << QStringList{"2 statements of kinds unknown to DBC files, read past, the first at line 2"}
        << QString();
    QTest::newRow("comments after //")
        << "// written by hand\n" + engine + speed.chopped(1) + " // km/h\n"
        << QStringList{"Engine.Speed"}
        << QStringList{"2 comments after //, read past, the first at line 1"} << QString();
    QTest::newRow("a range that is no two numbers, a unit missing")
        << engine + " SG_ A : 0|8@1+ (1,0) [0|1.#INF] \"\" E\n SG_ B : 8|8@1+ (1,0) [0|1] E\n"
        << QStringList{"Engine.A", "Engine.B"}
        << QStringList{"1 signal without a range [minimum|maximum] of two numbers, its range read "
                       "past, at line 2",
                       "1 signal without a unit in quotes, read as one without unit, at line 3"}
        << QString();
    QTest::newRow("a J1939 message longer than 64 bytes left out")
        << "BO_ 2566844926 Tp: 1785 A\n" + speed + engine + speed << QStringList{"Engine.Speed"}
        << QStringList{"1 message longer than 64 bytes, left out, at line 1",
                       "message Tp (id 2566844926), signal Speed: left out (its message is longer "
                       "than 64 bytes)"}
        << QString();
    QTest::newRow("a value type given before its message, an unknown multiplexer mark")
        << "SIG_VALTYPE_ 192 Speed : 2;\n" + engine + speed +
               " SG_ X x1 : 16|8@1+ (1,0) [0|0] \"\" E\n"
        << QStringList{}
        << QStringList{"message Engine (id 192), signal Speed: left out (floating point, 64 bits)",
                       "message Engine (id 192), signal X: left out ('x1' before ':' is no "
                       "multiplexer mark)"}
        << QString();

    QTest::newRow("a text without any message is refused")
        << kHeader << QStringList{} << QStringList{}
        << "line 11: the file ends without a message (BO_) to convert";
    QTest::newRow("a UTF-16 text is refused")
        << QByteArray("\xFF\xFE"
                      "B\0O\0_\0",
                      8)
        << QStringList{} << QStringList{}
        << "line 1: the text is UTF-16; saved as UTF-8 or Windows-1252 it can be read";
    QTest::newRow("a broken factor is refused")
        << engine + " SG_ Speed : 0|16@1+ (1.#INF,0) [0|0] \"\" A\n"
        << QStringList{} << QStringList{} << "line 2: expected ',' after the factor, found '#'";
    QTest::newRow("a signal line without '|' names its line and what was expected")
        << engine + " SG_ Speed : 0 16@1+ (1,0) [0|0] \"\" A\n"
        << QStringList{} << QStringList{} << "line 2: expected '|' after the start bit, found '16'";
    QTest::newRow("a byte order other than 0 or 1 is refused")
        << engine + " SG_ Speed : 0|16@2+ (1,0) [0|0] \"\" A\n"
        << QStringList{} << QStringList{} << "line 2: expected the byte order, 0 or 1, found '2'";
    QTest::newRow("an identifier past 32 bits is refused")
        << QByteArray("BO_ 4294967296 X: 8 A\n") << QStringList{} << QStringList{}
        << "line 1: expected a message identifier from 0 to 4294967295, found '4294967296'";
    QTest::newRow("a factor too large for a double is refused")
        << engine + " SG_ Speed : 0|16@1+ (1e999,0) [0|0] \"\" A\n"
        << QStringList{} << QStringList{} << "line 2: expected the factor, found '1e999'";
    QTest::newRow("a signal before any message is refused")
        << kHeader + speed << QStringList{} << QStringList{}
        << "line 13: expected a BO_ message before its SG_ signals, found 'SG_'";
    QTest::newRow("a comment never closed names the line it began on")
        << engine + speed + "CM_ \"open\n\n"
        << QStringList{} << QStringList{} << "line 3: the string that begins here is never closed";
    QTest::newRow("a string never closed among the receivers is refused")
        << engine + " SG_ Speed : 0|16@1+ (1,0) [0|0] \"\" A B \"open\n"
        << QStringList{} << QStringList{} << "line 2: the string that begins here is never closed";
    QTest::newRow("a faulty line before a string never closed is the one named")
        << engine + " SG_ Speed : 0|16@1+ (1,0\nCM_ \"open\n"
        << QStringList{} << QStringList{} << "line 3: expected ')' after the offset, found 'CM_'";
}

void TestDbc::readsEveryConstruct()
{
    QFETCH(QByteArray, dbc);
    QFETCH(QStringList, kept);
    QFETCH(QStringList, warnings);
    QFETCH(QString, error);

    const DbcConversion conversion = convert(dbc);
    QCOMPARE(QString::fromStdString(conversion.error), error);
    QCOMPARE(keptSignals(conversion), kept);
    QCOMPARE(warningLines(conversion), warnings);
    if (conversion.ok())
        QVERIFY2(readConverted(conversion).ok(), readConverted(conversion).error.c_str());
    else
        QVERIFY(conversion.document.is_null());
}

// Random databases written as DBC text must come back field by field. A failure names the seed,
// so the same database can be made again.
void TestDbc::convertsRandomDatabasesFieldByField()
{
    const uint64_t seed = 20261209;
    qInfo("seed %" PRIu64, seed);
    std::mt19937_64 random(seed);
    auto below = [&](uint64_t n) {
        return std::uniform_int_distribution<uint64_t>(0, n - 1)(random);
    };
    auto number = [&] {
        const double magnitude = std::pow(10.0, double(below(12)) - 6);
        return std::uniform_real_distribution<double>(-magnitude, magnitude)(random);
    };

    json expected = json::array();
    std::string dbc = "VERSION \"\"\n\nBS_:\n\nBU_: A\n\n";
    for (int m = 0; m < 40; ++m) {
        const bool extended = below(2);
        const uint64_t id = extended ? (0x80000000u | below(0x20000000)) : below(0x800);
        const uint64_t dlc = below(3) == 0 ? 64 : 1 + below(8);
        json message = {{"name", "Msg" + std::to_string(m)}, {"id", id}, {"dlc", dlc}};
        dbc += "BO_ " + std::to_string(id) + " Msg" + std::to_string(m) + ": " +
               std::to_string(dlc) + " A\n";
        for (uint64_t s = below(6); s > 0; --s) {
            const bool little = below(2);
            const uint64_t length = 1 + below(std::min<uint64_t>(64, 8 * dlc));
            const uint64_t first = below(8 * dlc - length + 1); // position along the byte order
            const uint64_t start = little ? first : uint64_t(be_bits()[first]);
            json signal = {{"name", "Sig" + std::to_string(s)},
                           {"startbit", start},
                           {"bitlength", length},
                           {"endianess", little},
                           {"signed", bool(below(2))},
                           {"scaling", number()},
                           {"offset", number()},
                           {"unit", below(2) ? "km/h" : ""}};
            char line[300];
            std::snprintf(
                line, sizeof line, " SG_ Sig%d : %d|%d@%d%c (%.17g,%.17g) [0|1] \"%s\" A\n", int(s),
                int(start), int(length), int(little), signal["signed"].get<bool>() ? '-' : '+',
                signal["scaling"].get<double>(), signal["offset"].get<double>(),
                signal["unit"].get<std::string>().c_str());
            dbc += line;
            message["signals"].push_back(signal);
        }
        if (!message.contains("signals"))
            message["signals"] = json::array();
        expected.push_back(message);
    }

    const DbcConversion conversion = convertDbc(dbc);
    QVERIFY2(conversion.ok(), conversion.error.c_str());
    QVERIFY(conversion.warnings.empty() && conversion.deviations.empty());
    QCOMPARE(json(conversion.document["messages"]), expected);
    QVERIFY(readConverted(conversion).ok());
}

void TestDbc::decodesFramesAsTheDbcDescribes_data()
{
    QTest::addColumn<QByteArray>("signalLine");
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<double>("value");

    const QByteArray bytes = QByteArray::fromHex("123456789ABCDEF0");
    QTest::newRow("Intel 16 bits from bit 0") << QByteArray("0|16@1+ (1,0)") << bytes << 13330.0;
    QTest::newRow("Intel across a byte boundary") << QByteArray("4|8@1+ (1,0)") << bytes << 65.0;
    QTest::newRow("Intel 64 bits")
        << QByteArray("0|64@1+ (1,0)") << bytes << double(0xF0DEBC9A78563412u);
    QTest::newRow("Motorola 16 bits from bit 7") << QByteArray("7|16@0+ (1,0)") << bytes << 4660.0;
    QTest::newRow("Motorola 10 bits from the middle of byte 1")
        << QByteArray("13|10@0+ (1,0)") << bytes << 837.0;
    QTest::newRow("Motorola signed, scaled and offset")
        << QByteArray("7|12@0- (0.5,10)") << QByteArray::fromHex("8000") << -1014.0;
    QTest::newRow("Intel signed all ones")
        << QByteArray("0|12@1- (0.5,10)") << QByteArray::fromHex("FF0F") << 9.5;
    QTest::newRow("unsigned scaled with a negative offset")
        << QByteArray("8|8@1+ (2,-40)") << QByteArray::fromHex("00C8") << 360.0;
}

// The converted file, read by the Candb reader, drives the decoder's own extraction.
void TestDbc::decodesFramesAsTheDbcDescribes()
{
    QFETCH(QByteArray, signalLine);
    QFETCH(QByteArray, frame);
    QFETCH(double, value);

    const DbcConversion conversion = convert("BO_ 291 Frame: " + QByteArray::number(frame.size()) +
                                             " A\n SG_ Value : " + signalLine + " [0|0] \"\" A\n");
    QVERIFY2(conversion.ok(), conversion.error.c_str());
    const Signal signal = onlySignal(readConverted(conversion));
    QVERIFY(signal.size > 0);
    const auto *data = reinterpret_cast<const uint8_t *>(frame.constData());
    QCOMPARE(physicalValue(signal, extractRaw(data, frameByteCount(signal), signal)), value);
}

// The example DBC file describes the example vehicle exactly: every signal the example Candb
// file defines, field by field, so a log decodes to the same table with either.
void TestDbc::exampleDbcMatchesExampleCandb()
{
    std::ifstream dbcFile(QUORVANE_EXAMPLES_DIR "/vehicle.dbc", std::ios::binary);
    const std::string text{std::istreambuf_iterator<char>(dbcFile), {}};
    const DbcConversion conversion = convertDbc(text);
    QVERIFY2(conversion.ok(), conversion.error.c_str());
    QVERIFY(conversion.warnings.empty() && conversion.deviations.empty());
    const Candb fromDbc = readConverted(conversion);

    std::ifstream candbFile(QUORVANE_EXAMPLES_DIR "/vehicle.json");
    const Candb fromJson = readCandb(candbFile);
    QVERIFY(fromJson.ok());
    QCOMPARE(fromDbc.messages.size(), fromJson.messages.size());
    for (size_t m = 0; m < fromJson.messages.size(); ++m) {
        const std::vector<Signal> &got = fromDbc.messages[m].signalList;
        const std::vector<Signal> &want = fromJson.messages[m].signalList;
        QCOMPARE(fromDbc.messages[m].id, fromJson.messages[m].id);
        QCOMPARE(got.size(), want.size());
        for (size_t s = 0; s < want.size(); ++s) {
            QCOMPARE(got[s].name, want[s].name);
            QCOMPARE(got[s].DLC, want[s].DLC);
            QCOMPARE(got[s].msb, want[s].msb);
            QCOMPARE(got[s].lsb, want[s].lsb);
            QCOMPARE(got[s].size, want[s].size);
            QCOMPARE(got[s].is_signed, want[s].is_signed);
            QCOMPARE(got[s].is_little_endian, want[s].is_little_endian);
            QCOMPARE(got[s].factor, want[s].factor);
            QCOMPARE(got[s].offset, want[s].offset);
        }
    }
    // Units and names pass through as extra keys; the comment's Latin-1 degree sign is read past.
    QVERIFY(conversion.document["messages"][0]["name"] == "EngineData");
    QVERIFY(conversion.document["messages"][0]["signals"][0]["unit"] == "rpm");
}

void TestDbc::decodesAFileOfRealFilesConstructsExactly_data()
{
    QTest::addColumn<QByteArray>("lineEnd");
    QTest::addColumn<QByteArray>("start");

    QTest::newRow("Unix line ends") << QByteArray("\n") << QByteArray();
    QTest::newRow("Windows line ends after a byte order mark")
        << QByteArray("\r\n") << QByteArray("\xEF\xBB\xBF");
    QTest::newRow("old Mac line ends") << QByteArray("\r") << QByteArray();
}

// A file as real ones are written, in Windows-1252, with every signal it keeps decoded from
// frames to values worked out by hand.
void TestDbc::decodesAFileOfRealFilesConstructsExactly()
{
    QFETCH(QByteArray, lineEnd);
    QFETCH(QByteArray, start);

    QByteArray dbc = "VERSION \"\"\n\nNS_ :\n\tNS_DESC_\n\tCM_\n\tSG_MUL_VAL_\n\nBS_:\n\nBU_:\n"
                     "\tNEO\n\tMCU\n\n"
                     "BO_ 1275 2017_5: 8 NEO\n"
                     " SG_ 0_COUNTER : 35|4@0+ (1,0) [0|15] \"\" MCU\n"
                     " SG_ Temp : 7|12@0- (0.5,-40) [-3.4E+038|3.4E+038] \"\xB0"
                     "C\" NEO,MCU\n"
                     " SG_ Ratio : 16|8@1+ (1.25E-001,+1) [.5|1.#INF] \"\x89\" NEO MCU\n"
                     " SG_ Page m : 24|8@1+ (1,0) [0|0] \"\" MCU\n\n"
                     "BO_ 13274 Wide: 64 MCU\n"
                     " SG_ 64_BIT_LE : 159|64@1+ (1,0) [0|0] \"\" NEO\n"
                     " SG_ Far : 500|12@0- (-2,100) [100|-410] \"\" NEO\n\n"
                     "CM_ \"Front target\"\n"
                     "VAL_ 501 ManualMode 1 \"Active\" 0 \"Inactive\"\n"
                     "CM_ SG_ 1275 Temp \"first line\nBO_ 1 Fake: 8 X\n\\\"quoted\\\"\";\n";
    dbc = start + dbc.replace("\n", lineEnd);
    const DbcConversion conversion = convert(dbc);
    QVERIFY2(conversion.ok(), conversion.error.c_str());
    QCOMPARE(warningLines(conversion),
             QStringList({"2 statements without their closing ';', the first at line 24",
                          "3 names that begin with a digit, the first at line 14",
                          "2 names or units not in UTF-8, read as Windows-1252, the first at "
                          "line 16",
                          "1 signal without a range [minimum|maximum] of two numbers, its range "
                          "read past, at line 17",
                          "1 message whose identifier no frame can carry (standard above 2047, "
                          "extended above 536870911), kept as written, at line 20",
                          "message 2017_5 (id 1275), signal Page: left out (multiplexed, m)"}));
    const auto &messages = conversion.document["messages"];
    QVERIFY(messages[0]["signals"][1]["unit"] == "\u00B0C");
    QVERIFY(messages[0]["signals"][2]["unit"] == "\u2030");

    const Candb candb = readConverted(conversion);
    QCOMPARE(candb.messages.size(), size_t(2));
    auto values = [&](size_t message, const QByteArray &frame) {
        QList<double> decoded;
        const auto *data = reinterpret_cast<const uint8_t *>(frame.constData());
        for (const Signal &signal : candb.messages[message].signalList)
            decoded << physicalValue(signal, extractRaw(data, size_t(frame.size()), signal));
        return decoded;
    };
    // 0_COUNTER: the low half of byte 4; Temp: 0xF23 as 12 signed bits, -221; Ratio: byte 2, 86.
    QCOMPARE(values(0, QByteArray::fromHex("F23456789ABCDEF0")),
             QList<double>({10, -221 * 0.5 - 40, 86 * 0.125 + 1}));
    // 64_BIT_LE: bit 7 of byte 19 up to bit 6 of byte 27; Far: bits 4-0 of byte 62, then 7-1 of
    // byte 63, 0x801 as 12 signed bits, -2047.
    QByteArray wide(64, '\0');
    wide[19] = '\x80';
    wide[27] = '\x7F';
    wide[62] = '\x10';
    wide[63] = '\x02';
    QCOMPARE(values(1, wide), QList<double>({double(0xFE00000000000001u), -2047 * -2.0 + 100}));
}

QTEST_GUILESS_MAIN(TestDbc)
#include "tst_dbc.moc"
