#pragma once

#include <QString>
#include <nlohmann/json.hpp>

#include <optional>

// Opens and checks the Candb file named in the Decoder area. A path that names no file or lacks
// ".json", or a file that is not a valid database, is reported in one "Candb json not Valid" box
// and gives nothing.
std::optional<nlohmann::json> loadCandbFile(const QString &path);

// The box for a Candb file that cannot be used: "Candb json not Valid", then the problem.
void reportInvalidCandb(const QString &problem = QString());
