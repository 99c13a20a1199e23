// Two probe settings that the sensor setup reads and writes as single holding registers rather
// than through the device's sensor operations:
//
//   47001  automatic salinity correction from the conductivity sensor: 1 on, 0 off (only 1 reads
//          as on). Device types 18 and 39 only, through the device object's network at its
//          address: type 18 with 500 ms and 2 tries, type 39 with the device's register time-outs
//          and retry count.
//   40251  negative dissolved-oxygen values: 0 always shown, 1 shown only during calibration,
//          2 never shown. Through the connection's network at the connection's address, 500 ms and
//          2 tries.
//
// User-interface thread.
#pragma once

#include "connection/ProbeConnection.h"
#include "platform/Types.h"

inline constexpr USHORT AUTO_SALINITY_REGISTER = 47001;
inline constexpr USHORT NEGATIVE_DO_REGISTER = 40251;

inline constexpr USHORT NEGATIVE_DO_ALWAYS = 0;
inline constexpr USHORT NEGATIVE_DO_DURING_CAL = 1;
inline constexpr USHORT NEGATIVE_DO_NEVER = 2;

// on is FALSE unless the register reads 1. Other device types: S_OK and FALSE, nothing read.
// E_FAIL while disconnected, MODBUSCOMM_E_NO_CONNECTION for a device without a network.
HRESULT ReadAutoSalinity(CProbeConnection& connection, BOOL& on);
// Other device types: S_OK, nothing written. Failures as for the read.
HRESULT WriteAutoSalinity(CProbeConnection& connection, BOOL on);

// MODBUSCOMM_E_NO_CONNECTION while disconnected; value unchanged on failure.
HRESULT ReadNegativeValueOption(CProbeConnection& connection, USHORT& value);
HRESULT WriteNegativeValueOption(CProbeConnection& connection, USHORT value);
