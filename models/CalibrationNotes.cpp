#include "models/CalibrationNotes.h"

namespace NVSystem
{

namespace
{

constexpr uint16_t kVersion = 0;
constexpr const char16_t* kUserNameFormat = u"   %s: %s";

constexpr StringId IDS_SENSOR_SN = 10603;
constexpr StringId IDS_CELL_OFFSET = 10542;
constexpr StringId IDS_CELL_CONSTANT = 10543;
constexpr StringId IDS_REFERENCE_TEMPERATURE = 10544;
constexpr StringId IDS_TEMPERATURE_COEFFICIENT = 10545;
constexpr StringId IDS_CONDUCTIVITY_CALIBRATION = 10609;
constexpr StringId IDS_TURBIDITY_CALIBRATION = 10662;
constexpr StringId IDS_TURBIDITY_SLOPE = 10663;
constexpr StringId IDS_TURBIDITY_OFFSET = 10664;
constexpr StringId IDS_VOX_CALIBRATION = 10665;
constexpr StringId IDS_CAP_SERIAL = 10666;
constexpr StringId IDS_VOX_SLOPE = 10667;
constexpr StringId IDS_VOX_OFFSET = 10668;
constexpr StringId IDS_ORP_CALIBRATION = 10669;
constexpr StringId IDS_ORP_OFFSET = 10670;

} // namespace

// --- Conductivity ---

HRESULT CNVUserNote_Calibrate_Conductivity::Build(ULONG serial, float cellConstant, float cellOffset,
                                                  float referenceTemperature, float temperatureCoefficient)
{
    CPayloadWriter writer = BeginBuild(kSubType, kVersion, serial);
    writer.Write(cellConstant, cellOffset, referenceTemperature, temperatureCoefficient);
    FinishBuild(writer);
    m_fCellConstant = cellConstant;
    m_fCellOffset = cellOffset;
    m_fReferenceTemperature = referenceTemperature;
    m_fTemperatureCoefficient = temperatureCoefficient;
    return S_OK;
}

HRESULT CNVUserNote_Calibrate_Conductivity::Load(const CNVLogNotesRecord& record)
{
    return LoadFields(record, kSubType, kMinimumPayload, m_fCellConstant, m_fCellOffset,
                      m_fReferenceTemperature, m_fTemperatureCoefficient);
}

void CNVUserNote_Calibrate_Conductivity::Reset()
{
    CNVUserNote::Reset();
    m_fCellConstant = 0.0f;
    m_fCellOffset = 0.0f;
    m_fReferenceTemperature = 0.0f;
    m_fTemperatureCoefficient = 0.0f;
}

CWideString CNVUserNote_Calibrate_Conductivity::GetTypeName() const
{
    CWideString text;
    text.Format(u"%s\n%s: %u\n%s: %g  %s: %g\n%s: %g  %s: %g",
                NoteText(NoteLabel(IDS_CONDUCTIVITY_CALIBRATION)), NoteText(NoteLabel(IDS_SENSOR_SN)),
                m_nSerialNumber, NoteText(NoteLabel(IDS_CELL_CONSTANT)), double{m_fCellConstant},
                NoteText(NoteLabel(IDS_CELL_OFFSET)), double{m_fCellOffset},
                NoteText(NoteLabel(IDS_REFERENCE_TEMPERATURE)), double{m_fReferenceTemperature},
                NoteText(NoteLabel(IDS_TEMPERATURE_COEFFICIENT)), double{m_fTemperatureCoefficient});
    return text + UserNamePart(kUserNameFormat);
}

// --- Turbidity ---

HRESULT CNVUserNote_Calibrate_Turbidity::Build(ULONG serial, float slope, float offset)
{
    CPayloadWriter writer = BeginBuild(kSubType, kVersion, serial);
    writer.Write(slope, offset);
    FinishBuild(writer);
    m_fSlope = slope;
    m_fOffset = offset;
    return S_OK;
}

HRESULT CNVUserNote_Calibrate_Turbidity::Load(const CNVLogNotesRecord& record)
{
    return LoadFields(record, kSubType, kMinimumPayload, m_fSlope, m_fOffset);
}

void CNVUserNote_Calibrate_Turbidity::Reset()
{
    CNVUserNote::Reset();
    m_fSlope = 0.0f;
    m_fOffset = 0.0f;
}

CWideString CNVUserNote_Calibrate_Turbidity::GetTypeName() const
{
    CWideString text;
    text.Format(u"%s\n%s: %u\n%s: %g  %s: %g", NoteText(NoteLabel(IDS_TURBIDITY_CALIBRATION)),
                NoteText(NoteLabel(IDS_SENSOR_SN)), m_nSerialNumber, NoteText(NoteLabel(IDS_TURBIDITY_SLOPE)),
                double{m_fSlope}, NoteText(NoteLabel(IDS_TURBIDITY_OFFSET)), double{m_fOffset});
    return text + UserNamePart(kUserNameFormat);
}

// --- VOX ---

HRESULT CNVUserNote_Calibrate_VOX::Build(ULONG serial, ULONG capSerial, float slope, float offset)
{
    CPayloadWriter writer = BeginBuild(kSubType, kVersion, serial);
    writer.Write(capSerial, slope, offset);
    FinishBuild(writer);
    m_nCapSerialNumber = capSerial;
    m_fSlope = slope;
    m_fOffset = offset;
    return S_OK;
}

HRESULT CNVUserNote_Calibrate_VOX::Load(const CNVLogNotesRecord& record)
{
    return LoadFields(record, kSubType, kMinimumPayload, m_nCapSerialNumber, m_fSlope, m_fOffset);
}

void CNVUserNote_Calibrate_VOX::Reset()
{
    CNVUserNote::Reset();
    m_nCapSerialNumber = 0;
    m_fSlope = 0.0f;
    m_fOffset = 0.0f;
}

CWideString CNVUserNote_Calibrate_VOX::GetTypeName() const
{
    CWideString text;
    text.Format(u"%s\n%s: %u  %s: %u\n%s: %g  %s: %g", NoteText(NoteLabel(IDS_VOX_CALIBRATION)),
                NoteText(NoteLabel(IDS_SENSOR_SN)), m_nSerialNumber, NoteText(NoteLabel(IDS_CAP_SERIAL)),
                m_nCapSerialNumber, NoteText(NoteLabel(IDS_VOX_SLOPE)), double{m_fSlope},
                NoteText(NoteLabel(IDS_VOX_OFFSET)), double{m_fOffset});
    return text + UserNamePart(kUserNameFormat);
}

// --- ORP ---

HRESULT CNVUserNote_Calibrate_ORP::Build(ULONG serial, float offset)
{
    CPayloadWriter writer = BeginBuild(kSubType, kVersion, serial);
    writer.Write(offset);
    FinishBuild(writer);
    m_fOffset = offset;
    return S_OK;
}

HRESULT CNVUserNote_Calibrate_ORP::Load(const CNVLogNotesRecord& record)
{
    return LoadFields(record, kSubType, kMinimumPayload, m_fOffset);
}

void CNVUserNote_Calibrate_ORP::Reset()
{
    CNVUserNote::Reset();
    m_fOffset = 0.0f;
}

CWideString CNVUserNote_Calibrate_ORP::GetTypeName() const
{
    CWideString text;
    text.Format(u"%s\n%s: %u\n%s: %g", NoteText(NoteLabel(IDS_ORP_CALIBRATION)),
                NoteText(NoteLabel(IDS_SENSOR_SN)), m_nSerialNumber, NoteText(NoteLabel(IDS_ORP_OFFSET)),
                double{m_fOffset});
    return text + UserNamePart(kUserNameFormat);
}

} // namespace NVSystem
