#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>

// Settings of one bus, 32 bytes in the file.
struct Conf
{
    uint16_t CAN_pre = 0; // bit-rate prescaler of the 54 MHz CAN clock
    uint32_t CAN_BS1 = 0; // time segment 1, as it stands in the bit-timing register
    uint32_t CAN_BS2 = 0;
    uint8_t IDType = 0;
    uint8_t canMode = 0;  // 0 normal, 1 silent
    uint8_t canEn = 0;    // 0 off, 1 on
    uint8_t maskMode = 0; // 0 identifier and mask, 1 identifier list
    uint32_t FilterIdHigh = 0;
    uint32_t FilterIdLow = 0;
    uint32_t FilterMaskIdHigh = 0;
    uint32_t FilterMaskIdLow = 0;
};

// The recording trigger, 32 bytes in the file.
struct SignalSTM32
{
    uint32_t ID = 0;
    uint8_t DLC = 0;
    uint8_t isExt = 0;
    uint8_t start_bit = 0;
    uint8_t msb = 0;
    uint8_t lsb = 0;
    uint8_t size = 0;
    uint8_t is_signed = 0;
    uint8_t is_little_endian = 0;
    int64_t rawValue = 0;
    uint8_t mode = 0;      // 1 identifier, 2 always, 3 signal
    uint8_t operation = 0; // 0 >, 1 <, 2 ==, 3 !=, 4 >=, 5 <=; 10 for always
};

// The whole config.qvc record that the logger's firmware reads.
struct Config
{
    Conf conf[2];
    SignalSTM32 trigStm32;
};

constexpr size_t kConfigFileSize = 96;
using ConfigImage = std::array<uint8_t, kConfigFileSize>;

// Where each field stands in the file.
namespace ConfigLayout {

constexpr size_t kBlockSize = 32;
constexpr size_t kTriggerStart = 2 * kBlockSize;

// Offsets within one bus block, which starts at 0 for bus 1 and at kBlockSize for bus 2.
enum BusOffset : size_t
{
    kPre = 0,
    kBs1 = 4,
    kBs2 = 8,
    kIdType = 12,
    kCanMode = 13,
    kCanEn = 14,
    kMaskMode = 15,
    kFilterIdHigh = 16,
    kFilterIdLow = 20,
    kFilterMaskIdHigh = 24,
    kFilterMaskIdLow = 28,
};

// Offsets within the trigger block, which starts at kTriggerStart.
enum TriggerOffset : size_t
{
    kId = 0,
    kDlc = 4,
    kIsExt = 5,
    kStartBit = 6,
    kMsb = 7,
    kLsb = 8,
    kSize = 9,
    kIsSigned = 10,
    kIsLittleEndian = 11,
    kRawValue = 16,
    kMode = 24,
    kOperation = 25,
};

// The bytes the firmware does not read, [from, to) within their block; always zero.
constexpr std::pair<size_t, size_t> kBusReserved{2, 4};
constexpr std::pair<size_t, size_t> kTriggerReserved[2]{{12, 16}, {26, 32}};

} // namespace ConfigLayout

// The 96 bytes of the file: little-endian on any host, reserved bytes zero.
ConfigImage serializeConfig(const Config &config);
Config deserializeConfig(const ConfigImage &image);

// Writes the record to the file at `path` (8-bit, in the file system's encoding), creating it or
// replacing an earlier one. False when the file cannot be created, written in full or stored;
// an earlier file then keeps its content (unless it is no regular file, such as a device).
bool writeConfigFile(const std::string &path, const Config &config);

// A configuration file read back: its bytes, or why it cannot be used (the input checks' words,
// or a size other than kConfigFileSize).
struct ConfigFileReading
{
    std::optional<ConfigImage> image;
    std::string problem;
};
ConfigFileReading readConfigFile(const std::string &path);
