// The sensor's factory calibration date: presence, the date, and the time left until it.
#include "models/VOXSensor.h"
#include "models/VoxProComm.h"

namespace NVSystem
{

HRESULT CVoxProComm::GetNextFactoryCalDate(CDeviceTimestamp& date)
{
    return CDeviceComm::GetNextFactoryCalDate(VOXPRO_CONNECTION, date);
}

BOOL CVoxProComm::IsSensorPresent()
{
    CDeviceTimestamp date;
    return Succeeded(CDeviceComm::GetNextFactoryCalDate(VOXPRO_CONNECTION, date)) ? TRUE : FALSE;
}

HRESULT CVoxProComm::GetTimeToFactoryCal(int64_t& milliseconds)
{
    // The same device reads and arithmetic as the optical-DO adapter's, so one copy of the rule.
    CVOXSensor sensor(this, VOXPRO_CONNECTION);
    return sensor.GetTimeToFactoryCal(milliseconds);
}

} // namespace NVSystem
