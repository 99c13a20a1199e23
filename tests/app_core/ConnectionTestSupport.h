// What the tests of the application's core share: a fresh settings store with quick time-outs, a
// scripted message box, and a simulated probe on a pseudo-terminal in the port table, which the
// test's own connection opens by its COM number.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "comm/LinePauses.h"
#include "connection/ProbeConnection.h"
#include "foundation/WindowMessages.h"
#include "tests/support/SimulatorWaits.h"
#include "tests/support/TestEnvironment.h"
#include "tools/probe-sim/ProbePresets.h"

namespace apptest
{

inline constexpr uint32_t kProbeSerial = 4711;

// Until the condition holds, looking every millisecond (for a worker's doing, with no events to
// deliver); false when it still fails after the time-out.
bool PollUntil(const std::function<bool()>& condition,
               std::chrono::milliseconds timeout = std::chrono::milliseconds(5000));

std::u16string Text(const CWideString& text);
// "Rtu" or "Ascii", for the tests run in both framings.
std::string FramingName(const ::testing::TestParamInfo<probesim::FramingMode>& param);
std::vector<std::u16string> Texts(const testsupport::ScriptedMessageBox& boxes);
// The text of the last box shown; none when no box came, so that a check of it fails instead of
// reading an empty list.
std::optional<std::u16string> LastText(const testsupport::ScriptedMessageBox& boxes);

// Records the messages a worker posts, with the time each arrived.
class PostedMessages final : public INotifyWindow
{
public:
    using Clock = std::chrono::steady_clock;

    PostedMessages() = default;
    virtual ~PostedMessages() = default;
    void PostNotify(uint32_t message, uintptr_t wParam, intptr_t lParam) override;
    size_t Count(uint32_t message);
    // Until the message has come at least `count` times.
    bool WaitFor(uint32_t message, size_t count = 1,
                 std::chrono::milliseconds timeout = std::chrono::milliseconds(5000));
    std::vector<Clock::time_point> Times(uint32_t message);
    std::vector<uintptr_t> WParams(uint32_t message);

private:
    struct Posted
    {
        uint32_t message;
        Clock::time_point at;
        uintptr_t wParam;
    };
    size_t CountLocked(uint32_t message) const;

    std::mutex m_mutex;
    std::condition_variable m_posted;
    std::vector<Posted> m_messages;
};

class ConnectionTest : public ::testing::Test
{
protected:
    // Register time-outs of 500 ms with one retry and a search read of a second, long enough for a
    // reply on a busy machine; no inter-message delay.
    ConnectionTest();
    ~ConnectionTest() override;

    // The preset probe of the type with its sensors at slave address 1, in place of any before; the
    // connection's port is its COM number. The probe does not sleep unless m_bProbeSleeps is set.
    void StartProbe(probesim::InstrumentConfig config,
                    probesim::ProbeSensors sensors = probesim::ProbeSensors::All);
    void StartProbe(uint16_t deviceType) { StartProbe(probesim::ProbeConfig(deviceType, kProbeSerial)); }
    void StartConnected(uint16_t deviceType);
    // A probe of the type that sleeps after eos ms of silence, connected in the framing given.
    void StartSleepingConnected(uint16_t deviceType, probesim::FramingMode mode, uint16_t eos);
    // Until the probe sleeps; false after 5 s.
    bool WaitUntilAsleep();
    // From now to the end of the test, the line pauses of the tests of a sleeping probe: a wake-up
    // pause lasts until the probe has taken the wake-up frame in (the protocol's 250 ms would only
    // make the test slow), the others are slept up to 20 ms.
    void UseWakeUpFramePauses();

    probesim::ProbeSimulator& Sim() { return *m_sim; }
    probesim::Instrument& Probe() { return *m_probe; }
    USHORT Port() const { return m_nPort; }
    // A request is logged before it is answered: once an operation has its reply, its frames are in.
    void Mark() { m_nMark = m_sim->Log().ReceivedCount(); }
    std::vector<probesim::Adu> ReceivedSinceMark();

    testsupport::ScopedConfigDir m_config;
    testsupport::ScriptedMessageBox m_boxes;
    CProbeConnection m_connection;
    // The next probe started sleeps after its EOS of silence, as a real one does.
    bool m_bProbeSleeps = false;

private:
    std::unique_ptr<probesim::ProbeSimulator> m_sim;
    std::unique_ptr<probesim::Instrument> m_probe;
    USHORT m_nPort = 0;
    size_t m_nMark = 0;
    testsupport::WakeUpFrameWatch m_wakeUps;
    std::optional<LinePauseFunction> m_previousPause;
};

} // namespace apptest
