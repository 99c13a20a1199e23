// The user note of a changed measurement-cache time-out. It lives with the device layer rather than
// with the other user notes because the device writes it itself when the time-out changes while a
// log runs.
#pragma once

#include "device/ValueNote.h"

namespace NVSystem
{

// Payload (version 1): u32 serial, u16 time-out in ms, UserName. A record of version 0 holds exactly
// the serial and the time-out; one of a later version than 1 is read without a size check and
// without the user name.
class CNVUserNote_SensorMeasCacheTO : public CNVValueNote<uint16_t>
{
public:
    static constexpr uint32_t kSubType = USERNOTE_SENSOR_MEAS_CACHE_TO;
    static constexpr uint16_t kVersion = 1;

    CNVUserNote_SensorMeasCacheTO();
    HRESULT Load(const CNVLogNotesRecord& record) override;

    USHORT GetTimeout() const { return GetValue(); }
};

} // namespace NVSystem
