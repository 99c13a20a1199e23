// The user notes: the exact bytes a build writes, what Load accepts and refuses, and the texts that
// describe them.
#include <algorithm>
#include <bit>

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

size_t Lines(const std::u16string& text)
{
    return static_cast<size_t>(std::count(text.begin(), text.end(), u'\n')) + 1;
}

bool EndsWith(const std::u16string& text, const std::u16string& end)
{
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// --- Golden bytes ---

TEST(UserNoteBytes, ACalibrationNoteCarriesItsValuesAndTheUserBigEndian)
{
    ScopedUserName user(u"ab");
    CNVUserNote_Calibrate_Turbidity note;
    ASSERT_EQ(note.Build(1234, 1.0f, 0.0f), S_OK);
    const ByteVector payload{0x00, 0x00, 0x04, 0xD2, 0x3F, 0x80, 0x00, 0x00, 0x00,
                             0x00, 0x00, 0x00, 0x00, 0x02, 0x00, 0x61, 0x00, 0x62};
    EXPECT_EQ(Payload(note), payload);
    EXPECT_EQ(Block(note), Concat({0x00, 0x02, 0x17, 0x00}, payload));
    EXPECT_EQ(note.GetRecord().m_nNoteType, NOTE_TYPE_USER);
    EXPECT_EQ(note.GetRecord().m_nSubType, 23u);
    EXPECT_EQ(note.GetRecord().m_nFlags, 0);
    EXPECT_GT(note.GetRecord().m_Time.GetSeconds(), 1700000000u); // built now
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

TEST(UserNoteBytes, ASettingNoteOfVersionOne)
{
    ScopedUserName user(u"ab");
    CNVUserNote_Calibrate_TDSFactor note;
    ASSERT_EQ(note.Build(7, 0.5f), S_OK);
    EXPECT_EQ(Block(note), (ByteVector{0x00, 0x02, 0x02, 0x01, 0x00, 0x00, 0x00, 0x07, 0x3F, 0x00, 0x00, 0x00,
                                       0x00, 0x02, 0x00, 0x61, 0x00, 0x62}));
    CNVUserNote_Calibrate_TDSFactor loaded;
    ASSERT_EQ(loaded.Load(note.GetRecord()), S_OK);
    EXPECT_EQ(loaded.GetSerialNumber(), 7u);
    EXPECT_EQ(loaded.GetTDSFactor(), 0.5f);
    EXPECT_EQ(Text(loaded.GetUserName()), u"ab");
    EXPECT_EQ(Text(loaded.GetTypeName()), u"Sensor SN: 7  TDS Factor: 0.5 User Name: ab");
}

TEST(UserNoteBytes, ARestoreNotePutsItsKindAfterTheUserName)
{
    ScopedUserName user(u"ab");
    CNVUserNote_RestoreFactoryCal_Sensor note;
    ASSERT_EQ(note.Build(0x01020304, RESTORE_KIND_HEAD_REFERENCE), S_OK);
    EXPECT_EQ(Block(note), (ByteVector{0x00, 0x02, 0x0E, 0x01, 0x01, 0x02, 0x03, 0x04, 0x00, 0x02, 0x00, 0x61,
                                       0x00, 0x62, 0x00, 0x03}));
    EXPECT_EQ(Text(note.GetTypeName()),
              u"Sensor SN: 16909060   Head reference reset to factory calibration (0.0).  User Name: ab");
}

TEST(UserNoteBytes, AReferenceNoteWritesItsUnitsBetweenTheFloats)
{
    ScopedUserName user(u"");
    CNVUserNote_Calibrate_SetNewLevelRef note;
    ASSERT_EQ(note.Build(2, 1.25f, 7.0f, 0.5f, -2.5f, 1.25f, 0x21, 0x11, 0x01), S_OK);
    // An unreadable user name is written as "Unknown".
    EXPECT_EQ(
        Payload(note),
        (ByteVector{0, 0,   0,    2,    0x3F, 0xA0, 0,    0,    0x40, 0xE0, 0, 0,   0x00, 0x21, 0x3F, 0x00,
                    0, 0,   0xC0, 0x20, 0,    0,    0x00, 0x11, 0x3F, 0xA0, 0, 0,   0x00, 0x01, 0x00, 0x07,
                    0, 'U', 0,    'n',  0,    'k',  0,    'n',  0,    'o',  0, 'w', 0,    'n'}));
    CNVUserNote_Calibrate_SetNewHeadRef head;
    ASSERT_EQ(head.Build(2, 1.25f, 7.0f, 0.5f, -2.5f, 1.25f, 0x21, 0x11, 0x01), S_OK);
    EXPECT_EQ(Payload(head), Payload(note));
    EXPECT_EQ(head.GetRecord().m_nSubType, 19u);
}

TEST(UserNoteBytes, TheCurveAlwaysHasEightCoefficients)
{
    ScopedUserName user(u"ab");
    CNVUserNote_SpecCondCurve note;
    EXPECT_EQ(note.GetCoefficients().GetCount(), 8u);
    for (uint32_t count : {3u, 10u})
    {
        SCOPED_TRACE(count);
        CDynArray<float> curve;
        for (uint32_t i = 0; i < count; ++i)
            curve.Add(static_cast<float>(i + 1));
        ASSERT_EQ(note.BuildWithCurve(5, 25.0f, 0.02f, curve), S_OK);
        const ByteVector payload = Payload(note);
        ASSERT_EQ(payload.size(), 46u + 2 * 2);
        for (uint32_t i = 0; i < 8; ++i)
        {
            const float expected = i < count ? static_cast<float>(i + 1) : 0.0f;
            EXPECT_EQ(note.GetCoefficients()[i], expected);
            uint32_t bits = 0;
            for (size_t at = 12 + 4 * i; at < 16 + 4 * i; ++at)
                bits = bits << 8 | payload[at];
            EXPECT_EQ(bits, std::bit_cast<uint32_t>(expected)) << i;
        }
    }
}

// --- Load ---

TEST(UserNoteLoad, RecordsOfAnotherKindAreRefused)
{
    CNVUserNote_Calibrate_pH note;
    EXPECT_EQ(note.Load(Record(0, 24, 0, ByteVector(30, 0))), LOGNOTES_E_INVALID_USER_NOTE_SUBTYPE);
    EXPECT_EQ(note.Load(Record(3, 25, 0, ByteVector(30, 0))), LOGFILE_E_INVALID_NOTE_TYPE);
    // The record is kept even so.
    EXPECT_EQ(note.GetRecord().m_nNoteType, 3u);
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
    const ByteVector tds{0, 0, 0, 1, 0x3F, 0, 0, 0};
    CNVUserNote_Calibrate_TDSFactor factor;
    ASSERT_EQ(factor.Load(Record(0, 2, 0, tds)), S_OK);
    EXPECT_EQ(factor.GetTDSFactor(), 0.5f);
    EXPECT_TRUE(factor.GetUserName().IsEmpty());
    EXPECT_EQ(factor.Load(Record(0, 2, 0, Concat(tds, {0, 0}))), E_FAIL);
    EXPECT_EQ(factor.Load(Record(0, 2, 1, tds)), E_FAIL);
    EXPECT_EQ(factor.Load(Record(0, 2, 1, Concat(tds, {0, 0}))), S_OK);

    const ByteVector timeout{0, 0, 0, 1, 0x03, 0xE8};
    CNVUserNote_SensorMeasCacheTO cache;
    ASSERT_EQ(cache.Load(Record(0, 9, 0, timeout)), S_OK);
    EXPECT_EQ(cache.GetTimeout(), 1000);
    EXPECT_EQ(cache.Load(Record(0, 9, 0, Concat(timeout, {0, 0}))), E_FAIL);
    EXPECT_EQ(cache.Load(Record(0, 9, 1, timeout)), E_FAIL);
    // A later version is read without a size check and without a user name.
    ASSERT_EQ(cache.Load(Record(0, 9, 2, timeout)), S_OK);
    EXPECT_TRUE(cache.GetUserName().IsEmpty());
    EXPECT_EQ(cache.Load(Record(0, 9, 2, {0, 0, 0})), E_BUFFER_EXTRACTION_OVERRUN);

    // Restore: version 0 has no kind and means a level reference; a kind of 16 or more is refused.
    const ByteVector restore{0, 0, 0, 1, 0, 1, 0, 'q'};
    CNVUserNote_RestoreFactoryCal_Sensor restored;
    EXPECT_EQ(restored.GetKind(), RESTORE_KIND_NONE);
    ASSERT_EQ(restored.Load(Record(0, 14, 0, restore)), S_OK);
    EXPECT_EQ(restored.GetKind(), RESTORE_KIND_LEVEL_REFERENCE);
    ASSERT_EQ(restored.Load(Record(0, 14, 1, Concat(restore, {0, 15}))), S_OK);
    EXPECT_EQ(restored.GetKind(), 15u);
    EXPECT_EQ(restored.Load(Record(0, 14, 1, Concat(restore, {0, 16}))), E_FAIL);
    EXPECT_EQ(restored.Load(Record(0, 14, 1, restore)), E_BUFFER_EXTRACTION_OVERRUN);
}

TEST(UserNoteLoad, EveryBuiltNoteLoadsBackIntoItsClass)
{
    ScopedUserName user(u"tech");
    CNVUserNote_Calibrate_VOX vox;
    vox.Build(11, 4242, 1.25f, -2.5f);
    CNVUserNote_Calibrate_VOX voxBack;
    ASSERT_EQ(voxBack.Load(vox.GetRecord()), S_OK);
    EXPECT_EQ(voxBack.GetCapSerialNumber(), 4242u);
    EXPECT_EQ(voxBack.GetOffset(), -2.5f);

    CNVUserNote_Calibration_ZeroPressureSensor zero;
    zero.Build(12, 0.5f, 0x11);
    CNVUserNote_Calibration_ZeroPressureSensor zeroBack;
    ASSERT_EQ(zeroBack.Load(zero.GetRecord()), S_OK);
    EXPECT_EQ(zeroBack.GetUnitId(), 0x11);

    CNVUserNote_Calibrate_SetNewHeadRef head;
    head.Build(13, 1.0f, 2.0f, 3.0f, 4.0f, 5.0f, 6, 7, 8);
    CNVUserNote_Calibrate_SetNewHeadRef headBack;
    ASSERT_EQ(headBack.Load(head.GetRecord()), S_OK);
    EXPECT_EQ(headBack.GetTemperature(), 5.0f);
    EXPECT_EQ(headBack.GetPressureUnit(), 7);
    EXPECT_EQ(headBack.GetTemperatureUnit(), 8);
    CNVUserNote_Calibrate_SetNewLevelRef level;
    EXPECT_EQ(level.Load(head.GetRecord()), LOGNOTES_E_INVALID_USER_NOTE_SUBTYPE);

    CNVUserNote_SpecCondCurve curve;
    CDynArray<float> coefficients;
    coefficients.Add(3.0f);
    curve.BuildWithCurve(14, 20.0f, 0.0191f, coefficients);
    CNVUserNote_SpecCondCurve curveBack;
    ASSERT_EQ(curveBack.Load(curve.GetRecord()), S_OK);
    ASSERT_EQ(curveBack.GetCoefficients().GetCount(), 8u);
    EXPECT_EQ(curveBack.GetCoefficients()[0], 3.0f);
    EXPECT_EQ(Text(curveBack.GetUserName()), u"tech");

    for (CNVUserNote* note : std::initializer_list<CNVUserNote*>{&voxBack, &zeroBack, &headBack, &curveBack})
    {
        note->Reset();
        EXPECT_EQ(note->GetSerialNumber(), 0u);
        EXPECT_TRUE(note->GetUserName().IsEmpty());
        EXPECT_EQ(note->GetRecord().m_nNoteType, NOTE_CODE_NONE);
    }
    EXPECT_EQ(curveBack.GetCoefficients().GetCount(), 0u);
}

// --- Descriptions ---

TEST(UserNoteText, TwoSegmentsAreShownFromACountAboveTwo)
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
    EXPECT_EQ(Lines(text), 6u);
    EXPECT_TRUE(EndsWith(text, u"Line segment 2:\nSlope(mV/pH): -58  Offset(mV): 8   User Name: z"));

    CNVUserNote_Calibrate_BGA_PC bga;
    ASSERT_EQ(bga.Load(Record(0, 33, 0, payload)), S_OK);
    EXPECT_EQ(Text(bga.GetTypeName()).substr(0, 20), u"BGA PC calibration.\n");
}

TEST(UserNoteText, ANoteWithoutAUserNameHasNoUserNamePart)
{
    CNVUserNote_Calibrate_Conductivity note;
    ASSERT_EQ(note.Load(Record(0, 3, 0, {0, 0,    0,    4, 0x3F, 0x80, 0,    0,    0,    0, 0,
                                         0, 0x41, 0xC8, 0, 0,    0x3C, 0xA3, 0xD7, 0x0A, 0, 0})),
              S_OK);
    EXPECT_EQ(Text(note.GetTypeName()),
              u"Conductivity calibration.\nSensor SN: 4\nCell Constant: 1  Cell Offset: 0\n"
              u"Reference Temperature: 25  Temperature Coefficient: 0.02");

    CNVUserNote_RestoreFactoryCal_Sensor restore;
    ASSERT_EQ(restore.Load(Record(0, 14, 1, {0, 0, 0, 8, 0, 0, 0, 3})), S_OK);
    EXPECT_EQ(Text(restore.GetTypeName()), u"Sensor SN: 8");
    EXPECT_EQ(Text(restore.DescribeNote()), u"Sensor SN: 8");
}

TEST(UserNoteText, TheCurveAndTheReferencesReadAsTheLogShowsThem)
{
    ScopedUserName user(u"ab");
    CNVUserNote_SpecCondCurve curve;
    CDynArray<float> coefficients;
    coefficients.Add(1.0f);
    coefficients.Add(0.5f);
    curve.BuildWithCurve(3, 25.0f, 0.02f, coefficients);
    EXPECT_EQ(Text(curve.GetTypeName()),
              u"Sensor SN: 3  Reference Temperature: 25  Temperature Coefficient: 0.02  "
              u"Curve Coefficient: 1 0.5 0 0 0 0 0 0   User Name: ab");

    CNVUserNote_Calibrate_SetNewLevelRef level;
    level.Build(2, 1.5f, 0.25f, 10.0f, -0.5f, 12.0f, 0xFFFF, 0xFFFE, 0xFFFD);
    const std::u16string unknown = Label(10045);
    EXPECT_EQ(Text(level.GetTypeName()),
              u"Sensor SN: 2 Level calibration.\nSet new reference: 1.5\nDepth: 0.25(" + unknown +
                  u")\nLevel Reference Head Pressure: 10(" + unknown + u")\nPressure Offset: -0.5(" +
                  unknown + u")\nTemperature: 12(" + unknown + u")\nUser Name: ab");

    CNVUserNote_Calibrate_SetNewHeadRef head;
    head.Build(2, 1.5f, 0.25f, 10.0f, -0.5f, 12.0f, 0xFFFF, 0xFFFE, 0xFFFD);
    const std::u16string headText = Text(head.GetTypeName());
    EXPECT_EQ(headText.substr(0, 50), u"Sensor SN: 2 Head calibration\nHead reference: 1.5\n");
    EXPECT_TRUE(EndsWith(headText, u"Temperature: 12(" + unknown + u")   User Name: ab"));

    CNVUserNote_Calibration_ZeroPressureSensor zero;
    zero.Build(6, 0.125f, 0xFFFF);
    EXPECT_EQ(Text(zero.GetTypeName()),
              u"Sensor SN: 6  Pressure sensor calibration. Pressure reading set to zero. "
              u"[Pressure Offset: 0.125(" +
                  unknown + u")]   User Name: ab");

    CNVUserNote_SensorMeasCacheTO cache;
    cache.Build(9, 250);
    EXPECT_EQ(Text(cache.DescribeNote()), u"Sensor SN: 9  Cache Timeout: 250   User Name: ab");
}

} // namespace
} // namespace notetest
