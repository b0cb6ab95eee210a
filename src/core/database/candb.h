#pragma once

#include "database/candbsignal.h"

#include <nlohmann/json.hpp>

#include <array>
#include <istream>
#include <map>
#include <optional>
#include <string>
#include <vector>

// Bit numbers in big-endian order, most significant first: 7..0 of byte 0, 15..8 of byte 1, ...
// A big-endian signal runs along this table from its start bit.
const std::array<int, 512> &be_bits();

// The longest message a Candb file describes, in bytes: a CAN FD frame, all the bit numbering
// covers. A log record holds 8 of them (frameByteCount).
constexpr int kMaxMessageBytes = 64;
// The longest signal, in bits: its raw value fills a 64-bit integer.
constexpr int kMaxSignalBits = 64;

struct CandbMessage
{
    uint32_t id = 0;
    // "dlc": always there when the message has signals; without them, when the file gives a
    // usable one.
    std::optional<uint8_t> dlc;
    std::vector<Signal> signalList; // in file order ("signals" is a Qt keyword)
};

// A whole Candb database, or the one reason it was refused: never a partial one.
struct Candb
{
    std::vector<CandbMessage> messages; // messages that have an "id", in file order
    std::string error; // empty when accepted, e.g. message 3 (id 291), signal "Speed": ...

    bool ok() const { return error.empty(); }
};

// Parses JSON text without exceptions. On failure returns nothing and sets `error`, which says
// where the text went wrong. Text nested more than 100 levels deep is refused too: copying such a
// value would recurse that deep.
std::optional<nlohmann::json> parseJson(std::istream &in, std::string &error);

// Validates every value the reader uses, then derives every Signal. The one place where the
// Candb format is understood.
//
// Accepted: a top-level object; "messages" missing, an array, or an object (read in ascending
// order of member names) whose elements are objects. A message without "id" is skipped unread.
// Otherwise "id" is a whole number 0 to 4294967295; "signals", if present, an array; a message
// with signals needs "dlc", a whole number 0 to 64 (a log record holds 8: frameByteCount). Each
// signal needs "name" (a string), "startbit" (whole, 0 to 511), "bitlength" (whole, 1 to 64),
// "scaling" and "offset" (finite numbers) and "signed" (true or false); a signal of either byte
// order must end within byte 63. "Whole" means a number of whole value, however written: 16, 16.0
// and 1.6e1 alike. "endianess" may be anything: only the literal true means little-endian.
//
// The first fault found is the one error, naming its place: messages of an array are counted
// from 1 in file order (skipped ones included), those of an object named by their member names;
// signals are named by "name" or, while that is unusable, counted from 1. For example:
//     message 3 (id 291), signal "Speed": "bitlength" must be a whole number from 1 to 64
Candb readCandb(const nlohmann::json &doc);
// Parses the text and reads it; a text that does not parse gives parseJson's error.
Candb readCandb(std::istream &in);

// The database's signals by name, in the order of their names: the signals a trigger can be set
// on, and the columns a table can have. A name that several messages define stands for its first
// definition in the file.
std::map<std::string, Signal> signalsByName(const Candb &candb);
