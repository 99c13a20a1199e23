#include "app/popups/DlgPopupSelectSDI12Params.h"

#include <QLabel>
#include <QVBoxLayout>

#include "app/popups/PopupButtons.h"
#include "ui/MessageBoxes.h"
#include "ui/QtText.h"

namespace
{

constexpr int kListWidth = 260;
constexpr int kListHeight = 220;

} // namespace

CDlgPopup_SelectSDI12Params::CDlgPopup_SelectSDI12Params(QWidget* pParentWnd)
    : CNVDialog(kTemplateId, pParentWnd)
{
}

void CDlgPopup_SelectSDI12Params::Init(const CDynArray<sParameterReading>& offered,
                                       const CDynArray<sParameterReading>& chosen)
{
    m_Picker.Init(offered, chosen);
}

BOOL CDlgPopup_SelectSDI12Params::OnInitDialog()
{
    setWindowTitle(QStringLiteral("Available SDI-12 Parameters"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Check/uncheck desired parameters."), this));
    m_list.setParent(this);
    m_list.setFixedSize(kListWidth, kListHeight);
    SetDlgCtrlID(&m_list, IDC_SDI12_PICK_LIST);
    layout->addWidget(&m_list);
    AddPopupButtonRow(*this, *layout, {{&m_btnOK, IDOK, "OK"}, {&m_btnCancel, IDCANCEL, "Cancel"}});
    m_btnOK.setDefault(true);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    const CDynArray<sParameterReading>& offered = m_Picker.Offered();
    for (uint32_t i = 0; i < offered.GetCount(); ++i)
    {
        const int entry = m_list.AddString(ui::ToQString(Sdi12ParameterLabel(offered[i])));
        m_list.SetCheck(entry, m_Picker.IsChosen(i));
    }
    CNVDialog::OnInitDialog();
    return TRUE;
}

void CDlgPopup_SelectSDI12Params::OnOK()
{
    CDynArray<BOOL> checks;
    for (int entry = 0; entry < m_list.count(); ++entry)
        checks.Add(m_list.GetCheck(entry));
    if (!m_Picker.Accept(checks))
    {
        ShowErrorBox(this, QStringLiteral("Must make at least one selection."));
        return;
    }
    EndDialog(IDOK);
}
