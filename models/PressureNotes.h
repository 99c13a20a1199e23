// The user notes of the pressure and level sensors (payload version 0):
//
//     zero pressure   sub-type 12: u32 serial, f32 pressure offset, u16 unit of the offset, UserName
//     level / head    sub-types 15 / 19: u32 serial, f32 new reference value, f32 depth,
//     reference       u16 depth unit, f32 head pressure, f32 pressure offset, u16 unit of both
//                     pressures, f32 temperature, u16 temperature unit, UserName
//
// The reference notes take their values in another order than the payload: the five floats
// first, then the three units.
#pragma once

#include "device/UserNote.h"
#include "foundation/VocabularyIds.h"

namespace NVSystem
{

class CNVUserNote_Calibration_ZeroPressureSensor : public CNVUserNote
{
public:
    static constexpr uint32_t kSubType = USERNOTE_CALIBRATION_ZERO_PRESSURE_SENSOR;
    static constexpr uint32_t kMinimumPayload = 12;

    HRESULT Build(ULONG serial, float pressureOffset, USHORT unitId);
    HRESULT Load(const CNVLogNotesRecord& record) override;
    void Reset() override;
    CWideString GetTypeName() const override;

    float GetPressureOffset() const { return m_fPressureOffset; }
    UnitId GetUnitId() const { return m_nUnitId; }

private:
    float m_fPressureOffset = 0.0f;
    UnitId m_nUnitId = 0;
};

// What the level and the head reference notes share; they differ in sub-type and labels.
class CNVReferenceCalNote : public CNVUserNote
{
public:
    static constexpr uint32_t kMinimumPayload = 32;

    HRESULT Build(ULONG serial, float newReference, float depth, float headPressure, float pressureOffset,
                  float temperature, USHORT depthUnit, USHORT pressureUnit, USHORT temperatureUnit);
    HRESULT Load(const CNVLogNotesRecord& record) override;
    void Reset() override;
    CWideString GetTypeName() const override;

    float GetNewReference() const { return m_fNewReference; }
    float GetDepth() const { return m_fDepth; }
    float GetHeadPressure() const { return m_fHeadPressure; }
    float GetPressureOffset() const { return m_fPressureOffset; }
    float GetTemperature() const { return m_fTemperature; }
    UnitId GetDepthUnit() const { return m_nDepthUnit; }
    UnitId GetPressureUnit() const { return m_nPressureUnit; }
    UnitId GetTemperatureUnit() const { return m_nTemperatureUnit; }

protected:
    struct sLabels
    {
        StringId title;
        StringId reference;
        StringId headPressure;
        const char16_t* format;
        const char16_t* userNameFormat;
    };
    CNVReferenceCalNote(uint32_t subType, const sLabels& labels) : m_nSubType(subType), m_Labels(labels) {}

private:
    const uint32_t m_nSubType;
    const sLabels m_Labels;
    float m_fNewReference = 0.0f;
    float m_fDepth = 0.0f;
    float m_fHeadPressure = 0.0f;
    float m_fPressureOffset = 0.0f;
    float m_fTemperature = 0.0f;
    UnitId m_nDepthUnit = 0;
    UnitId m_nPressureUnit = 0;
    UnitId m_nTemperatureUnit = 0;
};

class CNVUserNote_Calibrate_SetNewLevelRef : public CNVReferenceCalNote
{
public:
    static constexpr uint32_t kSubType = USERNOTE_CALIBRATE_SET_NEW_LEVEL_REF;
    CNVUserNote_Calibrate_SetNewLevelRef();
};

class CNVUserNote_Calibrate_SetNewHeadRef : public CNVReferenceCalNote
{
public:
    static constexpr uint32_t kSubType = USERNOTE_CALIBRATE_SET_NEW_HEAD_REF;
    CNVUserNote_Calibrate_SetNewHeadRef();
};

} // namespace NVSystem
