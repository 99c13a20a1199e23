#include "tools/probe-sim/InstrumentFiles.h"

#include <stdexcept>

#include "tools/probe-sim/WireBytes.h"

namespace probesim
{

namespace
{

constexpr uint16_t kSdi12FormatVersion = 1;
constexpr size_t kSdi12HeaderBytes = 6;
constexpr uint16_t kMaxSelection = 32;
constexpr uint16_t kMaxFactoryAddress = 247;

// The factory word of the file has the settings register's layout but a baud code of two bits
// (9600 to 57600 baud): bit 3 belongs to no field.
constexpr uint16_t kOemWordSpareBit = 0x0008;
constexpr uint32_t kOemHighestBaudId = 8;

bool VersionTaken(uint8_t major, uint8_t minor)
{
    return (major == 0 && minor <= 2) || major == 1;
}

} // namespace

std::vector<uint8_t> EncodeOemConfig(const OemConfig& config)
{
    std::vector<uint8_t> data{config.major, config.minor, 0, 0};
    AppendU32(data, config.serialNumber);
    if (!config.hasFactorySettings)
        return data;
    AppendU16(data, config.factoryAddress);
    if (config.factoryLine.baudId > kOemHighestBaudId)
        throw std::out_of_range("the OEM configuration's factory word carries no baud id above 8");
    AppendU16(data, EncodeLineSettings(config.factoryLine));
    return data;
}

std::optional<OemConfig> DecodeOemConfig(const std::vector<uint8_t>& data, uint32_t maxBaudId,
                                         std::string& problem)
{
    const bool serialOnly = data.size() >= kOemConfigSerialOnlyBytes && data[0] == 0;
    if (data.size() < kOemConfigBytes && !serialOnly)
    {
        problem = "OEM configuration of " + std::to_string(data.size()) + " bytes is too short";
        return std::nullopt;
    }
    OemConfig config;
    config.major = data[0];
    config.minor = data[1];
    if (!VersionTaken(config.major, config.minor))
    {
        problem = "OEM configuration version " + std::to_string(config.major) + "." +
                  std::to_string(config.minor) + " is not taken";
        return std::nullopt;
    }
    config.serialNumber = ReadU32(data, 4);
    if (data.size() < kOemConfigBytes)
    {
        config.hasFactorySettings = false;
        return config;
    }
    config.factoryAddress = ReadU16(data, 8);
    if (config.factoryAddress == 0 || config.factoryAddress > kMaxFactoryAddress)
    {
        problem = "factory address " + std::to_string(config.factoryAddress) + " is outside 1..247";
        return std::nullopt;
    }
    const std::optional<LineSettings> line =
        DecodeLineSettings(ReadU16(data, 10) & ~kOemWordSpareBit, maxBaudId, problem);
    if (!line)
        return std::nullopt;
    config.factoryLine = *line;
    return config;
}

std::vector<uint8_t> EncodeSdi12Set(const Sdi12Set& set)
{
    std::vector<uint8_t> data;
    AppendU16(data, kSdi12FormatVersion);
    AppendU16(data, static_cast<uint16_t>(set.address));
    AppendU16(data, static_cast<uint16_t>(set.selections.size()));
    for (const auto& [connection, parameter] : set.selections)
    {
        AppendU16(data, connection);
        AppendU16(data, parameter);
    }
    return data;
}

std::optional<Sdi12Set> DecodeSdi12Set(const std::vector<uint8_t>& data, std::string& problem)
{
    if (data.size() < kSdi12HeaderBytes)
    {
        problem = "SDI-12 parameter set of " + std::to_string(data.size()) + " bytes is too short";
        return std::nullopt;
    }
    if (ReadU16(data, 0) != kSdi12FormatVersion)
    {
        problem = "SDI-12 parameter set format " + std::to_string(ReadU16(data, 0)) + " is not taken";
        return std::nullopt;
    }
    Sdi12Set set;
    set.address = static_cast<char16_t>(ReadU16(data, 2));
    const size_t count = ReadU16(data, 4);
    if (data.size() != kSdi12HeaderBytes + 4 * count)
    {
        problem = "SDI-12 parameter set announces " + std::to_string(count) + " selections in " +
                  std::to_string(data.size()) + " bytes";
        return std::nullopt;
    }
    for (size_t i = 0; i < count; ++i)
    {
        const uint16_t connection = ReadU16(data, kSdi12HeaderBytes + 4 * i);
        const uint16_t parameter = ReadU16(data, kSdi12HeaderBytes + 4 * i + 2);
        if (connection < 1 || connection > kMaxSelection || parameter < 1 || parameter > kMaxSelection)
        {
            problem = "SDI-12 selection " + std::to_string(i + 1) + " is outside 1..32";
            return std::nullopt;
        }
        set.selections.emplace_back(connection, parameter);
    }
    return set;
}

} // namespace probesim
