#include "app/popups/DlgPopupEditValue.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "app/popups/PopupButtons.h"
#include "app/popups/TypedNumberText.h"
#include "platform/Format.h"
#include "ui/NumberEntry.h"
#include "ui/NumericText.h"
#include "ui/QtText.h"

namespace
{

constexpr int kEditWidth = 140;

} // namespace

CDlgPopup_EditValue::CDlgPopup_EditValue(QWidget* pParentWnd) : CNVDialog(kTemplateId, pParentWnd) {}

BOOL CDlgPopup_EditValue::OnInitDialog()
{
    setWindowTitle(m_strTitle);
    auto* layout = new QVBoxLayout(this);
    auto* row = new QHBoxLayout();
    m_valueLabel.setParent(this);
    m_valueLabel.setText(m_strValueLabel);
    SetDlgCtrlID(&m_valueLabel, IDC_EDIT_VALUE_LABEL);
    row->addWidget(&m_valueLabel);
    m_edit.setParent(this);
    m_edit.setMinimumWidth(kEditWidth);
    SetDlgCtrlID(&m_edit, IDC_EDIT_VALUE);
    row->addWidget(&m_edit, 1);
    layout->addLayout(row);
    m_rangeLabel.setParent(this);
    m_rangeLabel.setText(m_strRangeLabel);
    SetDlgCtrlID(&m_rangeLabel, IDC_EDIT_VALUE_RANGE);
    layout->addWidget(&m_rangeLabel);
    m_rangeLabel.setVisible(!m_strRangeLabel.isEmpty());
    layout->addLayout(MakeOkCancelRow(*this, m_btnOk, m_btnCancel));
    layout->setSizeConstraint(QLayout::SetFixedSize);

    m_strValue = QString::fromStdString(platform::Format("%g", static_cast<double>(m_fValue)));
    m_strShown = m_strValue;
    SetEditTextQuietly(m_edit, m_strValue);
    m_edit.setFocus();
    m_edit.selectAll();
    m_btnOk.setEnabled(IsEntryValueAccepted(ui::ToWideString(m_strValue), m_fMin, m_fMax) != FALSE);
    connect(&m_edit, &QLineEdit::textChanged, this, [this] { OnChangeValue(); });
    CNVDialog::OnInitDialog();
    return FALSE;
}

void CDlgPopup_EditValue::OnChangeValue()
{
    m_strValue = KeepTypedNumber(m_edit, m_strValue.trimmed(), m_bAllowMinus, m_bAllowDecimal, kMaxCharacters,
                                 ECaretAfterTyping::WhereTyped);
    m_btnOk.setEnabled(IsEntryValueAccepted(ui::ToWideString(m_strValue), m_fMin, m_fMax) != FALSE);
    m_edit.setFocus();
}

void CDlgPopup_EditValue::OnOK()
{
    // The text shown holds six digits only: a value the user left alone stays the one given, not
    // its rounded text (1234567 would come back as 1234570).
    if (m_strValue == m_strShown && IsValueInRange(m_fValue, m_fMin, m_fMax))
    {
        EndDialog(IDOK);
        return;
    }
    const std::optional<float> value = ReadEntryValue(ui::ToWideString(m_strValue));
    if (!value || !IsValueInRange(*value, m_fMin, m_fMax))
        return;
    m_fValue = *value;
    EndDialog(IDOK);
}
