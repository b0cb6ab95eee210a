#include "config/configinspection.h"

#include "config/configrules.h"
#include "log/logfile.h"
#include "text/numbertext.h"

using namespace ConfigLayout;

namespace {

class AnomalyFinder
{
public:
    explicit AnomalyFinder(const ConfigImage &image)
        : image(image), config(deserializeConfig(image))
    {
    }

    std::vector<ConfigAnomaly> find()
    {
        findInBus(0);
        findInBus(1);
        findInTrigger();
        return found;
    }

private:
    void add(size_t offset, uint64_t value, const std::string &field, const std::string &expected)
    {
        found.push_back({offset, value, field, expected});
    }
    void checkFlag(size_t offset, uint8_t value, const std::string &field)
    {
        if (value > 1)
            add(offset, value, field, "0 or 1");
    }
    void checkReserved(size_t from, size_t to)
    {
        for (size_t offset = from; offset < to; ++offset) {
            if (image[offset] != 0)
                add(offset, image[offset], "reserved", "0");
        }
    }
    void findInBus(int index);
    void findInTrigger();

    const ConfigImage &image;
    const Config config;
    std::vector<ConfigAnomaly> found;
};

void AnomalyFinder::findInBus(int index)
{
    const Conf &bus = config.conf[index];
    const size_t base = index * kBlockSize;
    const std::string name = "CAN" + std::to_string(index + 1) + " ";
    if (!bitRateForPrescaler(bus.CAN_pre))
        add(base + kPre, bus.CAN_pre, name + "CAN_pre", "a prescaler of the bit-rate table");
    checkReserved(base + kBusReserved.first, base + kBusReserved.second);
    if (bus.CAN_BS1 != kCanBs1)
        add(base + kBs1, bus.CAN_BS1, name + "CAN_BS1", hexNumber(kCanBs1, 8));
    if (bus.CAN_BS2 != kCanBs2)
        add(base + kBs2, bus.CAN_BS2, name + "CAN_BS2", hexNumber(kCanBs2, 8));
    if (bus.IDType != 0)
        add(base + kIdType, bus.IDType, name + "IDType", "0");
    checkFlag(base + kCanMode, bus.canMode, name + "canMode");
    checkFlag(base + kCanEn, bus.canEn, name + "canEn");
    checkFlag(base + kMaskMode, bus.maskMode, name + "maskMode");
    const struct
    {
        size_t offset;
        uint32_t value;
        const char *field;
    } halves[] = {
        {kFilterIdHigh, bus.FilterIdHigh, "FilterIdHigh"},
        {kFilterIdLow, bus.FilterIdLow, "FilterIdLow"},
        {kFilterMaskIdHigh, bus.FilterMaskIdHigh, "FilterMaskIdHigh"},
        {kFilterMaskIdLow, bus.FilterMaskIdLow, "FilterMaskIdLow"},
    };
    for (const auto &half : halves) {
        if (half.value > 0xFFFF)
            add(base + half.offset, half.value, name + half.field, "0 to 65535");
    }
}

void AnomalyFinder::findInTrigger()
{
    const SignalSTM32 &trigger = config.trigStm32;
    const size_t base = kTriggerStart;
    checkFlag(base + kIsExt, trigger.isExt, "isExt");
    // Files written before signal triggers set isExt hold 0 beside an extended identifier.
    const bool extendedId = (trigger.ID & kExtendedIdFlag) != 0;
    if (trigger.isExt <= 1 && (trigger.isExt == 1) != extendedId)
        add(base + kIsExt, trigger.isExt, "isExt",
            extendedId ? "1 beside an extended identifier" : "0 beside a standard identifier");
    const struct
    {
        size_t offset;
        uint8_t value;
        const char *field;
    } bitNumbers[] = {
        {kStartBit, trigger.start_bit, "start_bit"},
        {kMsb, trigger.msb, "msb"},
        {kLsb, trigger.lsb, "lsb"},
    };
    for (const auto &bit : bitNumbers) {
        if (bit.value > kLastLoggedBit)
            add(base + bit.offset, bit.value, bit.field, "0 to 63");
    }
    checkFlag(base + kIsSigned, trigger.is_signed, "is_signed");
    checkFlag(base + kIsLittleEndian, trigger.is_little_endian, "is_little_endian");
    checkReserved(base + kTriggerReserved[0].first, base + kTriggerReserved[0].second);
    if (trigger.mode < kTriggerModeId || trigger.mode > kTriggerModeSignal)
        add(base + kMode, trigger.mode, "trigger mode", "1 to 3");
    if (trigger.operation >= kComparisons.size() && trigger.operation != kAlwaysOperation)
        add(base + kOperation, trigger.operation, "operation", "0 to 5 or 10");
    checkReserved(base + kTriggerReserved[1].first, base + kTriggerReserved[1].second);
}

} // namespace

std::vector<ConfigAnomaly> findConfigAnomalies(const ConfigImage &image)
{
    return AnomalyFinder(image).find();
}

FilterRegister readFilterRegister(uint32_t high, uint32_t low)
{
    FilterRegister reading;
    reading.word = (high & 0xFFFF) << 16 | (low & 0xFFFF);
    reading.extended = (reading.word & kIdeFlag) != 0;
    reading.id =
        reading.extended ? reading.word >> kExtendedIdShift : reading.word >> kStandardIdShift;
    return reading;
}
