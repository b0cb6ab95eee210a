#pragma once

#include <nlohmann/json.hpp>

#include <cstdint>
#include <string>
#include <vector>

// Generated bus traffic for the benchmark: a signal database and the log a logger on two buses
// would record from it, with values that move the way vehicle signals do.

// How a signal's raw value moves from frame to frame.
enum class Motion
{
    Status,  // a flag or state that changes every few seconds
    Counter, // an alive counter, one step per frame
    Analog,  // a slow wave with a little noise in the lowest bits
};

struct GeneratedSignal
{
    std::string name;
    bool littleEndian = true;
    int position = 0; // little-endian: the lsb; big-endian: index of the msb in be_bits()
    int length = 1;
    bool isSigned = false;
    double factor = 1.0;
    double offset = 0.0;
    Motion motion = Motion::Analog;
    double waveSeconds = 10.0; // the wave's period, or the time between status changes
    double phase = 0.0;        // 0..1 of a period
    int noise = 0;             // counts of noise added to an analog value
};

struct GeneratedMessage
{
    uint32_t id = 0; // without the extended flag
    bool extended = false;
    int dlc = 8;
    double rateHz = 100.0;
    std::vector<GeneratedSignal> signalList; // empty: a frame the database does not know
    bool inDatabase = true;
};

struct Traffic
{
    std::vector<GeneratedMessage> messages;
};

// `messages` database messages holding `signalCount` signals of mixed byte order, length,
// sign and scaling, half on each bus (standard identifiers on the first, extended on the
// second), sharing `framesPerSecond` between them; plus `foreignFramesPerSecond` of frames the
// database does not describe.
Traffic makeTraffic(int messages, int signalCount, double framesPerSecond,
                    double foreignFramesPerSecond, uint32_t seed);

// The Candb file of the database messages.
nlohmann::json candbOf(const Traffic &traffic);

// Writes `frames` frames of the traffic in time order, from the logger's clock at 0; time
// stamps wrap at 2^32 us as the logger's do. Records are made by the log writer's encodeRecord.
// False on a write error.
bool writeTrafficLog(const std::string &path, const Traffic &traffic, uint64_t frames,
                     uint32_t seed);
