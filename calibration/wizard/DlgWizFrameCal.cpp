#include "calibration/wizard/DlgWizFrameCal.h"

#include <utility>

#include "ui/Application.h"
#include "ui/DialogService.h"
#include "ui/DlgWizardPage.h"
#include "ui/QtText.h"
#include "ui/Skin.h"
#include "ui/WaitForWork.h"

std::atomic<uint32_t> CDlgWizFrame_Cal::s_testSampleInterval{0};

CDlgWizFrame_Cal::CDlgWizFrame_Cal(CCalData* pCalData, ICalProbeConnection& probe, QWidget* pParentWnd)
    : CNVDlgWizardFrame(IDD_WIZARD_FRAME, pParentWnd), m_pCalData(pCalData), m_probe(probe)
{
}

CDlgWizFrame_Cal::~CDlgWizFrame_Cal() = default;

void CDlgWizFrame_Cal::SetSampleIntervalForTests(uint32_t ms)
{
    s_testSampleInterval = ms;
}

uint32_t CDlgWizFrame_Cal::SampleInterval(uint32_t kindDefault)
{
    const uint32_t shortened = s_testSampleInterval.load();
    return shortened != 0 ? shortened : kindDefault;
}

void CDlgWizFrame_Cal::PostNotify(uint32_t message, uintptr_t wParam, intptr_t lParam)
{
    {
        std::lock_guard lock(m_heldLock);
        if (message == windowmsg::WM_READ_ERROR && !HasWindow())
        {
            m_bReadErrorHeld = true;
            return;
        }
    }
    CNVDlgWizardFrame::PostNotify(message, wParam, lParam);
}

BOOL CDlgWizFrame_Cal::OnInitDialog()
{
    m_bClosing = false;
    bool readError = false;
    {
        std::lock_guard lock(m_heldLock);
        readError = std::exchange(m_bReadErrorHeld, false);
    }
    if (readError)
        CNVDlgWizardFrame::PostNotify(windowmsg::WM_READ_ERROR);
    CNVDlgWizardFrame::OnInitDialog();
    GetCancelButton().Enable();
    SetBackgroundColor(g_Skin.backgroundColor);
    for (int i = 0; i < GetPageCount(); ++i)
        if (CDlgWizardPage* page = GetPage(i))
            page->SetBackgroundColor(g_Skin.backgroundColor);
    return FALSE;
}

LRESULT CDlgWizFrame_Cal::OnMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message)
    {
    case windowmsg::WM_NEW_DATA:
    case windowmsg::WM_READ_ERROR:
    case windowmsg::WM_CAL_SAMPLES_READY:
    case windowmsg::WM_CAL_NEXT_POINT:
    case windowmsg::WM_CAL_ACCEPTED:
        SendMessageToDescendants(message, wParam, lParam);
        return 0;
    default:
        return CNVDlgWizardFrame::OnMessage(message, wParam, lParam);
    }
}

void CDlgWizFrame_Cal::OnOK()
{
    if (CDlgWizardPage* page = GetCurrentPage(); page != nullptr && !page->OnWizardOK())
        return;
    m_bClosing = true;
    OnOKAgreed();
    EndReading();
    CNVDlgWizardFrame::OnOK();
}

void CDlgWizFrame_Cal::EndReading()
{
    if (m_bRunEnded)
        return;
    m_bRunEnded = true;
    // The worker's end and the restores go over the line, which may just have failed: each step can
    // take its time-outs, and the user waits for them with the window alive.
    m_leftovers = ui::WaitForWork([this] { return m_pCalData->EndReading(); });
}

void CDlgWizFrame_Cal::EndRun()
{
    EndReading();
    if (!m_leftovers.IsEmpty())
        ui::Dialogs().MessageBox(parentWidget(), ui::ToQString(static_cast<const char16_t*>(m_leftovers)),
                                 ui::ApplicationName(), platform::MB_ICONWARNING);
}

void CDlgWizFrame_Cal::OnCancel()
{
    if (CDlgWizardPage* page = GetCurrentPage(); page != nullptr && !page->OnWizardCancel())
        return;
    m_bClosing = true;
    OnCancelAgreed();
    EndReading();
    CNVDlgWizardFrame::OnCancel();
}
