// What the wizard tests share: the application's probe connection linked to a simulated probe
// (entered in the port table, its sensors reading values the test dials), quick line time-outs,
// workers that read every few milliseconds, a scripted dialog service through which the test
// "places the sensor into the standard" when a prompt appears, and a way to run the Calibrate
// command while a test drives the wizard it opens with the keyboard and the mouse.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include <QString>

#include "app/pages/CalibrationDispatch.h"
#include "calibration/wizard/DlgWizFrameCal.h"
#include "tests/support/QtTestSupport.h"
#include "tests/support/TestEnvironment.h"
#include "tests/support/UiThreadWatch.h"
#include "tools/probe-sim/DialledSensors.h"
#include "tools/probe-sim/Instrument.h"
#include "tools/probe-sim/ProbeSimulator.h"

class QAbstractButton;
class QComboBox;
class QLineEdit;
class QPrinter;
class QTimer;
class QWidget;

namespace wiztest
{

using namespace std::chrono_literals;

inline constexpr uint32_t kProbeSerial = 4711;
// Connections of the multi-sensor probe.
inline constexpr uint16_t kOxygen = 1;
inline constexpr uint16_t kConductivity = 2;
inline constexpr uint16_t kLevel = 3;
inline constexpr uint16_t kPhOrp = 4;
// The name of a test run for each wizard, by the connection of its sensor.
inline std::string WizardName(const ::testing::TestParamInfo<uint16_t>& param)
{
    return param.param == kOxygen         ? std::string("OpticalDO")
           : param.param == kConductivity ? std::string("Conductivity")
                                          : std::string("PHORP");
}
// The period of the workers in these tests.
inline constexpr uint32_t kTestSampleInterval = 15;

// A wizard still open `limit` after this is made would hold the test: it is ended, with a failure.
// Stop() once the wizard should have ended.
class WizardLeftOpenGuard
{
public:
    explicit WizardLeftOpenGuard(std::chrono::milliseconds limit = 30s);
    ~WizardLeftOpenGuard();
    WizardLeftOpenGuard(const WizardLeftOpenGuard&) = delete;
    WizardLeftOpenGuard& operator=(const WizardLeftOpenGuard&) = delete;
    void Stop();

private:
    std::unique_ptr<QTimer> m_timer;
};

// The scripted service of these tests: every message box first goes to the test's handler (a
// prompt is where the sensor goes into the standard), and an accepted print dialog prints into a
// PDF file when the test names one, as a user choosing "print to file" does.
class WizardDialogs : public testsupport::ScriptedDialogs
{
public:
    int MessageBox(QWidget* owner, const QString& text, const QString& caption, uint32_t flags) override;
    bool RunPrintDialog(QWidget* owner, QPrinter& printer) override;

    std::function<void(const QString& text)> onMessageBox;
    QString printToPdf;
    // The document name the printer held when the dialog ran.
    QString printedDocName;
};

class WizardTest : public ::testing::Test
{
protected:
    WizardTest();
    ~WizardTest() override;

    // The probe of the type with dialled sensors, connected through theProbeConnection.
    void StartConnected(uint16_t deviceType = 18);
    // The preset probe of the type with the sensors' own values.
    void StartPresetConnected(uint16_t deviceType);
    // Connects anew, so that the device reads what the test changed on the probe meanwhile.
    void Reconnect();

    // drive acts on the next wizard once it is shown, from within its modal run, and must end it; a
    // wizard left open is ended (with a failure) so that the test goes on. Until the wizard has run.
    void OnNextWizard(std::function<void(CDlgWizFrame_Cal&)> drive);
    // The calibration of the sensor on the connection, by its sensor id as the device reports it,
    // with drive acting on its wizard.
    sCalibrateResult Calibrate(uint16_t connection, std::function<void(CDlgWizFrame_Cal&)> drive);

    probesim::Instrument& Probe() { return *m_probe; }
    probesim::ProbeSimulator& Sim() { return *m_sim; }
    // The absolute register of an offset in a connection's block, and the float or word there.
    uint16_t Register(uint16_t connection, uint16_t offset);
    float SimFloat(uint16_t connection, uint16_t offset);
    uint16_t SimWord(uint16_t connection, uint16_t offset);
    bool InCalibrationMode(uint16_t connection);
    // The sensor commands the probe carried out on the connection since the test began.
    bool ReceivedSensorCommand(uint16_t connection, uint16_t command);
    std::vector<QString> BoxTexts() const;
    bool HasBox(const QString& text) const;

    testsupport::ScopedConfigDir m_config;
    WizardDialogs m_dialogs;
    probesim::SensorDials m_dials;

private:
    void Connect(probesim::InstrumentConfig config, bool dialled);

    std::unique_ptr<probesim::ProbeSimulator> m_sim;
    std::unique_ptr<probesim::Instrument> m_probe;
    std::function<void(CDlgWizFrame_Cal&)> m_drive;
    std::unique_ptr<QTimer> m_wizardTimer;
};

// ---- Driving a wizard as a user would ----

void Click(QAbstractButton& button);
// The wizard's Next (once it is offered), Back, Finish (or Accept) and Cancel buttons.
void ClickNext(CDlgWizFrame_Cal& frame);
void ClickFinish(CDlgWizFrame_Cal& frame);
void ClickCancel(CDlgWizFrame_Cal& frame);
// Moves the list to the item by the arrow keys.
void ChooseByKeys(QComboBox& list, int index);
// Replaces the edit's text by typing.
void TypeInto(QLineEdit& edit, const QString& text);
// Waits until the worker reported the point stable enough and Accept is offered.
bool WaitForAccept(CDlgWizFrame_Cal& frame, std::chrono::milliseconds timeout = 20s);
// Accepts every point as soon as the wizard offers it, until the summary shows.
void AcceptUntilSummary(CDlgWizFrame_Cal& frame);
// Waits until the frame shows the page.
bool WaitForPage(CDlgWizFrame_Cal& frame, QWidget& page, std::chrono::milliseconds timeout = 10s);
// A picture of the wizard as it stands, under the given name.
void Picture(CDlgWizFrame_Cal& frame, const std::string& name);

} // namespace wiztest
