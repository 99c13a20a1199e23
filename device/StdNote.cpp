#include "device/StdNote.h"

#include "foundation/BufferReader.h"
#include "foundation/DeviceTimestamp.h"
#include "foundation/DisplaySettings.h"
#include "foundation/SystemStrings.h"

namespace NVSystem
{

namespace
{

constexpr StringId IDS_TIME_UTC = 10110;
constexpr StringId IDS_USER_NOTE = 10187;
constexpr StringId IDS_USER_ADJUSTED_TIME = 10188;
constexpr StringId IDS_FAULT_ADJUSTED_TIME = 10189;
constexpr StringId IDS_DEVICE_RESET = 10190;
constexpr StringId IDS_DEVICE_OFFLINE = 10191;
constexpr StringId IDS_DEVICE_ONLINE = 10192;
constexpr StringId IDS_SENSOR_DISABLED = 10193;
constexpr StringId IDS_SENSOR_ENABLED = 10194;
constexpr StringId IDS_MANUAL_START = 10195; // to 10199, in sub-code order
constexpr StringId IDS_LOG_AUTO_STARTED = 10200;

CWideString DescribeTimeAdjust(StringId label, CBufferReader& reader)
{
    CDeviceTimestamp time;
    if (Failed(ReadDeviceTimestamp(reader, time)))
        return CWideString(u"");
    SYSTEMTIME utc;
    DeviceTimeToSystemTime(time.GetSeconds(), time.GetFraction(), utc);
    CWideString text = GetSystemString(label) + u" " + FormatDisplayDateTime(utc);
    if (GetUseUTC())
        text = text + u" (" + GetSystemString(IDS_TIME_UTC) + u")";
    return text;
}

CWideString DescribeSensorSwitch(StringId label, CBufferReader& reader)
{
    uint16_t connection = 0;
    if (Failed(reader.ReadUShort(connection)))
        return CWideString(u"");
    const CWideString name = GetSystemString(label);
    CWideString text;
    text.Format(u"%s: %u", name.IsEmpty() ? u"" : static_cast<const char16_t*>(name), unsigned{connection});
    return text;
}

} // namespace

CNVStdNote::~CNVStdNote()
{
    m_Record.Reset();
}

HRESULT CNVStdNote::Load(const CNVLogNotesRecord& record)
{
    Reset();
    m_Record = record;
    return S_OK;
}

void CNVStdNote::Reset()
{
    m_Record.Reset();
}

CWideString CNVStdNote::GetTypeName() const
{
    return GetSystemString(IDS_USER_NOTE);
}

HRESULT CNVStdNote::SerialiseNoteBlock(CByteBuffer& block) const
{
    block.Allocate(0);
    if (m_Record.m_nNoteType != NOTE_TYPE_USER)
        return E_FAIL;
    const BYTE header[NOTE_BLOCK_HEADER_LENGTH] = {NOTE_BLOCK_MARKER_0, NOTE_BLOCK_MARKER_1,
                                                   static_cast<BYTE>(m_Record.m_nSubType),
                                                   static_cast<BYTE>(m_Record.m_nFlags)};
    if (!block.Append(NOTE_BLOCK_HEADER_LENGTH, header) ||
        !block.Append(m_Record.m_Payload.GetLength(), m_Record.m_Payload.GetData()))
    {
        block.Allocate(0);
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

CWideString CNVStdNote::DescribeNote() const
{
    CBufferReader reader(m_Record.m_Payload);
    switch (m_Record.m_nNoteType)
    {
    case NOTE_TYPE_USER:
        return GetTypeName();
    case NOTE_TYPE_USER_TIME_ADJUST:
        return DescribeTimeAdjust(IDS_USER_ADJUSTED_TIME, reader);
    case NOTE_TYPE_FAULT_TIME_ADJUST:
        return DescribeTimeAdjust(IDS_FAULT_ADJUSTED_TIME, reader);
    case NOTE_TYPE_DEVICE_RESET:
        return GetSystemString(IDS_DEVICE_RESET);
    case NOTE_TYPE_DEVICE_OFFLINE:
        return GetSystemString(IDS_DEVICE_OFFLINE);
    case NOTE_TYPE_DEVICE_ONLINE:
        return GetSystemString(IDS_DEVICE_ONLINE);
    case NOTE_TYPE_SENSOR_DISABLED:
        return DescribeSensorSwitch(IDS_SENSOR_DISABLED, reader);
    case NOTE_TYPE_SENSOR_ENABLED:
        return DescribeSensorSwitch(IDS_SENSOR_ENABLED, reader);
    case NOTE_TYPE_DATA_LOG_COMMAND:
        if (m_Record.m_nSubCode >= LOG_COMMAND_MANUAL_START && m_Record.m_nSubCode <= LOG_COMMAND_MANUAL_STOP)
            return GetSystemString(IDS_MANUAL_START + (m_Record.m_nSubCode - LOG_COMMAND_MANUAL_START));
        return CWideString(u"Unknown Data Log Command SubType");
    case NOTE_TYPE_LOG_AUTO_STARTED:
        return GetSystemString(IDS_LOG_AUTO_STARTED);
    default:
        return CWideString(u"Error- Invalid note type");
    }
}

} // namespace NVSystem
