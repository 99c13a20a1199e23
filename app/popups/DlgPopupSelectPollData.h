// CDlgPopup_SelectPollData: "Select Poll Data", where the user ticks the parameters that the live
// data page polls. The candidates are the probe's first temperature reading and every other reading
// (CPollChoice); each is ticked when its selection entry is enabled, and one the selection has no
// entry for is shown greyed. OK enables and disables the entries as ticked.
#pragma once

#include <QLabel>

#include "app/livedata/PollChoice.h"
#include "ui/NVButton.h"
#include "ui/NVDialog.h"
#include "ui/NVListBox.h"

inline constexpr UINT IDC_POLL_DATA_LIST = 1001;

class CDlgPopup_SelectPollData : public CNVDialog
{
    Q_OBJECT

public:
    static constexpr UINT kTemplateId = 151;

    explicit CDlgPopup_SelectPollData(QWidget* pParentWnd = nullptr);

    // Before DoModal: the probe's readings, of which the popup offers the candidates.
    void SetCandidates(const CDynArray<sParameterReading>& readings) { m_choice.SetCandidates(readings); }
    // After IDOK: the candidates that are now selected, in candidate order.
    CDynArray<sParameterReading> GetSelected() const { return m_choice.GetSelected(); }

    CNVCheckListBox& List() { return m_list; }
    QString GetPromptText() const { return m_prompt.text(); }

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;

private:
    CPollChoice m_choice;
    QLabel m_prompt;
    CNVCheckListBox m_list;
    CNVButton m_btnOK;
    CNVButton m_btnCancel;
};
