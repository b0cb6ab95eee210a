#pragma once

#include "config/configrecord.h"
#include "database/candb.h"

#include <array>
#include <optional>
#include <string>
#include <vector>

// The Configurator's rules, for the window and the command line alike: the entries as the user
// gave them go in (UTF-8 texts where the window has text fields, flags where it has check boxes),
// the record and the messages of every failed check, in the window's order, come out.

// The file the logger reads, and how writing it ended.
constexpr char kConfigFileName[] = "config.qvc";
constexpr char kConfigWritten[] = "Config write correctly!";

// One bus: its enable box, the text of its speed field and its "Nor"/"Sil" boxes.
struct BusEntry
{
    bool enabled = false;
    std::string speed;
    bool normal = true;
    bool silent = false;
};

// One acceptance filter as typed: identifier high and low, then mask (or second identifier) high
// and low, each a decimal 16-bit value.
struct FilterEntry
{
    bool listMode = false;
    std::array<std::string, 4> halves;
};

// The trigger-kind boxes, the identifier panel and the signal panel.
struct TriggerEntry
{
    bool always = false;
    bool id = false;
    bool signal = false;
    std::string idText;
    bool standard = true;
    bool extended = false;
    Signal chosen; // an empty name when no signal was chosen
    uint8_t comparison = 0;
    std::string valueText;
};

struct ConfigRequest
{
    std::array<BusEntry, 2> buses;
    // Filters entered with this request, before the generation runs; their messages name the bus
    // ("CAN2 filter: IdHigh Error!"). The window's filter panels store theirs in its record when
    // confirmed, so the window passes none.
    std::array<std::optional<FilterEntry>, 2> filters;
    TriggerEntry trigger;
    std::string output; // where the file goes; empty when nothing was chosen
};

struct ConfigGeneration
{
    Config record;
    std::vector<std::string> messages; // one per failed check, in order
    bool valueRefused = false; // "Value out of scale!": the window then clears the value field

    // The record may be written only when every check passed.
    bool ok() const { return messages.empty(); }
};

// Runs every check on `start`, a record that keeps the fields this request does not set: the
// window's long-lived record, or an all-zero one. Fields of failed entries keep their values.
ConfigGeneration generateConfig(const ConfigRequest &request, const Config &start);

// The filter panel's "Ok": each valid half is stored in `bus` at once; the messages of the
// invalid ones ("IdHigh Error!", "IdHigh Out Of Range Error!", ...) come back in field order.
std::vector<std::string> enterFilterHalves(const std::array<std::string, 4> &halves, Conf &bus);
