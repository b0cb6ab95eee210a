#pragma once

#include "config/configrecord.h"
#include "database/candbsignal.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>

// Bit timing for the logger's 54 MHz CAN clock: 1 + 15 + 2 time quanta per bit, the segments as
// they stand in the bxCAN bit-timing register.
constexpr uint32_t kCanBs1 = 0x000E0000u;
constexpr uint32_t kCanBs2 = 0x00100000u;
constexpr uint16_t kDisabledBusPrescaler = 3;

// The eight bit rates (bit/s) the logger supports, fastest first, with their prescalers: each is
// 54 MHz / (18 quanta * bit rate), rounded for 83333 and 33333.
struct BitRate
{
    uint32_t bitsPerSecond;
    uint16_t prescaler;
};
constexpr std::array<BitRate, 8> kBitRates{{
    {1000000, 3},
    {500000, 6},
    {250000, 12},
    {125000, 24},
    {100000, 30},
    {83333, 36},
    {50000, 60},
    {33333, 90},
}};

// The prescaler of one of the supported bit rates, or nothing for any other rate.
std::optional<uint16_t> prescalerForBitRate(uint32_t bitRate);
// The bit rate a prescaler stands for, or nothing for one the generator never writes.
std::optional<uint32_t> bitRateForPrescaler(uint16_t prescaler);
// "1000000,500000,...,33333", for the message that refuses any other rate.
std::string bitRateList();

// Trigger kinds and the comparison code of the always trigger, as the firmware reads them.
constexpr uint8_t kTriggerModeId = 1;
constexpr uint8_t kTriggerModeAlways = 2;
constexpr uint8_t kTriggerModeSignal = 3;
constexpr uint8_t kAlwaysOperation = 10;

// Comparison codes of the signal trigger, as the window's list offers them: 0 ">" to 5 "<=".
constexpr std::array<const char *, 6> kComparisons{">", "<", "==", "!=", ">=", "<="};

// A logged frame holds 8 data bytes, so the logger can compare only bits 0 to 63.
constexpr int kLastLoggedBit = 63;
bool fitsLoggedFrame(const Signal &sig);

// The physical values a signal can take, from the smaller end to the larger (a negative factor
// swaps the ends of the raw range).
struct PhysicalRange
{
    double lower = 0.0;
    double upper = 0.0;

    // False for a value that is not comparable (NaN).
    bool contains(double value) const { return lower <= value && value <= upper; }
};

PhysicalRange physicalRange(const Signal &sig);

// The comparison value of a signal trigger as a count of the signal's raw grid: a quotient within
// a relative 1e-9 of a whole number is that number (0.3 / 0.1 is 3, not 2.9999999999999996),
// otherwise it is truncated toward zero. Nothing when the value lies outside the signal's range
// or has no count: a factor of 0, or a count beyond the signed 64-bit range.
std::optional<int64_t> triggerRawValue(const Signal &sig, double value);

// The identifier word of an identifier trigger, or nothing when the number does not fit the
// format: 29 bits with bit 31 set for an extended identifier, 11 bits for a standard one.
std::optional<uint32_t> extendedTriggerId(int number);
std::optional<uint32_t> standardTriggerId(int number);

// Fills the trigger part of the record for each trigger kind. Only the fields a kind owns are
// written; the others keep the values of earlier triggers. A signal of a message with an
// extended identifier sets `isExt`, as an extended identifier trigger does.
void setSignalTrigger(SignalSTM32 &trigger, const Signal &sig, int64_t rawValue, uint8_t operation);
void setAlwaysTrigger(SignalSTM32 &trigger);
void setIdTrigger(SignalSTM32 &trigger, uint32_t id, bool extended);
