// The user notes of sensor calibrations with a layout of their own (payload version 0):
//
//     conductivity  u32 serial, f32 cell constant, f32 cell offset, f32 reference temperature,
//                   f32 temperature coefficient, UserName
//     turbidity     u32 serial, f32 slope, f32 offset, UserName
//     VOX           u32 serial, u32 sensing-cap serial, f32 slope, f32 offset, UserName
//     ORP           u32 serial, f32 offset (mV), UserName
//
// The two-segment calibrations (pH and the ion and optical sensors) are in TwoSegmentCalNotes.h.
#pragma once

#include "device/UserNote.h"

namespace NVSystem
{

class CNVUserNote_Calibrate_Conductivity : public CNVUserNote
{
public:
    static constexpr uint32_t kSubType = USERNOTE_CALIBRATE_CONDUCTIVITY;
    static constexpr uint32_t kMinimumPayload = 22;

    HRESULT Build(ULONG serial, float cellConstant, float cellOffset, float referenceTemperature,
                  float temperatureCoefficient);
    HRESULT Load(const CNVLogNotesRecord& record) override;
    void Reset() override;
    CWideString GetTypeName() const override;

    float GetCellConstant() const { return m_fCellConstant; }
    float GetCellOffset() const { return m_fCellOffset; }
    float GetReferenceTemperature() const { return m_fReferenceTemperature; }
    float GetTemperatureCoefficient() const { return m_fTemperatureCoefficient; }

private:
    float m_fCellConstant = 0.0f;
    float m_fCellOffset = 0.0f;
    float m_fReferenceTemperature = 0.0f;
    float m_fTemperatureCoefficient = 0.0f;
};

class CNVUserNote_Calibrate_Turbidity : public CNVUserNote
{
public:
    static constexpr uint32_t kSubType = USERNOTE_CALIBRATE_TURBIDITY;
    static constexpr uint32_t kMinimumPayload = 14;

    HRESULT Build(ULONG serial, float slope, float offset);
    HRESULT Load(const CNVLogNotesRecord& record) override;
    void Reset() override;
    CWideString GetTypeName() const override;

    float GetSlope() const { return m_fSlope; }
    float GetOffset() const { return m_fOffset; }

private:
    float m_fSlope = 0.0f;
    float m_fOffset = 0.0f;
};

class CNVUserNote_Calibrate_VOX : public CNVUserNote
{
public:
    static constexpr uint32_t kSubType = USERNOTE_CALIBRATE_VOX;
    static constexpr uint32_t kMinimumPayload = 18;

    HRESULT Build(ULONG serial, ULONG capSerial, float slope, float offset);
    HRESULT Load(const CNVLogNotesRecord& record) override;
    void Reset() override;
    CWideString GetTypeName() const override;

    ULONG GetCapSerialNumber() const { return m_nCapSerialNumber; }
    float GetSlope() const { return m_fSlope; }
    float GetOffset() const { return m_fOffset; }

private:
    ULONG m_nCapSerialNumber = 0;
    float m_fSlope = 0.0f;
    float m_fOffset = 0.0f;
};

class CNVUserNote_Calibrate_ORP : public CNVUserNote
{
public:
    static constexpr uint32_t kSubType = USERNOTE_CALIBRATE_ORP;
    static constexpr uint32_t kMinimumPayload = 10;

    HRESULT Build(ULONG serial, float offset);
    HRESULT Load(const CNVLogNotesRecord& record) override;
    void Reset() override;
    CWideString GetTypeName() const override;

    float GetOffset() const { return m_fOffset; }

private:
    float m_fOffset = 0.0f;
};

} // namespace NVSystem
