#include "calibration/wizard/DlgWizPageCalPHStep2.h"

#include "calibration/data/CalDataPHORP.h"
#include "ui/QtText.h"

namespace
{

constexpr UINT kReadingDigits = 5;
constexpr UINT kChangeDigits = 4;
constexpr UINT kTemperatureDigits = 4;

} // namespace

CDlgWizPage_CalPHStep2::CDlgWizPage_CalPHStep2()
    : CDlgWizPage_CalStabilize(IDD_CAL_PH_STEP2, QStringLiteral("pH Calibration - Stabilization"),
                               QStringLiteral("pH Calibration - Summary"))
{
    SetDlgCtrlID(&m_solution, 1171);
    SetDlgCtrlID(&m_reading, 1172);
    SetDlgCtrlID(&m_change, 1173);
    SetDlgCtrlID(&m_temperature, 1152);
    LayoutFields(QStringLiteral("Calibration Solution (pH):"),
                 new QLabel(QStringLiteral("pH Reading (mV):"), this), QStringLiteral("Delta (mV)"));
}

QString CDlgWizPage_CalPHStep2::PreparePointPrompt(CCalData& data)
{
    CWideString point;
    if (auto* phOrp = dynamic_cast<CCalDataPHORP*>(&data);
        phOrp != nullptr && phOrp->GetCurrentPointText(point))
        m_solution.setText(ui::ToQString(static_cast<const char16_t*>(point)));
    return QStringLiteral("Place sensor into %1 solution.").arg(m_solution.text());
}

BOOL CDlgWizPage_CalPHStep2::UpdateReadings(CCalData& data, BOOL show)
{
    auto* phOrp = dynamic_cast<CCalDataPHORP*>(&data);
    if (phOrp == nullptr)
        return FALSE;
    const uint32_t point = phOrp->GetCurrentPoint();
    if (point >= static_cast<uint32_t>(CCalDataPHORP::kMaxPoints))
        return FALSE;
    const CCalSampleStore& store = phOrp->PointSamples(static_cast<int>(point));
    float reading = 0.0f;
    float temperature = 0.0f;
    if (store.GetLast(1, &reading, nullptr, nullptr) < 0 ||
        store.GetLast(0, &temperature, nullptr, nullptr) < 0)
        return FALSE;
    if (show)
    {
        m_reading.setText(FormattedValue(kReadingDigits, reading));
        m_change.setText(FormattedValue(kChangeDigits, store.GetLastChange(1)));
        m_temperature.setText(FormattedValue(kTemperatureDigits, temperature));
    }
    return TRUE;
}
