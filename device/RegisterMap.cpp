#include "device/RegisterMap.h"

#include "device/DeviceComm.h"
#include "foundation/ScopedLock.h"

namespace NVSystem
{

namespace
{

bool HasMeasurementCacheRegister(USHORT deviceTypeId)
{
    return (deviceTypeId >= 1 && deviceTypeId <= 12) || (deviceTypeId >= 15 && deviceTypeId <= 26) ||
           (deviceTypeId >= 30 && deviceTypeId <= 39) || (deviceTypeId >= 32768 && deviceTypeId <= 32770);
}

} // namespace

void FillRegisterMap(sRegisterMap& map, USHORT registerMapVersion, USHORT deviceTypeId,
                     USHORT probeRegisterMapVersion)
{
    map.DeviceTypeId = 49001;
    map.SerialNumber = 49002;
    map.FirstTimestamp = 49004;
    map.Reserved49007 = 49007;
    map.Reserved49008 = 49008;
    map.Reserved49009 = 49009;
    map.Reserved49010 = 49010;
    map.TotalLogMemory = 49011;
    map.TotalBatteryTicks = 49013;
    map.SecondTimestamp = 49015;
    map.DeviceCommand = REG_DEVICE_COMMAND;
    map.DeviceName = 49019;
    map.SiteName = 49051;
    map.Double49083 = 49083;
    map.Double49087 = 49087;
    map.Double49091 = 49091;
    map.SoftwareRegister = 49095;
    map.DeviceTime = 49097;
    map.DeviceStatus = 49100;
    map.BatteryUsed = 49102;
    map.MemoryUsed = 49104;
    map.ActiveLogFileNumber = 49106;
    map.ActiveLogStatus = 49107;
    map.DeviceAddress = 49200;
    map.CommSettings = 49201;
    map.Eom = 49202;
    map.Eos = 49203;
    map.Reserved49204 = 49204;
    map.Reserved49205 = 49205;
    map.GoodMsgCounter = 49206;
    map.BadMsgCounter = 49208;
    map.ExceptionMsgCounter = 49209;
    map.Reserved49297 = 49297;
    map.Reserved49298 = 49298;

    map.DeviceGuid = registerMapVersion >= 3 ? 49108 : 0;

    if (registerMapVersion >= 2)
    {
        map.AnalogSensorNumber = 49501;
        map.AnalogParameterNumber = 49502;
        map.AnalogFullScale = 49503;
        map.AnalogZeroScale = 49505;
    }
    else
    {
        map.AnalogSensorNumber = ANALOG_SENSOR_NONE_V1;
        map.AnalogParameterNumber = 40115;
        map.AnalogFullScale = 40116;
        map.AnalogZeroScale = 40118;
    }

    map.SensorCount = 49300;
    map.SensorConnectionMask = 49301;

    // Otherwise the entry keeps what the instrument class gave it.
    if (registerMapVersion >= 3 && HasMeasurementCacheRegister(deviceTypeId))
        map.MeasurementCacheTimeout = REG_MEASUREMENT_CACHE_TIMEOUT;

    if (probeRegisterMapVersion >= 2)
    {
        switch (deviceTypeId)
        {
        case 5:
        case 10:
            map.ScratchPad = 47008;
            break;
        case 1:
        case 2:
        case 3:
        case 4:
        case 30:
            map.ScratchPad = 40120;
            break;
        default:
            break;
        }
    }
}

HRESULT CDeviceComm::InitRegisterMap()
{
    if (!IsTagged())
        return MODBUSCOMM_E_INVALID_DEVICE_THIS;
    CScopedLock lock(m_DeviceLock);
    FillRegisterMap(m_RegisterMap, m_SlaveId.RegisterMapVersion, m_SlaveId.DeviceTypeId,
                    m_nProbeRegisterMapVersion);
    return S_OK;
}

} // namespace NVSystem
