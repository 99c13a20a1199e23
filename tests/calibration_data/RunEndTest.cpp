// What a calibration run leaves on the probe when a step of its end fails: the end step tries every
// restore whichever failed before it, the end of the run tries what failed once more on the same
// device, and what still could not be given back is told item by item, as the probe holds it.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>

#include "calibration/data/CalDataConductivity.h"
#include "calibration/data/CalDataVOX.h"
#include "comm/LinePauses.h"
#include "tests/calibration_data/CalTestSupport.h"
#include "tools/probe-sim/OpticalDoSensor.h"

namespace caltest
{
namespace
{

using probesim::ExceptionCode;
using probesim::RequestFaults;
using probesim::RequestMatch;
namespace dos = probesim::dosensor;

constexpr USHORT kRunCacheTimeout = 7; // ms; neither the probe's own nor any kind's

class RunEnd : public CalibrationTest
{
protected:
    void SetUp() override
    {
        StartDialledProbe();
        m_cacheBefore = Probe().MeasurementCacheTimeout();
        ASSERT_EQ(Device().GetEOS(m_eosBefore), S_OK);
        m_cacheRegister =
            RegisterWrittenBy(&NVSystem::CDeviceComm::SetMeasurementCacheTimeout, m_cacheBefore);
        m_eosRegister = RegisterWrittenBy(&NVSystem::CDeviceComm::SetEOS, m_eosBefore);
        m_data = std::make_unique<CCalDataConductivity>(m_connection);
        m_data->SetRunCacheTimeout(kRunCacheTimeout);
        ASSERT_EQ(m_data->StartManual(m_conductivitySensor.get(), &m_window), S_OK);
        ASSERT_TRUE(m_data->RunStartSteps());
        ASSERT_EQ(m_data->PrepareStabilization(), S_OK);
        ASSERT_EQ(m_data->BeginCalibration(), S_OK);
        ASSERT_TRUE(m_data->RunCycle());
        ASSERT_TRUE(InCalibrationMode());
        ASSERT_EQ(CacheTimeout(), kRunCacheTimeout);
        ASSERT_EQ(Eos(), CCalData::kCalibrationEOS);
    }

    void TearDown() override
    {
        Sim().RequestFaults().Clear();
        m_data.reset();
    }

    bool InCalibrationMode()
    {
        return Probe().Sensors().Mode(kConductivity) != probesim::SensorMode::Measuring;
    }
    uint16_t CacheTimeout() { return Probe().Registers().GetU16(m_cacheRegister).value_or(0xDEAD); }
    uint16_t Eos() { return Probe().Registers().GetU16(m_eosRegister).value_or(0xDEAD); }

    void ExpectEverythingBack()
    {
        EXPECT_FALSE(InCalibrationMode());
        EXPECT_EQ(CacheTimeout(), m_cacheBefore);
        EXPECT_EQ(Eos(), m_eosBefore);
    }

    std::unique_ptr<CCalDataConductivity> m_data;
    uint16_t m_cacheBefore = 0;
    USHORT m_eosBefore = 0;
    uint16_t m_cacheRegister = 0;
    uint16_t m_eosRegister = 0;
};

TEST_F(RunEnd, ARefusedRestoreOfTheCacheTimeOutDoesNotKeepTheEOSFromComingBack)
{
    Sim().RequestFaults().Refuse(RequestMatch::Write(m_cacheRegister), ExceptionCode::SlaveDeviceFailure,
                                 RequestFaults::kEveryTime);
    m_data->RunEndStep();
    EXPECT_FALSE(InCalibrationMode());
    EXPECT_EQ(CacheTimeout(), kRunCacheTimeout);
    EXPECT_EQ(Eos(), m_eosBefore) << "tried although the write before it was refused";

    // The probe takes it again by the time the wizard closes.
    Sim().RequestFaults().Clear();
    Mark();
    EXPECT_TRUE(m_data->EndReading().IsEmpty());
    ExpectEverythingBack();
    ASSERT_EQ(WritesSinceMark().size(), 1u) << "only what had failed is written again";
    EXPECT_EQ(WritesSinceMark()[0].first, m_cacheRegister);
    Mark();
    m_data->EndReading();
    EXPECT_TRUE(WritesSinceMark().empty()) << "once";
}

// Each restore of the end step refused on its own, the others carried out: the one refused is the
// one tried again, and the only one.
enum class RestoreStep
{
    CalibrationMode,
    CacheTimeout,
    EOS,
};

class RunEndOneRefused : public RunEnd, public ::testing::WithParamInterface<RestoreStep>
{
};

TEST_P(RunEndOneRefused, IsTheOneTriedAgainWhenTheRunEnds)
{
    const RestoreStep step = GetParam();
    const RequestMatch refused =
        step == RestoreStep::CalibrationMode
            ? RequestMatch::Write(probesim::SensorCommandRegisterOf(kConductivity), 0xE002)
        : step == RestoreStep::CacheTimeout ? RequestMatch::Write(m_cacheRegister)
                                            : RequestMatch::Write(m_eosRegister);
    Sim().RequestFaults().Refuse(refused, ExceptionCode::SlaveDeviceFailure);
    m_data->RunEndStep();
    EXPECT_EQ(InCalibrationMode(), step == RestoreStep::CalibrationMode);
    EXPECT_EQ(CacheTimeout() == m_cacheBefore, step != RestoreStep::CacheTimeout);
    EXPECT_EQ(Eos() == m_eosBefore, step != RestoreStep::EOS);

    Mark();
    EXPECT_TRUE(m_data->EndReading().IsEmpty());
    ExpectEverythingBack();
    EXPECT_EQ(WritesSinceMark().size(), 1u) << "only the one refused";
}

std::string RestoreStepName(const ::testing::TestParamInfo<RestoreStep>& param)
{
    switch (param.param)
    {
    case RestoreStep::CalibrationMode:
        return "CalibrationMode";
    case RestoreStep::CacheTimeout:
        return "CacheTimeout";
    case RestoreStep::EOS:
        return "EOS";
    }
    return "";
}

INSTANTIATE_TEST_SUITE_P(EachRestore, RunEndOneRefused,
                         ::testing::Values(RestoreStep::CalibrationMode, RestoreStep::CacheTimeout,
                                           RestoreStep::EOS),
                         RestoreStepName);

TEST_F(RunEnd, ALineLostThroughTheEndStepIsTriedAgainWhenTheRunEnds)
{
    Sim().RequestFaults().LoseLine();
    EXPECT_FALSE(m_data->RunCycle()) << "the worker ends on the lost line";
    m_data->RunEndStep();
    EXPECT_TRUE(InCalibrationMode());
    Sim().RequestFaults().RestoreLine();

    EXPECT_TRUE(m_data->EndReading().IsEmpty());
    ExpectEverythingBack();
}

TEST_F(RunEnd, WhatCouldNotBeGivenBackIsToldAsTheProbeHoldsIt)
{
    Sim().RequestFaults().LoseLine();
    m_data->RunEndStep();
    const std::string told = Utf8(m_data->EndReading());
    EXPECT_EQ(told, "The probe did not get back everything the calibration changed. It may still have:\n"
                    "- the sensor in calibration mode\n"
                    "- a measurement cache time-out of 7 ms instead of " +
                        std::to_string(m_cacheBefore) +
                        " ms\n"
                        "- an EOS setting of 60000 instead of " +
                        std::to_string(m_eosBefore) +
                        "\n"
                        "Check the connection to the probe and correct these settings.");

    Sim().RequestFaults().RestoreLine();
    EXPECT_TRUE(InCalibrationMode()) << "what was told is what the probe holds";
    EXPECT_EQ(CacheTimeout(), kRunCacheTimeout);
    EXPECT_EQ(Eos(), CCalData::kCalibrationEOS);
    EXPECT_EQ(Utf8(m_data->EndReading()), told) << "a later call describes, and tries nothing";
    EXPECT_TRUE(InCalibrationMode());
}

// A probe that has fallen silent: after the worker's unanswered read, its end step sends nothing,
// and the end of the run sends one short check and nothing after it; what is left is named.
TEST_F(RunEnd, AfterAnUnansweredReadTheRunSendsOneShortCheckAndNothingMore)
{
    Sim().RequestFaults().LoseLine();
    EXPECT_FALSE(m_data->RunCycle());
    const size_t read = Sim().Log().ReceivedCount();
    m_data->RunEndStep();
    EXPECT_EQ(Sim().Log().ReceivedCount(), read) << "the end step waited for the probe";
    const std::string told = Utf8(m_data->EndReading());
    EXPECT_EQ(Sim().Log().ReceivedCount(), read + 3) << "the check: a wake-up and two tries";
    EXPECT_TRUE(m_data->IsProbeSilent());
    EXPECT_NE(told.find("- the sensor in calibration mode\n- a measurement cache time-out"),
              std::string::npos)
        << told;
}

// One restore that goes unanswered while the probe answers everything else: the check hears the
// probe, and every restore is made.
TEST_F(RunEnd, ARestoreUnansweredWhileTheProbeAnswersIsMadeAfterTheCheck)
{
    Sim().RequestFaults().Drop(RequestMatch::Write(probesim::SensorCommandRegisterOf(kConductivity), 0xE002),
                               2);
    m_data->RunEndStep();
    EXPECT_TRUE(m_data->EndReading().IsEmpty());
    EXPECT_FALSE(m_data->IsProbeSilent());
    ExpectEverythingBack();
}

// The wizard reads the run's state while the end step waits for the probe: the read does not
// wait with it.
TEST_F(RunEnd, TheStateIsReadWhileTheEndStepWaitsForTheProbe)
{
    modeltest::SetTunable(u"InterMsgDelay TO", 60000); // every request of the end step pauses before it goes
    std::promise<void> entered;
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    bool blocked = false; // the end step's thread only
    // The pause before the first request after calibration mode has ended: the restore of the
    // measurement-cache time-out.
    const LinePauseFunction previous = SetLinePauseFunction(
        [&](ELinePause pause, ULONG)
        {
            if (pause != ELinePause::InterMessage || blocked || InCalibrationMode())
                return;
            blocked = true;
            entered.set_value();
            released.wait();
        });
    std::thread end([&] { m_data->RunEndStep(); });
    const bool inRestore =
        entered.get_future().wait_for(std::chrono::seconds(30)) == std::future_status::ready;
    std::future<int32_t> state = std::async(std::launch::async, [&] { return m_data->GetState(); });
    const bool answered = inRestore && state.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
    release.set_value();
    end.join();
    SetLinePauseFunction(previous);
    ASSERT_TRUE(inRestore);
    EXPECT_TRUE(answered) << "the read waited for the probe";
    ExpectEverythingBack();
}

class VoxRunEnd : public CalibrationTest
{
protected:
    void SetUp() override
    {
        StartDialledProbe();
        SetSimFloat(kOxygen, dos::kLiveSalinity, 2.0f);
        SetSimFloat(kOxygen, dos::kLiveBaro, 1005.0f);
        m_data = std::make_unique<CCalDataVOX>(m_connection);
        m_data->SetRunCacheTimeout(1);
        ASSERT_EQ(m_data->StartManual(m_oxygenSensor.get(), &m_window), S_OK);
        ASSERT_TRUE(m_data->RunStartSteps());
    }

    void TearDown() override
    {
        Sim().RequestFaults().Clear();
        m_data.reset();
    }

    std::unique_ptr<CCalDataVOX> m_data;
};

TEST_F(VoxRunEnd, TheLiveValuesThePagesWroteGoBackWhenTheRunEnds)
{
    ASSERT_EQ(m_data->WriteLiveSalinity(35.0f), S_OK);
    ASSERT_EQ(m_data->WriteLiveBaro(1000.0f), S_OK);
    EXPECT_TRUE(m_data->EndReading().IsEmpty());
    EXPECT_EQ(SimFloat(kOxygen, dos::kLiveSalinity), 2.0f);
    EXPECT_EQ(SimFloat(kOxygen, dos::kLiveBaro), 1005.0f);
}

// A start step that the probe refused was not carried out: nothing of it is owed back, whichever
// exception code it was (the lowest and the highest there are). One that went unanswered may have
// been carried out and is written back.
class RunStart : public CalibrationTest
{
protected:
    void SetUp() override
    {
        StartDialledProbe();
        m_cacheRegister = RegisterWrittenBy(&NVSystem::CDeviceComm::SetMeasurementCacheTimeout,
                                            Probe().MeasurementCacheTimeout());
    }
    void TearDown() override { Sim().RequestFaults().Clear(); }

    // The writes of the run's cache time-out (kRunCacheTimeout) and of any other value there.
    std::vector<uint16_t> CacheWritesSinceMark()
    {
        std::vector<uint16_t> values;
        for (const modeltest::RegisterWrite& write : WritesSinceMark())
            if (write.first == m_cacheRegister)
                values.push_back(write.values.front());
        return values;
    }

    uint16_t m_cacheRegister = 0;
};

TEST_F(RunStart, ASettingRefusedWithAnyExceptionIsNotWrittenBackAndAnUnansweredOneIs)
{
    const uint16_t own = Probe().MeasurementCacheTimeout();
    const RequestMatch runValue = RequestMatch::Write(m_cacheRegister, kRunCacheTimeout);
    for (const auto code : {ExceptionCode::IllegalFunction, static_cast<ExceptionCode>(0xFF)})
    {
        Sim().RequestFaults().Refuse(runValue, code);
        CCalDataConductivity data(m_connection);
        data.SetRunCacheTimeout(kRunCacheTimeout);
        ASSERT_EQ(data.StartManual(m_conductivitySensor.get(), nullptr), S_OK);
        Mark();
        EXPECT_FALSE(data.RunStartSteps());
        EXPECT_EQ(CacheWritesSinceMark(), std::vector<uint16_t>{kRunCacheTimeout})
            << static_cast<int>(code) << ": refused, and nothing written back";
        EXPECT_TRUE(data.EndReading().IsEmpty());
    }

    Sim().RequestFaults().Drop(runValue, RequestFaults::kEveryTime);
    CCalDataConductivity data(m_connection);
    data.SetRunCacheTimeout(kRunCacheTimeout);
    ASSERT_EQ(data.StartManual(m_conductivitySensor.get(), nullptr), S_OK);
    Mark();
    EXPECT_FALSE(data.RunStartSteps());
    // When the run ends, once a short check has heard the probe answer.
    EXPECT_TRUE(data.EndReading().IsEmpty());
    const std::vector<uint16_t> writes = CacheWritesSinceMark();
    ASSERT_FALSE(writes.empty());
    EXPECT_EQ(writes.back(), own) << "unanswered: written back";
}

// The pages wrote only one of the two (the user cancelled on the pressure page, or the pressure
// page found nothing to change): that one goes back.
class VoxRunEndOneLiveValue : public VoxRunEnd, public ::testing::WithParamInterface<bool>
{
};

TEST_P(VoxRunEndOneLiveValue, GoesBackWhenTheRunEnds)
{
    const bool salinity = GetParam();
    ASSERT_EQ(salinity ? m_data->WriteLiveSalinity(35.0f) : m_data->WriteLiveBaro(1000.0f), S_OK);
    EXPECT_TRUE(m_data->EndReading().IsEmpty());
    EXPECT_EQ(SimFloat(kOxygen, dos::kLiveSalinity), 2.0f);
    EXPECT_EQ(SimFloat(kOxygen, dos::kLiveBaro), 1005.0f);
}

INSTANTIATE_TEST_SUITE_P(SalinityOrPressure, VoxRunEndOneLiveValue, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& param)
                         { return std::string(param.param ? "Salinity" : "Pressure"); });

TEST_F(VoxRunEnd, LiveValuesThatCouldNotGoBackAreToldWithTheSensorsOwn)
{
    ASSERT_EQ(m_data->WriteLiveSalinity(35.0f), S_OK);
    ASSERT_EQ(m_data->WriteLiveBaro(1000.0f), S_OK);
    // The baro write back is refused; the salinity's goes through.
    Sim().RequestFaults().Refuse(RequestMatch::Write(Register(kOxygen, dos::kLiveBaro)),
                                 ExceptionCode::SlaveDeviceFailure, RequestFaults::kEveryTime);
    m_data->RestoreLiveInputs();
    EXPECT_EQ(SimFloat(kOxygen, dos::kLiveSalinity), 2.0f) << "tried although the pressure was refused";
    const std::string told = Utf8(m_data->EndReading());
    EXPECT_NE(told.find("\n- a live barometric pressure of 1000 mbar instead of its own 1005 mbar\n"),
              std::string::npos)
        << told;
    EXPECT_EQ(told.find("salinity"), std::string::npos) << told;
    EXPECT_EQ(SimFloat(kOxygen, dos::kLiveBaro), 1000.0f);
}

// What the run left as the probe had it is not named, given back or not: an EOS and a cache
// time-out that were the probe's own already, a salinity the page set to the sensor's own.
TEST_F(CalibrationTest, TheLeftoverWarningNamesOnlyWhatDiffersFromTheProbesOwn)
{
    StartDialledProbe();
    SetSimFloat(kOxygen, dos::kLiveSalinity, 0.0f);
    SetSimFloat(kOxygen, dos::kLiveBaro, 1005.0f);
    ASSERT_EQ(Device().SetEOS(CCalData::kCalibrationEOS), S_OK);
    CCalDataVOX data(m_connection);
    data.SetRunCacheTimeout(Probe().MeasurementCacheTimeout());
    ASSERT_EQ(data.StartManual(m_oxygenSensor.get(), nullptr), S_OK);
    ASSERT_TRUE(data.RunStartSteps());
    ASSERT_EQ(data.WriteLiveSalinity(0.0f), S_OK);
    ASSERT_EQ(data.WriteLiveBaro(1000.0f), S_OK);
    Sim().RequestFaults().LoseLine();
    const std::string told = Utf8(data.EndReading());
    Sim().RequestFaults().Clear();
    EXPECT_EQ(told, "The probe did not get back everything the calibration changed. It may still have:\n"
                    "- a live barometric pressure of 1000 mbar instead of its own 1005 mbar\n"
                    "Check the connection to the probe and correct these settings.");
}

TEST_F(VoxRunEnd, ALiveValueWhoseOwnCouldNotBeReadIsToldAsSuch)
{
    RefuseReads(Register(kOxygen, dos::kLiveSalinity), 2);
    CCalDataVOX data(m_connection);
    ASSERT_EQ(data.StartManual(m_oxygenSensor.get(), nullptr), S_OK);
    ASSERT_EQ(data.WriteLiveSalinity(35.0f), S_OK);
    const std::string told = Utf8(data.EndReading());
    EXPECT_NE(told.find("- a live salinity of 35 PSU (its own could not be read)\n"), std::string::npos)
        << told;
}

} // namespace
} // namespace caltest
