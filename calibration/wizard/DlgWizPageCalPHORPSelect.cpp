#include "calibration/wizard/DlgWizPageCalPHORPSelect.h"

#include <QVBoxLayout>

#include "calibration/data/CalDataPHORP.h"
#include "calibration/wizard/DlgWizFrameCalPHORP.h"
#include "ui/DialogUnits.h"

namespace
{

constexpr int kMarginDu = 14;
constexpr int kOptionSpacingDu = 6;

} // namespace

CDlgWizPage_CalPHORPSelect::CDlgWizPage_CalPHORPSelect()
    : CDlgWizPage_Cal(IDD_CAL_PHORP_SELECT), m_prompt(QStringLiteral("Select Calibration Option:"), this),
      m_restore(QStringLiteral("Restore factory calibration"), this),
      m_pH(QStringLiteral("Calibrate pH"), this), m_orp(QStringLiteral("Calibrate ORP"), this)
{
    SetDlgCtrlID(&m_prompt, 1154);
    SetDlgCtrlID(&m_restore, IDC_CAL_PHORP_RESTORE);
    SetDlgCtrlID(&m_pH, IDC_CAL_PHORP_PH);
    SetDlgCtrlID(&m_orp, IDC_CAL_PHORP_ORP);
    const QRect margin = DialogUnitsToPixels(this, 0, 0, kMarginDu, kOptionSpacingDu);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(margin.width(), margin.width(), margin.width(), margin.width());
    layout->setSpacing(margin.height());
    layout->addWidget(&m_prompt);
    for (CNVRadioButton* option : {&m_restore, &m_pH, &m_orp})
        layout->addWidget(option);
    layout->addStretch();
    connect(&m_restore, &QRadioButton::clicked, this,
            [this] { OnOptionClicked(PHORP_MODE_RESTORE_DEFAULTS); });
    connect(&m_pH, &QRadioButton::clicked, this, [this] { OnOptionClicked(PHORP_MODE_PH); });
    connect(&m_orp, &QRadioButton::clicked, this, [this] { OnOptionClicked(PHORP_MODE_ORP); });
}

CCalDataPHORP* CDlgWizPage_CalPHORPSelect::Data() const
{
    return CalDataAs<CCalDataPHORP>();
}

BOOL CDlgWizPage_CalPHORPSelect::OnSetActive(UINT)
{
    if (Data() == nullptr)
        return FALSE;
    SetTitle(QStringLiteral("pH/ORP Calibration - Select"));
    return TRUE;
}

void CDlgWizPage_CalPHORPSelect::OnOptionClicked(uint32_t mode)
{
    CCalDataPHORP* data = Data();
    auto* frame = qobject_cast<CDlgWizFrame_CalPHORP*>(Frame());
    if (data == nullptr || frame == nullptr)
        return;
    data->SetMode(mode);
    EnableBack(FALSE);
    if (mode == PHORP_MODE_RESTORE_DEFAULTS)
    {
        EnableNext(FALSE);
        EnableFinish(TRUE);
        return;
    }
    frame->ChooseBranch(mode);
    EnableNext(TRUE);
    EnableFinish(FALSE);
}

BOOL CDlgWizPage_CalPHORPSelect::OnWizardNext()
{
    // Nothing chosen yet: the branch would not be known.
    return Data() != nullptr && (m_pH.isChecked() || m_orp.isChecked()) ? TRUE : FALSE;
}

BOOL CDlgWizPage_CalPHORPSelect::OnWizardFinish()
{
    CCalDataPHORP* data = Data();
    if (data == nullptr)
        return FALSE;
    if (data->GetMode() != PHORP_MODE_RESTORE_DEFAULTS)
        return TRUE;
    return ConfirmAndRestoreDefaults(
        QStringLiteral(
            "This will restore calibration defaults to\nthe pH and ORP sensors.\nDo you wish to continue?"),
        [data] { return data->RestoreCalibrationDefaults(); });
}
