// Everything a calibration run sends to the instrument, from the worker's start to the end of the
// run, in order: the device settings for the run, calibration mode, each calibration register the
// commit writes with its value, the update, calibration mode off and the settings given back; and,
// with a log running, the note of each changed measurement-cache time-out, field by field. The runs
// are taken away from their easy points: temperatures other than 25 C, a compensation reference of
// 20 C, pH points each at its own temperature.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <sstream>
#include <variant>

#include "calibration/data/CalDataConductivity.h"
#include "calibration/data/CalDataPHORP.h"
#include "calibration/data/CalDataVOX.h"
#include "device/MeasCacheTimeoutNote.h"
#include "platform/Identity.h"
#include "platform/Utf.h"
#include "tests/calibration_data/CalTestSupport.h"
#include "tools/probe-sim/ConductivitySensor.h"
#include "tools/probe-sim/OpticalDoSensor.h"
#include "tools/probe-sim/PhOrpSensor.h"

namespace caltest
{
namespace
{

namespace dos = probesim::dosensor;
namespace ph = probesim::phsensor;

constexpr uint16_t kCacheBefore = 250; // ms, the probe's own before the run
constexpr uint16_t kLogFile = 12;

// One write the instrument must receive: a word, or a float (two registers, high word first)
// compared within a relative tolerance where the test works the value out itself.
struct Sent
{
    uint16_t first;
    std::variant<uint16_t, float> value;
};

std::string Describe(const std::vector<modeltest::RegisterWrite>& writes)
{
    std::ostringstream out;
    for (const modeltest::RegisterWrite& write : writes)
    {
        out << "\n" << write.first << ":";
        for (uint16_t v : write.values)
            out << " " << std::hex << v << std::dec;
    }
    return out.str();
}

float FloatOf(const std::vector<uint16_t>& words)
{
    if (words.size() != 2)
        return NAN;
    const uint32_t bits = (uint32_t{words[0]} << 16) | words[1];
    float value = 0.0f;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

class CommandSequence : public CalibrationTest
{
protected:
    void SetUp() override
    {
        StartDialledProbe();
        m_cacheRegister = RegisterWrittenBy(&NVSystem::CDeviceComm::SetMeasurementCacheTimeout, kCacheBefore);
        ASSERT_EQ(Device().GetEOS(m_eosBefore), S_OK);
        m_eosRegister = RegisterWrittenBy(&NVSystem::CDeviceComm::SetEOS, m_eosBefore);
        Probe().StartLog(kLogFile);
        Mark();
    }

    void ExpectSent(const std::vector<Sent>& expected)
    {
        const std::vector<modeltest::RegisterWrite> writes = WritesSinceMark();
        ASSERT_EQ(writes.size(), expected.size()) << Describe(writes);
        for (size_t i = 0; i < expected.size(); ++i)
        {
            EXPECT_EQ(writes[i].first, expected[i].first) << "write " << i;
            if (const auto* word = std::get_if<uint16_t>(&expected[i].value))
            {
                EXPECT_EQ(writes[i].values, std::vector<uint16_t>{*word}) << "write " << i;
                continue;
            }
            const float want = std::get<float>(expected[i].value);
            EXPECT_NEAR(FloatOf(writes[i].values), want, std::fabs(want) * 1e-6f + 1e-7f) << "write " << i;
        }
    }

    // The two notes of the run: the run's time-out when it began, the probe's own at its end.
    void ExpectCacheTimeoutNotes(uint16_t runTimeout)
    {
        const std::vector<probesim::LogNote> notes = Notes();
        ASSERT_EQ(notes.size(), 2u);
        const std::u16string user = platform::UserName().empty() ? u"Unknown" : platform::UserName();
        const uint16_t timeouts[2] = {runTimeout, kCacheBefore};
        for (size_t i = 0; i < 2; ++i)
        {
            EXPECT_EQ(notes[i].file, kLogFile);
            EXPECT_EQ(notes[i].SubType(), NVSystem::CNVUserNote_SensorMeasCacheTO::kSubType);
            EXPECT_EQ(notes[i].Flags(), NVSystem::CNVUserNote_SensorMeasCacheTO::kVersion);
            NVSystem::CNVUserNote_SensorMeasCacheTO note;
            ASSERT_EQ(modeltest::LoadNote(notes[i], note), S_OK);
            EXPECT_EQ(note.GetSerialNumber(), modeltest::kProbeSerial)
                << "the probe's, as the device knows it";
            EXPECT_EQ(note.GetTimeout(), timeouts[i]);
            EXPECT_EQ(std::u16string(static_cast<const char16_t*>(note.GetUserName())), user);
        }
    }

    uint16_t Command(uint16_t connection) { return probesim::SensorCommandRegisterOf(connection); }

    // The worker's start and the first point's sampling, as the wizard drives them.
    template <class Data, class Sensor>
    void Begin(Data& data, Sensor* sensor)
    {
        ASSERT_EQ(data.StartManual(sensor, &m_window), S_OK);
        ASSERT_TRUE(data.RunStartSteps());
        ASSERT_EQ(data.PrepareStabilization(), S_OK);
        ASSERT_EQ(data.BeginCalibration(), S_OK);
    }

    // Five samples of the current point, its Accept and the cycle that takes it.
    void AcceptPoint(CCalData& data)
    {
        for (int i = 0; i < 5; ++i)
            ASSERT_TRUE(data.RunCycle());
        data.Accept();
        ASSERT_TRUE(data.RunCycle());
    }

    uint16_t m_cacheRegister = 0;
    uint16_t m_eosRegister = 0;
    USHORT m_eosBefore = 0;
};

TEST_F(CommandSequence, ConductivityWithATypedStandardAt20C)
{
    m_temperature.Set(23.0f);
    m_actualConductivity.Set(950.0f);
    CCalDataConductivity data(m_connection);
    data.SetCalMethod(CCalDataConductivity::kCellConstantMethod);
    data.SetStandard(CAL_SOLUTION_USER, CWideString(u"1000"));
    data.SetStandardRefTemp(20.0f);
    data.SetCompRefTemp(20.0f);
    ASSERT_NO_FATAL_FAILURE(Begin(data, m_conductivitySensor.get()));
    ASSERT_NO_FATAL_FAILURE(AcceptPoint(data));
    ASSERT_EQ(data.CommitCalibration(), S_OK);
    EXPECT_TRUE(data.EndReading().IsEmpty());

    // The typed value is the standard at 20 C; at 23 C it conducts 1.91 % per degree more.
    const float constant = (1.0f + 3.0f * 0.0191f) * 1000.0f / 950.0f;
    const probesim::ConductivityLayout& cell = probesim::kProbeConductivity;
    ExpectSent({{m_cacheRegister, uint16_t{CCalDataConductivity::kCacheTimeout}},
                {m_eosRegister, uint16_t{CCalData::kCalibrationEOS}},
                {Command(kConductivity), uint16_t{0xE000}},
                {Register(kConductivity, cell.cellOffset), 0.0f},
                {Register(kConductivity, cell.cellConstant), constant},
                {Command(kConductivity), uint16_t{0xE001}},
                {Command(kConductivity), uint16_t{0xE002}},
                {m_cacheRegister, kCacheBefore},
                {m_eosRegister, uint16_t{m_eosBefore}}});
    ExpectCacheTimeoutNotes(CCalDataConductivity::kCacheTimeout);
    EXPECT_EQ(Utf8(data.GetReport().m_footerLines[0]), HeaderLine("Cell Constant:", "1.11"));
}

TEST_F(CommandSequence, ThreePhPointsEachAtItsOwnTemperature)
{
    struct Point
    {
        float celsius;
        float millivolts;
        float pH; // of the buffer at that temperature
    };
    // Entered as pH 7, pH 10, pH 4; written sorted.
    const Point entered[3] = {{25.0f, 12.0f, 7.00f}, {40.0f, -180.0f, 9.88f}, {10.0f, 170.0f, 4.00f}};
    CCalDataPHORP data(m_connection);
    data.SetMode(PHORP_MODE_PH);
    data.SetPointCount(3);
    data.SetPointSolution(0, CAL_SOLUTION_PH7);
    data.SetPointSolution(1, CAL_SOLUTION_PH10);
    data.SetPointSolution(2, CAL_SOLUTION_PH4);
    ASSERT_NO_FATAL_FAILURE(Begin(data, m_phOrpSensor.get()));
    for (int p = 0; p < 3; ++p)
    {
        if (p > 0)
            data.Run();
        m_temperature.Set(entered[p].celsius);
        m_pHMillivolts.Set(entered[p].millivolts);
        ASSERT_NO_FATAL_FAILURE(AcceptPoint(data));
    }
    ASSERT_EQ(data.CommitCalibration(), S_OK);
    EXPECT_TRUE(data.EndReading().IsEmpty());

    // Each segment's millivolts are brought to the temperature of its first point.
    const Point sorted[3] = {entered[2], entered[0], entered[1]};
    const auto slope = [](const Point& a, const Point& b)
    {
        const double kelvin = 273.15;
        return static_cast<float>(
            (double{a.pH} - b.pH) /
            (a.millivolts - b.millivolts * (a.celsius + kelvin) / (b.celsius + kelvin)));
    };
    const float slope1 = slope(sorted[0], sorted[1]);
    const float slope2 = slope(sorted[1], sorted[2]);
    std::vector<Sent> expected = {{m_cacheRegister, uint16_t{CCalDataPHORP::kCacheTimeout}},
                                  {m_eosRegister, uint16_t{CCalData::kCalibrationEOS}},
                                  {Command(kPhOrp), uint16_t{0xE000}},
                                  {Register(kPhOrp, ph::kPointCount), uint16_t{3}}};
    for (uint16_t p = 1; p <= 3; ++p)
    {
        expected.push_back({Register(kPhOrp, ph::PointValue(p, 0)), sorted[p - 1].pH});
        expected.push_back({Register(kPhOrp, ph::PointValue(p, 1)), sorted[p - 1].millivolts});
        expected.push_back({Register(kPhOrp, ph::PointValue(p, 2)), sorted[p - 1].celsius});
    }
    expected.insert(expected.end(),
                    {{Register(kPhOrp, ph::SegmentSlope(1)), slope1},
                     {Register(kPhOrp, ph::SegmentOffset(1)), sorted[0].pH - sorted[0].millivolts * slope1},
                     {Register(kPhOrp, ph::SegmentSlope(2)), slope2},
                     {Register(kPhOrp, ph::SegmentOffset(2)), sorted[1].pH - sorted[1].millivolts * slope2},
                     {Command(kPhOrp), uint16_t{0xE001}},
                     {Command(kPhOrp), uint16_t{0xE002}},
                     {m_cacheRegister, kCacheBefore},
                     {m_eosRegister, uint16_t{m_eosBefore}}});
    ExpectSent(expected);
    ExpectCacheTimeoutNotes(CCalDataPHORP::kCacheTimeout);
}

TEST_F(CommandSequence, OpticalDoAtTwoPointsUnderTheCalibrationsPressureAndSalinity)
{
    SetSimFloat(kOxygen, dos::kLiveBaro, 987.5f);
    SetSimFloat(kOxygen, dos::kLiveSalinity, 4.25f);
    m_temperature.Set(17.5f);
    m_oxygen.Set(9.5f);
    CCalDataVOX data(m_connection);
    data.SetPointCount(2);
    data.SetPointTargets(100.0f, 0.0f);
    ASSERT_NO_FATAL_FAILURE(Begin(data, m_oxygenSensor.get()));
    ASSERT_NO_FATAL_FAILURE(AcceptPoint(data));
    data.Run();
    m_temperature.Set(12.25f);
    m_oxygen.Set(0.125f);
    ASSERT_NO_FATAL_FAILURE(AcceptPoint(data));
    ASSERT_EQ(data.CommitCalibration(), S_OK);
    EXPECT_TRUE(data.EndReading().IsEmpty());

    ExpectSent({{m_cacheRegister, uint16_t{CCalDataVOX::kCacheTimeout}},
                {m_eosRegister, uint16_t{CCalData::kCalibrationEOS}},
                {Command(kOxygen), uint16_t{0xE000}},
                {Register(kOxygen, dos::kCalBaro100), 987.5f},
                {Register(kOxygen, dos::kCalSalinity100), 4.25f},
                {Register(kOxygen, dos::kCalDo100), 9.5f},
                {Register(kOxygen, dos::kCalTemp100), 17.5f},
                {Register(kOxygen, dos::kCalDo0), 0.125f},
                {Register(kOxygen, dos::kCalTemp0), 12.25f},
                {Command(kOxygen), uint16_t{0xE001}},
                {Command(kOxygen), uint16_t{0xE002}},
                {m_cacheRegister, kCacheBefore},
                {m_eosRegister, uint16_t{m_eosBefore}}});
    ExpectCacheTimeoutNotes(CCalDataVOX::kCacheTimeout);
}

} // namespace
} // namespace caltest
