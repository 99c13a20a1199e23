// CDlgPopup_ApplySerialNumber: "Apply Serial Number". The number typed is written into the probe's
// OEM configuration file; the caller then restores the factory defaults. The probe information
// page keeps the button that opens it hidden.
#pragma once

#include <QLineEdit>

#include "connection/ProbeConnection.h"
#include "ui/NVButton.h"
#include "ui/NVDialog.h"

inline constexpr UINT IDC_SERIAL_APPLY = 1312;
inline constexpr UINT IDC_SERIAL_CANCEL = 1313;
inline constexpr UINT IDC_SERIAL_NOTE = 1314;
inline constexpr UINT IDC_SERIAL_EDIT = 1315;

class CDlgPopup_ApplySerialNumber : public CNVDialog
{
    Q_OBJECT

public:
    static constexpr UINT kTemplateId = 195;

    explicit CDlgPopup_ApplySerialNumber(QWidget* pParentWnd = nullptr,
                                         CProbeConnection& connection = theProbeConnection);

    QLineEdit& Edit() { return m_edit; }
    CNVButton& ApplyButton() { return m_btnApply; }

protected:
    BOOL OnInitDialog() override;
    BOOL OnCommand(UINT id) override;

private:
    void OnApply();

    CProbeConnection& m_Connection;
    QLineEdit m_edit;
    CNVButton m_btnApply;
    CNVButton m_btnCancel;
};
