#include "app/popups/DlgPopupSDI12Setup.h"

#include <QApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QShortcut>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "app/popups/DlgPopupSelectSDI12Params.h"
#include "foundation/ErrorTable.h"
#include "ui/MessageBoxes.h"
#include "ui/QtText.h"
#include "ui/WaitForWork.h"

namespace
{

constexpr int kAddressEditWidth = 40;
constexpr int kListWidth = 240;
constexpr int kListHeight = 200;
constexpr int kButtonWidth = 150;

} // namespace

CDlgPopup_SDI12Setup::CDlgPopup_SDI12Setup(QWidget* pParentWnd, CProbeConnection& connection)
    : CNVDialog(kTemplateId, pParentWnd), m_Setup(connection)
{
}

CDlgPopup_SDI12Setup::~CDlgPopup_SDI12Setup()
{
    // The focus watch must not reach a dialog that is going.
    disconnect(qApp, nullptr, this, nullptr);
}

void CDlgPopup_SDI12Setup::CreateControls()
{
    auto* layout = new QVBoxLayout(this);
    auto* address = new QHBoxLayout();
    address->addWidget(new QLabel(QStringLiteral("Address character:"), this));
    m_editAddress.setParent(this);
    m_editAddress.setFixedWidth(kAddressEditWidth);
    SetDlgCtrlID(&m_editAddress, IDC_SDI12_ADDRESS);
    address->addWidget(&m_editAddress);
    address->addWidget(new QLabel(QStringLiteral("(0-9,A-Z,a-z)"), this));
    address->addStretch();
    layout->addLayout(address);

    auto* body = new QHBoxLayout();
    m_list.setParent(this);
    m_list.setFixedSize(kListWidth, kListHeight);
    SetDlgCtrlID(&m_list, IDC_SDI12_LIST);
    body->addWidget(&m_list);
    auto* column = new QVBoxLayout();
    const std::tuple<CNVButton*, UINT, const char*> defs[] = {
        {&m_btnUp, IDC_SDI12_UP, "Parameter Up"},
        {&m_btnDown, IDC_SDI12_DOWN, "Parameter Down"},
        {&m_btnSelect, IDC_SDI12_SELECT, "Select Parameters..."},
        {&m_btnReload, IDC_SDI12_RELOAD, "Reload From Device"},
        {&m_btnWrite, IDC_SDI12_WRITE, "Write To Device"},
        {&m_btnCancel, IDCANCEL, "Cancel"}};
    for (const auto& [button, id, text] : defs)
    {
        button->setParent(this);
        button->setText(QString::fromLatin1(text));
        button->setAutoDefault(false);
        button->setFixedWidth(kButtonWidth);
        SetDlgCtrlID(button, id);
        connect(button, &QPushButton::clicked, this, [this, command = id] { SendCommand(command); });
        column->addWidget(button);
        // Ordering apart from loading and writing.
        if (id == IDC_SDI12_DOWN || id == IDC_SDI12_WRITE)
            column->addSpacing(12);
    }
    column->addStretch();
    body->addLayout(column);
    layout->addLayout(body);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    m_btnWrite.setDefault(true);
    m_btnUp.setToolTip(QStringLiteral("Alt+Up"));
    m_btnDown.setToolTip(QStringLiteral("Alt+Down"));

    for (auto [keys, id] : {std::pair{QKeySequence(Qt::ALT | Qt::Key_Up), IDC_SDI12_UP},
                            std::pair{QKeySequence(Qt::ALT | Qt::Key_Down), IDC_SDI12_DOWN}})
    {
        auto* shortcut = new QShortcut(keys, this);
        shortcut->setContext(Qt::WindowShortcut);
        CNVButton* button = id == IDC_SDI12_UP ? &m_btnUp : &m_btnDown;
        connect(shortcut, &QShortcut::activated, this,
                [this, button, command = id]
                {
                    if (button->isEnabled())
                        SendCommand(command);
                });
    }
    connect(&m_editAddress, &QLineEdit::textChanged, this, [this] { OnAddressChanged(); });
    connect(&m_list, &QListWidget::currentRowChanged, this,
            [this](int row)
            {
                m_nSelected = row;
                UpdateMoveButtons();
            });
    connect(qApp, &QApplication::focusChanged, this, &CDlgPopup_SDI12Setup::OnFocusChanged);
}

BOOL CDlgPopup_SDI12Setup::OnInitDialog()
{
    setWindowTitle(QStringLiteral("SDI-12 setup"));
    CreateControls();
    CNVDialog::OnInitDialog();
    if (!LoadFromDevice())
        return FALSE;
    UpdateMoveButtons();
    return TRUE;
}

void CDlgPopup_SDI12Setup::ShowLoadFailure(const sSdi12LoadOutcome& outcome)
{
    if (outcome.FailedStep == ESdi12LoadStep::Connections)
        ErrorCodeMessageBox(u"Failed to get active connections.", outcome.Result, ui::OwnerHandle(this),
                            nullptr);
    else
        ShowErrorCodeBox(this, QStringLiteral("Failed to read parameter set"), outcome.Result);
}

BOOL CDlgPopup_SDI12Setup::LoadFromDevice()
{
    const sSdi12LoadOutcome outcome = ui::WaitForWork([this] { return m_Setup.Load(); });
    {
        const QSignalBlocker blocker(m_editAddress);
        m_editAddress.setText(ui::ToQString(static_cast<const char16_t*>(m_Setup.GetAddressText())));
        m_addressText.SetPrevious(m_editAddress.text());
    }
    FillList(-1);
    if (!outcome.Succeeded())
    {
        ShowLoadFailure(outcome);
        EndDialog(0);
        return FALSE;
    }
    m_bChanged = false;
    m_btnReload.setEnabled(false);
    m_btnWrite.setEnabled(false);
    return TRUE;
}

void CDlgPopup_SDI12Setup::FillList(int selected)
{
    {
        const QSignalBlocker blocker(m_list);
        m_list.clear();
        const CDynArray<sParameterReading>& chosen = m_Setup.Chosen();
        for (uint32_t i = 0; i < chosen.GetCount(); ++i)
            m_list.AddString(ui::ToQString(Sdi12ParameterLabel(chosen[i])));
        m_list.setCurrentRow(selected);
    }
    m_nSelected = m_list.currentRow();
    UpdateMoveButtons();
}

void CDlgPopup_SDI12Setup::SetChanged()
{
    m_bChanged = true;
    m_btnReload.setEnabled(true);
    UpdateWriteButton();
}

void CDlgPopup_SDI12Setup::UpdateWriteButton()
{
    // An address the probe cannot take would only fail the write: Write waits for a valid one.
    m_btnWrite.setEnabled(m_bChanged && IsSdi12AddressText(m_Setup.GetAddressText()) != FALSE);
}

BOOL CDlgPopup_SDI12Setup::OnCommand(UINT id)
{
    switch (id)
    {
    case IDC_SDI12_UP:
        OnMove(-1);
        return TRUE;
    case IDC_SDI12_DOWN:
        OnMove(1);
        return TRUE;
    case IDC_SDI12_SELECT:
        OnSelectParameters();
        return TRUE;
    case IDC_SDI12_RELOAD:
        if (LoadFromDevice())
            m_editAddress.setFocus();
        return TRUE;
    case IDC_SDI12_WRITE:
    case IDOK:
        // Enter presses the default button, which is Write: only while it is enabled.
        if (m_btnWrite.isEnabled())
            OnWrite();
        return TRUE;
    default:
        return CNVDialog::OnCommand(id);
    }
}

void CDlgPopup_SDI12Setup::OnAddressChanged()
{
    const QString kept = m_addressText.OnChanged(m_editAddress, CleanSdi12AddressText);
    m_editAddress.setCursorPosition(static_cast<int>(kept.size()));
    m_Setup.SetAddressText(ui::ToWideString(kept));
    SetChanged();
}

void CDlgPopup_SDI12Setup::OnSelectParameters()
{
    CDynArray<sParameterReading> offered;
    const sSdi12LoadOutcome outcome =
        ui::WaitForWork([this, &offered] { return m_Setup.ReadOfferedReadings(offered); });
    if (!outcome.Succeeded())
    {
        ShowLoadFailure(outcome);
        return;
    }
    CDlgPopup_SelectSDI12Params picker(this);
    picker.Init(offered, m_Setup.Chosen());
    m_pPicker = &picker;
    const int result = picker.DoModal();
    m_pPicker = nullptr;
    if (result != IDOK)
        return;
    if (picker.IsChanged())
        SetChanged();
    m_Setup.SetChosen(picker.GetResult());
    FillList(-1);
}

void CDlgPopup_SDI12Setup::OnMove(int step)
{
    const int index = m_nSelected;
    const BOOL moved = step < 0 ? m_Setup.MoveUp(index) : m_Setup.MoveDown(index);
    if (!moved)
        return;
    FillList(index + step);
    SetChanged();
    m_list.setFocus();
    UpdateMoveButtons();
}

void CDlgPopup_SDI12Setup::OnFocusChanged(QWidget* old, QWidget* now)
{
    if (!HasWindow())
        return;
    if (now == &m_list && m_list.count() > 0 && m_nSelected >= 0)
    {
        m_list.setCurrentRow(m_nSelected);
    }
    else if (old == &m_list && now != &m_btnUp && now != &m_btnDown)
    {
        // The list shows no selection without the focus; coming back it selects the first entry.
        const QSignalBlocker blocker(m_list);
        m_list.setCurrentRow(-1);
        m_nSelected = 0;
    }
    UpdateMoveButtons();
}

void CDlgPopup_SDI12Setup::UpdateMoveButtons()
{
    const QWidget* focus = QApplication::focusWidget();
    const bool focused = focus == &m_list || focus == &m_btnUp || focus == &m_btnDown;
    const int count = m_list.count();
    const bool selected = m_nSelected >= 0 && m_nSelected < count && m_list.currentRow() == m_nSelected;
    const bool movable = count >= 2 && focused && selected;
    m_btnUp.setEnabled(movable && m_nSelected > 0);
    m_btnDown.setEnabled(movable && m_nSelected < count - 1);
}

void CDlgPopup_SDI12Setup::OnWrite()
{
    if (m_Setup.Chosen().GetCount() == 0)
    {
        ShowErrorBox(this, QStringLiteral("Please select at least one parameter for the configuration."));
        return;
    }
    const HRESULT hr = ui::WaitForWork([this] { return m_Setup.Write(); });
    if (Succeeded(hr))
    {
        ShowWarningBox(this, QStringLiteral("SDI-12 configuration written successfully"));
        EndDialog(IDOK);
        return;
    }
    // The popup stays open: the user's address and list are not lost with a failed write, and Write
    // can be tried again.
    ShowErrorBox(this, ui::ToQString(static_cast<const char16_t*>(CWideString(
                           u"Failed to write the SDI-12 configuration to the probe.\nError: %08X(%s)\n",
                           static_cast<uint32_t>(hr), LookupErrorText(static_cast<uint32_t>(hr))))));
}
