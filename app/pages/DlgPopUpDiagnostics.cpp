#include "app/pages/DlgPopUpDiagnostics.h"

#include <QApplication>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QShortcut>

#include "app/main/DlgFrameTarnwickSoft.h"
#include "app/main/TabSkin.h"
#include "models/SledraComm.h"
#include "models/VOXCoreICComm.h"
#include "models/VoxProComm.h"
#include "ui/MessageBoxes.h"
#include "ui/QtText.h"
#include "ui/Skin.h"
#include "ui/WaitForWork.h"

namespace
{

constexpr int kStandardDpi = 96;
constexpr int kClientWidth = 700;
constexpr int kClientHeight = 620;
constexpr int kMarginSide = 10;
constexpr int kMarginTop = 40;
constexpr int kMarginBottom = 180;
constexpr int kCounterEditWidth = 100;

const char16_t* const kTabTexts[CDlgPopUpDiagnostics::PAGE_COUNT] = {u"VOX", u"Conductivity", u"Level",
                                                                     u"pH/ORP"};
constexpr UINT kTabIds[CDlgPopUpDiagnostics::PAGE_COUNT] = {IDC_DIAG_TAB_VOX, IDC_DIAG_TAB_COND,
                                                            IDC_DIAG_TAB_LEVEL, IDC_DIAG_TAB_PHORP};

struct sSwitches
{
    bool vox, cond, level, phorp, externalVoltage;
};

} // namespace

CDlgPopUpDiagnostics::CDlgPopUpDiagnostics(QWidget* pParentWnd, CProbeConnection& connection)
    : CNVDialog(kTemplateId, pParentWnd), m_Connection(connection)
{
}

CDlgPopUpDiagnostics::~CDlgPopUpDiagnostics() = default;

CCtrlPage_DiagsBase& CDlgPopUpDiagnostics::Page(int index)
{
    switch (index)
    {
    case PAGE_COND:
        return m_pageCond;
    case PAGE_LEVEL:
        return m_pageLevel;
    case PAGE_PHORP:
        return m_pagePHORP;
    default:
        return m_pageVOX;
    }
}

HRESULT CDlgPopUpDiagnostics::InitFromConnection(CProbeConnection& connection)
{
    // The device answers under its lock, which a worker may hold across a read of the probe.
    return ui::WaitForWork([this, &connection] { return TakeDevice(connection); });
}

HRESULT CDlgPopUpDiagnostics::TakeDevice(CProbeConnection& connection)
{
    const DeviceRef probe = connection.HoldConnectedProbe();
    if (probe == nullptr || !probe->IsTagged())
        return E_FAIL;
    USHORT deviceType = 0;
    if (const HRESULT hr = probe->GetDeviceTypeId(deviceType); Failed(hr))
        return hr;

    DeviceRef view;
    sSwitches switches{};
    if (deviceType == DEVICE_TYPE_MULTI_SENSOR_PROBE)
    {
        view.reset(probe->QuerySledraComm());
        switches = {true, true, true, true, true};
    }
    else if (deviceType == DEVICE_TYPE_VOX_CORE_IC)
    {
        view.reset(probe->QueryVOXCoreICComm());
        switches = {true, true, false, false, false};
    }
    else
    {
        view.reset(probe->QueryVoxProComm());
        switches = {true, false, false, false, true};
    }
    const bool suitable =
        view != nullptr &&
        (view->GetClassSignature() == NVSystem::CSledraComm::kClassSignature ||
         NVSystem::CVoxProComm::IsVoxPro(view.get()) || NVSystem::CVOXCoreICComm::IsVOXCoreIC(view.get()));
    if (!suitable)
        return E_FAIL;
    if (const HRESULT hr = view->GetDeviceTypeId(m_nDeviceTypeId); Failed(hr))
        return hr;
    m_pDevice = std::move(view);
    m_bPageOn = {switches.vox, switches.cond, switches.level, switches.phorp};
    m_bExternalVoltage = switches.externalVoltage;
    return S_OK;
}

BOOL CDlgPopUpDiagnostics::OnInitDialog()
{
    CNVDialog::OnInitDialog();
    setWindowTitle(QStringLiteral("Tarnwick Software Diagnostics"));
    const int dpi = logicalDpiX();
    const auto scaled = [dpi](int value) { return MulDiv(value, dpi, kStandardDpi); };
    resize(scaled(kClientWidth), scaled(kClientHeight));

    for (int index = 0; index < PAGE_COUNT; ++index)
    {
        CCtrlPage_DiagsBase& page = Page(index);
        page.Create(this);
        AddAnchor(&page, scaled(kMarginSide), scaled(kMarginTop), scaled(kMarginSide), scaled(kMarginBottom));

        CNVBitmapButtonEx& tab = m_tabs[index];
        tab.setParent(this);
        tab.setText(ui::ToQString(kTabTexts[index]));
        tab.setAutoDefault(false);
        SetDlgCtrlID(&tab, kTabIds[index]);
        connect(&tab, &QPushButton::clicked, this, [this, id = kTabIds[index]] { SendCommand(id); });
    }

    // The skin of the application: tab colours, the tab pictures when all four exist, the colour.
    for (CNVBitmapButtonEx& tab : m_tabs)
        ApplySkinToTabButton(tab);
    const int tabWidth = m_tabs[0].width();
    for (int index = 0; index < PAGE_COUNT; ++index)
        AddAnchor(&m_tabs[index], scaled(kMarginSide) + index * tabWidth,
                  scaled(kMarginTop) - m_tabs[0].height(), -1, -1);
    SetBackgroundColor(g_Skin.backgroundColor);
    for (int index = 0; index < PAGE_COUNT; ++index)
        Page(index).SetBackgroundColor(g_Skin.backgroundColor);

    // The counters below the pages.
    m_pCounters = new QWidget(this);
    auto* grid = new QGridLayout(m_pCounters);
    grid->setHorizontalSpacing(12);
    const std::tuple<UINT, UINT, const char*, int, int> counters[] = {
        {IDC_DIAG_GOOD_MESSAGES, 0, "Good Messages:", 0, 0},
        {IDC_DIAG_BAD_MESSAGES, 0, "Bad Messages:", 1, 0},
        {IDC_DIAG_EXCEPTIONS, 0, "Exceptions:", 2, 0},
        {IDC_DIAG_CACHE_TIMEOUT, 0, "Cache Timeout (ms):", 0, 2},
        {IDC_DIAG_EXTERNAL_VOLTAGE, IDC_DIAG_EXTERNAL_VOLTAGE_LABEL, "External Power Voltage (mV):", 1, 2}};
    for (const auto& [id, labelId, text, row, column] : counters)
    {
        auto* label = new QLabel(QString::fromLatin1(text), m_pCounters);
        if (labelId != 0)
            SetDlgCtrlID(label, labelId);
        auto* edit = new QLineEdit(m_pCounters);
        edit->setReadOnly(true);
        edit->setFixedWidth(scaled(kCounterEditWidth));
        SetDlgCtrlID(edit, id);
        grid->addWidget(label, row, column);
        grid->addWidget(edit, row, column + 1);
    }
    m_btnReset.setParent(m_pCounters);
    m_btnReset.setText(QStringLiteral("Reset"));
    m_btnReset.setAutoDefault(false);
    SetDlgCtrlID(&m_btnReset, IDC_DIAG_RESET_COUNTERS);
    connect(&m_btnReset, &QPushButton::clicked, this, [this] { SendCommand(IDC_DIAG_RESET_COUNTERS); });
    grid->addWidget(&m_btnReset, 3, 1);
    grid->setColumnStretch(4, 1);
    m_pCounters->resize(scaled(kClientWidth - 2 * kMarginSide), scaled(kMarginBottom - 60));
    AddAnchor(m_pCounters, scaled(kMarginSide), -1, scaled(kMarginSide), scaled(50));

    m_btnOK.setParent(this);
    m_btnOK.setText(QStringLiteral("OK"));
    m_btnOK.setDefault(true);
    SetDlgCtrlID(&m_btnOK, IDOK);
    connect(&m_btnOK, &QPushButton::clicked, this, [this] { SendCommand(IDOK); });
    m_btnOK.resize(scaled(90), scaled(28));
    AddAnchor(&m_btnOK, -1, -1, scaled(kMarginSide), scaled(kMarginSide));

    const std::pair<QKeySequence, UINT> accelerators[] = {
        {QKeySequence(Qt::ALT | Qt::Key_Right), ID_ACCEL_NEXT},
        {QKeySequence(Qt::ALT | Qt::Key_Left), ID_ACCEL_BACK},
        {QKeySequence(Qt::ALT | Qt::Key_Up), ID_ACCEL_PARAM_UP},
        {QKeySequence(Qt::ALT | Qt::Key_Down), ID_ACCEL_PARAM_DOWN},
        {QKeySequence(Qt::ALT | Qt::Key_C), ID_ACCEL_CONNECT},
        {QKeySequence(Qt::ALT | Qt::Key_D), ID_ACCEL_DISCONNECT}};
    for (const auto& [keys, id] : accelerators)
    {
        auto* shortcut = new QShortcut(keys, this);
        connect(shortcut, &QShortcut::activated, this,
                [this, command = id] { DispatchAccelerator(command); });
    }

    SelectPage(PAGE_VOX);
    ReadCounters();
    if (!m_bExternalVoltage)
        for (QWidget* child : m_pCounters->findChildren<QWidget*>())
            if (const UINT id = GetDlgCtrlID(child);
                id == IDC_DIAG_EXTERNAL_VOLTAGE_LABEL || id == IDC_DIAG_EXTERNAL_VOLTAGE)
            {
                // Its room stays, so the cache time-out above it keeps its place.
                QSizePolicy policy = child->sizePolicy();
                policy.setRetainSizeWhenHidden(true);
                child->setSizePolicy(policy);
                child->hide();
            }
    for (int index = 0; index < PAGE_COUNT; ++index)
    {
        m_tabs[index].SetToolTipText(QStringLiteral("Next (Alt+Right), Back (Alt+Left)"));
        m_tabs[index].setVisible(m_bPageOn[index] != FALSE);
    }
    return TRUE;
}

QString CDlgPopUpDiagnostics::GetCounterText(UINT id) const
{
    if (m_pCounters == nullptr)
        return QString();
    for (QLineEdit* edit : m_pCounters->findChildren<QLineEdit*>())
        if (GetDlgCtrlID(edit) == id)
            return edit->isHidden() ? QString() : edit->text();
    return QString();
}

void CDlgPopUpDiagnostics::ReadCounters()
{
    if (m_pDevice == nullptr || m_pCounters == nullptr)
        return;
    NVSystem::CDeviceComm& device = *m_pDevice;
    const bool externalVoltage = m_bExternalVoltage != FALSE;
    const sDiagnosticCounters counters = ui::WaitForWork(
        [&device, externalVoltage] { return ReadDiagnosticCounters(device, externalVoltage); });
    const auto set = [this](UINT id, const auto& value)
    {
        if (!value)
            return;
        for (QLineEdit* edit : m_pCounters->findChildren<QLineEdit*>())
            if (GetDlgCtrlID(edit) == id)
                edit->setText(QString::number(*value));
    };
    set(IDC_DIAG_GOOD_MESSAGES, counters.goodMessages);
    set(IDC_DIAG_BAD_MESSAGES, counters.badMessages);
    set(IDC_DIAG_EXCEPTIONS, counters.exceptions);
    set(IDC_DIAG_EXTERNAL_VOLTAGE, counters.externalVoltage);
    set(IDC_DIAG_CACHE_TIMEOUT, counters.cacheTimeout);
}

void CDlgPopUpDiagnostics::SelectPage(int index)
{
    if (index < 0 || index >= PAGE_COUNT)
        return;
    for (int other = 0; other < PAGE_COUNT; ++other)
    {
        Page(other).hide();
        m_tabs[other].SetPressed(FALSE);
    }
    if (index != PAGE_VOX && !m_bPageOn[index])
        return;
    Page(index).Fill(m_Connection);
    Page(index).show();
    m_tabs[index].SetPressed(TRUE);
}

int CDlgPopUpDiagnostics::GetVisiblePage() const
{
    int visible = -1;
    for (int index = 0; index < PAGE_COUNT; ++index)
        if (!const_cast<CDlgPopUpDiagnostics*>(this)->Page(index).isHidden())
        {
            if (visible >= 0)
                return -1;
            visible = index;
        }
    return visible;
}

void CDlgPopUpDiagnostics::DispatchAccelerator(UINT id)
{
    SendCommand(id);
}

void CDlgPopUpDiagnostics::OnNextPage(int step)
{
    const int visible = GetVisiblePage();
    if (visible < 0)
        return;
    for (int offset = 1; offset < PAGE_COUNT; ++offset)
    {
        const int candidate = (visible + step * offset + PAGE_COUNT * PAGE_COUNT) % PAGE_COUNT;
        if (m_bPageOn[candidate])
        {
            // A page reads the probe when it is shown: not inside a wait or a box.
            PostHeld([this, candidate] { SendCommand(kTabIds[candidate]); });
            return;
        }
    }
}

void CDlgPopUpDiagnostics::OnResetCounters()
{
    if (NVSystem::CDeviceComm* device = m_pDevice.get(); device != nullptr)
    {
        if (const HRESULT hr = ui::WaitForWork([device] { return device->ClearMsgCounters(); }); Failed(hr))
            ShowErrorCodeBox(this, QStringLiteral("Failed to clear message counters."), hr);
        else
            ShowWarningBox(this, QStringLiteral("Message counters cleared."));
    }
    ReadCounters();
}

BOOL CDlgPopUpDiagnostics::OnCommand(UINT id)
{
    for (int index = 0; index < PAGE_COUNT; ++index)
        if (id == kTabIds[index])
        {
            SelectPage(index);
            return TRUE;
        }
    switch (id)
    {
    case IDC_DIAG_RESET_COUNTERS:
        OnResetCounters();
        return TRUE;
    case ID_ACCEL_NEXT:
        OnNextPage(1);
        return TRUE;
    case ID_ACCEL_BACK:
        OnNextPage(-1);
        return TRUE;
    case ID_ACCEL_PARAM_UP:
    case ID_ACCEL_PARAM_DOWN:
    case ID_ACCEL_CONNECT:
    case ID_ACCEL_DISCONNECT:
        return TRUE;
    default:
        return CNVDialog::OnCommand(id);
    }
}
