// The instrument's 4-20 mA analog output: whether it is on, the sensor and parameter it follows,
// and its full (20 mA) and zero (4 mA) scale.
#include <limits>

#include "device/DeviceComm.h"
#include "foundation/BufferReader.h"

namespace NVSystem
{

namespace
{

// Register map version 1 has neither the Interface Configuration register nor the disable
// register; its analog output cannot be switched.
constexpr USHORT kFirstMapVersion = 1;
// Full and zero scale, a float each.
constexpr USHORT kScalingRegisters = 4;

} // namespace

BOOL CDeviceComm::IsAnalogOutputSupported()
{
    return HasInterface(INTERFACE_ANALOG_OUTPUT,
                        [](const SlaveIdInfo& slaveId) { return slaveId.RegisterMapVersion < 2; });
}

HRESULT CDeviceComm::EnableAnalogOutput(ULONG disable)
{
    return Guarded(GUARDS_ALL,
                   [&]
                   {
                       Trace(TRACE_LEVEL1) << u" - changing analog output to: "
                                           << (disable == 0 ? u"Enabled" : u"Disabled") << TRACE_END;
                       if (m_SlaveId.RegisterMapVersion == kFirstMapVersion)
                           return S_OK;
                       const HRESULT hr =
                           Network().WriteUShort(Address(), REG_ANALOG_OUTPUT_DISABLE, disable != 0 ? 1 : 0,
                                                 m_nWriteTimeout, m_nRetryCount);
                       if (Failed(hr))
                           Trace(TRACE_LEVEL1) << u" - failed to enable/disabled analog output, EC: "
                                               << TraceHr(hr) << TRACE_END;
                       else
                           Trace(TRACE_LEVEL1) << u" - success" << TRACE_END;
                       return hr;
                   });
}

HRESULT CDeviceComm::GetAnalogOutputState(ULONG& disabled)
{
    return Guarded(GUARDS_ALL,
                   [&]
                   {
                       Trace(TRACE_LEVEL1) << u" - reading analog output state" << TRACE_END;
                       disabled = 1;
                       if (m_SlaveId.RegisterMapVersion == kFirstMapVersion)
                           return S_OK;
                       USHORT value = 0;
                       const HRESULT hr = Network().ReadUShort(Address(), REG_ANALOG_OUTPUT_DISABLE, value,
                                                               m_nReadTimeout, m_nRetryCount);
                       if (Failed(hr))
                       {
                           Trace(TRACE_LEVEL1)
                               << u" - failed to read analog output state, EC: " << TraceHr(hr) << TRACE_END;
                           return hr;
                       }
                       disabled = value;
                       Trace(TRACE_LEVEL1) << u" - success - analog output is: "
                                           << (value == 0 ? u"Enabled" : u"Disabled") << TRACE_END;
                       return hr;
                   });
}

HRESULT CDeviceComm::SetAnalogParameter(USHORT sensorNumber, USHORT parameterNumber)
{
    return Guarded(GUARDS_ALL,
                   [&]
                   {
                       Trace(TRACE_LEVEL1)
                           << u" - setting analog param# to: " << parameterNumber << TRACE_END;
                       HRESULT hr = S_OK;
                       if (m_SlaveId.RegisterMapVersion >= 2)
                       {
                           hr = Network().WriteUShort(Address(), m_RegisterMap.AnalogSensorNumber,
                                                      sensorNumber, m_nWriteTimeout, m_nRetryCount);
                           if (Failed(hr))
                           {
                               Trace(TRACE_LEVEL1) << u" - failed to set analog sensor number, EC: "
                                                   << TraceHr(hr) << TRACE_END;
                               return hr;
                           }
                       }
                       hr = Network().WriteUShort(Address(), m_RegisterMap.AnalogParameterNumber,
                                                  parameterNumber, m_nWriteTimeout, m_nRetryCount);
                       if (Failed(hr))
                       {
                           Trace(TRACE_LEVEL1) << u" - failed to set analog parameter number, EC: "
                                               << TraceHr(hr) << TRACE_END;
                           return hr;
                       }
                       Trace(TRACE_LEVEL1) << u" - success" << TRACE_END;
                       return hr;
                   });
}

HRESULT CDeviceComm::GetAnalogParameter(USHORT& sensorNumber, USHORT& parameterNumber)
{
    return Guarded(GUARDS_ALL,
                   [&]
                   {
                       sensorNumber = 1;
                       parameterNumber = 0;
                       Trace(TRACE_LEVEL1) << u" - getting analog parameter number" << TRACE_END;
                       HRESULT hr = S_OK;
                       if (m_SlaveId.RegisterMapVersion >= 2)
                       {
                           hr = Network().ReadUShort(Address(), m_RegisterMap.AnalogSensorNumber,
                                                     sensorNumber, m_nReadTimeout, m_nRetryCount);
                           if (Failed(hr))
                           {
                               Trace(TRACE_LEVEL1) << u" - failed to get analog sensor number, EC: "
                                                   << TraceHr(hr) << TRACE_END;
                               return hr;
                           }
                       }
                       hr = Network().ReadUShort(Address(), m_RegisterMap.AnalogParameterNumber,
                                                 parameterNumber, m_nReadTimeout, m_nRetryCount);
                       if (Failed(hr))
                       {
                           Trace(TRACE_LEVEL1) << u" - failed to get analog parameter number, EC: "
                                               << TraceHr(hr) << TRACE_END;
                           return hr;
                       }
                       Trace(TRACE_LEVEL1)
                           << u" read success - analog param#: " << parameterNumber << TRACE_END;
                       return hr;
                   });
}

HRESULT CDeviceComm::SetAnalogScaling(float fullScale, float zeroScale)
{
    return Guarded(
        GUARDS_ALL,
        [&]
        {
            Trace(TRACE_LEVEL1) << u" - setting analog scaling, Full: " << fullScale << u" Zero: "
                                << zeroScale << TRACE_END;
            if (fullScale == zeroScale)
            {
                Trace(TRACE_LEVEL1) << u" - setting analog scaling, Error - values cannot be equal"
                                    << TRACE_END;
                return MODBUSCOMM_E_INVALID_ANALOG_SCALE;
            }
            // The scaling in force, as its registers hold it, so that a write that fails
            // half-way can put it back: the first write takes the 4 mA point to the lowest
            // float, which must not stay on the instrument.
            CByteBuffer previous;
            HRESULT hr = Network().ReadRegisters(Address(), m_RegisterMap.AnalogFullScale, kScalingRegisters,
                                                 previous, m_nReadTimeout, m_nRetryCount);
            if (Failed(hr))
            {
                Trace(TRACE_LEVEL1) << u" - failed to get analog full scale, EC: " << TraceHr(hr)
                                    << TRACE_END;
                return hr;
            }

            // The zero scale goes to the lowest float first, so that the new full scale never
            // meets the old zero scale.
            const struct
            {
                USHORT reg;
                float value;
                const char16_t* failure;
            } steps[] = {
                {m_RegisterMap.AnalogZeroScale, std::numeric_limits<float>::lowest(),
                 u" - failed to zap analog zero scale, EC: "},
                {m_RegisterMap.AnalogFullScale, fullScale, u" - failed to set analog full scale, EC: "},
                {m_RegisterMap.AnalogZeroScale, zeroScale, u" - failed to set analog zero scale, EC: "},
            };
            for (const auto& step : steps)
            {
                hr = Network().WriteFloat(Address(), step.reg, step.value, m_nWriteTimeout, m_nRetryCount);
                if (Failed(hr))
                {
                    Trace(TRACE_LEVEL1) << step.failure << TraceHr(hr) << TRACE_END;
                    RestoreAnalogScaling(previous);
                    return hr;
                }
            }
            Trace(TRACE_LEVEL1) << u" - analog configuration success" << TRACE_END;
            return hr;
        });
}

void CDeviceComm::RestoreAnalogScaling(const CByteBuffer& previous)
{
    // Full scale first: the zero scale may still be the lowest float, below any full scale.
    const uint32_t half = previous.GetLength() / 2;
    CByteBuffer full;
    CByteBuffer zero;
    HRESULT hr = full.Append(half, previous.GetData()) && zero.Append(half, previous.GetData() + half)
                     ? S_OK
                     : E_OUTOFMEMORY;
    if (Succeeded(hr))
        hr = Network().WriteRegisters(Address(), m_RegisterMap.AnalogFullScale, kScalingRegisters / 2, full,
                                      m_nWriteTimeout, m_nRetryCount);
    if (Succeeded(hr))
        hr = Network().WriteRegisters(Address(), m_RegisterMap.AnalogZeroScale, kScalingRegisters / 2, zero,
                                      m_nWriteTimeout, m_nRetryCount);
    if (Failed(hr))
        Trace(TRACE_LEVEL1) << u" - failed to restore analog scaling, EC: " << TraceHr(hr) << TRACE_END;
    else
        Trace(TRACE_LEVEL1) << u" - analog scaling restored" << TRACE_END;
}

HRESULT CDeviceComm::GetAnalogScaling(float& fullScale, float& zeroScale)
{
    return Guarded(GUARDS_ALL,
                   [&]
                   {
                       fullScale = 0.0f;
                       zeroScale = 0.0f;
                       Trace(TRACE_LEVEL1) << u" - reading analog scaling" << TRACE_END;
                       CByteBuffer data;
                       HRESULT hr =
                           Network().ReadRegisters(Address(), m_RegisterMap.AnalogFullScale,
                                                   kScalingRegisters, data, m_nReadTimeout, m_nRetryCount);
                       if (Failed(hr))
                       {
                           Trace(TRACE_LEVEL1)
                               << u" - failed to get analog full scale, EC: " << TraceHr(hr) << TRACE_END;
                           return hr;
                       }
                       CBufferReader reader(data);
                       float full = 0.0f;
                       float zero = 0.0f;
                       if (Failed(hr = reader.ReadFloat(full)) || Failed(hr = reader.ReadFloat(zero)))
                           return hr;
                       fullScale = full;
                       zeroScale = zero;
                       Trace(TRACE_LEVEL1)
                           << u" - success, Full: " << full << u" Zero: " << zero << TRACE_END;
                       return hr;
                   });
}

} // namespace NVSystem
