#include "tests/app_core/ConnectionTestSupport.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "connection/AppProfile.h"
#include "connection/ProbeSearch.h"
#include "foundation/CommTimeouts.h"
#include "platform/Clock.h"
#include "platform/SettingsStore.h"
#include "tools/probe-sim/PortTable.h"

namespace apptest
{

std::u16string Text(const CWideString& text)
{
    return text.IsEmpty() ? std::u16string() : std::u16string(static_cast<const char16_t*>(text));
}

std::string FramingName(const ::testing::TestParamInfo<probesim::FramingMode>& param)
{
    return param.param == probesim::FramingMode::Ascii ? "Ascii" : "Rtu";
}

std::vector<std::u16string> Texts(const testsupport::ScriptedMessageBox& boxes)
{
    std::vector<std::u16string> texts;
    for (const auto& shown : boxes.Shown_())
        texts.push_back(shown.text);
    return texts;
}

std::optional<std::u16string> LastText(const testsupport::ScriptedMessageBox& boxes)
{
    const std::vector<testsupport::ScriptedMessageBox::Shown> shown = boxes.Shown_();
    return shown.empty() ? std::nullopt : std::optional<std::u16string>(shown.back().text);
}

void PostedMessages::PostNotify(uint32_t message, uintptr_t wParam, intptr_t)
{
    {
        std::lock_guard lock(m_mutex);
        m_messages.push_back({message, Clock::now(), wParam});
    }
    m_posted.notify_all();
}

size_t PostedMessages::CountLocked(uint32_t message) const
{
    size_t count = 0;
    for (const Posted& posted : m_messages)
        count += posted.message == message ? 1 : 0;
    return count;
}

size_t PostedMessages::Count(uint32_t message)
{
    std::lock_guard lock(m_mutex);
    return CountLocked(message);
}

bool PostedMessages::WaitFor(uint32_t message, size_t count, std::chrono::milliseconds timeout)
{
    std::unique_lock lock(m_mutex);
    return m_posted.wait_for(lock, timeout, [&] { return CountLocked(message) >= count; });
}

std::vector<uintptr_t> PostedMessages::WParams(uint32_t message)
{
    std::lock_guard lock(m_mutex);
    std::vector<uintptr_t> values;
    for (const Posted& posted : m_messages)
        if (posted.message == message)
            values.push_back(posted.wParam);
    return values;
}

std::vector<PostedMessages::Clock::time_point> PostedMessages::Times(uint32_t message)
{
    std::lock_guard lock(m_mutex);
    std::vector<Clock::time_point> times;
    for (const Posted& posted : m_messages)
        if (posted.message == message)
            times.push_back(posted.at);
    return times;
}

ConnectionTest::ConnectionTest()
{
    using platform::Hive;
    ResetCommTunablesForTests();
    for (const auto& [name, value] : {std::pair{u"InterMsgDelay TO", 0},
                                      {u"RTUInterCharacter TO", 20},
                                      {u"BusyResponseDelay", 1},
                                      {u"Read Register TO", 500},
                                      {u"Write Register TO", 500},
                                      {u"Retry Count", 1}})
        EXPECT_TRUE(platform::settings::SetDword(Hive::LocalMachine, COMM_TUNABLES_KEY, name, value));
    EXPECT_TRUE(
        platform::settings::SetDword(Hive::LocalMachine, APP_PROFILE_KEY, PROBE_SEARCH_TIMEOUT_NAME, 1000));
}

ConnectionTest::~ConnectionTest()
{
    if (m_previousPause)
        SetLinePauseFunction(std::move(*m_previousPause));
    m_connection.DisconnectDevice();
    m_probe.reset();
    m_sim.reset();
    ResetCommTunablesForTests();
}

void ConnectionTest::StartProbe(probesim::InstrumentConfig config, probesim::ProbeSensors sensors)
{
    m_connection.DisconnectDevice();
    m_probe.reset();
    m_sim.reset();
    config.sleeps = config.sleeps && m_bProbeSleeps;
    config.quickSensors = true;
    const probesim::FramingMode mode = config.line ? config.line->mode : probesim::FramingMode::Rtu;
    m_sim = std::make_unique<probesim::ProbeSimulator>(
        probesim::SimulatorOptions{.mode = mode, .rtuSilence = std::chrono::milliseconds(5)});
    m_probe = probesim::MakeProbe(*m_sim, config, sensors);
    std::string error;
    const auto number = probesim::RegisterComPort(m_sim->SlavePath(), 0, error);
    ASSERT_TRUE(number.has_value()) << error;
    m_nPort = static_cast<USHORT>(*number);
    m_connection.m_nPort = m_nPort;
    m_nMark = 0;
}

void ConnectionTest::StartConnected(uint16_t deviceType)
{
    StartProbe(deviceType);
    ASSERT_EQ(m_connection.ConnectToDevice(), S_OK) << ::testing::PrintToString(Texts(m_boxes));
    Mark();
}

void ConnectionTest::StartSleepingConnected(uint16_t deviceType, probesim::FramingMode mode, uint16_t eos)
{
    probesim::InstrumentConfig config = probesim::ProbeConfig(deviceType, kProbeSerial);
    config.eos = eos;
    config.line = probesim::LineSettings{.mode = mode};
    m_bProbeSleeps = true;
    StartProbe(config);
    sCommSettings settings = m_connection.GetCommSettings();
    settings.Mode = mode == probesim::FramingMode::Ascii ? COMM_MODE_ASCII : COMM_MODE_RTU;
    m_connection.SetCommSettings(settings);
    ASSERT_EQ(m_connection.ConnectToDevice(), S_OK) << ::testing::PrintToString(Texts(m_boxes));
    Mark();
}

bool PollUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout)
{
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!condition())
    {
        if (std::chrono::steady_clock::now() > end)
            return condition();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

bool ConnectionTest::WaitUntilAsleep()
{
    return PollUntil([this] { return m_probe->Sleeping(); });
}

void ConnectionTest::UseWakeUpFramePauses()
{
    m_wakeUps.IgnoreEarlier();
    LinePauseFunction previous = SetLinePauseFunction(
        [this](ELinePause pause, ULONG ms)
        {
            if (pause == ELinePause::WakeUp && m_sim)
                m_wakeUps.AwaitNext(m_sim->Log());
            else
                platform::SleepMs(std::min<ULONG>(ms, 20));
        });
    if (!m_previousPause)
        m_previousPause = std::move(previous);
}

std::vector<probesim::Adu> ConnectionTest::ReceivedSinceMark()
{
    std::vector<probesim::Adu> adus;
    const std::vector<probesim::LoggedFrame> frames = m_sim->Log().Received();
    for (size_t i = std::min(m_nMark, frames.size()); i < frames.size(); ++i)
        if (frames[i].adu)
            adus.push_back(*frames[i].adu);
    return adus;
}

} // namespace apptest
