// The depth adapter against the pressure/depth sensor on connection 3 of the VOX core probe (device
// type 39).
#include <limits>

#include "foundation/Units.h"
#include "models/LevelSensorVOXCoreIC.h"
#include "tests/models/AdapterTestSupport.h"
#include "tools/probe-sim/PressureSensors.h"

namespace adaptertest
{
namespace
{

using NVSystem::CLevelSensorVOXCoreIC;
namespace dep = probesim::depthsensor;

constexpr uint16_t kDepth = 3;

class DepthSensorAdapter : public AdapterTest
{
protected:
    void SetUp() override { StartProbe(probesim::kCoreProbeType); }
};

TEST_F(DepthSensorAdapter, CalibrationValuesAtTheirRegisters)
{
    CLevelSensorVOXCoreIC sensor(&Device(), kDepth);
    SetSimFloat(kDepth, dep::kPressureOffset, 0.75f);
    SetSimFloat(kDepth, dep::kCalibrationB, 2.5f);
    float value = 0.0f;
    ASSERT_EQ(sensor.ReadDepthCalA(value), S_OK);
    EXPECT_EQ(value, 0.75f);
    ASSERT_EQ(sensor.ReadDepthCalB(value), S_OK);
    EXPECT_EQ(value, 2.5f);
    ASSERT_EQ(sensor.WriteDepthCalA(-0.5f), S_OK);
    ASSERT_EQ(sensor.WriteDepthCalB(4.0f), S_OK);
    EXPECT_EQ(SimFloat(kDepth, dep::kPressureOffset), -0.5f);
    EXPECT_EQ(SimFloat(kDepth, dep::kCalibrationB), 4.0f);
}

TEST_F(DepthSensorAdapter, DensityCorrectionIsOnForAnythingButZero)
{
    CLevelSensorVOXCoreIC sensor(&Device(), kDepth);
    const struct
    {
        float stored;
        ULONG enabled;
    } cases[] = {{0.5f, 1}, {0.0f, 0}, {-0.0f, 0}, {1.0f, 1}, {std::numeric_limits<float>::quiet_NaN(), 1}};
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.stored);
        SetSimFloat(kDepth, dep::kDensityCorrection, c.stored);
        ULONG enabled = 7;
        ASSERT_EQ(sensor.IsDepthCalEnabled(enabled), S_OK);
        EXPECT_EQ(enabled, c.enabled);
    }

    ASSERT_EQ(sensor.SetDepthCalEnabled(5), S_OK);
    EXPECT_EQ(SimFloat(kDepth, dep::kDensityCorrection), 1.0f);
    ASSERT_EQ(sensor.SetDepthCalEnabled(FALSE), S_OK);
    EXPECT_EQ(SimFloat(kDepth, dep::kDensityCorrection), 0.0f);

    RefuseReads(Register(kDepth, dep::kDensityCorrection), 2);
    ULONG enabled = 7;
    EXPECT_EQ(sensor.IsDepthCalEnabled(enabled), ResultOf(probesim::ExceptionCode::SlaveDeviceFailure));
    EXPECT_EQ(enabled, 7u);
}

TEST_F(DepthSensorAdapter, PressureAndDepthParameters)
{
    CLevelSensorVOXCoreIC sensor(&Device(), kDepth);
    MarkParameter(kDepth, dep::kPressure, 0x10);
    MarkParameter(kDepth, dep::kDepth, 0x20);
    float value = 0.0f;
    USHORT quality = 0;
    USHORT unitId = 0;
    ASSERT_EQ(sensor.ReadPressure(value, quality, unitId, FALSE), S_OK);
    EXPECT_EQ(quality, 0x10);
    EXPECT_EQ(unitId, UNIT_PSI);
    ASSERT_EQ(sensor.ReadDepth(value, quality, unitId, FALSE), S_OK);
    EXPECT_EQ(quality, 0x20);
    EXPECT_EQ(unitId, UNIT_METRES);
    ASSERT_EQ(sensor.SetDepthUnit(UNIT_KILOMETRES), S_OK);
    ASSERT_EQ(sensor.GetDepthUnit(unitId), S_OK);
    EXPECT_EQ(unitId, UNIT_KILOMETRES);
    ASSERT_EQ(sensor.GetPressureUnit(unitId), S_OK);
    EXPECT_EQ(unitId, UNIT_PSI);
}

TEST_F(DepthSensorAdapter, IdentityTypeAndCasts)
{
    CLevelSensorVOXCoreIC sensor(&Device(), kDepth);
    ULONG serial = 0;
    ASSERT_EQ(sensor.GetPressureSerialNumber(serial), S_OK);
    EXPECT_EQ(serial, SensorSerial(kDepth));
    ASSERT_EQ(sensor.GetDepthSerialNumber(serial), S_OK);
    EXPECT_EQ(serial, SensorSerial(kDepth));
    EXPECT_EQ(sensor.GetPressureConnection(), kDepth);
    EXPECT_EQ(sensor.GetDepthConnection(), kDepth);
    EXPECT_EQ(sensor.Reserved28(), S_OK);
    EXPECT_EQ(sensor.Reserved29(), S_OK);
    NVSystem::ISensor_Interface& root = sensor;
    EXPECT_EQ(root.GetSensorType(), NVSystem::SENSOR_TYPE_UNKNOWN);
    EXPECT_EQ(root.AsTemperature(), nullptr);
    EXPECT_EQ(root.AsPressureTemp(), nullptr);
    EXPECT_EQ(root.AsPressureTempLevel(), nullptr);
}

TEST_F(DepthSensorAdapter, SignatureAndDeviceBeforeAnyTraffic)
{
    Tampered<CLevelSensorVOXCoreIC> tampered(&Device(), kDepth);
    tampered.SpoilSignature();
    CLevelSensorVOXCoreIC unbound(nullptr, kDepth);
    for (CLevelSensorVOXCoreIC* sensor : {static_cast<CLevelSensorVOXCoreIC*>(&tampered), &unbound})
    {
        float value = 0.0f;
        ULONG serial = 4;
        ULONG enabled = 0;
        EXPECT_EQ(sensor->WriteDepthCalA(1.0f), MODBUSCOMM_E_INVALID_DEVICE_THIS);
        EXPECT_EQ(sensor->ReadDepthCalB(value), MODBUSCOMM_E_INVALID_DEVICE_THIS);
        EXPECT_EQ(sensor->IsDepthCalEnabled(enabled), MODBUSCOMM_E_INVALID_DEVICE_THIS);
        EXPECT_EQ(sensor->GetDepthSerialNumber(serial), MODBUSCOMM_E_INVALID_DEVICE_THIS);
        EXPECT_EQ(serial, 0u);
    }
    EXPECT_EQ(FramesSinceMark(), 0u);
}

} // namespace
} // namespace adaptertest
