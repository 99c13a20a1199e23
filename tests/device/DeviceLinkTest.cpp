// The device object's life and link: references, the link to the network and its guards, the
// register map by map version, device type and template version, and the packet size it keeps.
#include <tuple>

#include "device/RegisterMap.h"
#include "tests/device/DeviceTestSupport.h"

namespace devicetest
{
namespace
{

using DeviceLink = DeviceOnSimulator;

TEST_F(DeviceLink, ReferencesAndTheNetworkHeldWhileLinkedAndDetachOrTheLastReleaseLeavesItsList)
{
    const int before = TestDevice::s_nDestroyed.load();
    auto* device = new TestDevice(SlaveIdInfo{});
    EXPECT_EQ(device->AddRef(), 1u);
    EXPECT_EQ(device->AddRef(), 2u);
    EXPECT_EQ(device->Release(), 1u);
    EXPECT_EQ(TestDevice::s_nDestroyed.load(), before);
    EXPECT_EQ(device->Release(), 0u);
    EXPECT_EQ(TestDevice::s_nDestroyed.load(), before + 1);

    // An object whose tag is gone answers every operation, the cache update included, with the
    // invalid-device code and never touches its members.
    {
        struct LocalDevice : TestDevice
        {
            using TestDevice::TestDevice;
        } untagged{SlaveIdInfo{}};
        untagged.Untag();
        EXPECT_EQ(untagged.UpdateCache(), MODBUSCOMM_E_INVALID_DEVICE_THIS);
        ULONG status = 0;
        EXPECT_EQ(untagged.GetDeviceStatus(status), MODBUSCOMM_E_INVALID_DEVICE_THIS);
        EXPECT_EQ(untagged.AddRef(), 0u);
    }

    StartAttached({.deviceType = 12});
    // The network's own reference plus the device's.
    EXPECT_EQ(Network().AddRef(), 3u);
    Network().Release();
    EXPECT_EQ(Network().GetDeviceCount(), 1u);
    CModbusComm* held = Device().GetModbusComm();
    ASSERT_EQ(held, &Network());
    held->Release();
    EXPECT_EQ(Device().DetachCommLink(nullptr), E_POINTER);
    ASSERT_EQ(Device().DetachCommLink(&Network()), S_OK);
    EXPECT_EQ(Network().GetDeviceCount(), 0u);
    EXPECT_EQ(Network().AddRef(), 2u);
    Network().Release();
    ULONG status = 0;
    EXPECT_EQ(Device().GetDeviceStatus(status), MODBUSCOMM_E_NO_CONNECTION);
    EXPECT_EQ(Device().SetOffline(), MODBUSCOMM_E_NO_CONNECTION);
    EXPECT_EQ(Device().GetAddress(), 255);
    EXPECT_EQ(Device().GetModbusComm(), nullptr);
    EXPECT_EQ(FramesSinceMark(), 0u);

    // Linked again, it works again, and its last release takes it off the list.
    ASSERT_EQ(Device().AttachCommLink(kSlave, ReportedIdentity(), &Network()), S_OK);
    Network().AddDevice(&Device());
    EXPECT_EQ(Device().GetDeviceStatus(status), S_OK);
    m_device.reset();
    EXPECT_EQ(Network().GetDeviceCount(), 0u);
    EXPECT_EQ(Network().AddRef(), 2u);
    Network().Release();

    // A network whose last reference goes while a device is still listed tells the device to let
    // go: the device forgets it, and gives nothing back to it then or when it goes itself.
    StartAttached({.deviceType = 12});
    CModbusComm* network = m_network.release();
    network->Release(); // the test's reference
    network->Release(); // the device's, taken from behind its back
    EXPECT_EQ(Device().GetModbusComm(), nullptr);
    EXPECT_EQ(Device().GetDeviceStatus(status), MODBUSCOMM_E_NO_CONNECTION);
    m_device.reset();
}

TEST_F(DeviceLink, AttachRefusesBadArgumentsAndASecondLinkAndReturnsAFailedReadAndTakesBootCode)
{
    StartLine({.deviceType = 12});
    const SlaveIdInfo slaveId = ReportedIdentity();
    DevicePtr device(new TestDevice(slaveId));
    EXPECT_EQ(device->AttachCommLink(1, slaveId, nullptr), E_POINTER);
    EXPECT_EQ(device->AttachCommLink(256, slaveId, &Network()), MODBUSCOMM_E_INVALID_ADDRESS);
    USHORT eom = 0;
    EXPECT_EQ(device->GetEOM(eom), MODBUSCOMM_E_NO_CONNECTION);
    ASSERT_EQ(device->AttachCommLink(1, slaveId, &Network()), S_OK);
    NetworkPtr other(CModbusComm::Create());
    EXPECT_EQ(device->AttachCommLink(2, slaveId, other.get()), E_FAIL);
    EXPECT_EQ(device->GetAddress(), 1);
    EXPECT_EQ(device->GetEOM(eom), S_OK);

    // A failed template-version read is returned; the device stays linked.
    Sim().Faults().SetPersistent(probesim::Fault::NoReply());
    EXPECT_EQ(CreateAndAttach(slaveId), SERIALCOMM_E_READ_TIMEOUT);
    EXPECT_EQ(Device().GetAddress(), kSlave);
    Sim().Faults().Clear();
    EXPECT_EQ(Got(&CDeviceComm::GetRegisterMapTemplateVersion), 3);

    // A probe in boot code attaches (nothing is asked: boot code has no template-version register)
    // and refuses guarded work.
    SlaveIdInfo boot = slaveId;
    boot.RunIndicator = 0;
    boot.RegisterMapVersion = 2;
    Mark();
    ASSERT_EQ(CreateAndAttach(boot), S_OK);
    EXPECT_EQ(Device().ProbeRegisterMapVersion(), 2);
    ULONG value = 0;
    CWideString name;
    EXPECT_EQ(Device().UpdateCache(), MODBUSCOMM_E_NO_APP_FIRMWARE);
    EXPECT_EQ(Device().GetDeviceName(name), MODBUSCOMM_E_NO_APP_FIRMWARE);
    EXPECT_EQ(Device().SetOffline(), MODBUSCOMM_E_NO_APP_FIRMWARE);
    EXPECT_EQ(Device().GetSoftwareRegister(value), MODBUSCOMM_E_NO_APP_FIRMWARE);
    EXPECT_EQ(Device().RestoreFactoryDefaults(6, 1, 0, 0, 0, 1), MODBUSCOMM_E_NO_APP_FIRMWARE);
    EXPECT_FALSE(Device().HasActiveLog());
    EXPECT_FALSE(Device().IsSdi12Supported());
    // What needs no firmware still answers from the held record.
    EXPECT_EQ(Got(&CDeviceComm::GetRegisterMapVersion), 2);
    EXPECT_EQ(FramesSinceMark(), 0u);
}

TEST_F(DeviceLink, ThePacketSizeStaysWithinTwentyAndOneThousandTwentyFour)
{
    StartLine({.deviceType = 12, .maxPacketSize = 4000});
    SlaveIdInfo slaveId = ReportedIdentity();
    ASSERT_EQ(slaveId.MaxPacketSize, 4000);
    ASSERT_EQ(CreateAndAttach(slaveId), S_OK);
    EXPECT_EQ(Got(&CDeviceComm::GetMaxPacketSize), 1024);
    // The instrument's record still reads the whole block, whatever size it claims.
    EXPECT_EQ(Device().UpdateCache(), S_OK);
    Device().DetachCommLink(&Network());
    slaveId.MaxPacketSize = 3;
    ASSERT_EQ(Device().AttachCommLink(kSlave, slaveId, &Network()), S_OK);
    EXPECT_EQ(Got(&CDeviceComm::GetMaxPacketSize), 20);

    // Before the instrument's own arrives, the settings store's value, clamped too.
    for (const auto& [stored, expected] : {std::pair<uint32_t, USHORT>{10, 20}, {5000, 1024}, {300, 300}})
    {
        SetTunable(u"Max Packet Size Bytes", stored);
        DevicePtr device(new TestDevice(SlaveIdInfo{.MaxPacketSize = 512}));
        EXPECT_EQ(device->HeldPacketSize(), expected) << stored;
    }
}

using NVSystem::FillRegisterMap;
using NVSystem::sRegisterMap;

TEST(RegisterMap, EntriesFollowTheMapGenerationTheDeviceTypeAndTheTemplateVersion)
{
    auto filled = [](USHORT version, USHORT type, USHORT probe, USHORT placedPad = 0)
    {
        sRegisterMap map;
        map.ScratchPad = placedPad;
        map.MeasurementCacheTimeout = 47007; // the family's own stays where the rule gives none
        FillRegisterMap(map, version, type, probe);
        return map;
    };
    EXPECT_EQ(filled(1, 12, 1).AnalogParameterNumber, 40115);
    EXPECT_EQ(filled(2, 12, 2).AnalogParameterNumber, 49502);
    EXPECT_EQ(std::make_tuple(filled(2, 12, 2).DeviceGuid, filled(3, 12, 3).DeviceGuid),
              std::make_tuple(0, 49108));
    // The measurement-cache register comes with version 3 for its device types only.
    for (USHORT type : {1, 12, 39, 32768, 32770})
        EXPECT_EQ(filled(3, type, 3).MeasurementCacheTimeout, 49463) << type;
    for (USHORT type : {0, 13, 27, 40, 32771})
        EXPECT_EQ(filled(3, type, 3).MeasurementCacheTimeout, 47007) << type;
    // The scratch pad depends on the template version read from the instrument; an entry the
    // instrument class placed is kept where the rule gives none.
    const std::tuple<USHORT, USHORT, USHORT> pads[] = {
        {5, 2, 47008}, {10, 3, 47008}, {5, 1, 0}, {1, 2, 40120}, {12, 3, 0}};
    for (const auto& [type, probe, expected] : pads)
        EXPECT_EQ(filled(3, type, probe).ScratchPad, expected) << type << " " << probe;
    EXPECT_EQ(filled(3, 9, 1, 47008).ScratchPad, 47008);
}

TEST_F(DeviceLink, TheTemplateVersionRegisterDecidesTheScratchPadAndRegistersTheFamilyLacksAreNotAsked)
{
    StartAttached({.deviceType = 5, .templateVersion = 1});
    EXPECT_EQ(Device().ProbeRegisterMapVersion(), 1);
    EXPECT_FALSE(Device().HasScratchPadRegister());
    EXPECT_EQ(Device().WriteScratchPad(CByteBuffer()), MODBUSCOMM_E_NOT_SUPPORTED);
    EXPECT_EQ(FramesSinceMark(), 0u);

    StartLine({.deviceType = 13});
    Mark();
    ASSERT_EQ(CreateAndAttach(ReportedIdentity()), S_OK);
    EXPECT_EQ(Device().ProbeRegisterMapVersion(), 0);
    USHORT value = 0;
    ULONG counter = 0;
    EXPECT_EQ(Device().GetRegisterMapTemplateVersion(value), MODBUSCOMM_E_NOT_SUPPORTED);
    EXPECT_EQ(Device().GetExternalVoltage(value), MODBUSCOMM_E_NOT_SUPPORTED);
    EXPECT_EQ(Device().GetInternalBatteryVoltage(value), MODBUSCOMM_E_NOT_SUPPORTED);
    EXPECT_EQ(Device().GetTotalMeasurementCounter(counter), MODBUSCOMM_E_NOT_SUPPORTED);
    EXPECT_EQ(Device().GetTotalBatteryCounter(counter), MODBUSCOMM_E_NOT_SUPPORTED);
    EXPECT_EQ(Device().GetMeasurementCacheTimeout(value), MODBUSCOMM_E_NOT_SUPPORTED);
    EXPECT_EQ(Device().SetMeasurementCacheTimeout(100), MODBUSCOMM_E_NOT_SUPPORTED);
    // Only Report Slave ID went out: no template register was asked for.
    EXPECT_TRUE(ReadsSinceMark().empty());
    EXPECT_TRUE(WritesSinceMark().empty());
}

} // namespace
} // namespace devicetest
