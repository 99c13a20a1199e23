// The instrument's serial line settings and the communication settings word (register 49201) that
// carries them: bit 0 framing (0 RTU, 1 ASCII), bits 1-2 baud id minus 5 with bit 3 as its third
// bit, bit 4 data-bits id, bits 5-6 parity id, bit 7 stop-bits id. The ids are those of the serial
// transport: baud id 5..12 = 9600..256000 baud, data bits id 1 = 8 bits (0 = 7), parity id
// 0 even / 1 odd / 2 none, stop-bits id 1 = two stop bits (0 = one).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "tools/probe-sim/Adu.h"

namespace probesim
{

struct LineSettings
{
    FramingMode mode = FramingMode::Rtu;
    uint32_t baudId = 6; // 19200 baud
    uint32_t dataBitsId = 1;
    uint32_t parityId = 0;
    uint32_t stopBitsId = 0;

    friend bool operator==(const LineSettings&, const LineSettings&) = default;
};

inline constexpr uint32_t kMinWordBaudId = 5;
inline constexpr uint32_t kMaxWordBaudId = 12;

// Throws std::out_of_range for settings the word cannot carry (a baud id outside 5..12, another id
// outside its field).
uint16_t EncodeLineSettings(const LineSettings& settings);

// The settings of a word the instrument accepts; nullopt with the reason for a word it refuses: bits
// 8-15 set, parity id 3, RTU with 7 data bits, or a baud id above the instrument's maximum.
std::optional<LineSettings> DecodeLineSettings(uint16_t word, uint32_t maxBaudId, std::string& problem);

// 0 for an id without a rate.
uint32_t BaudRate(uint32_t baudId);

// "19200 8E1 RTU", for notes and messages.
std::string Describe(const LineSettings& settings);

} // namespace probesim
