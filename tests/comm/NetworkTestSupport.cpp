#include "tests/comm/NetworkTestSupport.h"

#include <algorithm>

#include "foundation/CommTimeouts.h"
#include "platform/Clock.h"
#include "platform/SettingsStore.h"
#include "tools/probe-sim/PortTable.h"

namespace networktest
{

CByteBuffer ToBuffer(const Bytes& bytes)
{
    CByteBuffer buffer;
    buffer.Append(static_cast<uint32_t>(bytes.size()), bytes.data());
    return buffer;
}

Bytes ToBytes(const CByteBuffer& buffer)
{
    return Bytes(buffer.GetData(), buffer.GetData() + buffer.GetLength());
}

void SetTunable(const char16_t* name, uint32_t value)
{
    ASSERT_TRUE(platform::settings::SetDword(platform::Hive::LocalMachine, COMM_TUNABLES_KEY, name, value));
}

QuickTunables::QuickTunables()
{
    ResetCommTunablesForTests();
    SetTunable(u"InterMsgDelay TO", 0);
    SetTunable(u"RTUInterCharacter TO", 20);
    SetTunable(u"BusyResponseDelay", 1);
}

QuickTunables::~QuickTunables()
{
    ResetCommTunablesForTests();
}

void SimulatedLine::StartLine(probesim::FramingMode mode)
{
    m_sim = std::make_unique<probesim::ProbeSimulator>(probesim::SimulatorOptions{
        .mode = mode, .address = kSlave, .rtuSilence = std::chrono::milliseconds(5)});
    std::string error;
    const auto number = probesim::RegisterComPort(m_sim->SlavePath(), 0, error);
    ASSERT_TRUE(number.has_value()) << error;
    ASSERT_EQ(m_port.Open(static_cast<USHORT>(*number)), S_OK);
    m_network.reset(CModbusComm::Create());
    ASSERT_NE(m_network, nullptr);
    ASSERT_EQ(m_network->ConnectCommLink(m_port), S_OK);
    ASSERT_EQ(m_network->SetTransmissionMode(mode == probesim::FramingMode::Ascii ? 1 : 0), S_OK);
}

void SimulatedLine::TearDown()
{
    m_network.reset();
    m_port.Close();
}

size_t SimulatedLine::ReceivedFor(uint8_t address) const
{
    const auto frames = m_sim->Log().Received();
    return static_cast<size_t>(std::count_if(frames.begin(), frames.end(),
                                             [&](const probesim::LoggedFrame& f)
                                             { return f.adu && f.adu->address == address; }));
}

size_t SimulatedLine::ReceivedFor(uint8_t address, uint8_t function) const
{
    const auto frames = m_sim->Log().Received();
    return static_cast<size_t>(std::count_if(frames.begin(), frames.end(),
                                             [&](const probesim::LoggedFrame& f) {
                                                 return f.adu && f.adu->address == address &&
                                                        f.adu->function == function;
                                             }));
}

size_t SimulatedLine::SettledReceived()
{
    size_t count = m_sim->Log().ReceivedCount();
    for (int i = 0; i < 25; ++i)
    {
        platform::SleepMs(20);
        const size_t now = m_sim->Log().ReceivedCount();
        if (now == count)
            break;
        count = now;
    }
    return count;
}

std::vector<ULONG> SimulatedLine::Statistics()
{
    ULONG counters[MODBUS_STAT_COUNT] = {};
    m_network->GetStatistics(counters);
    return std::vector<ULONG>(counters, counters + MODBUS_STAT_COUNT);
}

HRESULT ScriptedTransport::Write(const CByteBuffer& data, ULONG)
{
    if (Failed(writeResult))
        return writeResult;
    written.push_back(ToBytes(data));
    m_Pending = m_Responder ? m_Responder(written.back()) : Answer{};
    return S_OK;
}

HRESULT ScriptedTransport::Read(ULONG, CByteBuffer& buffer, ULONG, CTransferControl*)
{
    buffer.Allocate(0);
    Answer answer = std::move(m_Pending);
    m_Pending = Answer{};
    buffer.Append(static_cast<uint32_t>(answer.bytes.size()), answer.bytes.data());
    return answer.result;
}

Bytes TcpReply(const Bytes& request, const Bytes& pdu)
{
    const size_t length = pdu.size() + 1;
    Bytes reply = {request.at(0),
                   request.at(1),
                   0,
                   0,
                   static_cast<uint8_t>(length >> 8),
                   static_cast<uint8_t>(length & 0xFF),
                   request.at(6)};
    reply.insert(reply.end(), pdu.begin(), pdu.end());
    return reply;
}

} // namespace networktest
