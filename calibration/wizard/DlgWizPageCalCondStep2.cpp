#include "calibration/wizard/DlgWizPageCalCondStep2.h"

#include "calibration/data/CalDataConductivity.h"
#include "ui/NumericText.h"
#include "ui/QtText.h"

namespace
{

constexpr UINT kConductivityDigits = 6;
constexpr UINT kDetailDigits = 4;

QString Formatted(UINT digits, double value)
{
    return ui::ToQString(static_cast<const char16_t*>(FormatValue(digits, value)));
}

} // namespace

CDlgWizPage_CalCondStep2::CDlgWizPage_CalCondStep2()
    : CDlgWizPage_CalStabilize(IDD_CAL_COND_STEP2, QStringLiteral("Conductivity Calibration - Stabilization"),
                               QStringLiteral("Conductivity Calibration - Summary")),
      m_conductivityLabel(this), m_conductivity(this), m_change(this), m_temperature(this),
      m_newCellConstant(this), m_oldCellConstant(this)
{
    SetDlgCtrlID(&m_solution, 1205);
    MakeReadOnly(m_conductivity, 1206);
    MakeReadOnly(m_change, 1207);
    MakeReadOnly(m_temperature, 1157);
    MakeReadOnly(m_newCellConstant, 1208);
    MakeReadOnly(m_oldCellConstant, 1209);
    m_conductivityLabel.setText(QStringLiteral("Specific Conductivity (µS/cm @ 25° C):"));
    LayoutFields(QStringLiteral("Calibration Solution:"),
                 {{&m_conductivityLabel, &m_conductivity},
                  {new QLabel(QStringLiteral("Delta (µS/cm):"), this), &m_change},
                  {new QLabel(QStringLiteral("Current Temperature (C):"), this), &m_temperature},
                  {new QLabel(QStringLiteral("New Cell Constant:"), this), &m_newCellConstant},
                  {new QLabel(QStringLiteral("Original Cell Constant:"), this), &m_oldCellConstant}});
}

BOOL CDlgWizPage_CalCondStep2::OnSetActive(UINT nDirection)
{
    if (auto* data = CalDataAs<CCalDataConductivity>())
        m_conductivityLabel.setText(QStringLiteral("Specific Conductivity (µS/cm %1):")
                                        .arg(data->GetStandardRefTemp() == 20.0f
                                                 ? QStringLiteral("@ 20° C")
                                                 : QStringLiteral("@ 25° C")));
    return CDlgWizPage_CalStabilize::OnSetActive(nDirection);
}

void CDlgWizPage_CalCondStep2::ClearFields()
{
    CDlgWizPage_CalStabilize::ClearFields();
    for (CNVEdit* field :
         {&m_conductivity, &m_change, &m_temperature, &m_newCellConstant, &m_oldCellConstant})
        field->clear();
}

QString CDlgWizPage_CalCondStep2::PreparePointPrompt(CCalData& data)
{
    CWideString standard;
    if (auto* conductivity = dynamic_cast<CCalDataConductivity*>(&data))
        conductivity->GetStandardText(standard);
    const QString text = ui::ToQString(static_cast<const char16_t*>(standard));
    m_solution.setText(text);
    return QStringLiteral("Place sensor into %1 solution.").arg(text);
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
    if (!show)
        return TRUE;
    const float change = conductivity->LiveReadings().GetLastChange(1);
    m_oldCellConstant.setText(Formatted(kDetailDigits, conductivity->GetOldCalibration().cellConstant));
    m_newCellConstant.setText(Formatted(kDetailDigits, conductivity->GetNewCalibration().cellConstant));
    m_change.setText(Formatted(kDetailDigits, change));
    m_temperature.setText(Formatted(kDetailDigits, temperature));
    m_conductivity.setText(Formatted(kConductivityDigits, specific));
    return TRUE;
}
