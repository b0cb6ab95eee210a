#include "database/dbc.h"

#include "database/candb.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>

using ordered_json = nlohmann::ordered_json;

namespace {

constexpr size_t kShownTokenBytes = 30;
constexpr char kIndependentSignals[] = "VECTOR__INDEPENDENT_SIG_MSG";
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// Statements that end with ';' and hold nothing a Candb file keeps.
constexpr std::array<std::string_view, 25> kSkippedStatements = {
    // comments, value tables, transmitters, signal groups
    "CM_", "VAL_", "VAL_TABLE_", "BO_TX_BU_", "SIG_GROUP_",
    // attributes
    "BA_DEF_", "BA_DEF_DEF_", "BA_", "BA_DEF_REL_", "BA_REL_", "BA_DEF_DEF_REL_", "BA_DEF_SGTYPE_",
    "BA_SGTYPE_",
    // environment variables, signal types, relations, categories
    "EV_", "ENVVAR_DATA_", "EV_DATA_", "SGTYPE_", "SGTYPE_VAL_", "SIG_TYPE_REF_",
    "SIGTYPE_VALTYPE_", "BU_SG_REL_", "BU_EV_REL_", "BU_BO_REL_", "CAT_DEF_", "CAT_"};

// Statements the reader takes apart: the header, messages, signals and what marks signals to
// leave out.
constexpr std::array<std::string_view, 8> kReadStatements = {
    "VERSION", "NS_", "BS_", "BU_", "BO_", "SG_", "SIG_VALTYPE_", "SG_MUL_VAL_"};

template <size_t count>
bool isOneOf(std::string_view word, const std::array<std::string_view, count> &words)
{
    return std::find(words.begin(), words.end(), word) != words.end();
}

enum class TokenKind
{
    Name,     // a name or keyword; bytes from 0x80 up count as letters (UTF-8, Latin-1)
    Number,   // integer or decimal, with sign and exponent
    String,   // the text between double quotes, its escapes still in
    Punct,    // any other single character
    Unclosed, // a string never closed: the rest of the text, and the last token before End
    End,
};

struct Token
{
    TokenKind kind = TokenKind::End;
    std::string_view text;
    int line = 0;
    bool startsLine = false; // the first token of its line: a line-ended list stops before it

    bool is(char c) const { return kind == TokenKind::Punct && text.size() == 1 && text[0] == c; }
};

bool isNameByte(unsigned char c, bool first)
{
    return c == '_' || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c >= 0x80 ||
           (!first && c >= '0' && c <= '9');
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

class Lexer
{
public:
    explicit Lexer(std::string_view text) : text(text)
    {
        if (text.substr(0, kByteOrderMark.size()) == kByteOrderMark)
            position = kByteOrderMark.size();
    }

    // Splits the whole text. A string never closed takes the rest of it, so that the parser
    // names the first line it cannot read, whether that comes before the string or is the string.
    std::vector<Token> split()
    {
        std::vector<Token> tokens;
        while (skipSpace()) {
            Token token;
            token.line = line;
            token.startsLine = line != lastTokenLine;
            lastTokenLine = line;
            readToken(token);
            tokens.push_back(token);
        }
        Token end;
        end.line = line;
        end.startsLine = true;
        tokens.push_back(end);
        return tokens;
    }

private:
    // Moves past white space; false at the end of the text. Windows line ends are white space.
    bool skipSpace()
    {
        while (position < text.size()) {
            const char c = text[position];
            if (c == '\n')
                ++line;
            else if (c != ' ' && c != '\t' && c != '\r' && c != '\f' && c != '\v')
                return true;
            ++position;
        }
        return false;
    }

    void readToken(Token &token)
    {
        const size_t begin = position;
        const char c = text[position];
        if (c == '"')
            return readString(token);
        if (startsNumber()) {
            token.kind = TokenKind::Number;
            position = numberEnd();
        } else if (isNameByte(static_cast<unsigned char>(c), true)) {
            token.kind = TokenKind::Name;
            while (position < text.size() &&
                   isNameByte(static_cast<unsigned char>(text[position]), false))
                ++position;
        } else {
            token.kind = TokenKind::Punct;
            ++position;
        }
        token.text = text.substr(begin, position - begin);
    }

    // A comment may run over several lines and hold \" and \\.
    void readString(Token &token)
    {
        token.kind = TokenKind::String;
        const size_t begin = ++position;
        while (position < text.size() && text[position] != '"') {
            if (text[position] == '\\' && position + 1 < text.size())
                ++position;
            if (text[position] == '\n')
                ++line;
            ++position;
        }
        token.text = text.substr(begin, position - begin);
        if (position >= text.size()) {
            token.kind = TokenKind::Unclosed;
            return;
        }
        ++position;
        lastTokenLine = line;
    }

    bool digitAt(size_t at) const { return at < text.size() && isDigit(text[at]); }

    // A sign starts a number only before a digit or a decimal point: "@1+" and "@1-" end in
    // the byte-order sign.
    bool startsNumber() const
    {
        size_t at = position;
        if (text[at] == '+' || text[at] == '-')
            ++at;
        return digitAt(at) || (at < text.size() && text[at] == '.' && digitAt(at + 1));
    }

    size_t numberEnd() const
    {
        size_t at = position + 1;
        while (digitAt(at) || (at < text.size() && text[at] == '.'))
            ++at;
        if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
            size_t exponent = at + 1;
            if (exponent < text.size() && (text[exponent] == '+' || text[exponent] == '-'))
                ++exponent;
            if (digitAt(exponent)) {
                at = exponent;
                while (digitAt(at))
                    ++at;
            }
        }
        return at;
    }

    std::string_view text;
    size_t position = 0;
    int line = 1;
    int lastTokenLine = 0;
};

// Names and units as UTF-8: text that is not valid UTF-8 is taken as Latin-1, as older DBC
// editors write it.
bool isUtf8(std::string_view text)
{
    // The smallest code point of a sequence of each length: a smaller one is an overlong form.
    static constexpr uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    for (size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const size_t length = lead < 0x80             ? 1
                              : (lead & 0xE0) == 0xC0 ? 2
                              : (lead & 0xF0) == 0xE0 ? 3
                              : (lead & 0xF8) == 0xF0 ? 4
                                                      : 0;
        if (length == 0 || text.size() - i < length)
            return false;
        uint32_t code = length == 1 ? lead : lead & (0x7F >> length);
        for (size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80)
                return false;
            code = code << 6 | (next & 0x3F);
        }
        // UTF-16 surrogates and code points past U+10FFFF are not UTF-8 either.
        if (code < kSmallest[length] || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF)
            return false;
        i += length;
    }
    return true;
}

std::string utf8Text(std::string_view text)
{
    if (isUtf8(text))
        return std::string(text);
    std::string converted;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            converted += c;
        } else {
            converted += char(0xC0 | byte >> 6);
            converted += char(0x80 | (byte & 0x3F));
        }
    }
    return converted;
}

// The text of a string token with its escapes resolved: \" is a quote, \\ a backslash.
std::string unescaped(std::string_view text)
{
    std::string plain;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size())
            ++i;
        plain += text[i];
    }
    return plain;
}

// A token as an error message shows it: on one line, long ones cut short.
std::string shownToken(std::string_view text)
{
    size_t cut = std::min(text.size(), kShownTokenBytes);
    while (cut > 0 && cut < text.size() && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
        --cut; // never split a UTF-8 sequence
    std::string shown = utf8Text(text.substr(0, cut));
    for (char &c : shown) {
        if (static_cast<unsigned char>(c) < 0x20)
            c = ' ';
    }
    return cut < text.size() ? shown + "..." : shown;
}

struct DbcSignal
{
    std::string name;
    uint64_t startBit = 0;
    uint64_t length = 0;
    bool littleEndian = false;
    bool isSigned = false;
    double factor = 1;
    double offset = 0;
    std::string unit;
    std::string leftOut; // why the signal is not in the document; empty when it is
};

struct DbcMessage
{
    uint32_t id = 0;
    std::string name;
    uint64_t dlc = 0;
    std::vector<DbcSignal> signalList;
};

// Where the signal begins when the message's bits are counted along its byte order: big-endian
// bits run from bit 7 down to bit 0 of each byte, then on into the next byte.
uint64_t firstPosition(const DbcSignal &signal)
{
    const uint64_t bit = signal.startBit;
    return signal.littleEndian ? bit : bigEndianPosition(bit);
}

// Why a signal cannot be a Candb signal of its message, or nothing. Its bits, counted along
// its byte order from the first bit of the message, must end within the message's bytes.
std::string placementProblem(const DbcSignal &signal, uint64_t dlc)
{
    if (signal.length == 0)
        return "it has no bits";
    if (signal.length > kMaxSignalBits)
        return "longer than " + std::to_string(kMaxSignalBits) + " bits";
    const uint64_t messageBits = 8 * dlc;
    const bool inside =
        signal.startBit < messageBits && firstPosition(signal) + signal.length <= messageBits;
    return inside ? std::string() : "outside its message of " + std::to_string(dlc) + " bytes";
}

const std::string kIdExpected =
    "a message identifier from 0 to " + std::to_string(kLargestMessageId);
const std::string kLengthExpected =
    "a message length from 0 to " + std::to_string(kMaxMessageBytes) + " bytes";

class Parser
{
public:
    explicit Parser(std::vector<Token> tokens) : tokens(std::move(tokens)) {}

    std::vector<DbcMessage> messages;
    std::string error;

    bool parse()
    {
        while (peek().kind != TokenKind::End) {
            if (!statement())
                return false;
        }
        return true;
    }

private:
    const Token &peek(size_t ahead = 0) const
    {
        return tokens[std::min(next + ahead, tokens.size() - 1)];
    }
    const Token &take()
    {
        const Token &token = tokens[next];
        if (next + 1 < tokens.size())
            ++next;
        return token;
    }

    bool fail(const std::string &expected)
    {
        const Token &token = peek();
        if (token.kind == TokenKind::Unclosed) {
            error = "line " + std::to_string(token.line) + ": the string that begins here is " +
                    "never closed";
            return false;
        }
        std::string found = "the end of the file";
        if (token.kind != TokenKind::End) {
            const std::string shown = shownToken(token.text);
            found = token.kind == TokenKind::String ? '"' + shown + '"' : "'" + shown + "'";
        }
        error =
            "line " + std::to_string(token.line) + ": expected " + expected + ", found " + found;
        return false;
    }

    bool punct(char c, const std::string &expected)
    {
        if (!peek().is(c))
            return fail(expected);
        take();
        return true;
    }

    bool name(const std::string &expected, std::string_view &result)
    {
        if (peek().kind != TokenKind::Name)
            return fail(expected);
        result = take().text;
        return true;
    }

    // A string token's text, its escapes resolved.
    bool string(const std::string &expected, std::string *result = nullptr)
    {
        if (peek().kind != TokenKind::String)
            return fail(expected);
        const std::string_view text = take().text;
        if (result)
            *result = unescaped(text);
        return true;
    }

    bool whole(uint64_t largest, const std::string &expected, uint64_t &result)
    {
        if (peek().kind != TokenKind::Number)
            return fail(expected);
        const std::string_view text = peek().text;
        const auto end = text.data() + text.size();
        const auto [stop, problem] = std::from_chars(text.data(), end, result);
        if (stop != end || problem != std::errc() || result > largest)
            return fail(expected);
        take();
        return true;
    }

    bool finite(const std::string &expected, double &result)
    {
        if (peek().kind != TokenKind::Number)
            return fail(expected);
        std::string_view text = peek().text;
        if (text[0] == '+') // from_chars takes a minus sign only
            text.remove_prefix(1);
        const auto end = text.data() + text.size();
        const auto [stop, problem] = std::from_chars(text.data(), end, result);
        if (stop != end || problem != std::errc() || !std::isfinite(result))
            return fail(expected);
        take();
        return true;
    }

    // The rest of a line-ended list, such as a signal's receivers or the node names of BU_.
    void skipRestOfLine()
    {
        while (!peek().startsLine && peek().kind != TokenKind::Unclosed)
            take();
    }

    // A statement that may run over several lines, up to its ';'.
    bool skipStatement(const Token &keyword)
    {
        while (!peek().is(';')) {
            if (peek().kind == TokenKind::Unclosed)
                return fail("';'");
            if (peek().kind == TokenKind::End) {
                error = "line " + std::to_string(keyword.line) + ": the " +
                        std::string(keyword.text) + " statement that begins here has no ';'";
                return false;
            }
            take();
        }
        take();
        return true;
    }

    bool statement()
    {
        const Token &keyword = peek();
        const std::string_view word = keyword.kind == TokenKind::Name ? keyword.text : "";
        const bool skipped = isOneOf(word, kSkippedStatements);
        if (!skipped && !isOneOf(word, kReadStatements))
            return fail("a DBC keyword such as BO_, SG_ or CM_");
        if (word == "SG_" && !inMessage)
            return fail("a BO_ message before its SG_ signals");
        inMessage = word == "SG_" || word == "BO_";
        take();
        if (skipped)
            return skipStatement(keyword);
        if (word == "BO_")
            return message();
        if (word == "SG_")
            return signal();
        if (word == "SIG_VALTYPE_")
            return valueType();
        if (word == "SG_MUL_VAL_")
            return extendedMultiplexing(keyword);
        if (word == "VERSION")
            return string("the version text in quotes");
        if (word == "NS_")
            return newSymbols();
        if (!punct(':', "':' after " + std::string(word)))
            return false;
        skipRestOfLine(); // BS_: the bit timing, BU_: the nodes
        return true;
    }

    // NS_ : then the symbols a file may use, one per line.
    bool newSymbols()
    {
        if (!punct(':', "':' after NS_"))
            return false;
        skipRestOfLine();
        while (peek().kind == TokenKind::Name && peek(1).startsLine)
            take();
        return true;
    }

    // BO_ 192 EngineData: 8 EngineECU
    bool message()
    {
        DbcMessage message;
        uint64_t id = 0;
        std::string_view messageName;
        if (!whole(kLargestMessageId, kIdExpected, id) ||
            !name("the message's name", messageName) ||
            !punct(':', "':' after the message's name") ||
            !whole(kMaxMessageBytes, kLengthExpected, message.dlc))
            return false;
        skipRestOfLine();          // the sending node
        message.id = uint32_t(id); // bit 31 marks an extended identifier, as in a Candb file
        message.name = utf8Text(messageName);
        messages.push_back(std::move(message));
        inMessage = true;
        return true;
    }

    // SG_ EngineSpeed : 0|16@1+ (0.25,0) [0|16383.75] "rpm" Dashboard,Gateway
    bool signal()
    {
        DbcSignal signal;
        std::string_view signalName;
        if (!name("the signal's name", signalName) || !multiplexing(signal))
            return false;
        signal.name = utf8Text(signalName);
        if (!punct(':', "':' after the signal's name") ||
            !whole(std::numeric_limits<uint64_t>::max(), "the start bit", signal.startBit) ||
            !punct('|', "'|' after the start bit") ||
            !whole(std::numeric_limits<uint64_t>::max(), "the signal's length in bits",
                   signal.length) ||
            !punct('@', "'@' before the byte order") || !byteOrder(signal) ||
            !punct('(', "'(' before the factor") || !finite("the factor", signal.factor) ||
            !punct(',', "',' after the factor") || !finite("the offset", signal.offset) ||
            !punct(')', "')' after the offset") || !range() ||
            !string("the unit in quotes", &signal.unit))
            return false;
        signal.unit = utf8Text(signal.unit);
        skipRestOfLine(); // the receiving nodes
        DbcMessage &message = messages.back();
        if (signal.leftOut.empty())
            signal.leftOut = placementProblem(signal, message.dlc);
        message.signalList.push_back(std::move(signal));
        return true;
    }

    // The switch M stays a plain signal; a multiplexed signal, m0 to mN, also when it is itself
    // a switch (m1M), is left out.
    bool multiplexing(DbcSignal &signal)
    {
        if (peek().kind != TokenKind::Name)
            return true;
        const std::string_view mark = peek().text;
        size_t digits = 1;
        while (digits < mark.size() && isDigit(mark[digits]))
            ++digits;
        const bool switchOnly = mark == "M";
        const bool multiplexed =
            mark[0] == 'm' && digits > 1 && (digits == mark.size() || mark.substr(digits) == "M");
        if (!switchOnly && !multiplexed)
            return fail("':' or a multiplexer mark such as M or m1");
        if (multiplexed)
            signal.leftOut = "multiplexed, " + std::string(mark);
        take();
        return true;
    }

    // @1 Intel (little-endian), @0 Motorola (big-endian); + unsigned, - signed.
    bool byteOrder(DbcSignal &signal)
    {
        const Token &order = peek();
        if (order.kind != TokenKind::Number || (order.text != "0" && order.text != "1"))
            return fail("the byte order, 0 or 1");
        signal.littleEndian = take().text == "1";
        if (!peek().is('+') && !peek().is('-'))
            return fail("'+' or '-' after the byte order");
        signal.isSigned = take().is('-');
        return true;
    }

    // [min|max]: the signal's physical range, which the table does not use.
    bool range()
    {
        double bound = 0;
        return punct('[', "'[' before the minimum") && finite("the minimum", bound) &&
               punct('|', "'|' after the minimum") && finite("the maximum", bound) &&
               punct(']', "']' after the maximum");
    }

    // The signals named `signalName` of the messages with identifier `id`.
    template <typename Action>
    void forSignal(uint64_t id, std::string_view signalName, Action action)
    {
        const std::string wanted = utf8Text(signalName);
        for (DbcMessage &message : messages) {
            if (message.id != id)
                continue;
            for (DbcSignal &signal : message.signalList) {
                if (signal.name == wanted && signal.leftOut.empty())
                    action(signal);
            }
        }
    }

    // SIG_VALTYPE_ 192 Temperature : 1; (1 a 32-bit float, 2 a 64-bit double, 0 an integer)
    bool valueType()
    {
        uint64_t id = 0;
        std::string_view signalName;
        uint64_t type = 0;
        if (!whole(kLargestMessageId, kIdExpected, id) || !name("the signal's name", signalName))
            return false;
        if (peek().is(':'))
            take();
        if (!whole(2, "the value type, 0, 1 or 2", type) || !punct(';', "';' after the value type"))
            return false;
        if (type != 0) {
            const std::string leftOut =
                type == 1 ? "floating point, 32 bits" : "floating point, 64 bits";
            forSignal(id, signalName, [&](DbcSignal &signal) { signal.leftOut = leftOut; });
        }
        return true;
    }

    // SG_MUL_VAL_ 192 Value Mode 1-1, 3-5; the first signal depends on a switch.
    bool extendedMultiplexing(const Token &keyword)
    {
        uint64_t id = 0;
        std::string_view signalName;
        if (!whole(kLargestMessageId, kIdExpected, id) ||
            !name("the multiplexed signal's name", signalName))
            return false;
        forSignal(id, signalName,
                  [](DbcSignal &signal) { signal.leftOut = "multiplexed, SG_MUL_VAL_"; });
        return skipStatement(keyword);
    }

    std::vector<Token> tokens;
    size_t next = 0;
    bool inMessage = false; // the statement before was a BO_ or one of its SG_
};

ordered_json signalDocument(const DbcSignal &signal)
{
    ordered_json document;
    document["name"] = signal.name;
    document["startbit"] = signal.startBit;
    document["bitlength"] = signal.length;
    document["endianess"] = signal.littleEndian;
    document["signed"] = signal.isSigned;
    document["scaling"] = signal.factor;
    document["offset"] = signal.offset;
    document["unit"] = signal.unit;
    return document;
}

void addMessage(const DbcMessage &message, DbcConversion &conversion)
{
    ordered_json document;
    document["name"] = message.name;
    document["id"] = message.id;
    document["dlc"] = message.dlc;
    document["signals"] = ordered_json::array();
    for (const DbcSignal &signal : message.signalList) {
        if (signal.leftOut.empty())
            document["signals"].push_back(signalDocument(signal));
        else
            conversion.warnings.push_back("message " + message.name + " (id " +
                                          std::to_string(message.id) + "), signal " + signal.name +
                                          ": left out (" + signal.leftOut + ")");
    }
    conversion.document["messages"].push_back(std::move(document));
}

} // namespace

DbcConversion convertDbc(std::string_view text)
{
    DbcConversion conversion;
    Parser parser(Lexer(text).split());
    if (!parser.parse()) {
        conversion.error = parser.error;
        return conversion;
    }
    conversion.document["messages"] = ordered_json::array();
    for (const DbcMessage &message : parser.messages) {
        // The pseudo-message holds signals not yet placed in any message.
        if (message.name != kIndependentSignals)
            addMessage(message, conversion);
    }
    return conversion;
}
