// The network's device factory with the device classes installed: class by device type, boot code,
// failures that leave nothing behind, and the device list.
#include <cstdint>
#include <string_view>
#include <thread>

#include "comm/DeviceFactoryHook.h"
#include "models/BlueToothSkiffCom.h"
#include "models/BluetoothCommDeviceComm.h"
#include "models/DeviceFactory.h"
#include "models/SledraComm.h"
#include "models/StiloComm.h"
#include "models/VOXCoreICComm.h"
#include "models/VoxProComm.h"
#include "tests/models/ModelTestSupport.h"
#include "tools/probe-sim/StandardFunctions.h"

namespace modeltest
{
namespace
{

using namespace NVSystem;

class DeviceFactory : public ModelTest
{
protected:
    // The network's reference count, without changing it.
    ULONG NetworkReferences()
    {
        const ULONG count = Network().AddRef();
        Network().Release();
        return count - 1;
    }
};

TEST_F(DeviceFactory, EachTypeGetsItsClass)
{
    const std::pair<uint16_t, std::string_view> rows[] = {
        {12, "VoxPro"}, {19, "VoxPro"}, {20, "VoxPro"},    {24, "VoxPro"}, {31, "VoxPro"},
        {35, "VoxPro"}, {36, "VoxPro"}, {37, "VoxPro"},    {18, "Sledra"}, {39, "Core"},
        {1, "Stilo"},   {2, "Stilo"},   {4, "Stilo"},      {30, "Stilo"},  {6, "Stilo"},
        {8, "Stilo"},   {15, "Stilo"},  {16, "Stilo"},     {13, "Skiff"},  {0x8003, "Bluetooth"},
        {14, "Plain"},  {22, "Plain"},  {0x8004, "Plain"},
    };
    for (const auto& [type, expected] : rows)
    {
        probesim::InstrumentConfig config;
        config.deviceType = type;
        config.serialNumber = 99;
        if (expected != "Plain")
            config = probesim::ProbeConfig(type, kProbeSerial);
        StartProbe(config, expected == "Plain" ? probesim::ProbeSensors::None : probesim::ProbeSensors::All);
        ASSERT_EQ(CreateDevice(), S_OK) << type;
        CDeviceComm* device = &Device();
        EXPECT_EQ(CVoxProComm::IsVoxPro(device), expected == "VoxPro") << type;
        EXPECT_EQ(CSledraComm::IsSledra(device), expected == "Sledra") << type;
        EXPECT_EQ(CVOXCoreICComm::IsVOXCoreIC(device), expected == "Core") << type;
        EXPECT_EQ(CStiloComm::IsStilo(device), expected == "Stilo") << type;
        EXPECT_EQ(CBluetoothCommDeviceComm::IsBluetoothCommDevice(device), expected == "Bluetooth") << type;
        EXPECT_EQ(CBlueToothSkiffCom::IsBlueToothSkiff(device), expected == "Skiff") << type;
        USHORT typeId = 0;
        ASSERT_EQ(device->GetDeviceTypeId(typeId), S_OK);
        EXPECT_EQ(typeId, type);
        if (expected == "Plain")
        {
            EXPECT_EQ(device->GetClassSignature(), 0u) << type;
            EXPECT_EQ(device->GetVoxProSensor(), nullptr) << type;
        }
        // The family's registers are placed (the template version was read at attach); the core
        // places none of its own.
        USHORT voltage = 0;
        if (expected == "VoxPro" || expected == "Sledra" || expected == "Core")
        {
            EXPECT_EQ(device->GetExternalVoltage(voltage),
                      expected == "Core" ? MODBUSCOMM_E_NOT_SUPPORTED : S_OK)
                << type;
        }
    }
}

TEST_F(DeviceFactory, TheCallerHoldsTheOneReferenceAndTheListFollowsTheDevices)
{
    StartProbe(12);
    ASSERT_EQ(NetworkReferences(), 1u);
    ASSERT_EQ(CreateDevice(), S_OK);
    CDeviceComm* first = m_made.release();
    ASSERT_EQ(CreateDevice(), S_OK);
    EXPECT_EQ(Network().GetDeviceCount(), 2u);
    EXPECT_EQ(Network().GetDevice(0), first);
    EXPECT_EQ(Network().GetDevice(1), m_made.get());
    EXPECT_EQ(NetworkReferences(), 3u);
    // The caller's Release is the last: the device goes and leaves the list.
    EXPECT_EQ(first->Release(), 0u);
    EXPECT_EQ(Network().GetDeviceCount(), 1u);
    EXPECT_EQ(Network().GetDevice(0), m_made.get());
    m_made.reset();
    EXPECT_EQ(Network().GetDeviceCount(), 0u);
    EXPECT_EQ(NetworkReferences(), 1u);
}

// The identity is asked with three retries: three lost replies still make the device, four make
// none.
TEST_F(DeviceFactory, TheIdentityIsAskedFourTimesAtMost)
{
    StartProbe(12);
    const auto identityRequests = [&]
    {
        size_t count = 0;
        for (const probesim::LoggedFrame& frame : Sim().Log().Received())
            count += frame.adu && frame.adu->address == kSlave && frame.adu->function == probesim::kReportSlaveId;
        return count;
    };
    Sim().RequestFaults().Drop(probesim::RequestMatch::Function(probesim::kReportSlaveId), 3);
    ASSERT_EQ(CreateDevice(), S_OK);
    EXPECT_TRUE(CVoxProComm::IsVoxPro(&Device()));
    EXPECT_EQ(identityRequests(), 4u);
    m_made.reset();

    Sim().RequestFaults().Drop(probesim::RequestMatch::Function(probesim::kReportSlaveId), 4);
    EXPECT_EQ(CreateDevice(), SERIALCOMM_E_READ_TIMEOUT);
    EXPECT_EQ(m_made, nullptr);
    EXPECT_EQ(Network().GetDeviceCount(), 0u);
    EXPECT_EQ(identityRequests(), 8u);
}

TEST_F(DeviceFactory, TwoThreadsCreatingDevicesOnOneLineGetOneEach)
{
    StartProbe(12);
    CDeviceComm* devices[2] = {};
    HRESULT results[2] = {E_FAIL, E_FAIL};
    {
        std::thread other([&] { results[1] = Network().CreateDeviceForAddress(kSlave, devices[1]); });
        results[0] = Network().CreateDeviceForAddress(kSlave, devices[0]);
        other.join();
    }
    EXPECT_EQ(results[0], S_OK);
    EXPECT_EQ(results[1], S_OK);
    EXPECT_EQ(Network().GetDeviceCount(), 2u);
    for (CDeviceComm* device : devices)
    {
        ASSERT_NE(device, nullptr);
        EXPECT_TRUE(CVoxProComm::IsVoxPro(device));
        device->Release();
    }
    EXPECT_EQ(Network().GetDeviceCount(), 0u);
}

TEST_F(DeviceFactory, AFailingAttachLeavesNothingBehindAndBootCodeIsNoFailure)
{
    StartProbe(12);
    // The identity is answered, the template version read at attach is not.
    Sim().Faults().Queue(probesim::Fault::None());
    Sim().Faults().SetPersistent(probesim::Fault::NoReply());
    EXPECT_EQ(CreateDevice(), SERIALCOMM_E_READ_TIMEOUT);
    EXPECT_EQ(m_made, nullptr);
    EXPECT_EQ(Network().GetDeviceCount(), 0u);
    EXPECT_EQ(NetworkReferences(), 1u);
    // The line works on: the next creation succeeds.
    Sim().Faults().Clear();
    EXPECT_EQ(CreateDevice(), S_OK);
    EXPECT_EQ(Network().GetDeviceCount(), 1u);

    // A probe in its boot code is made, with the boot-code success, and refuses the application's
    // work: whatever run indicator below 255 its boot code reports.
    probesim::InstrumentConfig config = probesim::ProbeConfig(12, kProbeSerial);
    config.boot.startInBoot = true;
    config.boot.runIndicator = 254;
    StartProbe(config);
    EXPECT_EQ(CreateDevice(), MODBUSCOMM_S_NO_APP_FIRMWARE);
    SlaveIdInfo held;
    ASSERT_EQ(Device().GetSlaveId(held), S_OK);
    EXPECT_EQ(held.RunIndicator, 254);
    ASSERT_NE(m_made, nullptr);
    EXPECT_TRUE(CVoxProComm::IsVoxPro(&Device()));
    EXPECT_EQ(Network().GetDeviceCount(), 1u);
    EXPECT_EQ(ReadOf(*Device().GetVoxProSensor(), &ISensor_VoxPro::ReadTemperature).hr,
              MODBUSCOMM_E_NO_APP_FIRMWARE);
}

TEST_F(DeviceFactory, NeedsALineAndTheInstalledClasses)
{
    devicetest::NetworkPtr network(CModbusComm::Create());
    CDeviceComm* device = reinterpret_cast<CDeviceComm*>(&network);
    EXPECT_EQ(network->CreateDeviceForAddress(1, device), MODBUSCOMM_E_NO_CONNECTION);
    EXPECT_EQ(device, nullptr);

    StartProbe(12);
    SetDeviceFactoryOperations(nullptr);
    Mark();
    EXPECT_EQ(CreateDevice(), E_NOTIMPL);
    EXPECT_EQ(FramesSinceMark(), 0u);
    NVSystem::InstallDeviceFactory();
    EXPECT_EQ(CreateDevice(), S_OK);
}

} // namespace
} // namespace modeltest
