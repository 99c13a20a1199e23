#include "calibration/wizard/DlgWizPageCalVOXStep2Salinity.h"

#include <QGridLayout>
#include <QSignalBlocker>

#include "calibration/wizard/DlgWizFrameCalVOX.h"
#include "ui/DialogUnits.h"
#include "ui/NumberEntry.h"
#include "ui/NumericText.h"
#include "ui/QtText.h"
#include "ui/WaitForWork.h"

namespace
{

constexpr int kMarginDu = 14;
constexpr int kEditWidthDu = 60;

} // namespace

CDlgWizPage_CalVOXStep2_Salinity::CDlgWizPage_CalVOXStep2_Salinity()
    : CDlgWizPage_Cal(IDD_CAL_VOX_SALINITY),
      m_prompt(QStringLiteral("Enter calibration Salinity (PSU):"), this), m_salinity(this), m_range(this)
{
    SetDlgCtrlID(&m_prompt, 1276);
    SetDlgCtrlID(&m_salinity, 1275);
    SetDlgCtrlID(&m_range, 1274);
    const QRect margin = DialogUnitsToPixels(this, 0, 0, kMarginDu, kEditWidthDu);
    m_salinity.setFixedWidth(margin.height());
    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(margin.width(), margin.width(), margin.width(), margin.width());
    layout->addWidget(&m_prompt, 0, 0);
    layout->addWidget(&m_salinity, 0, 1);
    layout->addWidget(&m_range, 0, 2);
    layout->setColumnStretch(3, 1);
    layout->setRowStretch(1, 1);
    connect(&m_salinity, &QLineEdit::textEdited, this, [this] { Validate(); });
}

BOOL CDlgWizPage_CalVOXStep2_Salinity::OnInitDialog()
{
    CDlgWizPage_Cal::OnInitDialog();
    m_range.setText(ui::ToQString(static_cast<const char16_t*>(
        FormatRangeText(SALINITY_MIN_PSU, SALINITY_MAX_PSU, SALINITY_UNIT_PSU))));
    const QSignalBlocker block(m_salinity);
    m_salinity.setText(ui::ToQString(static_cast<const char16_t*>(FormatValue(6, 0.0))));
    return TRUE;
}

BOOL CDlgWizPage_CalVOXStep2_Salinity::OnSetActive(UINT)
{
    if (CalData() == nullptr)
        return FALSE;
    SetTitle(QStringLiteral("DO Calibration - Configure Salinity"));
    Validate();
    return TRUE;
}

void CDlgWizPage_CalVOXStep2_Salinity::Validate()
{
    const CWideString text = ui::ToWideString(m_salinity.text());
    const BOOL valid = IsSalinityTextValid(text);
    if (valid)
        m_validSalinity = static_cast<float>(ReadTypedNumber(text).value_or(0.0));
    EnableNext(valid);
}

BOOL CDlgWizPage_CalVOXStep2_Salinity::OnWizardNext()
{
    auto* data = CalDataAs<CCalDataVOX>();
    if (data == nullptr)
        return FALSE;
    // An entry out of range keeps Next disabled; a shortcut must not get past it either.
    if (!IsSalinityTextValid(ui::ToWideString(m_salinity.text())))
        return FALSE;
    if (const float salinity = m_validSalinity;
        Succeeded(ui::WaitForWork([data, salinity] { return data->WriteLiveSalinity(salinity); })))
        return TRUE;
    MessageBox(QStringLiteral("Failed to update live salinity value."), platform::MB_ICONERROR);
    return FALSE;
}
