// The broadcast reset of the instruments' serial settings: when the PC no longer knows at which
// setting the instruments on a line listen, the default setting and address go out at every
// setting they may be using. Nothing answers a broadcast, so nothing is read.
#include "comm/ModbusComm.h"
#include "comm/ModbusModes.h"
#include "comm/SerialComm.h"
#include "foundation/ResultCodes.h"
#include "foundation/ScopedLock.h"
#include "platform/Clock.h"

namespace
{

constexpr USHORT kBroadcastAddress = 0;
constexpr USHORT kDeviceAddressRegister = 49200;
constexpr USHORT kCommSettingsRegister = 49201;
// RTU, 19200 baud, 8 data bits, even parity, 1 stop bit in the communication settings word.
constexpr USHORT kDefaultCommSettings = 18;
constexpr USHORT kDefaultDeviceAddress = 1;
constexpr ULONG kDefaultBaudId = 6;
constexpr ULONG kDefaultDataBitsId = 1;
constexpr ULONG kDefaultParityId = 0;
constexpr ULONG kDefaultStopBitsId = 0;

// Baud ids 5..8 are 9600..57600 baud; data-bits ids 0, 1 are 7 and 8 bits; parity ids 0..2 even,
// odd, none; stop-bits ids 0, 1 one and two stop bits.
constexpr ULONG kFirstBaudId = 5;
constexpr ULONG kLastBaudId = 8;
constexpr ULONG kSevenDataBitsId = 0;
constexpr ULONG kDataBitsIds = 2;
constexpr ULONG kParityIds = 3;
constexpr ULONG kStopBitsIds = 2;

// A lone line feed ends whatever an ASCII receiver holds, so the broadcast that follows starts
// clean; it goes out with a 1 ms write time-out.
constexpr uint8_t kLineFeed = 0x0A;
constexpr ULONG kLineFeedWriteTimeoutMs = 1;

constexpr ULONG kBeforeBroadcastMs = 100;
constexpr ULONG kAfterBroadcastMs = 200;
constexpr ULONG kAfterAddressMs = 300;

} // namespace

void CModbusComm::SetResetPauseForTests(std::function<void(ULONG ms)> pause)
{
    CScopedLock line(m_LineLock);
    m_ResetPause = std::move(pause);
}

HRESULT CModbusComm::ResetDeviceCommunications()
{
    return Guarded(
        [&]
        {
            CScopedLock line(m_LineLock);
            NVTools::CSerialComm* serial = nullptr;
            if (m_pTransport != nullptr && m_pTransport->GetConnectionType() == NVTools::IOCONNECTION_SERIAL)
                serial = m_pTransport->AsSerial();
            if (serial == nullptr || !serial->IsValid() || m_nTransmissionDelay != 0)
                return MODBUSCOMM_E_INVALID_CONNECTION_TYPE;

            auto pause = [&](ULONG ms)
            {
                if (m_ResetPause)
                    m_ResetPause(ms);
                else
                    platform::SleepMs(ms);
            };
            // The handle may lose its implementation while the line is in use by nobody else.
            auto portConfig = [&](ULONG baudId, ULONG dataBitsId, ULONG parityId, ULONG stopBitsId)
            {
                NVTools::CSerialCommImpl* impl = serial->IsValid() ? serial->GetImpl() : nullptr;
                if (impl == nullptr)
                    return SERIALCOMM_E_OBJECT_INVALID;
                return impl->SetPortConfig(baudId, dataBitsId, parityId, stopBitsId);
            };

            WakeUpNetwork();
            CByteBuffer lineFeed;
            if (!lineFeed.Append(1, &kLineFeed))
                return E_OUTOFMEMORY;
            for (ULONG baudId = kFirstBaudId; baudId <= kLastBaudId; ++baudId)
                for (ULONG dataBitsId = 0; dataBitsId < kDataBitsIds; ++dataBitsId)
                    for (ULONG parityId = 0; parityId < kParityIds; ++parityId)
                        for (ULONG stopBitsId = 0; stopBitsId < kStopBitsIds; ++stopBitsId)
                            for (ULONG mode : {MODBUS_MODE_RTU, MODBUS_MODE_ASCII})
                            {
                                // RTU has no 7-bit characters.
                                if (mode == MODBUS_MODE_RTU && dataBitsId == kSevenDataBitsId)
                                    continue;
                                if (const HRESULT hr = SetTransmissionMode(mode); Failed(hr))
                                    return hr;
                                if (const HRESULT hr = portConfig(baudId, dataBitsId, parityId, stopBitsId);
                                    Failed(hr))
                                    return hr;
                                m_bJustWoken = false;
                                m_pTransport->Write(lineFeed, kLineFeedWriteTimeoutMs);
                                pause(kBeforeBroadcastMs);
                                if (const HRESULT hr = WriteUShort(kBroadcastAddress, kCommSettingsRegister,
                                                                   kDefaultCommSettings, 0, 0);
                                    Failed(hr))
                                    return hr;
                                pause(kAfterBroadcastMs);
                            }

            // Every instrument that heard its setting now listens at the default one.
            SetTransmissionMode(MODBUS_MODE_RTU);
            if (const HRESULT hr =
                    portConfig(kDefaultBaudId, kDefaultDataBitsId, kDefaultParityId, kDefaultStopBitsId);
                Failed(hr))
                return hr;
            if (const HRESULT hr =
                    WriteUShort(kBroadcastAddress, kDeviceAddressRegister, kDefaultDeviceAddress, 0, 0);
                Failed(hr))
                return hr;
            pause(kAfterAddressMs);
            return S_OK;
        });
}
