#pragma once

#include "candbsignal.h"
#include "configrecord.h"

#include <cstdint>
#include <optional>

// Bit timing for the logger's 54 MHz CAN clock: 1 + 15 + 2 time quanta per bit, the segments as
// they stand in the bxCAN bit-timing register.
constexpr uint32_t kCanBs1 = 0x000E0000u;
constexpr uint32_t kCanBs2 = 0x00100000u;
constexpr uint16_t kDisabledBusPrescaler = 3;

// The prescaler of one of the eight supported bit rates (bit/s), or nothing for any other rate.
std::optional<uint16_t> prescalerForBitRate(uint32_t bitRate);

// Trigger kinds and the comparison code of the always trigger, as the firmware reads them.
constexpr uint8_t kTriggerModeId = 1;
constexpr uint8_t kTriggerModeAlways = 2;
constexpr uint8_t kTriggerModeSignal = 3;
constexpr uint8_t kAlwaysOperation = 10;

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
// written; the others keep the values of earlier triggers.
void setSignalTrigger(SignalSTM32 &trigger, const Signal &sig, int64_t rawValue, uint8_t operation);
void setAlwaysTrigger(SignalSTM32 &trigger);
void setIdTrigger(SignalSTM32 &trigger, uint32_t id, bool extended);
