// The network object's life and line: transports attached, shared and copied, the framing mode
// reaching the port, the device list and the wake-up table.
#include "comm/DeviceLink.h"
#include "comm/SerialCommImpl.h"
#include "foundation/ResultCodes.h"
#include "tests/comm/CommTestSupport.h"

namespace commtest
{
namespace
{

using NVTools::IOCONNECTION_IP;

using NetworkLine = SimulatedLine;

TEST(ModbusNetwork, TransportsAreAttachedOnceAndOwned)
{
    QuickTunables tunables;
    NetworkPtr network(CModbusComm::Create());
    USHORT value = 0;
    EXPECT_EQ(network->ReadUShort(1, 40001, value, 10, 0), MODBUSCOMM_E_NO_CONNECTION);

    EXPECT_EQ(network->AttachTransport(nullptr), E_POINTER);
    auto* line = new ScriptedTransport(IOCONNECTION_IP);
    ASSERT_EQ(network->AttachTransport(line), S_OK);
    EXPECT_EQ(network->AttachTransport(line), S_OK);
    ScriptedTransport other(IOCONNECTION_IP);
    EXPECT_EQ(network->AttachTransport(&other), MODBUSCOMM_E_CONNECTION_MISMATCH);
    EXPECT_EQ(network->SetTransmissionMode(1), S_OK); // a TCP/IP line has no port to switch
    EXPECT_EQ(network->DisconnectCommLink(), S_OK);   // deletes the transport (the leak check sees it)
    ULONG type = 99;
    EXPECT_EQ(network->GetConnectionType(type), MODBUSCOMM_E_NO_CONNECTION);
    // A line that is not really of its type cannot be copied, nor have its framing set.
    ASSERT_EQ(network->AttachTransport(new ScriptedTransport(NVTools::IOCONNECTION_SERIAL)), S_OK);
    EXPECT_EQ(network->CloneCommLink(), nullptr);
    EXPECT_EQ(network->SetTransmissionMode(1), MODBUSCOMM_E_INVALID_CONNECTION_TYPE);
}

TEST_F(NetworkLine, SharesThePortsLineAndSetsItsFraming)
{
    StartLine();
    EXPECT_EQ(Port().GetRefCount(), 2u);
    NVTools::CSerialComm again(Port());
    EXPECT_EQ(Network().ConnectCommLink(again), MODBUSCOMM_E_CONNECTION_MISMATCH);
    EXPECT_EQ(Port().GetRefCount(), 3u); // the refused handle is gone again

    std::unique_ptr<NVTools::IIOAbstract> copy(Network().CloneCommLink());
    ASSERT_NE(copy, nullptr);
    ASSERT_NE(copy->AsSerial(), nullptr);
    EXPECT_EQ(copy->AsSerial()->GetImpl(), Port().GetImpl());
    EXPECT_EQ(Port().GetRefCount(), 4u);
    copy.reset();

    // The framing mode reaches the port's end-of-frame rule; the transmit time follows its baud rate.
    const NVTools::CSerialCommImpl& impl = *Port().GetImpl();
    ASSERT_EQ(Network().SetTransmissionMode(1), S_OK);
    EXPECT_EQ(impl.GetFramingMode(), NVTools::SERIAL_FRAMING_ASCII);
    ASSERT_EQ(Network().SetTransmissionMode(2), S_OK);
    EXPECT_EQ(impl.GetFramingMode(), NVTools::SERIAL_FRAMING_RTU);
    // Stored unchecked; the framing refuses it before anything is sent.
    ASSERT_EQ(Network().SetTransmissionMode(7), S_OK);
    USHORT value = 0;
    EXPECT_EQ(Network().ReadUShort(kSlave, 40001, value, kTimeoutMs, 0),
              MODBUSCOMM_E_INVALID_TRANSMISSION_MODE);
    EXPECT_EQ(SettledReceived(), 0u);

    EXPECT_EQ(Network().GetTransmitTime(192), 100u); // 19200 baud
    ASSERT_EQ(Port().SetPortConfig(9, 1, 2, 0), S_OK);
    EXPECT_EQ(Network().GetTransmitTime(1151), 99u); // 115200 baud, truncated

    ASSERT_EQ(Network().DisconnectCommLink(), S_OK);
    EXPECT_EQ(Port().GetRefCount(), 2u);
    EXPECT_TRUE(Port().IsOpen());
}

// Device objects as the device library would answer for them: an address, and a log of the
// detaches with whether the network still carried its signature when it called.
struct FakeDevice : NVSystem::ILinkedDevice
{
    FakeDevice(USHORT address_, std::vector<USHORT>& order_) : address(address_), order(order_) {}
    virtual ~FakeDevice() = default;
    USHORT GetAddress() const override { return address; }
    HRESULT DetachCommLink(CModbusComm* network) override
    {
        detaches.emplace_back(network, network->IsTagged());
        order.push_back(address);
        return S_OK;
    }
    USHORT address;
    std::vector<USHORT>& order;
    std::vector<std::pair<CModbusComm*, bool>> detaches;
};

class DeviceList : public ::testing::Test
{
protected:
    QuickTunables m_tunables;
};

TEST_F(DeviceList, RemovingADeviceKeepsTheOthersInOrderAndStopsWakingItsAddress)
{
    NetworkPtr network(CModbusComm::Create());
    std::vector<USHORT> order;
    FakeDevice first{5, order}, second{7, order}, unlinked{255, order}, stray{9, order}, odd{300, order};
    for (FakeDevice* device : {&first, &second, &unlinked, &odd})
        ASSERT_EQ(network->AddDevice(device), S_OK);
    EXPECT_EQ(network->AddDevice(nullptr), E_POINTER);

    EXPECT_EQ(network->RemoveDevice(&stray), S_OK);
    EXPECT_EQ(network->GetDeviceEOS(9), 5000);
    EXPECT_EQ(network->SetDeviceEOS(256, 100), MODBUSCOMM_E_INVALID_ADDRESS);
    EXPECT_EQ(network->RemoveDevice(&first), S_OK);
    EXPECT_EQ(network->GetDeviceEOS(5), 65535);
    EXPECT_EQ(network->RemoveDevice(&unlinked), S_OK); // the wake-up table has address 255
    EXPECT_EQ(network->GetDeviceEOS(255), 65535);
    EXPECT_EQ(network->GetDeviceEOS(254), 5000);
    EXPECT_EQ(network->RemoveDevice(&odd), MODBUSCOMM_E_INVALID_ADDRESS);
    ASSERT_EQ(network->GetDeviceCount(), 2u);
    EXPECT_EQ(network->GetDevice(0), &second);
    EXPECT_EQ(network->GetDevice(1), &odd);
    EXPECT_EQ(network->GetDevice(2), nullptr);

    // The last reference tells the devices still listed to let go, in list order, as a network
    // that takes nothing back any more; the others hear nothing.
    CModbusComm* raw = network.release();
    EXPECT_EQ(raw->Release(), 0u);
    const std::vector<std::pair<CModbusComm*, bool>> once{{raw, false}};
    EXPECT_EQ(second.detaches, once);
    EXPECT_EQ(odd.detaches, once);
    EXPECT_EQ(order, (std::vector<USHORT>{7, 300}));
}

} // namespace
} // namespace commtest
