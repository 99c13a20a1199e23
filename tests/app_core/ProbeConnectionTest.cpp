// The connect sequence against simulated probes of every kind it meets, the state it leaves, the
// getters and names, and the reset broadcast.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/connection/ProbeConnection.h"
#include "comm/SerialCommImpl.h"
#include "foundation/NameLookups.h"
#include "models/SensorInterfaces.h"
#include "models/VOXCoreICComm.h"
#include "platform/Clock.h"
#include "tests/app_core/ConnectionTestSupport.h"
#include "tools/probe-sim/PortTable.h"

namespace apptest
{
namespace
{

using namespace NVSystem;

class ProbeConnectionTest : public ConnectionTest
{
protected:
    void ExpectClosed()
    {
        EXPECT_FALSE(m_connection.IsConnected());
        EXPECT_EQ(m_connection.GetProbe(), nullptr);
        EXPECT_EQ(m_connection.GetDevice(), nullptr);
        EXPECT_EQ(m_connection.GetModbus(), nullptr);
        EXPECT_EQ(m_connection.GetSlaveId(), SlaveIdInfo());
        EXPECT_EQ(NVTools::CSerialCommImpl::GetOpenObjectCount(), 0u);
    }
};

class AcceptedProbe : public ProbeConnectionTest, public ::testing::WithParamInterface<uint16_t>
{
};

TEST_P(AcceptedProbe, ConnectsThroughItsTypedDevice)
{
    StartProbe(GetParam());
    ASSERT_EQ(m_connection.ConnectToDevice(), S_OK) << ::testing::PrintToString(Texts(m_boxes));
    EXPECT_TRUE(m_boxes.Shown_().empty());
    EXPECT_TRUE(m_connection.IsConnected());
    EXPECT_EQ(m_connection.GetSlaveId().DeviceTypeId, GetParam());
    EXPECT_EQ(Text(m_connection.GetSerialNumberText()), u"4711");
    EXPECT_EQ(Text(m_connection.GetDeviceTypeName()), GetDeviceModelName(GetParam()));

    ISensor_VoxPro* oxygen = nullptr;
    ASSERT_EQ(m_connection.GetVoxProSensor(oxygen), S_OK);
    ASSERT_NE(oxygen, nullptr);
    float value = 0;
    USHORT quality = 0;
    USHORT unit = 0;
    EXPECT_EQ(oxygen->ReadOxygenParamA(value, quality, unit, FALSE), S_OK);
    const bool multiSensor = GetParam() == 18 || GetParam() == 39;
    EXPECT_EQ(m_connection.IsMultiSensorProbe(), multiSensor ? TRUE : FALSE);
    ISensor_Conductivity* conductivity = nullptr;
    ASSERT_EQ(m_connection.GetConductivitySensor(conductivity), S_OK);
    EXPECT_EQ(conductivity != nullptr, multiSensor);

    ASSERT_EQ(m_connection.DisconnectDevice(), S_OK);
    ExpectClosed();
}

INSTANTIATE_TEST_SUITE_P(Types, AcceptedProbe, ::testing::Values(12, 19, 31, 35, 36, 37, 18, 39),
                         [](const ::testing::TestParamInfo<uint16_t>& param)
                         { return "Type" + std::to_string(param.param); });

TEST_F(ProbeConnectionTest, RefusesAnotherTypeAndClosesThePort)
{
    StartProbe(20);
    m_connection.m_nPort = 3;
    std::string error;
    // The probe on port 3, whatever number the table gave it first.
    ASSERT_TRUE(probesim::RegisterComPort(Sim().SlavePath(), 3, error).has_value()) << error;
    EXPECT_EQ(m_connection.ConnectToDevice(), E_FAIL);
    EXPECT_EQ(Texts(m_boxes),
              (std::vector<std::u16string>{u"The device on port 3 is not supported by this software."}));
    EXPECT_EQ(m_boxes.Shown_().at(0).flags & 0xF0, platform::MB_ICONERROR);
    ExpectClosed();
}

TEST_F(ProbeConnectionTest, AProbeInItsBootCodeStaysOpenForTheFirmware)
{
    probesim::InstrumentConfig config = probesim::ProbeConfig(12, kProbeSerial);
    config.boot.startInBoot = true;
    StartProbe(config);
    EXPECT_EQ(m_connection.ConnectToDevice(), MODBUSCOMM_E_NO_APP_FIRMWARE);
    EXPECT_EQ(Texts(m_boxes),
              (std::vector<std::u16string>{
                  u"No firmware is running on the connected VOX PRO. Firmware update required."}));
    EXPECT_FALSE(m_connection.IsConnected());
    EXPECT_NE(m_connection.GetProbe(), nullptr);
    EXPECT_NE(m_connection.GetModbus(), nullptr);
    EXPECT_EQ(NVTools::CSerialCommImpl::GetOpenObjectCount(), 1u);
    // Nothing reaches the device through the connection until it is connected.
    ISensor_VoxPro* oxygen = nullptr;
    EXPECT_EQ(m_connection.GetVoxProSensor(oxygen), E_FAIL);
    EXPECT_EQ(m_connection.AddBusy(), FALSE);

    ASSERT_EQ(m_connection.DisconnectDevice(), S_OK);
    ExpectClosed();
}

TEST_F(ProbeConnectionTest, ACoreProbeGetsItsDepthSensorOnlyWithThreeSensors)
{
    StartProbe(probesim::ProbeConfig(39, kProbeSerial), probesim::ProbeSensors::WithoutDepth);
    ASSERT_EQ(m_connection.ConnectToDevice(), S_OK);
    ISensor_PressureDepth* depth = reinterpret_cast<ISensor_PressureDepth*>(&m_connection);
    EXPECT_EQ(m_connection.GetPressureDepthSensor(depth), S_OK);
    EXPECT_EQ(depth, nullptr);
    ISensor_Conductivity* conductivity = nullptr;
    EXPECT_EQ(m_connection.GetConductivitySensor(conductivity), S_OK);
    EXPECT_NE(conductivity, nullptr);

    StartProbe(39);
    ASSERT_EQ(m_connection.ConnectToDevice(), S_OK);
    ASSERT_EQ(m_connection.GetPressureDepthSensor(depth), S_OK);
    ASSERT_NE(depth, nullptr);
    float value = 0;
    USHORT quality = 0;
    USHORT unit = 0;
    EXPECT_EQ(depth->ReadPressure(value, quality, unit, FALSE), S_OK);
    EXPECT_TRUE(CVOXCoreICComm::IsVOXCoreIC(m_connection.GetDevice()));
}

TEST_F(ProbeConnectionTest, AddressesOutsideTheRangeAreRefusedBeforeThePortOpens)
{
    StartProbe(12);
    m_connection.m_nAddress = 248;
    Mark();
    EXPECT_EQ(m_connection.ConnectToDevice(), MODBUSCOMM_E_INVALID_ADDRESS);
    ASSERT_EQ(m_boxes.Shown_().size(), 1u);
    EXPECT_EQ(m_boxes.Shown_()[0].text.rfind(u"Failed to find probe - error code: 81010150, ", 0), 0u);
    EXPECT_TRUE(ReceivedSinceMark().empty());
    ExpectClosed();
}

TEST_F(ProbeConnectionTest, APortThatCannotOpenIsReported)
{
    StartProbe(12);
    m_connection.m_nPort = 250;
    const HRESULT hr = m_connection.ConnectToDevice();
    EXPECT_TRUE(Failed(hr));
    ASSERT_EQ(m_boxes.Shown_().size(), 1u);
    EXPECT_EQ(m_boxes.Shown_()[0].text.rfind(u"Failed to open serial port - error code: ", 0), 0u);
    ExpectClosed();
}

TEST_F(ProbeConnectionTest, DisconnectedStateAnswersWithoutTouchingAnything)
{
    m_connection.SetCommSettings({8, 0, 2, 1, 1, 17, 4});
    EXPECT_EQ(m_connection.DisconnectDevice(), S_OK);
    EXPECT_EQ(m_connection.GetCommSettings(), (sCommSettings{8, 0, 2, 1, 1, 17, 4}));

    ISensor_VoxPro* oxygen = reinterpret_cast<ISensor_VoxPro*>(&m_connection);
    ISensor_pHORP* ph = reinterpret_cast<ISensor_pHORP*>(&m_connection);
    ISensor_PressureTempLevel* level = reinterpret_cast<ISensor_PressureTempLevel*>(&m_connection);
    EXPECT_EQ(m_connection.GetVoxProSensor(oxygen), E_FAIL);
    EXPECT_EQ(m_connection.GetPHORPSensor(ph), E_FAIL);
    EXPECT_EQ(m_connection.GetLevelSensor(level), E_FAIL);
    EXPECT_EQ(oxygen, reinterpret_cast<ISensor_VoxPro*>(&m_connection));
    EXPECT_EQ(ph, reinterpret_cast<ISensor_pHORP*>(&m_connection));
    EXPECT_EQ(level, reinterpret_cast<ISensor_PressureTempLevel*>(&m_connection));
    EXPECT_EQ(m_connection.GetModbusInterface(), nullptr);
    EXPECT_EQ(m_connection.AcquireProbe(), nullptr);
    EXPECT_TRUE(m_connection.GetSerialNumberText().IsEmpty());
    EXPECT_FALSE(m_connection.IsMultiSensorProbe());
    EXPECT_FALSE(m_connection.ReleaseBusy());
    EXPECT_EQ(Text(m_connection.GetDeviceTypeName()), u"device");
}

TEST_F(ProbeConnectionTest, TheSkinNamesOnlyItsOwnTypes)
{
    SetSkinModelNameLookup([](USHORT type)
                           { return type == 12 || type == 36 ? CWideString(u"Skinned") : CWideString(); });
    StartConnected(12);
    EXPECT_EQ(Text(m_connection.GetDeviceTypeName()), u"Skinned");
    StartConnected(36);
    EXPECT_EQ(Text(m_connection.GetDeviceTypeName()), u"VOX Instrument");
    StartConnected(19);
    EXPECT_EQ(Text(m_connection.GetDeviceTypeName()), u"VOX BRAWN");
    SetSkinModelNameLookup(nullptr);
}

TEST_F(ProbeConnectionTest, ASecondConnectWhileConnectedChangesNothing)
{
    StartConnected(12);
    NVSystem::CDeviceComm* probe = m_connection.GetProbe();
    EXPECT_EQ(m_connection.ConnectToDevice(), E_FAIL);
    EXPECT_EQ(m_connection.GetProbe(), probe);
    EXPECT_TRUE(m_connection.IsConnected());
}

TEST_F(ProbeConnectionTest, ADeviceReferenceOutlivesTheDisconnect)
{
    StartConnected(12);
    CDeviceComm* probe = m_connection.AcquireProbe();
    ASSERT_NE(probe, nullptr);
    CModbusComm* network = m_connection.GetModbusInterface();
    ASSERT_NE(network, nullptr);
    ASSERT_EQ(m_connection.DisconnectDevice(), S_OK);

    USHORT type = 0;
    EXPECT_EQ(probe->GetDeviceTypeId(type), S_OK);
    EXPECT_EQ(type, 12);
    // The line is gone: the device and the network fail instead of reaching a closed port.
    ULONG serial = 0;
    EXPECT_TRUE(Failed(network->ReadULong(1, 49002, serial, 150, 0)));
    network->Release();
    probe->Release();
}

TEST_F(ProbeConnectionTest, ResetCommIsRefusedWhileConnected)
{
    StartConnected(12);
    m_connection.SetCommSettings({8, 1, 2, 0, 0, 1, Port()});
    EXPECT_EQ(m_connection.ResetCommSettings(Port()), E_FAIL);
    EXPECT_EQ(m_connection.GetCommSettings(), (sCommSettings{8, 1, 2, 0, 0, 1, Port()}));
    EXPECT_TRUE(m_connection.IsConnected());
}

TEST_F(ProbeConnectionTest, ResetCommBringsTheProbeToTheFactorySettings)
{
    probesim::InstrumentConfig config = probesim::ProbeConfig(12, kProbeSerial);
    config.address = 9;
    config.line = probesim::LineSettings{
        .mode = probesim::FramingMode::Ascii, .baudId = 8, .dataBitsId = 0, .parityId = 2, .stopBitsId = 1};
    config.maxBaudId = 8;
    StartProbe(config);
    m_connection.SetCommSettings({7, 0, 1, 1, 1, 33, 99});
    // The sweep's pauses, shortened: RTU frames still need their silence in between.
    std::vector<ULONG> pauses;
    m_connection.SetResetPauseForTests(
        [&](ULONG ms)
        {
            pauses.push_back(ms);
            platform::SleepMs(ms / 20);
        });

    EXPECT_EQ(m_connection.ResetCommSettings(Port()), S_OK);
    EXPECT_FALSE(pauses.empty());
    EXPECT_EQ(m_connection.GetCommSettings(), (sCommSettings{6, 1, 0, 0, 0, 1, Port()}));
    EXPECT_EQ(NVTools::CSerialCommImpl::GetOpenObjectCount(), 0u);
    ASSERT_EQ(m_connection.ConnectToDevice(), S_OK) << ::testing::PrintToString(Texts(m_boxes));
    EXPECT_EQ(Probe().Address(), 1);
    EXPECT_EQ(Probe().Line(), probesim::LineSettings{});
}

TEST_F(ProbeConnectionTest, AResetOnAPortThatCannotOpenKeepsTheSettings)
{
    m_connection.SetCommSettings({7, 0, 1, 1, 1, 33, 99});
    EXPECT_TRUE(Failed(m_connection.ResetCommSettings(250)));
    EXPECT_EQ(m_connection.GetCommSettings(), (sCommSettings{7, 0, 1, 1, 1, 33, 99}));
}

TEST(ErrorCodeText, NamesTheCodeInHexadecimal)
{
    EXPECT_EQ(Text(FormatTextWithErrorCode(u"Failed to read negative VOX handling register",
                                       static_cast<HRESULT>(0x81010004u))),
              u"Failed to read negative VOX handling register (error code 0x81010004)");
}

} // namespace
} // namespace apptest
