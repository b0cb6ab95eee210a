#pragma once

#include "signal.h"

#include <nlohmann/json.hpp>

#include <array>
#include <istream>
#include <optional>
#include <string>
#include <vector>

// Bit numbers in big-endian order, most significant first: 7..0 of byte 0, 15..8 of byte 1, ...
// A big-endian signal runs along this table from its start bit.
const std::array<int, 512> &be_bits();

struct CandbMessage
{
    uint32_t id = 0;
    std::vector<Signal> signalList; // in file order ("signals" is a Qt keyword)
};

// A whole Candb database, or the one reason it was refused: never a partial one.
struct Candb
{
    std::vector<CandbMessage> messages; // messages that have an "id", in file order
    std::string error; // empty when accepted, e.g. message 3 (id 291), signal "Speed": ...

    bool ok() const { return error.empty(); }
};

// Parses JSON text without exceptions. On failure returns nothing and sets `error`.
std::optional<nlohmann::json> parseJson(std::istream &in, std::string &error);

// Validates every value the reader uses, then derives every Signal. The one place where the
// Candb format is understood.
Candb readCandb(const nlohmann::json &doc);
