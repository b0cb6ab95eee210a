#include "database/candb.h"

#include <QtTest>
#include <nlohmann/json.hpp>

#include <set>
#include <sstream>

using json = nlohmann::json;

namespace {

// Parses and reads a Candb text the way the window does; a parse failure comes back as error.
Candb readText(const std::string &text)
{
    std::istringstream in(text);
    return readCandb(in);
}

json value(const char *text)
{
    return json::parse(text, nullptr, false);
}

json speedSignal()
{
    return {{"name", "Speed"}, {"startbit", 0}, {"bitlength", 16},
            {"scaling", 1},    {"offset", 0},   {"signed", false}};
}

json messageWith(const json &signal)
{
    return {{"id", 291}, {"dlc", 8}, {"signals", json::array({signal})}};
}

std::string documentWith(const json &message)
{
    return json{{"messages", json::array({message})}}.dump();
}

// The one-signal database with `key` of the signal set to the JSON `text`, or removed.
std::string signalKey(const char *key, const char *text)
{
    json signal = speedSignal();
    if (text)
        signal[key] = value(text);
    else
        signal.erase(key);
    return documentWith(messageWith(signal));
}

std::string messageKey(const char *key, const char *text)
{
    json message = messageWith(speedSignal());
    if (text)
        message[key] = value(text);
    else
        message.erase(key);
    return documentWith(message);
}

// The signals of a one-signal database with the given start bit, length and "endianess".
Signal onlySignal(const json &startBit, const json &bitLength, const json *endianess)
{
    json signal = speedSignal();
    signal["startbit"] = startBit;
    signal["bitlength"] = bitLength;
    if (endianess)
        signal["endianess"] = *endianess;
    const Candb candb = readCandb(json::parse(documentWith(messageWith(signal))));
    if (!candb.ok() || candb.messages.size() != 1 || candb.messages[0].signalList.size() != 1)
        return Signal{};
    return candb.messages[0].signalList[0];
}

const char kBitLengthRange[] = "\"bitlength\" must be a whole number from 1 to 64";
const char kStartBitRange[] = "\"startbit\" must be a whole number from 0 to 511";
const char kIdRange[] = "\"id\" must be a whole number from 0 to 4294967295";
const char kDlcRange[] = "\"dlc\" must be a whole number from 0 to 64";

} // namespace

class CandbTest : public QObject
{
    Q_OBJECT

private slots:
    void bigEndianSequence();
    void bitPositions_data();
    void bitPositions();
    void signalFields();
    void endianess_data();
    void endianess();
    void wholeNumbers_data();
    void wholeNumbers();
    void dlcAboveEight();
    void optionalParts();
    void messagesObjectInNameOrder();
    void duplicatesAreAllRead();
    void signalEnd_data();
    void signalEnd();
    void malformed_data();
    void malformed();
    void notJson_data();
    void notJson();
    void nestingDepth();
    void longNamesAreCutInMessages_data();
    void longNamesAreCutInMessages();
};

void CandbTest::bigEndianSequence()
{
    const std::array<int, 512> &bits = be_bits();
    const std::vector<int> start(bits.begin(), bits.begin() + 18);
    QCOMPARE(start,
             (std::vector<int>{7, 6, 5, 4, 3, 2, 1, 0, 15, 14, 13, 12, 11, 10, 9, 8, 23, 22}));
    QCOMPARE(bits[511], 504);
    QCOMPARE(std::set<int>(bits.begin(), bits.end()).size(), size_t(512)); // every bit once
    QCOMPARE(*std::max_element(bits.begin(), bits.end()), 511);
}

void CandbTest::bitPositions_data()
{
    QTest::addColumn<int>("startBit");
    QTest::addColumn<int>("bitLength");
    QTest::addColumn<bool>("little");
    QTest::addColumn<int>("msb");
    QTest::addColumn<int>("lsb");

    QTest::newRow("little 0/16") << 0 << 16 << true << 15 << 0;
    QTest::newRow("little 4/8") << 4 << 8 << true << 11 << 4;
    QTest::newRow("big 7/16") << 7 << 16 << false << 7 << 8;
    QTest::newRow("big 3/8") << 3 << 8 << false << 3 << 12;
    QTest::newRow("big 13/10") << 13 << 10 << false << 13 << 20;
    QTest::newRow("big 7/8") << 7 << 8 << false << 7 << 0;
    QTest::newRow("big 7/64") << 7 << 64 << false << 7 << 56;
    QTest::newRow("big 55/16") << 55 << 16 << false << 55 << 56;
    QTest::newRow("big 0/1") << 0 << 1 << false << 0 << 0;
    QTest::newRow("big 0/2 crosses into byte 1") << 0 << 2 << false << 0 << 15;
    QTest::newRow("little 0/64") << 0 << 64 << true << 63 << 0;
}

void CandbTest::bitPositions()
{
    QFETCH(int, startBit);
    QFETCH(int, bitLength);
    QFETCH(bool, little);
    QFETCH(int, msb);
    QFETCH(int, lsb);

    const json endianess = little;
    const Signal signal = onlySignal(startBit, bitLength, &endianess);
    QCOMPARE(signal.is_little_endian, little);
    QCOMPARE(signal.start_bit, startBit);
    QCOMPARE(signal.size, bitLength);
    QCOMPARE(signal.msb, msb);
    QCOMPARE(signal.lsb, lsb);
}

void CandbTest::signalFields()
{
    const Candb candb = readText(R"({"messages": [{"id": 2147484208, "dlc": 6, "comment": "x",
        "signals": [{"name": "Öl·temp", "startbit": 13, "bitlength": 10, "scaling": 0.25,
                     "offset": -40.5, "signed": true, "unit": "°C"}]}]})");
    QVERIFY2(candb.ok(), candb.error.c_str());
    QCOMPARE(candb.messages.size(), size_t(1));
    QCOMPARE(candb.messages[0].id, 0x80000230u);
    QCOMPARE(candb.messages[0].signalList.size(), size_t(1));
    const Signal &signal = candb.messages[0].signalList[0];
    QCOMPARE(signal.ID, 0x80000230u);
    QCOMPARE(signal.name, std::string("Öl·temp"));
    QCOMPARE(signal.isExt, uint8_t(0)); // even for an extended identifier
    QCOMPARE(signal.DLC, uint8_t(6));
    QCOMPARE(signal.start_bit, 13);
    QCOMPARE(signal.msb, 13);
    QCOMPARE(signal.lsb, 20);
    QCOMPARE(signal.size, 10);
    QCOMPARE(signal.is_signed, true);
    QCOMPARE(signal.factor, 0.25);
    QCOMPARE(signal.offset, -40.5);
    QCOMPARE(signal.is_little_endian, false);
}

void CandbTest::endianess_data()
{
    QTest::addColumn<QByteArray>("endianess"); // JSON text; empty: the key is missing
    QTest::addColumn<bool>("little");

    QTest::newRow("true") << QByteArray("true") << true;
    QTest::newRow("false") << QByteArray("false") << false;
    QTest::newRow("missing") << QByteArray() << false;
    QTest::newRow("number 1") << QByteArray("1") << false;
    QTest::newRow("string intel") << QByteArray("\"intel\"") << false;
    QTest::newRow("string true") << QByteArray("\"true\"") << false;
    QTest::newRow("null") << QByteArray("null") << false;
    QTest::newRow("array") << QByteArray("[true]") << false;
}

void CandbTest::endianess()
{
    QFETCH(QByteArray, endianess);
    QFETCH(bool, little);

    const json given = value(endianess.constData());
    const Signal signal = onlySignal(7, 8, endianess.isEmpty() ? nullptr : &given);
    QCOMPARE(signal.is_little_endian, little);
    QCOMPARE(signal.msb, little ? 14 : 7);
    QCOMPARE(signal.lsb, little ? 7 : 0);
}

// JSON has one number type: a value written as 16.0 or 1e1 is as whole as 16 or 10.
void CandbTest::wholeNumbers_data()
{
    QTest::addColumn<QByteArray>("startBit");
    QTest::addColumn<QByteArray>("bitLength");
    QTest::addColumn<int>("msb");

    QTest::newRow("integers") << QByteArray("4") << QByteArray("8") << 11;
    QTest::newRow("fraction zero") << QByteArray("4.0") << QByteArray("16.0") << 19;
    QTest::newRow("exponent") << QByteArray("1e1") << QByteArray("0.8e1") << 17;
    QTest::newRow("negative zero") << QByteArray("-0.0") << QByteArray("64") << 63;
}

void CandbTest::wholeNumbers()
{
    QFETCH(QByteArray, startBit);
    QFETCH(QByteArray, bitLength);
    QFETCH(int, msb);

    const json little = true;
    const Signal signal = onlySignal(value(startBit), value(bitLength), &little);
    QCOMPARE(signal.msb, msb);
}

// The record holds 8 data bytes, but a database for longer (CAN FD) frames is still accepted.
void CandbTest::dlcAboveEight()
{
    const Candb candb = readText(messageKey("dlc", "64"));
    QVERIFY2(candb.ok(), candb.error.c_str());
    QCOMPARE(candb.messages[0].signalList[0].DLC, uint8_t(64));
    QCOMPARE(readText(messageKey("dlc", "65")).error,
             std::string("message 1 (id 291): ") + kDlcRange);
}

void CandbTest::optionalParts()
{
    Candb candb = readText(R"({"version": 3})");
    QVERIFY(candb.ok());
    QVERIFY(candb.messages.empty());

    // A message without "id" is skipped whole: its other keys are not even looked at.
    candb = readText(R"({"messages": [{"dlc": "x", "signals": 5}, {"id": 1},
                                      {"id": 2, "signals": []}, {"id": 3, "dlc": 2}]})");
    QVERIFY2(candb.ok(), candb.error.c_str());
    QCOMPARE(candb.messages.size(), size_t(3));
    QCOMPARE(candb.messages[0].id, 1u);
    QCOMPARE(candb.messages[2].id, 3u);
    for (const CandbMessage &message : candb.messages)
        QVERIFY(message.signalList.empty());
}

void CandbTest::messagesObjectInNameOrder()
{
    const Candb candb =
        readText(R"({"messages": {"b": {"id": 2}, "a": {"id": 1}, "B": {"id": 3}, "c": {}}})");
    QVERIFY2(candb.ok(), candb.error.c_str());
    std::vector<uint32_t> ids;
    for (const CandbMessage &message : candb.messages)
        ids.push_back(message.id);
    QCOMPARE(ids, (std::vector<uint32_t>{3, 1, 2})); // byte order: upper case first
}

void CandbTest::duplicatesAreAllRead()
{
    json first = messageWith(speedSignal());
    first["signals"].push_back(speedSignal());
    const json second = messageWith(speedSignal());
    const Candb candb = readCandb(json{{"messages", {first, second}}});
    QVERIFY2(candb.ok(), candb.error.c_str());
    QCOMPARE(candb.messages.size(), size_t(2));
    QCOMPARE(candb.messages[0].signalList.size(), size_t(2));
    QCOMPARE(candb.messages[1].id, 291u);
}

// Bit 511 (bit 7 of byte 63) ends the bit numbering. Big-endian, the last position holds bit 504
// (bit 0 of byte 63); little-endian, the field's most significant bit may be 511 at most.
void CandbTest::signalEnd_data()
{
    QTest::addColumn<int>("startBit");
    QTest::addColumn<int>("bitLength");
    QTest::addColumn<bool>("little");
    QTest::addColumn<int>("lsb"); // -1: refused

    QTest::newRow("big: one bit at the end") << 504 << 1 << false << 504;
    QTest::newRow("big: two bits past the end") << 504 << 2 << false << -1;
    QTest::newRow("big: byte 63 whole") << 511 << 8 << false << 504;
    QTest::newRow("big: one bit past byte 63") << 511 << 9 << false << -1;
    QTest::newRow("big: 64 bits ending in byte 63") << 455 << 64 << false << 504;
    QTest::newRow("big: 64 bits one past") << 463 << 64 << false << -1;
    QTest::newRow("little: bit 511 alone") << 511 << 1 << true << 511;
    QTest::newRow("little: one bit past bit 511") << 511 << 2 << true << -1;
    QTest::newRow("little: 64 bits ending at bit 511") << 448 << 64 << true << 448;
    QTest::newRow("little: 64 bits one past") << 449 << 64 << true << -1;
}

void CandbTest::signalEnd()
{
    QFETCH(int, startBit);
    QFETCH(int, bitLength);
    QFETCH(bool, little);
    QFETCH(int, lsb);

    json signal = speedSignal();
    signal["startbit"] = startBit;
    signal["bitlength"] = bitLength;
    signal["endianess"] = little;
    const Candb candb = readText(documentWith(messageWith(signal)));
    if (lsb < 0) {
        QCOMPARE(candb.error, "message 1 (id 291), signal \"Speed\": a " +
                                  std::string(little ? "little" : "big") + "-endian signal of " +
                                  std::to_string(bitLength) + " bits from \"startbit\" " +
                                  std::to_string(startBit) + " runs past byte 63");
        QVERIFY(candb.messages.empty());
    } else {
        QVERIFY2(candb.ok(), candb.error.c_str());
        QCOMPARE(candb.messages[0].signalList[0].lsb, lsb);
    }
}

void CandbTest::malformed_data()
{
    QTest::addColumn<std::string>("text");
    QTest::addColumn<std::string>("error");

    const std::string signal1 = "message 1 (id 291), signal \"Speed\": ";
    const std::string message1 = "message 1 (id 291): ";

    QTest::newRow("top level array")
        << std::string("[]") << std::string("the top level must be an object");
    QTest::newRow("top level string")
        << std::string("\"x\"") << std::string("the top level must be an object");
    QTest::newRow("top level null")
        << std::string("null") << std::string("the top level must be an object");
    QTest::newRow("messages number") << std::string(R"({"messages": 5})")
                                     << std::string("\"messages\" must be an array or an object");
    QTest::newRow("messages string") << std::string(R"({"messages": "m"})")
                                     << std::string("\"messages\" must be an array or an object");
    QTest::newRow("messages null") << std::string(R"({"messages": null})")
                                   << std::string("\"messages\" must be an array or an object");
    QTest::newRow("message number") << std::string(R"({"messages": [{"id": 1}, 5]})")
                                    << std::string("message 2: a message must be an object");
    QTest::newRow("message in object not an object")
        << std::string(R"({"messages": {"engine": [1]}})")
        << std::string("message \"engine\": a message must be an object");

    QTest::newRow("id string") << messageKey("id", "\"291\"")
                               << std::string("message 1: ") + kIdRange;
    QTest::newRow("id negative") << messageKey("id", "-1") << std::string("message 1: ") + kIdRange;
    QTest::newRow("id too large") << messageKey("id", "4294967296")
                                  << std::string("message 1: ") + kIdRange;
    QTest::newRow("id fraction") << messageKey("id", "2.5")
                                 << std::string("message 1: ") + kIdRange;
    QTest::newRow("id boolean") << messageKey("id", "true")
                                << std::string("message 1: ") + kIdRange;
    QTest::newRow("id null") << messageKey("id", "null") << std::string("message 1: ") + kIdRange;
    QTest::newRow("id in object") << std::string(R"({"messages": {"engine": {"id": "x"}}})")
                                  << std::string("message \"engine\": ") + kIdRange;

    QTest::newRow("signals object")
        << messageKey("signals", "{}") << message1 + "\"signals\" must be an array";
    QTest::newRow("signals string")
        << messageKey("signals", "\"Speed\"") << message1 + "\"signals\" must be an array";
    QTest::newRow("dlc missing") << messageKey("dlc", nullptr) << message1 + "\"dlc\" is missing";
    QTest::newRow("dlc string") << messageKey("dlc", "\"8\"") << message1 + kDlcRange;
    QTest::newRow("dlc negative") << messageKey("dlc", "-1") << message1 + kDlcRange;
    QTest::newRow("dlc fraction") << messageKey("dlc", "7.5") << message1 + kDlcRange;
    QTest::newRow("dlc too large") << messageKey("dlc", "256") << message1 + kDlcRange;

    QTest::newRow("signal number")
        << documentWith(messageWith(json(3)))
        << std::string("message 1 (id 291), signal 1: a signal must be an object");
    QTest::newRow("name missing") << signalKey("name", nullptr)
                                  << std::string(
                                         "message 1 (id 291), signal 1: \"name\" is missing");
    QTest::newRow("name number") << signalKey("name", "7")
                                 << std::string(
                                        "message 1 (id 291), signal 1: \"name\" must be a string");
    QTest::newRow("name empty") << signalKey("name", R"("")")
                                << std::string("message 1 (id 291), signal \"\": \"name\" must "
                                               "not be empty");
    QTest::newRow("name with comma")
        << signalKey("name", R"("Speed,kmh")")
        << std::string("message 1 (id 291), signal \"Speed,kmh\": \"name\" must not hold a "
                       "comma or a line break");
    QTest::newRow("name with line break")
        << signalKey("name", R"("Speed\nkmh")")
        << std::string("message 1 (id 291), signal \"Speed\\nkmh\": \"name\" must not hold a "
                       "comma or a line break");
    QTest::newRow("startbit missing")
        << signalKey("startbit", nullptr) << signal1 + "\"startbit\" is missing";
    QTest::newRow("startbit string") << signalKey("startbit", "\"0\"") << signal1 + kStartBitRange;
    QTest::newRow("startbit negative") << signalKey("startbit", "-1") << signal1 + kStartBitRange;
    QTest::newRow("startbit 512") << signalKey("startbit", "512") << signal1 + kStartBitRange;
    QTest::newRow("startbit fraction") << signalKey("startbit", "3.5") << signal1 + kStartBitRange;
    QTest::newRow("bitlength missing")
        << signalKey("bitlength", nullptr) << signal1 + "\"bitlength\" is missing";
    QTest::newRow("bitlength 0") << signalKey("bitlength", "0") << signal1 + kBitLengthRange;
    QTest::newRow("bitlength 65") << signalKey("bitlength", "65") << signal1 + kBitLengthRange;
    QTest::newRow("bitlength huge")
        << signalKey("bitlength", "18446744073709551615") << signal1 + kBitLengthRange;
    QTest::newRow("bitlength string")
        << signalKey("bitlength", "\"16\"") << signal1 + kBitLengthRange;
    QTest::newRow("bitlength almost whole")
        << signalKey("bitlength", "16.000001") << signal1 + kBitLengthRange;
    QTest::newRow("scaling missing")
        << signalKey("scaling", nullptr) << signal1 + "\"scaling\" is missing";
    QTest::newRow("scaling string")
        << signalKey("scaling", "\"0.1\"") << signal1 + "\"scaling\" must be a finite number";
    QTest::newRow("scaling boolean")
        << signalKey("scaling", "true") << signal1 + "\"scaling\" must be a finite number";
    QTest::newRow("offset missing")
        << signalKey("offset", nullptr) << signal1 + "\"offset\" is missing";
    QTest::newRow("offset null") << signalKey("offset", "null")
                                 << signal1 + "\"offset\" must be a finite number";
    QTest::newRow("signed missing")
        << signalKey("signed", nullptr) << signal1 + "\"signed\" is missing";
    QTest::newRow("signed number")
        << signalKey("signed", "0") << signal1 + "\"signed\" must be true or false";
    QTest::newRow("signed string")
        << signalKey("signed", "\"false\"") << signal1 + "\"signed\" must be true or false";

    // Places count messages and signals from 1, skipped messages included; the fault may lie
    // after good messages, which are not kept either.
    json good = messageWith(speedSignal());
    json bad = messageWith(speedSignal());
    bad["id"] = 7;
    bad["signals"].push_back(json{{"name", "Gear"}});
    QTest::newRow("third message, second signal")
        << json{{"messages", {good, json{{"note", "no id"}}, bad}}}.dump()
        << std::string("message 3 (id 7), signal \"Gear\": \"startbit\" is missing");
}

void CandbTest::malformed()
{
    QFETCH(std::string, text);
    QFETCH(std::string, error);

    const Candb candb = readText(text);
    QCOMPARE(candb.error, error);
    QVERIFY(!candb.ok());
    QVERIFY(candb.messages.empty());
}

void CandbTest::notJson_data()
{
    QTest::addColumn<std::string>("text");
    QTest::addColumn<QString>("start");

    QTest::newRow("empty") << std::string() << "parse error at line 1, column 1: ";
    QTest::newRow("unclosed array")
        << std::string("{\"messages\": [") << "parse error at line 1, column 15: ";
    QTest::newRow("second line") << std::string("{\n  \"id\": 1,\n}")
                                 << "parse error at line 3, column 1: ";
    QTest::newRow("trailing text") << std::string("{} x") << "parse error at line 1, column 4: ";
    QTest::newRow("bad UTF-8") << std::string("{\"name\": \"\xff\"}")
                               << "parse error at line 1, column ";
    QTest::newRow("number too large for a double")
        << std::string("{\"x\": 1e400}") << "parse error at byte 11: number overflow";
}

void CandbTest::notJson()
{
    QFETCH(std::string, text);
    QFETCH(QString, start);

    std::istringstream in(text);
    std::string error;
    QVERIFY(!parseJson(in, error));
    QVERIFY2(QString::fromStdString(error).startsWith(start), error.c_str());
}

// Copying a json value recurses once per level, so a deeply nested file must be refused at once.
void CandbTest::nestingDepth()
{
    const auto nested = [](int depth) {
        return "{\"x\": " + std::string(depth - 1, '[') + std::string(depth - 1, ']') + "}";
    };
    std::string error;
    std::istringstream deepest(nested(100));
    QVERIFY2(parseJson(deepest, error), error.c_str());

    for (int depth : {101, 1000000}) {
        std::istringstream tooDeep(nested(depth));
        QVERIFY(!parseJson(tooDeep, error));
        QCOMPARE(error, std::string("the file is nested more than 100 levels deep"));
    }
}

void CandbTest::longNamesAreCutInMessages_data()
{
    QTest::addColumn<std::string>("name");
    QTest::addColumn<std::string>("shown");

    QTest::newRow("40 bytes whole") << std::string(40, 'N') << "\"" + std::string(40, 'N') + "\"";
    QTest::newRow("cut at 40 bytes")
        << std::string(100000, 'N') << "\"" + std::string(40, 'N') + "...\"";
    std::string accents;
    for (int i = 0; i < 30; ++i)
        accents += "é";
    QTest::newRow("never inside a character")
        << "a" + accents << "\"a" + accents.substr(0, 38) + "...\"";
    QTest::newRow("control characters escaped")
        << std::string("a\tb\"") << std::string("\"a\\tb\\\"\"");
}

void CandbTest::longNamesAreCutInMessages()
{
    QFETCH(std::string, name);
    QFETCH(std::string, shown);

    json signal = speedSignal();
    signal["name"] = name;
    signal["bitlength"] = 0;
    const Candb candb = readText(documentWith(messageWith(signal)));
    QCOMPARE(candb.error, "message 1 (id 291), signal " + shown + ": " + kBitLengthRange);
}

QTEST_APPLESS_MAIN(CandbTest)
#include "tst_candb.moc"
