// The probe communication settings against a simulated probe that hears only frames sent at its
// own line settings: combinations the probe cannot take refused before anything is written, and a
// failed step ending the sequence with the program still knowing the probe's address. (The window
// tests move the probe and the PC together.)
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "app/popups/ProbeCommSettings.h"
#include "connection/AppProfile.h"
#include "connection/ConnectionString.h"
#include "foundation/ResultCodes.h"
#include "tests/app_core/ConnectionTestSupport.h"
#include "tests/app_core/PortLineModel.h"
#include "tests/app_core/RegisterWrites.h"
#include "tools/probe-sim/InstrumentRegisters.h"

namespace apptest
{
namespace
{

namespace reg = probesim::reg;
using Registers = std::vector<uint16_t>;

constexpr USHORT kDeviceTypeRegister = 49001;

std::optional<probesim::ExceptionCode> RefuseWrite(probesim::RegisterModel&, const probesim::RegisterWrite&)
{
    return probesim::ExceptionCode::IllegalFieldValue;
}

std::optional<probesim::ExceptionCode> FailRead(probesim::RegisterModel&, uint16_t, uint16_t)
{
    return probesim::ExceptionCode::SlaveDeviceFailure;
}

class ProbeCommSettingsTest : public ConnectionTest
{
protected:
    ProbeCommSettingsTest()
    {
        EXPECT_TRUE(WriteProfileInt(PROFILE_SECTION_COMMUNICATION, PROFILE_MAX_PARAMS, DEFAULT_MAX_PARAMS));
    }

    void StartModelled(probesim::InstrumentConfig config)
    {
        StartProbe(config);
        ASSERT_EQ(m_connection.ConnectToDevice(), S_OK) << ::testing::PrintToString(Texts(m_boxes));
        ASSERT_TRUE(HearPortAsSetNow(Sim(), *m_connection.GetModbus()));
        Mark();
    }

    // The probe answers where the connection now looks for it, as the keep-alive reads it, on the
    // line as the port is now set.
    bool ProbeAnswers()
    {
        EXPECT_TRUE(HearPortAsSetNow(Sim(), *m_connection.GetModbus()));
        USHORT deviceType = 0;
        return Succeeded(m_connection.GetModbus()->ReadUShort(m_connection.m_nAddress.load(),
                                                              kDeviceTypeRegister, deviceType, 500, 1)) &&
               deviceType == Probe().Config().deviceType;
    }

    std::u16string FirstStoredString() { return Text(GetSearchConnectionStrings().front()); }
};

TEST_F(ProbeCommSettingsTest, RefusesWhatTheProbeCannotTakeBeforeWritingAnything)
{
    StartModelled(probesim::ProbeConfig(12, kProbeSerial)); // at most 19200 baud
    const sProbeCommChoice loaded = LoadProbeCommChoice(m_connection);
    struct Refusal
    {
        const char* what;
        std::function<void(sProbeCommChoice&)> change;
        EProbeCommStep step;
        HRESULT code;
    };
    const Refusal refusals[] = {
        {"RTU with 7 data bits", [](sProbeCommChoice& c) { c.Line.DataBitsId = 0; },
         EProbeCommStep::SerialConfig, MODBUSCOMM_E_INVALID_DATA_BITS_ID},
        {"57600 baud", [](sProbeCommChoice& c) { c.Line.BaudId = COMM_BAUD_ID_57600; },
         EProbeCommStep::SerialConfig, MODBUSCOMM_E_INVALID_BAUD_ID},
        {"address 0", [](sProbeCommChoice& c) { c.Line.Address = 0; }, EProbeCommStep::Address,
         MODBUSCOMM_E_INVALID_DEVICE_ADDRESS},
        {"address 248", [](sProbeCommChoice& c) { c.Line.Address = 248; }, EProbeCommStep::Address,
         MODBUSCOMM_E_INVALID_DEVICE_ADDRESS},
        {"EOM 999", [](sProbeCommChoice& c) { c.Eom = 999; }, EProbeCommStep::Eom, E_INVALIDARG},
        {"EOS 60001", [](sProbeCommChoice& c) { c.Eos = 60001; }, EProbeCommStep::Eos, E_INVALIDARG},
        {"cache time-out 999", [](sProbeCommChoice& c) { c.CacheTimeout = 999; },
         EProbeCommStep::CacheTimeout, E_INVALIDARG}};
    for (const Refusal& refusal : refusals)
    {
        sProbeCommChoice choice = loaded;
        choice.Line.Address = 9;
        refusal.change(choice);
        // The window keeps OK disabled for time-outs out of range.
        const bool timeout = refusal.step == EProbeCommStep::Eom || refusal.step == EProbeCommStep::Eos ||
                             refusal.step == EProbeCommStep::CacheTimeout;
        EXPECT_EQ(AreProbeTimeoutsValid(choice) == FALSE, timeout) << refusal.what;
        const sProbeCommOutcome outcome = ApplyProbeCommChoice(m_connection, choice);
        EXPECT_EQ(outcome.FailedStep, refusal.step) << refusal.what;
        EXPECT_EQ(outcome.Result, refusal.code) << refusal.what;
        EXPECT_TRUE(outcome.Refused) << refusal.what;
    }
    EXPECT_TRUE(WrittenRegisters(ReceivedSinceMark()).empty());
    EXPECT_EQ(m_connection.m_nAddress.load(), 1);
    // The bounds themselves are taken.
    sProbeCommChoice bounds = loaded;
    for (auto [eom, eos, cache] : {std::tuple{1000u, 5000u, 1000u}, std::tuple{15000u, 60000u, 60000u}})
    {
        bounds.Eom = eom;
        bounds.Eos = eos;
        bounds.CacheTimeout = cache;
        EXPECT_TRUE(AreProbeTimeoutsValid(bounds)) << eom;
    }
}

TEST_F(ProbeCommSettingsTest, EverySettingIsTakenAtItsBoundsAndRefusedJustBeyondThem)
{
    StartModelled(probesim::ProbeConfig(12, kProbeSerial));
    const sProbeCommChoice loaded = LoadProbeCommChoice(m_connection);
    ASSERT_TRUE(AreProbeTimeoutsValid(loaded));
    struct Bound
    {
        const char* what;
        std::optional<ULONG> sProbeCommChoice::*field;
        ULONG value;
        bool valid;
    };
    const Bound bounds[] = {{"EOM", &sProbeCommChoice::Eom, 999, false},
                            {"EOM", &sProbeCommChoice::Eom, 1000, true},
                            {"EOM", &sProbeCommChoice::Eom, 15000, true},
                            {"EOM", &sProbeCommChoice::Eom, 15001, false},
                            // Between the smallest EOM and the smallest EOS.
                            {"EOS", &sProbeCommChoice::Eos, 1000, false},
                            {"EOS", &sProbeCommChoice::Eos, 4999, false},
                            {"EOS", &sProbeCommChoice::Eos, 5000, true},
                            {"EOS", &sProbeCommChoice::Eos, 60000, true},
                            {"EOS", &sProbeCommChoice::Eos, 60001, false},
                            {"cache time-out", &sProbeCommChoice::CacheTimeout, 999, false},
                            {"cache time-out", &sProbeCommChoice::CacheTimeout, 1000, true},
                            {"cache time-out", &sProbeCommChoice::CacheTimeout, 60000, true},
                            {"cache time-out", &sProbeCommChoice::CacheTimeout, 60001, false},
                            {"cache time-out", &sProbeCommChoice::CacheTimeout, 0, false}};
    for (const Bound& bound : bounds)
    {
        sProbeCommChoice choice = loaded;
        choice.*bound.field = bound.value;
        EXPECT_EQ(AreProbeTimeoutsValid(choice) != FALSE, bound.valid) << bound.what << " " << bound.value;
        EXPECT_EQ(CheckProbeCommChoice(choice, COMM_BAUD_ID_19200).Succeeded(), bound.valid)
            << bound.what << " " << bound.value;
    }
    // The address and the baud id the same way, the highest baud id the probe's own.
    const Bound lineBounds[] = {{"address", nullptr, 0, false},
                                {"address", nullptr, 1, true},
                                {"address", nullptr, 247, true},
                                {"address", nullptr, 248, false},
                                {"baud id", nullptr, 4, false},
                                {"baud id", nullptr, COMM_BAUD_ID_9600, true},
                                {"baud id", nullptr, COMM_BAUD_ID_19200, true},
                                {"baud id", nullptr, COMM_BAUD_ID_19200 + 1, false}};
    for (const Bound& bound : lineBounds)
    {
        sProbeCommChoice choice = loaded;
        if (std::string_view(bound.what) == "address")
            choice.Line.Address = static_cast<USHORT>(bound.value);
        else
            choice.Line.BaudId = bound.value;
        EXPECT_EQ(CheckProbeCommChoice(choice, COMM_BAUD_ID_19200).Succeeded(), bound.valid)
            << bound.what << " " << bound.value;
    }
}

TEST_F(ProbeCommSettingsTest, ASettingTheProbeDidNotReportIsNotWrittenUnlessTheUserGivesIt)
{
    probesim::InstrumentConfig config = probesim::ProbeConfig(36, kProbeSerial);
    config.eom = 3000;
    config.eos = 20000;
    config.stayAwake = true;
    config.measurementCacheTimeout = 20000;
    StartModelled(config);
    probesim::RegisterModel& registers = Probe().Registers();
    for (uint16_t reg : {reg::kEom, reg::kEos, reg::kStayAwake, reg::kMeasurementCacheTimeout})
        registers.AddReadHook(reg, 1, FailRead);
    // The device's copies of EOM and EOS go with a cache that cannot be read again.
    EXPECT_TRUE(Failed(m_connection.GetProbe()->UpdateCache()));

    sProbeCommChoice choice = LoadProbeCommChoice(m_connection);
    EXPECT_FALSE(choice.Eom.has_value());
    EXPECT_FALSE(choice.Eos.has_value());
    EXPECT_FALSE(choice.CacheTimeout.has_value());
    EXPECT_TRUE(choice.StayAwakeSupported);
    EXPECT_FALSE(choice.StayAwake.has_value());
    EXPECT_TRUE(AreProbeTimeoutsValid(choice));

    Mark();
    ASSERT_TRUE(ApplyProbeCommChoice(m_connection, choice).Succeeded());
    EXPECT_EQ(WrittenRegisters(ReceivedSinceMark()), (Registers{reg::kDeviceAddress, reg::kLineSettings}));
    EXPECT_EQ(registers.GetU16(reg::kEom), 3000);
    EXPECT_EQ(registers.GetU16(reg::kEos), 20000);
    EXPECT_EQ(registers.GetU16(reg::kStayAwake), 1);
    EXPECT_EQ(registers.GetU16(reg::kMeasurementCacheTimeout), 20000);

    // What the user gives is written, and only that.
    choice.Eos = 7000;
    choice.StayAwake = FALSE;
    Mark();
    ASSERT_TRUE(ApplyProbeCommChoice(m_connection, choice).Succeeded());
    EXPECT_EQ(WrittenRegisters(ReceivedSinceMark()),
              (Registers{reg::kEos, reg::kStayAwake, reg::kDeviceAddress, reg::kLineSettings}));
    EXPECT_EQ(registers.GetU16(reg::kEos), 7000);
    EXPECT_EQ(registers.GetU16(reg::kStayAwake), 0);
    EXPECT_EQ(registers.GetU16(reg::kMeasurementCacheTimeout), 20000);
}

TEST_F(ProbeCommSettingsTest, AFailedStepEndsTheSequenceAndAChangedAddressStaysKnown)
{
    StartModelled(probesim::ProbeConfig(36, kProbeSerial));
    sProbeCommChoice choice = LoadProbeCommChoice(m_connection);
    choice.Line.Address = 7;
    choice.Line.BaudId = COMM_BAUD_ID_9600;

    const int eosHook = Probe().Registers().AddWriteHook(reg::kEos, 1, RefuseWrite);
    sProbeCommOutcome outcome = ApplyProbeCommChoice(m_connection, choice);
    EXPECT_EQ(outcome.FailedStep, EProbeCommStep::Eos);
    EXPECT_FALSE(outcome.Refused);
    EXPECT_EQ(Text(FormatProbeCommFailure(outcome.FailedStep, outcome.Result))
                  .rfind(u"Failed to set device EOS value.\nError: 8101", 0),
              0u);
    EXPECT_EQ(Probe().Address(), 1);
    EXPECT_EQ(m_connection.m_nAddress.load(), 1);
    Probe().Registers().RemoveHook(eosHook);

    // The probe takes the new address, then refuses its line settings: it answers at 7 on the old
    // line, and the program looks for it there, now and after a restart.
    Probe().Registers().AddWriteHook(reg::kLineSettings, 1, RefuseWrite);
    outcome = ApplyProbeCommChoice(m_connection, choice);
    EXPECT_EQ(outcome.FailedStep, EProbeCommStep::SerialConfig);
    EXPECT_EQ(Probe().Address(), 7);
    EXPECT_EQ(m_connection.m_nAddress.load(), 7);
    EXPECT_EQ(m_connection.m_nBaudId.load(), COMM_BAUD_ID_19200);
    EXPECT_EQ(FirstStoredString(), u"19200,8,E,1,RTU,7");
    EXPECT_TRUE(ProbeAnswers());
}

} // namespace
} // namespace apptest
