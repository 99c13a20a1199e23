// The casts and type ids of every sensor object the probes hand out: each answers exactly the casts
// of its interface chain, with itself.
#include <cstdint>
#include <string>
#include <vector>

#include "models/SensorInterfaces.h"
#include "models/VOXCoreICSensors.h"
#include "tests/models/DeviceFactoryTestSupport.h"

namespace factorytest
{
namespace
{

using NVSystem::ISensor_Interface;

// One bit per cast operation.
enum Cast : uint32_t
{
    kTemperature = 1u << 0,
    kPressureTemp = 1u << 1,
    kPressureTempLevel = 1u << 2,
    kConductivityPTL = 1u << 3,
    kConductivity = 1u << 4,
    kVoxPro = 1u << 5,
    kFlowHeadTemp = 1u << 6,
    kpHORP = 1u << 7,
    kpH = 1u << 8,
    kORP = 1u << 9,
    kTurbidity = 1u << 10,
    kBarometric = 1u << 11,
    kNitrate = 1u << 12,
    kAmmonium = 1u << 13,
    kChloride = 1u << 14,
    kReserved = 1u << 15,
};

// The casts that answer non-null; every one of them must answer the object itself.
uint32_t CastsOf(ISensor_Interface& sensor)
{
    uint32_t casts = 0;
    const auto note = [&](ISensor_Interface* answer, Cast cast)
    {
        if (answer == nullptr)
            return;
        casts |= cast;
        EXPECT_EQ(answer, &sensor) << "cast " << cast;
    };
    note(sensor.AsTemperature(), kTemperature);
    note(sensor.AsPressureTemp(), kPressureTemp);
    note(sensor.AsPressureTempLevel(), kPressureTempLevel);
    note(sensor.AsConductivityPTL(), kConductivityPTL);
    note(sensor.AsConductivity(), kConductivity);
    note(sensor.AsVoxPro(), kVoxPro);
    note(sensor.AsFlowHeadTemp(), kFlowHeadTemp);
    note(sensor.AspHORP(), kpHORP);
    note(sensor.AspH(), kpH);
    note(sensor.AsORP(), kORP);
    note(sensor.AsTurbidity(), kTurbidity);
    note(sensor.AsBarometric(), kBarometric);
    note(sensor.AsNitrate(), kNitrate);
    note(sensor.AsAmmonium(), kAmmonium);
    note(sensor.AsChloride(), kChloride);
    note(sensor.AsReserved18(), kReserved);
    note(sensor.AsReserved19(), kReserved);
    note(sensor.AsReserved20(), kReserved);
    return casts;
}

struct Expected
{
    std::string what;
    ISensor_Interface* sensor;
    ULONG type;
    uint32_t casts;
};

class SensorCasts : public ProbeOnLine
{
protected:
    void Check(const std::vector<Expected>& sensors)
    {
        for (const Expected& expected : sensors)
        {
            ASSERT_NE(expected.sensor, nullptr) << expected.what;
            EXPECT_EQ(expected.sensor->GetSensorType(), expected.type) << expected.what;
            EXPECT_EQ(CastsOf(*expected.sensor), expected.casts) << expected.what;
        }
    }
};

TEST_F(SensorCasts, TheBareRootIsUnknownAndCastsToNothing)
{
    struct Bare : ISensor_Interface
    {
    } bare;
    EXPECT_EQ(bare.GetSensorType(), NVSystem::SENSOR_TYPE_UNKNOWN);
    EXPECT_EQ(CastsOf(bare), 0u);
}

TEST_F(SensorCasts, TheOpticalDOProbe)
{
    StartProbe(12);
    ASSERT_EQ(CreateDevice(), S_OK);
    Check({{"built-in", Device().GetVoxProSensor(), NVSystem::SENSOR_TYPE_VOX, kTemperature | kVoxPro}});
}

TEST_F(SensorCasts, TheMultiSensorProbe)
{
    StartProbe(18);
    ASSERT_EQ(CreateDevice(), S_OK);
    NVSystem::CDeviceComm& device = Device();
    Check({
        {"optical DO", device.GetVoxProSensor(), NVSystem::SENSOR_TYPE_VOX, kTemperature | kVoxPro},
        {"conductivity", device.GetConductivitySensor(), NVSystem::SENSOR_TYPE_CONDUCTIVITY,
         kTemperature | kConductivity},
        {"level", device.GetPressureTempLevelSensor(), NVSystem::SENSOR_TYPE_LEVEL,
         kTemperature | kPressureTemp | kPressureTempLevel},
        {"pH/ORP", device.GetpHORPSensor(), NVSystem::SENSOR_TYPE_PH_ORP, kTemperature | kpHORP},
    });
}

TEST_F(SensorCasts, TheCoreProbe)
{
    StartProbe(39);
    ASSERT_EQ(CreateDevice(), S_OK);
    ASSERT_EQ(NVSystem::InitVOXCoreICSensors(&Device()), S_OK);
    NVSystem::CDeviceComm& device = Device();
    // The depth sensor keeps the root's type and casts to nothing: only its getter reaches it.
    Check({
        {"optical DO", device.GetVoxProSensor(), NVSystem::SENSOR_TYPE_VOX, kTemperature | kVoxPro},
        {"conductivity", device.GetConductivitySensor(), NVSystem::SENSOR_TYPE_CONDUCTIVITY,
         kTemperature | kConductivity},
        {"depth", device.GetPressureDepthSensor(), NVSystem::SENSOR_TYPE_UNKNOWN, 0},
    });
}

} // namespace
} // namespace factorytest
