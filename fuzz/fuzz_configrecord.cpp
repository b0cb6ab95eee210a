// The config record: whatever values its fields hold, the file image is exactly 96 bytes with
// every reserved byte zero, and reading it back gives the same fields.
//
// Input: the field values, one after another in their declared order and sizes (missing bytes
// read as zero).

#include "config/configrecord.h"
#include "fuzzcheck.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

class FieldBytes
{
public:
    FieldBytes(const uint8_t *data, size_t size) : data(data), size(size) {}
    template <typename T> void fill(T &field)
    {
        uint8_t bytes[sizeof(T)] = {};
        for (size_t i = 0; i < sizeof(T) && at < size; ++i)
            bytes[i] = data[at++];
        std::memcpy(&field, bytes, sizeof(T));
    }

private:
    const uint8_t *data;
    size_t size;
    size_t at = 0;
};

Config configFrom(const uint8_t *data, size_t size)
{
    FieldBytes bytes(data, size);
    Config config;
    for (Conf &bus : config.conf) {
        bytes.fill(bus.CAN_pre);
        bytes.fill(bus.CAN_BS1);
        bytes.fill(bus.CAN_BS2);
        bytes.fill(bus.IDType);
        bytes.fill(bus.canMode);
        bytes.fill(bus.canEn);
        bytes.fill(bus.maskMode);
        bytes.fill(bus.FilterIdHigh);
        bytes.fill(bus.FilterIdLow);
        bytes.fill(bus.FilterMaskIdHigh);
        bytes.fill(bus.FilterMaskIdLow);
    }
    SignalSTM32 &trigger = config.trigStm32;
    bytes.fill(trigger.ID);
    bytes.fill(trigger.DLC);
    bytes.fill(trigger.isExt);
    bytes.fill(trigger.start_bit);
    bytes.fill(trigger.msb);
    bytes.fill(trigger.lsb);
    bytes.fill(trigger.size);
    bytes.fill(trigger.is_signed);
    bytes.fill(trigger.is_little_endian);
    bytes.fill(trigger.rawValue);
    bytes.fill(trigger.mode);
    bytes.fill(trigger.operation);
    return config;
}

bool sameBus(const Conf &a, const Conf &b)
{
    return a.CAN_pre == b.CAN_pre && a.CAN_BS1 == b.CAN_BS1 && a.CAN_BS2 == b.CAN_BS2 &&
           a.IDType == b.IDType && a.canMode == b.canMode && a.canEn == b.canEn &&
           a.maskMode == b.maskMode && a.FilterIdHigh == b.FilterIdHigh &&
           a.FilterIdLow == b.FilterIdLow && a.FilterMaskIdHigh == b.FilterMaskIdHigh &&
           a.FilterMaskIdLow == b.FilterMaskIdLow;
}

bool sameTrigger(const SignalSTM32 &a, const SignalSTM32 &b)
{
    return a.ID == b.ID && a.DLC == b.DLC && a.isExt == b.isExt && a.start_bit == b.start_bit &&
           a.msb == b.msb && a.lsb == b.lsb && a.size == b.size && a.is_signed == b.is_signed &&
           a.is_little_endian == b.is_little_endian && a.rawValue == b.rawValue &&
           a.mode == b.mode && a.operation == b.operation;
}

bool isReserved(size_t offset)
{
    const size_t inBlock = offset % 32;
    if (offset < 64)
        return inBlock == 2 || inBlock == 3;
    return (inBlock >= 12 && inBlock < 16) || inBlock >= 26;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const Config config = configFrom(data, size);
    const ConfigImage image = serializeConfig(config);
    check(image.size() == 96, "the image is 96 bytes");
    for (size_t offset = 0; offset < image.size(); ++offset)
        check(!isReserved(offset) || image[offset] == 0, "reserved bytes are zero");
    const Config back = deserializeConfig(image);
    check(sameBus(back.conf[0], config.conf[0]) && sameBus(back.conf[1], config.conf[1]),
          "both buses read back unchanged");
    check(sameTrigger(back.trigStm32, config.trigStm32), "the trigger reads back unchanged");
    check(serializeConfig(back) == image, "the image of the record read back is the same");
    // Little-endian on any host: the prescaler's low byte comes first.
    check(image[0] == uint8_t(config.conf[0].CAN_pre) &&
              image[1] == uint8_t(config.conf[0].CAN_pre >> 8),
          "little-endian fields");
    return 0;
}
