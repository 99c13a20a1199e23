#include "ui/NVDlgWizardFrame.h"

#include <algorithm>

#include <QKeySequence>
#include <QShortcut>

#include "ui/WizardNavigation.h"

namespace
{

constexpr int kStandardDpi = 96;
constexpr int kButtonWidth = 100;
constexpr int kButtonHeight = 25;
// Right offsets of the buttons in the bar at 96 dpi, from right to left.
constexpr int kFinishOffset = 10;
constexpr int kNextOffset = 120;
constexpr int kBackOffset = 225;
constexpr int kCancelOffset = 335;

QWidget* FirstFocusableChild(QWidget& page)
{
    for (QWidget* child : page.findChildren<QWidget*>())
        if ((child->focusPolicy() & Qt::TabFocus) && child->isEnabled() && child->isVisibleTo(&page))
            return child;
    return nullptr;
}

} // namespace

CNVDlgWizardFrame::CNVDlgWizardFrame(UINT nIDTemplate, QWidget* pParentWnd)
    : CNVDialog(nIDTemplate, pParentWnd), m_btnFinish(QStringLiteral("OK"), this),
      m_btnCancel(QStringLiteral("Cancel"), this), m_btnNext(QStringLiteral("Next >"), this),
      m_btnBack(QStringLiteral("< Back"), this)
{
    const int dpi = logicalDpiX();
    const QSize buttonSize(MulDiv(dpi, kButtonWidth, kStandardDpi), MulDiv(dpi, kButtonHeight, kStandardDpi));
    const std::pair<CNVButton*, UINT> buttons[] = {{&m_btnFinish, IDOK},
                                                   {&m_btnCancel, IDCANCEL},
                                                   {&m_btnNext, IDC_WIZARD_NEXT},
                                                   {&m_btnBack, IDC_WIZARD_BACK}};
    for (const auto& [button, id] : buttons)
    {
        SetDlgCtrlID(button, id);
        button->resize(buttonSize);
        connect(button, &QPushButton::clicked, this, [this, id = id] { SendCommand(id); });
    }

    const std::pair<QKeySequence, UINT> shortcuts[] = {
        {QKeySequence(Qt::ALT | Qt::Key_Left), ID_ACCEL_BACK},
        {QKeySequence(Qt::ALT | Qt::Key_Right), ID_ACCEL_NEXT},
        {QKeySequence(Qt::Key_Escape), ID_ACCEL_WIZARD_CANCEL},
        {QKeySequence(Qt::ALT | Qt::Key_Return), ID_ACCEL_WIZARD_FINISH},
        {QKeySequence(Qt::ALT | Qt::Key_Enter), ID_ACCEL_WIZARD_FINISH}};
    for (const auto& [keys, id] : shortcuts)
        connect(new QShortcut(keys, this), &QShortcut::activated, this, [this, id = id] { SendCommand(id); });
}

CNVDlgWizardFrame::~CNVDlgWizardFrame() = default;

// ---- Pages ----

BOOL CNVDlgWizardFrame::AddPage(CDlgWizardPage* page)
{
    if (page == nullptr)
        return FALSE;
    m_pages.emplace_back(page);
    if (HasWindow())
    {
        CreatePage(page);
        LayoutFrame();
        const QPointer<CNVDlgWizardFrame> self(this);
        if (m_pages.size() == 1)
            SetActivePage(page, IDC_WIZARD_NEXT);
        if (self != nullptr)
            UpdateButtons();
    }
    return TRUE;
}

BOOL CNVDlgWizardFrame::CreatePage(CDlgWizardPage* page)
{
    page->m_pOwnerFrame = this;
    if (!page->HasWindow())
        page->Create(this);
    page->move(0, 0);
    return TRUE;
}

CDlgWizardPage* CNVDlgWizardFrame::GetPage(int index) const
{
    if (index < 0 || index >= GetPageCount())
        return nullptr;
    return m_pages[static_cast<size_t>(index)].data();
}

int CNVDlgWizardFrame::GetCurrentPageIndex() const
{
    if (m_pCurrentPage == nullptr)
        return -1;
    const auto it = std::find(m_pages.begin(), m_pages.end(), m_pCurrentPage);
    return it == m_pages.end() ? -1 : static_cast<int>(it - m_pages.begin());
}

std::vector<bool> CNVDlgWizardFrame::SkipFlags() const
{
    std::vector<bool> skipped;
    skipped.reserve(m_pages.size());
    // A page that is gone can be neither shown nor asked: it counts as skipped.
    for (const QPointer<CDlgWizardPage>& page : m_pages)
        skipped.push_back(page == nullptr || page->IsSkipped());
    return skipped;
}

int CNVDlgWizardFrame::GetNextPageIndex() const
{
    return NextPageIndex(SkipFlags(), GetCurrentPageIndex());
}

int CNVDlgWizardFrame::GetPrevPageIndex() const
{
    return PreviousPageIndex(SkipFlags(), GetCurrentPageIndex());
}

BOOL CNVDlgWizardFrame::SetActivePage(CDlgWizardPage* page, UINT nDirection)
{
    if (!HasWindow() || page == nullptr)
        return FALSE;
    if (page == m_pCurrentPage)
        return TRUE;
    const QPointer<CDlgWizardPage> target(page);
    if (const QPointer<CDlgWizardPage> leaving = m_pCurrentPage; leaving != nullptr)
    {
        const QPointer<CNVDlgWizardFrame> self(this);
        const uint32_t pageListGeneration = m_nPageListGeneration;
        if (!leaving->OnKillActive(nDirection))
            return FALSE;
        // The page may have ended the wizard (the calibration pages do so after an error), moved
        // it elsewhere or destroyed pages: then the change it was asked about is off.
        if (self == nullptr || HasWizardChanged(pageListGeneration, leaving) || target == nullptr)
            return FALSE;
        leaving->ReleaseBackgroundCache();
        leaving->hide();
    }
    page->show();
    page->ReleaseBackgroundCache();
    page->update();
    m_pCurrentPage = page;
    UpdateButtons();
    page->OnSetActive(nDirection);
    return TRUE;
}

BOOL CNVDlgWizardFrame::SetActivePageByIndex(int index, UINT nDirection)
{
    CDlgWizardPage* page = GetPage(index);
    return page != nullptr ? SetActivePage(page, nDirection) : FALSE;
}

BOOL CNVDlgWizardFrame::HasWizardChanged(uint32_t pageListGeneration, const CDlgWizardPage* current) const
{
    return m_nPageListGeneration != pageListGeneration || m_pCurrentPage != current || !HasWindow() ? TRUE
                                                                                                    : FALSE;
}

void CNVDlgWizardFrame::RemoveAllPages()
{
    for (const QPointer<CDlgWizardPage>& page : m_pages)
        if (page != nullptr)
            QMetaObject::invokeMethod(
                page, [page = page.data()] { page->close(); }, Qt::QueuedConnection);
    m_pages.clear();
    ++m_nPageListGeneration;
    m_bWrap = FALSE;
    m_pCurrentPage = nullptr;
}

// ---- Buttons ----

void CNVDlgWizardFrame::UpdateButtons()
{
    const int next = GetNextPageIndex();
    m_btnBack.setEnabled(GetPrevPageIndex() >= 0);
    m_btnNext.setEnabled(next >= 0);
    m_btnFinish.setEnabled(next < 0);
}

void CNVDlgWizardFrame::EnableNextButton()
{
    const int current = GetCurrentPageIndex();
    if (HasWindow() && current >= 0 && current < GetPageCount() - 1)
        m_btnNext.Enable();
}

BOOL CNVDlgWizardFrame::AskPages(BOOL (CDlgWizardPage::*question)())
{
    const QPointer<CNVDlgWizardFrame> self(this);
    const uint32_t pageListGeneration = m_nPageListGeneration;
    const QPointer<CDlgWizardPage> current = m_pCurrentPage;
    for (size_t i = 0; i < m_pages.size(); ++i)
    {
        const QPointer<CDlgWizardPage> page = m_pages[i];
        if (page == nullptr || page->IsSkipped())
            continue;
        const BOOL agreed = (page->*question)();
        // A page that ended the wizard while it was asked has answered for every page: the
        // command that asked must not go on (a Finish must not turn a cancel into an OK).
        if (self == nullptr || HasWizardChanged(pageListGeneration, current))
            return FALSE;
        if (!agreed)
        {
            if (page != nullptr)
                SetActivePage(page, IDC_WIZARD_BACK);
            return FALSE;
        }
    }
    return TRUE;
}

BOOL CNVDlgWizardFrame::QueryFinish()
{
    return AskPages(&CDlgWizardPage::OnWizardFinish);
}

BOOL CNVDlgWizardFrame::QueryCancel()
{
    return AskPages(&CDlgWizardPage::OnQueryCancel);
}

BOOL CNVDlgWizardFrame::OnCommand(UINT id)
{
    switch (id)
    {
    case IDC_WIZARD_NEXT:
        OnNextButton();
        return TRUE;
    case IDC_WIZARD_BACK:
        OnBackButton();
        return TRUE;
    case IDOK:
        OnFinishButton();
        return TRUE;
    case IDCANCEL:
        OnCancelButton();
        return TRUE;
    case ID_ACCEL_NEXT:
        PressIfEnabled(m_btnNext, IDC_WIZARD_NEXT);
        return TRUE;
    case ID_ACCEL_BACK:
        PressIfEnabled(m_btnBack, IDC_WIZARD_BACK);
        return TRUE;
    case ID_ACCEL_WIZARD_FINISH:
        PressIfEnabled(m_btnFinish, IDOK);
        return TRUE;
    case ID_ACCEL_WIZARD_CANCEL:
        PressIfEnabled(m_btnCancel, IDCANCEL);
        return TRUE;
    default:
        return CNVDialog::OnCommand(id);
    }
}

void CNVDlgWizardFrame::PressIfEnabled(CNVButton& button, UINT id)
{
    if (button.isEnabled())
        SendCommand(id);
}

void CNVDlgWizardFrame::OnNextButton()
{
    if (!HasWindow())
        return;
    const QPointer<CNVDlgWizardFrame> self(this);
    const uint32_t pageListGeneration = m_nPageListGeneration;
    if (const QPointer<CDlgWizardPage> current = m_pCurrentPage; current != nullptr)
        if (!current->OnWizardNext() || self == nullptr || HasWizardChanged(pageListGeneration, current))
            return;
    if (CDlgWizardPage* next = GetPage(GetNextPageIndex()))
        SetActivePage(next, IDC_WIZARD_NEXT);
    if (self != nullptr)
        FocusCurrentPage();
}

void CNVDlgWizardFrame::OnBackButton()
{
    if (!HasWindow())
        return;
    const QPointer<CNVDlgWizardFrame> self(this);
    const uint32_t pageListGeneration = m_nPageListGeneration;
    if (const QPointer<CDlgWizardPage> current = m_pCurrentPage; current != nullptr)
        if (!current->OnWizardBack() || self == nullptr || HasWizardChanged(pageListGeneration, current))
            return;
    CDlgWizardPage* previous = GetPage(GetPrevPageIndex());
    if (previous == nullptr)
        return;
    SetActivePage(previous, IDC_WIZARD_BACK);
    if (self != nullptr)
        FocusCurrentPage();
}

void CNVDlgWizardFrame::OnFinishButton()
{
    if (!HasWindow())
        return;
    const QPointer<CNVDlgWizardFrame> self(this);
    const uint32_t pageListGeneration = m_nPageListGeneration;
    const BOOL agreed = QueryFinish();
    if (self == nullptr)
        return;
    if (!agreed || m_nPageListGeneration != pageListGeneration)
    {
        FocusCurrentPage();
        return;
    }
    if (m_bWrap)
        OnNextButton();
    else
        OnOK();
}

void CNVDlgWizardFrame::OnCancelButton()
{
    if (!HasWindow())
        return;
    const QPointer<CNVDlgWizardFrame> self(this);
    const uint32_t pageListGeneration = m_nPageListGeneration;
    const BOOL agreed = QueryCancel();
    if (self == nullptr)
        return;
    if (!agreed || m_nPageListGeneration != pageListGeneration)
    {
        FocusCurrentPage();
        return;
    }
    OnCancel();
}

void CNVDlgWizardFrame::OnOK()
{
    RemoveAllPages();
    EndDialog(IDOK);
}

void CNVDlgWizardFrame::OnCancel()
{
    RemoveAllPages();
    EndDialog(IDCANCEL);
}

void CNVDlgWizardFrame::OnClose()
{
    OnCancelButton();
}

void CNVDlgWizardFrame::OnActivate(BOOL bActive)
{
    if (!bActive || m_pCurrentPage == nullptr || !m_pCurrentPage->IsSkipped())
        return;
    if (CDlgWizardPage* next = GetPage(GetNextPageIndex()))
        SetActivePage(next, IDC_WIZARD_NEXT);
}

// ---- Window and layout ----

BOOL CNVDlgWizardFrame::OnInitDialog()
{
    CNVDialog::OnInitDialog();
    SetButtonBar(TRUE);
    m_btnFinish.Disable();
    m_btnBack.Disable();
    PlaceButtons();
    m_btnFinish.SetToolTipText(QStringLiteral("Alt+Enter"));
    m_btnCancel.SetToolTipText(QStringLiteral("Esc"));
    m_btnNext.SetToolTipText(QStringLiteral("Alt+Right"));
    m_btnBack.SetToolTipText(QStringLiteral("Alt+Left"));
    for (const QPointer<CDlgWizardPage>& page : m_pages)
        if (page != nullptr)
            CreatePage(page);
    LayoutFrame();
    const QPointer<CNVDlgWizardFrame> self(this);
    if (!m_pages.empty())
        SetActivePageByIndex(0, IDC_WIZARD_NEXT);
    if (self == nullptr)
        return FALSE;
    FocusCurrentPage();
    m_btnNext.setDefault(true);
    return TRUE;
}

void CNVDlgWizardFrame::PlaceButtons()
{
    PlaceButtonInBar(IDOK, kFinishOffset);
    PlaceButtonInBar(IDC_WIZARD_NEXT, kNextOffset);
    PlaceButtonInBar(IDC_WIZARD_BACK, kBackOffset);
    PlaceButtonInBar(IDCANCEL, kCancelOffset);
}

void CNVDlgWizardFrame::LayoutFrame()
{
    QSize largest(0, 0);
    for (const QPointer<CDlgWizardPage>& page : m_pages)
        if (page != nullptr && page->HasWindow())
            largest = largest.expandedTo(page->size());
    SetClientSize(largest.width(), largest.height() + kButtonBarHeight);
    PlaceButtons();
    if (GetCenterOnParent())
        CenterOnParent();
}

void CNVDlgWizardFrame::FocusCurrentPage()
{
    if (m_pCurrentPage == nullptr)
        return;
    if (QWidget* first = FirstFocusableChild(*m_pCurrentPage))
        first->setFocus(Qt::OtherFocusReason);
    else
        m_pCurrentPage->setFocus(Qt::OtherFocusReason);
}
