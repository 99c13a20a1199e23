#include "app/popups/DlgPopupSelectPollData.h"

#include <vector>

#include <QHBoxLayout>
#include <QVBoxLayout>

#include "app/popups/PopupButtons.h"
#include "ui/QtText.h"

namespace
{

constexpr int kListMinWidth = 300;
constexpr int kListMinHeight = 320;

} // namespace

CDlgPopup_SelectPollData::CDlgPopup_SelectPollData(QWidget* pParentWnd) : CNVDialog(kTemplateId, pParentWnd)
{
}

BOOL CDlgPopup_SelectPollData::OnInitDialog()
{
    setWindowTitle(QStringLiteral("Select Poll Data"));
    auto* layout = new QVBoxLayout(this);
    m_prompt.setParent(this);
    layout->addWidget(&m_prompt);
    m_list.setParent(this);
    m_list.setMinimumSize(kListMinWidth, kListMinHeight);
    SetDlgCtrlID(&m_list, IDC_POLL_DATA_LIST);
    layout->addWidget(&m_list);

    layout->addLayout(MakeOkCancelRow(*this, m_btnOK, m_btnCancel));

    m_choice.Load();
    const std::vector<sPollChoiceItem>& items = m_choice.Items();
    m_prompt.setText(items.empty() ? QStringLiteral("The probe reports no parameters.")
                                   : QStringLiteral("Check/uncheck desired parameters."));
    for (const sPollChoiceItem& item : items)
    {
        const int index = m_list.AddString(ui::ToQString(item.Name));
        m_list.SetCheck(index, item.Checked);
        if (!item.Selectable)
        {
            // Nothing would poll it: shown for completeness, but it cannot be ticked.
            QListWidgetItem* entry = m_list.item(index);
            entry->setFlags(entry->flags() & ~(Qt::ItemIsUserCheckable | Qt::ItemIsEnabled));
        }
    }
    m_list.setFocus();
    CNVDialog::OnInitDialog();
    return TRUE;
}

void CDlgPopup_SelectPollData::OnOK()
{
    std::vector<BOOL> checks;
    for (int i = 0; i < m_list.count(); ++i)
        checks.push_back(m_list.GetCheck(i));
    m_choice.Apply(checks);
    EndDialog(IDOK);
}
