#include "models/BarrikComm.h"

#include "models/BuiltInLevelLogger.h"
#include "models/LoggerMetaTags.h"

namespace NVSystem
{

namespace
{

constexpr USHORT kFirstBarometricType = 3;

} // namespace

CBarrikComm::CBarrikComm(const SlaveIdInfo& slaveId) : CPressureTempDevice(slaveId, kClassSignature)
{
    PlaceLoggerRegisters(m_RegisterMap, slaveId.DeviceTypeId == kFirstBarometricType
                                            ? LOGGER_REGISTERS_40100
                                            : LOGGER_REGISTERS_47000);
}

HRESULT CBarrikComm::FillLogFileMeta(CLogFile& logFile)
{
    if (!CarriesSignatures())
        return MODBUSCOMM_E_INVALID_DEVICE_THIS;
    const HRESULT hr = CDeviceComm::FillLogFileMeta(logFile);
    if (Failed(hr))
        return hr;
    SetCounterMetaTags(*this, logFile);
    return S_OK;
}

} // namespace NVSystem
