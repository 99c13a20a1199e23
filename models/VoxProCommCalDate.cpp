// The sensor's factory calibration date: presence, the date, and the time left until it.
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
    milliseconds = 0;
    CDeviceTimestamp due;
    if (const HRESULT hr = CDeviceComm::GetNextFactoryCalDate(VOXPRO_CONNECTION, due); Failed(hr))
        return hr;
    CDeviceTimestamp now;
    if (const HRESULT hr = GetDeviceTime(now); Failed(hr))
        return hr;
    if (now > due)
        return S_OK;
    due.Subtract(now, milliseconds);
    return S_OK;
}

} // namespace NVSystem
