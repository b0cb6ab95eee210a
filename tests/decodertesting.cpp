#include "decodertesting.h"

#include <sstream>

LogFrame standardFrame(uint32_t id, uint32_t time, std::array<uint8_t, 8> data)
{
    return LogFrame{id, false, time, data};
}

LogFrame extendedFrame(uint32_t id, uint32_t time, std::array<uint8_t, 8> data)
{
    return LogFrame{id, true, time, data};
}

Candb candbFromText(const std::string &text)
{
    std::istringstream in(text);
    return readCandb(in);
}

const char *const kSpeedGearCandb = R"({"messages": [{"id": 291, "dlc": 2, "signals": [
    {"name": "Speed", "startbit": 0, "bitlength": 16, "scaling": 0.01, "offset": 0,
     "signed": false, "endianess": true},
    {"name": "Gear", "startbit": 15, "bitlength": 4, "scaling": 1, "offset": 0,
     "signed": false}]}]})";

Frames speedGearFrames()
{
    return {standardFrame(0x123, 50000, {0x10, 0x27}), standardFrame(0x123, 120000, {0x20, 0x4E}),
            standardFrame(0x123, 150000, {0x00, 0x00}), standardFrame(0x123, 230000, {0x30, 0x75})};
}
