#pragma once

#include "config/configrecord.h"

#include <cstdint>
#include <string>
#include <vector>

// Reading a configuration file back: what its values stand for, and which of them the generator
// never writes (a file made by hand, by another tool, or damaged on the card).

// A value the generator never writes, at its place in the file.
struct ConfigAnomaly
{
    size_t offset = 0;
    uint64_t value = 0;
    std::string field;    // e.g. "CAN1 canEn"
    std::string expected; // what the generator writes there, e.g. "0 or 1"
};

// Every anomaly of the file, in the order of their offsets.
std::vector<ConfigAnomaly> findConfigAnomalies(const ConfigImage &image);

// Two 16-bit filter halves read as one bxCAN 32-bit filter register: the standard identifier in
// bits 31-21, the extended one in bits 31-3, and IDE in bit 2 choosing between them.
struct FilterRegister
{
    uint32_t word = 0;
    bool extended = false; // IDE
    uint32_t id = 0;       // 11 or 29 bits, as IDE says
};
FilterRegister readFilterRegister(uint32_t high, uint32_t low);
