#include "app/main/DlgFrameTarnwickSoft.h"

#include <utility>

#include <QApplication>
#include <QContextMenuEvent>
#include <QFileInfo>
#include <QIcon>
#include <QKeySequence>
#include <QMenu>
#include <QMoveEvent>
#include <QScreen>
#include <QShortcut>

#include "app/main/AppIcon.h"
#include "app/main/MachineProbeSearch.h"
#include "app/main/TabSkin.h"
#include "app/popups/DlgPopupAbout.h"
#include "app/popups/DlgPopupFirmwareUpdate.h"
#include "app/popups/DlgPopupPortSettings.h"
#include "connection/AppProfile.h"
#include "connection/ConnectionString.h"
#include "connection/ProbeSearch.h"
#include "foundation/PathTools.h"
#include "foundation/ResultCodes.h"
#include "platform/SettingsStore.h"
#include "ui/Application.h"
#include "ui/DialogService.h"
#include "ui/MessageBoxes.h"
#include "ui/QtText.h"
#include "ui/Skin.h"
#include "ui/WaitCursor.h"
#include "ui/WaitForWork.h"
#include "ui/WindowPlacement.h"

namespace
{

constexpr int kStandardDpi = 96;
// Client area at 96 dpi.
constexpr int kClientWidth = 760;
constexpr int kClientHeight = 540;
// Margins of the page area at 96 dpi: left and right, top (the tab row stands in it), bottom
// (the Connect button stands in it).
constexpr int kPageMarginSide = 10;
constexpr int kPageMarginTop = 60;
constexpr int kPageMarginBottom = 50;
constexpr int kConnectButtonMargin = 10;
constexpr int kConnectButtonWidth = 110;
constexpr int kConnectButtonHeight = 28;

constexpr char16_t kWinPosX[] = u"WinPos_x";
constexpr char16_t kWinPosY[] = u"WinPos_y";
constexpr char16_t kTabToolTip[] = u"Next (Alt+Right), Back (Alt+Left)";

const char16_t* const kTabTexts[CDlgFrame_TarnwickSoft::PAGE_COUNT] = {u"Live Data", u"Communication",
                                                                       u"Sensor Setup", u"Probe Info"};
const UINT kTabIds[CDlgFrame_TarnwickSoft::PAGE_COUNT] = {IDC_TAB_LIVE_DATA, IDC_TAB_COMMUNICATION,
                                                          IDC_TAB_SENSOR_SETUP, IDC_TAB_PROBE_INFO};

QString Q(const char16_t* text)
{
    return ui::ToQString(text);
}

} // namespace

CDlgFrame_TarnwickSoft::CDlgFrame_TarnwickSoft(QWidget* pParentWnd) : CNVDialog(kTemplateId, pParentWnd)
{
    m_closeRetry.setSingleShot(true);
    m_closeRetry.setInterval(CLOSE_RETRY_MS);
    connect(&m_closeRetry, &QTimer::timeout, this, [this] { PostCommand(SC_CLOSE_COMMAND); });
    // The close box given during a wait is taken as the user's last command: final, it wins over
    // a connect under way and over whatever is asked after it.
    ui::TakeInputDuringWaits(*this, [this] { Ask(EAsked::Close); });
}

CDlgFrame_TarnwickSoft::~CDlgFrame_TarnwickSoft()
{
    // A window that never came to its first news still ends the start-up: its box has no owner.
    m_pStartupChange.reset();
    if (m_pKeepAlive)
        m_pKeepAlive->Stop();
    if (ui::GetMainWindow() == this)
        ui::SetMainWindow(nullptr);
    if (GetAppMainWindow() == ui::OwnerHandle(this))
        SetAppMainWindow(nullptr);
}

void CDlgFrame_TarnwickSoft::TakeStartupChange(std::unique_ptr<platform::settings::CChangeScope> change)
{
    m_pStartupChange = std::move(change);
}

CNVBitmapButtonEx& CDlgFrame_TarnwickSoft::TabButton(int page)
{
    switch (page)
    {
    case PAGE_COMMUNICATION:
        return m_tabCommunication;
    case PAGE_SENSOR_SETUP:
        return m_tabSensorSetup;
    case PAGE_PROBE_INFO:
        return m_tabProbeInfo;
    default:
        return m_tabLiveData;
    }
}

CCtrlPage_Base& CDlgFrame_TarnwickSoft::Page(int index)
{
    switch (index)
    {
    case PAGE_COMMUNICATION:
        return m_pageCommunication;
    case PAGE_SENSOR_SETUP:
        return m_pageSensorSetup;
    case PAGE_PROBE_INFO:
        return m_pageProbeInfo;
    default:
        return m_pageLiveData;
    }
}

BOOL CDlgFrame_TarnwickSoft::OnInitDialog()
{
    CNVDialog::OnInitDialog();
    // A window created anew starts with nothing asked.
    m_eAsked = EAsked::None;
    m_bAskedPosted = false;
    m_bConnecting = false;
    m_bClosing = false;
    ui::SetMainWindow(this);
    SetAppMainWindow(ui::OwnerHandle(this));
    setWindowIcon(AppIcon());

    const int dpi = logicalDpiX();
    const int side = MulDiv(dpi, kPageMarginSide, kStandardDpi);
    const int top = MulDiv(dpi, kPageMarginTop, kStandardDpi);
    const int bottom = MulDiv(dpi, kPageMarginBottom, kStandardDpi);
    resize(MulDiv(dpi, kClientWidth, kStandardDpi), MulDiv(dpi, kClientHeight, kStandardDpi));

    CreateControls();
    for (int index = 0; index < PAGE_COUNT; ++index)
    {
        CCtrlPage_Base& page = Page(index);
        page.Create(this);
        AddAnchor(&page, side, top, side, bottom);
    }

    ApplySkin();

    // The tabs stand in a row directly above the pages.
    const int tabWidth = m_tabLiveData.width();
    const int tabHeight = m_tabLiveData.height();
    for (int index = 0; index < PAGE_COUNT; ++index)
        AddAnchor(&TabButton(index), side + index * tabWidth, top - tabHeight, -1, -1);
    AddAnchor(&m_btnConnect, kConnectButtonMargin, -1, -1, kConnectButtonMargin);

    CreateShortcuts();
    ShowPage(PAGE_LIVE_DATA);
    setFocus();
    BroadcastPostMessage(windowmsg::WM_DEVICE_DISCONNECTED);
    // Posted after the news, so that what the pages write on hearing it is part of the start-up.
    if (m_pStartupChange)
        PostHeld([this] { m_pStartupChange.reset(); });

    SetConnectButton(FALSE);
    for (int index = 0; index < PAGE_COUNT; ++index)
        TabButton(index).SetToolTipText(Q(kTabToolTip));
    return TRUE;
}

void CDlgFrame_TarnwickSoft::CreateControls()
{
    m_btnConnect.setParent(this);
    SetDlgCtrlID(&m_btnConnect, IDC_CONNECT_DISCONNECT);
    const int dpi = logicalDpiX();
    m_btnConnect.resize(MulDiv(dpi, kConnectButtonWidth, kStandardDpi),
                        MulDiv(dpi, kConnectButtonHeight, kStandardDpi));
    m_btnConnect.setAutoDefault(false);
    connect(&m_btnConnect, &QPushButton::clicked, this, [this] { SendCommand(IDC_CONNECT_DISCONNECT); });
    // Clicked while the window waits (the port search, the pages taking a connect in), the
    // button is not ignored: what it offered then is carried out once the wait is over, as Alt+C
    // and Alt+D are.
    ui::TakeInputDuringWaits(m_btnConnect, [this]
                             { Ask(m_bButtonOffersDisconnect ? EAsked::Disconnect : EAsked::Connect); });

    for (int index = 0; index < PAGE_COUNT; ++index)
    {
        CNVBitmapButtonEx& tab = TabButton(index);
        tab.setParent(this);
        tab.setText(Q(kTabTexts[index]));
        tab.setAutoDefault(false);
        tab.setFocusPolicy(Qt::TabFocus);
        SetDlgCtrlID(&tab, kTabIds[index]);
        const UINT id = kTabIds[index];
        connect(&tab, &QPushButton::clicked, this, [this, id] { SendCommand(id); });
    }
}

void CDlgFrame_TarnwickSoft::CreateShortcuts()
{
    const std::pair<QKeySequence, UINT> accelerators[] = {
        {QKeySequence(Qt::ALT | Qt::Key_C), ID_ACCEL_CONNECT},
        {QKeySequence(Qt::ALT | Qt::Key_D), ID_ACCEL_DISCONNECT},
        {QKeySequence(Qt::ALT | Qt::Key_Left), ID_ACCEL_BACK},
        {QKeySequence(Qt::ALT | Qt::Key_Right), ID_ACCEL_NEXT},
        {QKeySequence(Qt::ALT | Qt::Key_Up), ID_ACCEL_PARAM_UP},
        {QKeySequence(Qt::ALT | Qt::Key_Down), ID_ACCEL_PARAM_DOWN},
        {QKeySequence(Qt::Key_F1), IDM_ABOUTBOX},
    };
    for (const auto& [keys, id] : accelerators)
    {
        auto* shortcut = new QShortcut(keys, this);
        shortcut->setContext(Qt::WindowShortcut);
        const UINT command = id;
        connect(shortcut, &QShortcut::activated, this, [this, command] { DispatchAccelerator(command); });
        // Connect and Disconnect may be asked for at any time; they run after the wait.
        if (command == ID_ACCEL_CONNECT || command == ID_ACCEL_DISCONNECT)
            ui::TakeInputDuringWaits(*shortcut, [this, command] { DispatchAccelerator(command); });
    }
}

void CDlgFrame_TarnwickSoft::DispatchAccelerator(UINT id)
{
    // The innermost of our dialogs that holds the focus gets the command first; what it does not
    // handle travels outwards to this window.
    CNVDialog* target = this;
    for (QWidget* widget = QApplication::focusWidget(); widget != nullptr && widget != this;
         widget = widget->parentWidget())
        if (auto* dialog = qobject_cast<CNVDialog*>(widget))
        {
            target = dialog;
            break;
        }
    target->SendCommand(id);
}

void CDlgFrame_TarnwickSoft::ApplySkin()
{
    setWindowTitle(ui::ToQString(g_Skin.title));
    for (int index = 0; index < PAGE_COUNT; ++index)
        ApplySkinToTabButton(TabButton(index));
    SetBackgroundColor(g_Skin.backgroundColor);
    for (int index = 0; index < PAGE_COUNT; ++index)
        Page(index).SetBackgroundColor(g_Skin.backgroundColor);
    const QString image = ui::ToQString(g_Skin.backgroundImage);
    if (!image.isEmpty() && QFileInfo(image).isFile() && SetBackgroundBitmapFile(image))
        update();
    const QString iconFile = ui::ToQString(g_Skin.iconImage);
    if (!iconFile.isEmpty() && QFileInfo(iconFile).isFile())
    {
        // A file that is there but holds no picture that can be read leaves the built-in icon.
        const QIcon icon(iconFile);
        if (!icon.availableSizes().isEmpty())
        {
            QApplication::setWindowIcon(icon);
            setWindowIcon(icon);
        }
    }
}

void CDlgFrame_TarnwickSoft::ShowPage(int index)
{
    if (index < 0 || index >= PAGE_COUNT)
        index = PAGE_LIVE_DATA;
    for (int other = 0; other < PAGE_COUNT; ++other)
    {
        if (other != index)
            Page(other).hide();
        TabButton(other).SetPressed(FALSE);
    }
    Page(index).show();
    TabButton(index).SetPressed(TRUE);
}

int CDlgFrame_TarnwickSoft::GetVisiblePage() const
{
    int visible = -1;
    for (int index = 0; index < PAGE_COUNT; ++index)
        if (!const_cast<CDlgFrame_TarnwickSoft*>(this)->Page(index).isHidden())
        {
            if (visible >= 0)
                return -1;
            visible = index;
        }
    return visible;
}

BOOL CDlgFrame_TarnwickSoft::CanLeavePage()
{
    if (m_pageLiveData.isHidden())
        return TRUE;
    if (m_pageLiveData.IsReading() && m_pageLiveData.IsLoggingToFile() &&
        ui::Dialogs().MessageBox(this, QStringLiteral("Data logging will terminate.\nContinue?"),
                                 ui::ApplicationName(),
                                 platform::MB_YESNO | platform::MB_ICONQUESTION) != platform::IDYES)
        return FALSE;
    m_pageLiveData.StopReading();
    return TRUE;
}

void CDlgFrame_TarnwickSoft::OnTab(int page)
{
    if (CanLeavePage())
        ShowPage(page);
}

void CDlgFrame_TarnwickSoft::OnNextPage(int step)
{
    const int visible = GetVisiblePage();
    if (visible < 0)
        return;
    PostCommand(kTabIds[(visible + step + PAGE_COUNT) % PAGE_COUNT]);
}

void CDlgFrame_TarnwickSoft::PostCommand(UINT id)
{
    // Held while an operation waits for the probe, a message box or a popup is open: a command
    // never starts inside another operation, whatever order the user's inputs were taken in.
    PostHeld([this, id] { SendCommand(id); });
}

BOOL CDlgFrame_TarnwickSoft::OnCommand(UINT id)
{
    switch (id)
    {
    case IDC_CONNECT_DISCONNECT:
        OnConnectDisconnect();
        return TRUE;
    case IDC_TAB_LIVE_DATA:
        OnTab(PAGE_LIVE_DATA);
        return TRUE;
    case IDC_TAB_COMMUNICATION:
        OnTab(PAGE_COMMUNICATION);
        return TRUE;
    case IDC_TAB_SENSOR_SETUP:
        OnTab(PAGE_SENSOR_SETUP);
        return TRUE;
    case IDC_TAB_PROBE_INFO:
        OnTab(PAGE_PROBE_INFO);
        return TRUE;
    case ID_ACCEL_NEXT:
        OnNextPage(1);
        return TRUE;
    case ID_ACCEL_BACK:
        OnNextPage(-1);
        return TRUE;
    // The last of them is carried out, and looks at the state when it runs: two Alt+C taken at
    // once connect once, and never toggle into a disconnect.
    case ID_ACCEL_CONNECT:
    case ID_ACCEL_DISCONNECT:
        Ask(id == ID_ACCEL_DISCONNECT ? EAsked::Disconnect : EAsked::Connect);
        return TRUE;
    case IDM_ABOUTBOX:
        OnAbout();
        return TRUE;
    case SC_CLOSE_COMMAND:
        OnSysClose();
        return TRUE;
    default:
        return CNVDialog::OnCommand(id);
    }
}

LRESULT CDlgFrame_TarnwickSoft::OnMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == windowmsg::WM_CONNECTION_LOST)
    {
        OnConnectionLost(static_cast<ULONG>(wParam));
        return 0;
    }
    return CNVDialog::OnMessage(message, wParam, lParam);
}

void CDlgFrame_TarnwickSoft::SetConnectButton(BOOL connected)
{
    m_bButtonOffersDisconnect = connected != FALSE;
    m_btnConnect.SetToolTipText(connected ? QStringLiteral("Alt+D") : QStringLiteral("Alt+C"));
    m_btnConnect.setText(connected ? QStringLiteral("Disconnect") : QStringLiteral("Connect"));
}

void CDlgFrame_TarnwickSoft::Ask(EAsked command)
{
    // After a close nothing else is done: the window ends without connecting again.
    if (m_bClosing)
        return;
    if (command == EAsked::Close)
        m_bClosing = true;
    m_eAsked = command;
    // A connect under way carries it out once it has ended, behind its news to the pages.
    if (!m_bConnecting)
        PostAsked();
}

void CDlgFrame_TarnwickSoft::PostAsked()
{
    if (m_eAsked == EAsked::None || m_bAskedPosted)
        return;
    m_bAskedPosted = true;
    // Held while an operation waits for the probe or a box or popup is open; by then the last
    // command asked is the one carried out.
    PostHeld([this] { CarryOutAsked(); });
}

void CDlgFrame_TarnwickSoft::CarryOutAsked()
{
    m_bAskedPosted = false;
    switch (std::exchange(m_eAsked, EAsked::None))
    {
    case EAsked::Connect:
        if (!m_bClosing && !theProbeConnection.IsConnected())
            Connect();
        break;
    case EAsked::Disconnect:
        if (theProbeConnection.IsConnected())
            DisconnectAndShowIt();
        break;
    case EAsked::Close:
        close();
        break;
    case EAsked::None:
        break;
    }
}

void CDlgFrame_TarnwickSoft::OnConnectDisconnect()
{
    // The button's own command (a click outside a wait) is the user's last: what was asked before
    // it is not carried out after it. Once the window closes, it connects nothing.
    if (m_bClosing)
        return;
    m_eAsked = EAsked::None;
    if (theProbeConnection.IsConnected())
        DisconnectAndShowIt();
    else
        Connect();
}

void CDlgFrame_TarnwickSoft::DisconnectAndShowIt()
{
    Disconnect();
    SetConnectButton(FALSE);
    ShowPage(PAGE_LIVE_DATA);
    setFocus();
}

void CDlgFrame_TarnwickSoft::Disconnect()
{
    // The keep-alive goes first: it would otherwise find the link down and report it lost, perhaps
    // only once the next connection is up.
    StopKeepAlive();
    // The visible page stops its workers and disconnects. Should no page do it (none visible), the
    // window does, so that a close never waits for a disconnect that nobody makes.
    BroadcastRequestDisconnect();
    if (theProbeConnection.IsConnected())
    {
        BroadcastPostMessage(windowmsg::WM_DEVICE_DISCONNECTED);
        ui::WaitForWork([] { theProbeConnection.DisconnectDevice(); });
    }
}

void CDlgFrame_TarnwickSoft::Connect()
{
    m_bConnecting = true;
    ConnectSteps();
    m_bConnecting = false;
    // What the user asked while the connect ran comes after it, and after the pages' news of it.
    PostAsked();
}

bool CDlgFrame_TarnwickSoft::ConnectWithdrawn()
{
    if (!m_bClosing && m_eAsked != EAsked::Disconnect)
        return false;
    // Any open link, also the one a probe without application firmware leaves open but not
    // connected for the firmware update that is no longer coming: the port is let go of.
    if (theProbeConnection.GetModbus() != nullptr)
        ui::WaitForWork([] { theProbeConnection.DisconnectDevice(); });
    return true;
}

void CDlgFrame_TarnwickSoft::ConnectSteps()
{
    // The search and the connect are serial work that the user waits for under the wait cursor;
    // the popups between them wait for the user. A Disconnect or a close given during a wait ends
    // the connect after it: no popup opens, and the pages never hear of the link.
    HRESULT hr = S_OK;
    const bool found = ui::WaitForWork(
        [&hr]
        {
            USHORT port = theProbeConnection.m_nPort.load();
            CWideString text;
            uint64_t answeredAt = 0;
            if (!FindProbePort(port, text, CONNECT_DEVICE_TYPES, &answeredAt))
                return false;
            sCommSettings settings = theProbeConnection.GetCommSettings();
            settings.Port = port;
            ParseConnectionString(text, settings);
            theProbeConnection.SetCommSettings(settings);
            // The probe has just answered the search: it is awake.
            hr = theProbeConnection.ConnectToDevice(answeredAt);
            return true;
        });
    if (ConnectWithdrawn())
        return;
    if (!found)
    {
        CDlgPopup_PortSettings popup(this);
        if (popup.DoModal() != IDOK)
            return;
        hr = ui::WaitForWork([] { return theProbeConnection.ConnectToDevice(); });
        if (ConnectWithdrawn())
            return;
    }

    if (hr == MODBUSCOMM_E_NO_APP_FIRMWARE)
    {
        CDlgPopup_FirmwareUpdate firmware(this);
        const bool updated = firmware.DoModal() == IDOK;
        hr = ui::WaitForWork(
            [updated]
            {
                theProbeConnection.DisconnectDevice();
                return updated ? theProbeConnection.ConnectToDevice() : MODBUSCOMM_E_NO_APP_FIRMWARE;
            });
        if (ConnectWithdrawn())
            return;
    }
    if (Failed(hr))
        return;

    if (theProbeConnection.GetSlaveId().RunIndicator != SLAVEID_RUN_APPLICATION)
    {
        ui::Dialogs().MessageBox(this, QStringLiteral("Firmware is not loaded on the probe"),
                                 ui::ApplicationName(), platform::MB_OK | platform::MB_ICONERROR);
        ui::WaitForWork([] { theProbeConnection.DisconnectDevice(); });
        return;
    }

    SetConnectButton(TRUE);
    const sCommSettings settings = theProbeConnection.GetCommSettings();
    {
        // One box for the change, however many writes; the program remembers the line on its own,
        // so the same line refused at the next connect is not told again.
        const platform::settings::CChangeScope change(platform::settings::ChangeBy::Program);
        WriteProfileInt(PROFILE_SECTION_COMMUNICATION, PROFILE_LAST_SERIAL_PORT, settings.Port);
        StoreConnectionString(settings.BaudId, settings.DataBitsId, settings.ParityId, settings.StopBitsId,
                              settings.Mode, settings.Address);
    }
    BroadcastPostMessage(windowmsg::WM_DEVICE_CONNECTED);
    StartKeepAlive();
}

void CDlgFrame_TarnwickSoft::StartKeepAlive()
{
    StopKeepAlive();
    m_pKeepAlive = std::make_unique<CKeepAlive>(
        theProbeConnection, *this,
        [this] { return m_pageLiveData.IsReading() || IsBlockedByModal() || !m_bEnabled.load(); },
        m_keepAlivePeriod);
    if (!m_pKeepAlive->Start())
        StopKeepAlive();
}

void CDlgFrame_TarnwickSoft::StopKeepAlive()
{
    // Taken out first: a stop asked again while this one waits finds nothing left to stop.
    const std::unique_ptr<CKeepAlive> keepAlive = std::move(m_pKeepAlive);
    if (keepAlive)
        // A read in flight ends with its transaction, perhaps with its time-outs.
        ui::WaitForWork([&keepAlive] { keepAlive->Stop(); });
}

void CDlgFrame_TarnwickSoft::OnConnectionLost(ULONG connectionId)
{
    const ULONG current = theProbeConnection.GetConnectionId();
    if (current != 0)
    {
        // A loss that was on its way while the link was closed and opened again is not this
        // link's: the new one is healthy and stays.
        if (connectionId != current)
            return;
        ShowErrorBox(this, QStringLiteral("Device connection lost."));
        // Only the link that was lost is closed: the button's command would connect instead
        // should the link have gone down meanwhile.
        if (theProbeConnection.GetConnectionId() == connectionId)
            DisconnectAndShowIt();
    }
    else
        SetConnectButton(FALSE);
}

void CDlgFrame_TarnwickSoft::OnAbout()
{
    CDlgPopup_About about(
        QStringLiteral("%1 version %2").arg(ui::ApplicationName(), ui::ToQString(GetProgramVersion())), this);
    about.DoModal();
}

void CDlgFrame_TarnwickSoft::contextMenuEvent(QContextMenuEvent* event)
{
    QMenu menu(this);
    QAction* about = menu.addAction(QStringLiteral("About %1...").arg(ui::ToQString(g_Skin.title)));
    if (menu.exec(event->globalPos()) == about)
        PostCommand(IDM_ABOUTBOX);
}

void CDlgFrame_TarnwickSoft::OnSysClose()
{
    // From here on the window is closing: nothing the user asks meanwhile connects again.
    m_bClosing = true;
    // A close that is no click of the user's (the retry's, the picture run's) never ends the window
    // under serial work it waits for: it is tried again later.
    if (ui::IsWaitingForWork())
    {
        m_closeRetry.start();
        return;
    }
    CWaitCursor wait;
    if (theProbeConnection.IsConnected())
    {
        Disconnect();
        m_closeRetry.start();
        return;
    }
    StopKeepAlive();
    if (m_bPositionKnown)
    {
        const platform::settings::CChangeScope change(platform::settings::ChangeBy::Program);
        WriteProfileInt(u"", kWinPosX, m_position.x());
        WriteProfileInt(u"", kWinPosY, m_position.y());
    }
    EndDialog(IDCANCEL);
}

void CDlgFrame_TarnwickSoft::OnOK() {}

void CDlgFrame_TarnwickSoft::OnCancel()
{
    // As the close box, the pages are asked to stop their workers and the link goes down; unlike
    // it, Esc and Cancel do not store the window's position.
    m_bClosing = true;
    CWaitCursor wait;
    if (theProbeConnection.IsConnected())
        Disconnect();
    StopKeepAlive();
    EndDialog(IDCANCEL);
}

void CDlgFrame_TarnwickSoft::OnClose()
{
    // The close box keeps the skin (the window may stay open while it disconnects).
    OnSysClose();
}

void CDlgFrame_TarnwickSoft::OnShowWindow(BOOL bShow)
{
    CNVDialog::OnShowWindow(bShow);
    if (!bShow)
        return;
    const QPoint current = pos();
    const QPoint stored(GetProfileInt(u"", kWinPosX, current.x()), GetProfileInt(u"", kWinPosY, current.y()));
    // The frame may stand apart from the position that move() takes (decorations).
    const QRect frame = frameGeometry();
    const QPoint frameOffset = frame.topLeft() - current;
    std::vector<QRect> available;
    for (const QScreen* screen : QGuiApplication::screens())
        available.push_back(screen->availableGeometry());
    move(FitOnScreen(QRect(stored + frameOffset, frame.size()), available) - frameOffset);
}

void CDlgFrame_TarnwickSoft::moveEvent(QMoveEvent* event)
{
    CNVDialog::moveEvent(event);
    if (!isMinimized())
    {
        m_position = pos();
        m_bPositionKnown = true;
    }
}

void CDlgFrame_TarnwickSoft::changeEvent(QEvent* event)
{
    CNVDialog::changeEvent(event);
    if (event->type() == QEvent::EnabledChange)
        m_bEnabled = isEnabled();
}
