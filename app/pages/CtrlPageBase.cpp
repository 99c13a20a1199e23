#include "app/pages/CtrlPageBase.h"

#include <QContextMenuEvent>

#include "connection/ProbeConnection.h"
#include "foundation/WindowMessages.h"
#include "platform/Sync.h"
#include "ui/WaitForWork.h"

CCtrlPage_Base::CCtrlPage_Base(UINT nIDTemplate, QWidget* pParentWnd) : CNVDialog(nIDTemplate, pParentWnd)
{
    // A page lies inside the main window; centring it on its parent would move it off its anchors.
    SetCenterOnParent(FALSE);
}

CCtrlPage_Base::~CCtrlPage_Base() = default;

LRESULT CCtrlPage_Base::OnMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message)
    {
    case windowmsg::WM_DEVICE_CONNECTED:
        // A probe that stopped answering while the pages load is not read again by the next page:
        // the page that met the silence has shown its failure, and the loss is told.
        if (theProbeConnection.IsMarkedSilent() ||
            (theProbeConnection.IsProbeUnheard() &&
             !ui::WaitForWork([] { return theProbeConnection.CheckProbeAnswers(); })))
            return 0;
        return OnDeviceConnected(wParam, lParam);
    case windowmsg::WM_DEVICE_DISCONNECTED:
        return OnDeviceDisconnected(wParam, lParam);
    case windowmsg::WM_REQUEST_DISCONNECT:
        return OnRequestDisconnect(wParam, lParam);
    case windowmsg::WM_DEVICE_RESET:
        return OnDeviceReset(wParam, lParam);
    default:
        return CNVDialog::OnMessage(message, wParam, lParam);
    }
}

void CCtrlPage_Base::OnShowWindow(BOOL bShow)
{
    if (!HasWindow())
        return;
    CNVDialog::OnShowWindow(bShow);
    m_bActive = bShow;
    if (bShow)
        OnPageActivate();
    else
        OnPageDeactivate();
}

LRESULT CCtrlPage_Base::OnDeviceConnected(WPARAM, LPARAM)
{
    if (IsPageVisible())
        RefreshPage();
    return 0;
}

LRESULT CCtrlPage_Base::OnDeviceDisconnected(WPARAM, LPARAM)
{
    RefreshPage();
    return 0;
}

LRESULT CCtrlPage_Base::OnRequestDisconnect(WPARAM, LPARAM)
{
    if (!IsPageVisible())
        return 0;
    if (theProbeConnection.IsConnected())
    {
        // Posted first, so every window refreshes after the request has been handled everywhere.
        BroadcastPostMessage(windowmsg::WM_DEVICE_DISCONNECTED);
        // It waits for workers that may be in the middle of a transaction.
        ui::WaitForWork([] { theProbeConnection.DisconnectDevice(); });
    }
    return 0;
}

LRESULT CCtrlPage_Base::OnDeviceReset(WPARAM, LPARAM)
{
    return 0;
}

void CCtrlPage_Base::OnPageActivate()
{
    setFocus();
    SetTimer(IDT_PAGE_ACTIVATE, PAGE_ACTIVATE_DELAY_MS);
    RefreshPage();
}

void CCtrlPage_Base::OnPageDeactivate() {}

void CCtrlPage_Base::RefreshPage() {}

void CCtrlPage_Base::OnOK() {}

void CCtrlPage_Base::OnCancel() {}

void CCtrlPage_Base::contextMenuEvent(QContextMenuEvent* event)
{
    // The dialog's own handling would take the event for its "What's This?" menu and keep it from
    // the window around the page.
    event->ignore();
}

void CCtrlPage_Base::SetTimer(UINT id, UINT elapseMs)
{
    std::unique_ptr<QTimer>& timer = m_timers[id];
    if (!timer)
    {
        timer = std::make_unique<QTimer>();
        timer->setSingleShot(true);
        QObject::connect(timer.get(), &QTimer::timeout, this,
                         [this, id, pending = timer.get()]
                         {
                             // A page's timed work (most of it reads the probe) comes after the
                             // serial work the window waits for, as it would on a busy thread,
                             // and after the box or popup open above the page.
                             if (ui::MustHoldWork(LoopDepth()))
                                 pending->start();
                             else if (HasWindow())
                                 OnTimer(id);
                         });
    }
    timer->start(static_cast<int>(elapseMs));
}

void CCtrlPage_Base::KillTimer(UINT id)
{
    if (const auto it = m_timers.find(id); it != m_timers.end())
        it->second->stop();
}

BOOL CCtrlPage_Base::IsTimerRunning(UINT id) const
{
    const auto it = m_timers.find(id);
    return it != m_timers.end() && it->second->isActive() ? TRUE : FALSE;
}

void CCtrlPage_Base::OnTimer(UINT) {}

BOOL CCtrlPage_Base::IsPageVisible() const
{
    return HasWindow() && !isHidden() ? TRUE : FALSE;
}
