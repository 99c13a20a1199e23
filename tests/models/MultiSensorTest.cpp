// The multi-sensor probes: the sensors the device holds for each connection, and the VOX core's
// sensor set-up by the connection routine.
#include <cstdint>

#include "models/SledraComm.h"
#include "models/VOXCoreICComm.h"
#include "models/VOXCoreICSensors.h"
#include "tests/models/DeviceFactoryTestSupport.h"

namespace factorytest
{
namespace
{

using NVSystem::CDeviceComm;
using NVSystem::CSledraComm;
using NVSystem::CVOXCoreICComm;
using NVSystem::ISensor_Interface;

constexpr uint32_t kDeviceSerial = 4711;

constexpr ULONG SensorSerial(USHORT connection)
{
    return kDeviceSerial * 10 + connection;
}

class MultiSensorProbe : public ProbeOnLine
{
protected:
    void StartCore(probesim::ProbeSensors sensors = probesim::ProbeSensors::All)
    {
        StartProbe(probesim::ProbeConfig(39, kDeviceSerial), sensors);
        ASSERT_EQ(CreateDevice(), S_OK);
    }

    ISensor_Interface* SensorAt(USHORT connection)
    {
        ISensor_Interface* sensor = nullptr;
        const HRESULT hr = Device().GetSensor(connection, 0, sensor);
        return Succeeded(hr) ? sensor : nullptr;
    }
};

TEST_F(MultiSensorProbe, TheMultiSensorProbeHoldsASensorPerConnection)
{
    StartProbe(18, kDeviceSerial);
    ASSERT_EQ(CreateDevice(), S_OK);
    CDeviceComm& device = Device();

    const ULONG types[] = {NVSystem::SENSOR_TYPE_VOX, NVSystem::SENSOR_TYPE_CONDUCTIVITY,
                           NVSystem::SENSOR_TYPE_LEVEL, NVSystem::SENSOR_TYPE_PH_ORP};
    for (USHORT connection = 1; connection <= 4; ++connection)
    {
        ISensor_Interface* sensor = SensorAt(connection);
        ASSERT_NE(sensor, nullptr) << connection;
        EXPECT_EQ(sensor->GetSensorType(), types[connection - 1]) << connection;
    }
    EXPECT_EQ(SensorAt(1), static_cast<ISensor_Interface*>(device.GetVoxProSensor()));
    EXPECT_EQ(SensorAt(2), static_cast<ISensor_Interface*>(device.GetConductivitySensor()));
    EXPECT_EQ(SensorAt(3), static_cast<ISensor_Interface*>(device.GetPressureTempLevelSensor()));
    EXPECT_EQ(SensorAt(4), static_cast<ISensor_Interface*>(device.GetpHORPSensor()));
    EXPECT_EQ(device.GetPressureDepthSensor(), nullptr);
    EXPECT_EQ(device.GetConductivityPTLSensor(), nullptr);

    for (USHORT connection : {0, 5, 32})
    {
        ISensor_Interface* sensor = SensorAt(1);
        EXPECT_EQ(device.GetSensor(connection, 0, sensor), E_FAIL) << connection;
        EXPECT_EQ(sensor, nullptr) << connection;
    }

    // Each sensor is bound to its own connection.
    EXPECT_EQ(device.GetVoxProSensor()->GetVoxConnection(), 1);
    EXPECT_EQ(device.GetConductivitySensor()->GetConductivityConnection(), 2);
    EXPECT_EQ(device.GetPressureTempLevelSensor()->GetLevelConnection(), 3);
    EXPECT_EQ(device.GetpHORPSensor()->GetpHORPConnection(), 4);
    ULONG serial = 0;
    ASSERT_EQ(device.GetVoxProSensor()->GetVoxSerialNumber(serial), S_OK);
    EXPECT_EQ(serial, SensorSerial(1));
    ASSERT_EQ(device.GetConductivitySensor()->GetConductivitySerialNumber(serial), S_OK);
    EXPECT_EQ(serial, SensorSerial(2));
    ASSERT_EQ(device.GetPressureTempLevelSensor()->GetLevelSerialNumber(serial), S_OK);
    EXPECT_EQ(serial, SensorSerial(3));
    ASSERT_EQ(device.GetpHORPSensor()->GetpHORPSerialNumber(serial), S_OK);
    EXPECT_EQ(serial, SensorSerial(4));

    CSledraComm* probe = device.QuerySledraComm();
    ASSERT_NE(probe, nullptr);
    EXPECT_EQ(device.QueryVOXCoreICComm(), nullptr);
    EXPECT_EQ(device.QueryVoxProComm(), nullptr);
    probe->Release();
}

TEST_F(MultiSensorProbe, TheCoreGetsItsSensorsFromTheConnectionRoutine)
{
    StartCore();
    CDeviceComm& device = Device();
    // Nothing until the routine runs; the device itself hands out no sensor by connection.
    EXPECT_EQ(device.GetVoxProSensor(), nullptr);
    EXPECT_EQ(device.GetConductivitySensor(), nullptr);
    EXPECT_EQ(device.GetPressureDepthSensor(), nullptr);
    ISensor_Interface* sensor = nullptr;
    EXPECT_EQ(device.GetSensor(1, 0, sensor), S_OK);
    EXPECT_EQ(sensor, nullptr);

    ASSERT_EQ(NVSystem::InitVOXCoreICSensors(&device), S_OK);
    ASSERT_NE(device.GetVoxProSensor(), nullptr);
    ASSERT_NE(device.GetConductivitySensor(), nullptr);
    ASSERT_NE(device.GetPressureDepthSensor(), nullptr);
    EXPECT_EQ(device.GetVoxProSensor()->GetVoxConnection(), 1);
    EXPECT_EQ(device.GetConductivitySensor()->GetConductivityConnection(), 2);
    EXPECT_EQ(device.GetPressureDepthSensor()->GetDepthConnection(), 3);
    EXPECT_EQ(device.GetPressureDepthSensor()->GetSensorType(), NVSystem::SENSOR_TYPE_UNKNOWN);
    ULONG serial = 0;
    ASSERT_EQ(device.GetPressureDepthSensor()->GetDepthSerialNumber(serial), S_OK);
    EXPECT_EQ(serial, SensorSerial(3));
    EXPECT_EQ(device.GetPressureTempLevelSensor(), nullptr);
    EXPECT_EQ(device.GetpHORPSensor(), nullptr);

    // The sensors are never replaced: a second run keeps them.
    NVSystem::ISensor_VoxPro* first = device.GetVoxProSensor();
    EXPECT_EQ(NVSystem::InitVOXCoreICSensors(&device), E_FAIL);
    EXPECT_EQ(device.GetVoxProSensor(), first);

    CVOXCoreICComm* core = device.QueryVOXCoreICComm();
    ASSERT_NE(core, nullptr);
    EXPECT_EQ(device.QuerySledraComm(), nullptr);
    core->Release();
}

TEST_F(MultiSensorProbe, ACoreWithTwoSensorsHasNoDepthSensor)
{
    StartCore(probesim::ProbeSensors::WithoutDepth);
    ASSERT_EQ(NVSystem::InitVOXCoreICSensors(&Device()), S_OK);
    EXPECT_NE(Device().GetVoxProSensor(), nullptr);
    EXPECT_NE(Device().GetConductivitySensor(), nullptr);
    EXPECT_EQ(Device().GetPressureDepthSensor(), nullptr);
}

TEST_F(MultiSensorProbe, AFailedSensorCountRefusesTheCore)
{
    StartCore();
    Sim().Faults().SetPersistent(probesim::Fault::NoReply());
    EXPECT_EQ(NVSystem::InitVOXCoreICSensors(&Device()), SERIALCOMM_E_READ_TIMEOUT);
    Sim().Faults().Clear();
    // The first two stay with the device, which deletes them when it goes.
    EXPECT_NE(Device().GetVoxProSensor(), nullptr);
    EXPECT_NE(Device().GetConductivitySensor(), nullptr);
    EXPECT_EQ(Device().GetPressureDepthSensor(), nullptr);
}

TEST_F(MultiSensorProbe, OnlyACoreTakesTheCoreSensors)
{
    EXPECT_EQ(NVSystem::InitVOXCoreICSensors(nullptr), MODBUSCOMM_E_INVALID_DEVICE_THIS);
    StartProbe(18, kDeviceSerial);
    ASSERT_EQ(CreateDevice(), S_OK);
    Mark();
    EXPECT_EQ(NVSystem::InitVOXCoreICSensors(&Device()), MODBUSCOMM_E_INVALID_DEVICE_THIS);
    EXPECT_EQ(FramesSinceMark(), 0u);
}

} // namespace
} // namespace factorytest
