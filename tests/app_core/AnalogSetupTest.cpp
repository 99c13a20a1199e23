// The two current loops against simulated probes: what the popup loads, the registers OK writes
// (loop 1 through the device, loop 2 in its own order), and a loop that follows a reading the
// list does not offer.
#include <gtest/gtest.h>

#include "app/popups/AnalogSetup.h"
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

    // The index of an offered reading of the connection.
    int OfferedOn(USHORT connection)
    {
        for (uint32_t i = 0; i < m_setup.Readings().GetCount(); ++i)
            if (m_setup.Readings()[i].Connection == connection)
                return static_cast<int>(i);
        ADD_FAILURE() << "no reading on connection " << connection;
        return -1;
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

TEST_F(AnalogSetupTest, WritesLoopOneThroughTheDeviceAndLoopTwoInItsRegisterOrder)
{
    StartWithBothLoops();
    ASSERT_TRUE(m_setup.Load());
    sAnalogLoop& loop1 = m_setup.Loop(ANALOG_LOOP_1);
    loop1.Enabled = TRUE;
    loop1.FullScale = 200.0f;
    loop1.ZeroScale = 5.0f;
    sAnalogLoop& loop2 = m_setup.Loop(ANALOG_LOOP_2);
    loop2.Enabled = FALSE;
    loop2.FullScale = -1.5f;
    loop2.ZeroScale = 7.0f;
    const int onPhOrp = OfferedOn(4);
    const sParameterReading phOrp = m_setup.Readings()[static_cast<uint32_t>(onPhOrp)];

    Mark();
    ASSERT_EQ(m_setup.WriteLoop1(onPhOrp), S_OK);
    ASSERT_EQ(m_setup.WriteLoop2(onPhOrp), S_OK);
    const Registers written = WrittenRegisters(ReceivedSinceMark());
    // Loop 1: switch, followed reading, then the scaling as the device writes it (the zero scale
    // out of the way first).
    EXPECT_EQ(written, (Registers{reg::kAnalogDisable, reg::kAnalogSensor, reg::kAnalogParameter,
                                  reg::kAnalogZeroScale, reg::kAnalogFullScale, reg::kAnalogZeroScale,
                                  reg::kLoop2Enable, reg::kLoop2Connection, reg::kLoop2Parameter,
                                  reg::kLoop2FirstScale, reg::kLoop2SecondScale}));
    probesim::RegisterModel& registers = Probe().Registers();
    EXPECT_EQ(registers.GetU16(reg::kAnalogDisable), 0);
    EXPECT_EQ(registers.GetU16(reg::kAnalogSensor), 4);
    EXPECT_EQ(registers.GetU16(reg::kAnalogParameter), phOrp.ParameterNumber);
    EXPECT_EQ(registers.GetFloat(reg::kAnalogFullScale), 200.0f);
    EXPECT_EQ(registers.GetFloat(reg::kAnalogZeroScale), 5.0f);
    EXPECT_EQ(registers.GetU16(reg::kLoop2Enable), 0);
    EXPECT_EQ(registers.GetU16(reg::kLoop2Connection), 4);
    EXPECT_EQ(registers.GetU16(reg::kLoop2Parameter), phOrp.ParameterNumber);
    EXPECT_EQ(registers.GetFloat(reg::kLoop2FirstScale), -1.5f);
    EXPECT_EQ(registers.GetFloat(reg::kLoop2SecondScale), 7.0f);
}

TEST_F(AnalogSetupTest, ALoopFollowingAReadingNotOfferedKeepsItAndStillTakesItsSwitchAndScaling)
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
    m_setup.Loop(ANALOG_LOOP_2).ZeroScale = 2.0f;

    Mark();
    ASSERT_EQ(m_setup.WriteLoop1(-1), S_OK);
    ASSERT_EQ(m_setup.WriteLoop2(-1), S_OK);
    const Registers written = WrittenRegisters(ReceivedSinceMark());
    EXPECT_EQ(std::count(written.begin(), written.end(), reg::kAnalogSensor), 0);
    EXPECT_EQ(std::count(written.begin(), written.end(), reg::kAnalogParameter), 0);
    EXPECT_EQ(registers.GetU16(reg::kAnalogDisable), 1);
    EXPECT_EQ(registers.GetFloat(reg::kAnalogFullScale), 60.0f);
    EXPECT_EQ(registers.GetU16(reg::kAnalogSensor), 9);
    EXPECT_EQ(registers.GetU16(reg::kLoop2Connection), 3);
    EXPECT_EQ(registers.GetU16(reg::kLoop2Parameter), 31);
    EXPECT_EQ(registers.GetFloat(reg::kLoop2SecondScale), 2.0f);
}

TEST_F(AnalogSetupTest, OpensWithoutTheSecondLoopAndNotAtAllWithoutAnalogOutputOrAReadableLoop)
{
    StartConnected(12);
    ASSERT_TRUE(m_setup.Load());
    EXPECT_FALSE(m_setup.HasSecondLoop());

    probesim::InstrumentConfig config = probesim::ProbeConfig(12, kProbeSerial);
    config.analogOutputSupported = false;
    StartProbe(config);
    ASSERT_EQ(m_connection.ConnectToDevice(), S_OK);
    EXPECT_FALSE(m_setup.Load());
    ASSERT_EQ(m_connection.DisconnectDevice(), S_OK);
    EXPECT_FALSE(m_setup.Load());

    StartWithBothLoops();
    Probe().Registers().AddReadHook(reg::kLoop2FirstScale, 2,
                                    [](probesim::RegisterModel&, uint16_t, uint16_t)
                                    { return std::optional{probesim::ExceptionCode::SlaveDeviceFailure}; });
    EXPECT_FALSE(m_setup.Load());
}

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
