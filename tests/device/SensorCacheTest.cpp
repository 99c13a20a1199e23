// The connection table as the device reads it: which connections get a sensor record, the
// connection records, the listing by mask, the search by sensor id, the device's sensor interface,
// and lookups that race a rebuild of the cache on another thread.
#include <atomic>
#include <thread>

#include "platform/Clock.h"
#include "tests/device/SensorTestSupport.h"

namespace devicetest
{
namespace
{

using NVSystem::CLockedSensor;
using NVSystem::SensorConnectionInfo;

class SensorCacheTest : public SensorOnSimulator
{
protected:
    std::vector<USHORT> ActivePorts()
    {
        CDynArray<USHORT> ports;
        EXPECT_EQ(Device().GetActiveSensorPorts(ports), S_OK);
        return std::vector<USHORT>(ports.GetData(), ports.GetData() + ports.GetCount());
    }
    USHORT SensorCount()
    {
        USHORT count = 99;
        EXPECT_EQ(Device().GetSensorCount(count), S_OK);
        return count;
    }
    HRESULT SensorIdAt(USHORT connection)
    {
        USHORT id = 0;
        return Device().GetSensorId(connection, id);
    }
};

TEST_F(SensorCacheTest, RecordsFollowTheMaskAndTheTableIsReadOnce)
{
    StartLine({.deviceType = 12});
    Probe().Sensors().Add(2, probesim::OpticalDoSensor(kDoSerial));
    AttachDevice();

    EXPECT_EQ(SensorCount(), 1);
    EXPECT_EQ(ActivePorts(), std::vector<USHORT>{2});
    ULONG mask = 0;
    ASSERT_EQ(Device().GetActiveSensorPortMask(mask), S_OK);
    EXPECT_EQ(mask, 0x2u);
    const std::vector<RegisterRead> table{{kSlave, 49300, 3}, {kSlave, 49303, 10}};
    EXPECT_EQ(ReadsSinceMark(), table);

    USHORT id = 0;
    ASSERT_EQ(Device().GetSensorId(2, id), S_OK);
    EXPECT_EQ(id, probesim::kOpticalDoSensorId);
    for (USHORT connection : {0, 1, 3, 32, 33})
        EXPECT_EQ(SensorIdAt(connection), MODBUSCOMM_E_INVALID_SENSOR_PORT) << connection;
}

TEST_F(SensorCacheTest, ConnectionRecordsCarryTheTableAndRefuseUnlistedConnections)
{
    StartLine({.deviceType = 12, .serialNumber = 4711});
    probesim::SimSensor sensor = probesim::OpticalDoSensor(kDoSerial);
    sensor.base = 41000;
    sensor.connectionWord0 = 0x1234;
    sensor.connectionWord3 = 0x5678;
    Probe().Sensors().Add(3, sensor);
    Probe().Sensors().SetConnectionCount(5);
    AttachDevice();

    SensorConnectionInfo info;
    ASSERT_EQ(Device().GetSensorConnectionInfo(3, info), S_OK);
    EXPECT_EQ(info.Connection, 3);
    EXPECT_EQ(info.SensorBase, 41000);
    EXPECT_EQ(info.CommandRegister, 49315);
    EXPECT_EQ(info.Register1, 49314);
    EXPECT_EQ(info.Word0, 0x1234);
    EXPECT_EQ(info.Word3, 0x5678);
    EXPECT_EQ(info.DeviceTypeId, 12);
    EXPECT_EQ(info.DeviceSerialNumber, 4711u);

    // Listed without a sensor: a record of its own; past N: none, not the last one.
    ASSERT_EQ(Device().GetSensorConnectionInfo(5, info), S_OK);
    EXPECT_EQ(info.Connection, 5);
    info = SensorConnectionInfo{};
    EXPECT_EQ(Device().GetSensorConnectionInfo(6, info), MODBUSCOMM_E_INVALID_SENSOR_PORT);
    EXPECT_EQ(info.Connection, 0);
    EXPECT_EQ(Device().GetSensorConnectionInfo(0, info), MODBUSCOMM_E_INVALID_SENSOR_PORT);
    EXPECT_EQ(SensorIdAt(5), MODBUSCOMM_E_INVALID_SENSOR_PORT);
}

TEST_F(SensorCacheTest, AnInstrumentWithoutConnectionsHasNoRecordsAndIsNotAskedAgain)
{
    StartLine({.deviceType = 12});
    AttachDevice();
    EXPECT_EQ(SensorCount(), 0);
    SensorConnectionInfo info;
    EXPECT_EQ(Device().GetSensorConnectionInfo(1, info), MODBUSCOMM_E_INVALID_SENSOR_PORT);
    EXPECT_EQ(SensorIdAt(1), MODBUSCOMM_E_INVALID_SENSOR_PORT);
    EXPECT_EQ(ReadsSinceMark(), (std::vector<RegisterRead>{{kSlave, 49300, 3}}));
}

TEST_F(SensorCacheTest, FirstAndLastConnection)
{
    StartLine({.deviceType = 12});
    Probe().Sensors().Add(1, probesim::OpticalDoSensor(1));
    Probe().Sensors().Add(32, probesim::SimSensor{.sensorId = 7});
    AttachDevice();
    EXPECT_EQ(SensorCount(), 2);
    EXPECT_EQ(ActivePorts(), (std::vector<USHORT>{1, 32}));
    USHORT id = 0;
    ASSERT_EQ(Device().GetSensorId(32, id), S_OK);
    EXPECT_EQ(id, 7);
    SensorConnectionInfo info;
    ASSERT_EQ(Device().GetSensorConnectionInfo(32, info), S_OK);
    EXPECT_EQ(info.CommandRegister, 49460);
    EXPECT_EQ(info.SensorBase, Base(32));
}

TEST_F(SensorCacheTest, MoreThanThirtyTwoConnectionsLeaveTheCacheUnbuilt)
{
    StartWithDoSensor();
    AttachDevice();
    Probe().Registers().SetU16(49300, 33);
    EXPECT_EQ(Device().BuildSensorCache(), MODBUSCOMM_E_INVALID_SENSOR_PORT);
    USHORT count = 99;
    EXPECT_EQ(Device().GetSensorCount(count), MODBUSCOMM_E_INVALID_SENSOR_PORT);
    // Each operation tries the build again and never reads the connection registers.
    EXPECT_EQ(ReadsSinceMark(), (std::vector<RegisterRead>{{kSlave, 49300, 3}, {kSlave, 49300, 3}}));
    Probe().Registers().SetU16(49300, 1);
    EXPECT_EQ(SensorCount(), 1);
}

TEST_F(SensorCacheTest, ASensorWindowOutsideTheHoldingRegistersIsLeftOut)
{
    StartWithDoSensor();
    Probe().Sensors().Add(2, probesim::OpticalDoSensor(2));
    // Connection 1's header would pass 49999; connection 2's offset wraps a 16-bit sum.
    Probe().Registers().SetU16(probesim::ConnectionRegister(1, 4), 9990);
    Probe().Registers().SetU16(probesim::ConnectionRegister(2, 4), 30000);
    AttachDevice();
    EXPECT_EQ(SensorCount(), 0);
    EXPECT_EQ(ActivePorts(), (std::vector<USHORT>{1, 2}));
    EXPECT_EQ(SensorIdAt(1), MODBUSCOMM_E_INVALID_SENSOR_PORT);
    EXPECT_EQ(SensorIdAt(2), MODBUSCOMM_E_INVALID_SENSOR_PORT);
    for (const RegisterRead& read : ReadsSinceMark())
        EXPECT_GE(read.first, 49300) << "read outside the table";
}

TEST_F(SensorCacheTest, AListedSensorThatIsAbsentAnswersTheInstrumentsException)
{
    StartWithDoSensor();
    Probe().Sensors().AddUnplugged(2);
    AttachDevice();
    EXPECT_EQ(SensorCount(), 2);
    float value = 0.0f;
    USHORT quality = 0, unit = 0;
    EXPECT_EQ(Device().ReadParameterValue(2, 1, value, quality, unit, FALSE), MODBUSCOMM_E_PORT_NO_SENSOR);
    CDynArray<sParameterReading> readings;
    EXPECT_EQ(Device().GetSensorParameters(2, readings, TRUE), MODBUSCOMM_E_PORT_NO_SENSOR);
    USHORT id = 0;
    EXPECT_EQ(Device().GetSensorId(2, id), MODBUSCOMM_E_PORT_NO_SENSOR);
    EXPECT_EQ(Device().SetSensorCalModeOn(2), MODBUSCOMM_E_PORT_NO_SENSOR);
    EXPECT_EQ(Device().GetSensorId(1, id), S_OK);
}

TEST_F(SensorCacheTest, SensorPortFollowsTheOrderOfTheRecordsNotOfTheIds)
{
    StartLine({.deviceType = 12});
    Probe().Sensors().Add(1, probesim::SimSensor{.sensorId = 21});
    Probe().Sensors().Add(2, probesim::SimSensor{.sensorId = 20});
    AttachDevice();
    const USHORT wanted[] = {20, 21};
    USHORT connection = 0;
    ASSERT_EQ(Device().GetSensorPort(connection, wanted, 2), S_OK);
    EXPECT_EQ(connection, 1);
    const USHORT second[] = {20};
    ASSERT_EQ(Device().GetSensorPort(connection, second, 1), S_OK);
    EXPECT_EQ(connection, 2);
    const USHORT none[] = {99};
    EXPECT_EQ(Device().GetSensorPort(connection, none, 1), MODBUSCOMM_E_SENSOR_ID_NOT_FOUND);
}

TEST_F(SensorCacheTest, ANewLinkFindsTheSensorsAgain)
{
    StartWithDoSensor();
    AttachDevice();
    EXPECT_EQ(SensorCount(), 1);
    Probe().Sensors().Add(2, probesim::OpticalDoSensor(2));
    EXPECT_EQ(SensorCount(), 1); // built once, kept
    ASSERT_EQ(Device().DetachCommLink(&Network()), S_OK);
    ASSERT_EQ(Device().AttachCommLink(kSlave, ReportedIdentity(), &Network()), S_OK);
    EXPECT_EQ(SensorCount(), 2);
}

TEST_F(SensorCacheTest, AFactoryRestoreRebuildsTheRecordsWithTheirDescriptions)
{
    StartLine({.deviceType = 12,
               .factoryLine = {probesim::FramingMode::Rtu, 6, 1, 0, 0},
               .restoreSilence = std::chrono::milliseconds(100)});
    Probe().Sensors().Add(1, probesim::OpticalDoSensor(kDoSerial));
    AttachDevice();
    EXPECT_EQ(SensorCount(), 1);
    Probe().Sensors().Add(2, probesim::OpticalDoSensor(2));
    ASSERT_EQ(Device().RestoreFactoryDefaults(6, 1, 0, 0, 0, kSlave), S_OK);
    Mark();
    EXPECT_EQ(SensorCount(), 2);
    USHORT unit = 0;
    EXPECT_EQ(Device().GetParameterUnitId(2, 4, unit), S_OK);
    EXPECT_EQ(FramesSinceMark(), 0u);
}

// A sensor class looks a record up and uses it while the live-data thread rebuilds the cache. The
// record it holds must stay alive until it lets go (the sanitizers see a use after free otherwise).
TEST_F(SensorCacheTest, ALookedUpRecordOutlivesARebuildOnAnotherThread)
{
    StartWithDoSensor();
    AttachDevice();
    std::atomic<bool> done{false};
    std::atomic<int> builds{0};
    std::thread rebuilder(
        [&]
        {
            while (!done.load() && builds.load() < 40)
            {
                EXPECT_EQ(Device().BuildSensorCache(), S_OK);
                ++builds;
            }
        });
    for (int i = 0; i < 40; ++i)
    {
        CLockedSensor sensor;
        ASSERT_EQ(Device().FindSensorAtConnection(1, sensor), S_OK);
        ASSERT_TRUE(sensor);
        // A rebuild waiting for the device gets its chance here, unless the lookup still holds it.
        platform::SleepMs(2);
        USHORT connection = 0;
        EXPECT_EQ(sensor->GetConnectionNumber(connection), S_OK);
        EXPECT_EQ(connection, 1);
        USHORT id = 0;
        EXPECT_EQ(sensor->ReadUShortAtOffset(0, id), S_OK);
        EXPECT_EQ(id, probesim::kOpticalDoSensorId);
    }
    done = true;
    rebuilder.join();
    EXPECT_GT(builds.load(), 0);
}

TEST_F(SensorCacheTest, TheLockedRecordHoldsTheDeviceUntilItIsReset)
{
    StartWithDoSensor();
    AttachDevice();
    CLockedSensor sensor;
    ASSERT_EQ(Device().FindSensorAtConnection(1, sensor), S_OK);
    std::atomic<bool> built{false};
    std::thread rebuilder(
        [&]
        {
            EXPECT_EQ(Device().BuildSensorCache(), S_OK);
            built = true;
        });
    platform::SleepMs(100);
    EXPECT_FALSE(built.load());
    sensor.Reset();
    rebuilder.join();
    EXPECT_TRUE(built.load());
    EXPECT_EQ(Device().FindSensorAtConnection(2, sensor), MODBUSCOMM_E_INVALID_SENSOR_PORT);
    EXPECT_FALSE(sensor);
}

// The device's sensor interface by device type, on a device linked to a line without a transport.
class BuiltInSensorDevice : public TestDevice
{
public:
    using TestDevice::TestDevice;
    void PlaceBuiltInSensor(NVSystem::ISensor_Interface* sensor) { m_pBuiltInSensor = sensor; }
};

TEST(SensorInterface, ByDeviceType)
{
    testsupport::ScopedConfigDir config;
    NetworkPtr network(CModbusComm::Create());
    ASSERT_NE(network, nullptr);
    int anchor = 0;
    auto* builtIn = reinterpret_cast<NVSystem::ISensor_Interface*>(&anchor);
    struct Case
    {
        USHORT type;
        HRESULT result;
        bool builtIn;
    };
    for (const Case& c : {Case{12, S_OK, true}, Case{0x8001, S_OK, true}, Case{18, S_OK, false},
                          Case{39, S_OK, false}, Case{13, MODBUSCOMM_E_SENSOR_TYPE_UNKNOWN, false},
                          Case{0x8003, MODBUSCOMM_E_SENSOR_TYPE_UNKNOWN, false}})
    {
        SlaveIdInfo slaveId;
        slaveId.RunIndicator = SLAVEID_RUN_APPLICATION;
        slaveId.DeviceTypeId = c.type;
        slaveId.RegisterMapVersion = 3;
        auto* device = new BuiltInSensorDevice(slaveId);
        DevicePtr owner(device);
        device->PlaceBuiltInSensor(builtIn);
        ASSERT_EQ(device->AttachCommLink(1, slaveId, network.get()), S_OK);
        NVSystem::ISensor_Interface* sensor = builtIn;
        EXPECT_EQ(device->GetSensor(5, 0, sensor), c.result) << c.type;
        EXPECT_EQ(sensor, c.builtIn ? builtIn : nullptr) << c.type;
    }
}

} // namespace
} // namespace devicetest
