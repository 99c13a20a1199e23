// The serial number a user types into the serial-number popup: decimal digits only (blanks around
// them are dropped), 0 to 4294967295.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

inline constexpr uint32_t MAX_SERIAL_NUMBER = 4294967295u;

std::optional<uint32_t> ParseSerialNumberText(std::u16string_view text);
