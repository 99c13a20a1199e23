// The user note of a sensor reset to its factory calibration (sub-type 14, payload version 1):
//
//     u32 serial, UserName, u16 restore kind (0..15: which calibration was restored)
//
// A record of version 0 has no kind and stands for a level reference (kind 1).
#pragma once

#include "device/UserNote.h"

namespace NVSystem
{

// The kinds the program writes.
inline constexpr USHORT RESTORE_KIND_PRESSURE_OFFSET = 0;
inline constexpr USHORT RESTORE_KIND_LEVEL_REFERENCE = 1;
inline constexpr USHORT RESTORE_KIND_HEAD_REFERENCE = 3;
// No kind: after construction and reset.
inline constexpr ULONG RESTORE_KIND_NONE = 16;

class CNVUserNote_RestoreFactoryCal_Sensor : public CNVUserNote
{
public:
    static constexpr uint32_t kSubType = USERNOTE_RESTORE_FACTORY_CAL_SENSOR;
    static constexpr uint16_t kVersion = 1;
    static constexpr uint32_t kMinimumPayload = 6;

    HRESULT Build(ULONG serial, USHORT kind);
    // E_FAIL for a kind of 16 or more.
    HRESULT Load(const CNVLogNotesRecord& record) override;
    void Reset() override;
    // The kind's text appears only with the user name.
    CWideString GetTypeName() const override;

    ULONG GetKind() const { return m_nKind; }

private:
    ULONG m_nKind = RESTORE_KIND_NONE;
};

} // namespace NVSystem
