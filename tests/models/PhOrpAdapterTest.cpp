// The pH/ORP adapters against the pH/ORP sensor on connection 4 of the multi-sensor probe (device
// type 18). The pH-only and ORP-only adapters belong to another probe type; here they run against the
// same register window, which is enough to show which registers and parameters they reach.
#include <memory>

#include "models/LevelSensor.h"
#include "models/ORPSensor.h"
#include "models/PHORPSensor.h"
#include "models/PHSensor.h"
#include "tests/models/ModelTestSupport.h"
#include "tools/probe-sim/PhOrpSensor.h"

namespace modeltest
{
namespace
{

using NVSystem::CORPSensor;
using NVSystem::CPHORPSensor;
using NVSystem::CPHSensor;
using NVSystem::ISensor_pHORP;
namespace ph = probesim::phsensor;

constexpr uint16_t kLevel = 3;
constexpr uint16_t kPhOrp = 4;

class PhOrpAdapter : public ModelTest
{
protected:
    void SetUp() override
    {
        StartProbe(probesim::kMultiSensorProbeType);
        LinkDevice();
        m_level = std::make_unique<NVSystem::CLevelSensor>(&Device(), kLevel);
        m_phOrp = std::make_unique<CPHORPSensor>(&Device(), kPhOrp, m_level.get());
        m_ph = std::make_unique<CPHSensor>(&Device(), kPhOrp);
        m_orp = std::make_unique<CORPSensor>(&Device(), kPhOrp);
    }
    std::unique_ptr<NVSystem::CLevelSensor> m_level;
    std::unique_ptr<CPHORPSensor> m_phOrp;
    std::unique_ptr<CPHSensor> m_ph;
    std::unique_ptr<CORPSensor> m_orp;
};

TEST_F(PhOrpAdapter, CalibrationPointsSegmentsAndOrpValuesAtTheirRegisters)
{
    for (ISensor_pHORP* sensor :
         {static_cast<ISensor_pHORP*>(m_phOrp.get()), static_cast<ISensor_pHORP*>(m_ph.get())})
    {
        SCOPED_TRACE(sensor->GetSensorType());
        for (USHORT point = 1; point <= 3; ++point)
        {
            const float base = 10.0f * point + static_cast<float>(sensor->GetSensorType());
            ASSERT_EQ(sensor->WritepHCalPoint(point, base, base + 1.0f, base + 2.0f), S_OK);
            for (uint16_t value = 0; value < 3; ++value)
                EXPECT_EQ(SimFloat(kPhOrp, ph::PointValue(point, value)), base + value) << point;
            SetSimFloat(kPhOrp, ph::PointValue(point, 1), -base);
            float read[3] = {};
            ASSERT_EQ(sensor->ReadpHCalPoint(point, read[0], read[1], read[2]), S_OK);
            EXPECT_EQ(std::vector<float>(read, read + 3), (std::vector<float>{base, -base, base + 2.0f}))
                << point;
        }
        for (USHORT segment = 1; segment <= 2; ++segment)
        {
            ASSERT_EQ(sensor->WritepHSegmentSlope(segment, -0.0169f * segment), S_OK);
            ASSERT_EQ(sensor->WritepHSegmentOffset(segment, 7.0f + segment), S_OK);
            EXPECT_EQ(SimFloat(kPhOrp, ph::SegmentSlope(segment)), -0.0169f * segment) << segment;
            EXPECT_EQ(SimFloat(kPhOrp, ph::SegmentOffset(segment)), 7.0f + segment) << segment;
        }
        ASSERT_EQ(sensor->WritepHCalSegmentCount(3), S_OK);
        EXPECT_EQ(SimWord(kPhOrp, ph::kPointCount), 3);
    }
    // The ORP calibration: the pH/ORP sensor's window, and the ORP sensor's own layout.
    const struct
    {
        ISensor_pHORP* sensor;
        uint16_t word, solution, response, temperature, slope, offset;
    } classes[] = {
        {m_phOrp.get(), ph::kOrpCalibrationWord, ph::kOrpSolution, ph::kOrpResponse, ph::kOrpTemperature,
         ph::kOrpSlope, ph::kOrpOffset},
        {m_orp.get(), 117, 118, 120, 122, 124, 126},
    };
    for (const auto& c : classes)
    {
        SCOPED_TRACE(c.word);
        ASSERT_EQ(c.sensor->WriteORPCalWord(0x0203), S_OK);
        ASSERT_EQ(c.sensor->WriteORPCalPoint(240.0f, 231.5f, 25.0f), S_OK);
        ASSERT_EQ(c.sensor->WriteORPCalValueA(1.02f), S_OK);
        ASSERT_EQ(c.sensor->WriteORPCalValueB(-3.5f), S_OK);
        EXPECT_EQ(SimWord(kPhOrp, c.word), 0x0203);
        const uint16_t floats[] = {c.solution, c.response, c.temperature, c.slope, c.offset};
        std::vector<float> values;
        for (uint16_t offset : floats)
            values.push_back(SimFloat(kPhOrp, offset));
        EXPECT_EQ(values, (std::vector<float>{240.0f, 231.5f, 25.0f, 1.02f, -3.5f}));
        SetSimFloat(kPhOrp, c.response, 229.0f);
        float read[3] = {};
        ASSERT_EQ(c.sensor->ReadORPCalPoint(read[0], read[1], read[2]), S_OK);
        EXPECT_EQ(std::vector<float>(read, read + 3), (std::vector<float>{240.0f, 229.0f, 25.0f}));
    }
    // A point write stops at its first refused register.
    SetSimFloat(kPhOrp, ph::PointValue(2, 2), -1.0f);
    RefuseWrites(Register(kPhOrp, ph::PointValue(2, 1)), 2);
    EXPECT_EQ(m_phOrp->WritepHCalPoint(2, 4.0f, 177.0f, 25.0f), kRefused);
    EXPECT_EQ(SimFloat(kPhOrp, ph::PointValue(2, 0)), 4.0f);
    EXPECT_EQ(SimFloat(kPhOrp, ph::PointValue(2, 2)), -1.0f);
}

TEST_F(PhOrpAdapter, PointAndSegmentNumbersOutsideTheTablesSendNothing)
{
    float a = 0.0f;
    float b = 0.0f;
    float c = 0.0f;
    for (ISensor_pHORP* sensor :
         {static_cast<ISensor_pHORP*>(m_phOrp.get()), static_cast<ISensor_pHORP*>(m_ph.get())})
    {
        for (USHORT point : {0, 4, 0xFFFF})
        {
            EXPECT_EQ(sensor->ReadpHCalPoint(point, a, b, c), MODBUSCOMM_E_INVALID_INDEX) << point;
            EXPECT_EQ(sensor->WritepHCalPoint(point, a, b, c), MODBUSCOMM_E_INVALID_INDEX) << point;
        }
        for (USHORT segment : {0, 3})
        {
            EXPECT_EQ(sensor->ReadpHSegmentSlope(segment, a), MODBUSCOMM_E_INVALID_INDEX) << segment;
            EXPECT_EQ(sensor->WritepHSegmentSlope(segment, a), MODBUSCOMM_E_INVALID_INDEX) << segment;
            EXPECT_EQ(sensor->ReadpHSegmentOffset(segment, a), MODBUSCOMM_E_INVALID_INDEX) << segment;
            EXPECT_EQ(sensor->WritepHSegmentOffset(segment, a), MODBUSCOMM_E_INVALID_INDEX) << segment;
        }
    }
    EXPECT_EQ(FramesSinceMark(), 0u);
}

TEST_F(PhOrpAdapter, EachClassReadsItsOwnParametersAndRefusesTheRest)
{
    for (uint16_t p = 1; p <= 3; ++p)
        MarkParameter(kPhOrp, p, static_cast<uint16_t>(p << 4));
    MarkParameter(kLevel, 2, 0x70); // the level sensor's temperature
    using Read = HRESULT (ISensor_pHORP::*)(float&, USHORT&, USHORT&, BOOL);
    constexpr uint16_t kRefused = 0;
    const struct
    {
        const char* name;
        ISensor_pHORP* sensor;
        uint16_t temperature, pH, millivolts, orp; // expected quality words
    } classes[] = {
        {"pH/ORP", m_phOrp.get(), 0x70, 0x10, 0x20, 0x30},
        {"pH", m_ph.get(), 0x30, 0x10, 0x20, kRefused},
        {"ORP", m_orp.get(), 0x20, kRefused, kRefused, 0x10},
    };
    for (const auto& c : classes)
    {
        SCOPED_TRACE(c.name);
        const std::pair<Read, uint16_t> reads[] = {{&ISensor_pHORP::ReadTemperature, c.temperature},
                                                   {&ISensor_pHORP::ReadpH, c.pH},
                                                   {&ISensor_pHORP::ReadpHmV, c.millivolts},
                                                   {&ISensor_pHORP::ReadORP, c.orp}};
        for (const auto& [read, expected] : reads)
        {
            Mark();
            const Reading reading = ReadOf(*c.sensor, read);
            EXPECT_EQ(reading.hr, expected == kRefused ? E_FAIL : S_OK);
            EXPECT_EQ(expected == kRefused ? FramesSinceMark() : reading.quality, expected);
        }
        // The sentinel that tells a reading without value is its own parameter's; the simulated
        // sensor gives each parameter another.
        using GetSentinel = HRESULT (ISensor_pHORP::*)(float&);
        const std::pair<GetSentinel, uint16_t> sentinels[] = {{&ISensor_pHORP::GetpHmVSentinel, c.millivolts},
                                                              {&ISensor_pHORP::GetORPSentinel, c.orp}};
        for (const auto& [get, expected] : sentinels)
        {
            float sentinel = 0.0f;
            EXPECT_EQ((c.sensor->*get)(sentinel), expected == kRefused ? E_FAIL : S_OK);
            if (expected != kRefused)
            {
                EXPECT_EQ(sentinel, SimFloat(kPhOrp, probesim::ParameterBlockOffset(expected >> 4) +
                                                         probesim::block::kSentinel));
            }
        }
    }
    // Nor does either of them reach the other's calibration.
    Mark();
    float f = 0.0f;
    USHORT w = 0;
    EXPECT_EQ(m_ph->SetORPUnit(w), E_FAIL);
    EXPECT_EQ(m_ph->WriteORPCalWord(w), E_FAIL);
    EXPECT_EQ(m_ph->ReadORPCalPoint(f, f, f), E_FAIL);
    EXPECT_EQ(m_ph->WriteORPCalValueB(f), E_FAIL);
    EXPECT_EQ(m_orp->SetpHmVUnit(w), E_FAIL);
    EXPECT_EQ(m_orp->WritepHCalSegmentCount(w), E_FAIL);
    EXPECT_EQ(m_orp->WritepHCalPoint(1, f, f, f), E_FAIL);
    EXPECT_EQ(m_orp->ReadpHSegmentSlope(1, f), E_FAIL);
    EXPECT_EQ(FramesSinceMark(), 0u);
}

TEST_F(PhOrpAdapter, TemperatureFromTheLevelSensorAndSerialsOfTheConnection)
{
    const USHORT celsius = SimWord(kLevel, probesim::ParameterBlockOffset(2) + probesim::block::kUnitId);
    ASSERT_EQ(m_phOrp->SetTemperatureUnit(static_cast<USHORT>(celsius + 1)), S_OK);
    // Asking for the unit reads the descriptions, so that a cached read needs no traffic.
    USHORT unitId = 0;
    ASSERT_EQ(m_phOrp->GetTemperatureUnit(unitId), S_OK);
    EXPECT_EQ(unitId, celsius + 1);
    Mark();
    ASSERT_EQ(ReadOf(*m_phOrp, &CPHORPSensor::ReadTemperature, TRUE).hr, S_OK);
    EXPECT_EQ(FramesSinceMark(), 0u);
    ASSERT_EQ(ReadOf(*m_phOrp, &CPHORPSensor::ReadTemperature).hr, S_OK);
    const std::vector<devicetest::RegisterRead> reads = ReadsSinceMark();
    ASSERT_EQ(reads.size(), 1u);
    EXPECT_EQ(reads[0].first, Register(kLevel, probesim::ParameterBlockOffset(2)));

    // The serial numbers are the ones of the connection.
    for (ISensor_pHORP* sensor :
         {static_cast<ISensor_pHORP*>(m_phOrp.get()), static_cast<ISensor_pHORP*>(m_ph.get()),
          static_cast<ISensor_pHORP*>(m_orp.get())})
    {
        SCOPED_TRACE(sensor->GetSensorType());
        ULONG serial = 1;
        ASSERT_EQ(sensor->GetpHORPSerialNumber(serial), S_OK);
        EXPECT_EQ(serial, SensorSerial(kPhOrp));
    }
    // A failure is the result, never the serial number.
    CORPSensor absent(&Device(), 7);
    ULONG serial = 1;
    EXPECT_EQ(absent.GetpHORPSerialNumber(serial), MODBUSCOMM_E_INVALID_SENSOR_PORT);
    EXPECT_EQ(serial, 0u);
}

} // namespace
} // namespace modeltest
