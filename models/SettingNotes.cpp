#include "models/SettingNotes.h"

namespace NVSystem
{

namespace
{

constexpr StringId IDS_SPECIFIC_GRAVITY = 10103;
constexpr StringId IDS_TDS_FACTOR = 10167;
constexpr StringId IDS_DYNAMIC_SG_FACTOR = 10169;
constexpr StringId IDS_SENSOR_SN = 10603;

// A version-0 TDS note is the serial and the factor and nothing else.
constexpr uint32_t kTdsFirstVersionPayload = 8;
constexpr uint32_t kTdsMinimumPayload = 10;

CWideString DescribeValue(ULONG serial, StringId label, float value)
{
    CWideString text;
    text.Format(u"%s: %u  %s: %g", NoteText(NoteLabel(IDS_SENSOR_SN)), serial, NoteText(NoteLabel(label)),
                double{value});
    return text;
}

} // namespace

// --- TDS factor ---

HRESULT CNVUserNote_Calibrate_TDSFactor::Build(ULONG serial, float tdsFactor)
{
    CPayloadWriter writer = BeginBuild(kSubType, kVersion, serial);
    writer.Write(tdsFactor);
    FinishBuild(writer);
    m_fTDSFactor = tdsFactor;
    return S_OK;
}

HRESULT CNVUserNote_Calibrate_TDSFactor::Load(const CNVLogNotesRecord& record)
{
    if (const HRESULT hr = BeginLoad(record, kSubType); Failed(hr))
        return hr;
    const uint32_t length = m_Record.m_Payload.GetLength();
    const bool firstVersion = m_Record.m_nFlags == 0;
    if (firstVersion ? length != kTdsFirstVersionPayload : length < kTdsMinimumPayload)
        return E_FAIL;
    CBufferReader reader(m_Record.m_Payload);
    if (const HRESULT hr = ReadFields(reader, m_nSerialNumber, m_fTDSFactor); Failed(hr))
        return hr;
    return firstVersion ? S_OK : ReadUserName(reader);
}

void CNVUserNote_Calibrate_TDSFactor::Reset()
{
    CNVUserNote::Reset();
    m_fTDSFactor = 0.0f;
}

CWideString CNVUserNote_Calibrate_TDSFactor::GetTypeName() const
{
    return DescribeValue(m_nSerialNumber, IDS_TDS_FACTOR, m_fTDSFactor) + UserNamePart(u" %s: %s");
}

// --- Dynamic specific-gravity factor ---

HRESULT CNVUserNote_NewSpecificGravFactor::Build(ULONG serial, float dynamicFactor)
{
    CPayloadWriter writer = BeginBuild(kSubType, 0, serial);
    writer.Write(dynamicFactor);
    FinishBuild(writer);
    m_fFactor = dynamicFactor;
    return S_OK;
}

HRESULT CNVUserNote_NewSpecificGravFactor::Load(const CNVLogNotesRecord& record)
{
    return LoadFields(record, kSubType, kMinimumPayload, m_fFactor);
}

void CNVUserNote_NewSpecificGravFactor::Reset()
{
    CNVUserNote::Reset();
    m_fFactor = 0.0f;
}

CWideString CNVUserNote_NewSpecificGravFactor::GetTypeName() const
{
    return DescribeValue(m_nSerialNumber, IDS_DYNAMIC_SG_FACTOR, m_fFactor) + UserNamePart(u"   %s: %s");
}

// --- Specific gravity ---

HRESULT CNVUserNote_NewSpecificGravity::Build(ULONG serial, float specificGravity)
{
    CPayloadWriter writer = BeginBuild(kSubType, 0, serial);
    writer.Write(specificGravity);
    FinishBuild(writer);
    m_fSpecificGravity = specificGravity;
    return S_OK;
}

HRESULT CNVUserNote_NewSpecificGravity::Load(const CNVLogNotesRecord& record)
{
    return LoadFields(record, kSubType, kMinimumPayload, m_fSpecificGravity);
}

void CNVUserNote_NewSpecificGravity::Reset()
{
    CNVUserNote::Reset();
    m_fSpecificGravity = 0.0f;
}

CWideString CNVUserNote_NewSpecificGravity::GetTypeName() const
{
    return DescribeValue(m_nSerialNumber, IDS_SPECIFIC_GRAVITY, m_fSpecificGravity) +
           UserNamePart(u"   %s: %s");
}

} // namespace NVSystem
