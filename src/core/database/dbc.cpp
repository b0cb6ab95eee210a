#include "database/dbc.h"

#include "database/candb.h"
#include "log/logfile.h"
#include "text/utf8.h"

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
constexpr std::array<std::string_view, 26> kSkippedStatements = {
    // comments, value tables, transmitters, signal groups
    "CM_", "VAL_", "VAL_TABLE_", "BO_TX_BU_", "SIG_GROUP_",
    // attributes
    "BA_DEF_", "BA_DEF_DEF_", "BA_", "BA_DEF_REL_", "BA_REL_", "BA_DEF_DEF_REL_", "BA_DEF_SGTYPE_",
    "BA_SGTYPE_",
    // environment variables, signal types, relations, categories, filters
    "EV_", "ENVVAR_DATA_", "EV_DATA_", "SGTYPE_", "SGTYPE_VAL_", "SIG_TYPE_REF_",
    "SIGTYPE_VALTYPE_", "BU_SG_REL_", "BU_EV_REL_", "BU_BO_REL_", "CAT_DEF_", "CAT_", "FILTER"};

// Statements the reader takes apart: the header, messages, signals and what marks signals to
// leave out.
constexpr std::array<std::string_view, 8> kReadStatements = {
    "VERSION", "NS_", "BS_", "BU_", "BO_", "SG_", "SIG_VALTYPE_", "SG_MUL_VAL_"};

template <size_t count>
bool isOneOf(std::string_view word, const std::array<std::string_view, count> &words)
{
    return std::find(words.begin(), words.end(), word) != words.end();
}

bool isKeyword(std::string_view word)
{
    return isOneOf(word, kSkippedStatements) || isOneOf(word, kReadStatements);
}

// The kinds of text the reader reads although the DBC format does not allow it, or reads past
// although it holds something: each is reported once, with how often it was met and where first.
enum Deviation
{
    MissingSemicolon,
    UnknownStatement,
    LineComment,
    DigitFirstName,
    NotUtf8,
    UnusualRange,
    MissingUnit,
    UnreachableId,
    LongMessage,
    kDeviationKinds
};

struct DeviationText
{
    const char *one;
    const char *many;
};

constexpr DeviationText kDeviationTexts[kDeviationKinds] = {
    {"statement without its closing ';'", "statements without their closing ';'"},
    {"statement of a kind unknown to DBC files, read past",
     "statements of kinds unknown to DBC files, read past"},
    {"comment after //, read past", "comments after //, read past"},
    {"name that begins with a digit", "names that begin with a digit"},
    {"name or unit not in UTF-8, read as Windows-1252",
     "names or units not in UTF-8, read as Windows-1252"},
    {"signal without a range [minimum|maximum] of two numbers, its range read past",
     "signals without a range [minimum|maximum] of two numbers, their ranges read past"},
    {"signal without a unit in quotes, read as one without unit",
     "signals without a unit in quotes, read as ones without unit"},
    {"message whose identifier no frame can carry (standard above 2047, extended above "
     "536870911), kept as written",
     "messages whose identifiers no frame can carry (standard above 2047, extended above "
     "536870911), kept as written"},
    {"message longer than 64 bytes, left out", "messages longer than 64 bytes, left out"},
};

// How often one kind of deviation was met, and on which line first.
struct Tally
{
    int count = 0;
    int firstLine = 0;

    void add(int line)
    {
        if (count++ == 0)
            firstLine = line;
    }
};

using Tallies = std::array<Tally, kDeviationKinds>;

// e.g. "3 statements without their closing ';', the first at line 352"
std::string deviationLine(Deviation kind, const Tally &tally)
{
    const DeviationText &text = kDeviationTexts[kind];
    const std::string line = std::to_string(tally.firstLine);
    if (tally.count == 1)
        return "1 " + std::string(text.one) + ", at line " + line;
    return std::to_string(tally.count) + ' ' + text.many + ", the first at line " + line;
}

enum class TokenKind
{
    Name,     // a name or keyword; bytes from 0x80 up count as letters (UTF-8, Windows-1252)
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

bool isNameByte(unsigned char c)
{
    return c == '_' || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c >= 0x80 ||
           (c >= '0' && c <= '9');
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

class Lexer
{
public:
    Lexer(std::string_view text, Tallies &tallies) : text(text), tallies(tallies)
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
    // A line ends with LF, CR LF, or a CR alone as old Mac editors wrote it.
    bool endsLine(size_t at) const
    {
        return text[at] == '\n' ||
               (text[at] == '\r' && (at + 1 == text.size() || text[at + 1] != '\n'));
    }

    // Moves past white space, control characters and comments after //; false at the end of
    // the text.
    bool skipSpace()
    {
        while (position < text.size()) {
            const auto c = static_cast<unsigned char>(text[position]);
            if (c == '/' && text.substr(position, 2) == "//") {
                tallies[LineComment].add(line);
                while (position < text.size() && !endsLine(position))
                    ++position;
                continue;
            }
            if (endsLine(position))
                ++line;
            else if (c > ' ' && c != 0x7F)
                return true;
            ++position;
        }
        return false;
    }

    void readToken(Token &token)
    {
        const size_t begin = position;
        const auto c = static_cast<unsigned char>(text[position]);
        if (c == '"')
            return readString(token);
        // 2017_5 and 0_COUNTER are names: some files begin names with digits.
        if (isNameByte(c) && (!isDigit(char(c)) || nameEnd() > numberEnd())) {
            token.kind = TokenKind::Name;
            position = nameEnd();
        } else if (startsNumber()) {
            token.kind = TokenKind::Number;
            position = numberEnd();
        } else {
            token.kind = TokenKind::Punct;
            ++position;
        }
        token.text = text.substr(begin, position - begin);
    }

    size_t nameEnd() const
    {
        size_t at = position;
        while (at < text.size() && isNameByte(static_cast<unsigned char>(text[at])))
            ++at;
        return at;
    }

    // A comment may run over several lines and hold \" for a quote. Other backslashes stand
    // for themselves, as Windows paths in comments have them.
    void readString(Token &token)
    {
        token.kind = TokenKind::String;
        const size_t begin = ++position;
        while (position < text.size() && text[position] != '"') {
            if (text.substr(position, 2) == "\\\"" && !endsStatement(position + 1))
                ++position;
            if (endsLine(position))
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

    // The quote at `at` is followed by ';' and the end of its line: it closes a string even
    // after a backslash, as in "C:\logs\";
    bool endsStatement(size_t at) const
    {
        const size_t semicolon = text.find_first_not_of(" \t", at + 1);
        if (semicolon == std::string_view::npos || text[semicolon] != ';')
            return false;
        const size_t after = text.find_first_not_of(" \t", semicolon + 1);
        return after == std::string_view::npos || text[after] == '\n' || text[after] == '\r';
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
    Tallies &tallies;
    size_t position = 0;
    int line = 1;
    int lastTokenLine = 0;
};

// Windows-1252 differs from Latin-1 in 0x80 to 0x9F; the five bytes it leaves undefined keep
// their Latin-1 code points.
constexpr uint16_t kWindows1252[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

void appendUtf8(std::string &text, uint32_t code)
{
    if (code < 0x80) {
        text += char(code);
    } else if (code < 0x800) {
        text += char(0xC0 | code >> 6);
        text += char(0x80 | (code & 0x3F));
    } else {
        text += char(0xE0 | code >> 12);
        text += char(0x80 | (code >> 6 & 0x3F));
        text += char(0x80 | (code & 0x3F));
    }
}

std::string fromWindows1252(std::string_view text)
{
    std::string converted;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        appendUtf8(converted, byte >= 0x80 && byte < 0xA0 ? kWindows1252[byte - 0x80] : byte);
    }
    return converted;
}

// Names and units as UTF-8: text that is not valid UTF-8 is taken as Windows-1252, as older DBC
// editors write it.
std::string utf8Text(std::string_view text)
{
    return isUtf8(text) ? std::string(text) : fromWindows1252(text);
}

// The text of a string token with each \" made a quote.
std::string unescaped(std::string_view text)
{
    std::string plain;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text.substr(i, 2) == "\\\"")
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
    std::string leftOut; // why the message and its signals are not in the document
};

// A signal that a statement of its own marks to leave out (SIG_VALTYPE_, SG_MUL_VAL_), once the
// whole text is read: some files give the statement before the message.
struct LateMark
{
    uint32_t id = 0;
    std::string signalName;
    std::string leftOut;
};

// The full name of a message or signal whose name in BO_ or SG_ a DBC editor cut to 32
// characters, from the attribute SystemMessageLongSymbol or SystemSignalLongSymbol.
struct LongName
{
    uint32_t id = 0;
    std::string signalName; // empty for the message's own name
    std::string name;
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

// No frame has such an identifier: a standard one has 11 bits, an extended one 29.
bool unreachable(uint32_t id)
{
    return (id & kExtendedIdFlag) ? (id & ~kExtendedIdFlag) > kLargestExtendedId
                                  : id > kLargestStandardId;
}

// m0, m12 and m (its number left out) mark multiplexed signals, m3M one that is a switch too.
bool isMultiplexedMark(std::string_view mark)
{
    size_t digits = 1;
    while (digits < mark.size() && isDigit(mark[digits]))
        ++digits;
    return mark[0] == 'm' && (digits == mark.size() || mark.substr(digits) == "M");
}

const std::string kIdExpected =
    "a message identifier from 0 to " + std::to_string(kLargestMessageId);

class Parser
{
public:
    explicit Parser(std::string_view text) : tokens(Lexer(text, tallies).split()) {}

    std::vector<DbcMessage> messages;
    Tallies tallies;
    std::string error;

    bool parse()
    {
        while (peek().kind != TokenKind::End) {
            if (!statement())
                return false;
        }
        for (const LateMark &mark : lateMarks)
            markSignal(mark);
        for (const LongName &longName : longNames)
            rename(longName);
        return true;
    }

    // The line of the last token, 1 for a text without any.
    int lastLine() const { return tokens.size() > 1 ? tokens[tokens.size() - 2].line : 1; }

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

    // The first token of a line that begins a statement: a statement without its ';' ends
    // before it.
    bool beginsStatement(const Token &token) const
    {
        return token.kind == TokenKind::End ||
               (token.startsLine && token.kind == TokenKind::Name && isKeyword(token.text));
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

    // Names that begin with a digit are read, and so are names of digits only. The name of a
    // message or signal counts among the deviations; a name that refers to one does not.
    bool name(const std::string &expected, std::string &result, bool defines = false)
    {
        const Token &token = peek();
        const bool digits = token.kind == TokenKind::Number &&
                            std::all_of(token.text.begin(), token.text.end(), isDigit);
        if (token.kind != TokenKind::Name && !digits)
            return fail(expected);
        if (!defines) {
            result = utf8Text(take().text);
            return true;
        }
        if (isDigit(token.text[0]))
            tallies[DigitFirstName].add(token.line);
        result = textOf(take());
        return true;
    }

    // The text of a name or string as UTF-8.
    std::string textOf(const Token &token)
    {
        const std::string raw =
            token.kind == TokenKind::String ? unescaped(token.text) : std::string(token.text);
        if (isUtf8(raw))
            return raw;
        tallies[NotUtf8].add(token.line);
        return fromWindows1252(raw);
    }

    static bool readWhole(const Token &token, uint64_t largest, uint64_t &result)
    {
        if (token.kind != TokenKind::Number)
            return false;
        const auto end = token.text.data() + token.text.size();
        const auto [stop, problem] = std::from_chars(token.text.data(), end, result);
        return stop == end && problem == std::errc() && result <= largest;
    }

    bool whole(uint64_t largest, const std::string &expected, uint64_t &result)
    {
        if (!readWhole(peek(), largest, result))
            return fail(expected);
        take();
        return true;
    }

    static bool readFinite(std::string_view text, double &result)
    {
        if (!text.empty() && text[0] == '+') // from_chars takes a minus sign only
            text.remove_prefix(1);
        const auto end = text.data() + text.size();
        const auto [stop, problem] = std::from_chars(text.data(), end, result);
        return stop == end && problem == std::errc() && std::isfinite(result);
    }

    bool finite(const std::string &expected, double &result)
    {
        if (peek().kind != TokenKind::Number || !readFinite(peek().text, result))
            return fail(expected);
        take();
        return true;
    }

    // The rest of a line-ended list, such as a signal's receivers or a message's sender.
    void skipRestOfLine()
    {
        while (!peek().startsLine && peek().kind != TokenKind::Unclosed)
            take();
    }

    // Up to the line that begins the next statement, such as the node names of BU_, which
    // some files spread over several lines.
    void skipToNextStatement()
    {
        while (!beginsStatement(peek()) && peek().kind != TokenKind::Unclosed)
            take();
    }

    // A statement that may run over several lines, up to its ';'. Without it, the statement
    // ends before the line that begins the next one, or at the end of the file.
    bool skipStatement(const Token &keyword, bool known = true)
    {
        while (!peek().is(';')) {
            if (peek().kind == TokenKind::Unclosed)
                return fail("';'");
            if (beginsStatement(peek())) {
                if (known)
                    tallies[MissingSemicolon].add(keyword.line);
                return true;
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
        if (!isKeyword(word)) {
            // Read past whole, with or without ';'; a message's signals may go on after it.
            if (keyword.kind == TokenKind::Unclosed)
                return fail("a DBC keyword such as BO_, SG_ or CM_");
            tallies[UnknownStatement].add(keyword.line);
            return take().is(';') || skipStatement(keyword, false);
        }
        if (word == "SG_" && !inMessage)
            return fail("a BO_ message before its SG_ signals");
        inMessage = word == "SG_" || word == "BO_";
        take();
        if (word == "BA_")
            longName();
        if (isOneOf(word, kSkippedStatements))
            return skipStatement(keyword);
        if (word == "BO_")
            return message();
        if (word == "SG_")
            return signal();
        if (word == "SIG_VALTYPE_")
            return valueType(keyword);
        if (word == "SG_MUL_VAL_")
            return extendedMultiplexing(keyword);
        if (word == "VERSION") {
            if (peek().kind == TokenKind::String)
                take();
            return true;
        }
        if (word == "NS_")
            newSymbols();
        else
            skipToNextStatement(); // BS_: the bit timing, BU_: the nodes
        return true;
    }

    // NS_ : then the symbols a file may use, one per line.
    void newSymbols()
    {
        skipRestOfLine();
        while (peek().kind == TokenKind::Name && peek(1).startsLine)
            take();
    }

    // BO_ 192 EngineData: 8 EngineECU
    bool message()
    {
        const int line = peek().line;
        DbcMessage message;
        uint64_t id = 0;
        if (!whole(kLargestMessageId, kIdExpected, id) ||
            !name("the message's name", message.name, true) ||
            !punct(':', "':' after the message's name") ||
            !whole(std::numeric_limits<uint32_t>::max(), "the message's length in bytes",
                   message.dlc))
            return false;
        skipRestOfLine();          // the sending node
        message.id = uint32_t(id); // bit 31 marks an extended identifier, as in a Candb file
        if (message.dlc > kMaxMessageBytes) {
            tallies[LongMessage].add(line);
            message.leftOut =
                "its message is longer than " + std::to_string(kMaxMessageBytes) + " bytes";
        } else if (unreachable(message.id) && message.name != kIndependentSignals) {
            tallies[UnreachableId].add(line);
        }
        messages.push_back(std::move(message));
        return true;
    }

    // SG_ EngineSpeed : 0|16@1+ (0.25,0) [0|16383.75] "rpm" Dashboard,Gateway
    bool signal()
    {
        const int line = peek().line;
        DbcSignal signal;
        if (!name("the signal's name", signal.name, true) || !multiplexing(signal) ||
            !punct(':', "':' after the signal's name") ||
            !whole(std::numeric_limits<uint64_t>::max(), "the start bit", signal.startBit) ||
            !punct('|', "'|' after the start bit") ||
            !whole(std::numeric_limits<uint64_t>::max(), "the signal's length in bits",
                   signal.length) ||
            !punct('@', "'@' before the byte order") || !byteOrder(signal) ||
            !punct('(', "'(' before the factor") || !finite("the factor", signal.factor) ||
            !punct(',', "',' after the factor") || !finite("the offset", signal.offset) ||
            !punct(')', "')' after the offset"))
            return false;
        if (!range())
            tallies[UnusualRange].add(line);
        if (peek().kind == TokenKind::String && !peek().startsLine)
            signal.unit = textOf(take());
        else
            tallies[MissingUnit].add(line);
        skipRestOfLine(); // the receiving nodes
        DbcMessage &message = messages.back();
        if (signal.leftOut.empty())
            signal.leftOut = message.leftOut;
        if (signal.leftOut.empty())
            signal.leftOut = placementProblem(signal, message.dlc);
        message.signalList.push_back(std::move(signal));
        return true;
    }

    // The switch M stays a plain signal; a multiplexed signal, m0 to mN or m without its number,
    // also when it is itself a switch (m1M), is left out.
    bool multiplexing(DbcSignal &signal)
    {
        if (peek().kind != TokenKind::Name)
            return true;
        const std::string mark = utf8Text(take().text);
        if (mark == "M")
            return true;
        signal.leftOut = isMultiplexedMark(mark)
                             ? "multiplexed, " + mark
                             : "'" + mark + "' before ':' is no multiplexer mark";
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

    // [min|max]: the signal's physical range, which the table does not use. Whatever stands
    // between the brackets on the line is read past; true when it is two numbers.
    bool range()
    {
        if (!peek().is('[') || peek().startsLine)
            return false;
        take();
        std::vector<Token> inside;
        while (!peek().is(']') && !peek().startsLine && peek().kind != TokenKind::String &&
               peek().kind != TokenKind::Unclosed)
            inside.push_back(take());
        if (!peek().is(']') || peek().startsLine)
            return false;
        take();
        double bound = 0;
        return inside.size() == 3 && inside[1].is('|') && inside[0].kind == TokenKind::Number &&
               inside[2].kind == TokenKind::Number && readFinite(inside[0].text, bound) &&
               readFinite(inside[2].text, bound);
    }

    // Leaves out the signals named so of the messages with the mark's identifier.
    void markSignal(const LateMark &mark)
    {
        for (DbcMessage &message : messages) {
            if (message.id != mark.id)
                continue;
            for (DbcSignal &signal : message.signalList) {
                if (signal.name == mark.signalName && signal.leftOut.empty())
                    signal.leftOut = mark.leftOut;
            }
        }
    }

    // BA_ "SystemSignalLongSymbol" SG_ 192 EngineSpeedOfTheFirstCylinderBan "...Bank";
    // BA_ "SystemMessageLongSymbol" BO_ 192 "..."; other attributes are read past.
    void longName()
    {
        const std::string_view attribute = peek().kind == TokenKind::String ? peek().text : "";
        const bool ofSignal = attribute == "SystemSignalLongSymbol";
        if (!ofSignal && attribute != "SystemMessageLongSymbol")
            return;
        const Token &object = peek(1);
        const Token &id = peek(2);
        const Token &signalName = peek(3);
        const Token &value = peek(ofSignal ? 4 : 3);
        uint64_t number = 0;
        const bool shaped =
            object.kind == TokenKind::Name && object.text == (ofSignal ? "SG_" : "BO_") &&
            readWhole(id, kLargestMessageId, number) && value.kind == TokenKind::String &&
            (!ofSignal || signalName.kind == TokenKind::Name);
        if (!shaped)
            return;
        LongName longName{uint32_t(number), ofSignal ? utf8Text(signalName.text) : "",
                          textOf(value)};
        // A Candb name heads a column: never empty, no comma, no line break.
        if (!longName.name.empty() && longName.name.find_first_of(",\r\n") == std::string::npos)
            longNames.push_back(std::move(longName));
    }

    void rename(const LongName &longName)
    {
        for (DbcMessage &message : messages) {
            if (message.id != longName.id)
                continue;
            if (longName.signalName.empty())
                message.name = longName.name;
            for (DbcSignal &signal : message.signalList) {
                if (!longName.signalName.empty() && signal.name == longName.signalName)
                    signal.name = longName.name;
            }
        }
    }

    // SIG_VALTYPE_ 192 Temperature : 1; (1 a 32-bit float, 2 a 64-bit double, 0 an integer)
    bool valueType(const Token &keyword)
    {
        uint64_t id = 0;
        LateMark mark;
        uint64_t type = 0;
        if (!whole(kLargestMessageId, kIdExpected, id) ||
            !name("the signal's name", mark.signalName))
            return false;
        if (peek().is(':'))
            take();
        if (!whole(std::numeric_limits<uint32_t>::max(), "the value type, 0, 1 or 2", type))
            return false;
        if (type != 0) {
            mark.id = uint32_t(id);
            mark.leftOut = type == 1   ? "floating point, 32 bits"
                           : type == 2 ? "floating point, 64 bits"
                                       : "value type " + std::to_string(type) + " unknown";
            lateMarks.push_back(std::move(mark));
        }
        return skipStatement(keyword);
    }

    // SG_MUL_VAL_ 192 Value Mode 1-1, 3-5; the first signal depends on a switch.
    bool extendedMultiplexing(const Token &keyword)
    {
        uint64_t id = 0;
        LateMark mark;
        if (!whole(kLargestMessageId, kIdExpected, id) ||
            !name("the multiplexed signal's name", mark.signalName))
            return false;
        mark.id = uint32_t(id);
        mark.leftOut = "multiplexed, SG_MUL_VAL_";
        lateMarks.push_back(std::move(mark));
        return skipStatement(keyword);
    }

    std::vector<Token> tokens; // split after `tallies` is made: the lexer counts comments there
    size_t next = 0;
    bool inMessage = false; // the statement before was a BO_ or one of its SG_
    std::vector<LateMark> lateMarks;
    std::vector<LongName> longNames;
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
    if (message.leftOut.empty())
        conversion.document["messages"].push_back(std::move(document));
}

} // namespace

DbcConversion convertDbc(std::string_view text)
{
    DbcConversion conversion;
    if (text.substr(0, 2) == "\xFF\xFE" || text.substr(0, 2) == "\xFE\xFF") {
        conversion.error = "line 1: the text is UTF-16; saved as UTF-8 or Windows-1252 it can "
                           "be read";
        return conversion;
    }
    Parser parser(text);
    if (!parser.parse()) {
        conversion.error = parser.error;
        return conversion;
    }
    conversion.document["messages"] = ordered_json::array();
    for (const DbcMessage &message : parser.messages) {
        // The placeholder of DBC editors for signals not yet placed in any message.
        if (message.name != kIndependentSignals)
            addMessage(message, conversion);
    }
    if (conversion.document["messages"].empty()) {
        // An empty database decodes nothing: never hand one over as a conversion.
        conversion = DbcConversion();
        conversion.error = "line " + std::to_string(parser.lastLine()) +
                           ": the file ends without a message (BO_) to convert";
        return conversion;
    }
    for (int kind = 0; kind < kDeviationKinds; ++kind) {
        if (parser.tallies[kind].count > 0)
            conversion.deviations.push_back(deviationLine(Deviation(kind), parser.tallies[kind]));
    }
    return conversion;
}
