// CDlgPopup_SDI12Setup: "SDI-12 setup", the probe's SDI-12 address character and the readings it
// answers with, in order. The probe's parameter set is read when the popup opens and on "Reload From
// Device"; "Select Parameters..." opens the picker, "Parameter Up" and "Parameter Down" (Alt+Up,
// Alt+Down) order the list, and "Write To Device" uploads the set. Write is enabled once something
// changed and while the address is one valid character. DoModal gives IDOK after a successful write,
// IDCANCEL on Cancel and 0 after a failed read (reported first); a failed write is reported and the
// popup stays open with the user's edits. What is read, edited and written is CSdi12Setup's.
#pragma once

#include <QLabel>

#include "app/popups/CleanedEdit.h"
#include "app/popups/Sdi12Setup.h"
#include "ui/NVButton.h"
#include "ui/NVDialog.h"
#include "ui/NVEdit.h"
#include "ui/NVListBox.h"

inline constexpr UINT IDC_SDI12_ADDRESS = 1197;
inline constexpr UINT IDC_SDI12_LIST = 1227;
inline constexpr UINT IDC_SDI12_UP = 1222;
inline constexpr UINT IDC_SDI12_DOWN = 1223;
inline constexpr UINT IDC_SDI12_SELECT = 1224;
inline constexpr UINT IDC_SDI12_WRITE = 1225;
inline constexpr UINT IDC_SDI12_RELOAD = 1226;

class CDlgPopup_SelectSDI12Params;

class CDlgPopup_SDI12Setup : public CNVDialog
{
    Q_OBJECT

public:
    static constexpr UINT kTemplateId = 174;

    explicit CDlgPopup_SDI12Setup(QWidget* pParentWnd = nullptr,
                                  CProbeConnection& connection = theProbeConnection);
    ~CDlgPopup_SDI12Setup() override;

    CSdi12Setup& Setup() { return m_Setup; }
    CNVEdit& AddressEdit() { return m_editAddress; }
    CNVListBox& ParameterList() { return m_list; }
    CNVButton& UpButton() { return m_btnUp; }
    CNVButton& DownButton() { return m_btnDown; }
    CNVButton& ReloadButton() { return m_btnReload; }
    CNVButton& WriteButton() { return m_btnWrite; }
    CNVButton& SelectButton() { return m_btnSelect; }
    // The picker while it is open (null otherwise), for tests to act on it.
    CDlgPopup_SelectSDI12Params* OpenPicker() const { return m_pPicker; }
    // The index the list keeps for its selection (-1 for none).
    int GetSelectedIndex() const { return m_nSelected; }

protected:
    BOOL OnInitDialog() override;
    BOOL OnCommand(UINT id) override;

private:
    void CreateControls();
    // Loads and shows the probe's set; FALSE when the dialog has ended after a failure.
    BOOL LoadFromDevice();
    void FillList(int selected);
    void SetChanged();
    void UpdateWriteButton();
    void OnAddressChanged();
    void OnSelectParameters();
    void OnMove(int step);
    void OnWrite();
    void OnFocusChanged(QWidget* old, QWidget* now);
    void UpdateMoveButtons();
    void ShowLoadFailure(const sSdi12LoadOutcome& outcome);

    CSdi12Setup m_Setup;
    int m_nSelected = -1;
    bool m_bChanged = false; // since the set was loaded
    CDlgPopup_SelectSDI12Params* m_pPicker = nullptr;
    CNVEdit m_editAddress;
    CCleanedEdit m_addressText;
    CNVListBox m_list;
    CNVButton m_btnUp;
    CNVButton m_btnDown;
    CNVButton m_btnSelect;
    CNVButton m_btnReload;
    CNVButton m_btnWrite;
    CNVButton m_btnCancel;
};
