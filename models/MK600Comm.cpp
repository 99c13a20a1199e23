// The sonde object: construction, class test and downcast, the sensor factory and the getters of
// each kind, and the Bluetooth update command.
#include "models/MK600Comm.h"

#include <new>

#include "foundation/ParameterRecords.h"
#include "models/AmmoniumSensorMK600.h"
#include "models/BarometricSensorMK600.h"
#include "models/BluetoothUpdate.h"
#include "models/ChlorideSensorMK600.h"
#include "models/ConductivitySensorMK600.h"
#include "models/FlurometerBaseMK600.h"
#include "models/LevelSensorMK600.h"
#include "models/NitrateSensorMK600.h"
#include "models/PHORPSensorMK600.h"
#include "models/TemperatureSensor.h"
#include "models/TurbiditySensorMK600.h"
#include "models/VOXSensorMK600.h"

namespace NVSystem
{

namespace
{

constexpr USHORT kIdentityRegister = 49000; // template version and external voltage

constexpr USHORT kTurbidityId = 50;
constexpr USHORT kLevel1Id = 51; // to 54
constexpr USHORT kLevel4Id = 54;
constexpr USHORT kLevel5Id = 80;
constexpr USHORT kTemperatureId = 55;
constexpr USHORT kConductivityId = 56;
constexpr USHORT kVoxId = 57;
constexpr USHORT kPhOrpId = 58;
constexpr USHORT kBarometricId = 59;
constexpr USHORT kRhodamineId = 60;
constexpr USHORT kChlorophyllId = 62;
constexpr USHORT kPhycocyaninId = 64;
constexpr USHORT kPhycoerythrinId = 65;
constexpr USHORT kNitrateId = 70;
constexpr USHORT kAmmoniumId = 71;
constexpr USHORT kChlorideId = 72;
constexpr USHORT kTemperature2Id = 79;

template <typename Sensor, typename... Arguments>
std::unique_ptr<ISensor_Interface> Make(Arguments... arguments)
{
    return std::unique_ptr<ISensor_Interface>(new (std::nothrow) Sensor(arguments...));
}

} // namespace

CMK600Comm::CMK600Comm(const SlaveIdInfo& slaveId) : CDeviceComm(slaveId)
{
    m_RegisterMap.TemplateVersion = kIdentityRegister;
    m_RegisterMap.ExternalVoltage = kIdentityRegister;
}

CMK600Comm::~CMK600Comm()
{
    m_nClassSignature.store(0);
    for (std::unique_ptr<ISensor_Interface>& sensor : m_Sensors)
        sensor.reset();
}

bool CMK600Comm::IsMK600(CDeviceComm* device)
{
    return device != nullptr && device->IsTagged() && device->GetClassSignature() == kClassSignature;
}

CMK600Comm* CMK600Comm::QueryMK600Comm()
{
    if (!IsMK600(this))
        return nullptr;
    AddRef();
    return this;
}

// --- The sensor factory ---

std::unique_ptr<ISensor_Interface> CMK600Comm::BuildSensor(USHORT sensorId, USHORT connection)
{
    switch (sensorId)
    {
    case kTurbidityId:
        return Make<CTurbiditySensorMK600>(this, connection);
    case kLevel1Id:
    case kLevel1Id + 1:
    case kLevel1Id + 2:
    case kLevel4Id:
    case kLevel5Id:
        return Make<CLevelSensorMK600>(this, connection, nullptr);
    case kTemperatureId:
    case kTemperature2Id:
        return Make<CTemperatureSensor>(this, connection);
    case kConductivityId:
        return Make<CConductivitySensorMK600>(this, connection);
    case kVoxId:
    {
        ISensor_Temperature* temperature = GetTemperatureSensor();
        ISensor_Conductivity* conductivity = GetConductivitySensor();
        ISensor_Barometric* barometric = GetBarometricSensor();
        return Make<CVOXSensorMK600>(this, connection, temperature, barometric, conductivity);
    }
    case kPhOrpId:
        return Make<CPHORPSensorMK600>(this, connection, GetTemperatureSensor());
    case kBarometricId:
        return Make<CBarometricSensorMK600>(this, connection);
    case kRhodamineId:
        return Make<CRhodamineWaterTraceSensorMk600>(this, connection, GetTemperatureSensor());
    case kChlorophyllId:
        return Make<CChlorophyllASensorMk600>(this, connection, GetTemperatureSensor());
    case kPhycocyaninId:
        return Make<CBGAPCSensorMK600>(this, connection, GetTemperatureSensor());
    case kPhycoerythrinId:
        return Make<CBGAPESensorMK600>(this, connection, GetTemperatureSensor());
    case kNitrateId:
        return Make<CNitrateSensorMK600>(this, connection, GetTemperatureSensor());
    case kAmmoniumId:
        return Make<CAmmoniumSensorMK600>(this, connection, GetTemperatureSensor());
    case kChlorideId:
        return Make<CChlorideSensorMK600>(this, connection, GetTemperatureSensor());
    default:
        return nullptr;
    }
}

HRESULT CMK600Comm::GetSensor(USHORT connection, ULONG /*flags*/, ISensor_Interface*& sensor)
{
    if (!IsMK600(this))
        return MODBUSCOMM_E_INVALID_DEVICE_THIS;
    if (connection > kMaxConnections)
        return E_FAIL;
    try
    {
        // Held across the look-up and the build, so that two threads asking for one connection the
        // first time make one object, and a sensor that a source is being built for is not made twice.
        CScopedLock lock(m_DeviceLock);
        sSensorInfo info;
        if (const HRESULT hr = GetSensorInfo(connection, info); Failed(hr))
            return hr;
        std::unique_ptr<ISensor_Interface>& held = m_Sensors[connection - 1u];
        if (held == nullptr)
        {
            std::unique_ptr<ISensor_Interface> built = BuildSensor(info.SensorId, connection);
            // Building a sensor's sources may have made this connection's object already.
            if (held == nullptr && built != nullptr)
            {
                held = std::move(built);
                TraceSerialNumber(*held);
            }
            if (held == nullptr)
                return S_OK;
        }
        sensor = held.get();
        return S_OK;
    }
    catch (...)
    {
        return MODBUSCOMM_E_EXCEPTION_CDEVICE;
    }
}

void CMK600Comm::TraceSerialNumber(ISensor_Interface& sensor)
{
    ULONG serial = 0;
    const char16_t* label = nullptr;
    if (ISensor_pHORP* pH = sensor.AspHORP(); pH != nullptr)
    {
        pH->GetpHORPSerialNumber(serial);
        label = u"pH SN: ";
    }
    else if (ISensor_Nitrate* nitrate = sensor.AsNitrate(); nitrate != nullptr)
    {
        nitrate->GetNitrateSerialNumber(serial);
        label = u"Nitrate SN: ";
    }
    else if (ISensor_Ammonium* ammonium = sensor.AsAmmonium(); ammonium != nullptr)
    {
        ammonium->GetAmmoniumSerialNumber(serial);
        label = u"Ammonium SN: ";
    }
    else if (ISensor_Chloride* chloride = sensor.AsChloride(); chloride != nullptr)
    {
        chloride->GetChlorideSerialNumber(serial);
        label = u"Chloride SN: ";
    }
    if (label != nullptr)
        m_Trace << TRACE_LEVEL1 << label << serial << TRACE_END;
}

ISensor_Interface* CMK600Comm::FirstSensorOf(std::initializer_list<USHORT> sensorIds)
{
    USHORT connection = 0;
    if (Failed(GetSensorPort(connection, sensorIds.begin(), static_cast<int>(sensorIds.size()))))
        return nullptr;
    ISensor_Interface* sensor = nullptr;
    if (Failed(GetSensor(connection, 1, sensor)))
        return nullptr;
    return sensor;
}

ISensor_VoxPro* CMK600Comm::GetVoxProSensor()
{
    ISensor_Interface* sensor = FirstSensorOf({kVoxId});
    return sensor != nullptr ? sensor->AsVoxPro() : nullptr;
}

ISensor_Conductivity* CMK600Comm::GetConductivitySensor()
{
    ISensor_Interface* sensor = FirstSensorOf({kConductivityId});
    return sensor != nullptr ? sensor->AsConductivity() : nullptr;
}

ISensor_PressureTempLevel* CMK600Comm::GetPressureTempLevelSensor()
{
    ISensor_Interface* sensor =
        FirstSensorOf({kLevel1Id, kLevel1Id + 1, kLevel1Id + 2, kLevel4Id, kLevel5Id});
    return sensor != nullptr ? sensor->AsPressureTempLevel() : nullptr;
}

ISensor_pHORP* CMK600Comm::GetpHORPSensor()
{
    ISensor_Interface* sensor = FirstSensorOf({kPhOrpId});
    return sensor != nullptr ? sensor->AspHORP() : nullptr;
}

ISensor_Temperature* CMK600Comm::GetTemperatureSensor()
{
    // The dedicated sensor wherever it is; only a sonde without one falls back to the first sensor
    // that measures the water's temperature.
    constexpr USHORT kDedicated[] = {kTemperature2Id};
    constexpr USHORT kAny[] = {kTemperature2Id, kTemperatureId, kConductivityId};
    USHORT connection = 0;
    HRESULT hr = GetSensorPort(connection, kDedicated, 1);
    if (hr == MODBUSCOMM_E_SENSOR_ID_NOT_FOUND)
        hr = GetSensorPort(connection, kAny, 3);
    ISensor_Interface* sensor = nullptr;
    if (Failed(hr) || Failed(GetSensor(connection, 1, sensor)) || sensor == nullptr)
        return nullptr;
    return sensor->AsTemperature();
}

ISensor_Turbidity* CMK600Comm::GetTurbiditySensor()
{
    ISensor_Interface* sensor = FirstSensorOf({kTurbidityId});
    return sensor != nullptr ? sensor->AsTurbidity() : nullptr;
}

ISensor_Barometric* CMK600Comm::GetBarometricSensor()
{
    ISensor_Interface* sensor = FirstSensorOf({kBarometricId});
    return sensor != nullptr ? sensor->AsBarometric() : nullptr;
}

ISensor_Nitrate* CMK600Comm::GetNitrateSensor()
{
    ISensor_Interface* sensor = FirstSensorOf({kNitrateId});
    return sensor != nullptr ? sensor->AsNitrate() : nullptr;
}

ISensor_Ammonium* CMK600Comm::GetAmmoniumSensor()
{
    ISensor_Interface* sensor = FirstSensorOf({kAmmoniumId});
    return sensor != nullptr ? sensor->AsAmmonium() : nullptr;
}

ISensor_Chloride* CMK600Comm::GetChlorideSensor()
{
    ISensor_Interface* sensor = FirstSensorOf({kChlorideId});
    return sensor != nullptr ? sensor->AsChloride() : nullptr;
}

// --- Bluetooth ---

HRESULT CMK600Comm::SendBluetoothUpdateCommand()
{
    if (!IsMK600(this))
        return MODBUSCOMM_E_INVALID_DEVICE_THIS;
    return Guarded(GUARD_LINK | GUARD_FIRMWARE,
                   [&]
                   {
                       return WriteBluetoothUpdateCommand(Network(), Address(), m_nWriteTimeout,
                                                          m_nRetryCount, m_Trace, u"MK600: ");
                   });
}

} // namespace NVSystem
