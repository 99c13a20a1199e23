// What the tests of the program's windows share: a fresh settings store with quick time-outs, a
// scripted dialog service, a simulated probe on a pseudo-terminal entered in the port table (so
// the windows find it through the ordinary port search), the main window shown offscreen, and a
// way to act on a modal popup that the code under test opens.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <thread>

#include <QWidget>

#include "app/main/DlgFrameTarnwickSoft.h"
#include "tests/support/QtTestSupport.h"
#include "tests/support/TestEnvironment.h"
#include "tests/support/UiThreadWatch.h"
#include "tools/probe-sim/Instrument.h"
#include "tools/probe-sim/ProbePresets.h"
#include "tools/probe-sim/ProbeSimulator.h"

namespace apptest
{

inline constexpr uint32_t kSerial = 4711;

// Keeps the probe in its switch to the boot code, deaf, from construction (before the flash starts)
// until the flash has ended: the program cannot hear the boot code meanwhile, so a cancel given
// during the switch always comes before the boot code answers (which would refuse it), however late
// the test gets to it. Once the flash is under way, UntilTheFlashEnds lets go as soon as the
// device's transfer has ended (its result is then a failure, the cancel as a rule); the switch then
// ends at the end of its silence, so the program's look at the probe afterwards finds the boot
// code.
class CHeldSwitch
{
public:
    explicit CHeldSwitch(probesim::Instrument& probe);
    ~CHeldSwitch();
    CHeldSwitch(const CHeldSwitch&) = delete;
    CHeldSwitch& operator=(const CHeldSwitch&) = delete;

    void UntilTheFlashEnds(NVSystem::CDeviceComm& device);
    // Waits for the watch that lets go; the test calls it once the popup has waited for its flash,
    // before the device can go.
    void Join();

private:
    probesim::Instrument& m_probe;
    std::thread m_watch;
};

class AppWindowTest : public ::testing::Test
{
protected:
    AppWindowTest();
    ~AppWindowTest() override;

    // The preset probe of the configuration with its sensors, entered in the port table.
    void StartProbe(probesim::InstrumentConfig config);
    void StartProbe(uint16_t deviceType) { StartProbe(probesim::ProbeConfig(deviceType, kSerial)); }
    void StopProbe();
    // The main window, created and shown; the keep-alive shortened.
    CDlgFrame_TarnwickSoft& MainWindow();
    // Connect by the button and wait for the connection.
    void ConnectByButton();
    // The texts of the message boxes shown so far.
    std::vector<QString> BoxTexts() const;
    // The text of the last box shown; none when no box came, so that a check of it fails instead
    // of reading an empty list.
    std::optional<QString> LastBoxText() const;
    bool HasBox(const QString& text) const;

    // Calls action with the next modal window that opens other than the main window (at most
    // once), from a timer, so the test can end a popup that the code under test runs modally.
    void OnNextModal(std::function<void(QWidget&)> action);

    probesim::ProbeSimulator& Sim() { return *m_sim; }
    probesim::Instrument& Probe() { return *m_probe; }
    unsigned Port() const { return m_nPort; }

    testsupport::ScopedConfigDir m_config;
    testsupport::ScriptedDialogs m_dialogs;

private:
    std::unique_ptr<probesim::ProbeSimulator> m_sim;
    std::unique_ptr<probesim::Instrument> m_probe;
    std::unique_ptr<CDlgFrame_TarnwickSoft> m_window;
    unsigned m_nPort = 0;
};

} // namespace apptest
