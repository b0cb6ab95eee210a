#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <string>

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

// The 96 bytes of the file: little-endian on any host, reserved bytes zero.
ConfigImage serializeConfig(const Config &config);
Config deserializeConfig(const ConfigImage &image);

// Writes the 96 bytes to an open stream and closes it, whatever happens. True only when every
// byte was written and the stream closed without error.
bool writeAndCloseConfig(std::FILE *file, const Config &config);
// Creates or truncates the file at `path` (8-bit, in the file system's encoding) and writes the
// record. False when the file cannot be opened, written in full or closed.
bool writeConfigFile(const std::string &path, const Config &config);
