// CDlgWizardPage: one page of a wizard (CNVDlgWizardFrame). A page is an embedded dialog that the
// frame creates over its client area; only the current page is shown. The frame asks the page
// through the hooks below, each TRUE by default; a page with its skip flag set is passed over by
// Next, Back, Finish and Cancel.
#pragma once

#include <QPointer>

#include "ui/NVDialog.h"

class CNVDlgWizardFrame;

class CDlgWizardPage : public CNVDialog
{
    Q_OBJECT

public:
    explicit CDlgWizardPage(UINT nIDTemplate = 0);

    // The frame that created the page; null before.
    CNVDlgWizardFrame* GetOwnerFrame() const { return m_pOwnerFrame.data(); }
    void SetSkip(BOOL skip) { m_bSkip = skip; }
    BOOL IsSkipped() const { return m_bSkip; }

    // The frame's buttons, while the frame's window exists.
    void DisableNextButton();
    // Enables Back unless this frame's current page is its first.
    void EnableBackButton();
    void EnableFinishButton();
    void DisableFinishButton();

    // After the page has been shown; nDirection is IDC_WIZARD_NEXT or IDC_WIZARD_BACK.
    virtual BOOL OnSetActive(UINT nDirection);
    // Before the page is left; FALSE keeps it.
    virtual BOOL OnKillActive(UINT nDirection);
    // Next or Back pressed on this page; FALSE vetoes.
    virtual BOOL OnWizardNext();
    virtual BOOL OnWizardBack();
    // Cancel or the close box; FALSE vetoes.
    virtual BOOL OnQueryCancel();
    // Finish; FALSE vetoes and shows this page.
    virtual BOOL OnWizardFinish();
    // Asked by a derived frame's own OK and Cancel; FALSE keeps the wizard open.
    virtual BOOL OnWizardOK();
    virtual BOOL OnWizardCancel();

private:
    friend class CNVDlgWizardFrame;

    BOOL m_bSkip = FALSE;
    QPointer<CNVDlgWizardFrame> m_pOwnerFrame;
};
