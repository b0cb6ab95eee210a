#include "config/configrules.h"

#include "log/logfile.h"

#include <algorithm>
#include <cmath>

std::optional<uint16_t> prescalerForBitRate(uint32_t bitRate)
{
    for (const BitRate &entry : kBitRates) {
        if (entry.bitsPerSecond == bitRate)
            return entry.prescaler;
    }
    return std::nullopt;
}

std::optional<uint32_t> bitRateForPrescaler(uint16_t prescaler)
{
    for (const BitRate &entry : kBitRates) {
        if (entry.prescaler == prescaler)
            return entry.bitsPerSecond;
    }
    return std::nullopt;
}

std::string bitRateList()
{
    std::string list;
    for (const BitRate &entry : kBitRates)
        list += (list.empty() ? "" : ",") + std::to_string(entry.bitsPerSecond);
    return list;
}

bool fitsLoggedFrame(const Signal &sig)
{
    const auto inFrame = [](int bit) { return bit >= 0 && bit <= kLastLoggedBit; };
    return inFrame(sig.msb) && inFrame(sig.lsb);
}

PhysicalRange physicalRange(const Signal &sig)
{
    const int bits = sig.size;
    const double largestRaw =
        sig.is_signed ? std::ldexp(1.0, bits - 1) - 1.0 : std::ldexp(1.0, bits) - 1.0;
    const double smallestRaw = sig.is_signed ? -std::ldexp(1.0, bits - 1) : 0.0;
    const double atLargest = sig.offset + sig.factor * largestRaw;
    const double atSmallest = sig.offset + sig.factor * smallestRaw;
    return {std::min(atLargest, atSmallest), std::max(atLargest, atSmallest)};
}

namespace {

// A count that lies a rounding error away from a whole number is meant to be on the grid.
double rawCount(double quotient)
{
    const double nearest = std::round(quotient);
    if (std::fabs(quotient - nearest) <= 1e-9 * std::fabs(nearest))
        return nearest;
    return std::trunc(quotient);
}

} // namespace

std::optional<int64_t> triggerRawValue(const Signal &sig, double value)
{
    if (sig.factor == 0.0 || !physicalRange(sig).contains(value))
        return std::nullopt;
    const double count = rawCount((value - sig.offset) / sig.factor);
    // -2^63 is the smallest int64; 2^63 is one past the largest.
    const double limit = std::ldexp(1.0, 63);
    if (!(count >= -limit && count < limit))
        return std::nullopt;
    return static_cast<int64_t>(count);
}

std::optional<uint32_t> extendedTriggerId(int number)
{
    if (number < 0 || static_cast<uint32_t>(number) > kLargestExtendedId)
        return std::nullopt;
    return static_cast<uint32_t>(number) | kExtendedIdFlag;
}

std::optional<uint32_t> standardTriggerId(int number)
{
    // A negative number, taken as unsigned, is far above the range.
    const auto id = static_cast<uint32_t>(number);
    if (id > kLargestStandardId)
        return std::nullopt;
    return id;
}

void setSignalTrigger(SignalSTM32 &trigger, const Signal &sig, int64_t rawValue, uint8_t operation)
{
    trigger.ID = sig.ID;
    trigger.DLC = sig.DLC;
    trigger.isExt = (sig.ID & kExtendedIdFlag) ? 1 : 0;
    trigger.start_bit = static_cast<uint8_t>(sig.start_bit);
    trigger.msb = static_cast<uint8_t>(sig.msb);
    trigger.lsb = static_cast<uint8_t>(sig.lsb);
    trigger.size = static_cast<uint8_t>(sig.size);
    trigger.is_signed = sig.is_signed ? 1 : 0;
    trigger.is_little_endian = sig.is_little_endian ? 1 : 0;
    trigger.rawValue = rawValue;
    trigger.mode = kTriggerModeSignal;
    trigger.operation = operation;
}

void setAlwaysTrigger(SignalSTM32 &trigger)
{
    trigger.operation = kAlwaysOperation;
    trigger.mode = kTriggerModeAlways;
}

void setIdTrigger(SignalSTM32 &trigger, uint32_t id, bool extended)
{
    trigger.ID = id;
    trigger.isExt = extended ? 1 : 0;
    trigger.mode = kTriggerModeId;
}
