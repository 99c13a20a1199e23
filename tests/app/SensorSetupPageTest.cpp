// The sensor setup page and its popups against the simulated probe: the lists and groups of each
// sensor, the watch following the probe's table and cap, every setting written through the page
// and read back, the pressure zeroing through Calibrate, and the popups on their own.
#include <QApplication>
#include <QClipboard>
#include <QTest>
#include <QTimer>

#include "app/popups/DlgEditBaro.h"
#include "app/popups/DlgEditSalinity.h"
#include "app/popups/DlgPopupEditValue.h"
#include "app/popups/DlgPressureCal.h"
#include "app/sensorsetup/ProbeSettingRegisters.h"
#include "foundation/NameLookups.h"
#include "models/ProbeSensorInterfaces.h"
#include "tests/app/AppWindowTest.h"
#include "tools/probe-sim/ConductivitySensor.h"
#include "tools/probe-sim/OpticalDoSensor.h"
#include "tools/probe-sim/PressureSensors.h"
#include "tools/probe-sim/RequestFaults.h"
#include "tools/probe-sim/SensorCommands.h"
#include "ui/EditViewOnly.h"
#include "ui/QtText.h"

namespace apptest
{
namespace
{

using namespace std::chrono_literals;
using Page = CDlgFrame_TarnwickSoft::EPage;

constexpr uint16_t kMultiSensor = 18;
constexpr uint16_t kVoxCore = 39;
constexpr USHORT kDepthConnection = 3;
const QString kVox = QStringLiteral(u"VOX\u00AE-Dissolved Oxygen (Cap ");

class SensorSetupPageTest : public AppWindowTest
{
protected:
    CCtrlPage_SensorSetup& SetupPage() { return MainWindow().SensorSetupPage(); }
    void ConnectTo(uint16_t deviceType, const std::function<void()>& beforeConnect = {})
    {
        StartProbe(deviceType);
        if (beforeConnect)
            beforeConnect();
        SetupPage().SetSensorWatchPeriod(20ms);
        SetupPage().SetPressureReadingPeriod(100ms);
        MainWindow().ShowPage(Page::PAGE_SENSOR_SETUP);
        ConnectByButton();
        ASSERT_TRUE(testsupport::WaitUntil([&] { return SetupPage().SensorList().count() > 2; }));
    }
    QStringList Entries()
    {
        QStringList texts;
        for (int i = 0; i < SetupPage().SensorList().count(); ++i)
            texts << SetupPage().SensorList().item(i)->text();
        return texts;
    }
    QStringList Rows()
    {
        QStringList texts;
        for (int i = 0; i < SetupPage().ParameterList().count(); ++i)
            texts << SetupPage().ParameterList().item(i)->text();
        return texts;
    }
    void Select(const QString& prefix)
    {
        const QStringList texts = Entries();
        for (int i = 0; i < texts.size(); ++i)
        {
            if (texts[i].startsWith(prefix))
            {
                SetupPage().SensorList().setCurrentRow(i);
                testsupport::PumpEvents();
                return;
            }
        }
        ADD_FAILURE() << "no entry " << prefix.toStdString();
    }
    // The entry of the sensor on that connection, whatever its name.
    void SelectConnection(USHORT connection)
    {
        CNVListBox& list = SetupPage().SensorList();
        for (int i = 0; i < list.count(); ++i)
        {
            if (list.item(i)->data(Qt::UserRole).toUInt() == connection)
            {
                list.setCurrentRow(i);
                testsupport::PumpEvents();
                return;
            }
        }
        ADD_FAILURE() << "no entry for connection " << connection;
    }
    bool Shown(UINT id)
    {
        for (QWidget* child : SetupPage().findChildren<QWidget*>())
            if (CNVDialog::GetDlgCtrlID(child) == id)
                return child->isVisible();
        return false;
    }
    template <typename Control>
    Control& Find(UINT id)
    {
        for (Control* child : SetupPage().findChildren<Control*>())
            if (CNVDialog::GetDlgCtrlID(child) == id)
                return *child;
        throw std::logic_error("no control");
    }
    QString Text(UINT id) { return SetupPage().GetControlText(id); }
    uint16_t At(uint16_t connection, uint16_t offset) { return Probe().Sensors().Base(connection) + offset; }
    float Setting(uint16_t connection, uint16_t offset)
    {
        return Sim().Registers().GetFloat(At(connection, offset)).value();
    }
    void ListConnection(uint16_t connection, bool listed)
    {
        const uint32_t mask = Sim().Registers().GetU32(probesim::reg::kSensorMask).value();
        const uint32_t bit = uint32_t{1} << (connection - 1);
        Sim().Registers().SetU32(probesim::reg::kSensorMask, listed ? mask | bit : mask & ~bit);
    }
    // The probe refuses writes into the float setting, or reads of the registers, while the flag
    // is set, whatever else talks to it meanwhile.
    void RefuseWrites(uint16_t connection, uint16_t offset, std::shared_ptr<std::atomic<bool>> refusing)
    {
        Sim().Registers().AddWriteHook(
            At(connection, offset), 2,
            [refusing](probesim::RegisterModel&, const probesim::RegisterWrite&) {
                return refusing->load() ? std::optional(probesim::ExceptionCode::SlaveDeviceFailure)
                                        : std::nullopt;
            });
    }
    void RefuseReads(uint16_t connection, uint16_t offset, uint16_t count,
                     std::shared_ptr<std::atomic<bool>> refusing)
    {
        Sim().Registers().AddReadHook(
            At(connection, offset), count,
            [refusing](probesim::RegisterModel&, uint16_t, uint16_t) {
                return refusing->load() ? std::optional(probesim::ExceptionCode::SlaveDeviceFailure)
                                        : std::nullopt;
            });
    }
    // Until the sensor watch has read the probe's table so often since the probe started.
    bool WaitForTableReads(size_t reads)
    {
        constexpr uint16_t kTableAddress = SENSOR_MASK_REGISTER - 40001;
        return testsupport::WaitUntil(
            [&]
            {
                size_t count = 0;
                for (const probesim::LoggedFrame& frame : Sim().Log().Received())
                    count += frame.adu && frame.adu->function == 3 && frame.adu->data.size() >= 2 &&
                                     ((frame.adu->data[0] << 8) | frame.adu->data[1]) == kTableAddress
                                 ? 1
                                 : 0;
                return count >= reads;
            },
            10s);
    }
    template <typename Dialog>
    static Dialog& As(QWidget& modal)
    {
        auto* dialog = qobject_cast<Dialog*>(&modal);
        if (dialog == nullptr)
            throw std::logic_error("another popup");
        return *dialog;
    }
};

TEST_F(SensorSetupPageTest, EachSensorShowsItsOwnGroupsAndTheFramingEntriesNone)
{
    ConnectTo(kVoxCore);
    CCtrlPage_SensorSetup& page = SetupPage();
    const QStringList entries = Entries();
    ASSERT_EQ(entries.size(), 5);
    EXPECT_EQ(entries[0], "Temperature");
    EXPECT_TRUE(entries[1].startsWith(kVox + "expires ")) << entries[1].toStdString();
    EXPECT_EQ(entries[2], ui::ToQString(GetSensorTypeName(probesim::kCoreConductivitySensorId)));
    EXPECT_EQ(entries[4], "All");
    EXPECT_EQ(page.SensorList().currentRow(), 1) << "the first sensor is chosen on connecting";

    EXPECT_EQ(Rows(),
              (QStringList{ui::ToQString(GetParameterIdName(20)), ui::ToQString(GetParameterIdName(21)),
                           ui::ToQString(GetParameterIdName(30))}));
    EXPECT_TRUE(Shown(IDC_SETUP_SALINITY_GROUP));
    EXPECT_TRUE(Shown(IDC_SETUP_BARO_GROUP));
    EXPECT_FALSE(Shown(IDC_SETUP_REF_TEMP_GROUP));
    EXPECT_TRUE(Shown(IDC_SETUP_NEGATIVE_ALWAYS)) << "the concentration of a VOX core";
    EXPECT_TRUE(Find<QRadioButton>(IDC_SETUP_NEGATIVE_ALWAYS).isChecked());
    EXPECT_TRUE(Find<QCheckBox>(IDC_SETUP_AUTO_SALINITY).isEnabled());
    EXPECT_EQ(Text(IDC_SETUP_LIVE_BARO), "1013.25");
    EXPECT_EQ(Text(IDC_SETUP_LIVE_SALINITY), "0");
    EXPECT_EQ(Text(IDC_SETUP_SENTINEL), "-9999");
    EXPECT_TRUE(page.CalibrateButton().isEnabled());
    testsupport::SavePicture(MainWindow(), "SensorSetup.VoxCore.Optical");

    // Saturation and partial pressure show the setting but cannot change it.
    page.ParameterList().setCurrentRow(1);
    EXPECT_TRUE(Shown(IDC_SETUP_NEGATIVE_NEVER));
    EXPECT_FALSE(Find<QRadioButton>(IDC_SETUP_NEGATIVE_NEVER).isEnabled());

    Select(entries[3]);
    EXPECT_FALSE(Shown(IDC_SETUP_SALINITY_GROUP));
    EXPECT_FALSE(Shown(IDC_SETUP_NEGATIVE_ALWAYS));
    EXPECT_TRUE(Shown(IDC_SETUP_DENSITY_GROUP));
    EXPECT_TRUE(Shown(IDC_SETUP_OFFSET_GROUP));
    EXPECT_EQ(Text(IDC_SETUP_PRESSURE_LABEL), "Current Value (PSI):");
    EXPECT_EQ(Text(IDC_SETUP_PRESSURE_OFFSET), "0");
    EXPECT_TRUE(Find<QCheckBox>(IDC_SETUP_AUTO_DENSITY).isChecked());
    testsupport::SavePicture(MainWindow(), "SensorSetup.VoxCore.Depth");

    Select(entries[2]);
    EXPECT_TRUE(Shown(IDC_SETUP_REF_TEMP_GROUP));
    EXPECT_FALSE(Shown(IDC_SETUP_DENSITY_GROUP));
    testsupport::SavePicture(MainWindow(), "SensorSetup.VoxCore.Conductivity");

    Select("All");
    ASSERT_FALSE(Rows().isEmpty());
    EXPECT_EQ(Rows().front(), ui::ToQString(GetParameterIdName(1))) << "the temperature first";
    EXPECT_EQ(Rows().size(), 1 + 3 + 6 + 2);
    EXPECT_FALSE(page.CalibrateButton().isEnabled());
    Select("Temperature");
    EXPECT_EQ(Rows(), QStringList{ui::ToQString(GetParameterIdName(1))});
    EXPECT_FALSE(page.CalibrateButton().isEnabled());
    EXPECT_FALSE(Shown(IDC_SETUP_SALINITY_GROUP));
    testsupport::SavePicture(MainWindow(), "SensorSetup.VoxCore.Temperature");

    MainWindow().ConnectButton().click();
    ASSERT_TRUE(testsupport::WaitUntil([&] { return page.SensorList().count() == 0; }));
    EXPECT_FALSE(page.IsSensorWatchRunning());
    EXPECT_FALSE(page.SensorList().isEnabled());
    EXPECT_FALSE(page.CalibrateButton().isEnabled());
}

TEST_F(SensorSetupPageTest, TheWatchRefillsTheListsAsTheProbeChangesKeepingTheChosenEntry)
{
    ConnectTo(kMultiSensor);
    CCtrlPage_SensorSetup& page = SetupPage();
    ASSERT_TRUE(page.IsSensorWatchRunning());
    EXPECT_TRUE(Entries().contains("pH/ORP"));
    Select(ui::ToQString(GetSensorTypeName(probesim::kConductivitySensorId)));
    const QString conductivity = page.SensorList().currentItem()->text();
    // The watch has taken the probe's state as it was at the connect.
    ASSERT_TRUE(WaitForTableReads(2));

    Probe().Sensors().Unplug(4);
    ListConnection(4, false);
    ASSERT_TRUE(testsupport::WaitUntil([&] { return !Entries().contains("pH/ORP"); }, 10s));
    EXPECT_EQ(page.SensorList().currentItem()->text(), conductivity);
    Probe().Sensors().Plug(4);
    ListConnection(4, true);
    ASSERT_TRUE(testsupport::WaitUntil([&] { return Entries().contains("pH/ORP"); }, 10s));

    // A new cap without a serial number: the optical entry changes its text and stays chosen.
    Select(kVox);
    Sim().Registers().SetU32(At(1, 1), 0);
    ASSERT_TRUE(testsupport::WaitUntil(
        [&] { return page.SensorList().currentItem()->text().endsWith("not detected)"); }, 10s));
    EXPECT_TRUE(page.SensorList().currentItem()->text().startsWith(kVox));
    EXPECT_TRUE(Shown(IDC_SETUP_SALINITY_GROUP));
    EXPECT_TRUE(BoxTexts().empty()) << BoxTexts().front().toStdString();

    // Nothing is looked at while a popup holds the main window.
    EXPECT_TRUE(page.IsSensorWatchActive());
    bool activeWhileModal = true;
    OnNextModal(
        [&](QWidget& modal)
        {
            activeWhileModal = page.IsSensorWatchActive();
            As<CDlgEditSalinity>(modal).SendCommand(IDCANCEL);
        });
    Find<QPushButton>(IDC_SETUP_EDIT_SALINITY).click();
    EXPECT_FALSE(activeWhileModal);
    EXPECT_TRUE(page.IsSensorWatchActive());

    // A disconnect by the page stops the watch before the link goes.
    const ULONG earlierLink = theProbeConnection.GetConnectionId();
    MainWindow().ConnectButton().click();
    ASSERT_TRUE(testsupport::WaitUntil([] { return theProbeConnection.IsConnected() == FALSE; }));
    EXPECT_FALSE(page.IsSensorWatchRunning());
    EXPECT_FALSE(theProbeConnection.ReleaseBusy());

    // A change that arrives after the disconnect finds nothing to refill.
    testsupport::PumpEvents();
    page.PostNotify(windowmsg::WM_SENSORS_CHANGED);
    testsupport::PumpEvents();
    EXPECT_EQ(page.SensorList().count(), 0);
    EXPECT_EQ(page.ParameterList().count(), 0);
    EXPECT_TRUE(BoxTexts().empty()) << BoxTexts().front().toStdString();

    // Nor does one that the earlier link's watch reported, once the next link is up (the watch and
    // the keep-alive quiet meanwhile).
    ConnectByButton();
    ASSERT_TRUE(testsupport::DeliverPostedMessages());
    MainWindow().ShowPage(Page::PAGE_PROBE_INFO);
    MainWindow().StopKeepAlive();
    ASSERT_TRUE(testsupport::DeliverPostedMessages());
    const size_t received = Sim().Log().ReceivedCount();
    page.PostNotify(windowmsg::WM_SENSORS_CHANGED, earlierLink);
    ASSERT_TRUE(testsupport::DeliverPostedMessages());
    EXPECT_EQ(Sim().Log().ReceivedCount(), received) << "the probe was asked for nothing";
}

// The watch and the keep-alive hold the device lock across their reads, for as long as a silent
// probe takes to time out: the page shown again asks the probe nothing and takes no device lock
// (the watch on the user-interface thread fails the test otherwise, whether or not a worker held
// the lock at that moment), and shows the sensors and the Calibrate button as it knew them.
TEST_F(SensorSetupPageTest, ThePageShownAgainAsksTheProbeNothing)
{
    ConnectTo(kMultiSensor);
    CCtrlPage_SensorSetup& page = SetupPage();
    const QStringList entries = Entries();
    for (const auto& [entry, calibrates] : {std::pair{kVox, true}, {QStringLiteral("Pressure/Level"), false}})
    {
        Select(entry);
        MainWindow().ShowPage(Page::PAGE_PROBE_INFO);
        MainWindow().ShowPage(Page::PAGE_SENSOR_SETUP);
        EXPECT_EQ(Entries(), entries);
        EXPECT_TRUE(page.SensorList().currentItem()->text().startsWith(entry));
        EXPECT_EQ(page.CalibrateButton().isEnabled(), calibrates) << entry.toStdString();
    }
    EXPECT_TRUE(BoxTexts().empty());
}

TEST_F(SensorSetupPageTest, SettingsOfTheOpticalAndConductivitySensorsReachTheProbeAndShowWhatItHolds)
{
    ConnectTo(
        kMultiSensor,
        [&] { Sim().Registers().SetFloat(At(2, probesim::kProbeConductivity.referenceTemperature), 22.0f); });
    using namespace probesim::dosensor;
    // A reference temperature of neither 20 nor 25 is made 25, the rest of the block kept.
    ASSERT_TRUE(testsupport::WaitUntil(
        [&] { return Setting(2, probesim::kProbeConductivity.referenceTemperature) == 25.0f; }));
    Select(ui::ToQString(GetSensorTypeName(probesim::kConductivitySensorId)));
    EXPECT_TRUE(Find<QRadioButton>(IDC_SETUP_REF_TEMP_25).isChecked());
    Find<QRadioButton>(IDC_SETUP_REF_TEMP_20).click();
    EXPECT_EQ(Setting(2, probesim::kProbeConductivity.referenceTemperature), 20.0f);
    EXPECT_TRUE(Find<QRadioButton>(IDC_SETUP_REF_TEMP_20).isChecked());
    // A refused write is reported and the buttons keep what the probe holds.
    auto refusing = std::make_shared<std::atomic<bool>>(true);
    RefuseWrites(2, probesim::kProbeConductivity.referenceTemperature, refusing);
    Find<QRadioButton>(IDC_SETUP_REF_TEMP_25).click();
    refusing->store(false);
    EXPECT_TRUE(LastBoxText().value_or(QString()).startsWith(
        "Failed to change the specific conductivity reference temperature."));
    EXPECT_TRUE(Find<QRadioButton>(IDC_SETUP_REF_TEMP_20).isChecked());
    EXPECT_FALSE(Find<QRadioButton>(IDC_SETUP_REF_TEMP_25).isChecked());

    Select(kVox);
    OnNextModal(
        [&](QWidget& modal)
        {
            auto& dialog = As<CDlgEditSalinity>(modal);
            EXPECT_EQ(dialog.Edit().text(), "0");
            dialog.Edit().clear();
            QTest::keyClicks(&dialog.Edit(), "35.5");
            dialog.UseAsDefaultBox().click();
            testsupport::SavePicture(dialog, "SensorSetup.EditSalinity");
            dialog.OkButton().click();
        });
    Find<QPushButton>(IDC_SETUP_EDIT_SALINITY).click();
    EXPECT_EQ(Setting(1, kLiveSalinity), 35.5f);
    EXPECT_EQ(Setting(1, kDefaultSalinity), 35.5f);
    EXPECT_EQ(Text(IDC_SETUP_LIVE_SALINITY), "35.5000");
    EXPECT_EQ(Text(IDC_SETUP_DEFAULT_SALINITY), "35.5000");

    Find<QCheckBox>(IDC_SETUP_AUTO_SALINITY).click();
    EXPECT_EQ(Sim().Registers().GetU16(AUTO_SALINITY_REGISTER), 1);
    EXPECT_FALSE(Find<QPushButton>(IDC_SETUP_EDIT_SALINITY).isEnabled());
    EXPECT_FALSE(Find<QLineEdit>(IDC_SETUP_LIVE_SALINITY).isEnabled());
    Find<QCheckBox>(IDC_SETUP_AUTO_SALINITY).click();
    EXPECT_EQ(Sim().Registers().GetU16(AUTO_SALINITY_REGISTER), 0);
    EXPECT_TRUE(Find<QPushButton>(IDC_SETUP_EDIT_SALINITY).isEnabled());

    OnNextModal(
        [&](QWidget& modal)
        {
            auto& dialog = As<CDlgEditBaro>(modal);
            dialog.PressureRadio().click();
            EXPECT_EQ(dialog.PressureEdit().text(), "1013.25");
            dialog.PressureEdit().setText("950");
            EXPECT_TRUE(dialog.OkButton().isEnabled());
            dialog.OkButton().click();
        });
    Find<QPushButton>(IDC_SETUP_EDIT_BARO).click();
    EXPECT_EQ(Setting(1, kLiveBaro), 950.0f);
    EXPECT_EQ(Setting(1, kDefaultBaro), 1013.25f);
    EXPECT_EQ(Text(IDC_SETUP_LIVE_BARO), "950.000");

    // The write refused: no box, and neither pressure is shown until the page reloads.
    const size_t boxes = BoxTexts().size();
    refusing->store(true);
    RefuseWrites(1, kDefaultBaro, refusing);
    OnNextModal(
        [&](QWidget& modal)
        {
            auto& dialog = As<CDlgEditBaro>(modal);
            dialog.PressureEdit().setText("900");
            dialog.UseAsDefaultBox().click();
            dialog.OkButton().click();
        });
    Find<QPushButton>(IDC_SETUP_EDIT_BARO).click();
    refusing->store(false);
    EXPECT_EQ(BoxTexts().size(), boxes);
    EXPECT_TRUE(Text(IDC_SETUP_LIVE_BARO).isEmpty());
    EXPECT_TRUE(Text(IDC_SETUP_DEFAULT_BARO).isEmpty());
    EXPECT_EQ(Setting(1, kLiveBaro), 950.0f) << "the live pressure comes after the refused default";
    SetupPage().ReloadPage();
    EXPECT_EQ(Text(IDC_SETUP_LIVE_BARO), "950.000");
    EXPECT_EQ(Text(IDC_SETUP_DEFAULT_BARO), "1013.25");

    // The live pressure unreadable: the dialog does not open, and the texts empty the same way.
    RefuseReads(1, kLiveBaro, 2, refusing);
    refusing->store(true);
    bool opened = false;
    QTimer guard;
    QObject::connect(&guard, &QTimer::timeout,
                     [&]
                     {
                         auto* modal = qobject_cast<CNVDialog*>(QApplication::activeModalWidget());
                         if (modal == nullptr || modal == &MainWindow())
                             return;
                         opened = true;
                         modal->SendCommand(IDCANCEL);
                     });
    guard.start(10);
    Find<QPushButton>(IDC_SETUP_EDIT_BARO).click();
    guard.stop();
    refusing->store(false);
    testsupport::PumpEvents();
    EXPECT_FALSE(opened);
    EXPECT_TRUE(Text(IDC_SETUP_LIVE_BARO).isEmpty());
    EXPECT_TRUE(Text(IDC_SETUP_DEFAULT_BARO).isEmpty());
    EXPECT_EQ(BoxTexts().size(), boxes);
}

TEST_F(SensorSetupPageTest, ASalinityThePageCouldNotReadIsOfferedAsNoNumberAndWrittenOnlyWhenTyped)
{
    using probesim::dosensor::kLiveSalinity;
    auto refusing = std::make_shared<std::atomic<bool>>(true);
    ConnectTo(kMultiSensor,
              [&]
              {
                  Sim().Registers().SetFloat(At(1, kLiveSalinity), 12.5f);
                  RefuseReads(1, probesim::dosensor::kDefaultSalinity, 2, refusing);
              });
    refusing->store(false);
    Select(kVox);
    ASSERT_TRUE(Text(IDC_SETUP_LIVE_SALINITY).isEmpty());
    ASSERT_TRUE(Find<QPushButton>(IDC_SETUP_EDIT_SALINITY).isEnabled());
    const size_t received = Sim().Log().Received().size();
    bool offered = true;
    OnNextModal(
        [&](QWidget& modal)
        {
            auto& dialog = As<CDlgEditSalinity>(modal);
            EXPECT_TRUE(dialog.Edit().text().isEmpty());
            offered = dialog.OkButton().isEnabled();
            dialog.UseAsDefaultBox().click();
            dialog.SendCommand(IDOK); // Enter, with nothing typed
            EXPECT_TRUE(dialog.isVisible());
            dialog.SendCommand(IDCANCEL);
        });
    Find<QPushButton>(IDC_SETUP_EDIT_SALINITY).click();
    EXPECT_FALSE(offered);
    const std::vector<probesim::LoggedFrame> frames = Sim().Log().Received();
    for (size_t i = received; i < frames.size(); ++i)
        EXPECT_FALSE(frames[i].adu && frames[i].adu->function == 16) << "nothing written";
    EXPECT_EQ(Setting(1, kLiveSalinity), 12.5f);

    // A number the user types goes to the probe.
    OnNextModal(
        [&](QWidget& modal)
        {
            auto& dialog = As<CDlgEditSalinity>(modal);
            QTest::keyClicks(&dialog.Edit(), "7");
            dialog.OkButton().click();
        });
    Find<QPushButton>(IDC_SETUP_EDIT_SALINITY).click();
    EXPECT_EQ(Setting(1, kLiveSalinity), 7.0f);
    EXPECT_FALSE(Text(IDC_SETUP_LIVE_SALINITY).isEmpty());
}

// A reload that fails after a good load: the value the page held is no longer what it knows of the
// probe, so the popup offers no number and Enter writes nothing, not even as the default.
TEST_F(SensorSetupPageTest, AFailedReloadForgetsTheSalinityTheGoodLoadBeforeItHeld)
{
    using probesim::dosensor::kDefaultSalinity;
    using probesim::dosensor::kLiveSalinity;
    auto refusing = std::make_shared<std::atomic<bool>>(false);
    ConnectTo(kMultiSensor,
              [&]
              {
                  Sim().Registers().SetFloat(At(1, kLiveSalinity), 12.5f);
                  Sim().Registers().SetFloat(At(1, kDefaultSalinity), 3.0f);
                  RefuseReads(1, kDefaultSalinity, 2, refusing);
              });
    Select(kVox);
    ASSERT_EQ(Text(IDC_SETUP_LIVE_SALINITY), "12.5000");
    ASSERT_TRUE(BoxTexts().empty()) << BoxTexts().front().toStdString();

    refusing->store(true);
    SetupPage().PostNotify(windowmsg::WM_DEVICE_RESET);
    ASSERT_TRUE(testsupport::DeliverPostedMessages());
    refusing->store(false);
    ASSERT_FALSE(BoxTexts().empty());
    EXPECT_EQ(BoxTexts().back(), "Failed to get default salinity value.");
    Select(kVox);
    ASSERT_TRUE(Text(IDC_SETUP_LIVE_SALINITY).isEmpty());

    const size_t received = Sim().Log().Received().size();
    bool offered = true;
    OnNextModal(
        [&](QWidget& modal)
        {
            auto& dialog = As<CDlgEditSalinity>(modal);
            EXPECT_TRUE(dialog.Edit().text().isEmpty());
            offered = dialog.OkButton().isEnabled();
            dialog.UseAsDefaultBox().click();
            dialog.SendCommand(IDOK);
            if (dialog.isVisible())
                dialog.SendCommand(IDCANCEL);
        });
    Find<QPushButton>(IDC_SETUP_EDIT_SALINITY).click();
    EXPECT_FALSE(offered);
    const std::vector<probesim::LoggedFrame> frames = Sim().Log().Received();
    for (size_t i = received; i < frames.size(); ++i)
        EXPECT_FALSE(frames[i].adu && frames[i].adu->function == 16) << "nothing written";
    EXPECT_EQ(Setting(1, kDefaultSalinity), 3.0f);
    EXPECT_EQ(Setting(1, kLiveSalinity), 12.5f);
}

TEST_F(SensorSetupPageTest, ALaterLoadStepThatFailsStillShowsAndCorrectsTheReferenceTemperature)
{
    auto refusing = std::make_shared<std::atomic<bool>>(true);
    ConnectTo(kMultiSensor,
              [&]
              {
                  Sim().Registers().SetFloat(At(2, probesim::kProbeConductivity.referenceTemperature), 22.0f);
                  RefuseReads(1, probesim::dosensor::kDefaultSalinity, 2, refusing);
              });
    ASSERT_TRUE(testsupport::WaitUntil(
        [&] { return Setting(2, probesim::kProbeConductivity.referenceTemperature) == 25.0f; }));
    refusing->store(false);
    ASSERT_FALSE(BoxTexts().empty());
    EXPECT_EQ(BoxTexts().front(), "Failed to get default salinity value.");
    EXPECT_TRUE(Text(IDC_SETUP_LIVE_SALINITY).isEmpty()) << "the failure empties the four texts";
    EXPECT_TRUE(Text(IDC_SETUP_DEFAULT_BARO).isEmpty());
    Select(ui::ToQString(GetSensorTypeName(probesim::kConductivitySensorId)));
    EXPECT_TRUE(Find<QRadioButton>(IDC_SETUP_REF_TEMP_25).isChecked());
    EXPECT_FALSE(Find<QRadioButton>(IDC_SETUP_REF_TEMP_20).isChecked());
}

TEST_F(SensorSetupPageTest, SentinelUnitsAndThePressureSensorsSettingsReachTheProbe)
{
    ConnectTo(kVoxCore);
    CCtrlPage_SensorSetup& page = SetupPage();
    OnNextModal(
        [&](QWidget& modal)
        {
            auto& popup = As<CDlgPopup_EditValue>(modal);
            EXPECT_EQ(popup.windowTitle(), "Enter Sentinel Value");
            EXPECT_EQ(popup.Edit().text(), "-9999");
            popup.Edit().clear();
            QTest::keyClicks(&popup.Edit(), "-5.5");
            testsupport::SavePicture(popup, "SensorSetup.EditSentinel");
            popup.OkButton().click();
        });
    Find<QPushButton>(IDC_SETUP_EDIT_SENTINEL).click();
    EXPECT_EQ(LastBoxText(), "Sentinel value changed successfully.");
    EXPECT_EQ(Text(IDC_SETUP_SENTINEL), "-5.5");
    EXPECT_EQ(
        Sim().Registers().GetFloat(At(1, probesim::ParameterBlockOffset(1) + probesim::block::kSentinel)),
        -5.5f);

    // The negative-value handling of the concentration.
    Find<QRadioButton>(IDC_SETUP_NEGATIVE_NEVER).click();
    EXPECT_EQ(Sim().Registers().GetU16(NEGATIVE_DO_REGISTER), NEGATIVE_DO_NEVER);

    Select(Entries()[3]);
    Find<QCheckBox>(IDC_SETUP_AUTO_DENSITY).click();
    EXPECT_EQ(Setting(kDepthConnection, probesim::depthsensor::kDensityCorrection), 0.0f);
    // The pressure's unit: kPa, and the offset's label follows.
    CNVComboBox& units = page.UnitCombo();
    const int kiloPascal = units.findText("kPa");
    ASSERT_GE(kiloPascal, 0);
    units.setCurrentIndex(kiloPascal);
    emit units.activated(kiloPascal);
    testsupport::PumpEvents();
    EXPECT_EQ(Sim().Registers().GetU16(
                  At(kDepthConnection, probesim::ParameterBlockOffset(1) + probesim::block::kUnitId)),
              19);
    EXPECT_EQ(units.currentText(), "kPa");
    EXPECT_EQ(Text(IDC_SETUP_PRESSURE_LABEL), "Current Value (kPa):");
    EXPECT_EQ(BoxTexts().size(), 1u) << LastBoxText().value_or(QString()).toStdString();
}

TEST_F(SensorSetupPageTest, ASentinelLeftAsItWasIsNotWrittenHoweverRoundedItsTextIs)
{
    const uint16_t sentinelRegister =
        static_cast<uint16_t>(probesim::ParameterBlockOffset(1) + probesim::block::kSentinel);
    ConnectTo(kVoxCore, [&] { Sim().Registers().SetFloat(At(1, sentinelRegister), 1234567.0f); });
    EXPECT_EQ(Text(IDC_SETUP_SENTINEL), "1.23457e+06");
    const size_t received = Sim().Log().ReceivedCount();
    OnNextModal(
        [&](QWidget& modal)
        {
            auto& popup = As<CDlgPopup_EditValue>(modal);
            EXPECT_EQ(popup.Edit().text(), "1.23457e+06");
            popup.OkButton().click();
        });
    Find<QPushButton>(IDC_SETUP_EDIT_SENTINEL).click();
    EXPECT_EQ(Sim().Registers().GetFloat(At(1, sentinelRegister)), 1234567.0f);
    EXPECT_TRUE(BoxTexts().empty()) << BoxTexts().front().toStdString();
    const std::vector<probesim::LoggedFrame> frames = Sim().Log().Received();
    for (size_t i = received; i < frames.size(); ++i)
        EXPECT_FALSE(frames[i].adu && frames[i].adu->function == 16) << "nothing written";
}

TEST_F(SensorSetupPageTest, ASalinityLeftAsItWasIsNotWrittenAndBecomesTheDefaultExactly)
{
    using namespace probesim::dosensor;
    ConnectTo(kVoxCore, [&] { Sim().Registers().SetFloat(At(1, kLiveSalinity), 12.345678f); });
    Select(kVox);
    EXPECT_EQ(Text(IDC_SETUP_LIVE_SALINITY), "12.3457");
    const size_t received = Sim().Log().ReceivedCount();
    OnNextModal([&](QWidget& modal) { As<CDlgEditSalinity>(modal).OkButton().click(); });
    Find<QPushButton>(IDC_SETUP_EDIT_SALINITY).click();
    EXPECT_EQ(Setting(1, kLiveSalinity), 12.345678f);
    const std::vector<probesim::LoggedFrame> frames = Sim().Log().Received();
    for (size_t i = received; i < frames.size(); ++i)
        EXPECT_FALSE(frames[i].adu && frames[i].adu->function == 16) << "nothing written";

    OnNextModal(
        [&](QWidget& modal)
        {
            auto& dialog = As<CDlgEditSalinity>(modal);
            dialog.UseAsDefaultBox().click();
            dialog.OkButton().click();
        });
    Find<QPushButton>(IDC_SETUP_EDIT_SALINITY).click();
    EXPECT_EQ(Setting(1, kDefaultSalinity), 12.345678f);
    EXPECT_EQ(Setting(1, kLiveSalinity), 12.345678f);
    EXPECT_TRUE(BoxTexts().empty()) << BoxTexts().front().toStdString();
}

TEST_F(SensorSetupPageTest, RefusedWritesAreReportedAndThePageShowsWhatTheProbeHolds)
{
    ConnectTo(kVoxCore);
    CCtrlPage_SensorSetup& page = SetupPage();
    using namespace probesim;
    const uint16_t sentinelOffset = ParameterBlockOffset(dosensor::kConcentration) + block::kSentinel;
    const uint16_t unitOffset = ParameterBlockOffset(dosensor::kConcentration) + block::kUnitId;
    auto refusing = std::make_shared<std::atomic<bool>>(true);
    RefuseWrites(1, sentinelOffset, refusing);
    Sim().Registers().AddWriteHook(
        At(1, unitOffset), 1,
        [refusing](RegisterModel&, const RegisterWrite&)
        { return refusing->load() ? std::optional(ExceptionCode::SlaveDeviceFailure) : std::nullopt; });
    RefuseWrites(1, dosensor::kLiveSalinity, refusing);
    RefuseWrites(kDepthConnection, depthsensor::kDensityCorrection, refusing);
    Sim().RequestFaults().Refuse(RequestMatch::Write(NEGATIVE_DO_REGISTER), ExceptionCode::SlaveDeviceFailure,
                                 RequestFaults::kEveryTime);
    const auto lastBox = [&] { return BoxTexts().empty() ? std::string() : BoxTexts().back().toStdString(); };

    // The sentinel.
    OnNextModal(
        [&](QWidget& modal)
        {
            auto& popup = As<CDlgPopup_EditValue>(modal);
            popup.Edit().setText("-5.5");
            popup.OkButton().click();
        });
    Find<QPushButton>(IDC_SETUP_EDIT_SENTINEL).click();
    EXPECT_EQ(lastBox().rfind("Failed to change sentinel value in the probe.\nError Code: ", 0), 0u)
        << lastBox();
    EXPECT_EQ(Text(IDC_SETUP_SENTINEL), "-9999");
    EXPECT_EQ(Sim().Registers().GetFloat(At(1, sentinelOffset)), -9999.0f);

    // The unit: the list comes back to the unit the probe holds.
    CNVComboBox& units = page.UnitCombo();
    const QString held = units.currentText();
    ASSERT_GT(units.count(), 1);
    const int other = units.currentIndex() == 0 ? 1 : 0;
    units.setCurrentIndex(other);
    emit units.activated(other);
    testsupport::PumpEvents();
    EXPECT_EQ(lastBox().rfind("Failed to change the unit id in the probe\nError Code: ", 0), 0u) << lastBox();
    EXPECT_EQ(units.currentText(), held);

    // The salinity.
    OnNextModal(
        [&](QWidget& modal)
        {
            auto& dialog = As<CDlgEditSalinity>(modal);
            dialog.Edit().setText("12");
            dialog.OkButton().click();
        });
    Find<QPushButton>(IDC_SETUP_EDIT_SALINITY).click();
    EXPECT_EQ(lastBox().rfind("Failed to set live salinity.\nError Code: ", 0), 0u) << lastBox();
    EXPECT_EQ(Text(IDC_SETUP_LIVE_SALINITY), "0");
    EXPECT_EQ(Setting(1, dosensor::kLiveSalinity), 0.0f);

    // The negative values: the radios show the option the probe keeps.
    Find<QRadioButton>(IDC_SETUP_NEGATIVE_NEVER).click();
    EXPECT_EQ(lastBox().rfind("Failed to configure VOX options.\n\nFailed to write negative VOX handling "
                              "register (error code 0x",
                              0),
              0u)
        << lastBox();
    EXPECT_EQ(Sim().Registers().GetU16(NEGATIVE_DO_REGISTER), NEGATIVE_DO_ALWAYS);
    EXPECT_TRUE(Find<QRadioButton>(IDC_SETUP_NEGATIVE_ALWAYS).isChecked());
    EXPECT_FALSE(Find<QRadioButton>(IDC_SETUP_NEGATIVE_NEVER).isChecked());

    // The density correction.
    Select(Entries()[3]);
    ASSERT_TRUE(Find<QCheckBox>(IDC_SETUP_AUTO_DENSITY).isChecked());
    Find<QCheckBox>(IDC_SETUP_AUTO_DENSITY).click();
    EXPECT_EQ(lastBox().rfind("Failed to set Auto Density.\nError Code: ", 0), 0u) << lastBox();
    EXPECT_TRUE(Find<QCheckBox>(IDC_SETUP_AUTO_DENSITY).isChecked());
    EXPECT_EQ(Setting(kDepthConnection, depthsensor::kDensityCorrection), 1.0f);
    EXPECT_EQ(BoxTexts().size(), 5u);
    refusing->store(false);
    Sim().RequestFaults().Clear();
}

TEST_F(SensorSetupPageTest, FailedLoadsAreReportedAndEmptyOnlyWhatTheyCouldNotRead)
{
    auto refusing = std::make_shared<std::atomic<bool>>(true);
    ConnectTo(kMultiSensor,
              [&]
              {
                  Sim().Registers().AddReadHook(
                      AUTO_SALINITY_REGISTER, 1,
                      [refusing](probesim::RegisterModel&, uint16_t, uint16_t) {
                          return refusing->load() ? std::optional(probesim::ExceptionCode::SlaveDeviceFailure)
                                                  : std::nullopt;
                      });
              });
    ASSERT_FALSE(BoxTexts().empty());
    EXPECT_EQ(BoxTexts().front(), "Failed to read auto salinity register.");
    EXPECT_FALSE(Find<QCheckBox>(IDC_SETUP_AUTO_SALINITY).isChecked());
    for (const UINT id :
         {IDC_SETUP_LIVE_SALINITY, IDC_SETUP_DEFAULT_SALINITY, IDC_SETUP_LIVE_BARO, IDC_SETUP_DEFAULT_BARO})
        EXPECT_TRUE(Text(id).isEmpty()) << id;
    refusing->store(false);
    SetupPage().ReloadPage();
    EXPECT_EQ(Text(IDC_SETUP_LIVE_BARO), "1013.25");
    EXPECT_EQ(BoxTexts().size(), 1u);
}

TEST_F(SensorSetupPageTest, AFailedPressureLoadEmptiesTheOffsetAndKeepsTheRest)
{
    auto refusing = std::make_shared<std::atomic<bool>>(false);
    ConnectTo(kVoxCore,
              [&] { RefuseReads(kDepthConnection, probesim::depthsensor::kPressureOffset, 2, refusing); });
    Select(Entries()[3]);
    EXPECT_EQ(Text(IDC_SETUP_PRESSURE_OFFSET), "0");
    refusing->store(true);
    SetupPage().LoadPressureSettings();
    refusing->store(false);
    ASSERT_FALSE(BoxTexts().empty());
    EXPECT_EQ(BoxTexts().back(), "Failed to get pressure offset value.");
    EXPECT_TRUE(Text(IDC_SETUP_PRESSURE_OFFSET).isEmpty());
    EXPECT_EQ(Text(IDC_SETUP_PRESSURE_LABEL), "Current Value (PSI):");
    EXPECT_EQ(Text(IDC_SETUP_LIVE_BARO), "1013.25") << "the optical sensor's values stay";
}

TEST_F(SensorSetupPageTest, EachProbeTypeEnablesAndShowsItsOwnControls)
{
    // The single-sensor probe: no automatic salinity to switch, no negative-value option.
    ConnectTo(12);
    EXPECT_EQ(Entries().size(), 3);
    EXPECT_TRUE(Entries()[1].startsWith(kVox));
    EXPECT_TRUE(Shown(IDC_SETUP_SALINITY_GROUP));
    EXPECT_FALSE(Find<QCheckBox>(IDC_SETUP_AUTO_SALINITY).isEnabled());
    EXPECT_TRUE(Find<QPushButton>(IDC_SETUP_EDIT_SALINITY).isEnabled());
    EXPECT_FALSE(Shown(IDC_SETUP_NEGATIVE_ALWAYS));
    EXPECT_TRUE(SetupPage().CalibrateButton().isEnabled());
    testsupport::SavePicture(MainWindow(), "SensorSetup.VoxPro.Optical");
    MainWindow().ConnectButton().click();
    ASSERT_TRUE(testsupport::WaitUntil([] { return theProbeConnection.IsConnected() == FALSE; }));
    MainWindow().StopKeepAlive();
    testsupport::PumpEvents();

    // The multi-sensor probe: automatic salinity, no negative-value option, and its level sensor
    // has no calibration here.
    ConnectTo(kMultiSensor);
    CCtrlPage_SensorSetup& page = SetupPage();
    EXPECT_TRUE(Find<QCheckBox>(IDC_SETUP_AUTO_SALINITY).isEnabled());
    EXPECT_FALSE(Shown(IDC_SETUP_NEGATIVE_ALWAYS)) << "the option is the VOX core's";
    EXPECT_TRUE(page.CalibrateButton().isEnabled());
    constexpr USHORT kLevelConnection = 3;
    SelectConnection(kLevelConnection);
    EXPECT_FALSE(page.CalibrateButton().isEnabled());
    for (const UINT group : {IDC_SETUP_SALINITY_GROUP, IDC_SETUP_BARO_GROUP, IDC_SETUP_REF_TEMP_GROUP,
                             IDC_SETUP_DENSITY_GROUP, IDC_SETUP_OFFSET_GROUP})
        EXPECT_FALSE(Shown(group)) << group;
    EXPECT_EQ(Rows(),
              (QStringList{ui::ToQString(GetParameterIdName(2)), ui::ToQString(GetParameterIdName(3))}))
        << "its rows without the temperature";
    testsupport::SavePicture(MainWindow(), "SensorSetup.Multi.Level");
    Select("pH/ORP");
    EXPECT_TRUE(page.CalibrateButton().isEnabled());
    EXPECT_FALSE(Shown(IDC_SETUP_REF_TEMP_GROUP));
    Select("All");
    EXPECT_EQ(Rows().size(), 1 + 3 + 6 + 2 + 3) << "the temperature once, then every other reading";
    // Every name is shown whole: the longest reading ("Oxidation Reduction Potential (ORP)") with
    // the list's scroll bar beside it, and the optical sensor with its cap's date.
    for (CNVListBox* list : {&page.SensorList(), &page.ParameterList()})
        for (int row = 0; row < list->count(); ++row)
            EXPECT_LE(list->visualItemRect(list->item(row)).left() +
                          list->fontMetrics().horizontalAdvance(list->item(row)->text()),
                      list->viewport()->width())
                << list->item(row)->text().toStdString();
    page.ParameterList().setCurrentRow(page.ParameterList().count() - 1);
    testsupport::SavePicture(MainWindow(), "SensorSetup.Multi.All");
}

TEST_F(SensorSetupPageTest, TheChosenRowStaysWhenTheListsRefillAndRowZeroWhenItIsGone)
{
    ConnectTo(kVoxCore);
    CCtrlPage_SensorSetup& page = SetupPage();
    // The partial pressure chosen; a unit change refills the lists from the probe.
    page.ParameterList().setCurrentRow(2);
    CNVComboBox& units = page.UnitCombo();
    ASSERT_GT(units.count(), 1);
    const int other = units.currentIndex() == 0 ? 1 : 0;
    const QString chosen = units.itemText(other);
    units.setCurrentIndex(other);
    emit units.activated(other);
    testsupport::PumpEvents();
    EXPECT_EQ(page.ParameterList().currentRow(), 2);
    EXPECT_EQ(units.currentText(), chosen);
    EXPECT_TRUE(BoxTexts().empty()) << BoxTexts().front().toStdString();

    // The last row of "All" chosen, then the depth sensor leaves: its rows go, and row 0 is chosen.
    Select("All");
    const int last = page.ParameterList().count() - 1;
    page.ParameterList().setCurrentRow(last);
    Probe().Sensors().Unplug(kDepthConnection);
    ListConnection(kDepthConnection, false);
    {
        const testsupport::ProbeWorkOfTheTest setUp;
        ASSERT_EQ(theProbeConnection.GetProbe()->BuildSensorCache(), S_OK);
    }
    page.FillSensorList();
    page.FillParameterList(TRUE);
    EXPECT_EQ(page.SensorList().currentItem()->text(), "All") << "the entry stays chosen";
    EXPECT_EQ(page.ParameterList().count(), last + 1 - 2);
    EXPECT_EQ(page.ParameterList().currentRow(), 0);
}

TEST_F(SensorSetupPageTest, CalibrateZeroesThePressureSensorWithTheReadingShownAndCancelChangesNothing)
{
    ConnectTo(kVoxCore);
    CCtrlPage_SensorSetup& page = SetupPage();
    Select(Entries()[3]);
    ASSERT_TRUE(page.CalibrateButton().isEnabled());
    const USHORT cacheTimeout = Probe().MeasurementCacheTimeout();

    OnNextModal(
        [&](QWidget& modal)
        {
            auto& dialog = As<CDlgPressureCal>(modal);
            ASSERT_TRUE(testsupport::WaitUntil([&] { return !dialog.GetValueText().isEmpty(); }));
            EXPECT_EQ(dialog.GetValueLabel(), "Current value (PSI):");
            EXPECT_EQ(Probe().Sensors().Mode(kDepthConnection), probesim::SensorMode::Calibrating);
            EXPECT_EQ(Probe().MeasurementCacheTimeout(), 0);
            testsupport::SavePicture(dialog, "SensorSetup.PressureCal");
            dialog.SendCommand(IDCANCEL);
        });
    page.CalibrateButton().click();
    EXPECT_EQ(Probe().Sensors().CommandsCarriedOut(kDepthConnection),
              (std::vector<uint16_t>{probesim::kSensorCalModeOn, probesim::kSensorCalModeOff}));
    EXPECT_EQ(Probe().MeasurementCacheTimeout(), cacheTimeout);
    EXPECT_EQ(Setting(kDepthConnection, probesim::depthsensor::kPressureOffset), 0.0f);

    QString shown;
    OnNextModal(
        [&](QWidget& modal)
        {
            auto& dialog = As<CDlgPressureCal>(modal);
            ASSERT_TRUE(testsupport::WaitUntil([&] { return dialog.OkButton().isEnabled(); }));
            shown = dialog.GetValueText();
            dialog.OkButton().click();
        });
    page.CalibrateButton().click();
    EXPECT_EQ(Probe().Sensors().CommandsCarriedOut(kDepthConnection).size(), 5u);
    EXPECT_EQ(Probe().Sensors().Mode(kDepthConnection), probesim::SensorMode::Measuring);
    EXPECT_EQ(Probe().MeasurementCacheTimeout(), cacheTimeout);
    const float offset = Setting(kDepthConnection, probesim::depthsensor::kPressureOffset);
    EXPECT_NEAR(offset, shown.toFloat(), 0.001f) << "the zero is the reading shown";
    EXPECT_EQ(Text(IDC_SETUP_PRESSURE_OFFSET), ui::ToQString(FormatValue(6, offset)));
    EXPECT_TRUE(BoxTexts().empty()) << BoxTexts().front().toStdString();
}

TEST_F(SensorSetupPageTest, AReadingThatHoldsNoMeasurementShowsItsStatusAndKeepsOkDisabled)
{
    ConnectTo(kVoxCore);
    Select(Entries()[3]);
    using probesim::depthsensor::kPressure;
    Probe().Sensors().ForceQuality(kDepthConnection, kPressure, probesim::kQualityError,
                                   probesim::SensorBank::ForcedValue::Sentinel);
    bool enabledOnError = true;
    bool enabledAfterwards = false;
    OnNextModal(
        [&](QWidget& modal)
        {
            auto& dialog = As<CDlgPressureCal>(modal);
            ASSERT_TRUE(testsupport::WaitUntil([&] { return !dialog.GetValueText().isEmpty(); }));
            EXPECT_EQ(dialog.GetValueText(), "3 - Error");
            enabledOnError = dialog.OkButton().isEnabled();
            testsupport::SavePicture(dialog, "SensorSetup.PressureCal.Error");
            // Restoring the factory calibration needs no reading.
            dialog.RestoreFactoryBox().click();
            EXPECT_TRUE(dialog.OkButton().isEnabled());
            dialog.RestoreFactoryBox().click();
            EXPECT_FALSE(dialog.OkButton().isEnabled());
            dialog.OkButton().click();
            Probe().Sensors().ForceQuality(kDepthConnection, kPressure, std::nullopt);
            enabledAfterwards = testsupport::WaitUntil([&] { return dialog.OkButton().isEnabled(); });
            dialog.SendCommand(IDCANCEL);
        });
    SetupPage().CalibrateButton().click();
    EXPECT_FALSE(enabledOnError);
    EXPECT_TRUE(enabledAfterwards) << "a measurement enables OK again";
    EXPECT_EQ(Probe().Sensors().CommandsCarriedOut(kDepthConnection),
              (std::vector<uint16_t>{probesim::kSensorCalModeOn, probesim::kSensorCalModeOff}));
    EXPECT_EQ(Setting(kDepthConnection, probesim::depthsensor::kPressureOffset), 0.0f);
    EXPECT_TRUE(BoxTexts().empty()) << BoxTexts().front().toStdString();
}

TEST_F(SensorSetupPageTest, AReadingOfExactlyZeroEnablesOkNeitherWhenItArrivesNorWhenRestoreIsUnticked)
{
    ConnectTo(kVoxCore);
    Select(Entries()[3]);
    // The sensor's raw pressure reads exactly 0 (calibrating: a usable quality).
    using probesim::depthsensor::kPressure;
    const uint16_t value = At(kDepthConnection, probesim::ParameterBlockOffset(kPressure));
    auto zero = std::make_shared<std::atomic<bool>>(true);
    Sim().Registers().AddReadHook(value, 2,
                                  [value, zero](probesim::RegisterModel& model, uint16_t, uint16_t)
                                  {
                                      if (zero->load())
                                          model.SetFloat(value, 0.0f);
                                      return std::optional<probesim::ExceptionCode>();
                                  });
    bool enabledOnZero = true;
    bool enabledAfterUntick = true;
    bool enabledAfterwards = false;
    OnNextModal(
        [&](QWidget& modal)
        {
            auto& dialog = As<CDlgPressureCal>(modal);
            ASSERT_TRUE(testsupport::WaitUntil([&] { return !dialog.GetValueText().isEmpty(); }));
            EXPECT_EQ(dialog.GetValueText().toFloat(), 0.0f) << dialog.GetValueText().toStdString();
            enabledOnZero = dialog.OkButton().isEnabled();
            dialog.RestoreFactoryBox().click();
            dialog.RestoreFactoryBox().click();
            enabledAfterUntick = dialog.OkButton().isEnabled();
            zero->store(false);
            enabledAfterwards = testsupport::WaitUntil([&] { return dialog.OkButton().isEnabled(); });
            dialog.SendCommand(IDCANCEL);
        });
    SetupPage().CalibrateButton().click();
    EXPECT_FALSE(enabledOnZero);
    EXPECT_FALSE(enabledAfterUntick);
    EXPECT_TRUE(enabledAfterwards);
    EXPECT_EQ(Setting(kDepthConnection, probesim::depthsensor::kPressureOffset), 0.0f);
}

TEST_F(SensorSetupPageTest, OkAfterAZeroNamesACalibrationModeTheProbeWouldNotLeave)
{
    ConnectTo(kVoxCore);
    Select(Entries()[3]);
    Sim().RequestFaults().Refuse(
        probesim::RequestMatch::Write(probesim::SensorCommandRegisterOf(kDepthConnection),
                                      probesim::kSensorCalModeOff),
        probesim::ExceptionCode::SlaveDeviceFailure, probesim::RequestFaults::kEveryTime);
    OnNextModal(
        [&](QWidget& modal)
        {
            auto& dialog = As<CDlgPressureCal>(modal);
            ASSERT_TRUE(testsupport::WaitUntil([&] { return dialog.OkButton().isEnabled(); }));
            dialog.OkButton().click();
        });
    SetupPage().CalibrateButton().click();
    Sim().RequestFaults().Clear();
    EXPECT_TRUE(HasBox("The probe did not get back everything the calibration changed. It may still have:\n"
                       "- the pressure sensor in calibration mode\n"
                       "Check the connection to the probe and correct these settings."))
        << (BoxTexts().empty() ? std::string() : BoxTexts().back().toStdString());
    EXPECT_NE(Probe().Sensors().Mode(kDepthConnection), probesim::SensorMode::Measuring);
    EXPECT_NE(Setting(kDepthConnection, probesim::depthsensor::kPressureOffset), 0.0f)
        << "the zero was taken";
}

TEST_F(SensorSetupPageTest, AReadingErrorEndsThePressureZeroingAsCancelDoes)
{
    ConnectTo(kVoxCore);
    Select(Entries()[3]);
    const USHORT cacheTimeout = Probe().MeasurementCacheTimeout();
    auto refusing = std::make_shared<std::atomic<bool>>(false);
    RefuseReads(kDepthConnection, probesim::ParameterBlockOffset(1), probesim::kParameterBlockRegisters,
                refusing);
    OnNextModal(
        [&](QWidget& modal)
        {
            auto& dialog = As<CDlgPressureCal>(modal);
            ASSERT_TRUE(testsupport::WaitUntil([&] { return !dialog.GetValueText().isEmpty(); }));
            refusing->store(true);
        });
    SetupPage().CalibrateButton().click();
    EXPECT_TRUE(HasBox("Reading error occurred.\nTerminating calibration."));
    EXPECT_EQ(Probe().Sensors().CommandsCarriedOut(kDepthConnection),
              (std::vector<uint16_t>{probesim::kSensorCalModeOn, probesim::kSensorCalModeOff}));
    EXPECT_EQ(Probe().MeasurementCacheTimeout(), cacheTimeout);
}

TEST_F(SensorSetupPageTest, AFailedStartKeepsOkForTheFactoryRestoreAlone)
{
    ConnectTo(kVoxCore);
    NVSystem::ISensor_PressureDepth* sensor = nullptr;
    ASSERT_EQ(theProbeConnection.GetPressureDepthSensor(sensor), S_OK);
    Probe().Sensors().Unplug(kDepthConnection);
    CDlgPressureCal dialog(&SetupPage());
    dialog.m_pSensor = sensor;
    dialog.m_nConnection = kDepthConnection;
    const int result = testsupport::RunModal(
        dialog,
        [&]
        {
            const QString box = LastBoxText().value_or(QString());
            EXPECT_TRUE(box.startsWith("Failed to update sensor cache\nError Code: 81010094"));
            EXPECT_FALSE(dialog.OkButton().isEnabled());
            EXPECT_EQ(dialog.GetValueLabel(), "Current Value ():") << "the label as it stands without a unit";
            dialog.RestoreFactoryBox().click();
            EXPECT_TRUE(dialog.OkButton().isEnabled());
            testsupport::SavePicture(dialog, "SensorSetup.PressureCal.Restore");
            dialog.RestoreFactoryBox().click();
            EXPECT_FALSE(dialog.OkButton().isEnabled()) << "no reading yet";
            dialog.SendCommand(IDCANCEL);
        });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_TRUE(Probe().Sensors().CommandsCarriedOut(kDepthConnection).empty());
}

// ---- The popups on their own ----

class SensorPopupTest : public AppWindowTest
{
};

TEST_F(SensorPopupTest, TheBarometricDialogDerivesEitherQuantityAndRefusesWhatIsOutOfRange)
{
    CDlgEditBaro dialog;
    dialog.SetPressureMbar(1013.25);
    testsupport::RunModal(dialog,
                          [&]
                          {
                              EXPECT_TRUE(dialog.PressureEdit().isEnabled());
                              EXPECT_FALSE(dialog.ElevationEdit().isEnabled());
                              EXPECT_EQ(dialog.GetPressureRangeText(), "(506.68 to 1114.5 mBar)");
                              EXPECT_EQ(dialog.ElevationEdit().text(), "0");
                              QTest::keyClicks(&dialog.PressureEdit(), "-x");
                              EXPECT_EQ(dialog.PressureEdit().text(), "1013.25");
                              dialog.PressureEdit().setText("2000");
                              EXPECT_TRUE(dialog.ElevationEdit().text().isEmpty());
                              EXPECT_FALSE(dialog.OkButton().isEnabled());

                              dialog.ElevationRadio().click();
                              EXPECT_TRUE(dialog.ElevationEdit().isEnabled());
                              EXPECT_FALSE(dialog.PressureUnits().isEnabled());
                              dialog.ElevationEdit().setText("1000");
                              EXPECT_NEAR(dialog.PressureEdit().text().toDouble(), 898.746, 0.01);
                              EXPECT_TRUE(dialog.OkButton().isEnabled());
                              testsupport::SavePicture(dialog, "SensorSetup.EditBaro");
                              dialog.OkButton().click();
                          });
    EXPECT_NEAR(dialog.GetPressureMbar(), 898.746, 0.01);

    // Opened again: the elevation entry chosen last.
    CDlgEditBaro again;
    testsupport::RunModal(again,
                          [&]
                          {
                              EXPECT_TRUE(again.ElevationRadio().isChecked());
                              again.ElevationUnits().setCurrentIndex(4);
                              EXPECT_EQ(again.GetElevationRangeText(), "(-2660.9 to 17967 ft)");
                              again.SendCommand(IDCANCEL);
                          });
}

// 407 is about one atmosphere in inH2O, the list's last unit, but a mountain top's pressure in
// mmHg: the number typed is read in the unit chosen last.
TEST_F(SensorPopupTest, TheBarometricDialogReadsThePressureInItsLastUnit)
{
    CDlgEditBaro dialog;
    dialog.SetPressureMbar(1013.25);
    testsupport::RunModal(dialog,
                          [&]
                          {
                              CNVComboBox& units = dialog.PressureUnits();
                              EXPECT_EQ(units.itemText(units.count() - 1), "inH2O");
                              units.setCurrentIndex(units.findText("mmHg"));
                              dialog.PressureEdit().setText("407");
                              units.setCurrentIndex(units.findText("inH2O"));
                              EXPECT_EQ(units.currentText(), "inH2O");
                              EXPECT_EQ(dialog.PressureEdit().text(), "407");
                              EXPECT_EQ(dialog.GetPressureRangeText(), "(203.41 to 447.45 inH2O)");
                              EXPECT_TRUE(dialog.OkButton().isEnabled());
                              dialog.OkButton().click();
                          });
    EXPECT_NEAR(dialog.GetPressureMbar(), 1013.79, 0.01) << "not 542.6 mBar, 407 mmHg";
}

TEST_F(SensorPopupTest, TheSalinityDialogTakesZeroTo350)
{
    CDlgEditSalinity dialog;
    dialog.m_strSalinity = "12";
    testsupport::RunModal(dialog,
                          [&]
                          {
                              EXPECT_EQ(dialog.GetRangeText(), "(0 to 350 PSU)");
                              EXPECT_TRUE(dialog.OkButton().isEnabled());
                              dialog.Edit().setText("350.5");
                              EXPECT_FALSE(dialog.OkButton().isEnabled());
                              dialog.Edit().setText("350");
                              EXPECT_TRUE(dialog.OkButton().isEnabled());
                              dialog.Edit().clear();
                              EXPECT_FALSE(dialog.OkButton().isEnabled());
                              dialog.SendCommand(IDCANCEL);
                          });
}

TEST_F(SensorPopupTest, TheValueEntryKeepsItsRangeAndTheCaretWhereARefusedCharacterWasTyped)
{
    CDlgPopup_EditValue popup;
    popup.m_strTitle = "Modbus Address";
    popup.m_strValueLabel = "Address:";
    popup.m_strRangeLabel = "(1 to 247)";
    popup.m_fValue = 12;
    popup.m_fMin = 1;
    popup.m_fMax = 247;
    popup.m_bAllowMinus = FALSE;
    popup.m_bAllowDecimal = FALSE;
    const int result = testsupport::RunModal(popup,
                                             [&]
                                             {
                                                 CNVEdit& edit = popup.Edit();
                                                 EXPECT_EQ(edit.selectedText(), "12");
                                                 edit.setCursorPosition(1);
                                                 QTest::keyClicks(&edit, "x");
                                                 EXPECT_EQ(edit.text(), "12");
                                                 EXPECT_EQ(edit.cursorPosition(), 1);
                                                 edit.setCursorPosition(0);
                                                 QTest::keyClicks(&edit, "-");
                                                 EXPECT_EQ(edit.text(), "12");
                                                 edit.setText("300");
                                                 EXPECT_FALSE(popup.OkButton().isEnabled());
                                                 edit.setText("30");
                                                 EXPECT_TRUE(popup.OkButton().isEnabled());
                                                 testsupport::SavePicture(popup, "SensorSetup.EditValue");
                                                 popup.OkButton().click();
                                             });
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(popup.m_fValue, 30.0f);

    // A value whose text is rounded comes back exactly when the text is left alone; a typed one is
    // the number typed.
    for (const auto& [typedText, expected] :
         {std::pair{QString(), 1234567.0f}, {QStringLiteral("1234560"), 1234560.0f}})
    {
        const QString typed = typedText;
        CDlgPopup_EditValue sentinel;
        sentinel.m_fValue = 1234567.0f;
        testsupport::RunModal(sentinel,
                              [&]
                              {
                                  EXPECT_EQ(sentinel.Edit().text(), "1.23457e+06");
                                  if (!typed.isEmpty())
                                      sentinel.Edit().setText(typed);
                                  sentinel.OkButton().click();
                              });
        EXPECT_EQ(sentinel.m_fValue, expected) << typed.toStdString();
    }
}

TEST_F(SensorPopupTest, TheReportViewLetsNothingBeCopied)
{
    QApplication::clipboard()->setText("before");
    CEditViewOnly view;
    view.setPlainText("Calibration report\nline 2");
    view.show();
    QTest::keyClick(&view, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(&view, Qt::Key_C, Qt::ControlModifier);
    view.copy();
    EXPECT_EQ(QApplication::clipboard()->text(), "before");
    EXPECT_FALSE(view.textCursor().hasSelection());
    EXPECT_EQ(view.contextMenuPolicy(), Qt::NoContextMenu);
}

} // namespace
} // namespace apptest
