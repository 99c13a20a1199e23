// The meta-tags that every device gives a log set up now: the log's new GUID, the device's identity
// and line, who set the log up on which PC with which program, the PC's time zone, and what each
// logged channel measures.
#include <algorithm>

#include "comm/IOAbstract.h"
#include "device/CommSettingsWord.h"
#include "device/DeviceComm.h"
#include "device/LogFile.h"
#include "foundation/Codec.h"
#include "foundation/DisplaySettings.h"
#include "foundation/PathTools.h"
#include "foundation/SystemNames.h"
#include "foundation/TimeTools.h"
#include "platform/Identity.h"

namespace NVSystem
{

namespace
{

// The last element of the running executable's path.
CWideString ExecutableName()
{
    const CWideString path = GetProgramPath();
    return path.Right(path.GetLength() - static_cast<uint32_t>(path.ReverseFind(u'/') + 1));
}

// A zone name of the time-zone record, which need not end within its 32 units.
CWideString ZoneName(const WCHAR (&name)[32])
{
    CWideString text;
    text.AssignN(name, static_cast<uint32_t>(std::find(name, name + 32, u'\0') - name));
    return text;
}

// One fill of the base tags; each step ends the fill with the first failure unless it says so.
class CBaseMetaFill
{
public:
    CBaseMetaFill(CDeviceComm& device, CLogFile& logFile) : m_Device(device), m_LogFile(logFile) {}

    HRESULT Run()
    {
        HRESULT hr = S_OK;
        for (HRESULT (CBaseMetaFill::*step)() :
             {&CBaseMetaFill::Version, &CBaseMetaFill::Identity, &CBaseMetaFill::Line,
              &CBaseMetaFill::Creator, &CBaseMetaFill::TimeZone, &CBaseMetaFill::DeviceState,
              &CBaseMetaFill::Channels, &CBaseMetaFill::Event})
        {
            if (hr = (this->*step)(); Failed(hr))
                return hr;
        }
        return hr;
    }

private:
    HRESULT Set(ULONG tagIndex, const MetaTagValue& value)
    {
        return CDeviceComm::SetMetaTag(m_LogFile, tagIndex, value);
    }
    HRESULT SetText(ULONG tagIndex, const char16_t* text) { return Set(tagIndex, MetaTagValue(text)); }

    HRESULT Version()
    {
        USHORT mapVersion = 0;
        if (const HRESULT hr = m_Device.GetRegisterMapVersion(mapVersion); Failed(hr))
            return hr;
        return CDeviceComm::SetLogVersion(m_LogFile, mapVersion >= 3 ? 2 : 1);
    }

    HRESULT Identity()
    {
        const GUID guid = platform::NewGuid();
        {
            CScopedLock lock(m_LogFile.m_Lock);
            m_LogFile.m_Guid = guid;
        }
        HRESULT hr = SetText(METATAG_LOG_GUID, platform::GuidToString(guid).c_str());
        if (Failed(hr))
            return hr;
        // The instrument learns the log's GUID (its three numbers big-endian, then the eight last
        // bytes) where it can; the log is set up all the same.
        if (m_Device.HasScratchPadRegister())
            m_Device.WriteScratchPad(GuidToBytes(guid));
        if (hr = Set(METATAG_META_VERSION, MetaTagU32(2)); Failed(hr))
            return hr;
        CWideString name;
        if (hr = m_Device.GetDeviceName(name); Failed(hr))
            return hr;
        if (hr = SetText(METATAG_DEVICE_NAME, name); Failed(hr))
            return hr;
        if (hr = m_Device.GetSlaveId(m_SlaveId); Failed(hr))
            return hr;
        if (hr = Set(METATAG_DEVICE_SERIAL_NUM, MetaTagU32(m_SlaveId.SerialNumber)); Failed(hr))
            return hr;
        return Set(METATAG_DEVICE_ADDRESS, MetaTagU16(m_Device.GetAddress()));
    }

    // The line settings only of a serial line whose settings the device gives.
    HRESULT Line()
    {
        HRESULT hr = S_OK;
        if (CModbusComm* network = m_Device.GetModbusComm(); network != nullptr)
        {
            ULONG type = 0;
            const bool serial =
                Succeeded(network->GetConnectionType(type)) && type == NVTools::IOCONNECTION_SERIAL;
            network->Release();
            sSerialConfig line;
            if (serial && Succeeded(m_Device.GetSerialConfig(line.Mode, line.BaudId, line.DataBitsId,
                                                             line.ParityId, line.StopBitsId)))
                hr = Set(METATAG_DEVICE_COMM_CFG, MetaTagU16(EncodeCommSettings(line)));
        }
        if (Failed(hr))
            return hr;
        const std::pair<ULONG, USHORT> revisions[] = {
            {METATAG_DEVICE_TYPE_ID, m_SlaveId.DeviceTypeId},
            {METATAG_BOOT_CODE_REV, m_SlaveId.Reserved},
            {METATAG_FIRMWARE_REV, m_SlaveId.FirmwareVersion},
            {METATAG_HARDWARE_REV, m_SlaveId.HardwareVersion},
        };
        for (const auto& [tagIndex, value] : revisions)
        {
            if (hr = Set(tagIndex, MetaTagU16(value)); Failed(hr))
                return hr;
        }
        CWideString site;
        if (hr = m_Device.GetSiteName(site); Failed(hr))
            return hr;
        return SetText(METATAG_SITE_NAME, site);
    }

    HRESULT Creator()
    {
        const std::pair<ULONG, CWideString> texts[] = {
            {METATAG_CREATOR_USER_NAME, GetUserNameString()},
            {METATAG_CREATOR_COMPUTER_NAME, GetComputerNameString()},
            {METATAG_APPLICATION_NAME, ExecutableName()},
            {METATAG_APPLICATION_VER, GetProgramVersion()},
        };
        for (const auto& [tagIndex, text] : texts)
        {
            if (const HRESULT hr = SetText(tagIndex, text); Failed(hr))
                return hr;
        }
        SYSTEMTIME now;
        GetSystemTime(now);
        MetaTagValue created;
        created.SetTime(now);
        if (const HRESULT hr = Set(METATAG_CREATE_DATE_TIME, created); Failed(hr))
            return hr;
        MetaTagValue ignoreDst;
        ignoreDst.SetBool(GetIgnoreDST());
        return Set(METATAG_LOG_SETUP_IGNORE_DST, ignoreDst);
    }

    HRESULT TimeZone()
    {
        TIME_ZONE_INFORMATION zone;
        const DWORD state = GetTimeZoneInformation(zone);
        const CWideString name = state == TIME_ZONE_ID_UNKNOWN    ? CWideString(u"Unknown")
                                 : state == TIME_ZONE_ID_DAYLIGHT ? ZoneName(zone.DaylightName)
                                                                  : ZoneName(zone.StandardName);
        HRESULT hr = SetText(METATAG_LOG_SETUP_TIME_ZONE, name);
        if (Succeeded(hr))
            hr = SetText(METATAG_LOG_SETUP_TIME_ZONE_INFO, FormatTimeZoneInfoHex(zone));
        if (Succeeded(hr))
            hr = Set(METATAG_LOG_SETUP_TIME_ZONE_INFO_STATE, MetaTagU32(state));
        return hr;
    }

    // The log type, and the device's state where the device gives it.
    HRESULT DeviceState()
    {
        const HRESULT hr =
            Set(METATAG_LOG_TYPE, MetaTagU16(static_cast<USHORT>(CDeviceComm::GetLogType(m_LogFile))));
        if (Failed(hr))
            return hr;
        const std::pair<ULONG, HRESULT (CDeviceComm::*)(USHORT&)> reads[] = {
            {METATAG_VALUE_CACHE_TIMEOUT, &CDeviceComm::GetMeasurementCacheTimeout},
            {METATAG_LOG_SETUP_MEMORY_USED_PCT, &CDeviceComm::GetMemoryUsedPercent},
            {METATAG_LOG_SETUP_BATTERY_USED_PCT, &CDeviceComm::GetBatteryUsedPercent},
        };
        for (const auto& [tagIndex, read] : reads)
        {
            USHORT value = 0;
            if (Succeeded((m_Device.*read)(value)))
                Set(tagIndex, MetaTagU16(value));
        }
        return S_OK;
    }

    HRESULT Channels()
    {
        const USHORT count = CDeviceComm::GetLogChannelCount(m_LogFile);
        HRESULT hr = Set(METATAG_LOG_CHANNEL_COUNT, MetaTagU16(count));
        // The table has tag names for the first 32 channels only: a later channel's tags would
        // land on other facts and on each other.
        const USHORT described = std::min<USHORT>(count, METATAG_CHANNEL_GROUPS);
        for (USHORT n = 0; n < described && Succeeded(hr); ++n)
            hr = Channel(n);
        return hr;
    }

    HRESULT Channel(USHORT n)
    {
        ULONG word = 0;
        HRESULT hr = CDeviceComm::GetLogChannel(m_LogFile, n, word);
        const USHORT connection = ChannelConnection(word);
        const USHORT parameter = ChannelParameter(word);
        USHORT sensorId = 0;
        USHORT parameterId = 0;
        USHORT unitsId = 0;
        float sentinel = 0.0f;
        const auto tag = [n](MetaTagChannelField field) { return MetaTagOfChannel(n, field); };
        if (Succeeded(hr))
            hr = Set(tag(METATAG_CHANNEL_SENSOR_CONNECTION), MetaTagU16(connection));
        if (Succeeded(hr))
            hr = m_Device.GetSensorId(connection, sensorId);
        if (Succeeded(hr))
            hr = Set(tag(METATAG_CHANNEL_SENSOR_ID), MetaTagU16(sensorId));
        if (Succeeded(hr))
            hr = Set(tag(METATAG_CHANNEL_PARAMETER_NUMBER), MetaTagU16(parameter));
        if (Succeeded(hr))
            hr = m_Device.GetParameterId(connection, parameter, parameterId);
        if (Succeeded(hr))
            hr = Set(tag(METATAG_CHANNEL_PARAMETER_ID), MetaTagU16(parameterId));
        if (Succeeded(hr))
            hr = m_Device.GetParameterUnitId(connection, parameter, unitsId);
        if (Succeeded(hr))
            hr = Set(tag(METATAG_CHANNEL_UNITS_ID), MetaTagU16(unitsId));
        if (Succeeded(hr))
            hr = m_Device.GetParameterSentinel(connection, parameter, sentinel);
        if (Succeeded(hr))
            hr = Set(tag(METATAG_CHANNEL_SENTINEL_VALUE), MetaTagFloat(sentinel));
        return hr;
    }

    // What triggers an event log.
    HRESULT Event()
    {
        if (CDeviceComm::GetLogType(m_LogFile) != LOG_TYPE_EVENT)
            return S_OK;
        sLogEventDefinition event;
        HRESULT hr = CDeviceComm::GetLogType6Block(m_LogFile, event);
        const USHORT connection = event.SensorConnection;
        const USHORT parameter = event.ParameterNumber;
        USHORT value = 0;
        ULONG serial = 0;
        if (Succeeded(hr))
            hr = m_Device.GetSensorId(connection, value);
        if (Succeeded(hr))
            hr = Set(METATAG_EVENT_SENSOR_ID, MetaTagU16(value));
        if (Succeeded(hr))
            hr = m_Device.GetParameterId(connection, parameter, value);
        if (Succeeded(hr))
            hr = Set(METATAG_EVENT_PARAMETER_ID, MetaTagU16(value));
        if (Succeeded(hr))
            hr = m_Device.GetParameterUnitId(connection, parameter, value);
        if (Succeeded(hr))
            hr = Set(METATAG_EVENT_UNITS_ID, MetaTagU16(value));
        if (Succeeded(hr))
            hr = m_Device.GetSensorSerialNumber(connection, serial);
        if (Succeeded(hr))
            hr = Set(METATAG_EVENT_SENSOR_SERIAL_NUM, MetaTagU32(serial));
        return hr;
    }

    CDeviceComm& m_Device;
    CLogFile& m_LogFile;
    SlaveIdInfo m_SlaveId;
};

} // namespace

HRESULT CDeviceComm::FillLogFileMeta(CLogFile& logFile)
{
    if (!IsTagged())
        return MODBUSCOMM_E_INVALID_DEVICE_THIS;
    try
    {
        return CBaseMetaFill(*this, logFile).Run();
    }
    catch (...)
    {
        return MODBUSCOMM_E_EXCEPTION_CDEVICE;
    }
}

} // namespace NVSystem
