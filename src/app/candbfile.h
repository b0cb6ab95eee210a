#pragma once

#include <QString>
#include <nlohmann/json.hpp>

#include <optional>

// Opens and checks the Candb file named in the Decoder area. A path that names no file or lacks
// ".json", or a file that is not a valid database, is reported in one "Candb json not Valid" box
// and gives nothing.
std::optional<nlohmann::json> loadCandbFile(const QString &path);
