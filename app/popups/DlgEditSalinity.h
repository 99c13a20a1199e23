// CDlgEditSalinity: "Edit Salinity Values". Asks for the salinity (0 to 350 PSU) that the optical
// dissolved-oxygen sensor compensates with, and whether it becomes the sensor's power-on default
// too. The caller sets the salinity text before DoModal and reads the text and the flag after it;
// the dialog does not talk to the probe.
#pragma once

#include <QLabel>
#include <QString>

#include "ui/NVButton.h"
#include "ui/NVDialog.h"
#include "ui/NVEdit.h"

inline constexpr UINT IDC_SALINITY_RANGE = 1274;
inline constexpr UINT IDC_SALINITY_EDIT = 1275;
inline constexpr UINT IDC_SALINITY_LABEL = 1276;
inline constexpr UINT IDC_USE_AS_DEFAULT = 1271;

class CDlgEditSalinity : public CNVDialog
{
    Q_OBJECT

public:
    static constexpr UINT kTemplateId = 180;
    static constexpr UINT kMaxCharacters = 10;

    explicit CDlgEditSalinity(QWidget* pParentWnd = nullptr);

    QString m_strSalinity;
    BOOL m_bUseAsDefault = FALSE;

    CNVEdit& Edit() { return m_edit; }
    CNVCheckBox& UseAsDefaultBox() { return m_useAsDefault; }
    CNVButton& OkButton() { return m_btnOk; }
    QString GetRangeText() const { return m_range.text(); }

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;

private:
    void OnChangeSalinity();

    QLabel m_label;
    CNVEdit m_edit;
    QLabel m_range;
    CNVCheckBox m_useAsDefault;
    CNVButton m_btnOk;
    CNVButton m_btnCancel;
};
