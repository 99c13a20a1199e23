// The two conductivity adapters against their probes: CMK100Sensor on connection 2 of device type
// 18, CConductivitySensorVOXCoreIC on connection 2 of device type 39 (whose temperature is the
// optical DO sensor's on connection 1).
#include <memory>

#include "models/ConductivitySensorVOXCoreIC.h"
#include "models/MK100Sensor.h"
#include "models/VOXSensor.h"
#include "tests/models/ModelTestSupport.h"
#include "tools/probe-sim/ConductivitySensor.h"

namespace modeltest
{
namespace
{

using NVSystem::CConductivitySensorVOXCoreIC;
using NVSystem::CMK100Sensor;
using NVSystem::ISensor_Conductivity;

constexpr uint16_t kConductivity = 2;

// Each probe with its conductivity adapter, the simulated sensor's layout and the sensor parameter
// behind each conductivity quantity.
struct ConductivityProbe
{
    uint16_t deviceType;
    const probesim::ConductivityLayout& layout;
    uint16_t parameters[6];
    uint16_t temperatureConnection;
    uint16_t temperatureParameter;
};

const ConductivityProbe kProbes[] = {
    {probesim::kMultiSensorProbeType, probesim::kProbeConductivity, {1, 3, 4, 5, 6, 7}, 2, 2},
    {probesim::kCoreProbeType, probesim::kCoreConductivity, {1, 2, 3, 4, 5, 6}, 1, 2},
};

class ConductivityAdapter : public ModelTest, public ::testing::WithParamInterface<ConductivityProbe>
{
protected:
    void SetUp() override
    {
        StartProbe(GetParam().deviceType);
        LinkDevice();
        if (GetParam().deviceType == probesim::kCoreProbeType)
        {
            m_oxygen = std::make_unique<NVSystem::CVOXSensor>(&Device(), 1);
            m_sensor =
                std::make_unique<CConductivitySensorVOXCoreIC>(&Device(), kConductivity, m_oxygen.get());
        }
        else
        {
            m_sensor = std::make_unique<CMK100Sensor>(&Device(), kConductivity);
        }
    }

    ISensor_Conductivity& Sensor() { return *m_sensor; }
    const probesim::ConductivityLayout& Layout() { return GetParam().layout; }

    std::unique_ptr<NVSystem::CVOXSensor> m_oxygen;
    std::unique_ptr<ISensor_Conductivity> m_sensor;
};

TEST_P(ConductivityAdapter, EachQuantityReadsItsParameter)
{
    using Read = HRESULT (ISensor_Conductivity::*)(float&, USHORT&, USHORT&, BOOL);
    using GetUnit = HRESULT (ISensor_Conductivity::*)(USHORT&);
    const Read reads[] = {
        &ISensor_Conductivity::ReadConductivityParam1, &ISensor_Conductivity::ReadConductivityParam2,
        &ISensor_Conductivity::ReadConductivityParam3, &ISensor_Conductivity::ReadConductivityParam4,
        &ISensor_Conductivity::ReadConductivityParam5, &ISensor_Conductivity::ReadConductivityParam6};
    const GetUnit units[] = {
        &ISensor_Conductivity::GetConductivityParam1Unit, &ISensor_Conductivity::GetConductivityParam2Unit,
        &ISensor_Conductivity::GetConductivityParam3Unit, &ISensor_Conductivity::GetConductivityParam4Unit,
        &ISensor_Conductivity::GetConductivityParam5Unit, &ISensor_Conductivity::GetConductivityParam6Unit};
    const uint16_t parameters = static_cast<uint16_t>(GetParam().parameters[5]);
    for (uint16_t p = 1; p <= parameters; ++p)
        MarkParameter(kConductivity, p, static_cast<uint16_t>(p << 4));
    for (int n = 0; n < 6; ++n)
    {
        SCOPED_TRACE(n + 1);
        const uint16_t parameter = GetParam().parameters[n];
        const Reading reading = ReadOf(Sensor(), reads[n]);
        ASSERT_EQ(reading.hr, S_OK);
        EXPECT_EQ(reading.quality, parameter << 4);
        USHORT unit = 0;
        const GetUnit getUnit = units[n];
        ASSERT_EQ((Sensor().*getUnit)(unit), S_OK);
        EXPECT_EQ(unit, SimWord(kConductivity,
                                probesim::ParameterBlockOffset(parameter) + probesim::block::kUnitId));
    }
    // Quantity 1 reports its own parameter's sentinel while it has no value; the simulated sensor
    // gives each parameter another.
    float sentinel = 0.0f;
    ASSERT_EQ(Sensor().GetConductivityParam1Sentinel(sentinel), S_OK);
    EXPECT_EQ(sentinel, SimFloat(kConductivity, probesim::ParameterBlockOffset(GetParam().parameters[0]) +
                                                    probesim::block::kSentinel));
}

TEST_P(ConductivityAdapter, TemperatureIsItsOwnOrTheOpticalSensorsAlwaysLive)
{
    MarkParameter(GetParam().temperatureConnection, GetParam().temperatureParameter, 0x70);
    // The descriptions first, so that a cached read needs no traffic.
    USHORT unitId = 0;
    ASSERT_EQ(Sensor().GetTemperatureUnit(unitId), S_OK);
    Mark();
    const Reading cached = ReadOf(Sensor(), &ISensor_Conductivity::ReadTemperature, TRUE);
    ASSERT_EQ(cached.hr, S_OK);
    if (GetParam().deviceType == probesim::kCoreProbeType)
    {
        EXPECT_EQ(cached.quality, 0x70);
        const std::vector<devicetest::RegisterRead> reads = ReadsSinceMark();
        ASSERT_EQ(reads.size(), 1u);
        EXPECT_EQ(reads[0].first, Register(1, probesim::ParameterBlockOffset(2)));
    }
    else
    {
        EXPECT_EQ(FramesSinceMark(), 0u);
    }
    EXPECT_EQ(ReadOf(Sensor(), &ISensor_Conductivity::ReadTemperature).quality, 0x70);
}

TEST_P(ConductivityAdapter, FloatSettingsAtTheLayoutsOffsets)
{
    const struct
    {
        const char* name;
        HRESULT (ISensor_Conductivity::*read)(float&);
        HRESULT (ISensor_Conductivity::*write)(float);
        uint16_t offset;
    } settings[] = {
        {"TDS factor", &ISensor_Conductivity::ReadTDSFactor, &ISensor_Conductivity::SetTDSFactor,
         Layout().tdsFactor},
        {"cell constant", &ISensor_Conductivity::ReadCellConstant, &ISensor_Conductivity::SetCellConstant,
         Layout().cellConstant},
        {"cell offset", &ISensor_Conductivity::ReadCellOffset, &ISensor_Conductivity::SetCellOffset,
         Layout().cellOffset},
    };
    for (const auto& setting : settings)
    {
        SCOPED_TRACE(setting.name);
        SetSimFloat(kConductivity, setting.offset, 0.625f);
        float value = 0.0f;
        ASSERT_EQ((Sensor().*setting.read)(value), S_OK);
        EXPECT_EQ(value, 0.625f);
        ASSERT_EQ((Sensor().*setting.write)(1.5f), S_OK);
        EXPECT_EQ(SimFloat(kConductivity, setting.offset), 1.5f);
    }
}

TEST_P(ConductivityAdapter, CalibrationBlockRoundTripsAndStopsBeforeAShortArrayOrARefusedRegister)
{
    CDynArray<float> betas;
    for (int n = 0; n < 8; ++n)
        betas.Add(0.5f + static_cast<float>(n));
    ASSERT_EQ(Sensor().WriteCalibrationBlock(25.0f, 0.0191f, betas), S_OK);
    EXPECT_EQ(SimFloat(kConductivity, Layout().referenceTemperature), 25.0f);
    EXPECT_EQ(SimFloat(kConductivity, Layout().Alpha()), 0.0191f);
    for (uint16_t n = 0; n < 8; ++n)
        EXPECT_EQ(SimFloat(kConductivity, Layout().Coefficient(n)), 0.5f + n) << n;

    CDynArray<float> read;
    read.Add(9.0f); // replaced, not appended to
    float first = 0.0f;
    float second = 0.0f;
    ASSERT_EQ(Sensor().ReadCalibrationBlock(first, second, read), S_OK);
    EXPECT_EQ(first, 25.0f);
    EXPECT_EQ(second, 0.0191f);
    ASSERT_EQ(read.GetCount(), 8u);
    for (uint32_t n = 0; n < 8; ++n)
        EXPECT_EQ(read[n], betas[n]) << n;

    ASSERT_EQ(Sensor().ResetCalibrationBlock(20.0f, 0.02f), S_OK);
    EXPECT_EQ(SimFloat(kConductivity, Layout().referenceTemperature), 20.0f);
    EXPECT_EQ(SimFloat(kConductivity, Layout().Alpha()), 0.02f);
    for (uint16_t n = 0; n < 8; ++n)
        EXPECT_EQ(SimFloat(kConductivity, Layout().Coefficient(n)), 0.0f) << n;

    // A block write stops before a short array and at a refused register.
    CDynArray<float> twos;
    for (int n = 0; n < 7; ++n)
        twos.Add(2.0f);
    Mark();
    EXPECT_EQ(Sensor().WriteCalibrationBlock(30.0f, 0.03f, twos), NVSystem::ADAPTER_E_COEFFICIENT_COUNT);
    EXPECT_EQ(FramesSinceMark(), 0u);
    EXPECT_EQ(SimFloat(kConductivity, Layout().referenceTemperature), 20.0f);
    twos.Add(2.0f);
    for (uint16_t n = 0; n < 8; ++n)
        SetSimFloat(kConductivity, Layout().Coefficient(n), -1.0f);
    RefuseWrites(Register(kConductivity, Layout().Coefficient(3)), 2);
    EXPECT_EQ(Sensor().WriteCalibrationBlock(25.0f, 0.0191f, twos), kRefused);
    EXPECT_EQ(SimFloat(kConductivity, Layout().Coefficient(2)), 2.0f);
    EXPECT_EQ(SimFloat(kConductivity, Layout().Coefficient(3)), -1.0f);
    EXPECT_EQ(SimFloat(kConductivity, Layout().Coefficient(4)), -1.0f);
}

INSTANTIATE_TEST_SUITE_P(Probes, ConductivityAdapter, ::testing::ValuesIn(kProbes),
                         [](const ::testing::TestParamInfo<ConductivityProbe>& probe)
                         { return "Type" + std::to_string(probe.param.deviceType); });

} // namespace
} // namespace modeltest
