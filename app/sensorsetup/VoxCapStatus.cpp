#include "app/sensorsetup/VoxCapStatus.h"

#include "app/sensorsetup/SensorList.h"
#include "foundation/DateTimeFormat.h"
#include "foundation/DeviceTimestamp.h"
#include "foundation/ResultCodes.h"
#include "models/ProbeSensorInterfaces.h"

namespace
{

constexpr const char16_t* kCapNotDetected = u"VOX\u00AE-Dissolved Oxygen (Cap not detected)";
constexpr const char16_t* kCapExpired = u"VOX\u00AE-Dissolved Oxygen (Cap expired)";
constexpr const char16_t* kCapExpires = u"VOX\u00AE-Dissolved Oxygen (Cap expires %s)";

} // namespace

ULONG GetVoxCapStatus(ULONG& capSerial, CProbeConnection& connection)
{
    NVSystem::ISensor_VoxPro* sensor = nullptr;
    if (Failed(connection.GetVoxProSensor(sensor)) || sensor == nullptr)
        return VOX_CAP_READ_ERROR;
    NVSystem::CDeviceComm* device = connection.GetProbe();
    if (device == nullptr)
        return VOX_CAP_READ_ERROR;
    CDeviceTimestamp now;
    if (Failed(device->GetDeviceTime(now)))
        return VOX_CAP_READ_ERROR;
    const USHORT voxConnection = sensor->GetVoxConnection();
    CDeviceTimestamp expiry;
    // A sensor unplugged, or gone from the probe's table, has no cap: it is no read error, so that
    // the watch goes on and sees the sensor come back.
    HRESULT hr = device->ReadSensorTime(voxConnection, VOX_CAP_EXPIRY_OFFSET, expiry);
    if (IsAbsentSensor(hr))
        capSerial = 0;
    else if (Failed(hr))
        return VOX_CAP_READ_ERROR;
    hr = device->ReadSensorULong(voxConnection, VOX_CAP_SERIAL_OFFSET, capSerial);
    if (IsAbsentSensor(hr))
    {
        capSerial = 0;
        return VOX_CAP_NOT_DETECTED;
    }
    if (Failed(hr))
        return VOX_CAP_READ_ERROR;
    if (capSerial == 0)
        return VOX_CAP_NOT_DETECTED;
    return now > expiry ? VOX_CAP_EXPIRED : VOX_CAP_OK;
}

sVoxCapText GetVoxCapText(CProbeConnection& connection)
{
    sVoxCapText result;
    result.text = kCapNotDetected;
    if (!connection.IsConnected())
        return result;
    NVSystem::ISensor_VoxPro* sensor = nullptr;
    if (Failed(connection.GetVoxProSensor(sensor)) || sensor == nullptr)
    {
        result.problem = EVoxCapTextProblem::NoInterface;
        return result;
    }
    if (!sensor->IsSensorPresent())
        return result;
    if (sensor->IsFactoryCalDue())
    {
        result.text = kCapExpired;
        return result;
    }
    CDeviceTimestamp date;
    if (const HRESULT hr = sensor->GetNextFactoryCalDate(date); Failed(hr))
    {
        result.problem = EVoxCapTextProblem::DateUnreadable;
        result.code = hr;
        date.Clear();
    }
    SYSTEMTIME time;
    DeviceTimeToSystemTime(date.GetSeconds(), date.GetFraction(), time);
    result.text = CWideString(kCapExpires, static_cast<const char16_t*>(FormatDate(time)));
    return result;
}
