#pragma once

#include <nlohmann/json.hpp>

#include <string>
#include <string_view>
#include <vector>

// A DBC file turned into a Candb document, or the one line that could not be read: never a
// partial document.
struct DbcConversion
{
    // The Candb document: {"messages": [...]}, one message per BO_ kept, in file order, each
    // with "name", "id", "dlc" and "signals"; each signal with "name", "startbit", "bitlength",
    // "endianess", "signed", "scaling", "offset" and "unit". The keys stay in this order when
    // written. "name" of a message and "unit" are extra keys the Candb reader ignores.
    nlohmann::ordered_json document;
    // One line per signal left out, naming its message and itself, in file order, e.g.
    //     message Engine (id 192), signal Mode1Value: left out (multiplexed, m1)
    std::vector<std::string> warnings;
    // One line per kind of text read although the DBC format does not allow it, or read past
    // although it holds something, with how often and where first, e.g.
    //     3 statements without their closing ';', the first at line 352
    std::vector<std::string> deviations;
    std::string error; // empty when read, e.g. line 12: expected '|' after the start bit, found '@'

    bool ok() const { return error.empty(); }
};

// Reads DBC text as the common DBC tools do. Messages (BO_) and their signals (SG_) become the
// document; multiplexed and floating-point signals and those a Candb file cannot hold (outside
// their message, longer than 64 bits, in a message longer than 64 bytes) are left out with a
// warning each. The placeholder message of signals that belong to no message is left out
// silently. The rest of a DBC file (comments, value tables, attributes, node lists, signal
// groups, unknown statements, ...) is read past. Text the format does not allow but the common
// tools read (a missing ';', names that begin with a digit, comments after //, names and units
// that are not UTF-8, ...) is read and counted in `deviations`. Refused: a broken number or part
// of a message or signal, a string never closed, a signal outside any message, UTF-16 text, a
// text without any message.
DbcConversion convertDbc(std::string_view text);
