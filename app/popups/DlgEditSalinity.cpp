#include "app/popups/DlgEditSalinity.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

#include "app/popups/PopupButtons.h"
#include "app/popups/TypedNumberText.h"
#include "ui/NumberEntry.h"
#include "ui/QtText.h"

namespace
{

constexpr int kEditWidth = 100;

} // namespace

CDlgEditSalinity::CDlgEditSalinity(QWidget* pParentWnd) : CNVDialog(kTemplateId, pParentWnd) {}

BOOL CDlgEditSalinity::OnInitDialog()
{
    setWindowTitle(QStringLiteral("Edit Salinity Values"));
    auto* layout = new QVBoxLayout(this);
    auto* row = new QHBoxLayout();
    m_label.setParent(this);
    m_label.setText(QStringLiteral("Salinity (PSU):"));
    SetDlgCtrlID(&m_label, IDC_SALINITY_LABEL);
    row->addWidget(&m_label);
    m_edit.setParent(this);
    m_edit.setFixedWidth(kEditWidth);
    SetDlgCtrlID(&m_edit, IDC_SALINITY_EDIT);
    row->addWidget(&m_edit);
    m_range.setParent(this);
    m_range.setText(ui::ToQString(FormatRangeText(SALINITY_MIN_PSU, SALINITY_MAX_PSU, SALINITY_UNIT_PSU)));
    SetDlgCtrlID(&m_range, IDC_SALINITY_RANGE);
    row->addWidget(&m_range);
    row->addStretch();
    layout->addLayout(row);
    m_useAsDefault.setParent(this);
    m_useAsDefault.setText(QStringLiteral("Use value for power on default"));
    SetDlgCtrlID(&m_useAsDefault, IDC_USE_AS_DEFAULT);
    layout->addWidget(&m_useAsDefault);
    layout->addLayout(MakeOkCancelRow(*this, m_btnOk, m_btnCancel));
    layout->setSizeConstraint(QLayout::SetFixedSize);

    SetEditTextQuietly(m_edit, m_strSalinity);
    m_useAsDefault.setChecked(m_bUseAsDefault != FALSE);
    m_btnOk.setEnabled(IsSalinityTextValid(ui::ToWideString(m_strSalinity)) != FALSE);
    connect(&m_edit, &QLineEdit::textChanged, this, [this] { OnChangeSalinity(); });
    CNVDialog::OnInitDialog();
    return TRUE;
}

void CDlgEditSalinity::OnChangeSalinity()
{
    m_strSalinity =
        KeepTypedNumber(m_edit, m_strSalinity, FALSE, TRUE, kMaxCharacters, ECaretAfterTyping::AtEnd);
    m_edit.setFocus();
    m_btnOk.setEnabled(IsSalinityTextValid(ui::ToWideString(m_strSalinity)) != FALSE);
}

void CDlgEditSalinity::OnOK()
{
    if (!IsSalinityTextValid(ui::ToWideString(m_strSalinity)))
        return;
    m_bUseAsDefault = m_useAsDefault.isChecked() ? TRUE : FALSE;
    EndDialog(IDOK);
}
