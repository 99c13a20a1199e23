#include "app/popups/DlgPopupApplySerialNumber.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

#include "app/popups/SerialNumberEntry.h"
#include "ui/Application.h"
#include "ui/DialogService.h"
#include "ui/Label.h"
#include "ui/MessageBoxes.h"
#include "ui/QtText.h"
#include "ui/WaitForWork.h"

namespace
{

constexpr int kTextWidth = 360;

} // namespace

CDlgPopup_ApplySerialNumber::CDlgPopup_ApplySerialNumber(QWidget* pParentWnd, CProbeConnection& connection)
    : CNVDialog(kTemplateId, pParentWnd), m_Connection(connection)
{
}

BOOL CDlgPopup_ApplySerialNumber::OnInitDialog()
{
    setWindowTitle(QStringLiteral("Apply Serial Number"));
    auto* layout = new QVBoxLayout(this);
    m_edit.setParent(this);
    m_edit.setPlaceholderText(QStringLiteral("Enter S/N"));
    SetDlgCtrlID(&m_edit, IDC_SERIAL_EDIT);
    layout->addWidget(&m_edit);
    auto* note = new CLabel(this);
    note->setText(QStringLiteral("Applying \"0\" resets to the VOX Core S/N."));
    QFont italic = note->font();
    italic.setItalic(true);
    note->setFont(italic);
    SetDlgCtrlID(note, IDC_SERIAL_NOTE);
    layout->addWidget(note);
    auto* warning =
        new QLabel(QStringLiteral("Applying a serial number performs a factory reset. This removes user "
                                  "calibrations and configurations. All settings revert to factory "
                                  "defaults."),
                   this);
    warning->setWordWrap(true);
    warning->setFixedWidth(kTextWidth);
    layout->addWidget(warning);
    auto* buttons = new QHBoxLayout();
    buttons->addStretch();
    for (auto [button, id, text] : {std::tuple{&m_btnApply, IDC_SERIAL_APPLY, "Apply"},
                                    std::tuple{&m_btnCancel, IDC_SERIAL_CANCEL, "Cancel"}})
    {
        button->setParent(this);
        button->setText(QString::fromLatin1(text));
        button->setAutoDefault(false);
        SetDlgCtrlID(button, id);
        connect(button, &QPushButton::clicked, this, [this, command = id] { SendCommand(command); });
        buttons->addWidget(button);
    }
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    m_btnApply.setEnabled(false);
    connect(&m_edit, &QLineEdit::textChanged, this,
            [this](const QString& text) { m_btnApply.setEnabled(!text.trimmed().isEmpty()); });
    CNVDialog::OnInitDialog();
    return TRUE;
}

BOOL CDlgPopup_ApplySerialNumber::OnCommand(UINT id)
{
    switch (id)
    {
    case IDC_SERIAL_APPLY:
    case IDOK:
        if (m_btnApply.isEnabled())
            OnApply();
        return TRUE;
    case IDC_SERIAL_CANCEL:
        EndDialog(IDCANCEL);
        return TRUE;
    default:
        return CNVDialog::OnCommand(id);
    }
}

void CDlgPopup_ApplySerialNumber::OnApply()
{
    const std::optional<uint32_t> serial = ParseSerialNumberText(ui::ToU16String(m_edit.text()));
    if (!serial)
    {
        ui::Dialogs().MessageBox(
            this,
            QStringLiteral("Invalid serial number.\nPlease enter a numeric value from 0 to %1")
                .arg(MAX_SERIAL_NUMBER),
            ui::ApplicationName(), platform::MB_OK | platform::MB_ICONWARNING);
        return;
    }
    try
    {
        // The file goes to the probe; its failure comes back from the worker as it was thrown.
        ui::WaitForWork([this, value = *serial] { m_Connection.UpdateOemConfigFile(value); });
    }
    catch (const CWideString& message)
    {
        ShowErrorBox(this, QStringLiteral("Failed to apply serial number.\n%1").arg(ui::ToQString(message)));
        return;
    }
    EndDialog(IDOK);
}
