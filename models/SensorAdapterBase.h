// What every sensor adapter of the multi-sensor probes shares. An adapter binds one typed sensor
// interface to one sensor connection of one device: each interface call becomes one call of the
// device's sensor access for that connection, with a fixed parameter number (the 1-based position of
// the quantity in the sensor's parameter list) or a fixed register offset from the sensor's register
// base. Values pass through unconverted and the device's result codes come back unchanged.
//
// An adapter holds a plain pointer to its device and takes no reference: the device owns its
// adapters and deletes them before it goes. The adapter keeps no state of its own and has no lock;
// each device call takes the device lock for its own duration, so a sequence of calls is not atomic
// unless the adapter holds the device lock across it (the level adapter does).
//
// Every class carries a four-character signature, compared at the entry of its operations; a
// failed check answers MODBUSCOMM_E_INVALID_DEVICE_THIS and sends nothing.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <utility>

#include "device/DeviceComm.h"
#include "foundation/ResultCodes.h"
#include "models/SensorInterfaces.h"
#include "platform/Types.h"

namespace NVSystem
{

// Codes the adapters answer that no other part of the system names, with their texts in the error
// table: "invalid parameter.", "invalid number of coefficients.", "invalid device response."; and the
// platform's unexpected failure.
inline constexpr HRESULT ADAPTER_E_INVALID_PARAMETER = ResultCode(0x81010148u);
inline constexpr HRESULT ADAPTER_E_COEFFICIENT_COUNT = ResultCode(0x81010177u);
inline constexpr HRESULT ADAPTER_E_INVALID_DEVICE_RESPONSE = ResultCode(0x8101013Au);
inline constexpr HRESULT ADAPTER_E_UNEXPECTED = ResultCode(0x8000FFFFu);

// Four characters as one 32-bit value, the first in the most significant byte.
constexpr uint32_t SensorSignature(const char (&text)[5])
{
    return uint32_t{static_cast<uint8_t>(text[0])} << 24 | uint32_t{static_cast<uint8_t>(text[1])} << 16 |
           uint32_t{static_cast<uint8_t>(text[2])} << 8 | uint32_t{static_cast<uint8_t>(text[3])};
}

// Tests follow the order in which a device lets its adapters go: the function is called with the
// connection of each adapter as it is destroyed (null: nobody is told). Returns the one it replaces.
using SensorAdapterGoneObserver = void (*)(USHORT connection);
SensorAdapterGoneObserver SetSensorAdapterGoneObserverForTests(SensorAdapterGoneObserver observer);
void NoteSensorAdapterGone(USHORT connection);

template <typename Interface>
class CSensorAdapter : public Interface
{
public:
    CSensorAdapter(const CSensorAdapter&) = delete;
    CSensorAdapter& operator=(const CSensorAdapter&) = delete;
    // An adapter outlived by a stray pointer answers the signature check, never a freed device.
    ~CSensorAdapter() override
    {
        NoteSensorAdapterGone(m_nConnection);
        m_pDevice = nullptr;
        m_nConnection = 0;
        m_nSignature = 0;
    }

    CDeviceComm* GetDevice() const { return m_pDevice; }

protected:
    CSensorAdapter(CDeviceComm* device, USHORT connection, uint32_t signature)
        : m_pDevice(device), m_nConnection(connection), m_nSignature(signature)
    {
    }

    // The object carries the signature and has a device to call.
    bool IsBound(uint32_t signature) const { return m_nSignature == signature && m_pDevice != nullptr; }
    // And the device object is a live one.
    bool IsBoundToLiveDevice(uint32_t signature) const { return IsBound(signature) && m_pDevice->IsTagged(); }

    // One device call for the bound connection each.
    HRESULT ReadParameter(USHORT parameter, float& value, USHORT& quality, USHORT& unitId,
                          BOOL cachedOnly) const
    {
        return m_pDevice->ReadParameterValue(m_nConnection, parameter, value, quality, unitId, cachedOnly);
    }
    HRESULT GetUnit(USHORT parameter, USHORT& unitId) const
    {
        return m_pDevice->GetParameterUnitId(m_nConnection, parameter, unitId);
    }
    HRESULT SetUnit(USHORT parameter, USHORT unitId) const
    {
        return m_pDevice->SetParameterUnitId(m_nConnection, parameter, unitId);
    }
    HRESULT GetSentinel(USHORT parameter, float& sentinel) const
    {
        return m_pDevice->GetParameterSentinel(m_nConnection, parameter, sentinel);
    }
    HRESULT SetSentinel(USHORT parameter, float sentinel) const
    {
        return m_pDevice->SetParameterSentinel(m_nConnection, parameter, sentinel);
    }
    HRESULT ReadFloat(USHORT offset, float& value) const
    {
        return m_pDevice->ReadSensorFloat(m_nConnection, offset, value);
    }
    HRESULT WriteFloat(USHORT offset, float value) const
    {
        return m_pDevice->WriteSensorFloat(m_nConnection, offset, value);
    }
    HRESULT ReadWord(USHORT offset, USHORT& value) const
    {
        return m_pDevice->ReadSensorUShort(m_nConnection, offset, value);
    }
    HRESULT WriteWord(USHORT offset, USHORT value) const
    {
        return m_pDevice->WriteSensorUShort(m_nConnection, offset, value);
    }
    // 0 when the device cannot give it: a failure code never passes for a serial number.
    HRESULT ReadSerialNumber(ULONG& serialNumber) const
    {
        serialNumber = 0;
        ULONG serial = 0;
        const HRESULT hr = m_pDevice->GetSensorSerialNumber(m_nConnection, serial);
        if (Succeeded(hr))
            serialNumber = serial;
        return hr;
    }

    // Register values in the order given, each its own transaction; the first failure ends the
    // sequence and what was read or written before it stays.
    HRESULT ReadFloats(std::initializer_list<std::pair<USHORT, float*>> values) const
    {
        for (const auto& [offset, value] : values)
        {
            if (const HRESULT hr = ReadFloat(offset, *value); Failed(hr))
                return hr;
        }
        return S_OK;
    }
    HRESULT WriteFloats(std::initializer_list<std::pair<USHORT, float>> values) const
    {
        for (const auto& [offset, value] : values)
        {
            if (const HRESULT hr = WriteFloat(offset, value); Failed(hr))
                return hr;
        }
        return S_OK;
    }

    CDeviceComm* m_pDevice = nullptr;
    USHORT m_nConnection = 0;
    uint32_t m_nSignature = 0;
};

} // namespace NVSystem
