// The identity record that every instrument reports with Report Slave ID (function 17), and the
// decoding of its 23-byte block in the maker's format. The record is copied whole between the
// device factory, the device object and the application.
#pragma once

#include <cstdint>

#include "foundation/ByteBuffer.h"
#include "platform/Types.h"

// The run indicator of an instrument whose application firmware runs; any other value means that
// its boot code runs.
inline constexpr BYTE SLAVEID_RUN_APPLICATION = 255;
// The reply data after slave address, function code and byte count.
inline constexpr uint32_t SLAVEID_REPLY_DATA_LENGTH = 23;
// The maximum baud-rate id of a record into which nothing was read (19200 baud).
inline constexpr ULONG SLAVEID_DEFAULT_MAX_BAUD_ID = 6;

struct SlaveIdInfo
{
    BYTE RunIndicator = 0;
    USHORT FirmwareVersion = 0; // hundredths
    USHORT Reserved = 0;        // stored, not interpreted
    USHORT HardwareVersion = 0;
    USHORT RegisterMapVersion = 0;
    USHORT MaxPacketSize = 0; // bytes
    USHORT DeviceTypeId = 0;
    ULONG MaxBaudRateId = SLAVEID_DEFAULT_MAX_BAUD_ID; // baud capability code + 5
    ULONG SerialNumber = 0;

    void Clear() { *this = SlaveIdInfo(); }

    friend bool operator==(const SlaveIdInfo&, const SlaveIdInfo&) = default;
};

// Decodes the reply data of a Report Slave ID into the record, field by field in reply order. A
// block that is not exactly 23 bytes, or whose marker byte, format or marker word is not the
// maker's, is MODBUSCOMM_E_SLAVEID_FORMAT; the record then keeps what was stored before the
// deviation (the caller clears it first).
HRESULT DecodeSlaveIdInfo(const CByteBuffer& data, SlaveIdInfo& record);
