// Faults that wait for their request, and readings with a scripted quality, seen from the line.
#include <gtest/gtest.h>

#include "tests/probe-sim/WireClient.h"
#include "tools/probe-sim/Instrument.h"
#include "tools/probe-sim/StandardFunctions.h"

namespace probesim_test
{
namespace
{

using probesim::ExceptionCode;
using probesim::RequestMatch;

constexpr uint8_t kIllegalFieldValue = 0x84;

class RequestFaults : public ::testing::Test
{
protected:
    RequestFaults()
    {
        for (uint16_t n = 40001; n <= 40004; ++n)
            sim.Registers().SetU16(n, 0);
    }

    probesim::RequestFaults& Script() { return sim.RequestFaults(); }

    probesim::ProbeSimulator sim;
    WireClient client{sim.SlavePath()};
};

TEST_F(RequestFaults, AWriteCoveringTheRegisterIsRefusedAndStoresNothingOthersPass)
{
    Script().Refuse(RequestMatch::Write(40003), ExceptionCode::IllegalFieldValue, 2);
    EXPECT_EQ(client.Write(1, 40001, {1, 2}), std::nullopt) << "beside the register";
    EXPECT_EQ(client.Read(1, 40001, 1), (Values{1})) << "a read is no write";
    EXPECT_EQ(client.Write(1, 40002, {7, 8, 9}), kIllegalFieldValue);
    EXPECT_EQ(client.Read(1, 40002, 3), (Values{2, 0, 0})) << "nothing of the refused write stored";
    EXPECT_EQ(client.Write(1, 40003, {5}), kIllegalFieldValue);
    EXPECT_EQ(Script().Pending(), 0u);
    EXPECT_EQ(client.Write(1, 40003, {5}), std::nullopt) << "two times only";

    // Only the command word asked for, every time.
    Script().Refuse(RequestMatch::Write(40004, 0xE001), ExceptionCode::DeviceCommandSequence,
                    probesim::RequestFaults::kEveryTime);
    EXPECT_EQ(client.Write(1, 40004, {0xE000}), std::nullopt);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(client.Write(1, 40004, {0xE001}), 0x85);
    EXPECT_EQ(sim.Registers().GetU16(40004), 0xE000);
    ASSERT_TRUE(sim.Log().WaitForReceived(8, 1s));
    EXPECT_EQ(sim.Log().Received().back().note, "refused (fault)");
}

TEST_F(RequestFaults, AnUnheardWriteIsNeitherCarriedOutNorAnsweredAndTheLineStays)
{
    Script().Drop(RequestMatch::Write(40003), 2);
    client.Send(WriteHolding(1, 40002, {7, 8}));
    ASSERT_TRUE(sim.Log().WaitForReceived(1, 1s));
    EXPECT_EQ(sim.Log().Received().back().note, "unheard (fault)");
    EXPECT_TRUE(client.Silent());
    client.Send(WriteHolding(1, 40003, {5}));
    ASSERT_TRUE(sim.Log().WaitForReceived(2, 1s));
    EXPECT_TRUE(client.Silent());
    EXPECT_EQ(client.Read(1, 40002, 2), (Values{0, 0})) << "nothing stored; other requests answered";
    EXPECT_FALSE(Script().LineLost());
    EXPECT_EQ(Script().Pending(), 0u);
    EXPECT_EQ(client.Write(1, 40003, {5}), std::nullopt) << "two times only";
    EXPECT_EQ(client.Read(1, 40003, 1), (Values{5}));
}

TEST_F(RequestFaults, TheLineIsLostAfterTheCommandAndComesBackWhenRestored)
{
    Script().LoseLineAfter(RequestMatch::Write(40004, 0xE000));
    EXPECT_EQ(client.Write(1, 40004, {0xE002}), std::nullopt) << "another word";
    EXPECT_FALSE(Script().LineLost());
    EXPECT_EQ(client.Write(1, 40004, {0xE000}), std::nullopt) << "carried out and answered";
    EXPECT_TRUE(Script().LineLost());
    client.Send(WriteHolding(1, 40001, {9}));
    ASSERT_TRUE(sim.Log().WaitForReceived(3, 1s));
    EXPECT_EQ(sim.Log().Received().back().note, "ignored: line lost (fault)");
    EXPECT_EQ(sim.Registers().GetU16(40001), 0) << "nothing is carried out";
    EXPECT_TRUE(client.Silent()) << "nor answered";

    Script().RestoreLine();
    EXPECT_EQ(client.Read(1, 40004, 1), (Values{0xE000}));
}

TEST_F(RequestFaults, ALineLostBeforeTheReplyCarriesTheRequestOutAndABriefLossEndsByItself)
{
    Script().LoseLineAfter(RequestMatch::Write(40002), 300ms, false);
    const auto lost = std::chrono::steady_clock::now();
    client.Send(WriteHolding(1, 40002, {3}));
    ASSERT_TRUE(sim.Log().WaitForReceived(1, 1s));
    client.Send(ReadHolding(1, 40002, 1));
    ASSERT_TRUE(sim.Log().WaitForReceived(2, 1s));
    EXPECT_EQ(sim.Registers().GetU16(40002), 3);
    EXPECT_EQ(sim.Log().Received()[0].note, "line lost after it (fault); no reply (fault)");
    EXPECT_EQ(sim.Log().Received()[1].note, "ignored: line lost (fault)");
    EXPECT_EQ(sim.Log().SentCount(), 0u);
    while (Script().LineLost())
        ASSERT_LT(std::chrono::steady_clock::now() - lost, 5s);
    EXPECT_GE(std::chrono::steady_clock::now() - lost, 300ms);
    EXPECT_EQ(client.Read(1, 40002, 1), (Values{3}));

    // By function, lost at once and back.
    Script().LoseLineAfter(RequestMatch::Function(probesim::kReportSlaveId));
    Script().LoseLine();
    EXPECT_TRUE(Script().LineLost());
    Script().Clear();
    EXPECT_EQ(client.Read(1, 40002, 1), (Values{3}));
    EXPECT_EQ(Script().Pending(), 0u);
}

TEST(ScriptedQuality, AForcedQualityKeepsTheMeasurementOrSuppliesTheSentinelTheMasterSet)
{
    probesim::ProbeSimulator sim;
    probesim::Instrument probe{sim, {.deviceType = 12, .sleeps = false}};
    probe.Sensors().Add(1, probesim::OpticalDoSensor());
    WireClient client{sim.SlavePath()};
    const uint16_t temperature = probe.Sensors().Base(1) + probesim::ParameterBlockOffset(2);
    using Forced = probesim::SensorBank::ForcedValue;

    ASSERT_EQ(client.Write(1, temperature + probesim::block::kSentinel, FloatWords(1234567.0f)),
              std::nullopt);
    probe.Sensors().ForceQuality(1, 2, probesim::kQualityError);
    auto block = client.Read(1, temperature, 5).value_or(Values(5));
    EXPECT_EQ(block[4], probesim::kQualityError);
    EXPECT_NEAR(FloatAt(block), 20.0f, 5.0f) << "the measured value stays";

    probe.Sensors().ForceQuality(1, 2, probesim::kQualityOffline, Forced::Sentinel);
    block = client.Read(1, temperature, 5).value_or(Values(5));
    EXPECT_EQ(block[4], probesim::kQualityOffline);
    EXPECT_EQ(FloatAt(block), 1234567.0f);

    probe.Sensors().ForceQuality(1, 2, std::nullopt, Forced::Sentinel);
    block = client.Read(1, temperature, 5).value_or(Values(5));
    EXPECT_EQ(block[4], probesim::kQualityNormal);
    EXPECT_NEAR(FloatAt(block), 20.0f, 5.0f);
}

} // namespace
} // namespace probesim_test
