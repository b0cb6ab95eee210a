#pragma once

#include <cstdint>
#include <string>

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
