// The configuration files the instrument keeps in its file store, and the checks it makes before
// it stores a new one (a file it cannot use is refused with InvalidFileBlock, 0x8A):
//
//   65500 OEM configuration: u8 major and u8 minor version, two spare bytes, u32 serial number,
//         u16 factory address, u16 factory communication settings word (as register 49201).
//         Versions 0.0-0.2 and 1.x are taken; the instrument uses the serial number and the factory
//         settings from its next restart (the factory restore) on. A version 0 file may end after
//         the serial number (8 bytes): the instrument then keeps the factory settings it was built
//         with.
//   65003 SDI-12 parameter set: u16 format version 1, u16 address character, u16 count n, then n
//         pairs of u16 connection and u16 parameter number, each 1..32.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "tools/probe-sim/LineSettings.h"

namespace probesim
{

inline constexpr uint16_t kFirmwareFile = 65000;
inline constexpr uint16_t kSdi12File = 65003;
inline constexpr uint16_t kOemConfigFile = 65500;

inline constexpr size_t kOemConfigBytes = 12;
inline constexpr size_t kOemConfigSerialOnlyBytes = 8;

struct OemConfig
{
    uint8_t major = 1;
    uint8_t minor = 0;
    uint32_t serialNumber = 0;
    uint16_t factoryAddress = 1;
    LineSettings factoryLine;
    // False for a version 0 file of 8 bytes, which has neither factory address nor settings.
    bool hasFactorySettings = true;

    friend bool operator==(const OemConfig&, const OemConfig&) = default;
};

// Throws std::out_of_range for line settings the word cannot carry (baud ids above 8).
std::vector<uint8_t> EncodeOemConfig(const OemConfig& config);
// nullopt with the reason for content the instrument refuses; bytes after the twelfth are kept by
// the file but not read.
std::optional<OemConfig> DecodeOemConfig(const std::vector<uint8_t>& data, uint32_t maxBaudId,
                                         std::string& problem);

struct Sdi12Set
{
    char16_t address = u'0';
    std::vector<std::pair<uint16_t, uint16_t>> selections; // connection, parameter number

    friend bool operator==(const Sdi12Set&, const Sdi12Set&) = default;
};

std::vector<uint8_t> EncodeSdi12Set(const Sdi12Set& set);
std::optional<Sdi12Set> DecodeSdi12Set(const std::vector<uint8_t>& data, std::string& problem);

} // namespace probesim
