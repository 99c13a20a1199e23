#include "app/popups/DlgPopupPortSettings.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "ui/QtText.h"
#include "ui/WaitForWork.h"

namespace
{

constexpr UINT kListIds[CPortSettingsChoice::LIST_COUNT] = {
    IDC_PORT_LIST,      IDC_BAUD_LIST,    IDC_DATA_BITS_LIST, IDC_PARITY_LIST,
    IDC_STOP_BITS_LIST, IDC_ADDRESS_LIST, IDC_MODE_LIST};
const char* const kListLabels[CPortSettingsChoice::LIST_COUNT] = {
    "Port:", "Baud rate:", "Data bits:", "Parity:", "Stop bits:", "Address:", "Mode:"};
// The port list shows "COM n" with its device path: wide enough for a path under /dev.
constexpr int kPortListMinWidth = 240;
constexpr int kListMinWidth = 150;

} // namespace

CDlgPopup_PortSettings::CDlgPopup_PortSettings(QWidget* pParentWnd, CProbeConnection& connection)
    : CNVDialog(kTemplateId, pParentWnd), m_Choice(connection)
{
}

BOOL CDlgPopup_PortSettings::OnInitDialog()
{
    setWindowTitle(QStringLiteral("Computer Port Settings"));
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout();
    for (int list = 0; list < CPortSettingsChoice::LIST_COUNT; ++list)
    {
        CNVComboBox& combo = m_lists[list];
        combo.setParent(this);
        combo.setMinimumWidth(list == CPortSettingsChoice::LIST_PORT ? kPortListMinWidth : kListMinWidth);
        SetDlgCtrlID(&combo, kListIds[list]);
        form->addRow(QString::fromLatin1(kListLabels[list]), &combo);
        connect(&combo, &QComboBox::currentIndexChanged, this,
                [this, list](int index)
                { m_Choice.Select(static_cast<CPortSettingsChoice::List>(list), index); });
    }
    layout->addLayout(form);

    auto* buttons = new QHBoxLayout();
    const std::tuple<CNVButton*, UINT, const char*> defs[] = {{&m_btnResetComm, IDC_RESET_COMM, "Reset Comm"},
                                                              {&m_btnOK, IDOK, "OK"},
                                                              {&m_btnCancel, IDCANCEL, "Cancel"}};
    buttons->addStretch();
    for (const auto& [button, id, text] : defs)
    {
        button->setParent(this);
        button->setText(QString::fromLatin1(text));
        SetDlgCtrlID(button, id);
        connect(button, &QPushButton::clicked, this, [this, command = id] { SendCommand(command); });
        buttons->addWidget(button);
    }
    m_btnOK.setDefault(true);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    m_Choice.Load();
    FillLists();
    CNVDialog::OnInitDialog();
    return TRUE;
}

void CDlgPopup_PortSettings::FillLists()
{
    for (int list = 0; list < CPortSettingsChoice::LIST_COUNT; ++list)
    {
        CNVComboBox& combo = m_lists[list];
        const QSignalBlocker block(combo);
        combo.clear();
        for (const CWideString& item : m_Choice.Items(static_cast<CPortSettingsChoice::List>(list)))
            combo.addItem(ui::ToQString(item));
        combo.setCurrentIndex(m_Choice.GetSelection(static_cast<CPortSettingsChoice::List>(list)));
    }
}

BOOL CDlgPopup_PortSettings::OnCommand(UINT id)
{
    if (id == IDC_RESET_COMM)
    {
        OnResetComm();
        return TRUE;
    }
    return CNVDialog::OnCommand(id);
}

void CDlgPopup_PortSettings::OnResetComm()
{
    // The user waits for the broadcast; the boxes before and after it wait for the user.
    m_Choice.ResetComm([](const std::function<HRESULT()>& broadcast) { return ui::WaitForWork(broadcast); });
    FillLists();
}

void CDlgPopup_PortSettings::OnOK()
{
    if (m_Choice.Accept())
        EndDialog(IDOK);
}
