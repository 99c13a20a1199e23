// The communication page's popups against the simulated probe, opened by their buttons: the analog
// output loops, the probe's communication settings (the probe and the PC moved together, the
// keep-alive going on) and the SDI-12 setup with its picker; what each writes on OK and on Cancel.
#include <QApplication>
#include <QTest>
#include <QTimer>

#include "app/popups/DlgPopupAnalogSetup.h"
#include "app/popups/DlgPopupProbeCommCfg.h"
#include "app/popups/DlgPopupSDI12Setup.h"
#include "app/popups/DlgPopupSelectSDI12Params.h"
#include "connection/ConnectionString.h"
#include "platform/SettingsStore.h"
#include "tests/app/AppWindowTest.h"
#include "tests/app_core/BothLoopsProbe.h"
#include "tests/app_core/PortLineModel.h"
#include "tests/app_core/RegisterWrites.h"
#include "tests/support/UiThreadWatch.h"
#include "tools/probe-sim/FileFunctions.h"
#include "tools/probe-sim/InstrumentFiles.h"
#include "tools/probe-sim/InstrumentRegisters.h"
#include "tools/probe-sim/ServiceRegisters.h"
#include "ui/QtText.h"
#include "ui/WaitForWork.h"

namespace apptest
{
namespace
{

namespace reg = probesim::reg;
using PageIndex = CDlgFrame_TarnwickSoft::EPage;

class CommPopupsTest : public AppWindowTest
{
protected:
    // The probe prepared before the connect.
    void ConnectTo(probesim::InstrumentConfig config, const std::function<void()>& prepare = {})
    {
        StartProbe(config);
        if (prepare)
            prepare();
        MainWindow().ShowPage(PageIndex::PAGE_COMMUNICATION);
        ConnectByButton();
    }

    CCtrlPage_Communication& Page() { return MainWindow().CommunicationPage(); }

    // Opens the popup by its button and acts on it while it runs; false when no such popup opened.
    template <typename Popup>
    bool RunPopup(CNVButton& button, const std::function<void(Popup&)>& action)
    {
        bool opened = false;
        OnNextModal(
            [&](QWidget& modal)
            {
                auto* popup = qobject_cast<Popup*>(&modal);
                opened = popup != nullptr;
                if (popup != nullptr)
                    action(*popup);
                if (auto* dialog = qobject_cast<CNVDialog*>(&modal); dialog != nullptr && dialog->isVisible())
                    dialog->SendCommand(IDCANCEL);
            });
        button.click();
        return opened;
    }

    void Mark() { m_nMark = Sim().Log().ReceivedCount(); }
    // The holding registers written since the mark, each write by its first register.
    std::vector<uint16_t> RegistersWrittenSinceMark()
    {
        std::vector<probesim::Adu> adus;
        const std::vector<probesim::LoggedFrame> frames = Sim().Log().Received();
        for (size_t i = std::min(m_nMark, frames.size()); i < frames.size(); ++i)
            if (frames[i].adu)
                adus.push_back(*frames[i].adu);
        return WrittenRegisters(adus);
    }

    // Types the text into the edit at the caret position given.
    static void TypeAt(QLineEdit& edit, int position, const QString& text)
    {
        edit.setFocus();
        edit.setCursorPosition(position);
        QTest::keyClicks(&edit, text);
    }

    static void Retype(QLineEdit& edit, const QString& text)
    {
        edit.setFocus();
        edit.selectAll();
        QTest::keyClick(&edit, Qt::Key_Delete);
        QTest::keyClicks(&edit, text);
    }

    size_t m_nMark = 0;
};

// ---- Analog output ----

class AnalogPopupTest : public CommPopupsTest
{
protected:
    void ConnectWithBothLoops()
    {
        ConnectTo(BothLoopsConfig(kSerial), [this] { PutBothLoops(Probe().Registers()); });
    }
};

TEST_F(AnalogPopupTest, ShowsBothLoopsFromTheProbeAndOkWritesWhatTheUserChanged)
{
    ConnectWithBothLoops();
    ASSERT_TRUE(Page().AnalogButton().isEnabled());
    int phOrpEntry = -1;
    EXPECT_TRUE(RunPopup<CDlgPopup_AnalogSetup>(
        Page().AnalogButton(),
        [&](CDlgPopup_AnalogSetup& popup)
        {
            for (int loop : {ANALOG_LOOP_1, ANALOG_LOOP_2})
            {
                EXPECT_TRUE(popup.LoopGroup(loop).isEnabled());
                EXPECT_EQ(popup.ParameterList(loop).currentIndex(), popup.Setup().FindFollowedReading(loop));
                EXPECT_GE(popup.ParameterList(loop).currentIndex(), 0);
                EXPECT_TRUE(popup.EnableBox(loop).isChecked());
            }
            CNVEdit& full = popup.FullScaleEdit(ANALOG_LOOP_1);
            EXPECT_EQ(ParseScalingText(ui::ToWideString(full.text())), 12.5f);
            testsupport::SavePicture(popup, "AnalogSetup.BothLoops");

            // A letter goes at once and the caret stays where it was typed; a second separator too.
            const QString before = full.text();
            TypeAt(full, 1, "x");
            EXPECT_EQ(full.text(), before);
            EXPECT_EQ(full.cursorPosition(), 1);
            TypeAt(full, 0, ".");
            EXPECT_EQ(full.text(), before);
            Retype(full, "-150.5");
            EXPECT_EQ(full.text(), "-150.5");

            // Every scaling text of a loop the probe has must hold a number, the loop on or off.
            CNVEdit& zero2 = popup.ZeroScaleEdit(ANALOG_LOOP_2);
            popup.EnableBox(ANALOG_LOOP_2).setChecked(false);
            Retype(zero2, "");
            EXPECT_FALSE(popup.OkButton().isEnabled());
            TypeAt(zero2, 0, "-");
            EXPECT_FALSE(popup.OkButton().isEnabled());
            TypeAt(zero2, 1, "2");
            EXPECT_TRUE(popup.OkButton().isEnabled());

            const CDynArray<sParameterReading>& readings = popup.Setup().Readings();
            for (uint32_t i = 0; i < readings.GetCount() && phOrpEntry < 0; ++i)
                if (readings[i].Connection == 4)
                    phOrpEntry = static_cast<int>(i);
            popup.ParameterList(ANALOG_LOOP_2).setCurrentIndex(phOrpEntry);
            Mark();
            popup.SendCommand(IDOK);
            EXPECT_FALSE(popup.isVisible());
        }));
    // Loop 1 through the device (switch, reading, then the scaling with the zero scale out of the
    // way first), loop 2 in its register order.
    EXPECT_EQ(RegistersWrittenSinceMark(),
              (std::vector<uint16_t>{reg::kAnalogDisable, reg::kAnalogSensor, reg::kAnalogParameter,
                                     reg::kAnalogZeroScale, reg::kAnalogFullScale, reg::kAnalogZeroScale,
                                     reg::kLoop2Enable, reg::kLoop2Connection, reg::kLoop2Parameter,
                                     reg::kLoop2FirstScale, reg::kLoop2SecondScale}));
    probesim::RegisterModel& registers = Probe().Registers();
    EXPECT_EQ(registers.GetFloat(reg::kAnalogFullScale), -150.5f);
    EXPECT_EQ(registers.GetU16(reg::kLoop2Enable), 0);
    EXPECT_EQ(registers.GetU16(reg::kLoop2Connection), 4);
    EXPECT_EQ(registers.GetFloat(reg::kLoop2SecondScale), -2.0f);
    EXPECT_TRUE(BoxTexts().empty());
}

TEST_F(AnalogPopupTest, CancelWritesNothingAndAFailedLoopKeepsThePopupOpen)
{
    ConnectWithBothLoops();
    Mark();
    EXPECT_TRUE(RunPopup<CDlgPopup_AnalogSetup>(Page().AnalogButton(), [](CDlgPopup_AnalogSetup& popup)
                                                { popup.SendCommand(IDCANCEL); }));
    EXPECT_TRUE(RegistersWrittenSinceMark().empty());

    Probe().Registers().AddWriteHook(reg::kLoop2Enable, 1,
                                     [](probesim::RegisterModel&, const probesim::RegisterWrite&)
                                     { return std::optional{probesim::ExceptionCode::IllegalFieldValue}; });
    EXPECT_TRUE(RunPopup<CDlgPopup_AnalogSetup>(Page().AnalogButton(),
                                                [&](CDlgPopup_AnalogSetup& popup)
                                                {
                                                    Retype(popup.ZeroScaleEdit(ANALOG_LOOP_1), "4");
                                                    popup.SendCommand(IDOK);
                                                    EXPECT_TRUE(popup.isVisible());
                                                    popup.SendCommand(IDCANCEL);
                                                }));
    ASSERT_EQ(BoxTexts().size(), 1u);
    EXPECT_TRUE(BoxTexts()[0].startsWith("Failed to change Current Loop B settings.\nError Code: "));
    // Loop 1 went first and keeps its change.
    EXPECT_EQ(Probe().Registers().GetFloat(reg::kAnalogZeroScale), 4.0f);
}

TEST_F(AnalogPopupTest, WithoutTheSecondLoopItsControlsAreGreyedAndOkWritesLoopOneOnly)
{
    ConnectTo(probesim::ProbeConfig(12, kSerial));
    EXPECT_TRUE(RunPopup<CDlgPopup_AnalogSetup>(Page().AnalogButton(),
                                                [&](CDlgPopup_AnalogSetup& popup)
                                                {
                                                    EXPECT_FALSE(popup.LoopGroup(ANALOG_LOOP_2).isEnabled());
                                                    EXPECT_TRUE(popup.OkButton().isEnabled());
                                                    testsupport::SavePicture(popup, "AnalogSetup.OneLoop");
                                                    Mark();
                                                    popup.SendCommand(IDOK);
                                                }));
    const std::vector<uint16_t> written = RegistersWrittenSinceMark();
    EXPECT_FALSE(written.empty());
    for (uint16_t number : written)
        EXPECT_LT(number, reg::kLoop2Connection);
}

TEST_F(AnalogPopupTest, AProbeWithoutAnalogOutputHasTheButtonDisabledAndThePopupClosesAtOnce)
{
    probesim::InstrumentConfig config = probesim::ProbeConfig(12, kSerial);
    config.analogOutputSupported = false;
    config.sdi12Supported = false;
    ConnectTo(config);
    EXPECT_FALSE(Page().AnalogButton().isEnabled());
    EXPECT_TRUE(Page().ModbusButton().isEnabled());
    EXPECT_FALSE(Page().Sdi12Button().isEnabled());
    CDlgPopup_AnalogSetup popup(&Page());
    EXPECT_EQ(popup.DoModal(), 0);
    EXPECT_TRUE(BoxTexts().empty());
}

// ---- Probe communication settings ----

class ProbeCommPopupTest : public CommPopupsTest
{
protected:
    // The probe hears the PC's port only as the port is set.
    void HearThePort() { ASSERT_TRUE(HearPortAsSetNow(Sim(), *theProbeConnection.GetModbus())); }
};

TEST_F(ProbeCommPopupTest, MovesTheProbeAndThePcTogetherAndTheKeepAliveGoesOnAtTheNewSettings)
{
    ConnectTo(probesim::ProbeConfig(36, kSerial));
    HearThePort();
    EXPECT_TRUE(RunPopup<CDlgPopup_ProbeCommCfg>(
        Page().ModbusButton(),
        [&](CDlgPopup_ProbeCommCfg& popup)
        {
            using List = CDlgPopup_ProbeCommCfg::EList;
            using Timeout = CDlgPopup_ProbeCommCfg::ETimeout;
            EXPECT_EQ(popup.List(List::LIST_BAUD).currentText(), "19200");
            EXPECT_EQ(popup.List(List::LIST_MODE).currentText(), "Modbus RTU");
            EXPECT_FALSE(popup.TimeoutEdit(Timeout::TIMEOUT_EOM).isEnabled());
            EXPECT_TRUE(popup.TimeoutEdit(Timeout::TIMEOUT_CACHE).isEnabled());
            EXPECT_TRUE(popup.StayAwakeBox().isEnabled());
            testsupport::SavePicture(popup, "ProbeCommCfg.Rtu");

            CNVEdit& eos = popup.TimeoutEdit(Timeout::TIMEOUT_EOS);
            TypeAt(eos, 2, "a");
            TypeAt(eos, 0, "-");
            EXPECT_EQ(eos.text(), "5000");
            EXPECT_EQ(eos.cursorPosition(), 0);
            Retype(eos, "4999");
            EXPECT_FALSE(popup.OkButton().isEnabled());
            Retype(eos, "60000");
            EXPECT_TRUE(popup.OkButton().isEnabled());
            // The EOM is checked in RTU mode too, greyed out as it is.
            popup.TimeoutEdit(Timeout::TIMEOUT_EOM).setText("15001");
            EXPECT_FALSE(popup.OkButton().isEnabled());
            popup.TimeoutEdit(Timeout::TIMEOUT_EOM).setText("15000");
            EXPECT_TRUE(popup.OkButton().isEnabled());

            popup.List(List::LIST_BAUD).setCurrentText("9600");
            popup.List(List::LIST_PARITY).setCurrentText("None");
            popup.List(List::LIST_ADDRESS).setCurrentText("7");
            popup.List(List::LIST_MODE).setCurrentText("Modbus ASCII");
            EXPECT_TRUE(popup.TimeoutEdit(Timeout::TIMEOUT_EOM).isEnabled());
            testsupport::SavePicture(popup, "ProbeCommCfg.Ascii");
            Mark();
            popup.SendCommand(IDOK);
            EXPECT_FALSE(popup.isVisible());
            // Before the keep-alive resumes: the line as the PC now sends.
            HearThePort();
        }));
    // The address goes before the line settings, which the probe takes last.
    EXPECT_EQ(RegistersWrittenSinceMark(),
              (std::vector<uint16_t>{reg::kEom, reg::kEos, reg::kStayAwake, reg::kMeasurementCacheTimeout,
                                     reg::kDeviceAddress, reg::kLineSettings}));
    EXPECT_TRUE(BoxTexts().empty()) << BoxTexts().front().toStdString();
    EXPECT_EQ(Probe().Address(), 7);
    EXPECT_EQ(Probe().Line(), (probesim::LineSettings{probesim::FramingMode::Ascii, 5, 1, 2, 0}));
    EXPECT_EQ(theProbeConnection.GetCommSettings(),
              (sCommSettings{5, 1, 2, 0, 1, 7, static_cast<USHORT>(Port())}));
    EXPECT_EQ(ui::ToQString(GetSearchConnectionStrings().front()), "9600,8,N,1,ASCII,7");

    // The keep-alive reads the probe at its new address and framing, and hears back.
    Sim().Log().Clear();
    ASSERT_TRUE(Sim().Log().WaitForSent(3, std::chrono::seconds(5)));
    for (const probesim::LoggedFrame& frame : Sim().Log().Sent())
        EXPECT_EQ(frame.adu ? frame.adu->address : 0, 7) << probesim::Describe(frame);
    EXPECT_TRUE(theProbeConnection.IsConnected());
}

TEST_F(ProbeCommPopupTest, ACombinationTheProbeCannotTakeIsReportedWithNothingWritten)
{
    ConnectTo(probesim::ProbeConfig(36, kSerial));
    Mark();
    EXPECT_TRUE(RunPopup<CDlgPopup_ProbeCommCfg>(
        Page().ModbusButton(),
        [&](CDlgPopup_ProbeCommCfg& popup)
        {
            popup.List(CDlgPopup_ProbeCommCfg::LIST_DATA_BITS).setCurrentText("7");
            popup.List(CDlgPopup_ProbeCommCfg::LIST_ADDRESS).setCurrentText("9");
            popup.SendCommand(IDOK);
            EXPECT_TRUE(popup.isVisible());
            popup.SendCommand(IDCANCEL);
        }));
    ASSERT_EQ(BoxTexts().size(), 1u);
    EXPECT_TRUE(BoxTexts()[0].startsWith("Failed to set device serial configuration.\nError: 8101"))
        << BoxTexts()[0].toStdString();
    EXPECT_TRUE(RegistersWrittenSinceMark().empty());
    EXPECT_EQ(Probe().Address(), 1);
    EXPECT_EQ(theProbeConnection.m_nAddress.load(), 1);
}

TEST_F(ProbeCommPopupTest, AProbeWithoutStayAwakeOrCacheTimeoutGreysThemOutAndOkSkipsThem)
{
    probesim::InstrumentConfig config = probesim::ProbeConfig(12, kSerial);
    config.registerMapVersion = 2;
    config.stayAwakeSupported = false;
    ConnectTo(config);
    EXPECT_TRUE(RunPopup<CDlgPopup_ProbeCommCfg>(
        Page().ModbusButton(),
        [&](CDlgPopup_ProbeCommCfg& popup)
        {
            EXPECT_FALSE(popup.StayAwakeBox().isEnabled());
            EXPECT_FALSE(popup.TimeoutEdit(CDlgPopup_ProbeCommCfg::TIMEOUT_CACHE).isEnabled());
            EXPECT_TRUE(popup.TimeoutEdit(CDlgPopup_ProbeCommCfg::TIMEOUT_CACHE).text().isEmpty())
                << "no value the probe never reported";
            EXPECT_TRUE(popup.OkButton().isEnabled());
            testsupport::SavePicture(popup, "ProbeCommCfg.WithoutStayAwakeAndCache");
            Mark();
            popup.SendCommand(IDOK);
            EXPECT_FALSE(popup.isVisible());
        }));
    EXPECT_TRUE(BoxTexts().empty()) << BoxTexts().front().toStdString();
    const std::vector<uint16_t> written = RegistersWrittenSinceMark();
    EXPECT_EQ(written,
              (std::vector<uint16_t>{reg::kEom, reg::kEos, reg::kDeviceAddress, reg::kLineSettings}));
}

TEST_F(ProbeCommPopupTest, EveryTimeoutEnablesOkAtItsBoundsOnlyAndAnEosBelowTheSmallestEosDisablesIt)
{
    ConnectTo(probesim::ProbeConfig(36, kSerial));
    EXPECT_TRUE(RunPopup<CDlgPopup_ProbeCommCfg>(
        Page().ModbusButton(),
        [&](CDlgPopup_ProbeCommCfg& popup)
        {
            using Timeout = CDlgPopup_ProbeCommCfg::ETimeout;
            popup.List(CDlgPopup_ProbeCommCfg::LIST_MODE).setCurrentText("Modbus ASCII");
            struct Typed
            {
                Timeout edit;
                const char* text;
                bool ok;
            };
            const Typed typed[] = {
                {Timeout::TIMEOUT_EOM, "999", false},     {Timeout::TIMEOUT_EOM, "1000", true},
                {Timeout::TIMEOUT_EOM, "15000", true},    {Timeout::TIMEOUT_EOM, "15001", false},
                {Timeout::TIMEOUT_EOS, "1000", false},    {Timeout::TIMEOUT_EOS, "4999", false},
                {Timeout::TIMEOUT_EOS, "5000", true},     {Timeout::TIMEOUT_EOS, "60000", true},
                {Timeout::TIMEOUT_EOS, "60001", false},   {Timeout::TIMEOUT_CACHE, "999", false},
                {Timeout::TIMEOUT_CACHE, "1000", true},   {Timeout::TIMEOUT_CACHE, "60000", true},
                {Timeout::TIMEOUT_CACHE, "60001", false}, {Timeout::TIMEOUT_CACHE, "", false}};
            for (const Typed& entry : typed)
            {
                CNVEdit& edit = popup.TimeoutEdit(entry.edit);
                const QString before = edit.text();
                Retype(edit, entry.text);
                EXPECT_EQ(popup.OkButton().isEnabled(), entry.ok) << entry.edit << " " << entry.text;
                Retype(edit, before);
                EXPECT_TRUE(popup.OkButton().isEnabled()) << entry.edit << " " << entry.text;
            }
        }));
}

TEST_F(ProbeCommPopupTest, ASettingTheProbeDidNotReportShowsNoValueAndOkLeavesItUnlessTheUserGivesOne)
{
    probesim::InstrumentConfig config = probesim::ProbeConfig(36, kSerial);
    config.stayAwake = true;
    config.measurementCacheTimeout = 20000;
    ConnectTo(config);
    const auto failRead = [](probesim::RegisterModel&, uint16_t, uint16_t)
    { return std::optional{probesim::ExceptionCode::SlaveDeviceFailure}; };
    for (uint16_t reg : {reg::kEom, reg::kEos, reg::kStayAwake, reg::kMeasurementCacheTimeout})
        Probe().Registers().AddReadHook(reg, 1, failRead);
    // The device's copies of EOM and EOS go with a cache that cannot be read again.
    {
        const testsupport::ProbeWorkOfTheTest setUp;
        EXPECT_TRUE(Failed(theProbeConnection.GetProbe()->UpdateCache()));
    }

    using Timeout = CDlgPopup_ProbeCommCfg::ETimeout;
    EXPECT_TRUE(RunPopup<CDlgPopup_ProbeCommCfg>(
        Page().ModbusButton(),
        [&](CDlgPopup_ProbeCommCfg& popup)
        {
            for (Timeout timeout : {Timeout::TIMEOUT_EOM, Timeout::TIMEOUT_EOS, Timeout::TIMEOUT_CACHE})
            {
                EXPECT_TRUE(popup.TimeoutEdit(timeout).text().isEmpty()) << timeout;
                EXPECT_EQ(popup.TimeoutEdit(timeout).placeholderText(), "not read") << timeout;
            }
            EXPECT_TRUE(popup.StayAwakeBox().isEnabled());
            EXPECT_EQ(popup.StayAwakeBox().checkState(), Qt::PartiallyChecked);
            EXPECT_TRUE(popup.OkButton().isEnabled());
            testsupport::SavePicture(popup, "ProbeCommCfg.NotRead");
            // Typed and taken away again: still nothing to write.
            Retype(popup.TimeoutEdit(Timeout::TIMEOUT_CACHE), "7");
            EXPECT_FALSE(popup.OkButton().isEnabled());
            Retype(popup.TimeoutEdit(Timeout::TIMEOUT_CACHE), "");
            EXPECT_TRUE(popup.OkButton().isEnabled());
            Retype(popup.TimeoutEdit(Timeout::TIMEOUT_EOS), "7000");
            Mark();
            popup.SendCommand(IDOK);
            EXPECT_FALSE(popup.isVisible());
        }));
    EXPECT_TRUE(BoxTexts().empty()) << BoxTexts().front().toStdString();
    EXPECT_EQ(RegistersWrittenSinceMark(),
              (std::vector<uint16_t>{reg::kEos, reg::kDeviceAddress, reg::kLineSettings}));
    EXPECT_EQ(Probe().Registers().GetU16(reg::kEos), 7000);
    EXPECT_EQ(Probe().Registers().GetU16(reg::kEom), config.eom);
    EXPECT_EQ(Probe().Registers().GetU16(reg::kStayAwake), 1);
    EXPECT_EQ(Probe().Registers().GetU16(reg::kMeasurementCacheTimeout), 20000);
}

// A connection string that the settings file cannot keep: the refusal is told once, after the
// wait and over the popup, before the popup closes.
TEST_F(ProbeCommPopupTest, ALineTheSettingsFileCannotKeepIsToldOnceOverThePopupAfterTheWait)
{
    ConnectTo(probesim::ProbeConfig(36, kSerial));
    HearThePort();
    // Another program's value fills the file to a few bytes below the bound (1 MiB in tests).
    const std::filesystem::path user = m_config.Path() / "user.reg";
    testsupport::FillUserHiveTo(user, 5);

    QWidget* shownPopup = nullptr;
    bool waitingAtTheBox = true;
    bool popupOpenAtTheBox = false;
    m_dialogs.QueueLoopingAnswer(platform::IDOK, nullptr,
                                 [&]
                                 {
                                     waitingAtTheBox = ui::IsWaitingForWork();
                                     popupOpenAtTheBox = shownPopup != nullptr && shownPopup->isVisible();
                                 });
    EXPECT_TRUE(RunPopup<CDlgPopup_ProbeCommCfg>(
        Page().ModbusButton(),
        [&](CDlgPopup_ProbeCommCfg& popup)
        {
            shownPopup = &popup;
            popup.List(CDlgPopup_ProbeCommCfg::LIST_ADDRESS).setCurrentText("7");
            testsupport::SavePicture(popup, "ProbeCommCfg.SettingsFileFull");
            popup.SendCommand(IDOK);
            EXPECT_FALSE(popup.isVisible()) << "the probe took the settings";
            HearThePort();
        }));
    const auto& boxes = m_dialogs.MessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "The change was not saved to the settings file " +
                                 QString::fromStdString(user.string()) +
                                 ": the file would exceed 1\u00A0MiB.");
    EXPECT_EQ(boxes[0].owner, shownPopup);
    EXPECT_FALSE(waitingAtTheBox);
    EXPECT_TRUE(popupOpenAtTheBox);
    EXPECT_FALSE(boxes[0].underWaitCursor);
    // The probe moved all the same; the stored list is as it was.
    EXPECT_EQ(Probe().Address(), 7);
    EXPECT_EQ(ui::ToQString(GetSearchConnectionStrings().front()), "19200,8,E,1,RTU,1");
}

// A line the user asks for is told every time the settings file refuses it, also when the same
// line was refused before.
TEST_F(ProbeCommPopupTest, ALineTheUserAsksForIsToldAtEveryRefusalOfTheSettingsFile)
{
    ConnectTo(probesim::ProbeConfig(36, kSerial));
    HearThePort();
    const std::filesystem::path user = m_config.Path() / "user.reg";
    testsupport::FillUserHiveTo(user, 5);
    for (int time = 0; time < 2; ++time)
        EXPECT_TRUE(RunPopup<CDlgPopup_ProbeCommCfg>(
            Page().ModbusButton(),
            [&](CDlgPopup_ProbeCommCfg& popup)
            {
                popup.List(CDlgPopup_ProbeCommCfg::LIST_ADDRESS).setCurrentText("7");
                popup.SendCommand(IDOK);
                EXPECT_FALSE(popup.isVisible());
                HearThePort();
            }));
    ASSERT_EQ(BoxTexts().size(), 2u);
    EXPECT_EQ(BoxTexts()[0], BoxTexts()[1]);
    EXPECT_TRUE(BoxTexts()[1].startsWith("The change was not saved to the settings file "))
        << BoxTexts()[1].toStdString();
    EXPECT_EQ(Probe().Address(), 7);
}

// The popup ends on the OK of its box: the main window is the active one again and has the keys,
// so that its shortcuts work without a click.
TEST_F(ProbeCommPopupTest, WhenThePopupEndsAfterItsBoxTheMainWindowTakesTheKeyboardBack)
{
    ConnectTo(probesim::ProbeConfig(36, kSerial));
    HearThePort();
    testsupport::FillUserHiveTo(m_config.Path() / "user.reg", 5);
    ASSERT_TRUE(testsupport::ShowAndActivate(MainWindow()));
    EXPECT_TRUE(RunPopup<CDlgPopup_ProbeCommCfg>(
        Page().ModbusButton(),
        [&](CDlgPopup_ProbeCommCfg& popup)
        {
            popup.List(CDlgPopup_ProbeCommCfg::LIST_ADDRESS).setCurrentText("7");
            popup.SendCommand(IDOK);
            HearThePort();
        }));
    ASSERT_EQ(BoxTexts().size(), 1u);
    // Whatever the window system still had to say of the popup's activation comes first.
    testsupport::PumpEvents();
    ASSERT_TRUE(testsupport::WaitUntil([&] { return QApplication::activeWindow() == &MainWindow(); }))
        << "active: " << QApplication::activeWindow();
    QWidget* focus = QApplication::focusWidget();
    ASSERT_NE(focus, nullptr);
    EXPECT_EQ(focus->window(), &MainWindow());
    QTest::keyClick(focus, Qt::Key_Right, Qt::AltModifier);
    EXPECT_TRUE(testsupport::WaitUntil(
        [&] { return MainWindow().GetVisiblePage() == PageIndex::PAGE_SENSOR_SETUP; }));
}

// ---- SDI-12 ----

class Sdi12PopupTest : public CommPopupsTest
{
protected:
    void ConnectWithSet(const std::vector<uint8_t>& file)
    {
        probesim::InstrumentConfig config = probesim::ProbeConfig(18, kSerial);
        config.sdi12Supported = true;
        ConnectTo(config, [&] { Probe().Files().Put(probesim::kSdi12File, file); });
    }

    std::vector<uint8_t> FileOnProbe()
    {
        return Probe().Files().Get(probesim::kSdi12File).value_or(probesim::DeviceFile{}).data;
    }

    // Acts on the picker once the setup popup has it open.
    static void WhenPickerOpens(CDlgPopup_SDI12Setup& setup,
                                std::function<void(CDlgPopup_SelectSDI12Params&)> action)
    {
        auto* timer = new QTimer();
        QObject::connect(timer, &QTimer::timeout, timer,
                         [timer, &setup, action = std::move(action)]
                         {
                             CDlgPopup_SelectSDI12Params* picker = setup.OpenPicker();
                             if (picker == nullptr || QApplication::activeModalWidget() != picker)
                                 return;
                             timer->stop();
                             timer->deleteLater();
                             action(*picker);
                             if (picker->isVisible())
                                 picker->SendCommand(IDCANCEL);
                         });
        timer->start(10);
    }

    static QStringList Entries(const QListWidget& list)
    {
        QStringList texts;
        for (int i = 0; i < list.count(); ++i)
            texts.append(list.item(i)->text());
        return texts;
    }
};

TEST_F(Sdi12PopupTest, ReadsTheSetLetsTheUserOrderAndPickParametersAndWritesItBack)
{
    ConnectWithSet(probesim::EncodeSdi12Set({u'b', {{2, 3}, {1, 1}, {4, 2}}}));
    ASSERT_TRUE(Page().Sdi12Button().isEnabled());
    EXPECT_TRUE(RunPopup<CDlgPopup_SDI12Setup>(
        Page().Sdi12Button(),
        [&](CDlgPopup_SDI12Setup& popup)
        {
            CNVEdit& address = popup.AddressEdit();
            CNVListBox& list = popup.ParameterList();
            EXPECT_EQ(address.text(), "b");
            const QStringList loaded = Entries(list);
            ASSERT_EQ(loaded.size(), 3);
            EXPECT_FALSE(popup.ReloadButton().isEnabled());
            EXPECT_FALSE(popup.WriteButton().isEnabled());
            testsupport::SavePicture(popup, "Sdi12Setup.Loaded");

            TypeAt(address, 1, "c");
            EXPECT_EQ(address.text(), "b");
            EXPECT_TRUE(popup.ReloadButton().isEnabled());
            Retype(address, ".");
            EXPECT_EQ(address.text(), "");
            EXPECT_FALSE(popup.WriteButton().isEnabled());
            TypeAt(address, 0, "Z");
            EXPECT_TRUE(popup.WriteButton().isEnabled());

            // Up and Down follow the focus, which only the active window has.
            popup.activateWindow();
            ASSERT_TRUE(testsupport::WaitUntil([&] { return QApplication::activeWindow() == &popup; }));
            list.setFocus();
            list.setCurrentRow(0);
            EXPECT_FALSE(popup.UpButton().isEnabled());
            EXPECT_TRUE(popup.DownButton().isEnabled());
            QTest::keyClick(&list, Qt::Key_Down, Qt::AltModifier);
            EXPECT_EQ(Entries(list), (QStringList{loaded[1], loaded[0], loaded[2]}));
            EXPECT_EQ(list.currentRow(), 1);
            EXPECT_TRUE(popup.UpButton().isEnabled());
            list.setCurrentRow(2);
            EXPECT_FALSE(popup.DownButton().isEnabled());
            // Away from the list nothing stays selected and neither button can move anything.
            address.setFocus();
            EXPECT_EQ(list.currentRow(), -1);
            EXPECT_FALSE(popup.UpButton().isEnabled());

            WhenPickerOpens(popup,
                            [&](CDlgPopup_SelectSDI12Params& picker)
                            {
                                CNVCheckListBox& checks = picker.CheckList();
                                testsupport::SavePicture(picker, "Sdi12Setup.Picker");
                                for (int i = 0; i < checks.count(); ++i)
                                    checks.SetCheck(i, FALSE);
                                picker.SendCommand(IDOK);
                                EXPECT_TRUE(picker.isVisible());
                                EXPECT_EQ(LastBoxText(), "Must make at least one selection.");
                                // The first entry is the probe's temperature: kept the others, add it.
                                checks.SetCheck(0, TRUE);
                                for (int i = 0; i < checks.count(); ++i)
                                    if (loaded.contains(checks.item(i)->text()))
                                        checks.SetCheck(i, TRUE);
                                picker.SendCommand(IDOK);
                            });
            popup.SelectButton().click();
            EXPECT_EQ(list.count(), 4);
            popup.SendCommand(IDC_SDI12_WRITE);
            EXPECT_FALSE(popup.isVisible());
        }));
    EXPECT_EQ(LastBoxText(), "SDI-12 configuration written successfully");
    EXPECT_EQ(FileOnProbe(), probesim::EncodeSdi12Set({u'Z', {{1, 1}, {2, 3}, {4, 2}, {1, 2}}}));
}

// When the picker ends, the setup popup under it takes the keyboard back, not the main window that
// the setup still blocks.
TEST_F(Sdi12PopupTest, WhenThePickerEndsTheSetupUnderItTakesTheKeyboardBack)
{
    ConnectWithSet(probesim::EncodeSdi12Set({u'b', {{2, 3}, {1, 1}}}));
    ASSERT_TRUE(testsupport::ShowAndActivate(MainWindow()));
    EXPECT_TRUE(RunPopup<CDlgPopup_SDI12Setup>(
        Page().Sdi12Button(),
        [&](CDlgPopup_SDI12Setup& popup)
        {
            popup.activateWindow();
            ASSERT_TRUE(testsupport::WaitUntil([&] { return QApplication::activeWindow() == &popup; }));
            WhenPickerOpens(popup, [](CDlgPopup_SelectSDI12Params& picker) { picker.SendCommand(IDCANCEL); });
            popup.SelectButton().click();
            // Whatever the window system still had to say of the picker's activation comes first.
            testsupport::PumpEvents();
            EXPECT_TRUE(testsupport::WaitUntil([&] { return QApplication::activeWindow() == &popup; }))
                << "active: " << QApplication::activeWindow();
            QWidget* focus = QApplication::focusWidget();
            ASSERT_NE(focus, nullptr);
            EXPECT_EQ(focus->window(), &popup);
            QTest::keyClick(focus, Qt::Key_Escape);
            if (popup.isVisible())
            {
                ADD_FAILURE() << "Escape did not reach the setup popup";
                popup.SendCommand(IDCANCEL);
            }
        }));
}

TEST_F(Sdi12PopupTest, CancelWritesNothingAndAnEmptySetNeedsAParameterBeforeItIsWritten)
{
    ConnectWithSet({});
    Mark();
    EXPECT_TRUE(RunPopup<CDlgPopup_SDI12Setup>(Page().Sdi12Button(),
                                               [&](CDlgPopup_SDI12Setup& popup)
                                               {
                                                   EXPECT_EQ(popup.AddressEdit().text(), "0");
                                                   EXPECT_EQ(popup.ParameterList().count(), 0);
                                                   TypeAt(popup.AddressEdit(), 0, "1");
                                                   popup.SendCommand(IDC_SDI12_WRITE);
                                                   EXPECT_TRUE(popup.isVisible());
                                                   popup.SendCommand(IDCANCEL);
                                               }));
    EXPECT_EQ(BoxTexts(),
              (std::vector<QString>{"Please select at least one parameter for the configuration."}));
    EXPECT_TRUE(RegistersWrittenSinceMark().empty());
    EXPECT_TRUE(FileOnProbe().empty());
}

TEST_F(Sdi12PopupTest, WriteWaitsForAValidAddressAndAFailedWriteKeepsTheUsersEdits)
{
    const std::vector<uint8_t> stored = probesim::EncodeSdi12Set({u'b', {{2, 3}, {1, 1}}});
    ConnectWithSet(stored);
    EXPECT_TRUE(RunPopup<CDlgPopup_SDI12Setup>(
        Page().Sdi12Button(),
        [&](CDlgPopup_SDI12Setup& popup)
        {
            CNVListBox& list = popup.ParameterList();
            const QStringList loaded = Entries(list);
            ASSERT_EQ(loaded.size(), 2);
            Retype(popup.AddressEdit(), "");
            popup.activateWindow();
            ASSERT_TRUE(testsupport::WaitUntil([&] { return QApplication::activeWindow() == &popup; }));
            list.setFocus();
            list.setCurrentRow(0);
            QTest::keyClick(&list, Qt::Key_Down, Qt::AltModifier);
            ASSERT_EQ(Entries(list), (QStringList{loaded[1], loaded[0]}));
            EXPECT_TRUE(popup.ReloadButton().isEnabled());
            EXPECT_FALSE(popup.WriteButton().isEnabled()) << "a reordering with no address";
            popup.SendCommand(IDOK);
            EXPECT_TRUE(popup.isVisible());

            TypeAt(popup.AddressEdit(), 0, "7");
            EXPECT_TRUE(popup.WriteButton().isEnabled());
            Sim().RequestFaults().Refuse(probesim::RequestMatch::Function(probesim::kWriteFileBlock),
                                         probesim::ExceptionCode::SlaveDeviceFailure,
                                         probesim::RequestFaults::kEveryTime);
            popup.SendCommand(IDC_SDI12_WRITE);
            Sim().RequestFaults().Clear();
            EXPECT_TRUE(popup.isVisible()) << "the edits stay";
            ASSERT_FALSE(BoxTexts().empty());
            EXPECT_TRUE(
                BoxTexts().back().startsWith("Failed to write the SDI-12 configuration to the probe."));
            EXPECT_EQ(popup.AddressEdit().text(), "7");
            EXPECT_EQ(Entries(list), (QStringList{loaded[1], loaded[0]}));
            EXPECT_TRUE(popup.WriteButton().isEnabled());
            testsupport::SavePicture(popup, "Sdi12Setup.WriteFailed");

            popup.SendCommand(IDC_SDI12_WRITE);
            EXPECT_FALSE(popup.isVisible());
        }));
    EXPECT_EQ(LastBoxText(), "SDI-12 configuration written successfully");
    EXPECT_EQ(FileOnProbe(), probesim::EncodeSdi12Set({u'7', {{1, 1}, {2, 3}}}));
}

TEST_F(Sdi12PopupTest, ASetThatCannotBeReadClosesThePopupAfterItsMessage)
{
    ConnectWithSet(probesim::EncodeSdi12Set({u'0', {{1, 1}}}));
    Probe().Files().Remove(probesim::kSdi12File);
    CDlgPopup_SDI12Setup popup(&Page());
    EXPECT_EQ(popup.DoModal(), 0);
    ASSERT_EQ(BoxTexts().size(), 1u);
    EXPECT_TRUE(BoxTexts()[0].startsWith("Failed to read parameter set\nError Code: "));
}

} // namespace
} // namespace apptest
