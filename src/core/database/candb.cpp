#include "database/candb.h"

#include <nlohmann/json.hpp>

#include <cmath>
#include <iterator>

using json = nlohmann::json;

namespace {

constexpr int kLastBit = 511;
// A Candb file needs four levels. Copies of a json value recurse once per level, so a file nested
// thousands of levels deep would overflow the stack wherever the value is passed by value.
constexpr int kMaxDepth = 100;
constexpr size_t kShownNameBytes = 40;
constexpr size_t kShownParseErrorBytes = 200;

// Checks a JSON text without building it: syntax and nesting depth. Keeps the library's own
// description of the first syntax error, which says where it is.
class TextChecker : public nlohmann::json_sax<json>
{
public:
    std::string problem;

    bool null() override { return true; }
    bool boolean(bool) override { return true; }
    bool number_integer(number_integer_t) override { return true; }
    bool number_unsigned(number_unsigned_t) override { return true; }
    bool number_float(number_float_t, const string_t &) override { return true; }
    bool string(string_t &) override { return true; }
    bool binary(binary_t &) override { return true; }
    bool key(string_t &) override { return true; }
    bool start_object(std::size_t) override { return enter(); }
    bool end_object() override { return leave(); }
    bool start_array(std::size_t) override { return enter(); }
    bool end_array() override { return leave(); }

    bool parse_error(std::size_t position, const std::string &,
                     const nlohmann::detail::exception &error) override
    {
        // what() reads "[json.exception.parse_error.101] parse error at line 1, column 3: ...";
        // a number too large says only "number overflow parsing '1e400'", so it gets a place.
        std::string text = error.what();
        const size_t tagEnd = text.find("] ");
        if (tagEnd != std::string::npos)
            text.erase(0, tagEnd + 2);
        if (text.rfind("parse error", 0) != 0)
            text = "parse error at byte " + std::to_string(position) + ": " + text;
        if (text.size() > kShownParseErrorBytes)
            text = text.substr(0, kShownParseErrorBytes) + "...";
        problem = text;
        return false;
    }

private:
    bool enter()
    {
        if (++depth <= kMaxDepth)
            return true;
        problem = "the file is nested more than " + std::to_string(kMaxDepth) + " levels deep";
        return false;
    }
    bool leave()
    {
        --depth;
        return true;
    }

    int depth = 0;
};

// A name as it appears in a message: quoted and escaped like JSON, long names cut short.
std::string shownName(const std::string &name)
{
    if (name.size() <= kShownNameBytes)
        return json(name).dump(-1, ' ', false, json::error_handler_t::replace);
    size_t cut = kShownNameBytes;
    while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80)
        --cut; // never split a UTF-8 sequence
    std::string shown =
        json(name.substr(0, cut)).dump(-1, ' ', false, json::error_handler_t::replace);
    shown.insert(shown.size() - 1, "...");
    return shown;
}

// What is wrong with `key` of `object`: absent, or present with an unusable value.
std::string keyProblem(const json &object, const char *key, const std::string &expected)
{
    const std::string name = std::string("\"") + key + "\"";
    if (object.find(key) == object.end())
        return name + " is missing";
    return name + " must be " + expected;
}

std::string wholeNumberFrom(int64_t low, int64_t high)
{
    return "a whole number from " + std::to_string(low) + " to " + std::to_string(high);
}

// A JSON number with a whole value from `low` to `high`. A number written with a fraction or an
// exponent counts when its value is whole (16.0, 1e3), since JSON itself has only one number type.
bool wholeNumber(const json &value, int64_t low, int64_t high, int64_t &result)
{
    if (value.is_number_unsigned()) {
        const uint64_t number = value.get<uint64_t>();
        if (number > uint64_t(high) || int64_t(number) < low)
            return false;
        result = int64_t(number);
        return true;
    }
    if (value.is_number_integer()) {
        const int64_t number = value.get<int64_t>();
        if (number < low || number > high)
            return false;
        result = number;
        return true;
    }
    if (value.is_number_float()) {
        const double number = value.get<double>();
        if (!std::isfinite(number) || number != std::floor(number) || number < double(low) ||
            number > double(high))
            return false;
        result = int64_t(number);
        return true;
    }
    return false;
}

bool wholeKey(const json &object, const char *key, int64_t low, int64_t high, int64_t &result)
{
    const auto value = object.find(key);
    return value != object.end() && wholeNumber(*value, low, high, result);
}

bool finiteKey(const json &object, const char *key, double &result)
{
    const auto value = object.find(key);
    if (value == object.end() || !value->is_number())
        return false;
    result = value->get<double>();
    return std::isfinite(result);
}

// Fills the bit positions of `signal` from its start bit, length and byte order. False if the
// signal would run past bit 511, the end of the 64 bytes the bit numbering covers.
bool placeBits(Signal &signal)
{
    if (signal.is_little_endian) {
        if (signal.start_bit + signal.size - 1 > kLastBit)
            return false;
        signal.lsb = signal.start_bit;
        signal.msb = signal.start_bit + signal.size - 1;
        return true;
    }
    const int last = int(bigEndianPosition(uint64_t(signal.start_bit))) + signal.size - 1;
    if (last > kLastBit)
        return false;
    signal.msb = signal.start_bit;
    signal.lsb = be_bits()[last];
    return true;
}

// Derives one Signal of the message `id`, or says what is wrong with it. `place` names the
// message; `number` counts the message's signals from 1.
std::string readSignal(const json &entry, uint32_t id, uint8_t dlc, const std::string &place,
                       size_t number, Signal &signal)
{
    std::string where = place + ", signal " + std::to_string(number);
    if (!entry.is_object())
        return where + ": a signal must be an object";
    const auto name = entry.find("name");
    if (name == entry.end() || !name->is_string())
        return where + ": " + keyProblem(entry, "name", "a string");
    signal.name = name->get<std::string>();
    where = place + ", signal " + shownName(signal.name);
    // The name heads a column of the table, whose fields are not quoted, and is what the
    // trigger list offers.
    if (signal.name.empty())
        return where + ": \"name\" must not be empty";
    if (signal.name.find_first_of(",\r\n") != std::string::npos)
        return where + ": \"name\" must not hold a comma or a line break";

    int64_t startBit = 0;
    if (!wholeKey(entry, "startbit", 0, kLastBit, startBit))
        return where + ": " + keyProblem(entry, "startbit", wholeNumberFrom(0, kLastBit));
    int64_t bitLength = 0;
    if (!wholeKey(entry, "bitlength", 1, kMaxSignalBits, bitLength))
        return where + ": " + keyProblem(entry, "bitlength", wholeNumberFrom(1, kMaxSignalBits));
    if (!finiteKey(entry, "scaling", signal.factor))
        return where + ": " + keyProblem(entry, "scaling", "a finite number");
    if (!finiteKey(entry, "offset", signal.offset))
        return where + ": " + keyProblem(entry, "offset", "a finite number");
    const auto isSigned = entry.find("signed");
    if (isSigned == entry.end() || !isSigned->is_boolean())
        return where + ": " + keyProblem(entry, "signed", "true or false");

    signal.ID = id;
    signal.isExt = 0;
    signal.DLC = dlc;
    signal.start_bit = int(startBit);
    signal.size = int(bitLength);
    signal.is_signed = isSigned->get<bool>();
    // Only the literal true marks Intel byte order; "intel", 1 and the rest are big-endian.
    const auto endianess = entry.find("endianess");
    signal.is_little_endian =
        endianess != entry.end() && endianess->is_boolean() && endianess->get<bool>();
    if (!placeBits(signal))
        return where + ": a " + (signal.is_little_endian ? "little" : "big") +
               "-endian signal of " + std::to_string(bitLength) + " bits from \"startbit\" " +
               std::to_string(startBit) + " runs past byte 63";
    return {};
}

// Reads one element of "messages" into `messages`, or says what is wrong with it. A message
// without "id" is skipped whole, so nothing else of it is looked at.
std::string readMessage(const json &entry, const std::string &where,
                        std::vector<CandbMessage> &messages)
{
    if (!entry.is_object())
        return where + ": a message must be an object";
    if (entry.find("id") == entry.end())
        return {};
    int64_t id = 0;
    if (!wholeKey(entry, "id", 0, kLargestMessageId, id))
        return where + ": " + keyProblem(entry, "id", wholeNumberFrom(0, kLargestMessageId));
    const std::string place = where + " (id " + std::to_string(id) + ")";

    CandbMessage message{uint32_t(id), {}, {}};
    int64_t dlc = 0;
    if (wholeKey(entry, "dlc", 0, kMaxMessageBytes, dlc))
        message.dlc = uint8_t(dlc);
    const auto signalList = entry.find("signals");
    if (signalList != entry.end()) {
        if (!signalList->is_array())
            return place + ": \"signals\" must be an array";
        if (!signalList->empty() && !message.dlc)
            return place + ": " + keyProblem(entry, "dlc", wholeNumberFrom(0, kMaxMessageBytes));
        message.signalList.resize(signalList->size());
        for (size_t i = 0; i < signalList->size(); ++i) {
            std::string problem = readSignal((*signalList)[i], message.id, uint8_t(dlc), place,
                                             i + 1, message.signalList[i]);
            if (!problem.empty())
                return problem;
        }
    }
    messages.push_back(std::move(message));
    return {};
}

Candb refused(std::string problem)
{
    return Candb{{}, std::move(problem)};
}

} // namespace

const std::array<int, 512> &be_bits()
{
    static const std::array<int, 512> table = [] {
        std::array<int, 512> bits{};
        for (int p = 0; p < 512; ++p)
            bits[p] = int(bigEndianPosition(uint64_t(p))); // the order is its own inverse
        return bits;
    }();
    return table;
}

std::optional<json> parseJson(std::istream &in, std::string &error)
{
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (in.bad()) {
        error = "the file cannot be read";
        return std::nullopt;
    }
    TextChecker checker;
    if (!json::sax_parse(text, &checker)) {
        error = checker.problem;
        return std::nullopt;
    }
    json doc = json::parse(text, nullptr, /*allow_exceptions=*/false);
    if (doc.is_discarded()) { // the checker accepted it, so this is not expected
        error = "the file is not valid JSON";
        return std::nullopt;
    }
    return doc;
}

Candb readCandb(const json &doc)
{
    if (!doc.is_object())
        return refused("the top level must be an object");
    const auto messages = doc.find("messages");
    if (messages == doc.end())
        return {};
    if (!messages->is_array() && !messages->is_object())
        return refused("\"messages\" must be an array or an object");

    // An array's messages are counted from 1; an object's are named by their member names,
    // which it keeps in ascending order.
    Candb candb;
    size_t number = 0;
    for (auto entry = messages->begin(); entry != messages->end(); ++entry) {
        ++number;
        const std::string where =
            "message " + (messages->is_object() ? shownName(entry.key()) : std::to_string(number));
        std::string problem = readMessage(*entry, where, candb.messages);
        if (!problem.empty())
            return refused(std::move(problem));
    }
    return candb;
}

Candb readCandb(std::istream &in)
{
    std::string error;
    const std::optional<json> doc = parseJson(in, error);
    return doc ? readCandb(*doc) : Candb{{}, error};
}

std::map<std::string, Signal> signalsByName(const Candb &candb)
{
    std::map<std::string, Signal> byName;
    for (const CandbMessage &message : candb.messages) {
        for (const Signal &sig : message.signalList)
            byName.emplace(sig.name, sig); // keeps the first definition of a name
    }
    return byName;
}
