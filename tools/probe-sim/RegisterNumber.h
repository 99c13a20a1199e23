// Five-digit register numbers: 3xxxx input registers (function 4), 4xxxx holding registers
// (functions 3 and 16). On the wire the address is the number within its class minus 1.
#pragma once

#include <cstdint>
#include <optional>

namespace probesim
{

enum class RegisterClass : uint16_t
{
    Input = 3,
    Holding = 4,
};

inline constexpr uint16_t kMaxWireAddress = 9998; // number 9999 within the class

constexpr bool IsRegisterNumber(uint32_t number)
{
    return (number >= 30001 && number <= 39999) || (number >= 40001 && number <= 49999);
}

constexpr RegisterClass ClassOf(uint16_t number)
{
    return number >= 40001 ? RegisterClass::Holding : RegisterClass::Input;
}

// Whether the register ranges [aFirst, aFirst + aCount) and [bFirst, bFirst + bCount) meet.
constexpr bool RangesOverlap(uint32_t aFirst, uint32_t aCount, uint32_t bFirst, uint32_t bCount)
{
    return aFirst < bFirst + bCount && bFirst < aFirst + aCount;
}

// The register number of a wire address in a class; nullopt beyond the class.
constexpr std::optional<uint16_t> RegisterNumber(RegisterClass cls, uint32_t wireAddress)
{
    if (wireAddress > kMaxWireAddress)
        return std::nullopt;
    return static_cast<uint16_t>(static_cast<uint32_t>(cls) * 10000 + wireAddress + 1);
}

} // namespace probesim
