#pragma once

#include "database/candb.h"
#include "database/dbc.h"

#include <nlohmann/json.hpp>

#include <optional>
#include <string>
#include <vector>

// A signal database read from its file: a Candb file, or a DBC file read through the DBC reader
// into the Candb document a conversion of it would write, so that a database gives the same
// signals either way. Paths are in the file system's encoding; texts are UTF-8.

// The window's text for a database it refuses; the reason, when there is one, follows it.
constexpr char kCandbNotValid[] = "Candb json not Valid";

struct DatabaseFile
{
    std::optional<nlohmann::json> document; // nothing when refused
    Candb candb;                            // what the reader made of the document
    std::string problem;                    // why it was refused; may be empty then
    // A DBC file's signals that a Candb file cannot hold, one line each, e.g.
    //     message Engine (id 192), signal Mode1Value: left out (multiplexed, m1)
    std::vector<std::string> warnings;
    // Kinds of text a DBC file should not hold but that were read, one line each, e.g.
    //     3 statements without their closing ';', the first at line 352
    std::vector<std::string> deviations;

    bool ok() const { return document.has_value(); }
    size_t leftOut() const { return warnings.size(); }
};

// A path read as a DBC file: one ending in ".dbc", in any case.
bool isDbcPath(const std::string &path);

// A Candb file as the window takes it: a regular file with ".json" in its path whose text the
// Candb reader accepts. A path that names no file or lacks ".json" is refused without a problem.
DatabaseFile readCandbFile(const std::string &path);
// A Candb or a DBC file, chosen by the file's name, as the window takes it: a Candb file as
// readCandbFile reads it, a DBC file through the DBC reader.
DatabaseFile readCandbOrDbcFile(const std::string &path);
// The same as the command line takes it, where a missing file's problem is kNoSuchFile.
DatabaseFile readDatabaseFile(const std::string &path);

// A DBC file converted, or why it could not be read (its conversion's error when it was).
struct DbcFile
{
    DbcConversion conversion;
    std::string problem; // empty when converted
};
DbcFile readDbcFile(const std::string &path);

// What reading a DBC file left out and bent, counted, with the command that lists it all:
//     2 signals of X.dbc left out, 1 kind of irregular text read; 'quorvane-cli candb-from-dbc
//     X.dbc' lists them
// `beforeCommand` stands between the counts and the command ("; ", or ";\n" for a message box).
// Empty when nothing was left out or bent.
std::string leftOutText(size_t leftOut, size_t deviations, const std::string &path,
                        const char *beforeCommand);

// kCandbNotValid, then the problem on a line of its own when there is one.
std::string invalidCandbText(const std::string &problem);
