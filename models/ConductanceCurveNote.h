// The user note of a changed specific-conductance curve (sub-type 4, payload version 0):
//
//     u32 serial, f32 reference temperature, f32 temperature coefficient, 8 x f32 curve
//     coefficients, UserName
#pragma once

#include "device/UserNote.h"
#include "foundation/DynArray.h"

namespace NVSystem
{

class CNVUserNote_SpecCondCurve : public CNVUserNote
{
public:
    static constexpr uint32_t kSubType = USERNOTE_SPEC_COND_CURVE;
    static constexpr uint32_t kCoefficients = 8;
    static constexpr uint32_t kMinimumPayload = 46;

    // Eight coefficients of 0.0.
    CNVUserNote_SpecCondCurve();

    // The curve coefficients are eight 0.0.
    HRESULT Build(ULONG serial, float referenceTemperature, float temperatureCoefficient);
    // The coefficients are brought to exactly eight: missing ones are 0.0, further ones dropped.
    virtual HRESULT BuildWithCurve(ULONG serial, float referenceTemperature, float temperatureCoefficient,
                                   CDynArray<float> coefficients);
    HRESULT Load(const CNVLogNotesRecord& record) override;
    // Empties the coefficient list.
    void Reset() override;
    CWideString GetTypeName() const override;

    float GetReferenceTemperature() const { return m_fReferenceTemperature; }
    float GetTemperatureCoefficient() const { return m_fTemperatureCoefficient; }
    const CDynArray<float>& GetCoefficients() const { return m_Coefficients; }

private:
    float m_fReferenceTemperature = 0.0f;
    float m_fTemperatureCoefficient = 0.0f;
    CDynArray<float> m_Coefficients;
};

} // namespace NVSystem
