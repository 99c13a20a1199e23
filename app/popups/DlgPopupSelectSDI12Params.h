// CDlgPopup_SelectSDI12Params: "Available SDI-12 Parameters", the picker of the SDI-12 setup. It
// lists the readings the probe offers, each checked when it is among the chosen ones; OK hands back
// the chosen readings as the checks leave them (CSdi12ParameterPicker), and refuses to end with
// nothing checked.
#pragma once

#include "app/popups/Sdi12Setup.h"
#include "ui/NVButton.h"
#include "ui/NVDialog.h"
#include "ui/NVListBox.h"

inline constexpr UINT IDC_SDI12_PICK_LIST = 1001;

class CDlgPopup_SelectSDI12Params : public CNVDialog
{
    Q_OBJECT

public:
    static constexpr UINT kTemplateId = 151;

    explicit CDlgPopup_SelectSDI12Params(QWidget* pParentWnd = nullptr);

    // Before DoModal.
    void Init(const CDynArray<sParameterReading>& offered, const CDynArray<sParameterReading>& chosen);
    // After IDOK.
    const CDynArray<sParameterReading>& GetResult() const { return m_Picker.Result(); }
    BOOL IsChanged() const { return m_Picker.IsChanged(); }

    CNVCheckListBox& CheckList() { return m_list; }

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;

private:
    CSdi12ParameterPicker m_Picker;
    CNVCheckListBox m_list;
    CNVButton m_btnOK;
    CNVButton m_btnCancel;
};
