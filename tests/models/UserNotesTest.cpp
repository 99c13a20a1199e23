// The user notes: the exact bytes a build writes, what Load accepts and refuses, and the texts that
// describe them.
#include <algorithm>
#include <functional>
#include <memory>

#include "foundation/ResultCodes.h"
#include "models/UserNotes.h"
#include "tests/models/NoteTestSupport.h"

namespace notetest
{
namespace
{

using namespace NVSystem;

ByteVector Concat(ByteVector first, const ByteVector& second)
{
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

bool EndsWith(const std::u16string& text, const std::u16string& end)
{
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// --- Golden bytes ---

TEST(UserNoteBytes, CalibrationSettingAndRestoreNotesCarryTheirValuesAndTheUserBigEndian)
{
    ScopedUserName user(u"ab");
    CNVUserNote_Calibrate_Turbidity calibration;
    ASSERT_EQ(calibration.Build(1234, 1.0f, 0.0f), S_OK);
    const ByteVector payload{0x00, 0x00, 0x04, 0xD2, 0x3F, 0x80, 0x00, 0x00, 0x00,
                             0x00, 0x00, 0x00, 0x00, 0x02, 0x00, 0x61, 0x00, 0x62};
    EXPECT_EQ(Payload(calibration), payload);
    EXPECT_EQ(Block(calibration), Concat({0x00, 0x02, 0x17, 0x00}, payload));
    EXPECT_EQ(calibration.GetRecord().m_nNoteType, NOTE_TYPE_USER);
    EXPECT_GT(calibration.GetRecord().m_Time.GetSeconds(), 1700000000u); // built now

    // A setting note of version 1.
    CNVUserNote_Calibrate_TDSFactor setting;
    ASSERT_EQ(setting.Build(7, 0.5f), S_OK);
    EXPECT_EQ(Block(setting), (ByteVector{0x00, 0x02, 0x02, 0x01, 0x00, 0x00, 0x00, 0x07, 0x3F, 0x00, 0x00,
                                          0x00, 0x00, 0x02, 0x00, 0x61, 0x00, 0x62}));
    EXPECT_EQ(Text(setting.GetTypeName()), u"Sensor SN: 7  TDS Factor: 0.5 User Name: ab");

    // A restore note puts its kind after the user name.
    CNVUserNote_RestoreFactoryCal_Sensor restore;
    ASSERT_EQ(restore.Build(0x01020304, RESTORE_KIND_HEAD_REFERENCE), S_OK);
    EXPECT_EQ(Block(restore), (ByteVector{0x00, 0x02, 0x0E, 0x01, 0x01, 0x02, 0x03, 0x04, 0x00, 0x02, 0x00,
                                          0x61, 0x00, 0x62, 0x00, 0x03}));
    EXPECT_EQ(Text(restore.GetTypeName()),
              u"Sensor SN: 16909060   Head reference reset to factory calibration (0.0).  User Name: ab");
}

TEST(UserNoteBytes, ABlockShortenedToFitCutsOnlyTheUserName)
{
    ScopedUserName user(u"abcd");
    // The kind of a restore note follows the name and stays.
    CNVUserNote_RestoreFactoryCal_Sensor restore;
    ASSERT_EQ(restore.Build(0x01020304, RESTORE_KIND_HEAD_REFERENCE), S_OK);
    CByteBuffer block;
    uint32_t kept = 99;
    ASSERT_EQ(restore.SerialiseNoteBlockWithin(15, block, kept), S_OK);
    EXPECT_EQ(kept, 1u);
    EXPECT_EQ(testsupport::FromBuffer(block), (ByteVector{0x00, 0x02, 0x0E, 0x01, 0x01, 0x02, 0x03, 0x04,
                                                          0x00, 0x01, 0x00, 0x61, 0x00, 0x03}));
    EXPECT_EQ(Text(restore.GetUserName()), u"abcd");
    // Room for all of it: the block as it is.
    ASSERT_EQ(restore.SerialiseNoteBlockWithin(100, block, kept), S_OK);
    EXPECT_EQ(kept, 4u);
    EXPECT_EQ(testsupport::FromBuffer(block), Block(restore));
    // No room even for an empty name.
    EXPECT_EQ(restore.SerialiseNoteBlockWithin(11, block, kept), E_FAIL);
    EXPECT_EQ(block.GetLength(), 0u);

    // A loaded note knows where its name is too.
    CNVUserNote_RestoreFactoryCal_Sensor loaded;
    ASSERT_EQ(loaded.Load(restore.GetRecord()), S_OK);
    ASSERT_EQ(loaded.SerialiseNoteBlockWithin(18, block, kept), S_OK);
    EXPECT_EQ(kept, 3u);
}

TEST(UserNoteBytes, TheUserNameIsCountedInUtf16CodeUnits)
{
    // Four characters, five code units: the last one lies outside the basic plane.
    ScopedUserName user(u"Zo\u00EB\U0001F600");
    CNVUserNote_Calibrate_ORP note;
    ASSERT_EQ(note.Build(1, -2.5f), S_OK);
    EXPECT_EQ(Payload(note), (ByteVector{0,    0,    0,    1,    0xC0, 0x20, 0x00, 0x00, 0x00, 0x05,
                                         0x00, 0x5A, 0x00, 0x6F, 0x00, 0xEB, 0xD8, 0x3D, 0xDE, 0x00}));

    CNVUserNote_Calibrate_ORP loaded;
    ASSERT_EQ(loaded.Load(note.GetRecord()), S_OK);
    EXPECT_EQ(Text(loaded.GetUserName()), u"Zo\u00EB\U0001F600");
    EXPECT_EQ(loaded.GetOffset(), -2.5f);
}

TEST(UserNoteBytes, TheCurveAlwaysHasEightCoefficients)
{
    ScopedUserName user(u"ab");
    CNVUserNote_SpecCondCurve note;
    for (uint32_t count : {3u, 10u})
    {
        CDynArray<float> curve;
        for (uint32_t i = 0; i < count; ++i)
            curve.Add(static_cast<float>(i + 1));
        ASSERT_EQ(note.BuildWithCurve(5, 25.0f, 0.02f, curve), S_OK);
        // Serial, two floats, eight coefficients, the user name; the last one read is the eighth.
        const ByteVector payload = Payload(note);
        ASSERT_EQ(payload.size(), 46u + 2 * 2) << count;
        EXPECT_EQ((ByteVector(payload.begin() + 40, payload.begin() + 44)),
                  (count > 7 ? ByteVector{0x41, 0, 0, 0} : ByteVector{0, 0, 0, 0}))
            << count;
    }
}

// --- Load ---

template <typename Note>
std::unique_ptr<CNVUserNote> Make()
{
    return std::make_unique<Note>();
}

TEST(UserNoteLoad, MinimumLengthsAndCountsThatOverrunThePayload)
{
    // Two-segment: 24 bytes of fixed fields and count; the minimum asks for one code unit more.
    const ByteVector fixed{0,    0, 0, 9,    0, 3, 0x3F, 0x80, 0,    0, 0x40,
                           0xE0, 0, 0, 0x3F, 0, 0, 0,    0xC0, 0x20, 0, 0};
    CNVUserNote_Calibrate_Nitrate nitrate;
    EXPECT_EQ(nitrate.Load(Record(0, 27, 0, Concat(fixed, {0, 0}))), E_FAIL);
    ASSERT_EQ(nitrate.Load(Record(0, 27, 0, Concat(fixed, {0, 1, 0, 'x'}))), S_OK);
    EXPECT_EQ(Text(nitrate.GetUserName()), u"x");
    EXPECT_EQ(nitrate.GetCalibrationCount(), 3);
    EXPECT_EQ(nitrate.GetOffset2(), -2.5f);
    // A count that claims more code units than remain: the fields read so far stay.
    EXPECT_EQ(nitrate.Load(Record(0, 27, 0, Concat(fixed, {0, 2, 0, 'x'}))), E_BUFFER_EXTRACTION_OVERRUN);
    EXPECT_EQ(nitrate.GetSerialNumber(), 9u);
    EXPECT_EQ(nitrate.GetSlope2(), 0.5f);
    EXPECT_TRUE(nitrate.GetUserName().IsEmpty());
    EXPECT_EQ(nitrate.Load(Record(0, 27, 0, Concat(fixed, {0xFF, 0xFF, 0, 'x'}))),
              E_BUFFER_EXTRACTION_OVERRUN);
    // Conductivity: exactly the fixed fields and a count of 0 is a note without a user name.
    CNVUserNote_Calibrate_Conductivity conductivity;
    ByteVector exact(22, 0);
    exact[3] = 4;
    ASSERT_EQ(conductivity.Load(Record(0, 3, 0, exact)), S_OK);
    EXPECT_EQ(conductivity.GetSerialNumber(), 4u);
    EXPECT_TRUE(conductivity.GetUserName().IsEmpty());
    EXPECT_EQ(conductivity.Load(Record(0, 3, 0, ByteVector(21, 0))), E_FAIL);
}

TEST(UserNoteLoad, VersionedNotesCheckTheirSizeByVersion)
{
    // TDS factor: version 0 is exactly the serial and the factor, without a user name.
    const ByteVector tds{0, 0, 0, 1, 0x3F, 0, 0, 0};
    CNVUserNote_Calibrate_TDSFactor factor;
    ASSERT_EQ(factor.Load(Record(0, 2, 0, tds)), S_OK);
    EXPECT_EQ(factor.Load(Record(0, 2, 0, Concat(tds, {0, 0}))), E_FAIL);
    EXPECT_EQ(factor.Load(Record(0, 2, 1, tds)), E_FAIL);
    // Restore: version 0 has no kind and means a level reference; a kind of 16 or more is refused.
    const ByteVector restore{0, 0, 0, 1, 0, 1, 0, 'q'};
    CNVUserNote_RestoreFactoryCal_Sensor restored;
    ASSERT_EQ(restored.Load(Record(0, 14, 0, restore)), S_OK);
    EXPECT_EQ(restored.GetKind(), RESTORE_KIND_LEVEL_REFERENCE);
    ASSERT_EQ(restored.Load(Record(0, 14, 1, Concat(restore, {0, 15}))), S_OK);
    EXPECT_EQ(restored.GetKind(), 15u);
    EXPECT_EQ(restored.Load(Record(0, 14, 1, Concat(restore, {0, 16}))), E_FAIL);
    EXPECT_EQ(restored.Load(Record(0, 14, 1, restore)), E_BUFFER_EXTRACTION_OVERRUN);
}

TEST(UserNoteLoad, ANoteOfExactlyItsMinimumLengthLoadsAndOneByteLessDoesNot)
{
    // Zeros throughout: the fields are 0 and the user name's count too.
    struct Minimum
    {
        const char* name;
        std::unique_ptr<CNVUserNote> (*make)();
        uint32_t subType;
        uint16_t version;
        uint32_t bytes;
    };
    const Minimum minimums[] = {
        {"restore", &Make<CNVUserNote_RestoreFactoryCal_Sensor>,
         CNVUserNote_RestoreFactoryCal_Sensor::kSubType, 0, 6},
        {"curve", &Make<CNVUserNote_SpecCondCurve>, CNVUserNote_SpecCondCurve::kSubType, 0, 46},
        {"TDS factor", &Make<CNVUserNote_Calibrate_TDSFactor>, CNVUserNote_Calibrate_TDSFactor::kSubType, 1,
         10},
        {"SG", &Make<CNVUserNote_NewSpecificGravity>, CNVUserNote_NewSpecificGravity::kSubType, 0, 10},
        {"SG factor", &Make<CNVUserNote_NewSpecificGravFactor>, CNVUserNote_NewSpecificGravFactor::kSubType,
         0, 10},
        {"measurement cache", &Make<CNVUserNote_SensorMeasCacheTO>, CNVUserNote_SensorMeasCacheTO::kSubType,
         1, 8},
        {"turbidity", &Make<CNVUserNote_Calibrate_Turbidity>, CNVUserNote_Calibrate_Turbidity::kSubType, 0,
         14},
        {"VOX", &Make<CNVUserNote_Calibrate_VOX>, CNVUserNote_Calibrate_VOX::kSubType, 0, 18},
        {"ORP", &Make<CNVUserNote_Calibrate_ORP>, CNVUserNote_Calibrate_ORP::kSubType, 0, 10},
        {"zero pressure", &Make<CNVUserNote_Calibration_ZeroPressureSensor>,
         CNVUserNote_Calibration_ZeroPressureSensor::kSubType, 0, 12},
        {"level reference", &Make<CNVUserNote_Calibrate_SetNewLevelRef>,
         CNVUserNote_Calibrate_SetNewLevelRef::kSubType, 0, 32},
        {"pH", &Make<CNVUserNote_Calibrate_pH>, CNVUserNote_Calibrate_pH::kSubType, 0, 26},
    };
    for (const Minimum& minimum : minimums)
    {
        SCOPED_TRACE(minimum.name);
        const std::unique_ptr<CNVUserNote> note = minimum.make();
        EXPECT_EQ(note->Load(Record(0, minimum.subType, minimum.version, ByteVector(minimum.bytes, 0))),
                  S_OK);
        EXPECT_EQ(note->Load(Record(0, minimum.subType, minimum.version, ByteVector(minimum.bytes - 1, 0))),
                  E_FAIL);
    }
}

// A user-note class with the build of a note of it.
struct NoteClass
{
    std::function<std::unique_ptr<CNVUserNote>()> make;
    std::function<HRESULT(CNVUserNote&)> build;
};

template <typename Note, typename Build>
NoteClass Of(Build build)
{
    return {[] { return std::unique_ptr<CNVUserNote>(new Note()); },
            [build](CNVUserNote& note) { return build(static_cast<Note&>(note)); }};
}

TEST(UserNoteLoad, EveryClassLoadsBackItsOwnRecordsOnly)
{
    ScopedUserName user(u"tech");
    const auto twoSegments = [](auto& note) { return note.Build(15, 3, -59.0f, 7.5f, -58.0f, 8.0f); };
    const auto reference = [](auto& note) { return note.Build(13, 1.0f, 2.0f, 3.0f, 4.0f, 5.0f, 6, 7, 8); };
    const NoteClass classes[] = {
        Of<CNVUserNote_Calibrate_Conductivity>([](auto& note)
                                               { return note.Build(4, 1.25f, 0.5f, 25.0f, 0.02f); }),
        Of<CNVUserNote_Calibrate_Turbidity>([](auto& note) { return note.Build(5, 1.5f, -0.25f); }),
        Of<CNVUserNote_Calibrate_VOX>([](auto& note) { return note.Build(6, 4242, 1.25f, -2.5f); }),
        Of<CNVUserNote_Calibrate_ORP>([](auto& note) { return note.Build(7, -2.5f); }),
        Of<CNVUserNote_Calibrate_TDSFactor>([](auto& note) { return note.Build(8, 0.65f); }),
        Of<CNVUserNote_NewSpecificGravFactor>([](auto& note) { return note.Build(9, 0.75f); }),
        Of<CNVUserNote_NewSpecificGravity>([](auto& note) { return note.Build(10, 1.025f); }),
        Of<CNVUserNote_Calibration_ZeroPressureSensor>([](auto& note) { return note.Build(11, 0.5f, 0x11); }),
        Of<CNVUserNote_Calibrate_SetNewLevelRef>(reference),
        Of<CNVUserNote_Calibrate_SetNewHeadRef>(reference),
        Of<CNVUserNote_RestoreFactoryCal_Sensor>([](auto& note)
                                                 { return note.Build(14, RESTORE_KIND_HEAD_REFERENCE); }),
        Of<CNVUserNote_SpecCondCurve>(
            [](auto& note)
            {
                CDynArray<float> curve;
                curve.Add(3.0f);
                curve.Add(-1.5f);
                return note.BuildWithCurve(16, 20.0f, 0.0191f, curve);
            }),
        Of<CNVUserNote_Calibrate_pH>(twoSegments),
        Of<CNVUserNote_Calibrate_Nitrate>(twoSegments),
        Of<CNVUserNote_Calibrate_Chloride>(twoSegments),
        Of<CNVUserNote_Calibrate_Ammonium>(twoSegments),
        Of<CNVUserNote_Calibrate_Rhodamine_WT>(twoSegments),
        Of<CNVUserNote_Calibrate_ChlorophyllA>(twoSegments),
        Of<CNVUserNote_Calibrate_BGA_PE>(twoSegments),
        Of<CNVUserNote_Calibrate_BGA_PC>(twoSegments),
    };
    for (size_t n = 0; n < std::size(classes); ++n)
    {
        SCOPED_TRACE(n);
        const std::unique_ptr<CNVUserNote> built = classes[n].make();
        ASSERT_EQ(classes[n].build(*built), S_OK);
        for (size_t other = 0; other < std::size(classes); ++other)
        {
            const std::unique_ptr<CNVUserNote> loaded = classes[other].make();
            if (other != n)
            {
                EXPECT_EQ(loaded->Load(built->GetRecord()), LOGNOTES_E_INVALID_USER_NOTE_SUBTYPE) << other;
                continue;
            }
            ASSERT_EQ(loaded->Load(built->GetRecord()), S_OK);
            // The description shows every field read back.
            EXPECT_EQ(Text(loaded->GetTypeName()), Text(built->GetTypeName()));
            EXPECT_EQ(loaded->GetSerialNumber(), built->GetSerialNumber());
            EXPECT_EQ(Text(loaded->GetUserName()), u"tech");
            loaded->Reset();
            EXPECT_EQ(loaded->GetSerialNumber(), 0u);
            EXPECT_TRUE(loaded->GetUserName().IsEmpty());
        }
        // A record of another note type is no user note.
        NVSystem::CNVLogNotesRecord record = built->GetRecord();
        record.m_nNoteType = 3;
        EXPECT_EQ(classes[n].make()->Load(record), LOGFILE_E_INVALID_NOTE_TYPE);
    }
}

// --- Descriptions ---

TEST(UserNoteText, TwoSegmentsFromACountAboveTwoAndNoUserNamePartWithoutAName)
{
    ScopedUserName user(u"");
    CNVUserNote_Calibrate_pH note;
    note.Build(77, 2, -59.0f, 7.5f, -58.0f, 8.0f);
    // "Unknown" when the name cannot be read: the name part is there.
    EXPECT_EQ(Text(note.GetTypeName()), u"pH calibration.\nSensor SN: 77\nLine segment 1:\nSlope(mV/pH): -59 "
                                        u" Offset(mV): 7.5   User Name: Unknown");

    CNVUserNote_Calibrate_pH loaded;
    ByteVector payload = Payload(note);
    payload[5] = 3;
    payload.resize(22);
    payload.insert(payload.end(), {0, 1, 0, 'z'});
    ASSERT_EQ(loaded.Load(Record(0, 25, 0, payload)), S_OK);
    const std::u16string text = Text(loaded.GetTypeName());
    EXPECT_EQ(std::count(text.begin(), text.end(), u'\n'), 5); // six lines
    EXPECT_TRUE(EndsWith(text, u"Line segment 2:\nSlope(mV/pH): -58  Offset(mV): 8   User Name: z"));
    // A note without a user name has no user-name part.
    CNVUserNote_Calibrate_Conductivity nameless;
    ASSERT_EQ(nameless.Load(Record(0, 3, 0, {0, 0,    0,    4, 0x3F, 0x80, 0,    0,    0,    0, 0,
                                             0, 0x41, 0xC8, 0, 0,    0x3C, 0xA3, 0xD7, 0x0A, 0, 0})),
              S_OK);
    EXPECT_EQ(Text(nameless.GetTypeName()),
              u"Conductivity calibration.\nSensor SN: 4\nCell Constant: 1  Cell Offset: 0\n"
              u"Reference Temperature: 25  Temperature Coefficient: 0.02");
}

TEST(UserNoteText, UnitsAreNamedAfterTheirValues)
{
    ScopedUserName user(u"ab");
    CNVUserNote_Calibrate_SetNewLevelRef level;
    level.Build(2, 1.5f, 0.25f, 10.0f, -0.5f, 12.0f, 0xFFFF, 0xFFFE, 0xFFFD);
    const std::u16string unknown = Text(GetSystemString(10045));
    EXPECT_EQ(Text(level.GetTypeName()),
              u"Sensor SN: 2 Level calibration.\nSet new reference: 1.5\nDepth: 0.25(" + unknown +
                  u")\nLevel Reference Head Pressure: 10(" + unknown + u")\nPressure Offset: -0.5(" +
                  unknown + u")\nTemperature: 12(" + unknown + u")\nUser Name: ab");
}

} // namespace
} // namespace notetest
