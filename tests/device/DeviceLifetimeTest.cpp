// The device object's life: references, the link to the network and its guards, the packet size it
// keeps, and its trace.
#include <fstream>
#include <sstream>

#include "foundation/CommTimeouts.h"
#include "foundation/TraceLog.h"
#include "tests/device/DeviceTestSupport.h"

namespace devicetest
{
namespace
{

using probesim::InstrumentConfig;

class DeviceLink : public DeviceOnSimulator
{
};

TEST_F(DeviceLink, ReferencesKeepTheObjectAndTheLastReleaseDeletesIt)
{
    const int before = TestDevice::s_nDestroyed.load();
    auto* device = new TestDevice(SlaveIdInfo{});
    EXPECT_EQ(device->AddRef(), 1u);
    EXPECT_EQ(device->AddRef(), 2u);
    EXPECT_EQ(device->Release(), 1u);
    EXPECT_EQ(TestDevice::s_nDestroyed.load(), before);
    EXPECT_EQ(device->Release(), 0u);
    EXPECT_EQ(TestDevice::s_nDestroyed.load(), before + 1);

    // The creator discards an object nobody took a reference on with one Release.
    (new TestDevice(SlaveIdInfo{}))->Release();
    EXPECT_EQ(TestDevice::s_nDestroyed.load(), before + 2);
}

TEST_F(DeviceLink, TheNetworkIsHeldWhileLinkedAndTheDeviceLeavesItsListWhenItGoes)
{
    StartLine({.deviceType = 12, .registerMapVersion = 3, .serialNumber = 77});
    AttachDevice();
    // The network's own reference plus the device's.
    EXPECT_EQ(Network().AddRef(), 3u);
    Network().Release();
    EXPECT_EQ(Network().GetDeviceCount(), 1u);
    EXPECT_EQ(Device().GetAddress(), kSlave);

    CModbusComm* held = Device().GetModbusComm();
    ASSERT_EQ(held, &Network());
    held->Release();

    m_device.reset();
    EXPECT_EQ(Network().GetDeviceCount(), 0u);
    EXPECT_EQ(Network().AddRef(), 2u);
    Network().Release();
}

TEST_F(DeviceLink, AttachRefusesBadArgumentsAndASecondLink)
{
    StartLine({.deviceType = 12, .registerMapVersion = 3});
    const SlaveIdInfo slaveId = ReportedIdentity();
    DevicePtr device(new TestDevice(slaveId));
    EXPECT_EQ(device->AttachCommLink(1, slaveId, nullptr), E_POINTER);
    EXPECT_EQ(device->AttachCommLink(256, slaveId, &Network()), MODBUSCOMM_E_INVALID_ADDRESS);
    EXPECT_EQ(device->GetAddress(), 255);
    USHORT eom = 0;
    EXPECT_EQ(device->GetEOM(eom), MODBUSCOMM_E_NO_CONNECTION);

    ASSERT_EQ(device->AttachCommLink(1, slaveId, &Network()), S_OK);
    CModbusComm* other = CModbusComm::Create();
    EXPECT_EQ(device->AttachCommLink(2, slaveId, other), E_FAIL);
    EXPECT_EQ(device->GetAddress(), 1);
    other->Release();
    EXPECT_EQ(device->GetEOM(eom), S_OK);
}

TEST_F(DeviceLink, DetachLetsGoOfTheNetworkAndGuardedOperationsFail)
{
    StartLine({.deviceType = 12, .registerMapVersion = 3});
    AttachDevice();
    EXPECT_EQ(Device().DetachCommLink(nullptr), E_POINTER);
    ASSERT_EQ(Device().DetachCommLink(&Network()), S_OK);
    EXPECT_EQ(Network().GetDeviceCount(), 0u);
    EXPECT_EQ(Network().AddRef(), 2u);
    Network().Release();

    ULONG status = 0;
    USHORT version = 0;
    EXPECT_EQ(Device().GetDeviceStatus(status), MODBUSCOMM_E_NO_CONNECTION);
    EXPECT_EQ(Device().SetOffline(), MODBUSCOMM_E_NO_CONNECTION);
    EXPECT_EQ(Device().GetMeasurementCacheTimeout(version), MODBUSCOMM_E_NO_CONNECTION);
    EXPECT_EQ(Device().GetAddress(), 255);
    EXPECT_EQ(Device().GetModbusComm(), nullptr);
    EXPECT_EQ(FramesSinceMark(), 0u);

    // Linked again, it works again.
    ASSERT_EQ(Device().AttachCommLink(kSlave, ReportedIdentity(), &Network()), S_OK);
    EXPECT_EQ(Device().GetDeviceStatus(status), S_OK);
}

TEST_F(DeviceLink, AProbeInBootCodeAttachesAndRefusesGuardedWork)
{
    StartLine({.deviceType = 12, .registerMapVersion = 3});
    SlaveIdInfo boot = ReportedIdentity();
    boot.RunIndicator = 0;
    boot.RegisterMapVersion = 2;
    Mark();
    ASSERT_EQ(CreateAndAttach(boot), S_OK);
    // Boot code has no template-version register: nothing is asked.
    EXPECT_EQ(FramesSinceMark(), 0u);
    EXPECT_EQ(Device().ProbeRegisterMapVersion(), 2);

    ULONG value = 0;
    USHORT number = 0;
    CWideString name;
    BOOL flag = FALSE;
    EXPECT_EQ(Device().UpdateCache(), MODBUSCOMM_E_NO_APP_FIRMWARE);
    EXPECT_EQ(Device().GetDeviceName(name), MODBUSCOMM_E_NO_APP_FIRMWARE);
    EXPECT_EQ(Device().GetDeviceStatus(value), MODBUSCOMM_E_NO_APP_FIRMWARE);
    EXPECT_EQ(Device().SetOffline(), MODBUSCOMM_E_NO_APP_FIRMWARE);
    EXPECT_EQ(Device().IsOffline(flag), MODBUSCOMM_E_NO_APP_FIRMWARE);
    EXPECT_EQ(Device().GetSoftwareRegister(value), MODBUSCOMM_E_NO_APP_FIRMWARE);
    EXPECT_EQ(Device().GetExternalVoltage(number), MODBUSCOMM_E_NO_APP_FIRMWARE);
    EXPECT_EQ(Device().RestoreFactoryDefaults(6, 1, 0, 0, 0, 1), MODBUSCOMM_E_NO_APP_FIRMWARE);
    EXPECT_FALSE(Device().HasActiveLog());
    EXPECT_FALSE(Device().IsSdi12Supported());
    // What needs no firmware still answers from the held record.
    EXPECT_EQ(Device().GetRegisterMapVersion(number), S_OK);
    EXPECT_EQ(number, 2);
    EXPECT_EQ(FramesSinceMark(), 0u);
}

TEST_F(DeviceLink, AFailedTemplateVersionReadIsReturnedAndLeavesTheDeviceLinked)
{
    StartLine({.deviceType = 12, .registerMapVersion = 3});
    const SlaveIdInfo slaveId = ReportedIdentity();
    Sim().Faults().SetPersistent(probesim::Fault::NoReply());
    EXPECT_EQ(CreateAndAttach(slaveId), SERIALCOMM_E_READ_TIMEOUT);
    EXPECT_EQ(Device().GetAddress(), kSlave);
    Sim().Faults().Clear();
    USHORT version = 0;
    EXPECT_EQ(Device().GetRegisterMapTemplateVersion(version), S_OK);
    EXPECT_EQ(version, 3);
}

TEST_F(DeviceLink, ThePacketSizeStaysWithinTwentyAndOneThousandTwentyFour)
{
    StartLine({.deviceType = 12, .registerMapVersion = 3, .maxPacketSize = 4000});
    SlaveIdInfo slaveId = ReportedIdentity();
    ASSERT_EQ(slaveId.MaxPacketSize, 4000);
    ASSERT_EQ(CreateAndAttach(slaveId), S_OK);
    USHORT size = 0;
    ASSERT_EQ(Device().GetMaxPacketSize(size), S_OK);
    EXPECT_EQ(size, 1024);
    // The instrument's record still reads the whole block, whatever size it claims.
    EXPECT_EQ(Device().UpdateCache(), S_OK);

    Device().DetachCommLink(&Network());
    slaveId.MaxPacketSize = 3;
    ASSERT_EQ(Device().AttachCommLink(kSlave, slaveId, &Network()), S_OK);
    ASSERT_EQ(Device().GetMaxPacketSize(size), S_OK);
    EXPECT_EQ(size, 20);
}

TEST(DevicePacketSize, TheSettingsStoreValueIsClampedUntilTheInstrumentsOwnArrives)
{
    testsupport::ScopedConfigDir config;
    for (const auto& [stored, expected] : {std::pair<uint32_t, USHORT>{10, 20}, {5000, 1024}, {300, 300}})
    {
        ResetCommTunablesForTests();
        SetTunable(u"Max Packet Size Bytes", stored);
        DevicePtr device(new TestDevice(SlaveIdInfo{.MaxPacketSize = 512}));
        EXPECT_EQ(device->HeldPacketSize(), expected) << stored;
    }
    ResetCommTunablesForTests();
}

TEST_F(DeviceLink, FailuresAreTracedWithTheAddressAndTheCode)
{
    SetTunable(u"Debug Flags", DEBUG_FLAG_DEVICE_TRACE);
    StartLine({.deviceType = 12, .registerMapVersion = 3});
    AttachDevice();
    Sim().Faults().SetPersistent(probesim::Fault::NoReply());
    USHORT eom = 0;
    ASSERT_EQ(Device().GetEOM(eom), SERIALCOMM_E_READ_TIMEOUT);
    Sim().Faults().Clear();
    m_device.reset();

    std::ifstream file(CTraceLogFile::ResolvePath(u"DeviceControlTraceLog.txt"), std::ios::binary);
    std::stringstream content;
    content << file.rdbuf();
    const std::string narrow = content.str();
    EXPECT_NE(narrow.find("New device created"), std::string::npos);
    EXPECT_NE(narrow.find("Device: 1 - failed to read EOM - 81000006"), std::string::npos) << narrow;
    EXPECT_NE(narrow.find("Communication link attached - device address: 1"), std::string::npos);
}

} // namespace
} // namespace devicetest
