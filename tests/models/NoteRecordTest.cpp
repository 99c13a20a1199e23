// The log-note record and the standard note: the block a user note becomes and the description of
// a note of any type.
#include "foundation/DisplaySettings.h"
#include "platform/SettingsStore.h"
#include "tests/models/NoteTestSupport.h"
#include "tests/support/TestEnvironment.h"

namespace notetest
{
namespace
{

using NVSystem::CNVLogNotesRecord;
using NVSystem::CNVStdNote;

CNVStdNote& Loaded(CNVStdNote& note, const CNVLogNotesRecord& record)
{
    EXPECT_EQ(note.Load(record), S_OK);
    return note;
}

TEST(NoteRecord, ResetAndCopyKeepTheTagAndOwnTheirBuffers)
{
    CNVLogNotesRecord record = Record(8, 3, 0x101, {1, 2, 3});
    record.m_nSubCode = 19;
    record.m_Time.Set(77, 5);
    record.m_Extra = testsupport::ToBuffer({9});

    CNVLogNotesRecord copy;
    copy = record;
    record.m_Payload.GetData()[0] = 0xEE;
    EXPECT_EQ(copy.m_nSubCode, 19u);
    EXPECT_EQ(copy.m_Time, CDeviceTimestamp(77, 5));
    EXPECT_EQ(testsupport::FromBuffer(copy.m_Payload), (ByteVector{1, 2, 3}));
    EXPECT_EQ(testsupport::FromBuffer(copy.m_Extra), ByteVector{9});

    copy = *&copy;
    EXPECT_EQ(testsupport::FromBuffer(copy.m_Payload), (ByteVector{1, 2, 3}));

    copy.Reset();
    EXPECT_EQ(copy.m_nNoteType, NVSystem::NOTE_CODE_NONE);
    EXPECT_EQ(copy.m_Payload.GetCapacity(), 0u);
    EXPECT_EQ(copy.GetTag(), 0x434E4F54u);
}

TEST(NoteRecord, OnlyUserNotesBecomeBlocks)
{
    CNVStdNote fresh;
    CByteBuffer block = testsupport::ToBuffer({1, 2});
    EXPECT_EQ(fresh.SerialiseNoteBlock(block), E_FAIL);
    EXPECT_EQ(block.GetCapacity(), 0u);
    // Only the low bytes of sub-type and flags travel; the time and the sub-code do not.
    CNVStdNote note;
    CNVLogNotesRecord wide = Record(0, 0x1FF, 0x0302, {0xAA, 0xBB});
    wide.m_nSubCode = 20;
    wide.m_Time.Set(123456, 7);
    EXPECT_EQ(Block(Loaded(note, wide)), (ByteVector{0x00, 0x02, 0xFF, 0x02, 0xAA, 0xBB}));
}

class NoteDescription : public ::testing::Test
{
protected:
    NoteDescription() { ResetDisplaySettingsForTests(); }
    ~NoteDescription() override { ResetDisplaySettingsForTests(); }

    std::u16string Describe(uint32_t type, const ByteVector& payload, uint32_t subCode = 255)
    {
        CNVLogNotesRecord record = Record(type, 255, 0, payload);
        record.m_nSubCode = subCode;
        CNVStdNote note;
        return Text(Loaded(note, record).DescribeNote());
    }

    testsupport::ScopedConfigDir m_config;
};

TEST_F(NoteDescription, FixedTextsSensorSwitchesAndTimeAdjustmentsAsTheUserWantsThem)
{
    EXPECT_EQ(Describe(3, {}), u"Device Reset");
    EXPECT_EQ(Describe(9, {}), u"Log auto-started due to lost clock");
    EXPECT_EQ(Describe(8, {}, 17), u"Manual Start Command");
    EXPECT_EQ(Describe(8, {}, 22), u"Unknown Data Log Command SubType");
    EXPECT_EQ(Describe(10, {}), u"Error- Invalid note type");
    EXPECT_EQ(Describe(12, {1, 2, 3}), u"Error- Invalid note type");
    // A switch without its connection says nothing.
    EXPECT_EQ(Describe(6, {}), u"");
    EXPECT_EQ(Describe(6, {0x00, 0x03}), u"Sensor Disabled: 3");
    EXPECT_EQ(Describe(7, {0x01, 0x00, 0xFF}), u"Sensor Enabled: 256");
    const SYSTEMTIME epoch{1970, 1, 4, 1, 0, 0, 0, 0};
    const SYSTEMTIME later{2024, 3, 0, 31, 23, 30, 0, 0};
    EXPECT_EQ(Describe(1, ByteVector(6, 0)), u"User Adjusted Time To: " + Text(FormatDisplayDateTime(epoch)));
    // Shorter than a time stamp: nothing is read and the time stays at its start.
    EXPECT_EQ(Describe(2, {0x65}),
              u"Fault Recovery Adjusted Time To (UTC): " + Text(FormatDisplayDateTime(epoch)));

    ASSERT_TRUE(platform::settings::SetDword(platform::Hive::CurrentUser,
                                             u"Software\\Norvane\\Fieldmere\\SystemSettings", u"UseUTC", 1));
    // 2024-03-31 23:30:00 UTC is 1711927800 seconds.
    EXPECT_EQ(Describe(1, {0x66, 0x09, 0xF1, 0xF8, 0x80, 0x00}),
              u"User Adjusted Time To: " + Text(FormatDisplayDateTime(later)) + u" (Time (UTC))");
    EXPECT_NE(Text(FormatDisplayDateTime(later)).find(u"23:30:00"), std::u16string::npos);
}

} // namespace
} // namespace notetest
