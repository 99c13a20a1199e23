#include "ui/NVDialog.h"

#include <algorithm>
#include <utility>

#include <QChildEvent>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLayout>
#include <QMetaObject>
#include <QPainter>
#include <QPalette>
#include <QScreen>
#include <QShowEvent>

#include "ui/Application.h"
#include "ui/QtText.h"
#include "ui/SkinPictures.h"
#include "ui/ThreadHandover.h"
#include "ui/Transparency.h"
#include "ui/WaitCursor.h"
#include "ui/WaitForWork.h"
#include "ui/WindowPlacement.h"

namespace
{

constexpr char kControlIdProperty[] = "nvDlgCtrlID";
constexpr int kStandardDpi = 96;
// Where a button sits in the bar, at 96 dpi: its top 29 + 14 pixels above the client area's bottom.
constexpr int kBarButtonBottomSpace = 29;
constexpr int kBarButtonTopSpace = 14;

std::vector<CNVDialog*>& Registry()
{
    static std::vector<CNVDialog*> dialogs;
    return dialogs;
}

QRect ScreenRect(const QWidget& widget)
{
    if (widget.isWindow())
        return widget.geometry();
    return QRect(widget.mapToGlobal(QPoint(0, 0)), widget.size());
}

RECT ToRect(const QRect& rect)
{
    return {rect.left(), rect.top(), rect.left() + rect.width(), rect.top() + rect.height()};
}

QRect ToQRect(const RECT& rect)
{
    return QRect(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
}

} // namespace

CNotifyEvent::CNotifyEvent(UINT message, WPARAM wParam, LPARAM lParam)
    : QEvent(TypeOf(message)), m_wParam(wParam), m_lParam(lParam)
{
}

CNotifyEvent::~CNotifyEvent()
{
    ui::AcquireHandover(); // every delivery, and every disposal of an event never delivered
}

CNVDialog::CNVDialog(UINT nIDTemplate, QWidget* pParentWnd) : QDialog(pParentWnd), m_nIDTemplate(nIDTemplate)
{
    Registry().push_back(this);
}

CNVDialog::~CNVDialog()
{
    auto& dialogs = Registry();
    if (const auto it = std::find(dialogs.begin(), dialogs.end(), this); it != dialogs.end())
        dialogs.erase(it);
    m_bHasWindow = false;
    // The dialogs hosted here belong to whoever constructed them; Qt must not delete them with us.
    for (CNVDialog* hosted : findChildren<CNVDialog*>(Qt::FindDirectChildrenOnly))
        hosted->setParent(nullptr);
}

// ---- The window ----

BOOL CNVDialog::RunInitDialog()
{
    m_endedDuringInit.reset();
    m_bPlacedForShow = false;
    ++m_nWindowGeneration;
    m_bHasWindow = true;
    m_bInitialising = true;
    const BOOL result = OnInitDialog();
    m_bInitialising = false;
    return result;
}

BOOL CNVDialog::Create(QWidget* pParentWnd)
{
    m_nLoopDepth = ui::NestedLoopDepth();
    if (pParentWnd != nullptr)
    {
        setParent(pParentWnd, Qt::Widget);
        // A child is not hidden by itself in Qt; a page starts hidden until it is shown.
        QDialog::setVisible(false);
    }
    RunInitDialog();
    if (m_endedDuringInit)
        done(*m_endedDuringInit);
    return TRUE;
}

int CNVDialog::DoModal()
{
    // The run is a nested loop from the first message its window can get.
    const ui::CNestedLoop loop;
    m_nLoopDepth = ui::NestedLoopDepth();
    RunInitDialog();
    int result = 0;
    if (m_endedDuringInit)
        result = *m_endedDuringInit;
    else
    {
        // A popup waits for the user: never under the busy cursor of the operation that opened it.
        const ui::CNormalCursor normal;
        result = exec();
        GiveFocusBack();
    }
    DestroyWindow();
    return result;
}

void CNVDialog::GiveFocusBack()
{
    // The window system may hand the activation to no window at all when a popup goes, the more so
    // when a box went just before it: the keyboard then reaches nothing until the user clicks.
    QWidget* under = parentWidget() != nullptr ? parentWidget()->window() : ui::GetMainWindow();
    if (under != nullptr && under != this && under->isVisible())
        under->activateWindow();
}

void CNVDialog::EndDialog(int result)
{
    if (m_bInitialising)
    {
        m_endedDuringInit = result;
        return;
    }
    done(result);
}

void CNVDialog::DestroyWindow()
{
    m_bHasWindow = false;
    for (CNVDialog* hosted : findChildren<CNVDialog*>())
        hosted->m_bHasWindow = false;
}

void CNVDialog::PostClose()
{
    QMetaObject::invokeMethod(
        this,
        [this, generation = m_nWindowGeneration]
        {
            if (HasWindow() && m_nWindowGeneration == generation)
                close();
        },
        Qt::QueuedConnection);
}

int CNVDialog::LoopDepth() const
{
    if (IsEmbedded())
        if (const auto* top = qobject_cast<const CNVDialog*>(window()); top != nullptr && top != this)
            return top->LoopDepth();
    return m_nLoopDepth;
}

void CNVDialog::PostHeld(std::function<void()> work)
{
    ui::PostHeldWork(this, LoopDepth(),
                     [this, generation = m_nWindowGeneration, work = std::move(work)]
                     {
                         if (HasWindow() && m_nWindowGeneration == generation)
                             work();
                     });
}

bool CNVDialog::IsHoldingWork() const
{
    return ui::MustHoldWork(LoopDepth());
}

void CNVDialog::setVisible(bool visible)
{
    if (visible && isWindow() && HasWindow() && !m_bPlacedForShow)
    {
        m_bPlacedForShow = true;
        PlaceForFirstShow();
    }
    const bool wasShown = !isHidden();
    QDialog::setVisible(visible);
    if (wasShown != visible && isHidden() != visible)
        OnShowWindow(visible ? TRUE : FALSE);
}

void CNVDialog::PlaceForFirstShow()
{
    // The size the window shows with: a window nobody sized takes its layout's size, as Qt would
    // give it while showing it, only now, so that it is centred with it.
    ensurePolished();
    if (layout() != nullptr)
        layout()->activate();
    if (!testAttribute(Qt::WA_Resized))
        adjustSize();
    // OnInitDialog centred the window before the derived dialog had sized it.
    if (m_bCenterOnParent && parentWidget() != nullptr)
        CenterOnParent();
    KeepOnScreen();
    m_bCheckScreenWhenShown = true;
}

void CNVDialog::KeepOnScreen()
{
    QWidget* owner = parentWidget() != nullptr ? parentWidget()->window() : nullptr;
    QScreen* screen = owner != nullptr ? QGuiApplication::screenAt(owner->geometry().center()) : nullptr;
    if (screen == nullptr)
        screen = QGuiApplication::screenAt(geometry().center());
    if (screen == nullptr)
        screen = QGuiApplication::primaryScreen();
    if (screen == nullptr)
        return;
    const QRect available = screen->availableGeometry();
    // The window system's frame lies around the client area; before the window is shown only the
    // owner's frame tells how large it is.
    const QWidget& framed = owner != nullptr ? *owner : *this;
    const QRect frame = framed.frameGeometry();
    const QRect client = framed.geometry();
    const QMargins margins(client.left() - frame.left(), client.top() - frame.top(),
                           frame.right() - client.right(), frame.bottom() - client.bottom());
    const QRect outer = geometry().marginsAdded(margins);
    const QPoint topLeft = FitOnScreen(outer, {available});
    if (topLeft != outer.topLeft())
        setGeometry(QRect(topLeft + QPoint(margins.left(), margins.top()), size()));
}

BOOL CNVDialog::OnInitDialog()
{
    if (QWidget* parent = parentWidget())
    {
        setWindowIcon(parent->window()->windowIcon());
        if (m_bCenterOnParent)
            CenterOnParent();
    }
    return TRUE;
}

void CNVDialog::OnShowWindow(BOOL bShow)
{
    if (bShow)
        update();
}

void CNVDialog::OnActivate(BOOL) {}

// ---- Registry and messages ----

void CNVDialog::BroadcastPostMessage(UINT message)
{
    const auto& dialogs = Registry();
    for (size_t i = 0; i < dialogs.size(); ++i)
        if (dialogs[i]->HasWindow())
            dialogs[i]->PostNotify(message);
}

void CNVDialog::BroadcastRequestDisconnect()
{
    const auto& dialogs = Registry();
    // A handler may destroy dialogs (its own, earlier or later ones) and construct new ones, so
    // an index into the registry means nothing after a send. The walk instead takes, at every
    // step, the first registered dialog it has not reached yet. Reached dialogs are held as
    // QPointers: one that is destroyed drops out, and a new dialog that happens to get a freed
    // dialog's address is still reached.
    std::vector<QPointer<CNVDialog>> reached;
    const auto wasReached = [&reached](const CNVDialog* dialog)
    { return std::find(reached.begin(), reached.end(), dialog) != reached.end(); };
    for (;;)
    {
        const auto next =
            std::find_if(dialogs.begin(), dialogs.end(),
                         [&wasReached](const CNVDialog* dialog) { return !wasReached(dialog); });
        if (next == dialogs.end())
            return;
        const QPointer<CNVDialog> dialog = *next;
        reached.push_back(dialog);
        if (dialog->HasWindow())
            dialog->SendNotify(windowmsg::WM_REQUEST_DISCONNECT);
    }
}

std::vector<CNVDialog*> CNVDialog::GetOpenDialogs()
{
    return Registry();
}

void CNVDialog::PostNotify(uint32_t message, uintptr_t wParam, intptr_t lParam)
{
    if (!m_bHasWindow.load() || !CNotifyEvent::IsPrivateMessage(message))
        return;
    // Qt drops the events queued for an object when it is destroyed, so none reaches a dead dialog.
    auto* notification = new CNotifyEvent(message, wParam, lParam);
    ui::PublishHandover();
    QCoreApplication::postEvent(this, notification);
}

LRESULT CNVDialog::SendNotify(UINT message, WPARAM wParam, LPARAM lParam)
{
    return OnMessage(message, wParam, lParam);
}

void CNVDialog::SendMessageToDescendants(UINT message, WPARAM wParam, LPARAM lParam)
{
    const QList<CNVDialog*> hosted = findChildren<CNVDialog*>(Qt::FindDirectChildrenOnly);
    std::vector<QPointer<CNVDialog>> guarded(hosted.begin(), hosted.end());
    for (const QPointer<CNVDialog>& dialog : guarded)
        if (dialog != nullptr)
            dialog->SendNotify(message, wParam, lParam);
}

LRESULT CNVDialog::OnMessage(UINT, WPARAM, LPARAM)
{
    return 0;
}

bool CNVDialog::TakeWhileHolding(UINT, WPARAM, LPARAM)
{
    return false;
}

void CNVDialog::SendCommand(UINT id)
{
    if (OnCommand(id))
        return;
    if (IsEmbedded())
        if (auto* outer = qobject_cast<CNVDialog*>(parentWidget()))
            outer->SendCommand(id);
}

BOOL CNVDialog::OnCommand(UINT id)
{
    switch (id)
    {
    case IDOK:
        OnOK();
        return TRUE;
    case IDCANCEL:
        OnCancel();
        return TRUE;
    default:
        return FALSE;
    }
}

void CNVDialog::OnOK()
{
    EndDialog(IDOK);
}

void CNVDialog::OnCancel()
{
    EndDialog(IDCANCEL);
}

void CNVDialog::accept()
{
    SendCommand(IDOK);
}

void CNVDialog::reject()
{
    SendCommand(IDCANCEL);
}

void CNVDialog::OnClose()
{
    if (!m_backgroundBitmap.isNull())
    {
        m_backgroundBitmap = QPixmap();
        m_strBackgroundBitmapPath.clear();
        m_bBitmapFromFile = FALSE;
        update();
    }
    ReleaseBackgroundCache();
    m_backgroundColor.reset();
    m_transparentIds.clear();
    m_minTrackSize.reset();
    m_maxTrackSize.reset();
    ApplyTrackSizes();
    SendCommand(IDCANCEL);
}

bool CNVDialog::event(QEvent* event)
{
    ui::AcquireHandover(); // every delivery, and every disposal of an event never delivered
    const QEvent::Type type = event->type();
    if (CNotifyEvent::IsNotifyType(type))
    {
        if (HasWindow())
        {
            const auto* notify = static_cast<CNotifyEvent*>(event);
            const UINT message = notify->Message();
            const WPARAM wParam = notify->WParam();
            const LPARAM lParam = notify->LParam();
            if (IsHoldingWork())
            {
                if (!TakeWhileHolding(message, wParam, lParam))
                    PostHeld([this, message, wParam, lParam] { OnMessage(message, wParam, lParam); });
            }
            else
                OnMessage(message, wParam, lParam);
        }
        return true;
    }
    switch (type)
    {
    case QEvent::WindowBlocked:
        m_bBlockedByModal = true;
        break;
    case QEvent::WindowUnblocked:
        m_bBlockedByModal = false;
        break;
    case QEvent::WindowActivate:
        OnActivate(TRUE);
        break;
    case QEvent::WindowDeactivate:
        OnActivate(FALSE);
        break;
    case QEvent::ChildPolished:
        if (auto* child = qobject_cast<QWidget*>(static_cast<QChildEvent*>(event)->child()))
            ApplyTransparency(child);
        break;
    default:
        break;
    }
    return QDialog::event(event);
}

void CNVDialog::keyPressEvent(QKeyEvent* event)
{
    const int key = event->key();
    const bool enterOrEscape = key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape;
    // Alt+Enter is a shortcut, not Enter: it passes.
    if (IsEmbedded() && enterOrEscape && !(event->modifiers() & Qt::AltModifier))
    {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void CNVDialog::closeEvent(QCloseEvent* event)
{
    // Whether the window goes is OnClose's decision (through the commands it sends).
    event->ignore();
    const bool wasInClose = std::exchange(m_bInClose, true);
    OnClose();
    m_bInClose = wasInClose;
}

// ---- Controls by id ----

void CNVDialog::SetDlgCtrlID(QWidget* control, UINT id)
{
    control->setProperty(kControlIdProperty, id);
}

UINT CNVDialog::GetDlgCtrlID(const QWidget* control)
{
    return control != nullptr ? control->property(kControlIdProperty).toUInt() : 0;
}

QWidget* CNVDialog::GetDlgItem(UINT id) const
{
    for (QObject* child : children())
        if (auto* widget = qobject_cast<QWidget*>(child); widget != nullptr && GetDlgCtrlID(widget) == id)
            return widget;
    return nullptr;
}

// ---- Size and position ----

BOOL CNVDialog::SizeToBackgroundBitmap()
{
    if (m_backgroundBitmap.isNull())
        return FALSE;
    return SetClientSize(m_backgroundBitmap.width(), m_backgroundBitmap.height());
}

BOOL CNVDialog::SizeWidthToBitmap()
{
    return SetClientSize(GetBackgroundBitmapSize().width(), height());
}

BOOL CNVDialog::SizeHeightToBitmap()
{
    return SetClientSize(width(), GetBackgroundBitmapSize().height());
}

BOOL CNVDialog::SetClientSize(int cx, int cy)
{
    return SetWindowSize(cx, cy);
}

BOOL CNVDialog::SetWindowRect(const RECT& rect)
{
    if (!HasWindow())
        return FALSE;
    const QPoint corner(rect.left, rect.top);
    if (IsEmbedded())
        move(corner);
    else
        setGeometry(QRect(corner, size()));
    return SetWindowSize(rect.right - rect.left, rect.bottom - rect.top);
}

BOOL CNVDialog::CenterOnParent()
{
    QWidget* parent = parentWidget();
    return parent != nullptr ? CenterOnWindow(parent) : FALSE;
}

BOOL CNVDialog::CenterOnMainWindow()
{
    QWidget* mainWindow = ui::GetMainWindow();
    return mainWindow != nullptr ? CenterOnWindow(mainWindow) : FALSE;
}

BOOL CNVDialog::CenterOnWindow(QWidget* window)
{
    if (!HasWindow() || window == nullptr)
        return FALSE;
    const QRect target = ScreenRect(*window);
    const QRect own = ScreenRect(*this);
    const auto nearEdge = [](int targetNear, int targetExtent, int ownExtent)
    { return targetExtent > ownExtent ? targetNear + targetExtent / 2 - ownExtent / 2 : targetNear; };
    QPoint corner(nearEdge(target.left(), target.width(), own.width()),
                  nearEdge(target.top(), target.height(), own.height()));
    if (IsEmbedded())
        corner = parentWidget()->mapFromGlobal(corner);
    return SetWindowRect({corner.x(), corner.y(), corner.x() + own.width(), corner.y() + own.height()});
}

BOOL CNVDialog::SetWindowSize(int cx, int cy)
{
    if (!HasWindow())
        return FALSE;
    if (m_minTrackSize)
    {
        cx = std::max(cx, m_minTrackSize->width());
        cy = std::max(cy, m_minTrackSize->height());
    }
    if (m_maxTrackSize)
    {
        cx = std::min(cx, m_maxTrackSize->width());
        cy = std::min(cy, m_maxTrackSize->height());
    }
    if (cx <= 0 || cy <= 0)
        return FALSE;
    resize(cx, cy);
    // A hidden widget gets its resize event only when shown; the anchors follow now.
    RepositionAnchors();
    update();
    return TRUE;
}

void CNVDialog::SetMinTrackSize(QSize size)
{
    m_minTrackSize = size;
    ApplyTrackSizes();
}

void CNVDialog::SetMaxTrackSize(QSize size)
{
    m_maxTrackSize = size;
    ApplyTrackSizes();
}

void CNVDialog::ApplyTrackSizes()
{
    setMinimumSize(m_minTrackSize.value_or(QSize(0, 0)));
    setMaximumSize(m_maxTrackSize.value_or(QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX)));
}

// ---- Background, transparent controls, anchors, button bar ----

BOOL CNVDialog::IsSkinned() const
{
    return !m_backgroundBitmap.isNull() || m_backgroundColor.has_value() || m_bButtonBar ? TRUE : FALSE;
}

BOOL CNVDialog::SetBackgroundColor(COLORREF color)
{
    m_backgroundColor = color;
    ReleaseBackgroundCache();
    update();
    return TRUE;
}

BOOL CNVDialog::SetBackgroundBitmapFile(const QString& path)
{
    const QPixmap picture = ui::LoadSkinPicture(path, ui::kMaxBackgroundPictureSize);
    if (picture.isNull())
        return FALSE;
    m_backgroundBitmap = picture;
    m_strBackgroundBitmapPath = path;
    m_bBitmapFromFile = TRUE;
    ReleaseBackgroundCache();
    update();
    return TRUE;
}

QSize CNVDialog::GetBackgroundBitmapSize() const
{
    return m_backgroundBitmap.isNull() ? size() : m_backgroundBitmap.size();
}

void CNVDialog::AddTransparentControl(UINT id)
{
    m_transparentIds.push_back(id);
    if (QWidget* control = GetDlgItem(id))
        ApplyTransparency(control);
}

void CNVDialog::ApplyTransparency(QWidget* child)
{
    const UINT id = GetDlgCtrlID(child);
    if (id != 0 && !ui::IsTransparent(child) &&
        std::find(m_transparentIds.begin(), m_transparentIds.end(), id) != m_transparentIds.end())
        ui::SetTransparent(child, true);
}

BOOL CNVDialog::AddAnchor(QWidget* control, int left, int top, int right, int bottom)
{
    if (control == nullptr)
        return FALSE;
    if (left < 0 && top < 0 && right < 0 && bottom < 0)
        return TRUE;
    sAnchorDistances distances;
    distances.left = left;
    distances.top = top;
    distances.right = right;
    distances.bottom = bottom;
    m_anchors.push_back({control, distances});
    RepositionAnchors();
    return TRUE;
}

void CNVDialog::RepositionAnchors()
{
    const RECT client = ToRect(rect());
    for (const sAnchorEntry& anchor : m_anchors)
    {
        if (anchor.control == nullptr)
            continue;
        const RECT current = ToRect(anchor.control->geometry());
        const RECT placed = AnchorRect(anchor.distances, current, client);
        if (placed != current)
            anchor.control->setGeometry(ToQRect(placed));
    }
}

void CNVDialog::ReleaseBackgroundCache()
{
    m_composedBackground = QPixmap();
}

void CNVDialog::SetButtonBar(BOOL buttonBar)
{
    m_bButtonBar = buttonBar;
    update();
}

void CNVDialog::PlaceButtonInBar(UINT nID, int rightOffset)
{
    QWidget* child = GetDlgItem(nID);
    if (child == nullptr || child->rect().isEmpty() || child->height() > kButtonBarHeight)
        return;
    const int dpi = logicalDpiX();
    QPoint corner = child->pos();
    corner.setY(height() - kBarButtonBottomSpace - MulDiv(dpi, kBarButtonTopSpace, kStandardDpi));
    const int offset = MulDiv(dpi, rightOffset, kStandardDpi);
    if (offset >= 0 && offset < width())
        corner.setX(width() - offset - child->width());
    child->move(corner);
}

BOOL CNVDialog::ComposeBackground()
{
    ReleaseBackgroundCache();
    if (rect().isEmpty())
        return FALSE;
    QPixmap composed(size());
    composed.fill(m_backgroundColor ? ui::ToQColor(*m_backgroundColor) : palette().color(QPalette::Window));
    if (!m_backgroundBitmap.isNull())
    {
        QPainter painter(&composed);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawPixmap(composed.rect(), m_backgroundBitmap);
    }
    m_composedBackground = composed;
    return TRUE;
}

void CNVDialog::paintEvent(QPaintEvent* event)
{
    if (!IsSkinned())
    {
        QDialog::paintEvent(event);
        return;
    }
    if (m_composedBackground.size() != size() && !ComposeBackground())
    {
        QDialog::paintEvent(event);
        return;
    }
    QPainter painter(this);
    painter.drawPixmap(0, 0, m_composedBackground);
}

void CNVDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // Shown, the window has its frame: once more, in case the frame now reaches off the screen.
    if (m_bCheckScreenWhenShown && !event->spontaneous())
    {
        m_bCheckScreenWhenShown = false;
        KeepOnScreen();
    }
}

void CNVDialog::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    RepositionAnchors();
    // The background is composed again for the new size at the next paint.
    update();
}
