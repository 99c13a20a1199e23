// CDlgFrame_TarnwickSoft: the application's only top-level window. It hosts the four pages behind
// a row of four tab buttons, owns the Connect/Disconnect button, runs the connect with the port
// search and the disconnect, keeps the connection alive with a worker (CKeepAlive), guards closing
// while connected and remembers its position in the profile.
//
// Pages by index (ShowPage and the tab row): 0 live data, 1 communication, 2 sensor setup,
// 3 probe information. Keyboard: Alt+C connect, Alt+D disconnect, Alt+Left and Alt+Right the
// previous and next page, Alt+Up and Alt+Down for the live data page; each goes to the innermost
// page that holds the focus and from there to this window. F1 and the window's context menu open
// About. Enter does nothing; Esc disconnects as the close box does and ends the window without
// storing its position. A stored position is kept on the available screen.
//
// Connect, Disconnect and the close box given while the window waits (the port search, the pages
// taking a connect in) are taken, not swallowed: the last of them is carried out once the wait is
// over, a connect under way gives way to a Disconnect or a close given during it, and after a
// close nothing connects again.
#pragma once

#include <memory>

#include <QPoint>
#include <QTimer>

#include "app/main/KeepAlive.h"
#include "app/pages/CtrlPageCommunication.h"
#include "app/pages/CtrlPageLiveData.h"
#include "app/pages/CtrlPageProbeInfo.h"
#include "app/pages/CtrlPageSensorSetup.h"
#include "platform/SettingsStore.h"
#include "ui/NVBitmapButtonEx.h"
#include "ui/NVButton.h"
#include "ui/NVDialog.h"

class QContextMenuEvent;
class QMoveEvent;

// Commands of the main window.
inline constexpr UINT IDC_CONNECT_DISCONNECT = 1002;
inline constexpr UINT IDC_TAB_SENSOR_SETUP = 1047;
inline constexpr UINT IDC_TAB_PROBE_INFO = 1048;
inline constexpr UINT IDC_TAB_COMMUNICATION = 1049;
inline constexpr UINT IDC_TAB_LIVE_DATA = 1050;
inline constexpr UINT ID_ACCEL_PARAM_UP = 32771;   // Alt+Up
inline constexpr UINT ID_ACCEL_PARAM_DOWN = 32772; // Alt+Down
inline constexpr UINT ID_ACCEL_CONNECT = 32781;    // Alt+C
inline constexpr UINT ID_ACCEL_DISCONNECT = 32782; // Alt+D
inline constexpr UINT IDM_ABOUTBOX = 16;
inline constexpr UINT SC_CLOSE_COMMAND = 0xF060; // the close box
inline constexpr UINT IDT_CLOSE_RETRY = 59;
inline constexpr int CLOSE_RETRY_MS = 100;

class CDlgFrame_TarnwickSoft : public CNVDialog
{
    Q_OBJECT

public:
    enum EPage
    {
        PAGE_LIVE_DATA = 0,
        PAGE_COMMUNICATION = 1,
        PAGE_SENSOR_SETUP = 2,
        PAGE_PROBE_INFO = 3,
        PAGE_COUNT = 4,
    };
    static constexpr UINT kTemplateId = 102;

    explicit CDlgFrame_TarnwickSoft(QWidget* pParentWnd = nullptr);
    ~CDlgFrame_TarnwickSoft() override;

    void ShowPage(int index);
    // The index of the one visible page; -1 when none or several are.
    int GetVisiblePage() const;
    BOOL CanLeavePage();
    void ApplySkin();
    void StopKeepAlive();
    BOOL IsKeepAliveRunning() const { return m_pKeepAlive && m_pKeepAlive->IsStarted(); }

    CCtrlPage_LiveData& LiveDataPage() { return m_pageLiveData; }
    CCtrlPage_Communication& CommunicationPage() { return m_pageCommunication; }
    CCtrlPage_SensorSetup& SensorSetupPage() { return m_pageSensorSetup; }
    CCtrlPage_ProbeInfo& ProbeInfoPage() { return m_pageProbeInfo; }
    CNVButton& ConnectButton() { return m_btnConnect; }
    CNVBitmapButtonEx& TabButton(int page);

    // The period of the keep-alive reads (1 s); tests shorten it.
    void SetKeepAlivePeriod(std::chrono::milliseconds period) { m_keepAlivePeriod = period; }
    // Runs the commands of the keyboard shortcut (Alt+C ...) as a key press would.
    void DispatchAccelerator(UINT id);
    // The start-up's change of the settings (opened before RunStartup), which the window ends once
    // its pages have had its first news (no probe connected): what the start-up, the window's
    // creation and that news write on their own is one change, told in one box at most, over the
    // window shown by then. Before Create or DoModal.
    void TakeStartupChange(std::unique_ptr<platform::settings::CChangeScope> change);

protected:
    BOOL OnInitDialog() override;
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    BOOL OnCommand(UINT id) override;
    void OnOK() override;
    void OnCancel() override;
    void OnClose() override;
    void OnShowWindow(BOOL bShow) override;

    void moveEvent(QMoveEvent* event) override;
    void changeEvent(QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void CreateControls();
    void CreateShortcuts();
    // What the user last asked of the connection and the window, carried out once the wait or
    // the connect under way is over.
    enum class EAsked
    {
        None,
        Connect,
        Disconnect,
        Close,
    };
    // Takes the user's command: it replaces any command not yet carried out, except a close, which
    // is final.
    void Ask(EAsked command);
    void PostAsked();
    void CarryOutAsked();
    // Whether the user gave a Disconnect or a close while the connect ran: the connect then ends,
    // the link it may have opened closed, and asks the user nothing more.
    bool ConnectWithdrawn();
    void OnConnectDisconnect();
    // The connect by the button or Alt+C; ConnectSteps does the work.
    void Connect();
    void ConnectSteps();
    void Disconnect();
    // The disconnect of the button: the window then shows the disconnected state.
    void DisconnectAndShowIt();
    void OnTab(int page);
    void OnNextPage(int step);
    // A loss reported for the connection with the id (0: none known).
    void OnConnectionLost(ULONG connectionId);
    // The close box: while connected a disconnect and a retry 100 ms later; otherwise the position
    // is stored and the window ends.
    void OnSysClose();
    void OnAbout();
    void PostCommand(UINT id);
    void SetConnectButton(BOOL connected);
    void StartKeepAlive();
    CCtrlPage_Base& Page(int index);

    CNVButton m_btnConnect;
    CCtrlPage_SensorSetup m_pageSensorSetup;
    CCtrlPage_ProbeInfo m_pageProbeInfo;
    CCtrlPage_Communication m_pageCommunication;
    CCtrlPage_LiveData m_pageLiveData;
    CNVBitmapButtonEx m_tabSensorSetup;
    CNVBitmapButtonEx m_tabProbeInfo;
    CNVBitmapButtonEx m_tabCommunication;
    CNVBitmapButtonEx m_tabLiveData;
    QTimer m_closeRetry;
    EAsked m_eAsked = EAsked::None;
    // Whether CarryOutAsked is posted and has not yet run.
    bool m_bAskedPosted = false;
    // Whether a connect runs: what the user asks meanwhile is carried out after it.
    bool m_bConnecting = false;
    // Whether a close was asked or has begun: the window ends, and no command connects again.
    bool m_bClosing = false;
    // Whether the button offers Disconnect (its text), for a click taken during a wait.
    bool m_bButtonOffersDisconnect = false;
    QPoint m_position;
    bool m_bPositionKnown = false;
    // Whether the window is enabled, for the keep-alive thread.
    std::atomic<bool> m_bEnabled{true};
    std::chrono::milliseconds m_keepAlivePeriod = KEEP_ALIVE_PERIOD;
    std::unique_ptr<platform::settings::CChangeScope> m_pStartupChange;
    // Last: stopped before the pages whose flags it reads go.
    std::unique_ptr<CKeepAlive> m_pKeepAlive;
};
