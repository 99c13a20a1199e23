// What the note tests share: records from literal bytes, note blocks as byte vectors, and the user
// name that notes are built with.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "device/StdNote.h"
#include "device/UserNote.h"
#include "foundation/SystemStrings.h"
#include "tests/support/Bytes.h"

namespace notetest
{

using testsupport::ByteVector;

inline NVSystem::CNVLogNotesRecord Record(uint32_t type, uint32_t subType, uint16_t flags,
                                          const ByteVector& payload)
{
    NVSystem::CNVLogNotesRecord record;
    record.m_nNoteType = type;
    record.m_nSubType = subType;
    record.m_nFlags = flags;
    record.m_Payload = testsupport::ToBuffer(payload);
    return record;
}

inline ByteVector Block(const NVSystem::CNVStdNote& note)
{
    CByteBuffer block;
    EXPECT_EQ(note.SerialiseNoteBlock(block), S_OK);
    return testsupport::FromBuffer(block);
}

inline ByteVector Payload(const NVSystem::CNVStdNote& note)
{
    return testsupport::FromBuffer(note.GetRecord().m_Payload);
}

inline std::u16string Text(const CWideString& text)
{
    const char16_t* units = text;
    return units != nullptr ? units : u"";
}

// Notes built while it lives carry the given user name.
class ScopedUserName
{
public:
    explicit ScopedUserName(std::u16string name)
    {
        s_name = std::move(name);
        NVSystem::SetNoteUserNameSourceForTests(&Name);
    }
    ~ScopedUserName() { NVSystem::SetNoteUserNameSourceForTests(nullptr); }

private:
    static CWideString Name() { return CWideString(s_name.c_str()); }
    static inline std::u16string s_name;
};

} // namespace notetest
