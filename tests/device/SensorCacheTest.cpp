// The connection table as the device reads it: which connections get a sensor record, the
// connection records, the listing by mask, the search by sensor id, and lookups that race a rebuild
// of the cache on another thread.
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
    HRESULT SensorIdAt(USHORT connection)
    {
        USHORT id = 0;
        return Device().GetSensorId(connection, id);
    }
};

TEST_F(SensorCacheTest, RecordsFollowTheMaskAndTheTableIsReadOnceForEachLink)
{
    StartLine({.deviceType = 12});
    Probe().Sensors().Add(2, probesim::OpticalDoSensor(kDoSerial));
    Probe().Sensors().Add(32, probesim::SimSensor{.sensorId = 7});
    AttachDevice();
    EXPECT_EQ(Got(&CDeviceComm::GetSensorCount), 2);
    EXPECT_EQ(ActivePorts(), (std::vector<USHORT>{2, 32}));
    EXPECT_EQ(Got(&CDeviceComm::GetActiveSensorPortMask), 0x80000002u);
    EXPECT_EQ(ReadsSinceMark(),
              (std::vector<RegisterRead>{{kSlave, 49300, 3}, {kSlave, 49303, 125}, {kSlave, 49428, 35}}));
    USHORT id = 0;
    ASSERT_EQ(Device().GetSensorId(32, id), S_OK);
    EXPECT_EQ(id, 7);
    for (USHORT connection : {0, 1, 3, 33})
        EXPECT_EQ(SensorIdAt(connection), MODBUSCOMM_E_INVALID_SENSOR_PORT) << connection;
    // The search by id follows the order of the records, not of the ids asked for.
    const USHORT wanted[] = {7, probesim::kOpticalDoSensorId};
    USHORT connection = 0;
    ASSERT_EQ(Device().GetSensorPort(connection, wanted, 2), S_OK);
    EXPECT_EQ(connection, 2);
    ASSERT_EQ(Device().GetSensorPort(connection, wanted, 1), S_OK);
    EXPECT_EQ(connection, 32);
    const USHORT none[] = {99};
    EXPECT_EQ(Device().GetSensorPort(connection, none, 1), MODBUSCOMM_E_SENSOR_ID_NOT_FOUND);

    // Built once and kept; a new link finds the sensors again.
    Probe().Sensors().Add(1, probesim::OpticalDoSensor(1));
    EXPECT_EQ(Got(&CDeviceComm::GetSensorCount), 2);
    ASSERT_EQ(Device().DetachCommLink(&Network()), S_OK);
    ASSERT_EQ(Device().AttachCommLink(kSlave, ReportedIdentity(), &Network()), S_OK);
    EXPECT_EQ(Got(&CDeviceComm::GetSensorCount), 3);
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
    EXPECT_EQ(std::make_tuple(info.Connection, info.SensorBase, info.CommandRegister, info.Register1),
              std::make_tuple(USHORT{3}, USHORT{41000}, USHORT{49315}, USHORT{49314}));
    EXPECT_EQ(std::make_tuple(info.Word0, info.Word3, info.DeviceSerialNumber),
              std::make_tuple(USHORT{0x1234}, USHORT{0x5678}, ULONG{4711}));
    // Listed without a sensor: a record of its own; past N: none, not the last one.
    ASSERT_EQ(Device().GetSensorConnectionInfo(5, info), S_OK);
    EXPECT_EQ(info.Connection, 5);
    info = SensorConnectionInfo{};
    EXPECT_EQ(Device().GetSensorConnectionInfo(6, info), MODBUSCOMM_E_INVALID_SENSOR_PORT);
    EXPECT_EQ(info.Connection, 0);
    EXPECT_EQ(Device().GetSensorConnectionInfo(0, info), MODBUSCOMM_E_INVALID_SENSOR_PORT);
    EXPECT_EQ(SensorIdAt(5), MODBUSCOMM_E_INVALID_SENSOR_PORT);
}

TEST_F(SensorCacheTest, NoConnectionsAreKeptAndMoreThanThirtyTwoLeaveTheCacheUnbuilt)
{
    StartWithDoSensor();
    Probe().Registers().SetU16(49300, 0);
    AttachDevice();
    EXPECT_EQ(Got(&CDeviceComm::GetSensorCount), 0);
    SensorConnectionInfo info;
    EXPECT_EQ(Device().GetSensorConnectionInfo(1, info), MODBUSCOMM_E_INVALID_SENSOR_PORT);
    EXPECT_EQ(SensorIdAt(1), MODBUSCOMM_E_INVALID_SENSOR_PORT);
    EXPECT_EQ(ReadsSinceMark(), (std::vector<RegisterRead>{{kSlave, 49300, 3}}));
    Mark();
    Probe().Registers().SetU16(49300, 33);
    EXPECT_EQ(Device().BuildSensorCache(), MODBUSCOMM_E_INVALID_SENSOR_PORT);
    USHORT count = 99;
    EXPECT_EQ(Device().GetSensorCount(count), MODBUSCOMM_E_INVALID_SENSOR_PORT);
    // Each operation tries the build again and never reads the connection registers.
    EXPECT_EQ(ReadsSinceMark(), (std::vector<RegisterRead>{{kSlave, 49300, 3}, {kSlave, 49300, 3}}));
    Probe().Registers().SetU16(49300, 1);
    EXPECT_EQ(Got(&CDeviceComm::GetSensorCount), 1);
}

TEST_F(SensorCacheTest, AnAbsentSensorAnswersTheInstrumentsExceptionAndAWindowOutsideIsLeftOut)
{
    StartWithDoSensor();
    Probe().Sensors().AddUnplugged(2);
    AttachDevice();
    EXPECT_EQ(Got(&CDeviceComm::GetSensorCount), 2);
    float value = 0.0f;
    USHORT quality = 0, unit = 0;
    EXPECT_EQ(Device().ReadParameterValue(2, 1, value, quality, unit, FALSE), MODBUSCOMM_E_PORT_NO_SENSOR);
    EXPECT_EQ(Device().SetSensorCalModeOn(2), MODBUSCOMM_E_PORT_NO_SENSOR);
    EXPECT_EQ(SensorIdAt(2), MODBUSCOMM_E_PORT_NO_SENSOR);
    EXPECT_EQ(SensorIdAt(1), S_OK);

    StartWithDoSensor();
    Probe().Sensors().Add(2, probesim::OpticalDoSensor(2));
    // Connection 1's header would pass 49999; connection 2's offset wraps a 16-bit sum.
    Probe().Registers().SetU16(probesim::ConnectionRegister(1, 4), 9990);
    Probe().Registers().SetU16(probesim::ConnectionRegister(2, 4), 30000);
    AttachDevice();
    EXPECT_EQ(Got(&CDeviceComm::GetSensorCount), 0);
    EXPECT_EQ(ActivePorts(), (std::vector<USHORT>{1, 2}));
    EXPECT_EQ(SensorIdAt(1), MODBUSCOMM_E_INVALID_SENSOR_PORT);
    EXPECT_EQ(SensorIdAt(2), MODBUSCOMM_E_INVALID_SENSOR_PORT);
    for (const RegisterRead& read : ReadsSinceMark())
        EXPECT_GE(read.first, 49300) << "read outside the table";
}

TEST_F(SensorCacheTest, AFactoryRestoreRebuildsTheRecordsWithTheirDescriptions)
{
    StartWithDoSensor({.deviceType = 12,
                       .factoryLine = {probesim::FramingMode::Rtu, 6, 1, 0, 0},
                       .restoreSilence = std::chrono::milliseconds(100)});
    AttachDevice();
    EXPECT_EQ(Got(&CDeviceComm::GetSensorCount), 1);
    Probe().Sensors().Add(2, probesim::OpticalDoSensor(2));
    ASSERT_EQ(Device().RestoreFactoryDefaults(6, 1, 0, 0, 0, kSlave), S_OK);
    Mark();
    EXPECT_EQ(Got(&CDeviceComm::GetSensorCount), 2);
    USHORT unit = 0;
    EXPECT_EQ(Device().GetParameterUnitId(2, 4, unit), S_OK);
    EXPECT_EQ(FramesSinceMark(), 0u);
}

// A sensor class looks a record up and uses it while the live-data thread rebuilds the cache. The
// record holds the device until it lets go (the sanitizers see a use after free otherwise).
TEST_F(SensorCacheTest, ALookedUpRecordHoldsTheDeviceAgainstARebuildOnAnotherThread)
{
    StartWithDoSensor();
    AttachDevice();
    CLockedSensor held;
    ASSERT_EQ(Device().FindSensorAtConnection(1, held), S_OK);
    std::atomic<bool> built{false};
    std::thread waiting(
        [&]
        {
            EXPECT_EQ(Device().BuildSensorCache(), S_OK);
            built = true;
        });
    platform::SleepMs(100);
    EXPECT_FALSE(built.load());
    held.Reset();
    waiting.join();
    EXPECT_TRUE(built.load());
    EXPECT_EQ(Device().FindSensorAtConnection(2, held), MODBUSCOMM_E_INVALID_SENSOR_PORT);
    EXPECT_FALSE(held);
    std::atomic<int> builds{0};
    std::thread rebuilder(
        [&]
        {
            for (; builds.load() < 20; ++builds)
                EXPECT_EQ(Device().BuildSensorCache(), S_OK);
        });
    for (int i = 0; i < 20; ++i)
    {
        CLockedSensor sensor;
        ASSERT_EQ(Device().FindSensorAtConnection(1, sensor), S_OK);
        // A rebuild waiting for the device gets its chance here, unless the lookup still holds it.
        platform::SleepMs(2);
        USHORT id = 0;
        EXPECT_EQ(sensor->ReadUShortAtOffset(0, id), S_OK);
        EXPECT_EQ(id, probesim::kOpticalDoSensorId);
    }
    rebuilder.join();
}

} // namespace
} // namespace devicetest
