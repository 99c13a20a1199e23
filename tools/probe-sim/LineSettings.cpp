#include "tools/probe-sim/LineSettings.h"

#include <array>
#include <stdexcept>

namespace probesim
{

namespace
{

constexpr std::array<uint32_t, 13> kBaudRates = {300,   600,   1200,   2400,   4800,   9600,  19200,
                                                 38400, 57600, 115200, 128000, 230400, 256000};
constexpr uint32_t kParityNone = 2;

} // namespace

uint16_t EncodeLineSettings(const LineSettings& settings)
{
    if (settings.baudId < kMinWordBaudId || settings.baudId > kMaxWordBaudId || settings.dataBitsId > 1 ||
        settings.parityId > kParityNone || settings.stopBitsId > 1)
        throw std::out_of_range("line settings outside the communication settings word");
    const uint32_t baud = settings.baudId - kMinWordBaudId;
    const uint32_t word = (settings.mode == FramingMode::Ascii ? 1u : 0u) | (baud & 3u) << 1 |
                          (baud >> 2) << 3 | settings.dataBitsId << 4 | settings.parityId << 5 |
                          settings.stopBitsId << 7;
    return static_cast<uint16_t>(word);
}

std::optional<LineSettings> DecodeLineSettings(uint16_t word, uint32_t maxBaudId, std::string& problem)
{
    if (word & 0xFF00)
    {
        problem = "bits 8-15 of the settings word are set";
        return std::nullopt;
    }
    LineSettings settings;
    settings.mode = (word & 1) ? FramingMode::Ascii : FramingMode::Rtu;
    settings.baudId = ((word >> 1) & 3u) + (((word >> 3) & 1u) << 2) + kMinWordBaudId;
    settings.dataBitsId = (word >> 4) & 1u;
    settings.parityId = (word >> 5) & 3u;
    settings.stopBitsId = (word >> 7) & 1u;
    if (settings.parityId > kParityNone)
    {
        problem = "parity id 3";
        return std::nullopt;
    }
    if (settings.mode == FramingMode::Rtu && settings.dataBitsId == 0)
    {
        problem = "RTU with 7 data bits";
        return std::nullopt;
    }
    if (settings.baudId > maxBaudId)
    {
        problem =
            "baud id " + std::to_string(settings.baudId) + " above the maximum " + std::to_string(maxBaudId);
        return std::nullopt;
    }
    return settings;
}

uint32_t BaudRate(uint32_t baudId)
{
    return baudId < kBaudRates.size() ? kBaudRates[baudId] : 0;
}

std::string Describe(const LineSettings& settings)
{
    static constexpr char kParity[] = {'E', 'O', 'N'};
    std::string text = std::to_string(BaudRate(settings.baudId)) + ' ';
    text += settings.dataBitsId == 1 ? '8' : '7';
    text += settings.parityId <= kParityNone ? kParity[settings.parityId] : '?';
    text += settings.stopBitsId == 1 ? '2' : '1';
    text += settings.mode == FramingMode::Ascii ? " ASCII" : " RTU";
    return text;
}

} // namespace probesim
