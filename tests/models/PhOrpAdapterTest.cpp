// The pH/ORP adapters against the pH/ORP sensor on connection 4 of the multi-sensor probe (device
// type 18). The pH-only and ORP-only adapters belong to another probe type; here they run against the
// same register window, which is enough to show which registers and parameters they reach.
#include <functional>
#include <memory>

#include "models/LevelSensor.h"
#include "models/ORPSensor.h"
#include "models/PHORPSensor.h"
#include "models/PHSensor.h"
#include "tests/models/AdapterTestSupport.h"
#include "tools/probe-sim/PhOrpSensor.h"

namespace adaptertest
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

class PhOrpAdapter : public AdapterTest
{
protected:
    void SetUp() override
    {
        StartProbe(probesim::kMultiSensorProbeType);
        m_level = std::make_unique<NVSystem::CLevelSensor>(&Device(), kLevel);
        m_phOrp = std::make_unique<CPHORPSensor>(&Device(), kPhOrp, m_level.get());
        m_ph = std::make_unique<CPHSensor>(&Device(), kPhOrp);
        m_orp = std::make_unique<CORPSensor>(&Device(), kPhOrp);
    }
    void TearDown() override
    {
        m_orp.reset();
        m_ph.reset();
        m_phOrp.reset();
        m_level.reset();
    }

    std::unique_ptr<NVSystem::CLevelSensor> m_level;
    std::unique_ptr<CPHORPSensor> m_phOrp;
    std::unique_ptr<CPHSensor> m_ph;
    std::unique_ptr<CORPSensor> m_orp;
};

TEST_F(PhOrpAdapter, PhCalibrationPointsAndSegmentsAtTheirRegisters)
{
    for (ISensor_pHORP* sensor :
         {static_cast<ISensor_pHORP*>(m_phOrp.get()), static_cast<ISensor_pHORP*>(m_ph.get())})
    {
        SCOPED_TRACE(sensor->GetSensorType());
        for (USHORT point = 1; point <= 3; ++point)
        {
            SCOPED_TRACE(point);
            const float base = 10.0f * point + static_cast<float>(sensor->GetSensorType());
            ASSERT_EQ(sensor->WritepHCalPoint(point, base + 0.5f, base + 1.5f, base + 2.5f), S_OK);
            EXPECT_EQ(SimFloat(kPhOrp, ph::PointValue(point, 0)), base + 0.5f);
            EXPECT_EQ(SimFloat(kPhOrp, ph::PointValue(point, 1)), base + 1.5f);
            EXPECT_EQ(SimFloat(kPhOrp, ph::PointValue(point, 2)), base + 2.5f);
            SetSimFloat(kPhOrp, ph::PointValue(point, 1), -base);
            float pH = 0.0f;
            float millivolts = 0.0f;
            float temperature = 0.0f;
            ASSERT_EQ(sensor->ReadpHCalPoint(point, pH, millivolts, temperature), S_OK);
            EXPECT_EQ(pH, base + 0.5f);
            EXPECT_EQ(millivolts, -base);
            EXPECT_EQ(temperature, base + 2.5f);
        }
        for (USHORT segment = 1; segment <= 2; ++segment)
        {
            SCOPED_TRACE(segment);
            ASSERT_EQ(sensor->WritepHSegmentSlope(segment, -0.0169f * segment), S_OK);
            ASSERT_EQ(sensor->WritepHSegmentOffset(segment, 7.0f + segment), S_OK);
            EXPECT_EQ(SimFloat(kPhOrp, ph::SegmentSlope(segment)), -0.0169f * segment);
            EXPECT_EQ(SimFloat(kPhOrp, ph::SegmentOffset(segment)), 7.0f + segment);
            float value = 0.0f;
            ASSERT_EQ(sensor->ReadpHSegmentSlope(segment, value), S_OK);
            EXPECT_EQ(value, -0.0169f * segment);
            ASSERT_EQ(sensor->ReadpHSegmentOffset(segment, value), S_OK);
            EXPECT_EQ(value, 7.0f + segment);
        }
        ASSERT_EQ(sensor->WritepHCalSegmentCount(3), S_OK);
        EXPECT_EQ(SimWord(kPhOrp, ph::kPointCount), 3);
        USHORT count = 0;
        ASSERT_EQ(sensor->ReadpHCalSegmentCount(count), S_OK);
        EXPECT_EQ(count, 3);
    }
}

TEST_F(PhOrpAdapter, OrpCalibrationAtEachClassesRegisters)
{
    const struct
    {
        const char* name;
        ISensor_pHORP* sensor;
        uint16_t word, solution, response, temperature, slope, offset;
    } classes[] = {
        {"pH/ORP", m_phOrp.get(), ph::kOrpCalibrationWord, ph::kOrpSolution, ph::kOrpResponse,
         ph::kOrpTemperature, ph::kOrpSlope, ph::kOrpOffset},
        {"ORP", m_orp.get(), 117, 118, 120, 122, 124, 126},
    };
    for (const auto& c : classes)
    {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(c.sensor->WriteORPCalWord(0x0203), S_OK);
        EXPECT_EQ(SimWord(kPhOrp, c.word), 0x0203);
        ASSERT_EQ(c.sensor->WriteORPCalPoint(240.0f, 231.5f, 25.0f), S_OK);
        EXPECT_EQ(SimFloat(kPhOrp, c.solution), 240.0f);
        EXPECT_EQ(SimFloat(kPhOrp, c.response), 231.5f);
        EXPECT_EQ(SimFloat(kPhOrp, c.temperature), 25.0f);
        ASSERT_EQ(c.sensor->WriteORPCalValueA(1.02f), S_OK);
        ASSERT_EQ(c.sensor->WriteORPCalValueB(-3.5f), S_OK);
        EXPECT_EQ(SimFloat(kPhOrp, c.slope), 1.02f);
        EXPECT_EQ(SimFloat(kPhOrp, c.offset), -3.5f);

        SetSimFloat(kPhOrp, c.response, 229.0f);
        float solution = 0.0f;
        float response = 0.0f;
        float temperature = 0.0f;
        ASSERT_EQ(c.sensor->ReadORPCalPoint(solution, response, temperature), S_OK);
        EXPECT_EQ(solution, 240.0f);
        EXPECT_EQ(response, 229.0f);
        EXPECT_EQ(temperature, 25.0f);
        USHORT word = 0;
        ASSERT_EQ(c.sensor->ReadORPCalWord(word), S_OK);
        EXPECT_EQ(word, 0x0203);
        float value = 0.0f;
        ASSERT_EQ(c.sensor->ReadORPCalValueB(value), S_OK);
        EXPECT_EQ(value, -3.5f);
    }
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

TEST_F(PhOrpAdapter, APointWriteStopsAtItsFirstRefusedRegister)
{
    SetSimFloat(kPhOrp, ph::PointValue(2, 0), -1.0f);
    SetSimFloat(kPhOrp, ph::PointValue(2, 2), -1.0f);
    RefuseWrites(Register(kPhOrp, ph::PointValue(2, 1)), 2);
    EXPECT_EQ(m_phOrp->WritepHCalPoint(2, 4.0f, 177.0f, 25.0f),
              ResultOf(probesim::ExceptionCode::SlaveDeviceFailure));
    EXPECT_EQ(SimFloat(kPhOrp, ph::PointValue(2, 0)), 4.0f);
    EXPECT_EQ(SimFloat(kPhOrp, ph::PointValue(2, 2)), -1.0f);
}

TEST_F(PhOrpAdapter, EachClassReadsItsOwnParametersAndRefusesWhatItLacks)
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
            float value = 0.0f;
            USHORT quality = 0;
            USHORT unitId = 0;
            Mark();
            const HRESULT hr = (c.sensor->*read)(value, quality, unitId, FALSE);
            if (expected == kRefused)
            {
                EXPECT_EQ(hr, E_FAIL);
                EXPECT_EQ(FramesSinceMark(), 0u);
            }
            else
            {
                EXPECT_EQ(hr, S_OK);
                EXPECT_EQ(quality, expected);
            }
        }
    }
}

TEST_F(PhOrpAdapter, PhOnlyAndOrpOnlyRefuseTheOthersCalibrationWithoutTraffic)
{
    float f = 0.0f;
    USHORT w = 0;
    const std::function<HRESULT(ISensor_pHORP&)> orpOperations[] = {
        [&](ISensor_pHORP& s) { return s.GetORPUnit(w); },
        [&](ISensor_pHORP& s) { return s.SetORPUnit(w); },
        [&](ISensor_pHORP& s) { return s.ReadORPCalWord(w); },
        [&](ISensor_pHORP& s) { return s.WriteORPCalWord(w); },
        [&](ISensor_pHORP& s) { return s.ReadORPCalPoint(f, f, f); },
        [&](ISensor_pHORP& s) { return s.WriteORPCalPoint(f, f, f); },
        [&](ISensor_pHORP& s) { return s.ReadORPCalValueA(f); },
        [&](ISensor_pHORP& s) { return s.WriteORPCalValueB(f); },
    };
    const std::function<HRESULT(ISensor_pHORP&)> phOperations[] = {
        [&](ISensor_pHORP& s) { return s.GetpHUnit(w); },
        [&](ISensor_pHORP& s) { return s.SetpHmVUnit(w); },
        [&](ISensor_pHORP& s) { return s.ReadpHCalSegmentCount(w); },
        [&](ISensor_pHORP& s) { return s.WritepHCalSegmentCount(w); },
        [&](ISensor_pHORP& s) { return s.ReadpHCalPoint(1, f, f, f); },
        [&](ISensor_pHORP& s) { return s.WritepHCalPoint(1, f, f, f); },
        [&](ISensor_pHORP& s) { return s.ReadpHSegmentSlope(1, f); },
        [&](ISensor_pHORP& s) { return s.WritepHSegmentOffset(2, f); },
    };
    for (const auto& operation : orpOperations)
        EXPECT_EQ(operation(*m_ph), E_FAIL);
    for (const auto& operation : phOperations)
        EXPECT_EQ(operation(*m_orp), E_FAIL);
    EXPECT_EQ(FramesSinceMark(), 0u);
}

TEST_F(PhOrpAdapter, TemperatureOfTheCombinedSensorIsTheLevelSensorsAsAsked)
{
    const USHORT celsius = SimWord(kLevel, probesim::ParameterBlockOffset(2) + probesim::block::kUnitId);
    ASSERT_EQ(m_phOrp->SetTemperatureUnit(static_cast<USHORT>(celsius + 1)), S_OK);
    USHORT unitId = 0;
    ASSERT_EQ(m_phOrp->GetTemperatureUnit(unitId), S_OK);
    EXPECT_EQ(unitId, celsius + 1);
    float value = 0.0f;
    USHORT quality = 0;
    Mark();
    ASSERT_EQ(m_phOrp->ReadTemperature(value, quality, unitId, TRUE), S_OK);
    EXPECT_EQ(FramesSinceMark(), 0u);
    ASSERT_EQ(m_phOrp->ReadTemperature(value, quality, unitId, FALSE), S_OK);
    const std::vector<Request> requests = RequestsSinceMark();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].first, Register(kLevel, probesim::ParameterBlockOffset(2)));
}

TEST_F(PhOrpAdapter, SerialNumbersConnectionsAndNotes)
{
    for (ISensor_pHORP* sensor :
         {static_cast<ISensor_pHORP*>(m_phOrp.get()), static_cast<ISensor_pHORP*>(m_ph.get()),
          static_cast<ISensor_pHORP*>(m_orp.get())})
    {
        SCOPED_TRACE(sensor->GetSensorType());
        ULONG serial = 1;
        EXPECT_EQ(sensor->GetSerialNumber(serial), S_OK);
        EXPECT_EQ(serial, 0u);
        EXPECT_EQ(sensor->GetConnection(), 0);
        ASSERT_EQ(sensor->GetpHORPSerialNumber(serial), S_OK);
        EXPECT_EQ(serial, SensorSerial(kPhOrp));
        EXPECT_EQ(sensor->GetpHORPConnection(), kPhOrp);
        EXPECT_EQ(sensor->Reserved53(), S_OK);
    }
    ULONG serial = 0;
    ASSERT_EQ(m_ph->GetpHSerialNumber(serial), S_OK);
    EXPECT_EQ(serial, SensorSerial(kPhOrp));
    ASSERT_EQ(m_orp->GetORPSerialNumber(serial), S_OK);
    EXPECT_EQ(serial, SensorSerial(kPhOrp));
    EXPECT_EQ(m_ph->GetpHConnection(), kPhOrp);
    EXPECT_EQ(m_orp->GetORPConnection(), kPhOrp);

    // A failure is the result, never the serial number.
    CORPSensor absent(&Device(), 7);
    serial = 1;
    EXPECT_EQ(absent.GetpHORPSerialNumber(serial), MODBUSCOMM_E_INVALID_SENSOR_PORT);
    EXPECT_EQ(serial, 0u);

    StartLog();
    Mark();
    EXPECT_EQ(m_phOrp->WritepHCalNote(), E_FAIL);
    EXPECT_EQ(m_phOrp->WriteORPCalNote(), E_FAIL);
    EXPECT_EQ(m_ph->WritepHCalNote(), S_OK);
    EXPECT_EQ(m_ph->WriteORPCalNote(), E_FAIL);
    EXPECT_EQ(m_orp->WritepHCalNote(), E_FAIL);
    EXPECT_EQ(m_orp->WriteORPCalNote(), S_OK);
    EXPECT_EQ(FramesSinceMark(), 0u);
    EXPECT_TRUE(Notes().empty());
}

TEST_F(PhOrpAdapter, TypesAndCasts)
{
    EXPECT_EQ(m_phOrp->GetSensorType(), NVSystem::SENSOR_TYPE_PH_ORP);
    EXPECT_EQ(m_ph->GetSensorType(), NVSystem::SENSOR_TYPE_PH);
    EXPECT_EQ(m_orp->GetSensorType(), NVSystem::SENSOR_TYPE_ORP);
    EXPECT_EQ(m_phOrp->AspHORP(), m_phOrp.get());
    EXPECT_EQ(m_phOrp->AspH(), nullptr);
    EXPECT_EQ(m_ph->AspH(), m_ph.get());
    EXPECT_EQ(m_ph->AspHORP(), m_ph.get());
    EXPECT_EQ(m_ph->AsORP(), nullptr);
    EXPECT_EQ(m_orp->AsORP(), m_orp.get());
    EXPECT_EQ(m_orp->AsTemperature(), m_orp.get());
    EXPECT_EQ(m_orp->AspH(), nullptr);
}

TEST_F(PhOrpAdapter, ChecksComeBeforeAnyTraffic)
{
    CPHORPSensor orphan(&Device(), kPhOrp, nullptr);
    Tampered<CPHSensor> tampered(&Device(), kPhOrp);
    tampered.SpoilSignature();
    CORPSensor unbound(nullptr, kPhOrp);
    for (ISensor_pHORP* sensor :
         {static_cast<ISensor_pHORP*>(&orphan), static_cast<ISensor_pHORP*>(&tampered),
          static_cast<ISensor_pHORP*>(&unbound)})
    {
        float value = 0.0f;
        USHORT quality = 0;
        USHORT unitId = 0;
        ULONG serial = 5;
        EXPECT_EQ(sensor->ReadTemperature(value, quality, unitId, FALSE), MODBUSCOMM_E_INVALID_DEVICE_THIS);
        EXPECT_EQ(sensor->GetpHORPSerialNumber(serial), MODBUSCOMM_E_INVALID_DEVICE_THIS);
        EXPECT_EQ(serial, 0u);
    }
    float value = 0.0f;
    EXPECT_EQ(orphan.ReadpHSegmentSlope(1, value), MODBUSCOMM_E_INVALID_DEVICE_THIS);
    EXPECT_EQ(orphan.WriteORPCalValueA(1.0f), MODBUSCOMM_E_INVALID_DEVICE_THIS);
    EXPECT_EQ(tampered.WritepHCalSegmentCount(2), MODBUSCOMM_E_INVALID_DEVICE_THIS);
    EXPECT_EQ(unbound.ReadORPCalValueB(value), MODBUSCOMM_E_INVALID_DEVICE_THIS);
    EXPECT_EQ(FramesSinceMark(), 0u);
}

} // namespace
} // namespace adaptertest
