// CDlgPopup_EditValue: asks for one number between a lower and an upper limit (the sensor setup
// page asks for a sentinel value with it). The caller sets the title, the value's label, the range
// label, the value, the limits and what may be typed, runs DoModal and, after IDOK, reads the
// value. OK is enabled while the text is a number within the limits; an empty text counts as 0.
// When the user left the text as it was shown, the value is the one given, exactly.
#pragma once

#include <cfloat>

#include <QString>

#include "ui/NVButton.h"
#include "ui/NVDialog.h"
#include "ui/NVEdit.h"
#include "ui/NVStatic.h"

inline constexpr UINT IDC_EDIT_VALUE = 1200;
inline constexpr UINT IDC_EDIT_VALUE_LABEL = 1201;
inline constexpr UINT IDC_EDIT_VALUE_RANGE = 1202;

class CDlgPopup_EditValue : public CNVDialog
{
    Q_OBJECT

public:
    static constexpr UINT kTemplateId = 144;
    static constexpr UINT kMaxCharacters = 10;

    explicit CDlgPopup_EditValue(QWidget* pParentWnd = nullptr);

    QString m_strTitle;
    QString m_strValueLabel;
    QString m_strRangeLabel;
    float m_fValue = 0.0f;
    float m_fMin = -FLT_MAX;
    float m_fMax = FLT_MAX;
    BOOL m_bAllowDecimal = TRUE;
    BOOL m_bAllowMinus = TRUE;

    CNVEdit& Edit() { return m_edit; }
    CNVButton& OkButton() { return m_btnOk; }

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;

private:
    void OnChangeValue();

    CNVStatic m_valueLabel;
    CNVEdit m_edit;
    CNVStatic m_rangeLabel;
    CNVButton m_btnOk;
    CNVButton m_btnCancel;
    QString m_strValue; // the text as last accepted
    QString m_strShown; // the text the value was shown with
};
