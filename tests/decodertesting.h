#pragma once

#include "database/candb.h"
#include "log/logfile.h"

#include <QByteArray>
#include <QMetaType>
#include <QString>

#include <string>
#include <vector>

// Helpers shared by the Decoder's tests.

using Frames = std::vector<LogFrame>;
Q_DECLARE_METATYPE(Frames)

LogFrame standardFrame(uint32_t id, uint32_t time, std::array<uint8_t, 8> data = {});
LogFrame extendedFrame(uint32_t id, uint32_t time, std::array<uint8_t, 8> data = {});

// A Candb database from JSON text, through the one reader; an empty database with the reason
// when the reader refuses it.
Candb candbFromText(const std::string &text);

// One message with "id" 291 and "dlc" 2: Speed (little-endian bits 0-15, scaled by 0.01) and
// Gear (big-endian, byte 1 bits 7-4).
extern const char *const kSpeedGearCandb;
// Its frames at 50000, 120000, 150000 and 230000 us.
Frames speedGearFrames();
