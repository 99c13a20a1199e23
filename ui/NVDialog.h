// CNVDialog: the base of every window that takes part in the connection events (the main window,
// its pages, the diagnostics window and its pages, popups, the wizard frames and their pages).
//
// The window. A dialog object exists before and after its window, as the system's windows do:
// its window exists from Create (an embedded page or a modeless window) or DoModal until the
// dialog is destroyed or its modal run ends (DestroyWindow). HasWindow tells which; what needs a
// window does nothing without one. OnInitDialog runs when the window comes into being; derived
// dialogs build their state there and call the base first.
//
// Ownership. A dialog never owns another through Qt parenthood: the object belongs to whoever
// constructed it (usually as a member or on the stack), and a dialog that goes detaches the
// dialogs it hosts instead of deleting them.
//
// Messages. Every dialog is in a process-wide registry (GetOpenDialogs) from its construction to
// its destruction, in construction order. The private messages of foundation/WindowMessages.h
// reach a dialog through OnMessage: posted (PostNotify, from any thread; a CNotifyEvent of type
// QEvent::User + message) or sent (SendNotify, on the user-interface thread). A message posted or
// broadcast while the window does not exist is dropped, and a queued one dies with the dialog.
// A posted message that arrives while the window waits for serial work, or while a box or popup
// opened above it is open, is held and handled in turn once they have ended (PostHeld): a
// worker's report is never handled inside the loop of a box that its own window asked about.
// Only what a window takes as data (TakeWhileHolding) is handled at once even then.
// Derived dialogs override OnMessage with a switch and pass on what they do not handle.
//
// Commands. The buttons' and shortcuts' commands reach OnCommand by id (SendCommand): IDOK runs
// OnOK and IDCANCEL OnCancel unless a derived dialog handles them; an embedded dialog passes a
// command it does not handle on to the dialog around it. Enter in a top-level dialog presses its
// default button and Esc sends IDCANCEL; the close box runs OnClose, which ends in IDCANCEL. In an
// embedded dialog Enter and Esc do nothing, so that a page never ends itself or its window.
//
// Skin and layout. A dialog can paint a background colour and a picture stretched over its client
// area (composed once per client size), keep controls at fixed distances from its edges while it
// is resized (AddAnchor), and keep a 57-pixel button bar at its bottom (the wizard frame's).
// Controls are found by the ids that the system's layouts give them (SetDlgCtrlID, GetDlgItem).
//
// Everything here runs on the user-interface thread except PostNotify and IsBlockedByModal.
//
// A window in short (its controls are members, placed in the dialog units of its layout):
//   class CCtrlPage_Example : public CNVDialog
//   {
//   public:
//       CCtrlPage_Example() : CNVDialog(132), m_rate(this)
//       {
//           resize(DialogUnitsToPixels(this, 0, 0, 350, 230).size());
//           m_rate.setGeometry(DialogUnitsToPixels(this, 7, 7, 60, 14));
//       }
//   protected:
//       BOOL OnInitDialog() override
//       {
//           CNVDialog::OnInitDialog();
//           const QSignalBlocker blocker(&m_rate); // filling a control is no user edit
//           m_rate.setText(ui::ToQString(FormatValue(6, 1.5)));
//           return TRUE;
//       }
//       LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override
//       {
//           if (message == windowmsg::WM_NEW_DATA)
//               return OnNewData(wParam, lParam);
//           return CNVDialog::OnMessage(message, wParam, lParam);
//       }
//   private:
//       CNVEdit m_rate;
//   };
// Its test (tests/support/QtTestSupport.h) creates it offscreen with Create, drives it through its
// controls, SendCommand and SendNotify, answers its message boxes with ScriptedDialogs, runs a
// modal one with RunModal and saves its picture with SavePicture.
#pragma once

#include <atomic>
#include <functional>
#include <optional>
#include <vector>

#include <QDialog>
#include <QEvent>
#include <QPixmap>
#include <QPointer>
#include <QSize>

#include "foundation/WindowMessages.h"
#include "platform/ColorRef.h"
#include "platform/Types.h"
#include "ui/AnchorLayout.h"
#include "ui/WinTypes.h"

// A private window message travelling as a posted event.
class CNotifyEvent : public QEvent
{
public:
    // The window-message numbers that travel this way: WM_USER (0x400) to 0x7FFF.
    static constexpr UINT kFirstMessage = 0x400;
    static constexpr UINT kLastMessage = 0x7FFF;

    CNotifyEvent(UINT message, WPARAM wParam, LPARAM lParam);
    ~CNotifyEvent() override;

    static bool IsPrivateMessage(UINT message) { return message >= kFirstMessage && message <= kLastMessage; }
    static QEvent::Type TypeOf(UINT message) { return static_cast<QEvent::Type>(QEvent::User + message); }
    static bool IsNotifyType(QEvent::Type type)
    {
        return type >= TypeOf(kFirstMessage) && type <= TypeOf(kLastMessage);
    }

    UINT Message() const { return static_cast<UINT>(type() - QEvent::User); }
    WPARAM WParam() const { return m_wParam; }
    LPARAM LParam() const { return m_lParam; }

private:
    WPARAM m_wParam;
    LPARAM m_lParam;
};

class CNVDialog : public QDialog, public INotifyWindow
{
    Q_OBJECT

public:
    // Height of the wizard button bar at the bottom of the client area.
    static constexpr int kButtonBarHeight = 57;

    // nIDTemplate names the system's layout of the window (0 when none); pParentWnd is the owner
    // of a popup, or null. The window is created later (Create, DoModal).
    explicit CNVDialog(UINT nIDTemplate = 0, QWidget* pParentWnd = nullptr);
    ~CNVDialog() override;

    // ---- The window ----

    // With a parent: creates the window as an embedded child of it (a page), hidden. Without:
    // a modeless window of its own. Runs OnInitDialog. TRUE.
    BOOL Create(QWidget* pParentWnd);
    // Creates the window, runs OnInitDialog, runs the window modally until EndDialog and destroys
    // the window; the window under it (its owner's, else the main window) is then the active one
    // again and takes back the keyboard focus. Returns the result given to EndDialog (IDOK,
    // IDCANCEL or another).
    int DoModal();
    // Ends the modal run with the result, or hides a modeless window. Called during OnInitDialog,
    // it ends DoModal before the window is shown.
    void EndDialog(int result);
    // The window goes (the object stays): the window and those of the dialogs it hosts no longer
    // exist for messages and broadcasts.
    void DestroyWindow();
    // Closes the window later, as a posted close message would: dropped when by then the window
    // is gone or has been created anew.
    void PostClose();
    BOOL HasWindow() const { return m_bHasWindow.load() ? TRUE : FALSE; }
    // TRUE for a dialog created inside another window (a page).
    BOOL IsEmbedded() const { return isWindow() ? FALSE : TRUE; }
    UINT GetTemplateId() const { return m_nIDTemplate; }
    // TRUE while a modal popup of the application blocks this top-level window. Any thread.
    BOOL IsBlockedByModal() const { return m_bBlockedByModal.load() ? TRUE : FALSE; }
    // Whether the window is handling a close (OnClose runs): a close asked again meanwhile must
    // not reach the native window, which would take it as done and go.
    bool IsInClose() const { return m_bInClose; }
    // The nested loop that runs the window (ui::NestedLoopDepth): its own modal run's, the
    // depth it was created at for a modeless window, its top-level window's for a page.
    int LoopDepth() const;
    // Runs the work later, as a queued call would, but held while a wait or a nested loop opened
    // above the window runs (ui::PostHeldWork); dropped when the window is gone by then. For
    // work that starts serial work or changes the connection.
    void PostHeld(std::function<void()> work);
    // True while a wait runs or a box or popup opened above the window is open: the window's
    // posted messages are held until then, and its timers' work waits as well.
    bool IsHoldingWork() const;

    // ---- Registry and messages ----

    // Posts the message (wParam and lParam 0) to every registered dialog whose window exists, in
    // registry order, and returns at once.
    static void BroadcastPostMessage(UINT message);
    // Sends WM_REQUEST_DISCONNECT to every registered dialog whose window exists, in registry
    // order, each send finished before the next. The walk re-reads the registry at every step, so
    // a dialog that a handler creates is reached and one that it destroys is never touched.
    static void BroadcastRequestDisconnect();
    // The registered dialogs in construction order.
    static std::vector<CNVDialog*> GetOpenDialogs();

    void PostNotify(uint32_t message, uintptr_t wParam = 0, intptr_t lParam = 0) override;
    LRESULT SendNotify(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    // Sends the message to every dialog directly inside this one (its pages).
    void SendMessageToDescendants(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    void SendCommand(UINT id);

    // ---- Controls by id ----

    static void SetDlgCtrlID(QWidget* control, UINT id);
    // 0 for a control without an id.
    static UINT GetDlgCtrlID(const QWidget* control);
    // The direct child with the id, or null.
    QWidget* GetDlgItem(UINT id) const;

    // ---- Size and position (client size = widget size; the window system's frame is outside) ----

    // The client area takes the background picture's size; FALSE without a picture.
    virtual BOOL SizeToBackgroundBitmap();
    virtual BOOL SizeWidthToBitmap();
    virtual BOOL SizeHeightToBitmap();
    virtual BOOL SetClientSize(int cx, int cy);
    // Moves the window to the rectangle's corner (parent coordinates for an embedded dialog,
    // screen coordinates otherwise) and gives it the rectangle's size.
    virtual BOOL SetWindowRect(const RECT& rect);
    virtual BOOL CenterOnParent();
    virtual BOOL CenterOnMainWindow();
    // Centred along each axis where the window is larger than the dialog; aligned to its near edge
    // where it is not.
    virtual BOOL CenterOnWindow(QWidget* window);
    // The size brought within the track sizes; FALSE without a window or for a size of 0. Lays
    // out the anchors.
    virtual BOOL SetWindowSize(int cx, int cy);
    // Smallest and largest window size, also for the user's dragging.
    void SetMinTrackSize(QSize size);
    void SetMaxTrackSize(QSize size);
    // Whether the dialog is centred on its parent: by OnInitDialog, and for a top-level window
    // once more when it is first shown, with the size it has then; default TRUE. Either way a
    // top-level window comes up within the available area of the screen.
    void SetCenterOnParent(BOOL center) { m_bCenterOnParent = center; }
    BOOL GetCenterOnParent() const { return m_bCenterOnParent; }

    // ---- Background, transparent controls, anchors, button bar ----

    BOOL SetBackgroundColor(COLORREF color);
    std::optional<COLORREF> GetBackgroundColor() const { return m_backgroundColor; }
    // Loads a picture file (BMP, PNG, ...) as the background picture; a path that cannot be loaded
    // changes nothing (FALSE). The file is decoded once for every dialog, and a picture larger
    // than the background bound is scaled down to fit it (ui/SkinPictures.h).
    BOOL SetBackgroundBitmapFile(const QString& path);
    QString GetBackgroundBitmapPath() const { return m_strBackgroundBitmapPath; }
    // The picture's size; the client size without a picture.
    QSize GetBackgroundBitmapSize() const;
    // The control with the id shows the background through it (also one added later).
    void AddTransparentControl(UINT id);
    // Keeps the control (a direct child) at the given distances from the client area's edges (-1:
    // that edge is free) and lays it out at once. FALSE without a control; TRUE without change
    // when every distance is negative.
    BOOL AddAnchor(QWidget* control, int left, int top, int right, int bottom);
    void RepositionAnchors();
    // The next paint composes the background anew.
    void ReleaseBackgroundCache();
    // Reserves the button bar at the bottom of the client area.
    void SetButtonBar(BOOL buttonBar);
    // Moves the child into the button bar, its right edge rightOffset pixels (at 96 dpi) from the
    // client area's right edge; a child taller than the bar stays where it is.
    void PlaceButtonInBar(UINT nID, int rightOffset);
    // TRUE with a background colour, picture or button bar.
    BOOL IsSkinned() const;

    void setVisible(bool visible) override;

public slots:
    // Qt's Enter and Esc handling arrives here: sent on as the commands IDOK and IDCANCEL.
    void accept() override;
    void reject() override;

protected:
    // The window has come into being (before it is shown): copies the parent's icon and centres
    // the dialog on its parent when asked to. Returns TRUE.
    virtual BOOL OnInitDialog();
    // A private message, posted or sent; returns the handler's result (0 when none handles it).
    virtual LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    // A posted message that arrives while the window holds work: true when the window has taken it
    // now, as data that would be lost or grow stale by waiting and whose handling neither talks to
    // the probe nor opens a box; false (the default) holds it for OnMessage once the hold ends.
    virtual bool TakeWhileHolding(UINT message, WPARAM wParam, LPARAM lParam);
    // A command; TRUE when handled.
    virtual BOOL OnCommand(UINT id);
    virtual void OnOK();
    virtual void OnCancel();
    // The close box. Drops the skin (colour, picture, transparent controls, track sizes; a dialog
    // shown again must be given them anew) and sends IDCANCEL.
    virtual void OnClose();
    // The window was shown or hidden by the program (not by minimising).
    virtual void OnShowWindow(BOOL bShow);
    // The window became the active one, or stopped being it.
    virtual void OnActivate(BOOL bActive);

    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    struct sAnchorEntry
    {
        QPointer<QWidget> control;
        sAnchorDistances distances;
    };

    BOOL RunInitDialog();
    // After a modal run: activates the window under this one.
    void GiveFocusBack();
    // Before a top-level window is first shown: its final size, centred on its parent when asked
    // to, on the screen.
    void PlaceForFirstShow();
    // Moves a top-level window so that it lies within the available area of its owner's screen
    // (its own screen without an owner, else the primary one).
    void KeepOnScreen();
    BOOL ComposeBackground();
    void ApplyTransparency(QWidget* child);
    void ApplyTrackSizes();

    UINT m_nIDTemplate;
    std::atomic<bool> m_bHasWindow{false};
    // Counts the windows the object has had, so that a close posted to one never reaches the next.
    uint32_t m_nWindowGeneration = 0;
    std::atomic<bool> m_bBlockedByModal{false};
    // The nested loop that runs the window, set by Create and DoModal.
    int m_nLoopDepth = 0;
    bool m_bInClose = false;
    bool m_bInitialising = false;
    // Whether the window has been placed for its first show (once per window).
    bool m_bPlacedForShow = false;
    bool m_bCheckScreenWhenShown = false;
    std::optional<int> m_endedDuringInit;

    QPixmap m_backgroundBitmap;
    QPixmap m_composedBackground;
    std::optional<COLORREF> m_backgroundColor;
    std::vector<UINT> m_transparentIds;
    std::vector<sAnchorEntry> m_anchors;
    std::optional<QSize> m_minTrackSize;
    std::optional<QSize> m_maxTrackSize;
    BOOL m_bButtonBar = FALSE;
    BOOL m_bBitmapFromFile = FALSE;
    BOOL m_bCenterOnParent = TRUE;
    QString m_strBackgroundBitmapPath;
};
