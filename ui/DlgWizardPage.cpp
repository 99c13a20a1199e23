#include "ui/DlgWizardPage.h"

#include "ui/NVDlgWizardFrame.h"

CDlgWizardPage::CDlgWizardPage(UINT nIDTemplate) : CNVDialog(nIDTemplate, nullptr) {}

void CDlgWizardPage::DisableNextButton()
{
    if (m_pOwnerFrame != nullptr && m_pOwnerFrame->HasWindow())
        m_pOwnerFrame->GetNextButton().Disable();
}

void CDlgWizardPage::EnableBackButton()
{
    if (m_pOwnerFrame != nullptr && m_pOwnerFrame->HasWindow() && m_pOwnerFrame->GetCurrentPageIndex() >= 1)
        m_pOwnerFrame->GetBackButton().Enable();
}

void CDlgWizardPage::EnableFinishButton()
{
    if (m_pOwnerFrame != nullptr && m_pOwnerFrame->HasWindow())
        m_pOwnerFrame->GetFinishButton().Enable();
}

void CDlgWizardPage::DisableFinishButton()
{
    if (m_pOwnerFrame != nullptr && m_pOwnerFrame->HasWindow())
        m_pOwnerFrame->GetFinishButton().Disable();
}

BOOL CDlgWizardPage::OnSetActive(UINT)
{
    return TRUE;
}

BOOL CDlgWizardPage::OnKillActive(UINT)
{
    return TRUE;
}

BOOL CDlgWizardPage::OnWizardNext()
{
    return TRUE;
}

BOOL CDlgWizardPage::OnWizardBack()
{
    return TRUE;
}

BOOL CDlgWizardPage::OnQueryCancel()
{
    return TRUE;
}

BOOL CDlgWizardPage::OnWizardFinish()
{
    return TRUE;
}

BOOL CDlgWizardPage::OnWizardOK()
{
    return TRUE;
}

BOOL CDlgWizardPage::OnWizardCancel()
{
    return TRUE;
}
