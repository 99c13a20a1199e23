// A colour as the system stores and exchanges it: 0x00BBGGRR, red in the low byte (the skin file,
// the calibration pages' stability colours and the windows' setters all use this form).
#pragma once

#include <cstdint>

using COLORREF = uint32_t;

constexpr COLORREF RGB(uint8_t red, uint8_t green, uint8_t blue)
{
    return static_cast<COLORREF>(red) | static_cast<COLORREF>(green) << 8 | static_cast<COLORREF>(blue) << 16;
}

constexpr uint8_t GetRValue(COLORREF color)
{
    return static_cast<uint8_t>(color & 0xFF);
}

constexpr uint8_t GetGValue(COLORREF color)
{
    return static_cast<uint8_t>(color >> 8 & 0xFF);
}

constexpr uint8_t GetBValue(COLORREF color)
{
    return static_cast<uint8_t>(color >> 16 & 0xFF);
}
