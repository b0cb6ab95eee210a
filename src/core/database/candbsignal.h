#pragma once

#include <cstdint>
#include <string>

// The largest message identifier a signal database holds: 32 bits, bit 31 marking an extended
// identifier.
constexpr uint32_t kLargestMessageId = 0xFFFFFFFF;

// Where a bit number stands when a message's bits are counted in big-endian order: from bit 7
// down to bit 0 of each byte, then on into the next byte.
constexpr uint64_t bigEndianPosition(uint64_t bit)
{
    return 8 * (bit / 8) + 7 - bit % 8;
}

// One signal of the Candb file: where its bits lie in a frame and how the raw field becomes a
// physical value (raw * factor + offset). A plain value record.
struct Signal
{
    uint32_t ID = 0;   // the message's "id"; bit 31 marks an extended identifier
    std::string name;  // UTF-8, as in the file
    uint8_t isExt = 0; // never set from the file
    uint8_t DLC = 0;   // the message's "dlc"
    int start_bit = 0;
    int msb = 0; // bit number of the most significant bit
    int lsb = 0; // bit number of the least significant bit
    int size = 0;
    bool is_signed = false;
    double factor = 0.0;
    double offset = 0.0;
    bool is_little_endian = false;
};
