// The PC-side serial settings of the probe connection, with the setting ids of the serial transport
// that the application uses: baud 5 = 9600, 6 = 19200, 7 = 38400, 8 = 57600; data bits 0 = 7,
// 1 = 8; parity 0 even, 1 odd, 2 none; stop bits 0 = one, 1 = two; mode 0 Modbus RTU, 1 Modbus
// ASCII; the probe's Modbus address 1..247 and the COM port number.
#pragma once

#include "platform/Types.h"

inline constexpr ULONG COMM_BAUD_ID_9600 = 5;
inline constexpr ULONG COMM_BAUD_ID_19200 = 6;
inline constexpr ULONG COMM_BAUD_ID_57600 = 8;
inline constexpr ULONG COMM_DATA_BITS_ID_8 = 1;
inline constexpr ULONG COMM_PARITY_ID_EVEN = 0;
inline constexpr ULONG COMM_PARITY_ID_NONE = 2;
inline constexpr ULONG COMM_STOP_BITS_ID_1 = 0;
inline constexpr ULONG COMM_STOP_BITS_ID_2 = 1;
inline constexpr ULONG COMM_MODE_RTU = 0;
inline constexpr ULONG COMM_MODE_ASCII = 1;
inline constexpr USHORT COMM_MIN_ADDRESS = 1;
inline constexpr USHORT COMM_MAX_ADDRESS = 247;

struct sCommSettings
{
    ULONG BaudId = COMM_BAUD_ID_19200;
    ULONG DataBitsId = COMM_DATA_BITS_ID_8;
    ULONG ParityId = COMM_PARITY_ID_EVEN;
    ULONG StopBitsId = COMM_STOP_BITS_ID_1;
    ULONG Mode = COMM_MODE_RTU;
    USHORT Address = COMM_MIN_ADDRESS;
    USHORT Port = 1;

    friend bool operator==(const sCommSettings&, const sCommSettings&) = default;
};

constexpr bool IsProbeAddress(int64_t address)
{
    return address >= COMM_MIN_ADDRESS && address <= COMM_MAX_ADDRESS;
}

// Every id within the ranges above and the address 1..247; the port is not looked at.
constexpr bool AreCommSettingsValid(const sCommSettings& settings)
{
    return settings.BaudId >= COMM_BAUD_ID_9600 && settings.BaudId <= COMM_BAUD_ID_57600 &&
           settings.DataBitsId <= COMM_DATA_BITS_ID_8 && settings.ParityId <= COMM_PARITY_ID_NONE &&
           settings.StopBitsId <= COMM_STOP_BITS_ID_2 && settings.Mode <= COMM_MODE_ASCII &&
           IsProbeAddress(settings.Address);
}
