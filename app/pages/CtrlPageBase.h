// CCtrlPage_Base: the base of the four pages of the main window. It turns the connection
// broadcasts of the dialog registry and the page's own showing and hiding into virtual operations,
// so that each page overrides only what it needs:
//
//   OnShowWindow        shown or hidden by the program (never by minimising): m_bActive follows,
//                       then OnPageActivate or OnPageDeactivate
//   OnDeviceConnected   refreshes when the page is visible (a hidden one refreshes when shown)
//   OnDeviceDisconnected refreshes, visible or not
//   OnRequestDisconnect only the visible page acts: it posts WM_DEVICE_DISCONNECTED to every
//                       window and closes the connection, so the link is closed exactly once
//   OnDeviceReset       nothing
//   OnPageActivate      takes the focus, starts the activation timer (IDT_PAGE_ACTIVATE, 100 ms)
//                       and refreshes
//   OnPageDeactivate    nothing
//   RefreshPage         nothing
//
// A page never ends itself: OK and Cancel do nothing, and Enter or Esc in an edit box stays in it.
// The keyboard commands of the main window (Alt+C, Alt+D, Alt+Left, Alt+Right, Alt+Up, Alt+Down)
// arrive at the innermost page that holds the focus (SendCommand); what a page does not handle
// goes on to the main window. A right click on a page opens the main window's menu.
#pragma once

#include <map>
#include <memory>

#include <QTimer>

#include "platform/Types.h"
#include "ui/NVDialog.h"

// The timers of the pages (the ids of the system's windows).
inline constexpr UINT IDT_PAGE_ACTIVATE = 89;
inline constexpr UINT PAGE_ACTIVATE_DELAY_MS = 100;

class CCtrlPage_Base : public CNVDialog
{
    Q_OBJECT

public:
    explicit CCtrlPage_Base(UINT nIDTemplate, QWidget* pParentWnd = nullptr);
    ~CCtrlPage_Base() override;

    BOOL IsActive() const { return m_bActive; }

    // ---- The eight virtual operations ----

    void OnShowWindow(BOOL bShow) override;
    virtual LRESULT OnDeviceConnected(WPARAM wParam, LPARAM lParam);
    virtual LRESULT OnDeviceDisconnected(WPARAM wParam, LPARAM lParam);
    virtual LRESULT OnRequestDisconnect(WPARAM wParam, LPARAM lParam);
    virtual LRESULT OnDeviceReset(WPARAM wParam, LPARAM lParam);
    virtual void OnPageActivate();
    virtual void OnPageDeactivate();
    virtual void RefreshPage();

protected:
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnOK() override;
    void OnCancel() override;
    // Passed on to the main window, whose menu there holds About.
    void contextMenuEvent(QContextMenuEvent* event) override;

    // A one-shot timer by id, as the system's windows use them; OnTimer receives its expiry while
    // the window exists. Setting a running timer starts it again.
    void SetTimer(UINT id, UINT elapseMs);
    void KillTimer(UINT id);
    BOOL IsTimerRunning(UINT id) const;
    // IDT_PAGE_ACTIVATE: nothing here; pages override.
    virtual void OnTimer(UINT id);

    // Visible on screen as the shown page (its window exists and it is not hidden).
    BOOL IsPageVisible() const;

    BOOL m_bActive = FALSE;

private:
    std::map<UINT, std::unique_ptr<QTimer>> m_timers;
};
