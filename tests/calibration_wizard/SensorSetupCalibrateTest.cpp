// Calibrate on the sensor setup page opens the wizard of the selected sensor through the dispatch
// the calibration installs, and afterwards the page shows the sensor's settings as they now are.
#include <QAbstractButton>
#include <QListWidget>

#include "app/pages/CtrlPageSensorSetup.h"
#include "calibration/wizard/DlgWizFrameCalConductivity.h"
#include "calibration/wizard/DlgWizFrameCalPHORP.h"
#include "calibration/wizard/DlgWizFrameCalVOX.h"
#include "tests/calibration_wizard/WizardTestSupport.h"
#include "tools/probe-sim/ConductivitySensor.h"
#include "tools/probe-sim/OpticalDoSensor.h"

namespace wiztest
{
namespace
{

class SensorSetupCalibrate : public WizardTest
{
protected:
    void SetUp() override
    {
        m_previous = CCtrlPage_SensorSetup::SetCalibrationDispatch(nullptr);
        InstallCalibrationDispatch();
        StartConnected();
        m_page = std::make_unique<CCtrlPage_SensorSetup>();
        m_page->Create(nullptr);
        ASSERT_TRUE(testsupport::ShowAndActivate(*m_page));
        m_page->SendNotify(windowmsg::WM_DEVICE_CONNECTED);
        ASSERT_TRUE(testsupport::WaitUntil([&] { return m_page->SensorList().count() > 2; }));
    }

    void TearDown() override
    {
        m_page.reset();
        CCtrlPage_SensorSetup::SetCalibrationDispatch(m_previous);
    }

    void Select(uint16_t connection)
    {
        QListWidget& list = m_page->SensorList();
        for (int row = 0; row < list.count(); ++row)
        {
            list.setCurrentRow(row);
            testsupport::PumpEvents();
            if (m_page->GetSelectedSensorItem() == connection)
                return;
        }
        ADD_FAILURE() << "no entry for connection " << connection;
    }

    QString Text(UINT id) { return m_page->GetControlText(id); }

    bool Checked(UINT id)
    {
        for (QAbstractButton* button : m_page->findChildren<QAbstractButton*>())
            if (CNVDialog::GetDlgCtrlID(button) == id)
                return button->isChecked();
        return false;
    }

    std::unique_ptr<CCtrlPage_SensorSetup> m_page;

private:
    CCtrlPage_SensorSetup::CalibrationDispatch m_previous;
};

TEST_F(SensorSetupCalibrate, EachSensorOpensItsOwnWizard)
{
    const std::pair<uint16_t, QString> sensors[] = {
        {kConductivity, QStringLiteral("Conductivity Calibration - Select Method")},
        {kPhOrp, QStringLiteral("pH/ORP Calibration - Select")},
        {kOxygen, QStringLiteral("DO Calibration - Select Method")}};
    for (const auto& [connection, title] : sensors)
    {
        Select(connection);
        ASSERT_TRUE(m_page->CalibrateButton().isEnabled());
        QString shown;
        OnNextWizard(
            [&shown](CDlgWizFrame_Cal& frame)
            {
                shown = frame.windowTitle();
                ClickCancel(frame);
            });
        Click(m_page->CalibrateButton());
        EXPECT_EQ(shown, title) << connection;
    }
}

TEST_F(SensorSetupCalibrate, TheConductivityWizardsReferenceTemperatureShowsOnThePageAfterwards)
{
    Probe().Registers().SetFloat(Register(kConductivity, probesim::kProbeConductivity.referenceTemperature),
                                 25.0f);
    Select(kConductivity);
    OnNextWizard(
        [](CDlgWizFrame_Cal& frame)
        {
            Click(dynamic_cast<CDlgWizFrame_CalConductivity&>(frame).Step1().RefTemp20());
            ClickCancel(frame);
        });
    Click(m_page->CalibrateButton());
    EXPECT_EQ(SimFloat(kConductivity, probesim::kProbeConductivity.referenceTemperature), 20.0f);
    EXPECT_TRUE(Checked(IDC_SETUP_REF_TEMP_20));
    EXPECT_FALSE(Checked(IDC_SETUP_REF_TEMP_25));
}

TEST_F(SensorSetupCalibrate, AfterTheOpticalWizardThePageShowsTheSensorsLiveSalinityAndPressure)
{
    Select(kOxygen);
    // Changed behind the page's back: what it shows now is stale.
    Probe().Registers().SetFloat(Register(kOxygen, probesim::dosensor::kLiveBaro), 987.5f);
    Probe().Registers().SetFloat(Register(kOxygen, probesim::dosensor::kLiveSalinity), 12.5f);
    ASSERT_NE(Text(IDC_SETUP_LIVE_BARO), QStringLiteral("987.500"));
    OnNextWizard(
        [](CDlgWizFrame_Cal& frame)
        {
            // The pages write their own values into the sensor; cancelling gives the sensor's back.
            ClickNext(frame);
            TypeInto(dynamic_cast<CDlgWizFrame_CalVOX&>(frame).SalinityPage().SalinityEdit(),
                     QStringLiteral("30"));
            ClickNext(frame);
            ClickNext(frame);
            ClickCancel(frame);
        });
    Click(m_page->CalibrateButton());
    EXPECT_EQ(SimFloat(kOxygen, probesim::dosensor::kLiveSalinity), 12.5f);
    EXPECT_EQ(Text(IDC_SETUP_LIVE_BARO), QStringLiteral("987.500"));
    EXPECT_EQ(Text(IDC_SETUP_LIVE_SALINITY), QStringLiteral("12.5000"));
    testsupport::SavePicture(*m_page, "SensorSetupCalibrate_AfterOpticalWizard");
}

} // namespace
} // namespace wiztest
