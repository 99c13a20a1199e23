#include "tests/comm/CommTestSupport.h"

#include <algorithm>
#include <utility>

#include "comm/ModbusCrc.h"
#include "foundation/CommTimeouts.h"
#include "platform/Clock.h"
#include "platform/SettingsStore.h"
#include "tools/probe-sim/PortTable.h"

namespace commtest
{

CByteBuffer ToBuffer(const Bytes& bytes)
{
    return ToBuffer(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

CByteBuffer ToBuffer(std::string_view text)
{
    CByteBuffer buffer;
    buffer.Append(static_cast<uint32_t>(text.size()), text.data());
    return buffer;
}

Bytes ToBytes(const CByteBuffer& buffer)
{
    return Bytes(buffer.GetData(), buffer.GetData() + buffer.GetLength());
}

std::string ToText(const CByteBuffer& buffer)
{
    return std::string(reinterpret_cast<const char*>(buffer.GetData()), buffer.GetLength());
}

Bytes WithCrc(Bytes bytes)
{
    const auto crc = ComputeModbusCrc16(bytes.data(), bytes.size());
    bytes.insert(bytes.end(), crc.begin(), crc.end());
    return bytes;
}

long long MsSince(Clock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

void SetTunable(const char16_t* name, uint32_t value)
{
    ASSERT_TRUE(platform::settings::SetDword(platform::Hive::LocalMachine, COMM_TUNABLES_KEY, name, value));
}

USHORT RegisterPort(const std::string& path)
{
    std::string error;
    const auto number = probesim::RegisterComPort(path, 0, error);
    EXPECT_TRUE(number.has_value()) << error;
    return static_cast<USHORT>(number.value_or(0));
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
    ASSERT_EQ(m_port.Open(RegisterPort(m_sim->SlavePath())), S_OK);
    m_network.reset(CModbusComm::Create());
    ASSERT_NE(m_network, nullptr);
    ASSERT_EQ(m_network->ConnectCommLink(m_port), S_OK);
    ASSERT_EQ(m_network->SetTransmissionMode(mode == probesim::FramingMode::Ascii ? 1 : 0), S_OK);
    m_takenIn.Agree(m_port, m_sim->Log());
}

void SimulatedLine::TearDown()
{
    m_network.reset();
    m_port.Close();
}

size_t SimulatedLine::ReceivedFor(uint8_t address, int function) const
{
    const auto frames = m_sim->Log().Received();
    return static_cast<size_t>(std::count_if(frames.begin(), frames.end(),
                                             [&](const probesim::LoggedFrame& f) {
                                                 return f.adu && f.adu->address == address &&
                                                        (function < 0 || f.adu->function == function);
                                             }));
}

size_t SimulatedLine::SettledReceived()
{
    EXPECT_TRUE(m_takenIn.Await(m_port, m_sim->Log()))
        << "the simulated probe has not taken in everything the port wrote";
    return m_sim->Log().ReceivedCount();
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
    const Answer answer = std::exchange(m_Pending, Answer{});
    if (appendingReads)
        buffer.Append(static_cast<uint32_t>(answer.bytes.size()), answer.bytes.data());
    else
        buffer = ToBuffer(answer.bytes);
    return answer.result;
}

Bytes TcpReply(const Bytes& request, const Bytes& pdu)
{
    const auto length = static_cast<uint16_t>(pdu.size() + 1);
    // Sized once and filled: g++ 12 warns falsely about growing a vector made from a brace list.
    Bytes reply(7 + pdu.size());
    const uint8_t header[] = {request.at(0),   request.at(1), 0, 0, uint8_t(length >> 8),
                              uint8_t(length), request.at(6)};
    std::copy(std::begin(header), std::end(header), reply.begin());
    std::copy(pdu.begin(), pdu.end(), reply.begin() + 7);
    return reply;
}

} // namespace commtest
