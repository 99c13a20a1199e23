// The user notes of changed single-value sensor settings: u32 serial, f32 value, UserName.
//
//     TDS factor                       sub-type 2, payload version 1 (a record of version 0 holds
//                                      exactly the serial and the factor, without a user name)
//     dynamic specific-gravity factor  sub-type 10, version 0
//     specific gravity                 sub-type 11, version 0
#pragma once

#include "device/ValueNote.h"

namespace NVSystem
{

class CNVUserNote_Calibrate_TDSFactor : public CNVValueNote<float>
{
public:
    static constexpr uint32_t kSubType = USERNOTE_CALIBRATE_TDS_FACTOR;
    static constexpr uint16_t kVersion = 1;

    CNVUserNote_Calibrate_TDSFactor();
    HRESULT Load(const CNVLogNotesRecord& record) override;

    float GetTDSFactor() const { return GetValue(); }
};

class CNVUserNote_NewSpecificGravFactor : public CNVValueNote<float>
{
public:
    static constexpr uint32_t kSubType = USERNOTE_NEW_SPECIFIC_GRAV_FACTOR;

    CNVUserNote_NewSpecificGravFactor();

    float GetFactor() const { return GetValue(); }
};

class CNVUserNote_NewSpecificGravity : public CNVValueNote<float>
{
public:
    static constexpr uint32_t kSubType = USERNOTE_NEW_SPECIFIC_GRAVITY;

    CNVUserNote_NewSpecificGravity();

    float GetSpecificGravity() const { return GetValue(); }
};

} // namespace NVSystem
