#include "config/configrecord.h"

#include "files/inputfile.h"
#include "files/replacingfile.h"

#include <unistd.h>

#include <type_traits>

using namespace ConfigLayout;

namespace {

template <typename T> void put(ConfigImage &image, size_t at, T value)
{
    using Unsigned = std::make_unsigned_t<T>;
    const auto bits = static_cast<Unsigned>(value);
    for (size_t i = 0; i < sizeof(T); ++i)
        image[at + i] = static_cast<uint8_t>(bits >> (8 * i));
}

template <typename T> T get(const ConfigImage &image, size_t at)
{
    using Unsigned = std::make_unsigned_t<T>;
    Unsigned bits = 0;
    for (size_t i = 0; i < sizeof(T); ++i)
        bits |= static_cast<Unsigned>(static_cast<Unsigned>(image[at + i]) << (8 * i));
    return static_cast<T>(bits);
}

void putBus(ConfigImage &image, size_t base, const Conf &bus)
{
    put(image, base + kPre, bus.CAN_pre);
    put(image, base + kBs1, bus.CAN_BS1);
    put(image, base + kBs2, bus.CAN_BS2);
    put(image, base + kIdType, bus.IDType);
    put(image, base + kCanMode, bus.canMode);
    put(image, base + kCanEn, bus.canEn);
    put(image, base + kMaskMode, bus.maskMode);
    put(image, base + kFilterIdHigh, bus.FilterIdHigh);
    put(image, base + kFilterIdLow, bus.FilterIdLow);
    put(image, base + kFilterMaskIdHigh, bus.FilterMaskIdHigh);
    put(image, base + kFilterMaskIdLow, bus.FilterMaskIdLow);
}

Conf getBus(const ConfigImage &image, size_t base)
{
    Conf bus;
    bus.CAN_pre = get<uint16_t>(image, base + kPre);
    bus.CAN_BS1 = get<uint32_t>(image, base + kBs1);
    bus.CAN_BS2 = get<uint32_t>(image, base + kBs2);
    bus.IDType = get<uint8_t>(image, base + kIdType);
    bus.canMode = get<uint8_t>(image, base + kCanMode);
    bus.canEn = get<uint8_t>(image, base + kCanEn);
    bus.maskMode = get<uint8_t>(image, base + kMaskMode);
    bus.FilterIdHigh = get<uint32_t>(image, base + kFilterIdHigh);
    bus.FilterIdLow = get<uint32_t>(image, base + kFilterIdLow);
    bus.FilterMaskIdHigh = get<uint32_t>(image, base + kFilterMaskIdHigh);
    bus.FilterMaskIdLow = get<uint32_t>(image, base + kFilterMaskIdLow);
    return bus;
}

void putTrigger(ConfigImage &image, const SignalSTM32 &trigger)
{
    const size_t base = kTriggerStart;
    put(image, base + kId, trigger.ID);
    put(image, base + kDlc, trigger.DLC);
    put(image, base + kIsExt, trigger.isExt);
    put(image, base + kStartBit, trigger.start_bit);
    put(image, base + kMsb, trigger.msb);
    put(image, base + kLsb, trigger.lsb);
    put(image, base + kSize, trigger.size);
    put(image, base + kIsSigned, trigger.is_signed);
    put(image, base + kIsLittleEndian, trigger.is_little_endian);
    put(image, base + kRawValue, trigger.rawValue);
    put(image, base + kMode, trigger.mode);
    put(image, base + kOperation, trigger.operation);
}

SignalSTM32 getTrigger(const ConfigImage &image)
{
    const size_t base = kTriggerStart;
    SignalSTM32 trigger;
    trigger.ID = get<uint32_t>(image, base + kId);
    trigger.DLC = get<uint8_t>(image, base + kDlc);
    trigger.isExt = get<uint8_t>(image, base + kIsExt);
    trigger.start_bit = get<uint8_t>(image, base + kStartBit);
    trigger.msb = get<uint8_t>(image, base + kMsb);
    trigger.lsb = get<uint8_t>(image, base + kLsb);
    trigger.size = get<uint8_t>(image, base + kSize);
    trigger.is_signed = get<uint8_t>(image, base + kIsSigned);
    trigger.is_little_endian = get<uint8_t>(image, base + kIsLittleEndian);
    trigger.rawValue = get<int64_t>(image, base + kRawValue);
    trigger.mode = get<uint8_t>(image, base + kMode);
    trigger.operation = get<uint8_t>(image, base + kOperation);
    return trigger;
}

} // namespace

ConfigImage serializeConfig(const Config &config)
{
    ConfigImage image{}; // the reserved bytes stay zero
    putBus(image, 0, config.conf[0]);
    putBus(image, kBlockSize, config.conf[1]);
    putTrigger(image, config.trigStm32);
    return image;
}

Config deserializeConfig(const ConfigImage &image)
{
    Config config;
    config.conf[0] = getBus(image, 0);
    config.conf[1] = getBus(image, kBlockSize);
    config.trigStm32 = getTrigger(image);
    return config;
}

bool writeConfigFile(const std::string &path, const Config &config)
{
    const ConfigImage image = serializeConfig(config);
    ReplacingFile file;
    return file.open(path) && file.write(image.data(), image.size()) && file.commit();
}

ConfigFileReading readConfigFile(const std::string &path)
{
    const InputFile input = openInputFile(path);
    ConfigFileReading reading{std::nullopt, input.problem};
    if (input.descriptor < 0)
        return reading;
    ConfigImage image{};
    if (input.size != static_cast<long long>(kConfigFileSize))
        reading.problem = std::to_string(input.size) + " bytes, not the " +
                          std::to_string(kConfigFileSize) + " of a configuration file";
    else if (::read(input.descriptor, image.data(), image.size()) != ssize_t(image.size()))
        reading.problem = kCannotBeRead;
    else
        reading.image = image;
    ::close(input.descriptor);
    return reading;
}
