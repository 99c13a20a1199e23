// What the user notes of one changed sensor setting share: a payload of the sensor's serial number,
// the setting's value (u16 or f32) and the UserName field, and a one-line description of the serial
// number and the value under the note's label. The measurement-cache time-out note of the device
// layer and the setting notes of the device models derive from it.
#pragma once

#include <cstdint>

#include "device/UserNote.h"

namespace NVSystem
{

template <typename Value>
class CNVValueNote : public CNVUserNote
{
public:
    // The serial number and the value, then the count of the UserName field.
    static constexpr uint32_t kFirstVersionPayload = 4 + sizeof(Value);
    static constexpr uint32_t kMinimumPayload = kFirstVersionPayload + 2;

    HRESULT Build(ULONG serial, Value value);
    // A payload of at least kMinimumPayload bytes: the serial number, the value, the UserName field.
    HRESULT Load(const CNVLogNotesRecord& record) override;
    void Reset() override;
    CWideString GetTypeName() const override;

protected:
    // The user-name part of the description is formatted with userNameFormat.
    CNVValueNote(uint32_t subType, uint16_t version, StringId label, const char16_t* userNameFormat)
        : m_nSubType(subType), m_nVersion(version), m_nLabel(label), m_pUserNameFormat(userNameFormat)
    {
    }

    Value GetValue() const { return m_Value; }

    // Load of a note whose payload grew with its versions: a record of version 0 is exactly the
    // serial number and the value, without a user name; one of version 1 up to lastWithUserName is
    // read as Load reads it; a later one is read up to the value, without a size check.
    HRESULT LoadVersioned(const CNVLogNotesRecord& record, uint16_t lastWithUserName);

private:
    const uint32_t m_nSubType;
    const uint16_t m_nVersion;
    const StringId m_nLabel;
    const char16_t* const m_pUserNameFormat;
    Value m_Value{};
};

} // namespace NVSystem
