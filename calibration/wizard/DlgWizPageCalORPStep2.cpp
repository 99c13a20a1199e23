#include "calibration/wizard/DlgWizPageCalORPStep2.h"

#include "calibration/data/CalDataPHORP.h"
#include "ui/QtText.h"

namespace
{

constexpr UINT kReadingDigits = 5;
constexpr UINT kChangeDigits = 3;
constexpr UINT kTemperatureDigits = 4;

} // namespace

CDlgWizPage_CalORPStep2::CDlgWizPage_CalORPStep2()
    : CDlgWizPage_CalStabilize(IDD_CAL_ORP_STEP2, QStringLiteral("ORP Calibration - Stabilization"),
                               QStringLiteral("ORP Calibration - Summary"))
{
    SetDlgCtrlID(&m_solution, 1171);
    SetDlgCtrlID(&m_reading, 1178);
    SetDlgCtrlID(&m_change, 1173);
    SetDlgCtrlID(&m_temperature, 1157);
    LayoutFields(QStringLiteral("Calibration Solution (mV):"),
                 new QLabel(QStringLiteral("ORP Reading (mV):"), this), QStringLiteral("Delta (mV):"));
}

QString CDlgWizPage_CalORPStep2::PreparePointPrompt(CCalData& data)
{
    CWideString point;
    if (auto* phOrp = dynamic_cast<CCalDataPHORP*>(&data);
        phOrp != nullptr && phOrp->GetCurrentPointText(point))
        m_solution.setText(ui::ToQString(static_cast<const char16_t*>(point)));
    // A named standard has no unit word: two blanks stand before "solution".
    return QStringLiteral("Place sensor into %1 %2 solution.")
        .arg(m_solution.text(), ui::ToQString(static_cast<const char16_t*>(data.GetUnitsText())));
}

BOOL CDlgWizPage_CalORPStep2::UpdateReadings(CCalData& data, BOOL show)
{
    auto* phOrp = dynamic_cast<CCalDataPHORP*>(&data);
    if (phOrp == nullptr)
        return FALSE;
    float reading = 0.0f;
    float temperature = 0.0f;
    float change = 0.0f;
    float temperatureChange = 0.0f;
    if (phOrp->ORPSamples().GetLast(1, &reading, nullptr, nullptr) < 0 ||
        phOrp->ORPSamples().GetLast(0, &temperature, nullptr, nullptr) < 0 ||
        !phOrp->GetLastChange(1, change, temperatureChange))
        return FALSE;
    if (show)
    {
        m_reading.setText(FormattedValue(kReadingDigits, reading));
        m_change.setText(FormattedValue(kChangeDigits, change));
        m_temperature.setText(FormattedValue(kTemperatureDigits, temperature));
    }
    return TRUE;
}
