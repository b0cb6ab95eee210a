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

// Each field of a bus block with its offset, one list for writing and reading alike. `Bus` is
// Conf or const Conf.
template <typename Bus, typename Visit> void eachBusField(Bus &bus, Visit visit)
{
    visit(kPre, bus.CAN_pre);
    visit(kBs1, bus.CAN_BS1);
    visit(kBs2, bus.CAN_BS2);
    visit(kIdType, bus.IDType);
    visit(kCanMode, bus.canMode);
    visit(kCanEn, bus.canEn);
    visit(kMaskMode, bus.maskMode);
    visit(kFilterIdHigh, bus.FilterIdHigh);
    visit(kFilterIdLow, bus.FilterIdLow);
    visit(kFilterMaskIdHigh, bus.FilterMaskIdHigh);
    visit(kFilterMaskIdLow, bus.FilterMaskIdLow);
}

// Each field of the trigger block with its offset.
template <typename Trigger, typename Visit> void eachTriggerField(Trigger &trigger, Visit visit)
{
    visit(kId, trigger.ID);
    visit(kDlc, trigger.DLC);
    visit(kIsExt, trigger.isExt);
    visit(kStartBit, trigger.start_bit);
    visit(kMsb, trigger.msb);
    visit(kLsb, trigger.lsb);
    visit(kSize, trigger.size);
    visit(kIsSigned, trigger.is_signed);
    visit(kIsLittleEndian, trigger.is_little_endian);
    visit(kRawValue, trigger.rawValue);
    visit(kMode, trigger.mode);
    visit(kOperation, trigger.operation);
}

// Writes a field at its offset from `base`, in as many bytes as its type has.
auto writerAt(ConfigImage &image, size_t base)
{
    return [&image, base](size_t offset, auto value) { put(image, base + offset, value); };
}

// Reads a field from its offset from `base`, in as many bytes as its type has.
auto readerAt(const ConfigImage &image, size_t base)
{
    return [&image, base](size_t offset, auto &field) {
        field = get<std::remove_reference_t<decltype(field)>>(image, base + offset);
    };
}

} // namespace

ConfigImage serializeConfig(const Config &config)
{
    ConfigImage image{}; // the reserved bytes stay zero
    eachBusField(config.conf[0], writerAt(image, 0));
    eachBusField(config.conf[1], writerAt(image, kBlockSize));
    eachTriggerField(config.trigStm32, writerAt(image, kTriggerStart));
    return image;
}

Config deserializeConfig(const ConfigImage &image)
{
    Config config;
    eachBusField(config.conf[0], readerAt(image, 0));
    eachBusField(config.conf[1], readerAt(image, kBlockSize));
    eachTriggerField(config.trigStm32, readerAt(image, kTriggerStart));
    return config;
}

bool writeConfigFile(const std::string &path, const Config &config)
{
    const ConfigImage image = serializeConfig(config);
    return replaceFileWith(path, image.data(), image.size());
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
