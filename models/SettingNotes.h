// The user notes of changed single-value sensor settings: u32 serial, f32 value, UserName.
//
//     TDS factor                       sub-type 2, payload version 1 (a record of version 0 holds
//                                      exactly the serial and the factor, without a user name)
//     dynamic specific-gravity factor  sub-type 10, version 0
//     specific gravity                 sub-type 11, version 0
#pragma once

#include "device/UserNote.h"

namespace NVSystem
{

class CNVUserNote_Calibrate_TDSFactor : public CNVUserNote
{
public:
    static constexpr uint32_t kSubType = USERNOTE_CALIBRATE_TDS_FACTOR;
    static constexpr uint16_t kVersion = 1;

    HRESULT Build(ULONG serial, float tdsFactor);
    HRESULT Load(const CNVLogNotesRecord& record) override;
    void Reset() override;
    CWideString GetTypeName() const override;

    float GetTDSFactor() const { return m_fTDSFactor; }

private:
    float m_fTDSFactor = 0.0f;
};

class CNVUserNote_NewSpecificGravFactor : public CNVUserNote
{
public:
    static constexpr uint32_t kSubType = USERNOTE_NEW_SPECIFIC_GRAV_FACTOR;
    static constexpr uint32_t kMinimumPayload = 10;

    HRESULT Build(ULONG serial, float dynamicFactor);
    HRESULT Load(const CNVLogNotesRecord& record) override;
    void Reset() override;
    CWideString GetTypeName() const override;

    float GetFactor() const { return m_fFactor; }

private:
    float m_fFactor = 0.0f;
};

class CNVUserNote_NewSpecificGravity : public CNVUserNote
{
public:
    static constexpr uint32_t kSubType = USERNOTE_NEW_SPECIFIC_GRAVITY;
    static constexpr uint32_t kMinimumPayload = 10;

    HRESULT Build(ULONG serial, float specificGravity);
    HRESULT Load(const CNVLogNotesRecord& record) override;
    void Reset() override;
    CWideString GetTypeName() const override;

    float GetSpecificGravity() const { return m_fSpecificGravity; }

private:
    float m_fSpecificGravity = 0.0f;
};

} // namespace NVSystem
