// The two current loops against a simulated probe: what the popup loads, a loop that follows a
// reading the list does not offer, loops that cannot be read, and a probe that answers late.
// (The window tests follow what OK writes.)
#include <chrono>

#include <gtest/gtest.h>

#include "app/popups/AnalogSetup.h"
#include "foundation/CommTimeouts.h"
#include "platform/SettingsStore.h"
#include "tests/app_core/BothLoopsProbe.h"
#include "tests/app_core/ConnectionTestSupport.h"
#include "tests/app_core/RegisterWrites.h"
#include "tools/probe-sim/ServiceRegisters.h"

namespace apptest
{
namespace
{

namespace reg = probesim::reg;
using Registers = std::vector<uint16_t>;

class AnalogSetupTest : public ConnectionTest
{
protected:
    void StartWithBothLoops()
    {
        StartProbe(BothLoopsConfig(kProbeSerial));
        PutBothLoops(Probe().Registers());
        ASSERT_EQ(m_connection.ConnectToDevice(), S_OK);
    }

    const sParameterReading& Followed(int loop)
    {
        const int index = m_setup.FindFollowedReading(loop);
        EXPECT_GE(index, 0);
        return m_setup.Readings()[static_cast<uint32_t>(std::max(index, 0))];
    }

    CAnalogSetup m_setup{m_connection};
};

TEST_F(AnalogSetupTest, LoadsBothLoopsAndFindsEachReadingBySensorAndParameterNumberTogether)
{
    StartWithBothLoops();
    ASSERT_TRUE(m_setup.Load());
    ASSERT_TRUE(m_setup.HasSecondLoop());

    const sAnalogLoop& loop1 = m_setup.Loop(ANALOG_LOOP_1);
    EXPECT_TRUE(loop1.Enabled);
    EXPECT_EQ(loop1.FullScale, 12.5f);
    EXPECT_EQ(loop1.ZeroScale, -3.25f);
    EXPECT_EQ(Followed(ANALOG_LOOP_1).Connection, 2);
    EXPECT_EQ(Followed(ANALOG_LOOP_1).ParameterNumber, 3);

    const sAnalogLoop& loop2 = m_setup.Loop(ANALOG_LOOP_2);
    EXPECT_TRUE(loop2.Enabled);
    EXPECT_EQ(loop2.FullScale, 40.0f);
    EXPECT_EQ(loop2.ZeroScale, 0.5f);
    EXPECT_EQ(Followed(ANALOG_LOOP_2).Connection, 3);
    EXPECT_EQ(Followed(ANALOG_LOOP_2).ParameterNumber, 3);

    // The device keeps 49507 as a disable flag; loop 2 is on only for 1.
    Probe().Registers().SetU16(reg::kAnalogDisable, 1);
    Probe().Registers().SetU16(reg::kLoop2Enable, 0);
    ASSERT_TRUE(m_setup.Load());
    EXPECT_FALSE(m_setup.Loop(ANALOG_LOOP_1).Enabled);
    EXPECT_FALSE(m_setup.Loop(ANALOG_LOOP_2).Enabled);
}

TEST_F(AnalogSetupTest, ALoopFollowingAReadingNotOfferedIsLeftAsTheProbeHasItUntilAReadingIsChosen)
{
    StartWithBothLoops();
    probesim::RegisterModel& registers = Probe().Registers();
    registers.SetU16(reg::kAnalogSensor, 9);
    registers.SetU16(reg::kLoop2Parameter, 31);
    ASSERT_TRUE(m_setup.Load());
    EXPECT_EQ(m_setup.FindFollowedReading(ANALOG_LOOP_1), -1);
    EXPECT_EQ(m_setup.FindFollowedReading(ANALOG_LOOP_2), -1);
    m_setup.Loop(ANALOG_LOOP_1).Enabled = FALSE;
    m_setup.Loop(ANALOG_LOOP_1).FullScale = 60.0f;
    m_setup.Loop(ANALOG_LOOP_2).Enabled = FALSE;
    m_setup.Loop(ANALOG_LOOP_2).ZeroScale = 2.0f;

    Mark();
    EXPECT_EQ(m_setup.WriteLoop1(-1), S_FALSE);
    EXPECT_EQ(m_setup.WriteLoop2(-1), S_FALSE);
    EXPECT_TRUE(WrittenRegisters(ReceivedSinceMark()).empty());
    EXPECT_EQ(registers.GetU16(reg::kAnalogDisable), 0);
    EXPECT_EQ(registers.GetFloat(reg::kAnalogFullScale), 12.5f);
    EXPECT_EQ(registers.GetU16(reg::kAnalogSensor), 9);
    EXPECT_EQ(registers.GetU16(reg::kLoop2Enable), 1);
    EXPECT_EQ(registers.GetU16(reg::kLoop2Parameter), 31);
    EXPECT_EQ(registers.GetFloat(reg::kLoop2SecondScale), 0.5f);

    // Chosen, a reading takes the loop with it.
    const int last = static_cast<int>(m_setup.Readings().GetCount()) - 1;
    ASSERT_GE(last, 0);
    ASSERT_EQ(m_setup.WriteLoop1(last), S_OK);
    ASSERT_EQ(m_setup.WriteLoop2(last), S_OK);
    const sParameterReading& chosen = m_setup.Readings()[static_cast<uint32_t>(last)];
    EXPECT_EQ(registers.GetU16(reg::kAnalogDisable), 1);
    EXPECT_EQ(registers.GetFloat(reg::kAnalogFullScale), 60.0f);
    EXPECT_EQ(registers.GetU16(reg::kAnalogSensor), chosen.Connection);
    EXPECT_EQ(registers.GetU16(reg::kLoop2Enable), 0);
    EXPECT_EQ(registers.GetU16(reg::kLoop2Parameter), chosen.ParameterNumber);
    EXPECT_EQ(registers.GetFloat(reg::kLoop2SecondScale), 2.0f);
}

TEST_F(AnalogSetupTest, TheFirstReadingInTheListIsWrittenAndFoundAgainLikeAnyOther)
{
    StartWithBothLoops();
    ASSERT_TRUE(m_setup.Load());
    ASSERT_GT(m_setup.FindFollowedReading(ANALOG_LOOP_1), 0);
    ASSERT_GT(m_setup.FindFollowedReading(ANALOG_LOOP_2), 0);
    const sParameterReading first = m_setup.Readings()[0];

    ASSERT_EQ(m_setup.WriteLoop1(0), S_OK);
    ASSERT_EQ(m_setup.WriteLoop2(0), S_OK);
    probesim::RegisterModel& registers = Probe().Registers();
    EXPECT_EQ(Registers({registers.GetU16(reg::kAnalogSensor).value(),
                         registers.GetU16(reg::kAnalogParameter).value(),
                         registers.GetU16(reg::kLoop2Connection).value(),
                         registers.GetU16(reg::kLoop2Parameter).value()}),
              (Registers{first.Connection, first.ParameterNumber, first.Connection, first.ParameterNumber}));

    ASSERT_TRUE(m_setup.Load());
    EXPECT_EQ(m_setup.FindFollowedReading(ANALOG_LOOP_1), 0);
    EXPECT_EQ(m_setup.FindFollowedReading(ANALOG_LOOP_2), 0);
}

TEST_F(AnalogSetupTest, DoesNotOpenWhileDisconnectedOrWhenTheSecondLoopCannotBeRead)
{
    EXPECT_FALSE(m_setup.Load());
    StartWithBothLoops();
    Probe().Registers().AddReadHook(reg::kLoop2FirstScale, 2,
                                    [](probesim::RegisterModel&, uint16_t, uint16_t)
                                    { return std::optional{probesim::ExceptionCode::SlaveDeviceFailure}; });
    EXPECT_FALSE(m_setup.Load());
}

// A probe that answers after the register time-out but within one frame silence of it: each read
// of the loop still gets its own register's value, which the popup would write back on OK.
class LateProbeLoopTest : public AnalogSetupTest, public ::testing::WithParamInterface<probesim::FramingMode>
{
};

TEST_P(LateProbeLoopTest, TheSecondLoopIsReadAsTheProbeHoldsIt)
{
    using namespace std::chrono_literals;
    // The product's register time-out is 500 ms; the reply comes 150 ms after it, the silence that
    // ends a frame ends 600 ms after it.
    ASSERT_TRUE(platform::settings::SetDword(platform::Hive::LocalMachine, COMM_TUNABLES_KEY,
                                             u"RTUInterCharacter TO", 600));
    probesim::InstrumentConfig config = BothLoopsConfig(kProbeSerial);
    config.line = probesim::LineSettings{.mode = GetParam()};
    StartProbe(config);
    PutBothLoops(Probe().Registers());
    Probe().Registers().SetU16(reg::kLoop2Connection, 2);
    Probe().Registers().SetU16(reg::kLoop2Parameter, 4);
    sCommSettings settings = m_connection.GetCommSettings();
    settings.Mode = GetParam() == probesim::FramingMode::Ascii ? COMM_MODE_ASCII : COMM_MODE_RTU;
    m_connection.SetCommSettings(settings);
    ASSERT_EQ(m_connection.ConnectToDevice(), S_OK);

    Sim().Faults().SetPersistent(probesim::Fault::Late(650ms));
    BOOL enable = FALSE;
    USHORT connection = 0;
    USHORT parameter = 0;
    float first = 0;
    float second = 0;
    ASSERT_EQ(m_connection.ReadCurrentLoop(enable, connection, parameter, first, second), S_OK);
    EXPECT_TRUE(enable);
    EXPECT_EQ(connection, 2);
    EXPECT_EQ(parameter, 4);
    EXPECT_EQ(first, 40.0f);
    EXPECT_EQ(second, 0.5f);
}

INSTANTIATE_TEST_SUITE_P(Framings, LateProbeLoopTest,
                         ::testing::Values(probesim::FramingMode::Rtu, probesim::FramingMode::Ascii),
                         FramingName);

TEST(AnalogScalingText, IsAValueOnlyOnceItIsANumber)
{
    for (const char16_t* unfinished : {u"", u"-", u".", u"-."})
        EXPECT_FALSE(ParseScalingText(unfinished).has_value()) << ::testing::PrintToString(Text(unfinished));
    EXPECT_EQ(ParseScalingText(u"-2.5"), -2.5f);
    EXPECT_EQ(ParseScalingText(u"20."), 20.0f);
    EXPECT_EQ(ParseScalingText(u".5"), 0.5f);
}

} // namespace
} // namespace apptest
