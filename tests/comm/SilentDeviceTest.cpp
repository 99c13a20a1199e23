// A device that stops answering, as the line's silence check handles it: after an exchange that
// went unanswered, one short check before the next exchange of anyone; nothing more on the line once
// the check went unanswered too; a refusal or a garbled reply is an answer; the check rests while a
// restart is expected, and is off unless turned on.
#include <vector>

#include "tests/comm/CommTestSupport.h"

namespace commtest
{
namespace
{

constexpr USHORT kCheckRegister = 49001;
constexpr ULONG kCheckTimeoutMs = 10;

// The check on the wire: function 3, register 9000, one register.
Bytes CheckFrame(uint8_t address)
{
    return WithCrc({address, 3, 0x23, 0x28, 0, 1});
}

Bytes ReadFrame(uint8_t address, uint16_t offset)
{
    return WithCrc({address, 3, static_cast<uint8_t>(offset >> 8), static_cast<uint8_t>(offset), 0, 1});
}

class SilentDevice : public ::testing::Test
{
protected:
    enum class Mode
    {
        Answer,
        Silent,
        Refuse,
        Garble,
    };

    SilentDevice()
    {
        m_line =
            new ScriptedTransport(NVTools::IOCONNECTION_SERIAL,
                                  [this](const Bytes& request) -> ScriptedTransport::Answer
                                  {
                                      switch (mode)
                                      {
                                      case Mode::Silent:
                                          return {{}, SERIALCOMM_E_READ_TIMEOUT};
                                      case Mode::Refuse:
                                          return {WithCrc({request[0], 0x83, 4})};
                                      case Mode::Garble:
                                          return {Bytes{request[0], 3, 2, 0, 1, 0, 0}};
                                      case Mode::Answer:
                                          break;
                                      }
                                      if (request[1] == 16)
                                          return {WithCrc({request[0], 16, request[2], request[3], 0, 1})};
                                      return {WithCrc({request[0], 3, 2, 0x12, 0x34})};
                                  });
        EXPECT_EQ(m_network->AttachTransport(m_line), S_OK);
    }

    void TurnOn()
    {
        m_network->EnableSilenceCheck(kCheckRegister, kCheckTimeoutMs);
    }
    HRESULT Read(uint8_t address = 1, USHORT registerNumber = 40001, USHORT retries = 2)
    {
        USHORT value = 0;
        return m_network->ReadUShort(address, registerNumber, value, 10, retries);
    }
    // What went out since the last call.
    std::vector<Bytes> Written() { return std::exchange(m_line->written, {}); }

    QuickTunables m_tunables;
    NetworkPtr m_network{CModbusComm::Create()};
    ScriptedTransport* m_line = nullptr; // owned by the network
    Mode mode = Mode::Answer;
};

TEST_F(SilentDevice, AfterAnUnansweredExchangeOneCheckPrecedesTheNextAndTheDeviceThatAnswersItIsTalkedTo)
{
    TurnOn();
    mode = Mode::Silent;
    EXPECT_EQ(Read(), SERIALCOMM_E_READ_TIMEOUT);
    EXPECT_EQ(Written().size(), 3u) << "every try of the first exchange";

    mode = Mode::Answer;
    EXPECT_EQ(Read(1, 40005), S_OK);
    EXPECT_EQ(Written(), (std::vector<Bytes>{CheckFrame(1), ReadFrame(1, 4)}));
    EXPECT_EQ(Read(1, 40005), S_OK);
    EXPECT_EQ(Written(), std::vector<Bytes>{ReadFrame(1, 4)}) << "heard again: no check";
    EXPECT_FALSE(m_network->IsSilent());
}

TEST_F(SilentDevice, ADeviceThatDoesNotAnswerTheCheckIsSentNothingMore)
{
    TurnOn();
    mode = Mode::Silent;
    EXPECT_EQ(Read(), SERIALCOMM_E_READ_TIMEOUT);
    Written();
    EXPECT_EQ(Read(1, 40005), SERIALCOMM_E_READ_TIMEOUT);
    EXPECT_EQ(Written(), std::vector<Bytes>{CheckFrame(1)}) << "the check alone, without a retry";
    EXPECT_TRUE(m_network->IsSilent());

    // Whatever comes next, and even once the device would answer again: nothing goes out.
    mode = Mode::Answer;
    EXPECT_EQ(Read(), SERIALCOMM_E_READ_TIMEOUT);
    EXPECT_EQ(m_network->WriteUShort(1, 40001, 7, 10, 2), SERIALCOMM_E_READ_TIMEOUT);
    EXPECT_EQ(m_network->WakeUpNetwork(), SERIALCOMM_E_READ_TIMEOUT);
    EXPECT_EQ(m_network->ExchangeAwake(1, [&] { return Read(); }), SERIALCOMM_E_READ_TIMEOUT);
    EXPECT_FALSE(m_network->CheckIfUnheard(1));
    EXPECT_TRUE(Written().empty());
}

TEST_F(SilentDevice, ARefusalOrAGarbledReplyIsAnAnswer)
{
    TurnOn();
    for (const Mode answer : {Mode::Refuse, Mode::Garble})
    {
        mode = answer;
        EXPECT_TRUE(Failed(Read()));
        Written();
        mode = Mode::Answer;
        EXPECT_EQ(Read(), S_OK);
        EXPECT_EQ(Written(), std::vector<Bytes>{ReadFrame(1, 0)}) << "no check after such a reply";
    }
}

TEST_F(SilentDevice, TheCheckGoesToTheDeviceOfTheExchangeItPrecedes)
{
    // The probe's address changed meanwhile: the device now talked to is the one asked.
    TurnOn();
    mode = Mode::Silent;
    Read(1);
    Written();
    mode = Mode::Answer;
    EXPECT_EQ(Read(5), S_OK);
    EXPECT_EQ(Written(), (std::vector<Bytes>{CheckFrame(5), ReadFrame(5, 0)}));
}

TEST_F(SilentDevice, OffUnlessTurnedOn)
{
    mode = Mode::Silent;
    Read();
    Read();
    EXPECT_EQ(Written().size(), 6u) << "each exchange with all its tries, no check";
    EXPECT_FALSE(m_network->IsSilent());
}

TEST_F(SilentDevice, WhileARestartIsAwaitedTheLineIsNeitherCheckedNorMarked)
{
    TurnOn();
    m_network->SuspendSilenceCheck();
    mode = Mode::Silent;
    Read(1, 40001, 0);
    Read(1, 40001, 0);
    EXPECT_EQ(Written().size(), 2u) << "the polls of a restarting device, without checks";
    m_network->ResumeSilenceCheck();
    EXPECT_FALSE(m_network->IsUnheard());
    Read(1, 40001, 1);
    EXPECT_EQ(Written().size(), 2u) << "the first exchange after the restart with its own tries";
    EXPECT_FALSE(m_network->CheckIfUnheard(1));
    EXPECT_EQ(Written(), std::vector<Bytes>{CheckFrame(1)});
    EXPECT_TRUE(m_network->IsSilent());
}

TEST_F(SilentDevice, AnAskedForCheckIsMadeOnlyAfterAnUnansweredExchange)
{
    TurnOn();
    EXPECT_TRUE(m_network->CheckIfUnheard(1));
    EXPECT_TRUE(Written().empty());
    mode = Mode::Silent;
    Read();
    Written();
    mode = Mode::Answer;
    EXPECT_TRUE(m_network->CheckIfUnheard(1));
    EXPECT_EQ(Written(), std::vector<Bytes>{CheckFrame(1)});
    EXPECT_TRUE(m_network->CheckIfUnheard(1));
    EXPECT_TRUE(Written().empty());
}

} // namespace
} // namespace commtest
