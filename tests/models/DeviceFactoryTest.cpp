// The network's device factory with the device classes installed: class by device type, boot code,
// failures that leave nothing behind, and the device list.
#include <cstdint>
#include <thread>

#include "comm/DeviceFactoryHook.h"
#include "models/DeviceFactory.h"
#include "models/SledraComm.h"
#include "models/VOXCoreICComm.h"
#include "models/VoxProComm.h"
#include "tests/models/DeviceFactoryTestSupport.h"

namespace factorytest
{
namespace
{

using NVSystem::CDeviceComm;
using NVSystem::CSledraComm;
using NVSystem::CVOXCoreICComm;
using NVSystem::CVoxProComm;

class DeviceFactory : public ProbeOnLine
{
protected:
    // A bare instrument of the type, without sensors.
    void StartBare(uint16_t deviceType)
    {
        probesim::InstrumentConfig config;
        config.deviceType = deviceType;
        config.serialNumber = 99;
        StartProbe(config, probesim::ProbeSensors::None);
    }

    // The network's reference count, without changing it.
    ULONG NetworkReferences()
    {
        const ULONG count = Network().AddRef();
        Network().Release();
        return count - 1;
    }
};

TEST_F(DeviceFactory, TheProbeTypesGetTheirClasses)
{
    for (uint16_t type : {12, 19, 20, 24, 31, 35, 36, 37})
    {
        StartProbe(type);
        ASSERT_EQ(CreateDevice(), S_OK) << type;
        EXPECT_TRUE(CVoxProComm::IsVoxPro(&Device())) << type;
        EXPECT_FALSE(CSledraComm::IsSledra(&Device())) << type;
        EXPECT_FALSE(CVOXCoreICComm::IsVOXCoreIC(&Device())) << type;
        // The family's registers are placed: the template version was read at attach.
        USHORT voltage = 0;
        EXPECT_EQ(Device().GetExternalVoltage(voltage), S_OK) << type;
    }

    StartProbe(18);
    ASSERT_EQ(CreateDevice(), S_OK);
    EXPECT_TRUE(CSledraComm::IsSledra(&Device()));
    EXPECT_FALSE(CVoxProComm::IsVoxPro(&Device()));
    USHORT voltage = 0;
    EXPECT_EQ(Device().GetExternalVoltage(voltage), S_OK);

    StartProbe(39);
    ASSERT_EQ(CreateDevice(), S_OK);
    EXPECT_TRUE(CVOXCoreICComm::IsVOXCoreIC(&Device()));
    EXPECT_FALSE(CSledraComm::IsSledra(&Device()));
    // The core places no registers of its own.
    EXPECT_EQ(Device().GetExternalVoltage(voltage), MODBUSCOMM_E_NOT_SUPPORTED);
}

TEST_F(DeviceFactory, OtherTypesGetThePlainDevice)
{
    for (uint16_t type : {14, 22, 0x8004})
    {
        StartBare(type);
        ASSERT_EQ(CreateDevice(), S_OK) << type;
        EXPECT_EQ(Device().GetClassSignature(), 0u) << type;
        EXPECT_EQ(Device().QueryVoxProComm(), nullptr);
        EXPECT_EQ(Device().QuerySledraComm(), nullptr);
        EXPECT_EQ(Device().QueryVOXCoreICComm(), nullptr);
        EXPECT_EQ(Device().GetVoxProSensor(), nullptr);
        USHORT typeId = 0;
        ASSERT_EQ(Device().GetDeviceTypeId(typeId), S_OK);
        EXPECT_EQ(typeId, type);
    }
}

TEST_F(DeviceFactory, AProbeInItsBootCodeIsCreatedWithTheBootCodeSuccess)
{
    probesim::InstrumentConfig config = probesim::ProbeConfig(12, 4711);
    config.boot.startInBoot = true;
    StartProbe(config);
    EXPECT_EQ(CreateDevice(), MODBUSCOMM_S_NO_APP_FIRMWARE);
    ASSERT_NE(m_device, nullptr);
    EXPECT_TRUE(CVoxProComm::IsVoxPro(&Device()));
    EXPECT_EQ(Network().GetDeviceCount(), 1u);
    float value = 0.0f;
    USHORT quality = 0;
    USHORT unit = 0;
    EXPECT_EQ(Device().GetVoxProSensor()->ReadTemperature(value, quality, unit, FALSE),
              MODBUSCOMM_E_NO_APP_FIRMWARE);
}

TEST_F(DeviceFactory, TheCallerHoldsTheOneReferenceAndTheListFollowsTheDevices)
{
    StartProbe(12);
    ASSERT_EQ(NetworkReferences(), 1u);
    ASSERT_EQ(CreateDevice(), S_OK);
    CDeviceComm* first = m_device.release();
    ASSERT_EQ(CreateDevice(), S_OK);
    EXPECT_EQ(Network().GetDeviceCount(), 2u);
    EXPECT_EQ(Network().GetDevice(0), first);
    EXPECT_EQ(Network().GetDevice(1), m_device.get());
    EXPECT_EQ(NetworkReferences(), 3u);

    // The caller's Release is the last: the device goes and leaves the list.
    EXPECT_EQ(first->Release(), 0u);
    EXPECT_EQ(Network().GetDeviceCount(), 1u);
    EXPECT_EQ(Network().GetDevice(0), m_device.get());
    m_device.reset();
    EXPECT_EQ(Network().GetDeviceCount(), 0u);
    EXPECT_EQ(NetworkReferences(), 1u);
}

TEST_F(DeviceFactory, TwoThreadsCreatingDevicesOnOneLineAreSerialised)
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

TEST_F(DeviceFactory, AFailingAttachLeavesNothingBehind)
{
    StartProbe(12);
    // The identity is answered, the template version read at attach is not.
    Sim().Faults().Queue(probesim::Fault::None());
    Sim().Faults().SetPersistent(probesim::Fault::NoReply());
    EXPECT_EQ(CreateDevice(), SERIALCOMM_E_READ_TIMEOUT);
    EXPECT_EQ(m_device, nullptr);
    EXPECT_EQ(Network().GetDeviceCount(), 0u);
    EXPECT_EQ(NetworkReferences(), 1u);

    // Nor does an unanswered identity request.
    Sim().Faults().Clear();
    Sim().Faults().SetPersistent(probesim::Fault::NoReply());
    EXPECT_TRUE(Failed(CreateDevice()));
    EXPECT_EQ(m_device, nullptr);
    EXPECT_EQ(Network().GetDeviceCount(), 0u);
    Sim().Faults().Clear();

    // The line works on: the next creation succeeds.
    EXPECT_EQ(CreateDevice(), S_OK);
    EXPECT_EQ(Network().GetDeviceCount(), 1u);
}

TEST_F(DeviceFactory, NeedsALineAndTheInstalledClasses)
{
    NetworkPtr network(CModbusComm::Create());
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

TEST_F(DeviceFactory, ADeviceObjectCanBeMadeAndDiscardedWithoutALine)
{
    SlaveIdInfo identity;
    identity.DeviceTypeId = 39;
    CDeviceComm* device = nullptr;
    ASSERT_EQ(NVSystem::CreateDeviceObject(identity, device), S_OK);
    EXPECT_TRUE(CVOXCoreICComm::IsVOXCoreIC(device));
    EXPECT_EQ(device->GetAddress(), 255);
    device->Release();
}

} // namespace
} // namespace factorytest
