#include "calibration/wizard/DlgWizPageCalVOXStep3Calibrate.h"

#include "calibration/data/CalDataVOX.h"
#include "ui/WaitForWork.h"

namespace
{

constexpr UINT kChangeDigits = 3;
constexpr UINT kReadingDigits = 4;

} // namespace

CDlgWizPage_CalVOXStep3_Calibrate::CDlgWizPage_CalVOXStep3_Calibrate()
    : CDlgWizPage_CalStabilize(IDD_CAL_VOX_CALIBRATE, QStringLiteral("DO Calibration - Stabilization"),
                               QStringLiteral("DO Calibration - Summary"))
{
    SetDlgCtrlID(&m_solution, 1181);
    SetDlgCtrlID(&m_reading, 1182);
    SetDlgCtrlID(&m_change, 1183);
    SetDlgCtrlID(&m_temperature, 1184);
    LayoutFields(QStringLiteral("Calibration Solution (DO):"),
                 new QLabel(QStringLiteral("DO Reading (mgL):"), this), QStringLiteral("Delta (mgL):"));
}

QString CDlgWizPage_CalVOXStep3_Calibrate::PreparePointPrompt(CCalData& data)
{
    float target = 0.0f;
    if (auto* vox = dynamic_cast<CCalDataVOX*>(&data))
        vox->GetCurrentPointTarget(target);
    m_solution.setText(QString::number(static_cast<double>(target), 'f', 0));
    return QStringLiteral("Place sensor into %1% sat solution.").arg(m_solution.text());
}

BOOL CDlgWizPage_CalVOXStep3_Calibrate::UpdateReadings(CCalData& data, BOOL show)
{
    auto* vox = dynamic_cast<CCalDataVOX*>(&data);
    if (vox == nullptr)
        return FALSE;
    float oxygen = 0.0f;
    float temperature = 0.0f;
    if (vox->LiveReadings().GetLast(1, &oxygen, nullptr, nullptr) < 0 ||
        vox->LiveReadings().GetLast(0, &temperature, nullptr, nullptr) < 0)
        return FALSE;
    const uint32_t point = vox->GetCurrentPoint();
    if (point >= static_cast<uint32_t>(CCalDataVOX::kMaxPoints))
        return FALSE;
    if (show)
    {
        m_change.setText(
            FormattedValue(kChangeDigits, vox->PointSamples(static_cast<int>(point)).GetLastChange(1)));
        m_reading.setText(FormattedValue(kReadingDigits, oxygen));
        m_temperature.setText(FormattedValue(kReadingDigits, temperature));
    }
    return TRUE;
}

void CDlgWizPage_CalVOXStep3_Calibrate::AfterCommit(CCalData& data)
{
    if (auto* vox = dynamic_cast<CCalDataVOX*>(&data))
        ui::WaitForWork([vox] { vox->RestoreLiveInputs(); });
}
