#include "calibration/wizard/DlgWizPageCalPHStep2.h"

#include "calibration/data/CalDataPHORP.h"
#include "ui/NumericText.h"
#include "ui/QtText.h"

namespace
{

constexpr UINT kReadingDigits = 5;
constexpr UINT kChangeDigits = 4;
constexpr UINT kTemperatureDigits = 4;

QString Formatted(UINT digits, double value)
{
    return ui::ToQString(static_cast<const char16_t*>(FormatValue(digits, value)));
}

} // namespace

CDlgWizPage_CalPHStep2::CDlgWizPage_CalPHStep2()
    : CDlgWizPage_CalStabilize(IDD_CAL_PH_STEP2, QStringLiteral("pH Calibration - Stabilization"),
                               QStringLiteral("pH Calibration - Summary")),
      m_reading(this), m_change(this), m_temperature(this)
{
    SetDlgCtrlID(&m_solution, 1171);
    MakeReadOnly(m_reading, 1172);
    MakeReadOnly(m_change, 1173);
    MakeReadOnly(m_temperature, 1152);
    LayoutFields(QStringLiteral("Calibration Solution (pH):"),
                 {{new QLabel(QStringLiteral("pH Reading (mV):"), this), &m_reading},
                  {new QLabel(QStringLiteral("Delta (mV)"), this), &m_change},
                  {new QLabel(QStringLiteral("Current Temperature (C):"), this), &m_temperature}});
}

void CDlgWizPage_CalPHStep2::ClearFields()
{
    CDlgWizPage_CalStabilize::ClearFields();
    for (CNVEdit* field : {&m_reading, &m_change, &m_temperature})
        field->clear();
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
        m_reading.setText(Formatted(kReadingDigits, reading));
        m_change.setText(Formatted(kChangeDigits, store.GetLastChange(1)));
        m_temperature.setText(Formatted(kTemperatureDigits, temperature));
    }
    return TRUE;
}
