// The probe's salinity, barometric pressure and calibration floats: holding registers 40118 to 40140,
// one procedure for all 24 operations.
#include "models/VoxProComm.h"

namespace NVSystem
{

namespace
{

constexpr USHORT kLiveSalinity = 40118;
constexpr USHORT kDefaultSalinity = 40120;
constexpr USHORT kLiveBaro = 40122;
constexpr USHORT kDefaultBaro = 40124;
constexpr USHORT kCalDO100 = 40126;
constexpr USHORT kCalTemp100 = 40128;
constexpr USHORT kCalSalinity100 = 40130;
constexpr USHORT kCalBaro100 = 40132;
constexpr USHORT kCalDO0 = 40134;
constexpr USHORT kCalTemp0 = 40136;
constexpr USHORT kCalSlope = 40138;
constexpr USHORT kCalOffset = 40140;

} // namespace

template <typename Access>
HRESULT CVoxProComm::AccessFloatRegister(Access&& access, float& value, const char16_t* success,
                                         const char16_t* failure) noexcept
{
    if (!CarriesSignatures())
        return MODBUSCOMM_E_INVALID_DEVICE_THIS;
    try
    {
        CScopedLock lock(m_DeviceLock);
        if (!IsLinked())
            return MODBUSCOMM_E_NO_CONNECTION;
        const HRESULT hr = access(Network());
        m_Trace << TRACE_LEVEL1 << u"VOXPro Device: " << Address();
        if (Failed(hr))
            m_Trace << failure << TraceHr(hr) << TRACE_END;
        else
            m_Trace << success << value << TRACE_END;
        return hr;
    }
    catch (...)
    {
        return MODBUSCOMM_E_EXCEPTION_CDC;
    }
}

HRESULT CVoxProComm::ReadFloatRegister(USHORT reg, float& value, const char16_t* success,
                                       const char16_t* failure)
{
    return AccessFloatRegister(
        [&](CModbusComm& network)
        { return network.ReadFloat(Address(), reg, value, m_nReadTimeout, m_nRetryCount); },
        value, success, failure);
}

HRESULT CVoxProComm::WriteFloatRegister(USHORT reg, float value, const char16_t* success,
                                        const char16_t* failure)
{
    return AccessFloatRegister(
        [&](CModbusComm& network)
        { return network.WriteFloat(Address(), reg, value, m_nWriteTimeout, m_nRetryCount); },
        value, success, failure);
}

HRESULT CVoxProComm::ReadLiveSalinity(float& value)
{
    return ReadFloatRegister(kLiveSalinity, value, u" - read live salinity value: ",
                             u" - failed to read live salinity value, EC: ");
}

HRESULT CVoxProComm::SetLiveSalinity(float value)
{
    return WriteFloatRegister(kLiveSalinity, value, u" - set live salinity value: ",
                              u" - failed to set live salinity value, EC: ");
}

HRESULT CVoxProComm::ReadDefaultSalinity(float& value)
{
    return ReadFloatRegister(kDefaultSalinity, value, u" - read default salinity value: ",
                             u" - failed to read default salinity value, EC: ");
}

HRESULT CVoxProComm::SetDefaultSalinity(float value)
{
    const HRESULT hr = WriteFloatRegister(kDefaultSalinity, value, u" - set default salinity value: ",
                                          u" - failed to set default salinity value, EC: ");
    // A new default applies at once: the live value follows it. That second write is on its own;
    // its failure does not undo the default.
    if (Succeeded(hr))
        SetLiveSalinity(value);
    return hr;
}

HRESULT CVoxProComm::ReadLiveBaro(float& value)
{
    return ReadFloatRegister(kLiveBaro, value, u" - read live baro value: ",
                             u" - failed to read live baro value, EC: ");
}

HRESULT CVoxProComm::SetLiveBaro(float value)
{
    return WriteFloatRegister(kLiveBaro, value, u" - set live baro value: ",
                              u" - failed to set live baro value, EC: ");
}

HRESULT CVoxProComm::ReadDefaultBaro(float& value)
{
    return ReadFloatRegister(kDefaultBaro, value, u" - read default baro value: ",
                             u" - failed to read default baro value, EC: ");
}

HRESULT CVoxProComm::SetDefaultBaro(float value)
{
    const HRESULT hr = WriteFloatRegister(kDefaultBaro, value, u" - set default baro value: ",
                                          u" - failed to set default baro value, EC: ");
    if (Succeeded(hr))
        SetLiveBaro(value);
    return hr;
}

HRESULT CVoxProComm::ReadCalDO100(float& value)
{
    return ReadFloatRegister(kCalDO100, value, u" - read calibration reading - DO 100pct value: ",
                             u" - failed to read calibration reading - DO 100pct value, EC: ");
}

HRESULT CVoxProComm::SetCalDO100(float value)
{
    return WriteFloatRegister(kCalDO100, value, u" - set cal reading DO 100pct value: ",
                              u" - failed to set cal reading DO 100pct value, EC: ");
}

HRESULT CVoxProComm::ReadCalTemp100(float& value)
{
    return ReadFloatRegister(kCalTemp100, value, u" - read calibration reading - Temp 100pct value: ",
                             u" - failed to read calibration reading - Temp 100pct value, EC: ");
}

HRESULT CVoxProComm::SetCalTemp100(float value)
{
    return WriteFloatRegister(kCalTemp100, value, u" - set cal reading Temp 100pct value: ",
                              u" - failed to set cal reading Temp 100pct value, EC: ");
}

HRESULT CVoxProComm::ReadCalSalinity100(float& value)
{
    return ReadFloatRegister(kCalSalinity100, value, u" - read calibration reading - Salinity 100pct value: ",
                             u" - failed to read calibration reading - Salinity 100pct value, EC: ");
}

HRESULT CVoxProComm::SetCalSalinity100(float value)
{
    return WriteFloatRegister(kCalSalinity100, value, u" - set cal reading Salinity 100pct value: ",
                              u" - failed to set cal reading salinity 100pct value, EC: ");
}

HRESULT CVoxProComm::ReadCalBaro100(float& value)
{
    return ReadFloatRegister(kCalBaro100, value, u" - read calibration reading - Baro 100pct value: ",
                             u" - failed to read calibration reading - Baro 100pct value, EC: ");
}

HRESULT CVoxProComm::SetCalBaro100(float value)
{
    return WriteFloatRegister(kCalBaro100, value, u" - set cal reading baro 100pct value: ",
                              u" - failed to set cal reading baro 100pct value, EC: ");
}

HRESULT CVoxProComm::ReadCalDO0(float& value)
{
    return ReadFloatRegister(kCalDO0, value, u" - read calibration reading - DO 0 pct value: ",
                             u" - failed to read calibration reading - DO 0 pct value, EC: ");
}

HRESULT CVoxProComm::SetCalDO0(float value)
{
    return WriteFloatRegister(kCalDO0, value, u" - set cal reading DO 0 pct value: ",
                              u" - failed to set cal reading DO 0 pct value, EC: ");
}

HRESULT CVoxProComm::ReadCalTemp0(float& value)
{
    return ReadFloatRegister(kCalTemp0, value, u" - read calibration reading - Temp 0 pct value: ",
                             u" - failed to read calibration reading - Temp 0 pct value, EC: ");
}

HRESULT CVoxProComm::SetCalTemp0(float value)
{
    return WriteFloatRegister(kCalTemp0, value, u" - set cal reading Temp 0 pct value: ",
                              u" - failed to set cal reading Temp 0 pct value, EC: ");
}

HRESULT CVoxProComm::ReadCalSlope(float& value)
{
    return ReadFloatRegister(kCalSlope, value, u" - read calibration slope value: ",
                             u" - failed to read calibration slope value, EC: ");
}

HRESULT CVoxProComm::SetCalSlope(float value)
{
    return WriteFloatRegister(kCalSlope, value, u" - set cal slope value: ",
                              u" - failed to set cal slope value, EC: ");
}

HRESULT CVoxProComm::ReadCalOffset(float& value)
{
    return ReadFloatRegister(kCalOffset, value, u" - read calibration offset value: ",
                             u" - failed to read calibration offset value, EC: ");
}

HRESULT CVoxProComm::SetCalOffset(float value)
{
    return WriteFloatRegister(kCalOffset, value, u" - set cal offset value: ",
                              u" - failed to set cal offset value, EC: ");
}

} // namespace NVSystem
