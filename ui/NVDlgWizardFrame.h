// CNVDlgWizardFrame: the frame of a wizard. It shows one page at a time (CDlgWizardPage) above a
// 57-pixel button bar with, from right to left, Finish (IDOK, "OK"), Next, Back and Cancel, and
// moves between the pages:
//   Next    asks the current page (OnWizardNext), then shows the next page that is not skipped;
//   Back    asks the current page (OnWizardBack), then shows the previous page that is not skipped;
//   Finish  asks every page that is not skipped (QueryFinish); a refusal shows the refusing page;
//           when all agree it acts as Next while the wrap flag is set, else ends the wizard (OnOK);
//   Cancel  and the close box ask every page that is not skipped (QueryCancel), then end it
//           (OnCancel).
// Changing the page asks the current page first (OnKillActive). Next is enabled while a later page
// that is not skipped exists, Back while an earlier one exists, Finish while no later one exists;
// pages enable and disable the buttons further themselves. Alt+Right, Alt+Left, Alt+Enter and Esc
// press Next, Back, Finish and Cancel wherever the focus is in the wizard, and do nothing while
// that button is disabled. When the frame becomes active while its current page is skipped, the
// next page is shown.
//
// The pages' hooks may end the wizard (OnOK, OnCancel) or move it to another page; the frame then
// drops what it was doing and touches neither the pages nor itself any more.
//
// Pages are added before the window exists (they are created in OnInitDialog) or after; the frame
// does not own them. The frame's window title is the wizard's title, which pages set.
#pragma once

#include <vector>

#include <QPointer>

#include "ui/DlgWizardPage.h"
#include "ui/NVButton.h"
#include "ui/NVDialog.h"

inline constexpr UINT IDD_WIZARD_FRAME = 10002;

class CNVDlgWizardFrame : public CNVDialog
{
    Q_OBJECT

public:
    explicit CNVDlgWizardFrame(UINT nIDTemplate = IDD_WIZARD_FRAME, QWidget* pParentWnd = nullptr);
    ~CNVDlgWizardFrame() override;

    // FALSE for null. With the window existing, the page is created and laid out at once (and
    // shown when it is the only one).
    BOOL AddPage(CDlgWizardPage* page);
    // FALSE without a window, for null, or when the current page refuses to be left.
    BOOL SetActivePage(CDlgWizardPage* page, UINT nDirection);
    BOOL SetActivePageByIndex(int index, UINT nDirection);
    // Enables Next when the current page is not the last in the list (skip flags aside).
    void EnableNextButton();
    void UpdateButtons();
    // -1 when there is none (see WizardNavigation.h).
    int GetNextPageIndex() const;
    int GetPrevPageIndex() const;
    // Closes every page's window, empties the list, clears the current page and the wrap flag.
    void RemoveAllPages();
    virtual BOOL QueryFinish();
    virtual BOOL QueryCancel();

    int GetPageCount() const { return static_cast<int>(m_pages.size()); }
    CDlgWizardPage* GetPage(int index) const;
    CDlgWizardPage* GetCurrentPage() const { return m_pCurrentPage.data(); }
    // -1 without a current page or when it is not in the list.
    int GetCurrentPageIndex() const;
    // While set, Finish acts as Next.
    void SetWrap(BOOL wrap) { m_bWrap = wrap; }
    BOOL GetWrap() const { return m_bWrap; }

    CNVButton& GetFinishButton() { return m_btnFinish; }
    CNVButton& GetCancelButton() { return m_btnCancel; }
    CNVButton& GetNextButton() { return m_btnNext; }
    CNVButton& GetBackButton() { return m_btnBack; }

    // Both remove the pages and end the wizard without asking a page. Public, since a page ends
    // its wizard itself after an error (GetOwnerFrame()->OnCancel()).
    void OnOK() override;
    void OnCancel() override;

protected:
    BOOL OnInitDialog() override;
    BOOL OnCommand(UINT id) override;
    // The close box: the Cancel command, whatever the state of the Cancel button.
    void OnClose() override;
    void OnActivate(BOOL bActive) override;

private:
    void OnNextButton();
    void OnBackButton();
    void OnFinishButton();
    void OnCancelButton();
    // Asks every page that is not skipped, in list order; the first refusal shows its page.
    BOOL AskPages(BOOL (CDlgWizardPage::*question)());
    // A shortcut presses its button only while the button is enabled.
    void PressIfEnabled(CNVButton& button, UINT id);
    BOOL CreatePage(CDlgWizardPage* page);
    void LayoutFrame();
    void PlaceButtons();
    void FocusCurrentPage();
    std::vector<bool> SkipFlags() const;
    // TRUE when, since the page list had the generation given and the current page was `current`,
    // a handler has ended the wizard, emptied or replaced its pages or moved it to another page.
    BOOL HasWizardChanged(uint32_t pageListGeneration, const CDlgWizardPage* current) const;

    CNVButton m_btnFinish;
    CNVButton m_btnCancel;
    CNVButton m_btnNext;
    CNVButton m_btnBack;
    std::vector<QPointer<CDlgWizardPage>> m_pages;
    QPointer<CDlgWizardPage> m_pCurrentPage;
    // Counts RemoveAllPages, so that a handler that ended the wizard is noticed by its caller.
    uint32_t m_nPageListGeneration = 0;
    BOOL m_bWrap = FALSE;
};
