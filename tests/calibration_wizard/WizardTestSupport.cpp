#include "tests/calibration_wizard/WizardTestSupport.h"

#include <algorithm>

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPrinter>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include "calibration/wizard/DlgWizPageCalSummary.h"
#include "connection/AppProfile.h"
#include "connection/ProbeConnection.h"
#include "connection/ProbeSearch.h"
#include "foundation/CommTimeouts.h"
#include "platform/SettingsStore.h"
#include "tools/probe-sim/PortTable.h"
#include "tools/probe-sim/ProbePresets.h"
#include "ui/Skin.h"
#include "ui/WaitForWork.h"

namespace wiztest
{

int WizardDialogs::MessageBox(QWidget* owner, const QString& text, const QString& caption, uint32_t flags)
{
    if (onMessageBox)
        onMessageBox(text);
    return ScriptedDialogs::MessageBox(owner, text, caption, flags);
}

bool WizardDialogs::RunPrintDialog(QWidget* owner, QPrinter& printer)
{
    printedDocName = printer.docName();
    const bool print = ScriptedDialogs::RunPrintDialog(owner, printer);
    if (print && !printToPdf.isEmpty())
    {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(printToPdf);
    }
    return print;
}

WizardTest::WizardTest()
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
    // The search has no retry: its read waits long enough for a reply on a busy machine.
    EXPECT_TRUE(
        platform::settings::SetDword(Hive::LocalMachine, APP_PROFILE_KEY, PROBE_SEARCH_TIMEOUT_NAME, 1000));
    SetSkinDefaults();
    CDlgWizFrame_Cal::SetSampleIntervalForTests(kTestSampleInterval);
}

WizardTest::~WizardTest()
{
    const testsupport::ProbeWorkOfTheTest setUp;
    theProbeConnection.DisconnectDevice();
    m_probe.reset();
    m_sim.reset();
    CDlgWizFrame_Cal::SetSampleIntervalForTests(0);
    ResetCommTunablesForTests();
}

void WizardTest::Connect(probesim::InstrumentConfig config, bool dialled)
{
    const testsupport::ProbeWorkOfTheTest setUp;
    theProbeConnection.DisconnectDevice();
    m_probe.reset();
    m_sim.reset();
    config.sleeps = false;
    config.quickSensors = true;
    m_sim = std::make_unique<probesim::ProbeSimulator>(
        probesim::SimulatorOptions{.mode = probesim::FramingMode::Rtu, .rtuSilence = 5ms});
    m_probe = probesim::MakeProbe(*m_sim, config,
                                  dialled ? probesim::ProbeSensors::None : probesim::ProbeSensors::All);
    if (dialled)
        probesim::FitDialledSensors(*m_probe, m_dials);
    std::string error;
    const auto number = probesim::RegisterComPort(m_sim->SlavePath(), 0, error);
    ASSERT_TRUE(number.has_value()) << error;
    theProbeConnection.m_nPort = static_cast<USHORT>(*number);
    ASSERT_EQ(theProbeConnection.ConnectToDevice(), S_OK);
}

void WizardTest::StartConnected(uint16_t deviceType)
{
    Connect(probesim::ProbeConfig(deviceType, kProbeSerial), true);
}

void WizardTest::StartPresetConnected(uint16_t deviceType)
{
    Connect(probesim::ProbeConfig(deviceType, kProbeSerial), false);
}

void WizardTest::Reconnect()
{
    const testsupport::ProbeWorkOfTheTest setUp;
    theProbeConnection.DisconnectDevice();
    ASSERT_EQ(theProbeConnection.ConnectToDevice(), S_OK);
}

WizardLeftOpenGuard::WizardLeftOpenGuard(std::chrono::milliseconds limit) : m_timer(std::make_unique<QTimer>())
{
    m_timer->setSingleShot(true);
    QObject::connect(m_timer.get(), &QTimer::timeout,
                     []
                     {
                         for (CNVDialog* dialog : CNVDialog::GetOpenDialogs())
                             if (auto* wizard = qobject_cast<CDlgWizFrame_Cal*>(dialog); wizard != nullptr)
                             {
                                 ADD_FAILURE() << "the wizard stayed open";
                                 wizard->EndDialog(-1);
                             }
                     });
    m_timer->start(limit);
}

WizardLeftOpenGuard::~WizardLeftOpenGuard() = default;

void WizardLeftOpenGuard::Stop()
{
    m_timer->stop();
}

void WizardTest::OnNextWizard(std::function<void(CDlgWizFrame_Cal&)> drive)
{
    m_drive = std::move(drive);
    m_wizardTimer = std::make_unique<QTimer>();
    m_wizardTimer->setSingleShot(true);
    QObject::connect(m_wizardTimer.get(), &QTimer::timeout,
                     [this]
                     {
                         // The user acts once the wizard is no longer busy with the probe.
                         if (ui::IsWaitingForWork())
                         {
                             m_wizardTimer->start(10);
                             return;
                         }
                         CDlgWizFrame_Cal* frame = nullptr;
                         for (CNVDialog* dialog : CNVDialog::GetOpenDialogs())
                             if (auto* wizard = qobject_cast<CDlgWizFrame_Cal*>(dialog);
                                 wizard != nullptr && wizard->isVisible())
                                 frame = wizard;
                         ASSERT_NE(frame, nullptr) << "no wizard is shown";
                         // Its keyboard shortcuts work only in the active window.
                         frame->activateWindow();
                         EXPECT_TRUE(QTest::qWaitForWindowActive(frame));
                         m_drive(*frame);
                         if (frame->isVisible() && !frame->IsClosing())
                         {
                             ADD_FAILURE() << "the wizard was left open";
                             frame->EndDialog(-1);
                         }
                     });
    m_wizardTimer->start(0);
}

sCalibrateResult WizardTest::Calibrate(uint16_t connection, std::function<void(CDlgWizFrame_Cal&)> drive)
{
    USHORT sensorId = 0;
    {
        const testsupport::ProbeWorkOfTheTest lookUp;
        EXPECT_EQ(theProbeConnection.GetDevice()->GetSensorId(connection, sensorId), S_OK);
    }
    OnNextWizard(std::move(drive));
    const sCalibrateResult result = RunCalibration(nullptr, sensorId);
    m_wizardTimer.reset();
    return result;
}

uint16_t WizardTest::Register(uint16_t connection, uint16_t offset)
{
    return static_cast<uint16_t>(Probe().Sensors().Base(connection) + offset);
}

float WizardTest::SimFloat(uint16_t connection, uint16_t offset)
{
    return Probe().Registers().GetFloat(Register(connection, offset)).value_or(-12345.0f);
}

uint16_t WizardTest::SimWord(uint16_t connection, uint16_t offset)
{
    return Probe().Registers().GetU16(Register(connection, offset)).value_or(0xDEAD);
}

bool WizardTest::InCalibrationMode(uint16_t connection)
{
    return Probe().Sensors().Mode(connection) != probesim::SensorMode::Measuring;
}

bool WizardTest::ReceivedSensorCommand(uint16_t connection, uint16_t command)
{
    const std::vector<uint16_t> commands = Probe().Sensors().CommandsCarriedOut(connection);
    return std::find(commands.begin(), commands.end(), command) != commands.end();
}

std::vector<QString> WizardTest::BoxTexts() const
{
    std::vector<QString> texts;
    for (const auto& box : m_dialogs.MessageBoxes())
        texts.push_back(box.text);
    return texts;
}

bool WizardTest::HasBox(const QString& text) const
{
    const std::vector<QString> texts = BoxTexts();
    return std::find(texts.begin(), texts.end(), text) != texts.end();
}

void Click(QAbstractButton& button)
{
    EXPECT_TRUE(button.isEnabled()) << button.text().toStdString() << " is disabled";
    // A check box or radio button takes a click on its box, at its left end.
    const bool boxed =
        qobject_cast<QCheckBox*>(&button) != nullptr || qobject_cast<QRadioButton*>(&button) != nullptr;
    const QPoint at = boxed ? QPoint(button.height() / 2, button.height() / 2) : button.rect().center();
    QTest::mouseClick(&button, Qt::LeftButton, Qt::NoModifier, at);
}

void ClickNext(CDlgWizFrame_Cal& frame)
{
    // As a user does: a page may offer Next only with the worker's next readings.
    testsupport::WaitUntil([&frame] { return frame.GetNextButton().isEnabled(); });
    Click(frame.GetNextButton());
}

void ClickFinish(CDlgWizFrame_Cal& frame)
{
    Click(frame.GetFinishButton());
}

void ClickCancel(CDlgWizFrame_Cal& frame)
{
    Click(frame.GetCancelButton());
}

void ChooseByKeys(QComboBox& list, int index)
{
    QTest::keyClick(&list, Qt::Key_Home);
    for (int i = 0; i < index; ++i)
        QTest::keyClick(&list, Qt::Key_Down);
    EXPECT_EQ(list.currentIndex(), index);
}

void TypeInto(QLineEdit& edit, const QString& text)
{
    edit.setFocus();
    QTest::keyClick(&edit, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(&edit, Qt::Key_Delete);
    QTest::keyClicks(&edit, text);
}

bool WaitForAccept(CDlgWizFrame_Cal& frame, std::chrono::milliseconds timeout)
{
    return testsupport::WaitUntil(
        [&frame] {
            return frame.GetFinishButton().isEnabled() &&
                   frame.GetFinishButton().text() == QStringLiteral("Accept");
        },
        timeout);
}

void AcceptUntilSummary(CDlgWizFrame_Cal& frame)
{
    while (frame.GetCurrentPage() != &frame.GetSummaryPage())
    {
        ASSERT_TRUE(WaitForAccept(frame))
            << "state " << frame.m_pCalData->GetState() << " stability " << frame.m_pCalData->GetStability()
            << " worker " << frame.m_pCalData->IsWorkerRunning() << " title "
            << frame.windowTitle().toStdString();
        ClickFinish(frame);
        ASSERT_TRUE(testsupport::WaitUntil(
            [&frame] {
                return frame.GetCurrentPage() == &frame.GetSummaryPage() ||
                       frame.GetFinishButton().isEnabled();
            }));
    }
}

bool WaitForPage(CDlgWizFrame_Cal& frame, QWidget& page, std::chrono::milliseconds timeout)
{
    return testsupport::WaitUntil([&frame, &page] { return frame.GetCurrentPage() == &page; }, timeout);
}

void Picture(CDlgWizFrame_Cal& frame, const std::string& name)
{
    testsupport::PumpEvents();
    testsupport::SavePicture(frame, name);
}

} // namespace wiztest
