#include "calibration/wizard/DlgWizPageCalCondStep2.h"

#include "calibration/data/CalDataConductivity.h"
#include "ui/QtText.h"

namespace
{

constexpr UINT kConductivityDigits = 6;
constexpr UINT kDetailDigits = 4;
constexpr float kRefTemp20 = 20.0f;

} // namespace

CDlgWizPage_CalCondStep2::CDlgWizPage_CalCondStep2()
    : CDlgWizPage_CalStabilize(IDD_CAL_COND_STEP2, QStringLiteral("Conductivity Calibration - Stabilization"),
                               QStringLiteral("Conductivity Calibration - Summary")),
      m_conductivityLabel(QStringLiteral("Specific Conductivity (µS/cm @ 25° C):"), this),
      m_newCellConstant(this), m_oldCellConstant(this)
{
    SetDlgCtrlID(&m_solution, 1205);
    SetDlgCtrlID(&m_reading, 1206);
    SetDlgCtrlID(&m_change, 1207);
    SetDlgCtrlID(&m_temperature, 1157);
    MakeReadOnly(m_newCellConstant, 1208);
    MakeReadOnly(m_oldCellConstant, 1209);
    LayoutFields(QStringLiteral("Calibration Solution:"), &m_conductivityLabel,
                 QStringLiteral("Delta (µS/cm):"),
                 {{new QLabel(QStringLiteral("New Cell Constant:"), this), &m_newCellConstant},
                  {new QLabel(QStringLiteral("Original Cell Constant:"), this), &m_oldCellConstant}});
}

BOOL CDlgWizPage_CalCondStep2::OnSetActive(UINT nDirection)
{
    if (auto* data = CalDataAs<CCalDataConductivity>())
        m_conductivityLabel.setText(QStringLiteral("Specific Conductivity (µS/cm %1):")
                                        .arg(data->GetStandardRefTemp() == kRefTemp20
                                                 ? QStringLiteral("@ 20° C")
                                                 : QStringLiteral("@ 25° C")));
    return CDlgWizPage_CalStabilize::OnSetActive(nDirection);
}

void CDlgWizPage_CalCondStep2::ClearFields()
{
    CDlgWizPage_CalStabilize::ClearFields();
    m_newCellConstant.clear();
    m_oldCellConstant.clear();
}

QString CDlgWizPage_CalCondStep2::PreparePointPrompt(CCalData& data)
{
    CWideString standard;
    if (auto* conductivity = dynamic_cast<CCalDataConductivity*>(&data))
        conductivity->GetStandardText(standard);
    m_solution.setText(ui::ToQString(static_cast<const char16_t*>(standard)));
    return QStringLiteral("Place sensor into %1 solution.").arg(m_solution.text());
}

BOOL CDlgWizPage_CalCondStep2::UpdateReadings(CCalData& data, BOOL show)
{
    auto* conductivity = dynamic_cast<CCalDataConductivity*>(&data);
    if (conductivity == nullptr)
        return FALSE;
    float specific = 0.0f;
    float temperature = 0.0f;
    USHORT quality = 0;
    USHORT unit = 0;
    if (!conductivity->GetLatestReading(specific, quality, unit, temperature, quality, unit))
        return FALSE;
    if (show)
    {
        m_oldCellConstant.setText(
            FormattedValue(kDetailDigits, conductivity->GetOldCalibration().cellConstant));
        m_newCellConstant.setText(
            FormattedValue(kDetailDigits, conductivity->GetNewCalibration().cellConstant));
        m_change.setText(FormattedValue(kDetailDigits, conductivity->LiveReadings().GetLastChange(1)));
        m_temperature.setText(FormattedValue(kDetailDigits, temperature));
        m_reading.setText(FormattedValue(kConductivityDigits, specific));
    }
    return TRUE;
}
