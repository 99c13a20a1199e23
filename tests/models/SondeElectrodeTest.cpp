// The electrochemical sensors of the multi-parameter sonde (pH/ORP, nitrate, ammonium, chloride)
// against the simulated sonde, one suite over the four: the guard on their temperature source, the
// calibration points and segments at the sonde's offsets, the counts kept as floats, and the segment
// note. Offsets come from the simulator's layout.
#include <cmath>
#include <limits>
#include <vector>

#include "models/AmmoniumSensorMK600.h"
#include "models/CalibrationNotes.h"
#include "models/ChlorideSensorMK600.h"
#include "models/NitrateSensorMK600.h"
#include "models/PHORPSensorMK600.h"
#include "tests/models/SondeTestSupport.h"

namespace modeltest
{
namespace
{

using namespace NVSystem;
namespace sonde = probesim::sonde;

// The operations of one kind under one set of names; the four interfaces name them after the kind.
#define ELECTRODE_KIND(Kind, Interface, Name, SensorId, Cast)                                                \
    struct Kind                                                                                              \
    {                                                                                                        \
        using Sensor = Interface;                                                                            \
        using Note = CNVUserNote_Calibrate_##Name;                                                           \
        static constexpr uint16_t kSensorId = SensorId;                                                      \
        static Sensor* Of(ISensor_Interface* sensor)                                                         \
        {                                                                                                    \
            return sensor != nullptr ? sensor->Cast() : nullptr;                                             \
        }                                                                                                    \
        static HRESULT ReadFirst(Sensor& s, float& v, USHORT& q, USHORT& u)                                  \
        {                                                                                                    \
            return s.Read##Name(v, q, u, FALSE);                                                             \
        }                                                                                                    \
        static HRESULT ReadCount(Sensor& s, USHORT& c) { return s.Read##Name##CalSegmentCount(c); }          \
        static HRESULT WriteCount(Sensor& s, USHORT c) { return s.Write##Name##CalSegmentCount(c); }         \
        static HRESULT ReadPoint(Sensor& s, USHORT p, float& a, float& b, float& c)                          \
        {                                                                                                    \
            return s.Read##Name##CalPoint(p, a, b, c);                                                       \
        }                                                                                                    \
        static HRESULT WritePoint(Sensor& s, USHORT p, float a, float b, float c)                            \
        {                                                                                                    \
            return s.Write##Name##CalPoint(p, a, b, c);                                                      \
        }                                                                                                    \
        static HRESULT ReadSlope(Sensor& s, USHORT g, float& v) { return s.Read##Name##SegmentSlope(g, v); } \
        static HRESULT WriteSlope(Sensor& s, USHORT g, float v)                                              \
        {                                                                                                    \
            return s.Write##Name##SegmentSlope(g, v);                                                        \
        }                                                                                                    \
        static HRESULT ReadOffset(Sensor& s, USHORT g, float& v)                                             \
        {                                                                                                    \
            return s.Read##Name##SegmentOffset(g, v);                                                        \
        }                                                                                                    \
        static HRESULT WriteNote(Sensor& s) { return s.Write##Name##CalNote(); }                             \
    }

ELECTRODE_KIND(PhOrp, ISensor_pHORP, pH, sonde::kPhOrp, AspHORP);
ELECTRODE_KIND(Nitrate, ISensor_Nitrate, Nitrate, sonde::kNitrate, AsNitrate);
ELECTRODE_KIND(Ammonium, ISensor_Ammonium, Ammonium, sonde::kAmmonium, AsAmmonium);
ELECTRODE_KIND(Chloride, ISensor_Chloride, Chloride, sonde::kChloride, AsChloride);
#undef ELECTRODE_KIND

constexpr uint16_t kElectrode = 1; // connection; the temperature sensor is on 2

template <typename Kind>
class SondeElectrode : public SondeTest
{
protected:
    typename Kind::Sensor& Start(bool withTemperature = true)
    {
        std::vector<uint16_t> ids{Kind::kSensorId};
        if (withTemperature)
            ids.push_back(sonde::kTemperature2);
        StartSonde(ids);
        typename Kind::Sensor* sensor = Kind::Of(At(kElectrode));
        EXPECT_NE(sensor, nullptr);
        return *sensor;
    }
    float Setting(uint16_t offset) { return SimFloat(kElectrode, offset); }
};

using Kinds = ::testing::Types<PhOrp, Nitrate, Ammonium, Chloride>;
TYPED_TEST_SUITE(SondeElectrode, Kinds);

TYPED_TEST(SondeElectrode, WithoutATemperatureSourceEveryOperationIsRefusedWithoutTraffic)
{
    auto& sensor = this->Start(false);
    float a = 0.0f, b = 0.0f, c = 0.0f;
    USHORT word = 7;
    EXPECT_EQ(TypeParam::ReadFirst(sensor, a, word, word), MODBUSCOMM_E_INVALID_DEVICE_THIS);
    EXPECT_EQ(sensor.ReadTemperature(a, word, word, FALSE), MODBUSCOMM_E_INVALID_DEVICE_THIS);
    EXPECT_EQ(TypeParam::ReadCount(sensor, word), MODBUSCOMM_E_INVALID_DEVICE_THIS);
    EXPECT_EQ(TypeParam::WritePoint(sensor, 1, a, b, c), MODBUSCOMM_E_INVALID_DEVICE_THIS);
    EXPECT_EQ(TypeParam::WriteSlope(sensor, 1, a), MODBUSCOMM_E_INVALID_DEVICE_THIS);
    EXPECT_EQ(this->FramesSinceMark(), 0u);
}

TYPED_TEST(SondeElectrode, PointsAndSegmentsAtTheSondesOffsetsAndOthersRefusedBeforeAnyTraffic)
{
    auto& sensor = this->Start();
    ASSERT_EQ(TypeParam::WritePoint(sensor, 2, 4.0f, 177.0f, 21.5f), S_OK);
    EXPECT_EQ(this->WritesSinceMark().size(), 3u);
    for (uint16_t value = 0; value < 3; ++value)
        EXPECT_EQ(this->Setting(sonde::PointValue(2, value)),
                  (std::vector<float>{4.0f, 177.0f, 21.5f}[value]));
    float a = 0.0f, b = 0.0f, c = 0.0f;
    ASSERT_EQ(TypeParam::ReadPoint(sensor, 2, a, b, c), S_OK);
    EXPECT_EQ(std::vector<float>({a, b, c}), (std::vector<float>{4.0f, 177.0f, 21.5f}));
    for (uint16_t segment = 1; segment <= 2; ++segment)
    {
        ASSERT_EQ(TypeParam::WriteSlope(sensor, segment, 0.25f * segment), S_OK);
        EXPECT_EQ(this->Setting(sonde::SegmentSlope(segment)), 0.25f * segment);
        this->SetSimFloat(kElectrode, sonde::SegmentOffset(segment), 3.0f * segment);
        ASSERT_EQ(TypeParam::ReadOffset(sensor, segment, a), S_OK);
        EXPECT_EQ(a, 3.0f * segment);
    }
    // The second value refused: the first stays written, the third is not tried.
    this->RefuseWrites(this->Register(kElectrode, sonde::PointValue(3, 1)), 2);
    EXPECT_EQ(TypeParam::WritePoint(sensor, 3, 9.0f, 9.0f, 9.0f), kRefused);
    EXPECT_EQ(this->Setting(sonde::PointValue(3, 0)), 9.0f);
    EXPECT_EQ(this->Setting(sonde::PointValue(3, 2)), 0.0f);

    this->Mark();
    for (USHORT point : {0, 4})
    {
        EXPECT_EQ(TypeParam::WritePoint(sensor, point, a, b, c), MODBUSCOMM_E_INVALID_INDEX) << point;
        EXPECT_EQ(TypeParam::ReadPoint(sensor, point, a, b, c), MODBUSCOMM_E_INVALID_INDEX) << point;
    }
    for (USHORT segment : {0, 3})
    {
        EXPECT_EQ(TypeParam::WriteSlope(sensor, segment, a), MODBUSCOMM_E_INVALID_INDEX) << segment;
        EXPECT_EQ(TypeParam::ReadSlope(sensor, segment, a), MODBUSCOMM_E_INVALID_INDEX) << segment;
    }
    EXPECT_EQ(this->FramesSinceMark(), 0u);
}

TYPED_TEST(SondeElectrode, TheCountIsAFloatTakenInTheRangeOfAWord)
{
    auto& sensor = this->Start();
    ASSERT_EQ(TypeParam::WriteCount(sensor, 3), S_OK);
    EXPECT_EQ(this->Setting(sonde::kPointCount), 3.0f);
    const std::pair<float, USHORT> stored[] = {{2.9f, 2},
                                               {-1.0f, 0},
                                               {std::numeric_limits<float>::quiet_NaN(), 0},
                                               {70000.0f, 65535},
                                               {std::numeric_limits<float>::infinity(), 65535}};
    for (const auto& [value, count] : stored)
    {
        this->SetSimFloat(kElectrode, sonde::kPointCount, value);
        USHORT read = 7;
        ASSERT_EQ(TypeParam::ReadCount(sensor, read), S_OK) << value;
        EXPECT_EQ(read, count) << value;
    }
    // A count that cannot be read is 0 beside the failure.
    this->RefuseReads(this->Register(kElectrode, sonde::kPointCount), 2);
    USHORT read = 7;
    EXPECT_EQ(TypeParam::ReadCount(sensor, read), kRefused);
    EXPECT_EQ(read, 0);
}

TYPED_TEST(SondeElectrode, TheSegmentNoteCarriesTheInverseLinesAndNeedsAnActiveLog)
{
    auto& sensor = this->Start();
    this->SetSimFloat(kElectrode, sonde::kPointCount, 3.0f);
    this->SetSimFloat(kElectrode, sonde::SegmentSlope(1), 0.5f);
    this->SetSimFloat(kElectrode, sonde::SegmentOffset(1), 3.0f);
    this->SetSimFloat(kElectrode, sonde::SegmentSlope(2), 0.0f);
    this->SetSimFloat(kElectrode, sonde::SegmentOffset(2), 4.0f);
    this->Mark();
    EXPECT_EQ(TypeParam::WriteNote(sensor), E_FAIL);
    EXPECT_EQ(SettingReads(this->ReadsSinceMark()), 0u);

    this->StartLog();
    ASSERT_EQ(TypeParam::WriteNote(sensor), S_OK);
    typename TypeParam::Note note;
    ASSERT_EQ(LoadNote(this->Notes().at(0), note), S_OK);
    EXPECT_EQ(note.GetCalibrationCount(), 3);
    EXPECT_EQ(std::vector<float>({note.GetSlope1(), note.GetOffset1(), note.GetSlope2(), note.GetOffset2()}),
              (std::vector<float>{2.0f, -6.0f, 0.0f, 4.0f}));
    // A segment that cannot be read leaves no note.
    this->RefuseReads(this->Register(kElectrode, sonde::SegmentOffset(2)), 2);
    EXPECT_EQ(TypeParam::WriteNote(sensor), kRefused);
    EXPECT_EQ(this->Notes().size(), 1u);
}

TYPED_TEST(SondeElectrode, TheTemperatureIsTheSondesReadLive)
{
    auto& sensor = this->Start();
    this->MarkParameter(2, 1, 0x55);
    float value = 0.0f;
    USHORT quality = 0;
    USHORT unit = 0;
    ASSERT_EQ(sensor.ReadTemperature(value, quality, unit, TRUE), S_OK);
    EXPECT_EQ(quality, 0x55);
    EXPECT_EQ(this->ReadsSinceMark().back().first, this->Register(2, probesim::ParameterBlockOffset(1)));
}

using SondePhOrp = SondeTest;

TEST_F(SondePhOrp, TheOrpCalibrationAndItsNote)
{
    StartSonde({sonde::kPhOrp, sonde::kTemperature2});
    ISensor_pHORP& sensor = *At(1)->AspHORP();
    ASSERT_EQ(sensor.WriteORPCalPoint(220.0f, 215.0f, 18.0f), S_OK);
    for (uint16_t n = 0; n < 3; ++n)
        EXPECT_EQ(SimFloat(1, static_cast<uint16_t>(sonde::kOrpPoint + 2 * n)),
                  (std::vector<float>{220.0f, 215.0f, 18.0f}[n]));
    ASSERT_EQ(sensor.WriteORPCalWord(12), S_OK);
    EXPECT_EQ(SimFloat(1, sonde::kOrpCalibrationWord), 12.0f);
    ASSERT_EQ(sensor.WriteORPCalValueA(1.05f), S_OK);
    EXPECT_EQ(SimFloat(1, sonde::kOrpValueA), 1.05f);
    SetSimFloat(1, sonde::kOrpValueB, -4.5f);
    StartLog();
    ASSERT_EQ(sensor.WriteORPCalNote(), S_OK);
    CNVUserNote_Calibrate_ORP note;
    ASSERT_EQ(LoadNote(Notes().at(0), note), S_OK);
    EXPECT_EQ(note.GetOffset(), -4.5f);
    // The quantities by parameter, the ammonium's four too.
    MarkParameter(1, 3, 0x33);
    EXPECT_EQ(ReadOf(sensor, &ISensor_pHORP::ReadORP).quality, 0x33);
    StartSonde({sonde::kAmmonium, sonde::kTemperature2});
    MarkParameter(1, 4, 0x44);
    EXPECT_EQ(ReadOf(*At(1)->AsAmmonium(), &ISensor_Ammonium::ReadAmmoniumParam4).quality, 0x44);
}

} // namespace
} // namespace modeltest
