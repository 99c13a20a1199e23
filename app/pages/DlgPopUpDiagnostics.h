// CDlgPopUpDiagnostics: "Tarnwick Software Diagnostics". The probe's Modbus message counters (with
// "Reset"), its measurement cache time-out and, for some devices, the external power voltage;
// above them up to four sensor pages behind tab buttons (optical DO, conductivity, level, pH/ORP),
// each read the first time it is shown. Alt+Right and Alt+Left move between the pages that are
// switched on.
#pragma once

#include <array>

#include <QLineEdit>

#include "app/pages/CtrlPageDiags.h"
#include "connection/ProbeConnection.h"
#include "ui/NVBitmapButtonEx.h"
#include "ui/NVButton.h"
#include "ui/NVDialog.h"

inline constexpr UINT IDC_DIAG_GOOD_MESSAGES = 1024;
inline constexpr UINT IDC_DIAG_BAD_MESSAGES = 1025;
inline constexpr UINT IDC_DIAG_EXCEPTIONS = 1026;
inline constexpr UINT IDC_DIAG_EXTERNAL_VOLTAGE = 1014;
inline constexpr UINT IDC_DIAG_EXTERNAL_VOLTAGE_LABEL = 1052;
inline constexpr UINT IDC_DIAG_CACHE_TIMEOUT = 1069;
inline constexpr UINT IDC_DIAG_RESET_COUNTERS = 1119;
inline constexpr UINT IDC_DIAG_TAB_VOX = 1079;
inline constexpr UINT IDC_DIAG_TAB_COND = 1080;
inline constexpr UINT IDC_DIAG_TAB_LEVEL = 1081;
inline constexpr UINT IDC_DIAG_TAB_PHORP = 1082;

class CDlgPopUpDiagnostics : public CNVDialog
{
    Q_OBJECT

public:
    enum EPage
    {
        PAGE_VOX = 0,
        PAGE_COND = 1,
        PAGE_LEVEL = 2,
        PAGE_PHORP = 3,
        PAGE_COUNT = 4,
    };
    static constexpr UINT kTemplateId = 145;

    explicit CDlgPopUpDiagnostics(QWidget* pParentWnd = nullptr,
                                  CProbeConnection& connection = theProbeConnection);
    // Releases the device view.
    ~CDlgPopUpDiagnostics() override;

    // Takes the device view and the switches of the connected probe's type: type 18 every page and
    // the external voltage, type 39 the optical DO and conductivity pages, any other type the
    // optical DO page and the external voltage. E_FAIL without a suitable device.
    HRESULT InitFromConnection(CProbeConnection& connection);

    void SelectPage(int index);
    // The index of the one visible page; -1 when none or several are.
    int GetVisiblePage() const;
    BOOL IsPageOn(int index) const { return m_bPageOn[index]; }
    BOOL IsExternalVoltageOn() const { return m_bExternalVoltage; }
    CCtrlPage_DiagsBase& Page(int index);
    CNVBitmapButtonEx& TabButton(int index) { return m_tabs[index]; }
    QString GetCounterText(UINT id) const;
    void DispatchAccelerator(UINT id);

protected:
    BOOL OnInitDialog() override;
    BOOL OnCommand(UINT id) override;

private:
    // InitFromConnection's work, on a worker.
    HRESULT TakeDevice(CProbeConnection& connection);
    void ReadCounters();
    void OnResetCounters();
    void OnNextPage(int step);

    CProbeConnection& m_Connection;
    DeviceRef m_pDevice; // a reference of its own
    std::array<BOOL, PAGE_COUNT> m_bPageOn{};
    BOOL m_bExternalVoltage = FALSE;
    USHORT m_nDeviceTypeId = 0;
    CCtrlPage_DiagsVOX m_pageVOX;
    CCtrlPage_DiagsCond m_pageCond;
    CCtrlPage_DiagsLevel m_pageLevel;
    CCtrlPage_DiagsPHORP m_pagePHORP;
    std::array<CNVBitmapButtonEx, PAGE_COUNT> m_tabs;
    QWidget* m_pCounters = nullptr;
    CNVButton m_btnReset;
    CNVButton m_btnOK;
};
