#include "models/PressureNotes.h"

#include "foundation/NameLookups.h"

namespace NVSystem
{

namespace
{

constexpr uint16_t kVersion = 0;

constexpr StringId IDS_SET_NEW_REFERENCE = 10178;
constexpr StringId IDS_LEVEL_REFERENCE_HEAD_PRESSURE = 10186;
constexpr StringId IDS_TEMPERATURE = 10299;
constexpr StringId IDS_DEPTH = 10301;
constexpr StringId IDS_PRESSURE_OFFSET = 10522;
constexpr StringId IDS_SENSOR_SN = 10603;
constexpr StringId IDS_PRESSURE_ZEROED = 10607;
constexpr StringId IDS_LEVEL_CALIBRATION = 10608;
constexpr StringId IDS_HEAD_CALIBRATION = 10611;
constexpr StringId IDS_HEAD_REFERENCE = 10612;
constexpr StringId IDS_HEAD_REFERENCE_PRESSURE = 10613;

// The level description ends with a line feed, so its user-name part starts without blanks; the
// head description does not.
constexpr const char16_t* kLevelFormat =
    u"%s: %u %s\n%s: %g\n%s: %g(%s)\n%s: %g(%s)\n%s: %g(%s)\n%s: %g(%s)\n";
constexpr const char16_t* kHeadFormat = u"%s: %u %s\n%s: %g\n%s: %g(%s)\n%s: %g(%s)\n%s: %g(%s)\n%s: %g(%s)";

} // namespace

// --- Zero pressure ---

HRESULT CNVUserNote_Calibration_ZeroPressureSensor::Build(ULONG serial, float pressureOffset, USHORT unitId)
{
    CPayloadWriter writer = BeginBuild(kSubType, kVersion, serial);
    writer.Write(pressureOffset, unitId);
    FinishBuild(writer);
    m_fPressureOffset = pressureOffset;
    m_nUnitId = unitId;
    return S_OK;
}

HRESULT CNVUserNote_Calibration_ZeroPressureSensor::Load(const CNVLogNotesRecord& record)
{
    return LoadFields(record, kSubType, kMinimumPayload, m_fPressureOffset, m_nUnitId);
}

void CNVUserNote_Calibration_ZeroPressureSensor::Reset()
{
    CNVUserNote::Reset();
    m_fPressureOffset = 0.0f;
    m_nUnitId = 0;
}

CWideString CNVUserNote_Calibration_ZeroPressureSensor::GetTypeName() const
{
    CWideString text;
    text.Format(u"%s: %u  %s [%s: %g(%s)]", NoteText(NoteLabel(IDS_SENSOR_SN)), m_nSerialNumber,
                NoteText(NoteLabel(IDS_PRESSURE_ZEROED)), NoteText(NoteLabel(IDS_PRESSURE_OFFSET)),
                double{m_fPressureOffset}, NoteText(GetUnitAbbreviation(m_nUnitId)));
    return text + UserNamePart(u"   %s: %s");
}

// --- Level and head references ---

CNVUserNote_Calibrate_SetNewLevelRef::CNVUserNote_Calibrate_SetNewLevelRef()
    : CNVReferenceCalNote(kSubType, sLabels{IDS_LEVEL_CALIBRATION, IDS_SET_NEW_REFERENCE,
                                            IDS_LEVEL_REFERENCE_HEAD_PRESSURE, kLevelFormat, u"%s: %s"})
{
}

CNVUserNote_Calibrate_SetNewHeadRef::CNVUserNote_Calibrate_SetNewHeadRef()
    : CNVReferenceCalNote(kSubType, sLabels{IDS_HEAD_CALIBRATION, IDS_HEAD_REFERENCE,
                                            IDS_HEAD_REFERENCE_PRESSURE, kHeadFormat, u"   %s: %s"})
{
}

HRESULT CNVReferenceCalNote::Build(ULONG serial, float newReference, float depth, float headPressure,
                                   float pressureOffset, float temperature, USHORT depthUnit,
                                   USHORT pressureUnit, USHORT temperatureUnit)
{
    CPayloadWriter writer = BeginBuild(m_nSubType, kVersion, serial);
    writer.Write(newReference, depth, depthUnit, headPressure, pressureOffset, pressureUnit, temperature,
                 temperatureUnit);
    FinishBuild(writer);
    m_fNewReference = newReference;
    m_fDepth = depth;
    m_fHeadPressure = headPressure;
    m_fPressureOffset = pressureOffset;
    m_fTemperature = temperature;
    m_nDepthUnit = depthUnit;
    m_nPressureUnit = pressureUnit;
    m_nTemperatureUnit = temperatureUnit;
    return S_OK;
}

HRESULT CNVReferenceCalNote::Load(const CNVLogNotesRecord& record)
{
    return LoadFields(record, m_nSubType, kMinimumPayload, m_fNewReference, m_fDepth, m_nDepthUnit,
                      m_fHeadPressure, m_fPressureOffset, m_nPressureUnit, m_fTemperature,
                      m_nTemperatureUnit);
}

void CNVReferenceCalNote::Reset()
{
    CNVUserNote::Reset();
    m_fNewReference = 0.0f;
    m_fDepth = 0.0f;
    m_fHeadPressure = 0.0f;
    m_fPressureOffset = 0.0f;
    m_fTemperature = 0.0f;
    m_nDepthUnit = 0;
    m_nPressureUnit = 0;
    m_nTemperatureUnit = 0;
}

CWideString CNVReferenceCalNote::GetTypeName() const
{
    const CWideString pressureUnit = GetUnitAbbreviation(m_nPressureUnit);
    CWideString text;
    text.Format(m_Labels.format, NoteText(NoteLabel(IDS_SENSOR_SN)), m_nSerialNumber,
                NoteText(NoteLabel(m_Labels.title)), NoteText(NoteLabel(m_Labels.reference)),
                double{m_fNewReference}, NoteText(NoteLabel(IDS_DEPTH)), double{m_fDepth},
                NoteText(GetUnitAbbreviation(m_nDepthUnit)), NoteText(NoteLabel(m_Labels.headPressure)),
                double{m_fHeadPressure}, NoteText(pressureUnit), NoteText(NoteLabel(IDS_PRESSURE_OFFSET)),
                double{m_fPressureOffset}, NoteText(pressureUnit), NoteText(NoteLabel(IDS_TEMPERATURE)),
                double{m_fTemperature}, NoteText(GetUnitAbbreviation(m_nTemperatureUnit)));
    return text + UserNamePart(m_Labels.userNameFormat);
}

} // namespace NVSystem
